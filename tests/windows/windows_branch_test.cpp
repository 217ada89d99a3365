// What only the Windows build does: COMn ports, backslashes in paths, the file check through the
// wide-character API, and names outside ASCII. Built for Windows only.

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "app/commands.h"
#include "app/data_folder.h"
#include "app/file_exists.h"
#include "app/port_list.h"
#include "app/start_up.h"
#include "data/file_names.h"
#include "data/grid_table.h"
#include "data/readings.h"
#include "download/port_device.h"
#include "export/csv_export.h"
#include "export/export_file.h"
#include "support/download_rig.h"

// After the program's headers: it defines MessageBox, the name of one of their classes.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

namespace rx {
namespace {

using test::Box;
using test::Frame;
using test::TempDir;

// Independent of the program's own path code: the wide-character file API on a UTF-16 name.
std::string ReadWide(const std::wstring& path) {
  std::string bytes;
  if (std::FILE* file = ::_wfopen(path.c_str(), L"rb")) {
    char chunk[4096];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) bytes.append(chunk, got);
    std::fclose(file);
  }
  return bytes;
}

void WriteWide(const std::wstring& path, const std::string& bytes) {
  std::FILE* file = ::_wfopen(path.c_str(), L"wb");
  ASSERT_NE(file, nullptr) << "cannot create the test's file";
  std::fwrite(bytes.data(), 1, bytes.size(), file);
  std::fclose(file);
}

TEST(WindowsPorts, PortNumberNOpensComN) {
  TempDir dir;
  // A ports\com1 link means nothing on Windows.
  std::filesystem::create_directories(dir.Path() / "ports");
  test::WriteBytes(dir.File("ports\\com1"), "");
  struct Case {
    int port;
    const char* device;
    const char* tooltip;
  };
  const Case cases[] = {
      {1, "COM1", "Comm. 1 opens COM1\nNot present now"},
      {9, "COM9", "Comm. 9 opens COM9\nNot present now"},
      {10, "COM10", "Comm. 10 opens COM10\nNot present now"},
      {256, "COM256", "Comm. 256 opens COM256\nNot present now"},
      {0, "", "Comm. 0 has no serial device on this computer"},
      {-1, "", "Comm. -1 has no serial device on this computer"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(PortDevice(dir.Path().string(), c.port), c.device) << c.port;
    EXPECT_EQ(PortToolTip(dir.Path().string(), c.port), c.tooltip) << c.port;
  }
}

TEST(WindowsPorts, FailureNamesPortDeviceReasonAndTheDeviceManager) {
  const std::string folder = "C:\\Program Files\\RX7731";
  EXPECT_EQ(PortOpenFailure(folder, 3, "COM3", "Access is denied"),
            "Cannot open Comm. port 3 (COM3): Access is denied.\r\n"
            "To use another adapter as Comm. port 3, give it the number COM3 in the Device "
            "Manager (Ports, Properties, Port Settings, Advanced).");
  // Windows' own texts end with a full stop, as Wine's "File not found." does.
  EXPECT_EQ(PortOpenFailure(folder, 9, "COM9", "The system cannot find the file specified."),
            "Cannot open Comm. port 9 (COM9): The system cannot find the file specified.\r\n"
            "To use another adapter as Comm. port 9, give it the number COM9 in the Device "
            "Manager (Ports, Properties, Port Settings, Advanced).");
  EXPECT_EQ(PortOpenFailure(folder, 0, "", ""),
            "Cannot open Comm. port 0: no device is assigned to this port number.\r\n"
            "To use another adapter as Comm. port 0, give it the number COM0 in the Device "
            "Manager (Ports, Properties, Port Settings, Advanced).");
}

// An installed copy in Program Files keeps its files in the user's documents folder, whose path
// often holds the user's name: "C:\\Users\\Jürgen\\Documents".
TEST(WindowsStartUp, TheDataFolderOfAnInstalledCopyIsMadeUnderADocumentsPathOutsideAscii) {
  TempDir dir;
  const std::wstring documents = dir.Path().wstring() + L"\\Jürgen 測定";
  std::filesystem::create_directory(documents);
  WriteWide(documents + L"\\placeholder", "");
  const std::string utf8 = dir.Path().string() + "\\Jürgen 測定";
  const DataFolder data = ChooseDataFolder("C:\\Program Files\\RX7731", false, utf8);
  EXPECT_EQ(data.problem, "");
  EXPECT_EQ(data.folder, utf8 + "\\RX7731");
  EXPECT_TRUE(std::filesystem::is_directory(documents + L"\\RX7731"));
  EXPECT_EQ(data.unit_table, "C:\\Program Files\\RX7731\\unit2.dat");
  WriteWide(documents + L"\\RX7731\\unit2.dat", "0,\"°C\"\r\n");
  EXPECT_EQ(ChooseDataFolder("C:\\Program Files\\RX7731", false, utf8).unit_table,
            utf8 + "\\RX7731\\unit2.dat");
  EXPECT_TRUE(FolderWritable(utf8 + "\\RX7731"));
}

// Names outside the code page keep their characters through the questions asked of paths, and
// the same file is found under two spellings of it.
TEST(WindowsFileNames, ANameOutsideTheCodePageIsTheSameFileAndKeepsItsCharacters) {
  TempDir dir;
  const std::string folder = dir.Path().string();
  const std::string data = folder + "\\Messung 測定.dat";
  WriteWide(dir.Path().wstring() + L"\\Messung 測定.dat", "0,1,\"V         \",1\r\n");
  WriteWide(dir.Path().wstring() + L"\\Messung.dat", "");
  EXPECT_TRUE(SameFile(data, folder + "\\.\\MESSUNG 測定.dat"));
  EXPECT_FALSE(SameFile(data, folder + "\\Messung.dat"));
  EXPECT_EQ(NameBeside(data, ".xlsx"), folder + "\\Messung 測定.xlsx");
  EXPECT_EQ(FolderOf(data), folder);
  EXPECT_TRUE(HasExtension(folder + "\\測定.XLSX", ".xlsx"));
  EXPECT_FALSE(HasExtension(data, ".xlsx"));
}

TEST(WindowsStartUp, TheDefaultDataFileNameIsTheDate) {
  struct Case {
    CalendarDate today;
    const char* name;
  };
  const Case cases[] = {
      {{2026, 12, 7}, "261207.dat"}, {{2000, 1, 1}, "000101.dat"}, {{1999, 12, 31}, "991231.dat"}};
  for (const Case& c : cases) EXPECT_EQ(DefaultDataFileName(c.today), c.name);
}

struct ExistsCase {
  const char* name;
  const char* relative;  // below a folder that holds "old.dat", "Größe.dat" and "sub\"
  bool exists;
};

void PrintTo(const ExistsCase& c, std::ostream* os) { *os << c.name; }

class WindowsFileCheck : public testing::TestWithParam<ExistsCase> {};

TEST_P(WindowsFileCheck, OnlyAMissingFileInAnExistingFolderIsAbsent) {
  TempDir dir;
  WriteWide(dir.Path().wstring() + L"\\old.dat", "0,1,\"V         \",1\r\n");
  WriteWide(dir.Path().wstring() + L"\\Größe.dat", "0,1,\"V         \",1\r\n");
  std::filesystem::create_directory(dir.Path() / "sub");
  EXPECT_EQ(FileExists(dir.Path().string() + "\\" + GetParam().relative), GetParam().exists);
}

INSTANTIATE_TEST_SUITE_P(
    BackslashPaths, WindowsFileCheck,
    testing::Values(ExistsCase{"ExistingFile", "old.dat", true},
                    ExistsCase{"MissingFile", "new.dat", false},
                    ExistsCase{"MissingFileInSubfolder", "sub\\new.dat", false},
                    ExistsCase{"NameInAMissingFolder", "nofolder\\new.dat", true},
                    ExistsCase{"NameBelowAFile", "old.dat\\new.dat", true},
                    ExistsCase{"TheFolderItself", "sub", true},
                    ExistsCase{"MissingFolderWithTrailingSeparator", "nofolder\\", true},
                    ExistsCase{"ExistingNameOutsideAscii", "Größe.dat", true},
                    ExistsCase{"MissingNameOutsideAscii", "測定.dat", false},
                    ExistsCase{"NameInAMissingFolderOutsideAscii", "Zähler\\new.dat", true}),
    [](const auto& info) { return info.param.name; });

// A recording window with the start-up's controls; only what the tests look at is kept.
class RecordingForm : public FormControls {
 public:
  std::string file_name;
  std::vector<std::string> ports;

  void SetTransferStatus(const std::string&) override {}
  void SetRecordCount(const std::string&) override {}
  void SetStartEnabled(bool) override {}
  void SetViewDataEnabled(bool) override {}
  void SetTimerEnabled(bool) override {}
  void SetIndicatorVisible(bool) override {}
  void SetIndicatorColor(uint32_t) override {}
  void SetReceivingVisible(bool) override {}
  void SetCaption(const std::string&) override {}
  void SetVersionCaption(const std::string&) override {}
  void SetInstructions(const std::string&) override {}
  void SetFileNameText(const std::string& text) override { file_name = text; }
  void AddPortItem(const std::string& text) override { ports.push_back(text); }
  void SetPortListIndex(int index) override { port_index_ = index; }
  void SetGridTextEncoding(TextEncoding) override {}
  int PortListIndex() const override { return port_index_; }
  void Unload() override {}

 private:
  int port_index_ = -1;
};

struct FolderCase {
  const char* name;
  const char* folder;   // the program's folder below the temporary folder, in UTF-8
  const wchar_t* wide;  // the same in UTF-16
};

void PrintTo(const FolderCase& c, std::ostream* os) { *os << c.name; }

// The program in a folder with a backslashed path, started on 7 December 2026.
class WindowsProgramFolder : public testing::TestWithParam<FolderCase>, public test::DownloadRig {
 protected:
  void SetUp() override {
    std::filesystem::create_directory(WideFolder());
    WriteWide(WideFolder() + L"\\unit2.dat", "0,\"V\"\r\n1,\"mV\"\r\n2,\"Größe\"\r\n");
  }

  std::string Folder() const { return dir.Path().string() + "\\" + GetParam().folder; }
  std::wstring WideFolder() const { return dir.Path().wstring() + L"\\" + GetParam().wide; }

  void LoadForm() { Form_Load(form, commands, names, boxes, {Folder(), "RX7731"}, {2026, 12, 7}); }

  RecordingForm form;
  GridTable grid{5895, 2, 4};
  Commands commands{form, grid, download, boxes, Folder()};
};

TEST_P(WindowsProgramFolder, StartUpReadsTheUnitTableAndJoinsDfWithABackslash) {
  ASSERT_EQ(Folder().find('/'), std::string::npos) << Folder();
  LoadForm();
  EXPECT_EQ(boxes.shown, std::vector<Box>{});
  EXPECT_EQ(names(0), "V         ");
  EXPECT_EQ(names(1), "mV        ");
  EXPECT_EQ(names(2), "Größe     ");  // ten characters of UTF-8
  EXPECT_EQ(form.file_name, "261207.dat");
  EXPECT_EQ(commands.df(), Folder() + "\\261207.dat");
  EXPECT_EQ(form.ports.size(), 256u);
}

TEST_P(WindowsProgramFolder, ADownloadWritesCrLfByteForByteAndViewDataReadsItBack) {
  LoadForm();
  commands.Text1_Change("Messung Größe 測定.dat");
  form.SetPortListIndex(0);
  commands.Command1_Click(Commands::kStart);
  ASSERT_EQ(boxes.shown, std::vector<Box>{});
  serial.Deliver(Frame("40231207093015") + Frame("41020200012345") + Frame("10070300001234"));
  serial.Deliver(Frame(std::string(14, '\x1B')) + Frame(std::string(14, '\x1B')));
  ASSERT_TRUE(download.fgTransferOK());

  const std::string bytes = ReadWide(WideFolder() + L"\\Messung Größe 測定.dat");
  EXPECT_EQ(bytes,
            "0,\"231207093015\",\"Time\",0\r\n"
            "1,123.45,\"Größe     \",1\r\n"
            "2,-1.234,7,0\r\n");
  EXPECT_EQ(bytes.find("\r\r\n"), std::string::npos);

  commands.Command1_Click(Commands::kViewData);
  ASSERT_EQ(grid.Rows(), 4);
  EXPECT_EQ(grid.TextMatrix(2, 2), "123.45");
  EXPECT_EQ(boxes.shown.size(), 1u);  // only the end of the transfer

  // The grid's readings exported for a spreadsheet, beside the data file.
  const std::string csv = Folder() + "\\Messung Größe 測定.csv";
  const std::vector<Reading> readings =
      ToReadings(commands.Shown().records, commands.Shown().encoding);
  EXPECT_EQ(WriteExportFile(csv, [&](std::ostream& out) { WriteCsv(out, readings); }), "");
  EXPECT_EQ(ReadWide(WideFolder() + L"\\Messung Größe 測定.csv"),
            "number,kind,channel,value,unit,time,last_time_stamp\r\n"
            "1,\"time\",0,,\"Time\",\"2023-12-07T09:30:15\",\"\"\r\n"
            "2,\"reading\",1,123.45,\"Größe\",\"\",\"2023-12-07T09:30:15\"\r\n"
            "3,\"coded\",0,-1.234,\"7\",\"\",\"2023-12-07T09:30:15\"\r\n");
}

TEST_P(WindowsProgramFolder, StartAsksBeforeReplacingADataFileThatIsThere) {
  LoadForm();
  commands.Text1_Change("Größe.dat");
  EXPECT_TRUE(commands.CheckFile());
  EXPECT_EQ(boxes.shown, std::vector<Box>{});
  WriteWide(WideFolder() + L"\\Größe.dat", "");
  EXPECT_FALSE(commands.CheckFile());  // the recording box answers No
  EXPECT_EQ(
      boxes.shown,
      (std::vector<Box>{{"The Data file exist . Do you want to continue ?", "Data File Check"}}));
}

// A data file agreed to be replaced keeps its records until the first new one, which puts the
// new file in its place while the download holds that open: Windows renames an open file only
// when it was opened to allow it. A file that another program holds open (Excel shares nothing;
// others share all but the rename) is refused at Start, before the port is opened.
TEST_P(WindowsProgramFolder, AReplacedDataFileTakesItsNameAtTheFirstRecord) {
  LoadForm();
  commands.Text1_Change("Messung 測定.dat");
  const std::wstring wide = WideFolder() + L"\\Messung 測定.dat";
  WriteWide(wide, "old\r\n");
  form.SetPortListIndex(0);
  for (const DWORD sharing : {DWORD{0}, DWORD{FILE_SHARE_READ | FILE_SHARE_WRITE}}) {
    SCOPED_TRACE(sharing);
    const HANDLE held = ::CreateFileW(wide.c_str(), GENERIC_READ, sharing, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    boxes.shown.clear();
    boxes.answers = {true};
    commands.Command1_Click(Commands::kStart);
    ::CloseHandle(held);
    ASSERT_EQ(boxes.shown.size(), 2u);  // the question, then why
    EXPECT_EQ(boxes.shown[1].prompt.rfind("Cannot create data file " + commands.df() + ": ", 0), 0u)
        << boxes.shown[1].prompt;
    EXPECT_TRUE(serial.log.empty());
    EXPECT_EQ(ReadWide(wide), "old\r\n");
  }

  boxes.shown.clear();
  boxes.answers = {true};
  commands.Command1_Click(Commands::kStart);
  ASSERT_EQ(boxes.shown.size(), 1u);
  serial.Deliver(std::string("\x02") + "41020");
  EXPECT_EQ(ReadWide(wide), "old\r\n");
  serial.Deliver("200012345\r");
  EXPECT_EQ(ReadWide(wide), "0,123.45,\"Größe     \",1\r\n");
  serial.Deliver(Frame("10070300001234"));
  EXPECT_EQ(ReadWide(wide), "0,123.45,\"Größe     \",1\r\n1,-1.234,7,0\r\n");
  size_t files = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(WideFolder())) {
    ++files;
  }
  EXPECT_EQ(files, 2u) << "a new file was left beside the data file";  // and unit2.dat
}

INSTANTIATE_TEST_SUITE_P(Folders, WindowsProgramFolder,
                         testing::Values(FolderCase{"Ascii", "RX7731", L"RX7731"},
                                         FolderCase{"OutsideAscii", "Zähler 測定", L"Zähler 測定"}),
                         [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace rx
