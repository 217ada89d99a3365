// The Windows build's RX7731.exe under Wine 10 as the program of the window scenarios: a copy of
// its program folder as it ships, in one Wine prefix kept for the whole test program on one
// virtual display (Wine's desktop process stays on the display it started with), COM1 on the
// path of meter-sim's link, Times New Roman and Arial replaced by their metric twins.

#include <filesystem>
#include <memory>

#include "e2e/program_under_test.h"
#include "wine/wine_prefix.h"

namespace rx::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

class WineProgram : public ProgramUnderTest {
 public:
  std::string SkipReason() override {
    if (!fs::exists(fs::path(RX_WINDOWS_BIN) / "RX7731.exe")) {
      return std::string(RX_WINDOWS_BIN) +
             "/RX7731.exe is missing: `make check-windows` builds it with Qt for Windows";
    }
    return {};
  }

  std::string Problem(const fs::path&) override {
    if (!dir_) SetUpPrefix();
    return problem_;
  }

  VirtualDisplay* SharedDisplay() override { return display_.get(); }

  void Install(const fs::path& folder) override {
    // A meter-sim that was killed leaves its link behind; the next one makes it anew.
    fs::remove(dir_->File("com1"));
    // The program folder as it ships, without the build's test programs.
    for (const auto& entry : fs::directory_iterator(RX_WINDOWS_BIN)) {
      if (entry.path().filename().string().ends_with("_tests.exe")) continue;
      fs::copy(entry.path(), folder / entry.path().filename(), fs::copy_options::recursive);
    }
  }

  std::string Comm1Link(const fs::path&) override { return dir_->File("com1"); }

  std::unique_ptr<ChildProcess> Start(const fs::path& folder,
                                      const std::map<std::string, std::string>&,
                                      const std::string& log) override {
    std::map<std::string, std::string> env = wine_->Environment();
    return std::make_unique<ChildProcess>(wine_->Command({(folder / "RX7731.exe").string()}), log,
                                          env, folder.string());
  }

  bool ActivatesOnFirstKey() const override { return true; }

 private:
  void SetUpPrefix() {
    dir_ = std::make_unique<TempDir>();
    display_ = std::make_unique<VirtualDisplay>(dir_->File("xvfb.log"));
    wine_ = std::make_unique<WinePrefix>(dir_->Path() / "wine", display_->Name());
    if (!wine_->Ready()) {
      problem_ = "wineboot failed under Wine 10 (" RX_WINE10_RUN "):\n" +
                 ReadBytes(wine_->Log("wineboot"));
      return;
    }
    const std::string fonts = R"(HKCU\Software\Wine\Fonts\Replacements)";
    if (!wine_->AddRegistryValue(fonts, "Times New Roman", "Liberation Serif") ||
        !wine_->AddRegistryValue(fonts, "Arial", "Liberation Sans") ||
        !wine_->AddRegistryValue(R"(HKLM\Software\Wine\Ports)", "COM1", dir_->File("com1"))) {
      problem_ = "reg add failed:\n" + ReadBytes(wine_->Log("reg"));
      return;
    }
    wine_->RestartServer();
  }

  // Destroyed in reverse: Wine's server ends before its display and its folder go.
  std::unique_ptr<TempDir> dir_;
  std::unique_ptr<VirtualDisplay> display_;
  std::unique_ptr<WinePrefix> wine_;
  std::string problem_;
};

}  // namespace

ProgramUnderTest& TheProgramUnderTest() {
  static WineProgram program;
  return program;
}

}  // namespace rx::test
