// The Windows build's RX7731.exe under Wine on a virtual display, used as a person uses it: a
// copy of its program folder, COM1 on meter-sim's pseudo-terminal, Times New Roman and Arial
// replaced by their metric twins. The tests run in order as one session; they read the
// program's texts through the clipboard, which Wine shares with X.
//
// Here the meter stays silent after the port opens, so that Start is seen with the line set,
// waiting for the meter; whole downloads run in wine_download_tests, the Linux scenarios.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <ctime>
#include <filesystem>
#include <iostream>
#include <map>
#include <memory>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "e2e/child_process.h"
#include "e2e/virtual_desktop.h"
#include "support/fakes.h"
#include "wine/pty_line.h"
#include "wine/wine_prefix.h"

namespace rx::test {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

constexpr const char* kTitle = "RX7731";
constexpr const char* kFileCheckTitle = "Data File Check";
constexpr Place kStatus{600, 2160, 3615, 375};
constexpr Place kGrid{720, 3120, 5895, 4815};
// The first record's Channel cell, in pixels from the grid's corner (the No. column is fixed).
constexpr int kFirstCellX = 104, kFirstCellY = 28;
// A clipboard text no control holds: when it changes, the copy has arrived.
constexpr const char* kUnchanged = "\x01not copied\x01";

std::string Today() {
  const std::time_t now = std::time(nullptr);
  char name[16];
  std::strftime(name, sizeof name, "%y%m%d", std::localtime(&now));
  return name;
}

void SetLine(const std::string& link, speed_t speed, tcflag_t character) {
  const int fd = open(link.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  termios line{};
  ASSERT_TRUE(fd >= 0 && tcgetattr(fd, &line) == 0) << link;
  line.c_cflag = (line.c_cflag & ~(CSIZE | PARENB | CSTOPB)) | character;
  cfsetispeed(&line, speed);
  cfsetospeed(&line, speed);
  EXPECT_EQ(tcsetattr(fd, TCSANOW, &line), 0);
  close(fd);
}

// Whether the open file `fd` (a /proc/PID/fd entry) is the device behind `link`. Compared by
// device number, not by name: a process in a mount namespace and root of its own (Wine 10 in
// its Debian root) shows its files under names that do not resolve here.
bool IsDevice(const fs::path& fd, const std::string& link) {
  struct stat device {
  }, open_file{};
  return stat(link.c_str(), &device) == 0 && stat(fd.c_str(), &open_file) == 0 &&
         S_ISCHR(open_file.st_mode) && open_file.st_rdev == device.st_rdev;
}

// Whether process `pid` has the device behind `link` open.
bool Holds(pid_t pid, const std::string& link) {
  std::error_code ec;
  for (const auto& fd : fs::directory_iterator("/proc/" + std::to_string(pid) + "/fd", ec)) {
    if (IsDevice(fd.path(), link)) return true;
  }
  return false;
}

// The processes that have the device behind `link` open, each as "pid (name)", for a failure.
std::string Holders(const std::string& link) {
  std::error_code ec;
  std::string holders;
  for (const auto& process : fs::directory_iterator("/proc", ec)) {
    const std::string pid = process.path().filename().string();
    if (pid.find_first_not_of("0123456789") == std::string::npos && Holds(std::stoi(pid), link)) {
      std::string name = ReadBytes((process.path() / "comm").string());
      if (!name.empty() && name.back() == '\n') name.pop_back();
      holders += pid + " (" + name + ") ";
    }
  }
  return holders.empty() ? "none" : holders;
}

// How wide the caption drawn in `place` (in twips at 100 %) is on a screen at `scale`: from its
// first to its last column of ink, that is pixels far from the colour at the place's corner.
// The corner lies inside the control's frame (a border, a bevel and the focus rectangle: 3
// pixels at 100 %), which grows with the scale; a scaled place's edges, rounded to the window's
// pixels and again to the screen's, may lie up to two pixels further in (at 150 % a button's
// focus rectangle runs 7 pixels above the foot of its place).
int CaptionWidth(const Screenshot& shot, const Place& place, double scale = 1.0) {
  const int inset = static_cast<int>(std::ceil(3 * scale)) + (scale > 1 ? 2 : 0);
  const auto pixel = [&](int twips) { return static_cast<int>(twips * scale / 15); };
  const int left = pixel(place.left) + inset, top = pixel(place.top) + inset;
  const int right = pixel(place.left + place.width) - inset,
            bottom = pixel(place.top + place.height) - inset;
  const auto background = shot.At(left, top);
  int first = -1, last = -1;
  for (int x = left; x < right; ++x) {
    for (int y = top; y < bottom; ++y) {
      if (Distance(shot.At(x, y), background) > 50) {
        if (first < 0) first = x;
        last = x;
        break;
      }
    }
  }
  return first < 0 ? 0 : last - first + 1;
}

// The window's captions and where each is drawn.
struct Caption {
  const char* text;
  Place place;
};
constexpr Caption kCaptions[] = {{"Data File Name", {4800, 600, 1935, 375}},
                                 {"Number of  Data", {4800, 1800, 1935, 375}},
                                 {"Data Transfer Status", {600, 1800, 3615, 375}},
                                 {"Version : 100322 (Arial)", {7200, 600, 3855, 495}},
                                 {"Start", kStart},
                                 {"View Data", kViewData},
                                 {"Exit", kExit}};

// One program under test and its main window.
struct Instance {
  std::unique_ptr<ChildProcess> process;
  WindowId main;
};

// What the session's programs share: the display, Wine, the meter on COM1, the files.
struct Session {
  TempDir dir;
  fs::path folder = dir.Path() / "program";  // the copy of the Windows program folder
  std::string link = dir.File("com1");
  std::string data_file = dir.File("linux.dat");  // a download's file as the Linux build writes it
  std::unique_ptr<VirtualDisplay> display;
  std::unique_ptr<Hand> hand;
  std::unique_ptr<ChildProcess> meter;
  std::unique_ptr<WinePrefix> wine;
  Instance first, second;
  Screenshot at_100_percent;  // the first window as it started
  std::string problem;        // why the session could not be set up
};

class WindowUnderWine : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!fs::exists(fs::path(RX_WINDOWS_BIN) / "RX7731.exe")) return;
    if (!VirtualDisplay::Available() || FindOnPath("xclip").empty()) return;
    s_ = new Session;
    Session& s = *s_;
    // A laptop's screen at 150 %: the window half as large again (1152 by 853 and its frame)
    // does not fit on 1024 by 768, where Wine makes it smaller and cuts what lies outside.
    s.display = std::make_unique<VirtualDisplay>(s.dir.File("xvfb.log"), "1920x1080x24");
    s.hand = std::make_unique<Hand>(s.display->Name(), s.dir.File("xdotool.log"));
    // The program folder as it ships, without the build's test programs.
    fs::create_directories(s.folder);
    for (const auto& entry : fs::directory_iterator(RX_WINDOWS_BIN)) {
      if (entry.path().filename().string().ends_with("_tests.exe")) continue;
      fs::copy(entry.path(), s.folder / entry.path().filename(), fs::copy_options::recursive);
    }
    // The meter answers every opening, so that reading the line's settings does not end it.
    s.meter = std::make_unique<ChildProcess>(
        std::vector<std::string>{RX_METER_SIM, "--link", s.link, "--units", RX_UNIT_TABLE,
                                 "--expect", s.data_file, "--records", "16", "--seed", "31",
                                 "--repeat", "--delay", "600000"},
        s.dir.File("meter-sim.log"));
    s.wine = std::make_unique<WinePrefix>(s.dir.Path() / "wine", s.display->Name());
    if (!s.wine->Ready()) {
      s.problem = "wineboot failed:\n" + ReadBytes(s.wine->Log("wineboot"));
      return;
    }
    const std::string fonts = R"(HKCU\Software\Wine\Fonts\Replacements)";
    if (!s.wine->AddRegistryValue(fonts, "Times New Roman", "Liberation Serif") ||
        !s.wine->AddRegistryValue(fonts, "Arial", "Liberation Sans") ||
        !s.wine->AddRegistryValue(R"(HKLM\Software\Wine\Ports)", "COM1", s.link) ||
        // A second port, for the list of ports that a failed Start shows.
        !s.wine->AddRegistryValue(R"(HKLM\Software\Wine\Ports)", "COM7", s.link)) {
      s.problem = "reg add failed:\n" + ReadBytes(s.wine->Log("reg"));
      return;
    }
    s.wine->RestartServer();
    if (!Eventually([&] { return fs::exists(s.link); }, 5s)) {
      s.problem = "meter-sim made no link:\n" + s.meter->Output();
    }
  }

  static void TearDownTestSuite() {
    if (s_ == nullptr) return;
    s_->first.process.reset();
    s_->second.process.reset();
    s_->wine.reset();
    s_->meter.reset();
    delete s_;
    s_ = nullptr;
  }

  void SetUp() override {
    if (!fs::exists(fs::path(RX_WINDOWS_BIN) / "RX7731.exe")) {
      GTEST_SKIP() << RX_WINDOWS_BIN << "/RX7731.exe is missing: `make check-windows` builds it "
                   << "with the Qt for Windows";
    }
    if (s_ == nullptr) GTEST_SKIP() << "Xvfb, xdotool or xclip is not installed";
    ASSERT_TRUE(s_->problem.empty()) << s_->problem;
  }

  static Session& S() { return *s_; }
  static Hand& H() { return *s_->hand; }

  // Starts RX7731.exe; returns when its main window shows.
  static void Launch(Instance& program, const std::string& name) {
    program.process =
        S().wine->Start({(S().folder / "RX7731.exe").string()}, name, S().folder.string());
    // The first program after the server's start also starts Wine's services.
    ASSERT_TRUE(Eventually(
        [&] {
          for (const WindowId& w : H().Windows(program.process->Pid(), kTitle)) {
            if (H().Height(w) > 400) program.main = w;
          }
          return !program.main.empty() || !program.process->Running();
        },
        90s))
        << "no main window\n"
        << program.process->Output();
    ASSERT_FALSE(program.main.empty()) << "ended: " << program.process->Output();
  }

  // The program's windows titled `title` other than its main window: its boxes, dialogs, menus.
  static std::vector<WindowId> Others(const Instance& program, const std::string& title) {
    std::vector<WindowId> found;
    for (const WindowId& w : H().Windows(program.process->Pid(), title)) {
      if (w != program.main) found.push_back(w);
    }
    return found;
  }

  static std::vector<WindowId> Boxes(const Instance& program) {
    std::vector<WindowId> boxes = Others(program, kTitle);
    for (const WindowId& w : Others(program, kFileCheckTitle)) boxes.push_back(w);
    return boxes;
  }

  // The one window titled `title` that shows up within `timeout`, the largest if several.
  static WindowId WaitFor(const Instance& program, const std::string& title,
                          std::chrono::milliseconds timeout = 15s) {
    WindowId found;
    Eventually(
        [&] {
          int tallest = 0;
          for (const WindowId& w : Others(program, title)) {
            if (const int h = H().Height(w); h > tallest) {
              tallest = h;
              found = w;
            }
          }
          return !found.empty();
        },
        timeout);
    return found;
  }

  static bool Gone(const Instance& program, const WindowId& window) {
    for (const WindowId& w : H().Windows(program.process->Pid(), ".*")) {
      if (w == window) return false;
    }
    return true;
  }

  // Presses `keys` in `window` until `done`, again only while it has not come. Wine may take
  // the first key after a window has come up for its activation, which a click into the
  // window's corner (`activate`) does instead.
  template <typename Done>
  static bool PressUntil(const WindowId& window, const std::vector<std::string>& keys, Done done,
                         bool activate = true) {
    for (int attempt = 0; attempt < 3; ++attempt) {
      if (activate) H().ClickAt(window, 4, 4);
      H().Keys(window, keys);
      if (Eventually(done, 3s)) return true;
    }
    return false;
  }

  static std::string Clipboard() {
    ChildProcess xclip({"/bin/sh", "-c", "xclip -o -selection clipboard 2>/dev/null"},
                       S().dir.File("xclip.log"), {{"DISPLAY", S().display->Name()}});
    xclip.WaitFor(5s);
    return xclip.Output();
  }

  // What `keys` (e.g. ctrl+c) in `window` copy to the clipboard.
  static std::string Copy(const WindowId& window, const std::vector<std::string>& keys,
                          bool activate = false) {
    const std::string text = TryCopy(window, keys, activate);
    EXPECT_NE(text, kUnchanged) << "nothing was copied from window " << window;
    return text;
  }

  // Copy(), or kUnchanged when nothing came.
  static std::string TryCopy(const WindowId& window, const std::vector<std::string>& keys,
                             bool activate = false) {
    const std::string unchanged = S().dir.File("unchanged.txt");
    WriteBytes(unchanged, kUnchanged);
    // xclip serves the selection from a process of its own until another program takes it.
    ChildProcess({FindOnPath("xclip"), "-selection", "clipboard", "-i", unchanged},
                 S().dir.File("xclip-in.log"), {{"DISPLAY", S().display->Name()}})
        .WaitFor(5s);
    std::string text = kUnchanged;
    // While Wine takes the clipboard over, X may see it empty.
    PressUntil(
        window, keys,
        [&] {
          text = Clipboard();
          return !text.empty() && text != kUnchanged;
        },
        activate);
    return text;
  }

  // The text of an input box of the main window: clicked, all selected and copied. Clicked
  // again when nothing came: in a window that has just come up, Wine may take the first click
  // for the window's activation and leave the box without the keyboard.
  static std::string FieldText(const Instance& program, const Place& field) {
    std::string text = kUnchanged;
    for (int attempt = 0; attempt < 2 && text == kUnchanged; ++attempt) {
      H().Click(program.main, field);
      text = TryCopy(program.main, {"ctrl+a", "ctrl+c"});
    }
    EXPECT_NE(text, kUnchanged) << "nothing was copied from the main window " << program.main;
    return text;
  }

  // A message box's text: Windows copies its title, text and buttons between dashed lines.
  static std::string BoxText(const WindowId& box) {
    std::string copied = Copy(box, {"ctrl+c"}, true);
    copied.erase(std::remove(copied.begin(), copied.end(), '\r'), copied.end());
    std::vector<std::string> parts;
    std::istringstream lines(copied);
    std::string part;
    for (std::string line; std::getline(lines, line);) {
      if (line.find_first_not_of('-') == std::string::npos && !line.empty()) {
        parts.push_back(part);
        part.clear();
      } else {
        part += (part.empty() ? "" : "\n") + line;
      }
    }
    return parts.size() >= 3 ? parts[2] : copied;  // "", title, text, buttons
  }

  static void Answer(const Instance& program, const WindowId& box, const std::string& key) {
    EXPECT_TRUE(PressUntil(box, {key}, [&] { return Gone(program, box); }))
        << "the box did not close on " << key;
  }

  static void TypeFileName(const Instance& program, const std::string& name) {
    H().Click(program.main, kFileName);
    H().Keys(program.main, {"ctrl+a", "BackSpace"});
    H().Type(program.main, name);
    EXPECT_EQ(FieldText(program, kFileName), name);
  }

  // Picks the port list's entry `index` (0 is Comm. 1) as a person does, with the arrow keys.
  static void ChoosePort(const Instance& program, int index) {
    H().Click(program.main, kPortList);
    std::vector<std::string> keys(12, "Up");
    keys.insert(keys.end(), index, "Down");
    H().Keys(program.main, keys);
  }

  // Starts the Linux build's window on the same display, from a program folder `name` of its
  // own: the measure of the Windows build's captions. Its Comm. 1 is the link ports/com1 there.
  static void LaunchLinux(Instance& program, const std::string& name) {
    const fs::path folder = S().dir.Path() / name;
    fs::create_directories(folder / "ports");
    fs::copy_file(RX_LINUX_PROGRAM, folder / "RX7731");
    fs::copy_file(RX_UNIT_TABLE, folder / "unit2.dat");
    const fs::path runtime = S().dir.Path() / "runtime";  // Qt's, which only its user may enter
    fs::create_directories(runtime);
    fs::permissions(runtime, fs::perms::owner_all, fs::perm_options::replace);
    program.process = std::make_unique<ChildProcess>(
        std::vector<std::string>{(folder / "RX7731").string()}, S().dir.File(name + ".log"),
        std::map<std::string, std::string>{{"DISPLAY", S().display->Name()},
                                           {"QT_QPA_PLATFORM", "xcb"},
                                           {"XDG_RUNTIME_DIR", runtime.string()}},
        folder.string());
    ASSERT_TRUE(Eventually(
        [&] {
          for (const WindowId& w : H().Windows(program.process->Pid(), kTitle)) {
            if (H().Height(w) > 400) program.main = w;
          }
          return !program.main.empty();
        },
        20s))
        << program.process->Output();
  }

  // Right-clicks the grid and chooses item `index` of its menu: Plot Readings..., Export for
  // Spreadsheet..., Save Report..., Open Data File...
  static constexpr int kGridMenuItems = 4;
  static void GridMenu(const Instance& program, int index) {
    H().ClickAt(program.main, kGrid.CentreX(), kGrid.CentreY(), 3);
    WindowId menu;
    ASSERT_TRUE(Eventually(
        [&] {
          for (const WindowId& w : Others(program, kTitle)) menu = w;
          return !menu.empty();
        },
        5s))
        << "no menu";
    const int height = H().Height(menu);
    H().ClickAt(menu, 60, height * (2 * index + 1) / (2 * kGridMenuItems));
  }

  static Screenshot Shot(const WindowId& window, const std::string& name) {
    fs::create_directories(RX_WINE_SHOTS);
    return Screenshot::Take(S().display->Name(), window, std::string(RX_WINE_SHOTS) + "/" + name,
                            S().dir.Path());
  }

  static Session* s_;
};

