// meter-sim: behaves like the meter on the serial line. It waits until the program opens the
// port, as a meter waits for its SEND key, then sends its memory: a time frame, readings, and
// the end-of-memory marker.

#include <getopt.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <memory>
#include <optional>
#include <random>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "app/unit_table_file.h"
#include "tools/meter_line.h"
#include "tools/meter_memory.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;
using rx::sim::MeterLine;
using rx::sim::MeterStream;

constexpr double kLineBytesPerSecond = 960;  // 9600 baud, 10 bits a byte with start and stop

volatile std::sig_atomic_t g_stop_signal = 0;

void OnStopSignal(int signal) { g_stop_signal = signal; }

bool Stopped() { return g_stop_signal != 0; }

// Sleeps, but wakes early when a stop signal arrives.
void Nap(Clock::duration duration) {
  const auto until = Clock::now() + duration;
  while (!Stopped() && Clock::now() < until) {
    std::this_thread::sleep_for(std::min<Clock::duration>(until - Clock::now(), 20ms));
  }
}

struct Options {
  std::string link, device, replay, save_stream, expect, units;
  int records = 100;
  bool log_memory = false;
  std::optional<uint32_t> seed;
  bool noise = false, fast = false, repeat = false, quiet = false;
  int chunk_min = 0, chunk_max = 0;  // 0: the pacing's own default
  int pause_us = 0;
  int delay_ms = 100;
};

constexpr const char* kUsage = R"(Usage: meter-sim (--link PATH | --device DEVICE) [options]

Behaves like the meter on a serial line: waits until the port is opened, then sends a meter
memory (a time frame, readings, the end-of-memory marker) and waits until the port is closed.

  --link PATH         open a pseudo-terminal and make PATH a link to it (e.g. bin/ports/com1);
                      the link is removed on exit
  --device DEVICE     send on a real serial device at 9600 8N1 instead (null-modem cable);
                      sends at once, as a device cannot tell whether the other end is open
  --records N         entries in the memory, the first a time frame (default 100)
  --memory KIND       random (the default, for tests): every reading of its own channel,
                      unit and size, coded ones too; log: a logging session, readings at a
                      steady interval on one to three channels of one unit each, drifting
                      smoothly, and a second session later
  --seed S            choose the memory from seed S (default: a random seed, printed)
  --replay FILE       send FILE's bytes as they are instead of a generated memory
  --save-stream FILE  also write the bytes to be sent to FILE (for --replay)
  --noise             junk between frames and frames a correct reader drops
  --fast              send as fast as the reader takes it instead of at 960 bytes/s
  --chunk N|MIN-MAX   bytes per write (default 8 at line rate, 4096 with --fast)
  --pause US          with --fast, pause US microseconds after each write
  --delay MS          wait MS milliseconds after the port opens before sending (default 100)
  --repeat            send again at each new opening of the port (on a device: at Enter)
  --expect FILE       write the data file that a correct download of this memory produces
  --units FILE        the unit table the program reads (unit2.dat); needed by --expect, and
                      channel readings then use only the unit codes it names
  --quiet             no progress line
)";

[[noreturn]] void Usage(const std::string& problem) {
  std::cerr << "meter-sim: " << problem << "\n\n" << kUsage;
  std::exit(2);
}

int Number(const char* text, const char* option, long low, long high) {
  char* end = nullptr;
  errno = 0;
  const long value = std::strtol(text, &end, 10);
  if (errno != 0 || end == text || *end != '\0' || value < low || value > high) {
    Usage(std::string(option) + " needs a whole number from " + std::to_string(low) + " to " +
          std::to_string(high) + ", not \"" + text + "\"");
  }
  return static_cast<int>(value);
}

