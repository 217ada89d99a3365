// The Windows packages under Wine, each in a fresh prefix, used as a technician uses them: the
// portable zip unpacked and run from its own folder with nothing else to load Qt from, and the
// installer run silently, its program used by someone who cannot write Program Files, then
// uninstalled. `make check-windows` (or `make package-windows`) builds the packages first.

#include <fcntl.h>
#include <linux/fs.h>
#include <pwd.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <map>
#include <memory>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "e2e/child_process.h"
#include "e2e/virtual_desktop.h"
#include "support/fakes.h"
#include "wine/wine_prefix.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace rx::test {
namespace {

// The grid's place in the window, in twips.
constexpr Place kGrid{720, 3120, 5895, 4815};

const fs::path kPackages = fs::path(RX_WINDOWS_BIN).parent_path();
const std::string kPackageName = std::string("RX7731-") + RX_PACKAGE_VERSION + "-win64";
const fs::path kZip = kPackages / (kPackageName + ".zip");
const fs::path kSetup = kPackages / (kPackageName + "-setup.exe");

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

// The lower-case names of the files directly in `folder`.
std::set<std::string> FileNames(const fs::path& folder) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    if (entry.is_regular_file()) names.insert(Lower(entry.path().filename().string()));
  }
  return names;
}

// Today's data file name as the program gives it, yymmdd.dat.
std::string TodaysDataFile() {
  const std::time_t now = std::time(nullptr);
  char name[16];
  std::strftime(name, sizeof name, "%y%m%d.dat", std::localtime(&now));
  return name;
}

// Whether `bytes` hold `text` in one byte a character or in UTF-16LE, case aside: the two ways
// a shortcut (.lnk) stores its target's path.
bool HoldsPath(const std::string& bytes, const std::string& text) {
  std::string wide;
  for (char c : text) wide += {c, '\0'};
  const std::string lower = Lower(bytes);
  return lower.find(Lower(text)) != std::string::npos ||
         lower.find(Lower(wide)) != std::string::npos;
}

// Makes a folder read-only for the Windows programs and gives it back as it was. Wine has no
// access lists of its own: it opens files with the Linux user's rights. So the folder loses its
// write permission on the Linux side and, because root writes regardless of permissions, is
// also marked immutable (chattr +i) when the test runs as root.
class ReadOnlyFolder {
 public:
  explicit ReadOnlyFolder(fs::path folder) : folder_(std::move(folder)) {
    fs::permissions(folder_,
                    fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    if (geteuid() == 0) immutable_ = SetImmutable(true);
  }
  ~ReadOnlyFolder() {
    if (immutable_) SetImmutable(false);
    fs::permissions(folder_, fs::perms::owner_write, fs::perm_options::add);
  }
  ReadOnlyFolder(const ReadOnlyFolder&) = delete;
  ReadOnlyFolder& operator=(const ReadOnlyFolder&) = delete;

  // True when no file can be made in the folder, which the test takes as its premise.
  bool Holds() const {
    const fs::path probe = folder_ / "rx7731-probe";
    const int fd = open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
    if (fd < 0) return true;
    close(fd);
    fs::remove(probe);
    return false;
  }

 private:
  bool SetImmutable(bool on) const {
    const int fd = open(folder_.c_str(), O_RDONLY | O_DIRECTORY);
    if (fd < 0) return false;
    int flags = 0;
    bool done = ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
    done = done && ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    close(fd);
    return done;
  }

  fs::path folder_;
  bool immutable_ = false;
};

class PackageUnderWine : public testing::Test {
 protected:
  void SetUp() override {
    if (!fs::exists(fs::path(RX_WINDOWS_BIN) / "RX7731.exe")) {
      GTEST_SKIP() << "no Windows build with Qt at " << RX_WINDOWS_BIN
                   << " (make check-windows builds it when Qt for Windows is there)";
    }
    if (!VirtualDisplay::Available()) GTEST_SKIP() << "Xvfb or xdotool is not installed";
    objdump_ = FindOnPath("x86_64-w64-mingw32-objdump");
    if (objdump_.empty()) {
      GTEST_SKIP() << "x86_64-w64-mingw32-objdump is missing (g++-mingw-w64-x86-64-posix)";
    }
    for (const fs::path& package : {kZip, kSetup}) {
      ASSERT_TRUE(fs::exists(package)) << package << " is missing: run make package-windows";
      ASSERT_GE(fs::last_write_time(package),
                fs::last_write_time(fs::path(RX_WINDOWS_BIN) / "RX7731.exe"))
          << package << " is older than the build's RX7731.exe: run make package-windows";
    }
    // Wine links the prefix's Documents to the home folder: the test's own, not the user's.
    fs::create_directories(home_);
    setenv("HOME", home_.c_str(), 1);
    display_ = std::make_unique<VirtualDisplay>(dir_.File("xvfb.log"));
    hand_ = std::make_unique<Hand>(display_->Name(), dir_.File("xdotool.log"));
    prefix_ = std::make_unique<WinePrefix>(dir_.Path() / "wine", display_->Name());
    ASSERT_TRUE(prefix_->Ready()) << ReadBytes(prefix_->Log("wineboot"));
  }