Session* WindowUnderWine::s_ = nullptr;

TEST_F(WindowUnderWine, OpensOnComm1WithTodaysFileInTheLinuxBuildsFonts) {
  ASSERT_NO_FATAL_FAILURE(Launch(S().first, "first"));
  EXPECT_EQ(FieldText(S().first, kPortList), "Comm. 1");
  EXPECT_EQ(FieldText(S().first, kFileName), Today() + ".dat");

  // The Linux build on the same display draws with Liberation Serif and Sans through
  // fontconfig; Wine's replacements give the Windows build the same fonts, so every caption
  // is as wide as there. Another font, or none, changes the widths or leaves them blank.
  // Before the Linux window opens: a window that covers part of another shows in its shot.
  const Screenshot on_wine = Shot(S().first.main, "window-on-start.png");
  Instance on_linux;
  ASSERT_NO_FATAL_FAILURE(LaunchLinux(on_linux, "linux"));
  std::this_thread::sleep_for(300ms);  // painted
  const Screenshot on_linux_shot = Shot(on_linux.main, "linux-window.png");
  ASSERT_GT(on_linux_shot.width, 0);
  ASSERT_GT(on_wine.width, 0);

  S().at_100_percent = on_wine;
  for (const Caption& caption : kCaptions) {
    const int linux_width = CaptionWidth(on_linux_shot, caption.place);
    const int wine_width = CaptionWidth(on_wine, caption.place);
    std::cout << caption.text << ": " << wine_width << " pixels wide under Wine, " << linux_width
              << " on Linux\n";
    EXPECT_GT(wine_width, 10) << caption.text;
    EXPECT_NEAR(wine_width, linux_width, std::max(3, linux_width / 16)) << caption.text;
  }
}

