#pragma once

#include <string>
#include <string_view>

#include "app/commands.h"
#include "app/form_controls.h"
#include "download/message_box.h"
#include "download/unit_names.h"

namespace rx {

struct UnitTableLoad;

// Where the program keeps its files (its own folder, or the user's data folder when an installed
// copy cannot write its own; no trailing separator), and the name of its executable without
// extension.
struct ProgramInfo {
  std::string folder;
  std::string exe_name;
  // The unit table read at start-up; empty: unit2.dat in `folder`.
  std::string unit_table = {};
};

struct CalendarDate {
  int year, month, day;
};

inline constexpr const char* kVersionCaption = "Version : 100322";

// "RX7731" for an executable named exactly RX7731, "512706" for every other name.
std::string WindowCaption(std::string_view exe_name);

// Today's data file name, yymmdd.dat: 261207.dat on 7 December 2026.
std::string DefaultDataFileName(CalendarDate today);

// What the user reads when the unit table had a problem (`load.problem` not empty): the problem,
// that the program goes on with the names read, and what becomes of readings whose unit code has
// no name.
std::string UnitTableProblem(const UnitTableLoad& load);

// The operating instructions, 16 lines: some end in CR alone and some in CR LF.
std::string_view Instructions();

// The window's load: captions and instructions, the unit table (see ProgramInfo), the
// default data file name with df, and the port list with port 1 selected. Trouble with the
// unit table is shown in one message box, and start-up goes on with the names read.
void Form_Load(FormControls& form, Commands& commands, UnitNames& unit_names, MessageBox& messages,
               const ProgramInfo& program, CalendarDate today);

}  // namespace rx