  fs::path DriveC() const { return dir_.Path() / "wine" / "prefix" / "drive_c"; }

  // The environment of the programs from a package: no Qt on any search path, so that they
  // find their DLLs beside themselves or not at all.
  std::map<std::string, std::string> Environment() const {
    std::map<std::string, std::string> env = prefix_->Environment();
    env["WINEPATH"] = "";
    env["PATH"] = "/usr/bin:/bin";
    return env;
  }

  // meter-sim on a pseudo-terminal that Wine calls COM1; it also writes the data file that its
  // memory gives, sample.dat.
  void LinkCom1() {
    const std::string link = dir_.File("com1");
    meter_ = std::make_unique<ChildProcess>(
        std::vector<std::string>{RX_METER_SIM, "--link", link, "--units", RX_UNIT_TABLE, "--expect",
                                 Sample(), "--records", "40", "--seed", "7", "--quiet"},
        dir_.File("meter-sim.log"));
    ASSERT_TRUE(Eventually([&] { return fs::exists(link); }, 5s)) << meter_->Output();
    ASSERT_TRUE(prefix_->AddRegistryValue(R"(HKLM\Software\Wine\Ports)", "COM1", link));
    prefix_->RestartServer();
  }
  std::string Sample() const { return dir_.File("sample.dat"); }

  // Starts RX7731.exe (`program`: its Linux path, or its Windows path for an installed copy),
  // opens `to_open` (when given) through the grid's menu, presses Start with Comm. 1 chosen, and
  // expects the download in `data_file`, byte for byte what the meter's memory gives; the
  // program is ended then.
  void StartDownload(const std::string& program, const fs::path& data_file,
                     const std::string& to_open = {}) {
    ChildProcess rx(prefix_->Command({program}), dir_.File("rx7731.log"), Environment(),
                    dir_.Path().string());
    WindowId main;
    Eventually(
        [&] {
          for (const WindowId& w : hand_->Run({"search", "--onlyvisible", "--name", "^RX7731$"})) {
            if (hand_->Height(w) > 400) main = w;
          }
          return !main.empty() || !rx.Running();
        },
        90s);
    ASSERT_FALSE(main.empty()) << program << " showed no window\n" << rx.Output();
    if (!to_open.empty()) {
      ASSERT_NO_FATAL_FAILURE(OpenDataFile(main, to_open));
    }
    hand_->Click(main, kStart);
    EXPECT_TRUE(Eventually([&] { return fs::exists(data_file); }, 20s))
        << "Start made no " << data_file << "\nmeter-sim: " << meter_->Output() << "\n"
        << rx.Output();
    EXPECT_TRUE(Eventually([&] { return ReadBytes(data_file) == ReadBytes(Sample()); }, 20s))
        << data_file << " is not the meter's memory " << Sample()
        << "\nmeter-sim: " << meter_->Output();
  }