TEST_F(WindowUnderWine, ShowsPlotsAndExportsAFileTheLinuxBuildWrote) {
  const Instance& program = S().first;
  ASSERT_FALSE(program.main.empty()) << "the program did not start";
  ASSERT_NO_FATAL_FAILURE(GridMenu(program, 3));  // Open Data File...
  const WindowId dialog = WaitFor(program, "Open Data File");
  ASSERT_FALSE(dialog.empty()) << "no file dialog";
  // Into Wine's file name box, which lies at the foot of its dialog.
  H().ClickAt(dialog, 380, H().Height(dialog) - 41);
  H().Type(dialog, WinePrefix::WindowsPath(S().data_file));
  ASSERT_TRUE(PressUntil(dialog, {"Return"}, [&] { return Gone(program, dialog); }))
      << "the file dialog stayed open";

  std::this_thread::sleep_for(500ms);  // painted
  EXPECT_GT(Shot(program.main, "window-under-wine.png").width, 0);

  // Every cell against what the Linux build's command line shows for the file.
  ChildProcess show({RX_LINUX_CLI, "show", S().data_file}, S().dir.File("show.txt"));
  ASSERT_TRUE(show.WaitFor(10s));
  std::istringstream shown(show.Output());
  std::string line;
  std::getline(shown, line);  // the heading
  H().ClickAt(program.main, kGrid.left / 15 + kFirstCellX, kGrid.top / 15 + kFirstCellY);
  int rows = 0;
  const std::regex row(R"(\s*(\d+)\s+(\d+)\s+(.*?)  (.*))");
  for (std::smatch m; std::getline(shown, line); ++rows) {
    ASSERT_TRUE(std::regex_match(line, m, row)) << line;
    if (rows > 0) H().Keys(program.main, {"Down", "Left", "Left"});
    const std::string channel = Copy(program.main, {"ctrl+c"});
    H().Keys(program.main, {"Right"});
    const std::string value = Copy(program.main, {"ctrl+c"});
    H().Keys(program.main, {"Right"});
    const std::string unit = Copy(program.main, {"ctrl+c"});
    EXPECT_EQ(channel + "|" + value + "|" + unit, m[2].str() + "|" + m[3].str() + "|" + m[4].str())
        << "record " << m[1];
  }
  EXPECT_EQ(rows, 16);

  ASSERT_NO_FATAL_FAILURE(GridMenu(program, 0));  // Plot Readings...
  const WindowId plot = WaitFor(program, "Readings of .*");
  ASSERT_FALSE(plot.empty()) << "no plot window";
  const std::vector<std::string> title = H().Run({"getwindowname", plot});
  ASSERT_EQ(title.size(), 1u);
  EXPECT_TRUE(title[0].ends_with("linux.dat")) << title[0];
  Shot(plot, "plot-under-wine.png");
  // Clicked first, so that Alt+F4 closes the plot rather than the window Wine last activated;
  // pressed once, as a second one would close that window.
  H().ClickAt(plot, 500, 300);
  H().Keys(plot, {"alt+F4"});
  EXPECT_TRUE(Eventually([&] { return Gone(program, plot); }, 5s)) << "the plot stayed open";
  std::this_thread::sleep_for(1s);
  ASSERT_TRUE(program.process->Running()) << "Alt+F4 on the plot ended the program";

  // Export proposes the data file's name with .xlsx in its folder; Enter takes it, and the
  // workbook has the bytes of the Linux build's for the same file.
  ASSERT_NO_FATAL_FAILURE(GridMenu(program, 1));  // Export for Spreadsheet...
  const WindowId save = WaitFor(program, "Export for Spreadsheet");
  ASSERT_FALSE(save.empty()) << "no file dialog";
  ASSERT_TRUE(PressUntil(save, {"Return"}, [&] { return Gone(program, save); }))
      << "the file dialog stayed open";
  const std::string linux_workbook = S().dir.File("linux-cli.xlsx");
  ChildProcess exported(
      {RX_LINUX_CLI, "export", S().data_file, "--format", "xlsx", "--output", linux_workbook},
      S().dir.File("export.log"));
  ASSERT_TRUE(exported.WaitFor(10s));
  ASSERT_EQ(exported.ExitCode(), 0) << exported.Output();
  const std::string expected = ReadBytes(linux_workbook);
  ASSERT_GT(expected.size(), 1000u);
  const std::string workbook = S().dir.File("linux.xlsx");
  std::string bytes;
  if (!Eventually([&] { return (bytes = ReadBytes(workbook)) == expected; }, 5s)) {
    std::string boxes;
    for (const WindowId& box : Boxes(program)) boxes += "\n" + BoxText(box);
    FAIL() << workbook << " has " << bytes.size() << " bytes, not the Linux build's "
           << expected.size() << boxes;
  }
}

