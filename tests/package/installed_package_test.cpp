// The .deb as a user gets it: unpacked into a root of its own, its programs run by an
// unprivileged user (nobody) with a fresh home, on a virtual display, against the packaged
// meter simulator linked as Comm. 1 in that user's data folder. RX_PACKAGE_DEB names the package.

#include <grp.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <chrono>
#include <filesystem>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include "e2e/child_process.h"
#include "e2e/virtual_desktop.h"
#include "support/fakes.h"

namespace rx::test {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

// Unit names the sample table does not hold, so a data file made with them shows which table
// the program read.
const std::string kUsersUnits = "0,\"Volt\"\r\n1,\"milliVolt\"\r\n2,\"Ampere\"\r\n3,\"Ohm\"\r\n";

class InstalledPackage : public testing::Test {
 protected:
  void SetUp() override {
    if (getuid() != 0) GTEST_SKIP() << "needs root to run the package as another user";
    for (const char* tool : {"dpkg-deb", "setpriv", "man"}) {
      if (FindOnPath(tool).empty()) GTEST_SKIP() << tool << " is not installed";
    }
    if (!VirtualDisplay::Available()) GTEST_SKIP() << "Xvfb or xdotool is not installed";
    const passwd* user = getpwnam("nobody");
    const group* group = getgrnam("nogroup");
    if (user == nullptr || group == nullptr) GTEST_SKIP() << "no user nobody or group nogroup";
    uid_ = user->pw_uid;
    gid_ = group->gr_gid;

    ASSERT_TRUE(fs::exists(RX_PACKAGE_DEB)) << RX_PACKAGE_DEB << " was not built";
    ChildProcess unpack({FindOnPath("dpkg-deb"), "-x", RX_PACKAGE_DEB, root_.string()},
                        dir_.File("dpkg-deb.log"));
    ASSERT_TRUE(unpack.WaitFor(60s) && unpack.ExitCode() == 0) << unpack.Output();

    // The user's own home; their documents folder is $HOME/Documents.
    for (const fs::path& p : {home_, home_ / "runtime", Documents(), Documents() / "ports"}) {
      fs::create_directories(p);
      ASSERT_EQ(chown(p.c_str(), uid_, gid_), 0) << p;
    }
    fs::permissions(home_ / "runtime", fs::perms::owner_all, fs::perm_options::replace);
    WriteBytes(Documents() / "unit2.dat", kUsersUnits);
    ASSERT_EQ(chown((Documents() / "unit2.dat").c_str(), uid_, gid_), 0);

    display_ = std::make_unique<VirtualDisplay>(dir_.File("xvfb.log"));
    hand_ = std::make_unique<Hand>(display_->Name(), dir_.File("xdotool.log"));
  }

  fs::path Documents() const { return home_ / "Documents" / "RX7731"; }
  std::string Installed(const std::string& path) const { return (root_ / path).string(); }

  // `argv` run as nobody in a fresh login's environment: no XDG_DOCUMENTS_DIR or other
  // settings of the test's own user.
  std::unique_ptr<ChildProcess> AsUser(const std::vector<std::string>& argv,
                                       const std::string& log) const {
    std::vector<std::string> command = {FindOnPath("setpriv"),
                                        "--reuid=" + std::to_string(uid_),
                                        "--regid=" + std::to_string(gid_),
                                        "--clear-groups",
                                        "--",
                                        FindOnPath("env"),
                                        "-i",
                                        "HOME=" + home_.string(),
                                        "PATH=/usr/bin:/bin",
                                        "XDG_RUNTIME_DIR=" + (home_ / "runtime").string(),
                                        "DISPLAY=" + display_->Name(),
                                        "QT_QPA_PLATFORM=xcb"};
    command.insert(command.end(), argv.begin(), argv.end());
    return std::make_unique<ChildProcess>(command, dir_.File(log),
                                          std::map<std::string, std::string>{}, home_.string());
  }

  // The program's main window: titled RX7731 and taller than a message box.
  WindowId MainWindow(int pid) const {
    for (const WindowId& w : hand_->Windows(pid, "RX7731")) {
      if (hand_->Height(w) > 400) return w;
    }
    return {};
  }

  // Its other windows titled RX7731: the message boxes.
  std::vector<WindowId> Boxes(int pid, const WindowId& main) const {
    std::vector<WindowId> boxes;
    for (const WindowId& w : hand_->Windows(pid, "RX7731")) {
      if (w != main) boxes.push_back(w);
    }
    return boxes;
  }

