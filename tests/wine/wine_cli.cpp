// The Windows build's rx7731-cli.exe under Wine 10 as the program of the download scenarios: one
// Wine prefix for the whole test program, with COM1 on the path of meter-sim's link, so that the
// program reads the meter as `--port 1`.

#include <filesystem>
#include <memory>

#include "cli_download/cli_under_test.h"
#include "wine/wine_prefix.h"

namespace rx::test {
namespace {

namespace fs = std::filesystem;

class WineCli : public CliUnderTest {
 public:
  std::string SkipReason() override {
    if (!fs::exists(Program())) {
      return Program().string() + " is missing: `make check-windows` builds it with Qt for Windows";
    }
    return {};
  }

  std::string Problem() override {
    if (dir_) return problem_;
    dir_ = std::make_unique<TempDir>();
    wine_ = std::make_unique<WinePrefix>(dir_->Path() / "wine");
    if (!wine_->Ready()) {
      problem_ = "wineboot failed under Wine 10 (" RX_WINE10_RUN "):\n" +
                 ReadBytes(wine_->Log("wineboot"));
    } else if (!wine_->AddRegistryValue(R"(HKLM\Software\Wine\Ports)", "COM1", Com1())) {
      problem_ = "reg add failed:\n" + ReadBytes(wine_->Log("reg"));
    } else {
      wine_->RestartServer();
    }
    return problem_;
  }

  // One link for every test, which COM1 names; a killed meter-sim leaves it behind.
  std::string Link(const std::string&) override {
    fs::remove(Com1());
    return Com1();
  }
  std::vector<std::string> PortOptions(const std::string&) override { return {"--port", "1"}; }

  std::vector<std::string> Command(const std::vector<std::string>& args) override {
    std::vector<std::string> argv{Program().string()};
    argv.insert(argv.end(), args.begin(), args.end());
    return wine_->Command(argv);
  }
  std::map<std::string, std::string> Environment() override { return wine_->Environment(); }

 private:
  static fs::path Program() { return fs::path(RX_WINDOWS_BIN) / "rx7731-cli.exe"; }
  std::string Com1() const { return dir_->File("com1"); }

  std::unique_ptr<TempDir> dir_;
  std::unique_ptr<WinePrefix> wine_;
  std::string problem_;
};

}  // namespace

CliUnderTest& TheCliUnderTest() {
  static WineCli cli;
  return cli;
}

}  // namespace rx::test
