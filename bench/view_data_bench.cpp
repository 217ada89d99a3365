// View Data of a download of 100,000 records in the program's window on a virtual display:
// the time from the click to the grid's first paint with the records, and the process's peak
// memory. The window is the program's own Form2; the download that fills the data file comes
// through a scripted serial control, which is all this measurement needs of the port.
//
// Usage: view_data_bench [--frames N]

#include <QAbstractScrollArea>
#include <QApplication>
#include <QPushButton>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "app/steady_tick_clock.h"
#include "e2e/virtual_desktop.h"
#include "meter_stream.h"
#include "support/fakes.h"
#include "window/form2.h"

namespace {

using Clock = std::chrono::steady_clock;

long StatusKb(const char* field) {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind(field, 0) == 0) return std::stol(line.substr(std::strlen(field)));
  }
  return -1;
}

// Notes each paint of a widget.
class PaintSpy : public QObject {
 public:
  bool painted = false;
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) painted = true;
    return false;
  }
};

void RunEventsUntil(const std::function<bool()>& done) {
  const auto until = Clock::now() + std::chrono::seconds(30);
  while (!done() && Clock::now() < until) QCoreApplication::processEvents(QEventLoop::AllEvents);
}

}  // namespace

int main(int argc, char** argv) {
  int frames = 100000;
  if (argc == 3 && std::string(argv[1]) == "--frames") frames = std::stoi(argv[2]);
  if (!rx::test::VirtualDisplay::Available()) {
    std::fprintf(stderr, "view_data_bench: Xvfb and xdotool are needed (make deps)\n");
    return 2;
  }
  rx::test::TempDir dir;
  rx::test::VirtualDisplay display(dir.File("xvfb.log"));
  setenv("DISPLAY", display.Name().c_str(), 1);
  setenv("QT_QPA_PLATFORM", "xcb", 1);
  std::filesystem::permissions(dir.Path(), std::filesystem::perms::owner_all);
  setenv("XDG_RUNTIME_DIR", dir.Path().c_str(), 1);
  std::filesystem::copy_file(RX_UNIT_TABLE, dir.File("unit2.dat"));

  QApplication app(argc, argv);
  QApplication::setStyle(QStringLiteral("Fusion"));
  rx::test::ScriptedSerialControl serial;
  rx::test::RecordingMessageBox boxes;
  rx::SteadyTickClock clock;
  rx::Form2 form(serial, boxes, clock, {dir.Path().string(), "RX7731"}, {2026, 12, 8});
  form.show();
  RunEventsUntil([&] { return form.isVisible(); });
  for (int i = 0; i < 20; ++i) QCoreApplication::processEvents();

  auto* start = form.findChild<QPushButton*>(QStringLiteral("Command1_0"));
  auto* view_data = form.findChild<QPushButton*>(QStringLiteral("Command1_1"));
  auto* grid = form.findChild<QAbstractScrollArea*>(QStringLiteral("FGrid1"));
  if (start == nullptr || view_data == nullptr || grid == nullptr) {
    std::fprintf(stderr, "view_data_bench: the window has no Command1_0, Command1_1 or FGrid1\n");
    return 1;
  }
  start->click();
  const std::string stream = rx::bench::MeterStream(frames);
  for (size_t at = 0; at < stream.size(); at += 4096) serial.Deliver(stream.substr(at, 4096));
  if (boxes.shown.empty() || boxes.shown.back().prompt.rfind("Data Received O.K!", 0) != 0) {
    std::fprintf(stderr, "view_data_bench: the download did not end as it should\n");
    return 1;
  }
  for (int i = 0; i < 20; ++i) QCoreApplication::processEvents();
  const long before_kb = StatusKb("VmHWM:");

  PaintSpy spy;
  grid->viewport()->installEventFilter(&spy);
  std::vector<double> painted_ms;
  double filled_ms = 0;
  for (int round = 0; round < 3; ++round) {
    spy.painted = false;
    const auto click = Clock::now();
    view_data->click();
    const auto filled = Clock::now();
    RunEventsUntil([&] { return spy.painted; });
    painted_ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - click).count());
    if (round == 0) filled_ms = std::chrono::duration<double, std::milli>(filled - click).count();
  }
  const long peak_kb = StatusKb("VmHWM:");
  if (boxes.shown.size() != 1) {
    std::fprintf(stderr, "view_data_bench: View Data showed a box: %s\n",
                 boxes.shown.back().prompt.c_str());
    return 1;
  }
  std::printf("%-58s %10d\n", "records in the data file", form.Download().datano());
  std::printf("%-58s %10.1f ms         target < 300\n", "View Data: click to painted grid (first)",
              painted_ms[0]);
  std::printf("%-58s %10.1f ms\n", "  of which reading the file and filling the grid", filled_ms);
  std::sort(painted_ms.begin(), painted_ms.end());
  std::printf("%-58s %10.1f ms\n", "  click to painted grid (median of 3)", painted_ms[1]);
  std::printf("%-58s %10.1f MB         target < 100\n", "peak memory of the process",
              peak_kb / 1024.0);
  std::printf("%-58s %10.1f MB\n", "  of which View Data added", (peak_kb - before_kb) / 1024.0);
  return 0;
}