  TempDir dir_;
  fs::path root_ = dir_.Path() / "root";
  fs::path home_ = dir_.Path() / "home";
  uid_t uid_ = 0;
  gid_t gid_ = 0;
  std::unique_ptr<VirtualDisplay> display_;
  std::unique_ptr<Hand> hand_;
};

TEST_F(InstalledPackage, CommandLineToolAndManualPageWork) {
  auto version = AsUser({Installed("usr/bin/rx7731-cli"), "--version"}, "version.log");
  ASSERT_TRUE(version->WaitFor(10s));
  EXPECT_EQ(version->ExitCode(), 0) << version->Output();
  EXPECT_EQ(version->Output(), "rx7731-cli " RX_VERSION "\n");

  ChildProcess man({FindOnPath("man"), "-l", Installed("usr/share/man/man1/rx7731-cli.1.gz")},
                   dir_.File("man.log"),
                   {{"MANPAGER", "cat"}, {"MANWIDTH", "80"}, {"LC_ALL", "C"}});
  ASSERT_TRUE(man.WaitFor(20s));
  EXPECT_EQ(man.ExitCode(), 0) << man.Output();
  // The page's name line, however man justifies it.
  EXPECT_TRUE(std::regex_search(man.Output(), std::regex(R"(rx7731-cli +- +download a meter)")))
      << man.Output();
  EXPECT_NE(man.Output().find("--help"), std::string::npos) << man.Output();
}

// Each manual page leads to the user guide, which the package holds as pages a browser shows.
TEST_F(InstalledPackage, ManualPagesPointToTheInstalledUserGuide) {
  const std::string guide = "/usr/share/doc/rx7731/user-guide.html";
  for (const char* page : {"rx7731", "rx7731-cli", "rx7731-meter-sim"}) {
    ChildProcess man({FindOnPath("man"), "-l",
                      Installed("usr/share/man/man1/" + std::string(page) + ".1.gz")},
                     dir_.File(std::string(page) + "-man.log"),
                     {{"MANPAGER", "cat"}, {"MANWIDTH", "80"}, {"LC_ALL", "C"}});
    ASSERT_TRUE(man.WaitFor(20s));
    // However man breaks the line, the path reads whole without the spaces.
    std::string text = man.Output();
    std::erase_if(text, [](unsigned char c) { return std::isspace(c); });
    EXPECT_NE(text.find(guide), std::string::npos) << page << "(1) does not name " << guide
                                                   << "\n" << man.Output();
  }
  for (const char* doc : {"user-guide.html", "data-file.html"}) {
    const std::string page = ReadBytes(Installed("usr/share/doc/rx7731/" + std::string(doc)));
    EXPECT_NE(page.find("<title>"), std::string::npos) << doc << " is not installed as a page";
    EXPECT_EQ(page.find(".md\""), std::string::npos) << doc << " links to a Markdown file";
  }
}

TEST_F(InstalledPackage, DownloadsIntoTheUsersDocumentsWithTheirUnitTableAndPortLink) {
  const std::string link = (Documents() / "ports" / "com1").string();
  const std::string expected = (home_ / "expected.dat").string();
  auto meter = AsUser({Installed("usr/bin/rx7731-meter-sim"), "--link", link, "--units",
                       (Documents() / "unit2.dat").string(), "--expect", expected, "--quiet",
                       "--fast", "--records", "300", "--seed", "41"},
                      "meter-sim.log");
  ASSERT_TRUE(Eventually([&] { return fs::exists(fs::symlink_status(link)); }, 5s))
      << meter->Output();

  // Started through the link on PATH, as the desktop entry starts it.
  auto program = AsUser({Installed("usr/bin/rx7731")}, "program.log");
  WindowId main;
  ASSERT_TRUE(Eventually([&] { return !(main = MainWindow(program->Pid())).empty(); }, 20s))
      << "no main window titled RX7731\n"
      << program->Output();
  EXPECT_EQ(hand_->Run({"getwindowname", main}), std::vector<std::string>{"RX7731"});
  ASSERT_TRUE(Boxes(program->Pid(), main).empty()) << "a box at start-up\n" << program->Output();

  hand_->Click(main, kFileName);
  hand_->Keys(main, {"ctrl+a", "BackSpace"});
  hand_->Type(main, "installed.dat");
  hand_->Click(main, kStart);
  std::vector<WindowId> boxes;
  ASSERT_TRUE(Eventually([&] { return !(boxes = Boxes(program->Pid(), main)).empty(); }, 20s))
      << "no message at the end of the download\n"
      << meter->Output() << program->Output();
  hand_->Keys(boxes.front(), {"Return"});

  const fs::path df = Documents() / "installed.dat";
  ASSERT_TRUE(fs::exists(df)) << "no data file in the user's documents folder\n"
                              << program->Output();
  EXPECT_EQ(ReadBytes(df.string()), ReadBytes(expected));
  EXPECT_GT(ReadBytes(expected).size(), 1000u);
  struct stat info {};
  ASSERT_EQ(stat(df.c_str(), &info), 0);
  EXPECT_EQ(info.st_uid, uid_) << "the data file is not the user's own";
  EXPECT_FALSE(fs::exists(Installed("usr/lib/rx7731/installed.dat")));

  hand_->Click(main, kExit);
  ASSERT_TRUE(program->WaitFor(10s)) << "Exit did not end the program";
  EXPECT_EQ(program->ExitCode(), 0) << program->Output();
}

}  // namespace
}  // namespace rx::test
