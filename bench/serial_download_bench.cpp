// The download without its window: bytes written to a pseudo-terminal's master side as fast as
// it takes them, read through the Qt serial control and stored by the download core, next to a
// plain copy of the same bytes through a pseudo-terminal. It shows how much of a --fast
// download's time is the serial path and the store, and how many bytes a receive event carries.
//
// Usage: serial_download_bench [--frames N] [--runs R]

#include <QCoreApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <thread>
#include <vector>

#include "app/steady_tick_clock.h"
#include "download/meter_download.h"
#include "download/qt/qt_serial_control.h"
#include "meter_stream.h"
#include "pty_copy.h"
#include "support/fakes.h"

namespace rx::bench {
namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

// Passes every call on, counting the receive events and the bytes they carry.
class CountingSerial : public SerialControl {
 public:
  explicit CountingSerial(SerialControl& inner) : inner_(inner) {
    inner_.SetOnComm([this] { RaiseOnComm(); });
  }
  void SetCommPort(int16_t port) override { inner_.SetCommPort(port); }
  int16_t CommPort() const override { return inner_.CommPort(); }
  bool PortOpen() const override { return inner_.PortOpen(); }
  void SetPortOpen(bool open) override { inner_.SetPortOpen(open); }
  void SetSettings(const std::string& settings) override { inner_.SetSettings(settings); }
  void SetInputMode(int16_t mode) override { inner_.SetInputMode(mode); }
  void SetInputLen(int16_t len) override { inner_.SetInputLen(len); }
  void SetRThreshold(int16_t threshold) override { inner_.SetRThreshold(threshold); }
  std::vector<uint8_t> Input() override {
    std::vector<uint8_t> bytes = inner_.Input();
    ++inputs;
    largest = std::max(largest, bytes.size());
    return bytes;
  }
  int16_t CommEvent() const override { return inner_.CommEvent(); }

  int inputs = 0;
  size_t largest = 0;

 private:
  SerialControl& inner_;
};

struct Result {
  double seconds;
  int inputs;
  size_t largest;
  int32_t records;
};

Result Download(const std::string& stream) {
  test::TempDir dir;
  Pty pty;
  fs::create_directories(dir.Path() / "ports");
  fs::create_symlink(pty.SlaveName(), dir.Path() / "ports" / "com1");
  QtSerialControl qt_serial(dir.Path().string());
  CountingSerial serial(qt_serial);
  test::RecordingWindow window;
  test::RecordingMessageBox boxes;
  SteadyTickClock clock;
  UnitNames names;
  for (int i = 0; i < UnitNames::kEntries; ++i) names.Store(i, "V");
  MeterDownload download(serial, window, boxes, clock, names);
  download.ClearStartTick();
  if (!download.ReadDataLogger_2(dir.File("bench.dat"), 1)) throw std::runtime_error("no start");
  const auto start = Clock::now();
  std::thread meter([&] { pty.WriteAll(stream.data(), stream.size(), 4096); });
  while (!download.fgTransferOK() && boxes.shown.empty()) {
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  }
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  meter.join();
  return {seconds, serial.inputs, serial.largest, download.datano()};
}

}  // namespace
}  // namespace rx::bench

int main(int argc, char** argv) {
  using namespace rx::bench;
  int frames = 100000;
  int runs = 5;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string option = argv[i];
    if (option == "--frames") frames = std::stoi(argv[i + 1]);
    if (option == "--runs") runs = std::stoi(argv[i + 1]);
  }
  QCoreApplication app(argc, argv);
  try {
    const std::string stream = MeterStream(frames);
    std::vector<double> downloads, cats;
    Result last{};
    for (int i = 0; i < runs; ++i) {
      last = Download(stream);
      downloads.push_back(last.seconds);
      cats.push_back(CatSeconds(stream));
    }
    const double mb = static_cast<double>(stream.size()) / 1e6;
    const double download = Median(downloads), cat = Median(cats);
    std::printf("serial control + download core, %d frames (median of %d): %.1f ms, %.1f MB/s\n",
                frames, runs, 1e3 * download, mb / download);
    std::printf("  records stored %d, receive events %d, largest %zu bytes\n", last.records,
                last.inputs, last.largest);
    std::printf("cat through a pseudo-terminal (median of %d): %.1f ms, %.1f MB/s\n", runs,
                1e3 * cat, mb / cat);
    std::printf("download / cat: %.1f %%\n", 100.0 * cat / download);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "serial_download_bench: %s\n", e.what());
    return 1;
  }
  return 0;
}