  // Opens `file` with the grid menu's Open Data File in Wine's file dialog, and expects the grid
  // to change from empty to a shown file. The window's test reads such a grid cell by cell;
  // here it is enough that the packaged program shows the file at all.
  void OpenDataFile(const WindowId& main, const std::string& file) {
    const Screenshot empty = Shot(main, "empty");
    hand_->ClickAt(main, kGrid.CentreX(), kGrid.CentreY(), 3);
    WindowId menu, dialog;
    ASSERT_TRUE(Eventually([&] { return !(menu = Other(main, "RX7731")).empty(); }, 5s));
    hand_->ClickAt(menu, 60, hand_->Height(menu) * 5 / 6);  // the third item
    ASSERT_TRUE(Eventually([&] { return !(dialog = Other(main, "Open Data File")).empty(); }, 15s))
        << "no file dialog";
    // Under load Wine's dialog can take the first keys for its activation: the name is typed
    // again while the dialog stays.
    bool closed = false;
    for (int attempt = 0; attempt < 3 && !closed; ++attempt) {
      hand_->ClickAt(dialog, 380, hand_->Height(dialog) - 41);  // its file name box
      hand_->Keys(dialog, {"ctrl+a", "BackSpace"});
      hand_->Type(dialog, WinePrefix::WindowsPath(file));
      hand_->Keys(dialog, {"Return"});
      closed = Eventually([&] { return Other(main, "Open Data File").empty(); }, 8s);
    }
    ASSERT_TRUE(closed) << "the file dialog did not take " << file;
    int changed = 0;
    Eventually(
        [&] {
          const Screenshot shown = Shot(main, "shown");
          changed = 0;
          for (int y = kGrid.top / 15; y < (kGrid.top + kGrid.height) / 15; ++y) {
            for (int x = kGrid.left / 15; x < (kGrid.left + kGrid.width) / 15; ++x) {
              changed += Distance(empty.At(x, y), shown.At(x, y)) > 60;
            }
          }
          return changed > 1000;
        },
        10s);
    EXPECT_GT(changed, 1000) << "the grid did not show " << file;
    EXPECT_EQ(Other(main, "RX7731"), "") << "a message box covers the grid";
  }

  // The visible window titled `title` other than `main`: a menu, a dialog.
  WindowId Other(const WindowId& main, const std::string& title) const {
    for (const WindowId& w : hand_->Run({"search", "--onlyvisible", "--name", "^" + title + "$"})) {
      if (w != main) return w;
    }
    return {};
  }

  Screenshot Shot(const WindowId& window, const std::string& name) const {
    const Screenshot shot =
        Screenshot::Take(display_->Name(), window, dir_.File(name + ".png"), dir_.Path());
    if (shot.width < (kGrid.left + kGrid.width) / 15) ADD_FAILURE() << "no screenshot";
    return shot;
  }