TEST_F(WindowUnderWine, StartOnComm1SetsTheLineTo9600_8N1AndWaitsForTheMeter) {
  const Instance& program = S().first;
  ASSERT_FALSE(program.main.empty()) << "the program did not start";
  // Other settings first, so that the program's own show.
  ASSERT_NO_FATAL_FAILURE(SetLine(S().link, B2400, CS7 | PARENB | CSTOPB));
  EXPECT_EQ(CaptionWidth(Shot(program.main, "before-start.png"), kStatus), 0);

  // The Linux build waiting for a meter that is slow to send shows how wide the status
  // "Press Send Key to Transfer Data" is; its window closes before the Windows build's shot.
  int linux_status = 0;
  {
    const std::string link = (S().dir.Path() / "linux-waiting" / "ports" / "com1").string();
    ChildProcess slow_meter({RX_METER_SIM, "--link", link, "--delay", "600000"},
                            S().dir.File("slow-meter.log"));
    ASSERT_TRUE(Eventually([&] { return fs::exists(link); }, 5s)) << slow_meter.Output();
    Instance on_linux;
    ASSERT_NO_FATAL_FAILURE(LaunchLinux(on_linux, "linux-waiting"));
    H().Click(on_linux.main, kStart);
    ASSERT_TRUE(Eventually([&] { return Holds(on_linux.process->Pid(), link); }, 5s));
    std::this_thread::sleep_for(300ms);  // painted
    linux_status = CaptionWidth(Shot(on_linux.main, "linux-waiting.png"), kStatus);
  }

  H().Click(program.main, kStart);
  EXPECT_TRUE(Eventually([&] { return Holds(program.process->Pid(), S().link); }, 10s))
      << "COM1 was not opened by " << program.process->Pid() << "; held by " << Holders(S().link)
      << "\nmeter-sim:\n"
      << S().meter->Output();
  // No box: a pseudo-terminal has no modem lines, and the program goes on without them.
  if (Eventually([&] { return !Boxes(program).empty(); }, 2s)) {
    ADD_FAILURE() << "a box: " << BoxText(Boxes(program)[0]);
  }
  const PtyLine line = PtyLineOf(S().link);
  ASSERT_TRUE(line.read) << "cannot read the line of " << S().link;
  EXPECT_EQ(line.input_baud, 9600u);
  EXPECT_EQ(line.output_baud, 9600u);
  EXPECT_EQ(line.data_bits, 8);
  EXPECT_FALSE(line.parity);
  EXPECT_EQ(line.stop_bits, 1);
  const int status = CaptionWidth(Shot(program.main, "waiting.png"), kStatus);
  std::cout << "The status is " << status << " pixels wide under Wine, " << linux_status
            << " on Linux\n";
  EXPECT_GT(linux_status, 100);
  EXPECT_NEAR(status, linux_status, linux_status / 16);
}

