// The real RX7731 on a virtual display, fed by a pseudo-terminal linked as Comm. 1, against the
// limits a user notices: start-up to a shown window, a --fast download of 100,000 frames next to
// a plain `cat` of the same bytes through a pseudo-terminal, CPU use while frames arrive at the
// line's own rate, and the time from the last byte on the wire to the final message box. Beside
// the window's CPU figure, the same download through rx7731-cli download.
//
// Windows are seen through the X server's MapNotify events, so a box counts from the moment it
// is mapped. Each figure is printed next to its target.
//
// Usage: program_bench [--frames N] [--line-rate-seconds S] [--line-chunk BYTES]
//                      [--line-rate-only 1]
//   --line-chunk: bytes per read at line rate; 8 (default) is a UART's receive trigger level,
//   16 about what a USB serial adapter hands over per 16 ms latency tick.
//   --line-rate-only 1: only the CPU figures at the line's rate, of the window and rx7731-cli.

#include <X11/Xlib.h>
#include <fcntl.h>
#include <sys/inotify.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "e2e/child_process.h"
#include "e2e/virtual_desktop.h"
#include "meter_stream.h"
#include "pty_copy.h"
#include "support/fakes.h"

namespace rx::bench {
namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// Every top-level window mapped on the display, with the moment we learnt of it.
class MapWatcher {
 public:
  explicit MapWatcher(const std::string& display) {
    x_ = XOpenDisplay(display.c_str());
    if (x_ == nullptr) throw std::runtime_error("cannot open display " + display);
    XSelectInput(x_, DefaultRootWindow(x_), SubstructureNotifyMask);
    XSync(x_, False);
  }
  ~MapWatcher() { XCloseDisplay(x_); }

  // Forgets the maps seen so far.
  void Drain() {
    while (XPending(x_) > 0) {
      XEvent e;
      XNextEvent(x_, &e);
    }
  }

  // The moment of the next map of a managed (not override-redirect) window.
  std::optional<Clock::time_point> NextMap(std::chrono::milliseconds timeout) {
    const auto until = Clock::now() + timeout;
    for (;;) {
      while (XPending(x_) > 0) {
        XEvent e;
        XNextEvent(x_, &e);
        if (e.type == MapNotify && !e.xmap.override_redirect) return Clock::now();
      }
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now());
      if (left <= 0ms) return std::nullopt;
      pollfd p{ConnectionNumber(x_), POLLIN, 0};
      poll(&p, 1, static_cast<int>(left.count()));
    }
  }

 private:
  Display* x_;
};