  TempDir dir_;
  fs::path home_ = dir_.Path() / "home";
  std::string objdump_;
  std::unique_ptr<VirtualDisplay> display_;
  std::unique_ptr<Hand> hand_;
  std::unique_ptr<WinePrefix> prefix_;
  std::unique_ptr<ChildProcess> meter_;
};

TEST_F(PackageUnderWine, ZipUnpackedRunsOnItsOwnDllsAndKeepsItsFilesBesideItself) {
  const fs::path unpacked = dir_.Path() / "unpacked";
  fs::create_directories(unpacked);
  ChildProcess unzip({RX_CMAKE, "-E", "tar", "xf", kZip.string()}, dir_.File("unzip.log"), {},
                     unpacked.string());
  ASSERT_TRUE(unzip.WaitFor(60s) && unzip.ExitCode() == 0) << unzip.Output();
  const fs::path folder = unpacked / kPackageName;
  ASSERT_EQ(std::vector<fs::path>(fs::directory_iterator(unpacked), {}),
            std::vector<fs::path>{folder})
      << "the zip holds one folder";

  // What each .exe and .dll imports is shipped beside the programs or is part of Windows (in
  // the fresh prefix's system32), and every DLL shipped there is loaded by something.
  const std::set<std::string> shipped = FileNames(folder);
  const std::set<std::string> system = FileNames(DriveC() / "windows" / "system32");
  std::set<std::string> imported, executables;
  std::vector<std::string> unmet;
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    const std::string extension = Lower(entry.path().extension().string());
    const std::string name = fs::relative(entry.path(), folder).generic_string();
    EXPECT_NE(extension, ".a") << name << ": an import library is shipped";
    if (extension == ".exe") executables.insert(Lower(name));
    if (extension != ".exe" && extension != ".dll") continue;
    ChildProcess objdump({objdump_, "-p", entry.path().string()}, dir_.File("objdump.log"));
    ASSERT_TRUE(objdump.WaitFor(30s) && objdump.ExitCode() == 0) << objdump.Output();
    const std::string table = objdump.Output();
    const std::regex dll_name(R"(DLL Name: (\S+))");
    for (std::sregex_iterator m(table.begin(), table.end(), dll_name), end; m != end; ++m) {
      const std::string dll = Lower((*m)[1]);
      imported.insert(dll);
      // API sets ("api-ms-win-core-synch-l1-2-0.dll") are names Windows' loader maps to its
      // own DLLs, not files.
      const bool api_set = dll.starts_with("api-ms-") || dll.starts_with("ext-ms-");
      if (!shipped.contains(dll) && !system.contains(dll) && !api_set) {
        unmet.push_back(name + ": " + dll);
      }
    }
  }
  EXPECT_EQ(unmet, std::vector<std::string>{}) << "imports neither shipped nor part of Windows";
  std::vector<std::string> unused;
  for (const std::string& file : shipped) {
    if (file.ends_with(".dll") && !imported.contains(file)) unused.push_back(file);
  }
  EXPECT_EQ(unused, std::vector<std::string>{}) << "DLLs shipped that nothing loads";
  EXPECT_EQ(executables, (std::set<std::string>{"rx7731.exe", "rx7731-cli.exe"}));
  for (const char* file : {"unit2.dat", "user-guide.html", "data-file.html"}) {
    EXPECT_TRUE(shipped.contains(file)) << file << " is not beside the programs";
  }
  EXPECT_NE(ReadBytes((folder / "lib/fonts/LICENSE.txt").string()).find("SIL OPEN FONT LICENSE"),
            std::string::npos)
      << "the fonts' licence is missing";

  // Unpacked where the user can write, the program shows a data file, and keeps today's beside
  // itself.
  ASSERT_NO_FATAL_FAILURE(LinkCom1());
  ASSERT_NO_FATAL_FAILURE(
      StartDownload((folder / "RX7731.exe").string(), folder / TodaysDataFile(), Sample()));

  // rx7731-cli.exe from the folder exports as the Linux build's does, and plots (on the
  // offscreen platform, with the folder's fonts). The files are named from the test's folder:
  // on Windows a Linux path's leading slash would start an option.
  const std::string cli = (folder / "rx7731-cli.exe").string();
  const std::string here = dir_.Path().string();
  ChildProcess windows_export(prefix_->Command({cli, "export", "sample.dat"}),
                              dir_.File("windows-export.csv"), Environment(), here);
  ChildProcess linux_export({RX_LINUX_CLI, "export", "sample.dat"}, dir_.File("linux-export.csv"),
                            {}, here);
  ASSERT_TRUE(windows_export.WaitFor(60s) && linux_export.WaitFor(10s));
  EXPECT_EQ(windows_export.ExitCode(), 0) << windows_export.Output();
  EXPECT_EQ(windows_export.Output(), linux_export.Output());
  const fs::path png = dir_.Path() / "sample.png";
  ChildProcess plot(prefix_->Command({cli, "plot", "sample.dat", "--output", "sample.png"}),
                    dir_.File("plot.log"), Environment(), here);
  ASSERT_TRUE(plot.WaitFor(60s));
  EXPECT_EQ(plot.ExitCode(), 0) << plot.Output();
  EXPECT_TRUE(fs::exists(png) && fs::file_size(png) > 10000) << plot.Output();
}

