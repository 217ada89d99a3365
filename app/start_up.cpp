#include "app/start_up.h"

#include <cstdio>

#include "app/port_list.h"
#include "app/unit_table_file.h"

namespace rx {

std::string WindowCaption(std::string_view exe_name) {
  return exe_name == "RX7731" ? "RX7731" : "512706";
}

std::string DefaultDataFileName(CalendarDate today) {
  char name[32];
  std::snprintf(name, sizeof name, "%02d%02d%02d.dat", today.year % 100, today.month, today.day);
  return name;
}

std::string_view Instructions() {
  static constexpr std::string_view kText =
      "1. Select Comm. Port.\r"
      "\r"
      "2. Input Data File Name.\r"
      "\r"
      "3. Press meter's \"SEND\" Key\r\n"
      "     continously at least 2 seconds \r\n"
      "     until meter's LCD show the text \r\n"
      "     of  \"Transmitter code \" or \r\n"
      "      \"232\", release the \"SEND\" Key.\r\n"
      "\r"
      "4. Press screen's \"Start\" Button. \r"
      "\r"
      " 5. Press meter's \"SEND\" Key \r\n"
      "     once a while, meter will  \r\n"
      "     download the data to the\r\n"
      "     computer.";
  return kText;
}

std::string UnitTableProblem(const UnitTableLoad& load) {
  std::string message = load.problem + ".\r\nThe program goes on with the " +
                        std::to_string(load.entries) +
                        (load.entries == 1 ? " unit name" : " unit names") + " read.";
  const int last = UnitNames::kEntries - 1;
  if (load.entries <= last) {
    message += load.entries == last
                   ? " A reading of unit code " + std::to_string(last)
                   : " A reading of any unit code from " + std::to_string(load.entries) + " to " +
                         std::to_string(last);
    message += " is stored with ten characters of code 0 (NUL) as its unit name.";
  }
  return message;
}

void Form_Load(FormControls& form, Commands& commands, UnitNames& unit_names, MessageBox& messages,
               const ProgramInfo& program, CalendarDate today) {
  form.SetVersionCaption(kVersionCaption);
  form.SetCaption(WindowCaption(program.exe_name));
  form.SetInstructions(std::string(Instructions()));

  const std::string table = program.unit_table.empty()
                                ? program.folder + kPathSeparator + kUnitTableFileName
                                : program.unit_table;
  const UnitTableLoad load = ReadUnitTableFile(table, unit_names);
  if (!load.problem.empty()) messages.Inform(UnitTableProblem(load));

  form.SetFileNameText(DefaultDataFileName(today));
  commands.Text1_Change(DefaultDataFileName(today));

  for (int port = 1; port <= kPortListEntries; ++port) form.AddPortItem(PortItemText(port));
  form.SetPortListIndex(0);
}

}  // namespace rx
