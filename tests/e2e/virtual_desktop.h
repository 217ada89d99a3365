#pragma once

// A private X display (Xvfb) and a hand on it (xdotool): the tests use the program's window as
// a person would, clicking where the buttons are and answering the boxes with keys.

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <regex>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "child_process.h"
#include "support/fakes.h"

namespace rx::test {

// The full path of `program` on PATH, or empty.
inline std::string FindOnPath(const std::string& program) {
  const char* path = std::getenv("PATH");
  std::istringstream dirs(path ? path : "/usr/bin:/bin");
  for (std::string dir; std::getline(dirs, dir, ':');) {
    const std::string candidate = dir + "/" + program;
    if (access(candidate.c_str(), X_OK) == 0) return candidate;
  }
  return {};
}

// A place in the window's client area in twips, as the layout gives it.
struct Place {
  int left, top, width, height;
  int CentreX() const { return (left + width / 2) / 15; }  // 15 twips a pixel at 96 dpi
  int CentreY() const { return (top + height / 2) / 15; }
};

inline constexpr Place kStart{7200, 6550, 2415, 650};
inline constexpr Place kViewData{9600, 6550, 1455, 650};
inline constexpr Place kExit{7200, 7200, 3855, 650};
// The text part of the port list (in the frame at 600, 480) and the data file name box.
inline constexpr Place kPortList{600 + 1440, 480 + 280, 1400, 405};
inline constexpr Place kFileName{4800, 960, 1935, 375};
inline constexpr Place kGrid{720, 3120, 5895, 4815};

class VirtualDisplay {
 public:
  // Starts Xvfb on a display number it picks itself, with a screen of `size` pixels (and
  // colour depth); its output goes to `log_path`.
  explicit VirtualDisplay(const std::string& log_path, const std::string& size = "1024x768x24") {
    int fds[2];
    if (pipe(fds) != 0) throw std::runtime_error("cannot make a pipe for Xvfb");
    server_ = std::make_unique<ChildProcess>(
        std::vector<std::string>{FindOnPath("Xvfb"), "-displayfd", std::to_string(fds[1]),
                                 "-screen", "0", size, "-nolisten", "tcp", "-noreset"},
        log_path);
    close(fds[1]);
    std::string number;
    pollfd p{fds[0], POLLIN, 0};
    char c;
    while (poll(&p, 1, 10000) > 0 && read(fds[0], &c, 1) == 1 && c != '\n') number += c;
    close(fds[0]);
    if (number.empty()) throw std::runtime_error("Xvfb gave no display:\n" + server_->Output());
    name_ = ":" + number;
  }

  static bool Available() { return !FindOnPath("Xvfb").empty() && !FindOnPath("xdotool").empty(); }

  const std::string& Name() const { return name_; }
  // What the server said, and whether it still runs: for the message of a failing test.
  std::string Report() const {
    std::string sockets;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator("/tmp/.X11-unix", ec)) {
      sockets += " " + e.path().filename().string();
    }
    return "Xvfb " + name_ + " pid " + std::to_string(server_->Pid()) +
           (server_->Running() ? " running" : " ended") + "; sockets:" + sockets + "\n" +
           server_->Output();
  }

 private:
  std::unique_ptr<ChildProcess> server_;
  std::string name_;
};

using WindowId = std::string;

// xdotool on one display.
class Hand {
 public:
  Hand(std::string display, std::string log_path)
      : display_(std::move(display)),
        log_path_(std::move(log_path)),
        xdotool_(FindOnPath("xdotool")) {}

  // Runs xdotool with `args` and returns what it printed, one line an entry.
  std::vector<std::string> Run(std::vector<std::string> args) const {
    args.insert(args.begin(), xdotool_);
    ChildProcess xdo(args, log_path_, {{"DISPLAY", display_}});
    if (!xdo.WaitFor(std::chrono::seconds(10))) {
      throw std::runtime_error("xdotool did not finish: " + Join(args));
    }
    std::vector<std::string> lines;
    std::istringstream out(xdo.Output());
    for (std::string line; std::getline(out, line);) {
      if (!line.empty() && line.find("Defaulting to") == std::string::npos) lines.push_back(line);
    }
    return lines;
  }