struct PortCase {
  const char* name;
  int index;  // in the port list
  std::string file_name;
  std::string message;  // a pattern
  bool lists_ports;     // the message ends with the ports there are to choose from
};

// The port numbers in the message's last line, "Serial ports on this computer: Comm. 1, ...".
std::set<int> ListedNumbers(const std::string& message) {
  const std::string line = message.substr(message.rfind('\n') + 1);
  std::set<int> numbers;
  if (!line.starts_with("Serial ports on this computer: ")) return numbers;
  const std::regex item(R"((?:: |, )Comm\. ([0-9]+))");
  for (std::sregex_iterator it(line.begin(), line.end(), item), end; it != end; ++it) {
    numbers.insert(std::stoi((*it)[1]));
  }
  return numbers;
}

TEST_F(WindowUnderWine, StartOnAPortItCannotOpenSaysWhy) {
  ASSERT_NO_FATAL_FAILURE(Launch(S().second, "second"));
  const Instance& program = S().second;
  const PortCase cases[] = {
      // No registry value and no device: Windows says why in its words.
      {"no device", 8, "comm9.dat",
       R"(Cannot open Comm\. port 9 \(COM9\): [^\n]*[^.\n]\.)"
       "\nTo use another adapter as Comm\\. port 9, give it the number COM9 in the Device "
       R"(Manager \(Ports, Properties, Port Settings, Advanced\)\.)"
       "\nSerial ports on this computer: Comm\\. [^\n]+",
       true},
      // The first program holds COM1 since its Start.
      {"in use", 0, "comm1.dat",
       R"(Cannot open Comm\. port 1 \(COM1\): the port is in use by another program\.)"
       "\nClose the program that uses it \\(a terminal program, or another RX7731\\) to free "
       "the port, then try again\\.",
       false},
  };
  for (const PortCase& c : cases) {
    SCOPED_TRACE(c.name);
    ChoosePort(program, c.index);
    EXPECT_EQ(FieldText(program, kPortList), "Comm. " + std::to_string(c.index + 1));
    TypeFileName(program, c.file_name);
    H().Click(program.main, kStart);
    const WindowId box = WaitFor(program, kTitle, 5s);
    if (box.empty() && c.index == 0 && Holds(program.process->Pid(), S().link)) {
      // Wine checks sharing only on files, so a second program opens a COM port that
      // another holds, which Windows denies: the message cannot show under Wine.
      std::cout << "Not shown under Wine: it let a second program open COM1 while the first "
                   "held it, so the \"in use\" message cannot come\n";
      continue;
    }
    ASSERT_FALSE(box.empty()) << "no message";
    const std::string text = BoxText(box);
    EXPECT_TRUE(std::regex_match(text, std::regex(c.message))) << text;
    if (c.lists_ports) {
      // The two ports in the registry, and never the one that failed.
      const std::set<int> listed = ListedNumbers(text);
      EXPECT_TRUE(listed.contains(1) && listed.contains(7) && !listed.contains(9)) << text;
      std::cout << "Under Wine a failed Start lists: " << text.substr(text.rfind('\n') + 1) << "\n";
    }
    Answer(program, box, "Return");
  }
}