// The moment a file that is open for writing is closed: for the data file, the moment the
// download has stored its last record.
class CloseWatcher {
 public:
  explicit CloseWatcher(const fs::path& file) : fd_(inotify_init1(IN_CLOEXEC)) {
    if (fd_ < 0 || inotify_add_watch(fd_, file.c_str(), IN_CLOSE_WRITE) < 0) {
      throw std::runtime_error("cannot watch " + file.string());
    }
    thread_ = std::thread([this] {
      pollfd p{fd_, POLLIN, 0};
      if (poll(&p, 1, 60'000) == 1) closed_ = Clock::now();
    });
  }
  ~CloseWatcher() {
    if (thread_.joinable()) thread_.join();
    close(fd_);
  }
  std::optional<Clock::time_point> Closed() {
    thread_.join();
    return closed_;
  }

 private:
  int fd_;
  std::optional<Clock::time_point> closed_;
  std::thread thread_;
};

// CPU seconds used by all threads of `pid` so far.
double CpuSeconds(int pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::istringstream fields(stat.substr(stat.rfind(')') + 2));
  std::string field;
  long utime = 0, stime = 0;
  for (int i = 3; fields >> field; ++i) {
    if (i == 14) utime = std::stol(field);
    if (i == 15) {
      stime = std::stol(field);
      break;
    }
  }
  return static_cast<double>(utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

struct Figure {
  std::string name;
  double value;
  std::string unit;
  std::string target;
};

class ProgramBench {
 public:
  explicit ProgramBench(const std::string& program, const std::string& unit_table)
      : display_(dir_.File("xvfb.log")),
        hand_(display_.Name(), dir_.File("xdotool.log")),
        watcher_(display_.Name()) {
    fs::permissions(dir_.Path(), fs::perms::owner_all);  // XDG_RUNTIME_DIR must be private
    fs::create_directories(folder_ / "ports");
    fs::copy_file(program, folder_ / "RX7731");
    fs::copy_file(unit_table, folder_ / "unit2.dat");
  }

  // Spawn to the main window's map.
  double StartUpMs() {
    watcher_.Drain();
    const auto start = Clock::now();
    Launch();
    const auto shown = watcher_.NextMap(20s);
    if (!shown) throw std::runtime_error("no window\n" + program_->Output());
    const double ms = Ms(*shown - start);
    FindMainWindow();
    return ms;
  }

  struct Download {
    double seconds;       // first byte written to the final box
    double stored_seconds;  // first byte written to the data file closed with every record
    double last_byte_ms;  // last byte written to the final box
    double cpu_percent;   // of one core, while the bytes arrived
  };

  // A download of `stream` into a fresh program; bytes go in `chunk`-sized writes, one every
  // `gap` (none: as fast as the program takes them).
  Download Run(const std::string& stream, size_t chunk, Clock::duration gap) {
    Pty pty;
    fs::remove(folder_ / "ports" / "com1");
    fs::create_symlink(pty.SlaveName(), folder_ / "ports" / "com1");
    fs::remove(folder_ / "bench.dat");
    StartUpMs();
    TypeFileName("bench.dat");
    watcher_.Drain();
    hand_.Click(main_, test::kStart);
    if (!test::Eventually([&] { return pty.OpenedAt9600(); }, 10s)) {
      throw std::runtime_error("the program did not open the port\n" + program_->Output());
    }
    CloseWatcher stored(folder_ / "bench.dat");
    const double cpu_before = CpuSeconds(program_->Pid());
    const auto first = Clock::now();
    auto next = first;
    for (size_t at = 0; at < stream.size(); at += chunk) {
      if (gap > Clock::duration::zero()) {
        std::this_thread::sleep_until(next);
        next += gap;
      }
      pty.WriteAll(stream.data() + at, std::min(chunk, stream.size() - at));
    }
    const auto last = Clock::now();
    const double cpu_during = CpuSeconds(program_->Pid()) - cpu_before;
    const auto box = watcher_.NextMap(60s);
    if (!box) throw std::runtime_error("no final box\n" + program_->Output());
    const auto closed = stored.Closed();
    if (!closed) throw std::runtime_error("the data file was not closed");
    Download d{std::chrono::duration<double>(*box - first).count(),
               std::chrono::duration<double>(*closed - first).count(), Ms(*box - last),
               100.0 * cpu_during / std::chrono::duration<double>(last - first).count()};
    const std::string file = test::ReadBytes((folder_ / "bench.dat").string());
    records_ = static_cast<int>(std::count(file.begin(), file.end(), '\n'));
    for (const test::WindowId& w : hand_.Windows(program_->Pid(), "RX7731")) {
      if (w != main_) hand_.Keys(w, {"Return"});
    }
    Stop();
    return d;
  }

  int Records() const { return records_; }

 private:
  void Launch() {
    program_ = std::make_unique<test::ChildProcess>(
        std::vector<std::string>{(folder_ / "RX7731").string()}, dir_.File("program.log"),
        std::map<std::string, std::string>{{"DISPLAY", display_.Name()},
                                           {"QT_QPA_PLATFORM", "xcb"},
                                           {"XDG_RUNTIME_DIR", dir_.Path().string()}},
        folder_.string());
  }

  void FindMainWindow() {
    std::vector<test::WindowId> windows;
    test::Eventually([&] { return !(windows = hand_.Windows(program_->Pid(), "RX7731")).empty(); },
                     10s);
    if (windows.size() != 1) throw std::runtime_error("expected the main window alone");
    main_ = windows[0];
  }

  void TypeFileName(const std::string& name) {
    hand_.Click(main_, test::kFileName);
    hand_.Keys(main_, {"ctrl+a", "BackSpace"});
    hand_.Type(main_, name);
  }

  void Stop() {
    hand_.Click(main_, test::kExit);
    if (!program_->WaitFor(10s)) throw std::runtime_error("Exit did not end the program");
    program_.reset();
  }

 public:
  void StopAfterStartUp() {
    program_->Signal(SIGTERM);
    program_->WaitFor(10s);
    program_.reset();
  }

 private:
  test::TempDir dir_;
  fs::path folder_ = dir_.Path() / "program";
  test::VirtualDisplay display_;
  test::Hand hand_;
  MapWatcher watcher_;
  std::unique_ptr<test::ChildProcess> program_;
  test::WindowId main_;
  int records_ = 0;
};

// rx7731-cli download of `stream` from a pseudo-terminal at the line's rate: the CPU it uses,
// in percent of one core, while the bytes arrive. Its stderr goes to a file (no progress line)
// or, with `progress`, to a terminal of its own, where it draws its progress line.
double CliLineRateCpu(const std::string& stream, size_t chunk, Clock::duration gap, bool progress) {
  test::TempDir dir;
  Pty line;
  std::optional<Pty> terminal;
  if (progress) terminal.emplace();
  const std::string data = dir.File("cli.dat");
  test::ChildProcess cli(
      {"/bin/sh", "-c", R"(exec "$0" "$@" 2>"$RX_CLI_STDERR")", RX_CLI, "download", "--device",
       line.SlaveName(), "--output", data, "--units", RX_UNIT_TABLE},
      dir.File("cli.out"),
      {{"RX_CLI_STDERR", progress ? terminal->SlaveName() : dir.File("cli.err")}});
  if (!test::Eventually([&] { return line.OpenedAt9600(); }, 10s)) {
    throw std::runtime_error("rx7731-cli did not open the port\n" + cli.Output() +
                             test::ReadBytes(dir.File("cli.err")));
  }
  // The terminal's side is read as a person's terminal would, so the line never blocks.
  std::atomic<bool> reading{progress};
  std::thread reader([&] {
    char buffer[4096];
    while (reading) {
      pollfd p{terminal->Master(), POLLIN, 0};
      if (poll(&p, 1, 50) > 0 && read(terminal->Master(), buffer, sizeof buffer) <= 0) break;
    }
  });
  const double cpu_before = CpuSeconds(cli.Pid());
  const auto first = Clock::now();
  auto next = first;
  for (size_t at = 0; at < stream.size(); at += chunk) {
    std::this_thread::sleep_until(next);
    next += gap;
    line.WriteAll(stream.data() + at, std::min(chunk, stream.size() - at));
  }
  const auto last = Clock::now();
  const double cpu_during = CpuSeconds(cli.Pid()) - cpu_before;
  const bool ended = cli.WaitFor(10s);
  reading = false;
  reader.join();
  if (!ended || cli.ExitCode() != 0) {
    throw std::runtime_error("rx7731-cli did not end the download\n" + cli.Output() +
                             test::ReadBytes(dir.File("cli.err")));
  }
  const std::string file = test::ReadBytes(data);
  // Every frame but the two of the end marker is a record.
  if (std::count(file.begin(), file.end(), '\n') != static_cast<long>(stream.size() / 16 - 2)) {
    throw std::runtime_error("rx7731-cli did not store every record");
  }
  return 100.0 * cpu_during / std::chrono::duration<double>(last - first).count();
}

}  // namespace
}  // namespace rx::bench

int main(int argc, char** argv) {
  using namespace rx::bench;
  int frames = 100000;
  double line_rate_seconds = 15;
  size_t line_chunk = 8;
  bool line_rate_only = false;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string option = argv[i];
    if (option == "--frames") frames = std::stoi(argv[i + 1]);
    if (option == "--line-rate-seconds") line_rate_seconds = std::stod(argv[i + 1]);
    if (option == "--line-chunk") line_chunk = std::stoul(argv[i + 1]);
    if (option == "--line-rate-only") line_rate_only = std::string(argv[i + 1]) != "0";
  }
  if (!rx::test::VirtualDisplay::Available()) {
    std::fprintf(stderr, "program_bench: Xvfb and xdotool are needed (make deps)\n");
    return 2;
  }
  try {
    ProgramBench bench(RX_PROGRAM, RX_UNIT_TABLE);
    std::vector<Figure> figures;

    if (!line_rate_only) {
      std::vector<double> start_up;
      for (int i = 0; i < 5; ++i) {
        start_up.push_back(bench.StartUpMs());
        bench.StopAfterStartUp();
      }
      figures.push_back(
          {"start-up to shown window (median of 5)", Median(start_up), "ms", "< 300"});

      // The line carries 960 bytes a second (9600 baud, ten bits a byte): 60 frames.
      const std::string fast_stream = rx::bench::MeterStream(frames);
      const auto fast = bench.Run(fast_stream, 4096, {});
      const double mb = static_cast<double>(fast_stream.size()) / 1e6;
      std::vector<double> cats;
      for (int i = 0; i < 5; ++i) cats.push_back(CatSeconds(fast_stream));
      const double cat = Median(cats);
      figures.push_back({"--fast download, " + std::to_string(frames) + " frames: all stored",
                         1e3 * fast.stored_seconds, "ms", ""});
      figures.push_back({"  frames stored", static_cast<double>(bench.Records()), "", ""});
      figures.push_back({"  program throughput", mb / fast.stored_seconds, "MB/s", ""});
      figures.push_back({"  cat through a pseudo-terminal (median of 5)", mb / cat, "MB/s", ""});
      figures.push_back({"  program / cat", 100.0 * cat / fast.stored_seconds, "%", ">= 50"});
      figures.push_back(
          {"  frames/s vs the line's 60", frames / fast.stored_seconds / 60.0, "x", ""});
      figures.push_back({"  first byte to the final box", 1e3 * fast.seconds, "ms", ""});
    }

    const int line_frames = static_cast<int>(line_rate_seconds * 60);
    const std::string line_stream = rx::bench::MeterStream(line_frames);
    // At 960 bytes a second a chunk of n bytes is due every n / 960 seconds.
    const auto line_gap = std::chrono::microseconds(1'000'000 * line_chunk / 960);
    const auto line = bench.Run(line_stream, line_chunk, line_gap);
    figures.push_back({"line-rate download, " + std::to_string(line_frames) + " frames in " +
                           std::to_string(line_chunk) + "-byte reads: CPU",
                       line.cpu_percent, "% of a core", "< 1"});
    figures.push_back({"  rx7731-cli download, the same, stderr a file: CPU",
                       CliLineRateCpu(line_stream, line_chunk, line_gap, false), "% of a core",
                       "< 0.3"});
    figures.push_back({"  rx7731-cli download, progress line on a terminal: CPU",
                       CliLineRateCpu(line_stream, line_chunk, line_gap, true), "% of a core", ""});
    if (!line_rate_only) {
      // Odd and even numbers of frames: the last frame may end a pair of frames or not.
      std::vector<double> last_byte{line.last_byte_ms};
      for (int i = 0; i < 6; ++i) {
        const std::string stream = rx::bench::MeterStream(60 + i % 2);
        last_byte.push_back(bench.Run(stream, line_chunk, line_gap).last_byte_ms);
      }
      figures.push_back({"last byte to final box (median of 7)", Median(last_byte), "ms", "< 50"});
      figures.push_back({"  slowest of the 7",
                         *std::max_element(last_byte.begin(), last_byte.end()), "ms", "< 50"});
    }

    for (const Figure& f : figures) {
      std::printf("%-58s %10.2f %-12s %s\n", f.name.c_str(), f.value, f.unit.c_str(),
                  f.target.empty() ? "" : ("target " + f.target).c_str());
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "program_bench: %s\n", e.what());
    return 1;
  }
  return 0;
}
