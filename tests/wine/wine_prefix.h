#pragma once

// A Wine prefix of a test program's own, made once and kept until the test program ends, with
// its wineserver kept running in between so that each start of a Windows program costs no new
// server. Wine is Wine 10 from the Debian 13 root, entered through RX_WINE10_RUN (the project's
// tools/wine10-run.sh): `RX_WINE10_RUN wine64 ...` and `RX_WINE10_RUN wineserver ...`.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "e2e/child_process.h"
#include "support/fakes.h"

namespace rx::test {

class WinePrefix {
 public:
  // Makes the prefix in `folder` (which it creates); its logs go there too. `wineboot --init`
  // takes 20 to 60 s. Whether it worked: Ready(), and Log() says why not. Programs with windows
  // need an X `display`, and so does Wine's desktop process, which shares the clipboard with X.
  explicit WinePrefix(const std::filesystem::path& folder, const std::string& display = "")
      : folder_(folder), display_(display) {
    // The server first, in the prefix's folder still empty, so that wineboot keeps it.
    std::filesystem::create_directories(folder_ / "prefix");
    StartServer();
    ready_ = Run({"wineboot", "--init"}, "wineboot", std::chrono::seconds(180)) == 0;
  }
  ~WinePrefix() { EndServer(); }
  WinePrefix(const WinePrefix&) = delete;
  WinePrefix& operator=(const WinePrefix&) = delete;

  bool Ready() const { return ready_; }
  std::string Log(const std::string& name) const { return (folder_ / (name + ".log")).string(); }

  // What every Windows program of the prefix runs with: no Mono or Gecko offered, no debug
  // channels, and no X display unless one was given, so that nothing reaches another test's.
  std::map<std::string, std::string> Environment() const {
    return {{"WINEPREFIX", (folder_ / "prefix").string()},
            {"WINEDEBUG", "-all"},
            {"WINEDLLOVERRIDES", "mscoree,mshtml="},
            {"DISPLAY", display_}};
  }

  // `args` after wine64: a .exe's Linux path or a Wine built-in program and its arguments.
  std::vector<std::string> Command(std::vector<std::string> args) const {
    args.insert(args.begin(), {RX_WINE10_RUN, "wine64"});
    return args;
  }

  // Runs wine64 `args` to its end (ended after `timeout`); stdout and stderr go to
  // Log(`log_name`). Returns the exit code, or -1 when it had to be ended.
  int Run(const std::vector<std::string>& args, const std::string& log_name,
          std::chrono::milliseconds timeout = std::chrono::seconds(60)) const {
    ChildProcess wine(Command(args), Log(log_name), Environment());
    if (!wine.WaitFor(timeout)) return -1;
    return wine.ExitCode().value_or(-1);
  }

  // `reg add KEY /v NAME /d DATA /f`: e.g. HKLM\Software\Wine\Ports, COM1, a link's path.
  // Wine reads some keys only as it starts, the ports among them: RestartServer() after them.
  bool AddRegistryValue(const std::string& key, const std::string& name,
                        const std::string& data) const {
    return Run({"reg", "add", key, "/v", name, "/d", data, "/f"}, "reg") == 0;
  }

  // Ends every Windows program of the prefix and its server, and starts a new server.
  void RestartServer() const {
    EndServer();
    StartServer();
  }

  // Starts wine64 `args` in `working_dir` and leaves it running; output to Log(`log_name`).
  // Wine runs a .exe in the process it starts, so its pid is the program's.
  std::unique_ptr<ChildProcess> Start(const std::vector<std::string>& args,
                                      const std::string& log_name,
                                      const std::string& working_dir = {}) const {
    return std::make_unique<ChildProcess>(Command(args), Log(log_name), Environment(), working_dir);
  }

  // The name a Windows program knows a Linux path by: drive Z: is the root folder.
  static std::string WindowsPath(const std::filesystem::path& path) {
    std::string name = "Z:" + path.string();
    std::replace(name.begin(), name.end(), '/', '\\');
    return name;
  }

 private:
  void StartServer() const {
    ChildProcess server({RX_WINE10_RUN, "wineserver", "--persistent"}, Log("wineserver"),
                        Environment());
    server.WaitFor(std::chrono::seconds(10));  // the server goes on in the background
  }
  void EndServer() const {
    for (const char* step : {"--kill", "--wait"}) {
      ChildProcess end({RX_WINE10_RUN, "wineserver", step}, Log("wineserver-end"), Environment());
      end.WaitFor(std::chrono::seconds(10));
    }
  }

  std::filesystem::path folder_;
  std::string display_;
  bool ready_ = false;
};

}  // namespace rx::test