TEST_F(WindowUnderWine, ExitEndsTheProgramAndClosesThePort) {
  for (Instance* program : {&S().second, &S().first}) {
    if (!program->process) continue;
    H().Click(program->main, kExit);
    ASSERT_TRUE(program->process->WaitFor(15s)) << "Exit did not end the program";
    EXPECT_EQ(program->process->ExitCode(), 0) << program->process->Output();
  }
  // meter-sim says when a reader opens and closes the port.
  const auto count = [](const std::string& log, const std::string& what) {
    size_t n = 0;
    for (size_t at = log.find(what); at != std::string::npos; at = log.find(what, at + 1)) ++n;
    return n;
  };
  std::string log;
  EXPECT_TRUE(Eventually(
      [&] {
        log = S().meter->Output();
        return count(log, "the port was opened") == count(log, "closed the port");
      },
      3s))
      << log;
}

// At 150 % (96 dots an inch become 144), as many Windows laptops run: the window is half as
// large again, every control keeps its place relative to the others, and each caption is drawn
// whole there: half as wide again as at 100 %, where a cut, wrapped or blank one is narrower.
TEST_F(WindowUnderWine, At150PercentEveryCaptionIsWholeInItsPlace) {
  ASSERT_GT(S().at_100_percent.width, 0) << "no picture of the window at 100 %";
  ASSERT_EQ(S().wine->Run({"reg", "add", R"(HKCU\Control Panel\Desktop)", "/v", "LogPixels", "/t",
                           "REG_DWORD", "/d", "144", "/f"},
                          "reg"),
            0)
      << ReadBytes(S().wine->Log("reg"));
  S().wine->RestartServer();  // Wine reads the setting as it starts
  Instance scaled;
  ASSERT_NO_FATAL_FAILURE(Launch(scaled, "scaled"));
  std::this_thread::sleep_for(500ms);  // painted
  const Screenshot shot = Shot(scaled.main, "window-at-150-percent.png");
  ASSERT_GT(shot.width, 0);
  EXPECT_NEAR(shot.width, S().at_100_percent.width * 3 / 2, 3);
  EXPECT_NEAR(shot.height, S().at_100_percent.height * 3 / 2, 3);
  for (const Caption& caption : kCaptions) {
    const int at_100 = CaptionWidth(S().at_100_percent, caption.place);
    const int at_150 = CaptionWidth(shot, caption.place, 1.5);
    std::cout << caption.text << ": " << at_150 << " pixels wide at 150 %, " << at_100
              << " at 100 %\n";
    EXPECT_NEAR(at_150, at_100 * 3 / 2, std::max(3, at_100 / 10)) << caption.text;
  }
  H().Click(scaled.main, Place{kExit.left * 3 / 2, kExit.top * 3 / 2, kExit.width * 3 / 2,
                               kExit.height * 3 / 2});
  EXPECT_TRUE(scaled.process->WaitFor(15s)) << "Exit at 150 % did not end the program";
}

}  // namespace
}  // namespace rx::test