  // The visible windows of `pid` whose title is exactly `title`.
  std::vector<WindowId> Windows(int pid, const std::string& title) const {
    return Run({"search", "--all", "--onlyvisible", "--pid", std::to_string(pid), "--name",
                "^" + title + "$"});
  }

  // The window's height in pixels, 0 when xdotool does not say.
  int Height(const WindowId& window) const {
    std::smatch m;
    for (const std::string& line : Run({"getwindowgeometry", window})) {
      if (std::regex_search(line, m, std::regex(R"(Geometry: (\d+)x(\d+))"))) {
        return std::stoi(m[2]);
      }
    }
    return 0;
  }

  void Click(const WindowId& window, const Place& place) const {
    ClickAt(window, place.CentreX(), place.CentreY());
  }

  // Clicks `button` (1 left, 3 right) at pixel (x, y) of the window's client area.
  void ClickAt(const WindowId& window, int x, int y, int button = 1) const {
    Run({"mousemove", "--window", window, std::to_string(x), std::to_string(y), "click",
         std::to_string(button)});
  }

  // Moves the pointer to pixel (x, y) of the window's client area.
  void MoveTo(const WindowId& window, int x, int y) const {
    Run({"mousemove", "--window", window, std::to_string(x), std::to_string(y)});
  }

  // Presses or lets go of `button` where the pointer is.
  void Press(int button) const { Run({"mousedown", std::to_string(button)}); }
  void Release(int button) const { Run({"mouseup", std::to_string(button)}); }

  // Gives `window` the keyboard and presses `keys` (xdotool key names) one after the other.
  void Keys(const WindowId& window, std::vector<std::string> keys) const {
    keys.insert(keys.begin(), {"windowfocus", "--sync", window, "key", "--delay", "5"});
    Run(keys);
  }

  void Type(const WindowId& window, const std::string& text) const {
    Run({"windowfocus", "--sync", window, "type", "--delay", "5", text});
  }

 private:
  static std::string Join(const std::vector<std::string>& args) {
    std::string joined;
    for (const auto& a : args) joined += a + " ";
    return joined;
  }

  std::string display_, log_path_, xdotool_;
};

// A screenshot as rows of RGB bytes, read through ImageMagick's portable pixmap.
struct Screenshot {
  int width = 0, height = 0;
  std::string rgb;

  // Saves `window` of `display` as the PNG `png` and reads it back, with the pixmap and the
  // tools' output in `work_dir`; empty when that failed.
  static Screenshot Take(const std::string& display, const WindowId& window, const std::string& png,
                         const std::filesystem::path& work_dir) {
    using namespace std::chrono_literals;
    const std::string ppm = (work_dir / "screenshot.ppm").string();
    const std::string log = (work_dir / "screenshot.log").string();
    std::filesystem::remove(ppm);
    ChildProcess(std::vector<std::string>{FindOnPath("import"), "-window", window, png}, log,
                 {{"DISPLAY", display}})
        .WaitFor(10s);
    ChildProcess(std::vector<std::string>{FindOnPath("convert"), png, ppm}, log).WaitFor(10s);
    return Read(ppm);
  }

  static Screenshot Read(const std::string& ppm) {
    Screenshot shot;
    std::istringstream in(ReadBytes(ppm));
    std::string magic;
    int max = 0;
    in >> magic >> shot.width >> shot.height >> max;
    in.get();
    shot.rgb.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (magic != "P6" || max != 255 || shot.rgb.size() != size_t(shot.width) * shot.height * 3) {
      shot = {};
    }
    return shot;
  }
  std::array<int, 3> At(int x, int y) const {
    const size_t i = (size_t(y) * width + x) * 3;
    return {uint8_t(rgb[i]), uint8_t(rgb[i + 1]), uint8_t(rgb[i + 2])};
  }
};

// The largest difference of one colour channel.
inline int Distance(const std::array<int, 3>& a, const std::array<int, 3>& b) {
  int most = 0;
  for (int i = 0; i < 3; ++i) most = std::max(most, std::abs(a[i] - b[i]));
  return most;
}

inline std::string Rgb(const std::array<int, 3>& c) {
  return "(" + std::to_string(c[0]) + ", " + std::to_string(c[1]) + ", " + std::to_string(c[2]) +
         ")";
}

}  // namespace rx::test