Options ParseOptions(int argc, char** argv) {
  enum {
    kLink = 1000,
    kDevice,
    kRecords,
    kMemory,
    kSeed,
    kReplay,
    kSave,
    kNoise,
    kFast,
    kChunk,
    kPause,
    kDelay,
    kRepeat,
    kExpect,
    kUnits,
    kQuiet,
    kHelp
  };
  static const option kLong[] = {{"link", required_argument, nullptr, kLink},
                                 {"device", required_argument, nullptr, kDevice},
                                 {"records", required_argument, nullptr, kRecords},
                                 {"memory", required_argument, nullptr, kMemory},
                                 {"seed", required_argument, nullptr, kSeed},
                                 {"replay", required_argument, nullptr, kReplay},
                                 {"save-stream", required_argument, nullptr, kSave},
                                 {"noise", no_argument, nullptr, kNoise},
                                 {"fast", no_argument, nullptr, kFast},
                                 {"chunk", required_argument, nullptr, kChunk},
                                 {"pause", required_argument, nullptr, kPause},
                                 {"delay", required_argument, nullptr, kDelay},
                                 {"repeat", no_argument, nullptr, kRepeat},
                                 {"expect", required_argument, nullptr, kExpect},
                                 {"units", required_argument, nullptr, kUnits},
                                 {"quiet", no_argument, nullptr, kQuiet},
                                 {"help", no_argument, nullptr, kHelp},
                                 {nullptr, 0, nullptr, 0}};
  Options o;
  int c;
  while ((c = getopt_long(argc, argv, "", kLong, nullptr)) != -1) {
    switch (c) {
      case kLink:
        o.link = optarg;
        break;
      case kDevice:
        o.device = optarg;
        break;
      case kRecords:
        o.records = Number(optarg, "--records", 0, 10'000'000);
        break;
      case kMemory:
        if (std::strcmp(optarg, "log") != 0 && std::strcmp(optarg, "random") != 0) {
          Usage(std::string("--memory needs random or log, not \"") + optarg + "\"");
        }
        o.log_memory = std::strcmp(optarg, "log") == 0;
        break;
      case kSeed: {
        char* end = nullptr;
        errno = 0;
        const unsigned long seed = std::strtoul(optarg, &end, 10);
        if (errno != 0 || end == optarg || *end != '\0' || seed > UINT32_MAX) {
          Usage(std::string("--seed needs a whole number from 0 to 4294967295, not \"") + optarg +
                "\"");
        }
        o.seed = static_cast<uint32_t>(seed);
        break;
      }
      case kReplay:
        o.replay = optarg;
        break;
      case kSave:
        o.save_stream = optarg;
        break;
      case kNoise:
        o.noise = true;
        break;
      case kFast:
        o.fast = true;
        break;
      case kChunk: {
        std::string text = optarg;
        const size_t dash = text.find('-');
        if (dash == std::string::npos) {
          o.chunk_min = o.chunk_max = Number(optarg, "--chunk", 1, 65536);
        } else {
          o.chunk_min = Number(text.substr(0, dash).c_str(), "--chunk", 1, 65536);
          o.chunk_max = Number(text.substr(dash + 1).c_str(), "--chunk", o.chunk_min, 65536);
        }
        break;
      }
      case kPause:
        o.pause_us = Number(optarg, "--pause", 0, 10'000'000);
        break;
      case kDelay:
        o.delay_ms = Number(optarg, "--delay", 0, 600'000);
        break;
      case kRepeat:
        o.repeat = true;
        break;
      case kExpect:
        o.expect = optarg;
        break;
      case kUnits:
        o.units = optarg;
        break;
      case kQuiet:
        o.quiet = true;
        break;
      case kHelp:
        std::cout << kUsage;
        std::exit(0);
      default:
        Usage("unknown option");
    }
  }
  if (optind < argc) Usage(std::string("unexpected argument \"") + argv[optind] + "\"");
  if (o.link.empty() == o.device.empty()) Usage("give either --link PATH or --device DEVICE");
  if (!o.expect.empty() && o.units.empty()) {
    Usage("--expect needs --units FILE, the unit table that names the units in the data file");
  }
  if (!o.expect.empty() && !o.replay.empty()) {
    Usage("--expect cannot be used with --replay: a replayed stream's contents are not known");
  }
  if (o.chunk_min == 0) o.chunk_min = o.chunk_max = o.fast ? 4096 : 8;
  return o;
}

std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("Cannot open " + path + ": " + std::strerror(errno));
  std::ostringstream bytes;
  bytes << in.rdbuf();
  if (in.bad()) throw std::runtime_error("Cannot read " + path + ": " + std::strerror(errno));
  return bytes.str();
}

void WriteWholeFile(const std::string& path, const std::string& bytes, const char* what) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
  out.close();
  if (!out) {
    throw std::runtime_error(std::string("Cannot write ") + what + " " + path + ": " +
                             std::strerror(errno));
  }
}