TEST_F(PackageUnderWine, InstallerInstallsForAllUsersAndItsUninstallerKeepsTheData) {
  ASSERT_EQ(prefix_->Run({kSetup.string(), "/S"}, "setup", 180s), 0)
      << ReadBytes(prefix_->Log("setup"));
  const fs::path installed = DriveC() / "Program Files" / "RX7731";
  for (const char* file : {"RX7731.exe", "rx7731-cli.exe", "unit2.dat", "user-guide.html",
                           "data-file.html", "Qt6Widgets.dll", "platforms/qwindows.dll",
                           "lib/fonts/LICENSE.txt", "Uninstall.exe"}) {
    EXPECT_TRUE(fs::exists(installed / file)) << file << " is not installed";
  }
  const fs::path menu = DriveC() / "ProgramData/Microsoft/Windows/Start Menu/Programs/RX7731";
  const fs::path shortcut = menu / "RX7731.lnk";
  const fs::path guide_shortcut = menu / "RX7731 User Guide.lnk";
  for (const auto& [link, target] :
       {std::pair{shortcut, R"(C:\Program Files\RX7731\RX7731.exe)"},
        std::pair{guide_shortcut, R"(C:\Program Files\RX7731\user-guide.html)"}}) {
    EXPECT_TRUE(HoldsPath(ReadBytes(link.string()), target))
        << link << " does not lead to " << target;
  }
  const std::string uninstall_key =
      R"(HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\RX7731)";
  ASSERT_EQ(prefix_->Run({"reg", "query", uninstall_key}, "apps"), 0)
      << "no entry in Apps & features";
  const std::string apps = ReadBytes(prefix_->Log("apps"));
  for (const std::string& value : {"DisplayVersion\\s+REG_SZ\\s+" + std::string(RX_PACKAGE_VERSION),
                                   std::string("Publisher\\s+REG_SZ\\s+RX7731 maintainers"),
                                   std::string(R"(UninstallString\s+REG_SZ\s+.*Uninstall\.exe)"),
                                   std::string(R"(DisplayIcon\s+REG_SZ\s+.*RX7731\.exe)")}) {
    EXPECT_TRUE(std::regex_search(apps, std::regex(value))) << value << " is not in\n" << apps;
  }

  // The installed program, whose folder the user cannot write, keeps today's data file in the
  // user's Documents\RX7731.
  const fs::path documents = DriveC() / "users" / getpwuid(geteuid())->pw_name / "Documents";
  const fs::path data_file = documents / "RX7731" / TodaysDataFile();
  {
    ReadOnlyFolder read_only(installed);
    if (!read_only.Holds()) {
      GTEST_SKIP() << "cannot make " << installed << " read-only here (as root, that needs "
                   << "CAP_LINUX_IMMUTABLE): the installed copy's data folder is not tried";
    }
    ASSERT_NO_FATAL_FAILURE(LinkCom1());
    ASSERT_NO_FATAL_FAILURE(StartDownload(R"(C:\Program Files\RX7731\RX7731.exe)", data_file));
    EXPECT_FALSE(fs::exists(installed / TodaysDataFile()));
  }

  // The uninstaller goes on from a copy of itself in the temporary folder and ends before it
  // is done: wait for its work.
  ASSERT_EQ(prefix_->Run({(installed / "Uninstall.exe").string(), "/S"}, "uninstall", 120s), 0);
  EXPECT_TRUE(Eventually(
      [&] {
        return !fs::exists(installed / "RX7731.exe") && !fs::exists(shortcut) &&
               !fs::exists(guide_shortcut);
      },
      60s))
      << "the programs or the shortcuts are still there";
  EXPECT_FALSE(fs::exists(installed / "Qt6Core.dll"));
  EXPECT_NE(prefix_->Run({"reg", "query", uninstall_key}, "apps-after"), 0)
      << "the entry in Apps & features is still there";
  EXPECT_TRUE(fs::exists(data_file)) << "the uninstaller removed the user's data file";
}

}  // namespace
}  // namespace rx::test