// Builds what is to be sent, and the expected data file when asked for.
MeterStream PrepareStream(const Options& o) {
  if (!o.replay.empty()) {
    MeterStream stream;
    stream.bytes = ReadWholeFile(o.replay);
    return stream;
  }
  rx::UnitNames units;
  std::vector<int> named;
  if (!o.units.empty()) {
    const rx::UnitTableLoad load = rx::ReadUnitTableFile(o.units, units);
    if (!load.problem.empty()) std::cerr << "meter-sim: " << load.problem << "\n";
    named = rx::sim::NamedUnitCodes(units);
    if (named.empty()) throw std::runtime_error("The unit table " + o.units + " names no unit");
  } else {
    for (int code = 0; code <= 20; ++code) named.push_back(code);
  }
  const uint32_t seed = o.seed ? *o.seed : std::random_device{}();
  if (!o.seed) std::cerr << "meter-sim: seed " << seed << "\n";
  const auto memory = o.log_memory ? rx::sim::GenerateLogMemory(o.records, seed, named)
                                   : rx::sim::GenerateMemory(o.records, seed, named);
  MeterStream stream = rx::sim::EncodeStream(memory, {.enabled = o.noise}, seed);
  if (!o.expect.empty()) {
    WriteWholeFile(o.expect, rx::sim::ExpectedDataFile(memory, units), "expected data file");
  }
  return stream;
}

class Progress {
 public:
  Progress(const MeterStream& stream, bool quiet)
      : stream_(stream), quiet_(quiet), on_terminal_(isatty(STDERR_FILENO)) {}

  void Show(size_t sent, bool force = false) {
    if (quiet_) return;
    const auto now = Clock::now();
    const auto interval = on_terminal_ ? 200ms : 2000ms;
    if (!force && now - last_ < interval) return;
    last_ = now;
    const double left = (stream_.bytes.size() - sent) / kLineBytesPerSecond;
    char line[160];
    if (stream_.frames.empty()) {
      std::snprintf(line, sizeof line, "%zu/%zu bytes sent, %.1f s left at line rate", sent,
                    stream_.bytes.size(), left);
    } else {
      std::snprintf(line, sizeof line, "%zu/%zu frames sent, %.1f s left at line rate",
                    stream_.FramesBefore(sent), stream_.frames.size(), left);
    }
    std::fprintf(stderr, on_terminal_ ? "\rmeter-sim: %s\033[K" : "meter-sim: %s\n", line);
    shown_ = true;
  }
  // Ends the progress line before another message.
  void Break() {
    if (shown_ && on_terminal_) std::fputc('\n', stderr);
    shown_ = false;
  }

 private:
  const MeterStream& stream_;
  bool quiet_, on_terminal_, shown_ = false;
  Clock::time_point last_{};
};

std::string Sizes(const MeterStream& stream, size_t sent) {
  if (stream.frames.empty()) return std::to_string(sent) + " bytes";
  return std::to_string(stream.FramesBefore(sent)) + " frames, " +
         std::to_string(stream.StoredBefore(sent)) + " records, " + std::to_string(sent) + " bytes";
}

enum class SendResult { kComplete, kReaderClosed, kStopped };

SendResult Send(MeterLine& line, const MeterStream& stream, const Options& o) {
  std::mt19937 chunk_dice(o.seed.value_or(1) + 17);
  std::uniform_int_distribution<int> chunk_size(o.chunk_min, o.chunk_max);
  Progress progress(stream, o.quiet);
  const auto start = Clock::now();
  const size_t total = stream.bytes.size();
  size_t sent = 0;
  while (sent < total) {
    if (Stopped()) return SendResult::kStopped;
    if (!o.fast) {
      // Keep to the line rate over the whole stream, not chunk by chunk, so that no drift
      // builds up.
      const auto due = start + std::chrono::duration_cast<Clock::duration>(
                                   std::chrono::duration<double>(sent / kLineBytesPerSecond));
      if (due > Clock::now()) Nap(due - Clock::now());
      if (Stopped()) return SendResult::kStopped;
    }
    size_t chunk = std::min<size_t>(chunk_size(chunk_dice), total - sent);
    size_t chunk_done = 0;
    while (chunk_done < chunk) {
      const long written =
          line.WriteSome(stream.bytes.data() + sent + chunk_done, chunk - chunk_done, 100ms);
      if (written < 0) {
        line.DiscardUnread();
        progress.Break();
        std::cerr << "meter-sim: the reader closed the port after " << Sizes(stream, sent) << " of "
                  << Sizes(stream, total) << "\n";
        return SendResult::kReaderClosed;
      }
      chunk_done += written;
      if (Stopped()) return SendResult::kStopped;
    }
    sent += chunk;
    if (sent < total) progress.Show(sent);
    if (o.fast && o.pause_us > 0) Nap(std::chrono::microseconds(o.pause_us));
  }
  line.Drain();
  progress.Show(sent, true);
  progress.Break();
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  char took[32];
  std::snprintf(took, sizeof took, "%.2f", seconds);
  std::cerr << "meter-sim: sent " << Sizes(stream, total) << " in " << took << " s\n";
  return SendResult::kComplete;
}

// Waits for the program to open or close the port. False when a signal came first.
bool WaitForReader(MeterLine& line, bool open) {
  while (!Stopped()) {
    if (line.ReaderHasOpen() == open) return true;
    Nap(20ms);
  }
  return false;
}

// Waits `duration` while the reader keeps the port open. False when it closed the port first or
// a signal came.
bool WaitWhileOpen(MeterLine& line, Clock::duration duration) {
  const auto until = Clock::now() + duration;
  while (!Stopped() && Clock::now() < until) {
    if (!line.ReaderHasOpen()) return false;
    Nap(std::min<Clock::duration>(until - Clock::now(), 20ms));
  }
  return !Stopped();
}

int RunOnPseudoTerminal(const Options& o, const MeterStream& stream) {
  rx::sim::PseudoTerminalLine line(o.link);
  std::cerr << "meter-sim: meter on " << line.Describe() << ", "
            << Sizes(stream, stream.bytes.size()) << "; waiting for the port to be opened\n";
  for (;;) {
    if (!WaitForReader(line, true)) break;
    // Said at once, so that whoever watches the log sees the opening even while the meter
    // waits out a long --delay.
    std::cerr << "meter-sim: the port was opened\n";
    if (!WaitWhileOpen(line, std::chrono::milliseconds(o.delay_ms))) {
      if (Stopped()) break;
      // Nothing was sent, so the memory is still there for the next opening, --repeat or not.
      line.DiscardUnread();
      std::cerr << "meter-sim: the reader closed the port before anything was sent; waiting "
                   "for the port to be opened again\n";
      continue;
    }
    // Anything still queued from an earlier opening would reach this reader first.
    line.DiscardUnread();
    std::cerr << "meter-sim: sending\n";
    const SendResult result = Send(line, stream, o);
    if (result == SendResult::kStopped) break;
    if (result == SendResult::kComplete) {
      if (!WaitForReader(line, false)) break;
      line.DiscardUnread();
      std::cerr << "meter-sim: the reader closed the port\n";
    }
    if (!o.repeat) break;
    std::cerr << "meter-sim: waiting for the port to be opened again\n";
  }
  return Stopped() ? 128 + g_stop_signal : 0;
}

int RunOnDevice(const Options& o, const MeterStream& stream) {
  rx::sim::SerialDeviceLine line(o.device);
  std::cerr << "meter-sim: meter on " << line.Describe() << "\n";
  for (;;) {
    Nap(std::chrono::milliseconds(o.delay_ms));
    if (Send(line, stream, o) == SendResult::kStopped || !o.repeat) break;
    std::cerr << "meter-sim: press Enter to send again, Ctrl-D to end\n";
    std::string answer;
    if (!std::getline(std::cin, answer)) break;
  }
  return Stopped() ? 128 + g_stop_signal : 0;
}

}  // namespace

int main(int argc, char** argv) {
  const Options options = ParseOptions(argc, argv);
  struct sigaction stop {};
  stop.sa_handler = OnStopSignal;  // no SA_RESTART: waits wake up at once
  sigemptyset(&stop.sa_mask);
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal, &stop, nullptr);
  std::signal(SIGPIPE, SIG_IGN);
  try {
    const MeterStream stream = PrepareStream(options);
    if (!options.save_stream.empty()) WriteWholeFile(options.save_stream, stream.bytes, "stream");
    return options.link.empty() ? RunOnDevice(options, stream)
                                : RunOnPseudoTerminal(options, stream);
  } catch (const std::exception& e) {
    std::cerr << "meter-sim: " << e.what() << "\n";
    return 1;
  }
}
