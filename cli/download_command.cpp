// rx7731-cli download: the window's download from a terminal. The same MeterDownload receives,
// decodes and stores the frames, on a Qt event loop without a window; this file only maps its
// outcome to the terminal: a progress line, one line on stdout at the end of the memory, the
// window's messages on stderr, and an exit code.

#include <QCoreApplication>
#include <QDate>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <iostream>

#include "app/commands.h"
#include "app/port_list.h"
#include "app/qt/qt_data_folder.h"
#include "app/start_up.h"
#include "app/steady_tick_clock.h"
#include "app/unit_table_file.h"
#include "cli/commands.h"
#include "cli/console.h"
#include "cli/console_window.h"
#include "cli/exit_codes.h"
#include "cli/progress_line.h"
#include "cli/stop_signals.h"
#include "data/data_file_reader.h"
#include "data/native_path.h"
#include "data/readings.h"
#include "download/meter_download.h"
#include "download/qt/qt_serial_control.h"

namespace rx::cli {
namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

constexpr int kProgressIntervalMs = 250;
// While frames stream in, the port wakes the command once four frames are waiting, half as often
// as the window, which shows a count that follows the line; 64 bytes take 67 ms at 9600 baud, so
// the line counts as quiet after 80 ms.
constexpr int kWakeBytes = 64;
constexpr int kQuietMs = 80;
constexpr const char* kWaitingText = "waiting for the meter: press its SEND key";

struct DownloadOptions {
  int port = 0;                // 0: --device
  std::string device;          // empty: --port
  std::string output;          // empty: today's yymmdd.dat
  std::string units;           // empty: unit2.dat beside the program
  double timeout_seconds = 0;  // 0: none
  bool force = false;
  bool quiet = false;
};

std::string RecordsStored(int32_t count) {
  return std::to_string(count) + (count == 1 ? " record" : " records");
}

// The `saved` records of the data file at `path`, in the words the other commands use for a
// file: "300 records (298 readings, 2 time records)". The file is read back to tell time records
// from readings; where it cannot be, or holds another number of records, only the count is given.
std::string SavedRecordsText(const std::string& path, int32_t saved) {
  if (saved == 0) return RecordCountText(0, 0);
  try {
    DataFileReader reader(path);
    Reading reading;
    int64_t time_records = 0;
    while (reader.Next(reading)) time_records += reading.kind == RecordKind::kTime;
    if (reader.RecordsRead() == saved) return RecordCountText(saved, time_records);
  } catch (const DataFileError&) {
  }
  return RecordsStored(saved);
}

// One download, from opening the port to the exit code.
class DownloadSession {
 public:
  DownloadSession(const DownloadOptions& options, const std::string& program_folder,
                  const UnitNames& names)
      : options_(options),
        progress_(stderr, !options.quiet && StandardErrorIsTerminal()),
        console_(progress_),
        serial_(program_folder),
        download_(serial_, console_, console_, clock_, names),
        stop_signals_([this](int signal) { OnStopSignal(signal); }) {
    serial_.SetDevice(options.device);
    serial_.SetWakeBytes(kWakeBytes);
    serial_.SetQuietInterval(kQuietMs);
    // The window's handler first, then what the terminal shows of it.
    serial_.SetOnComm([this] {
      download_.MSComm1_OnComm();
      AfterEvent();
    });
    console_.Follow(download_);
    progress_timer_.setInterval(kProgressIntervalMs);
    QObject::connect(&progress_timer_, &QTimer::timeout, [this] { DrawProgress(); });
    silence_timer_.setSingleShot(true);
    QObject::connect(&silence_timer_, &QTimer::timeout, [this] { CheckSilence(); });
  }

  int Run(const std::string& output) {
    download_.ClearStartTick();
    if (!download_.ReadDataLogger_2(output, static_cast<int16_t>(options_.port))) {
      // Why has been printed. A file already there keeps its records, and none is created.
      std::error_code ec;
      const bool there = fs::exists(fs::symlink_status(NativePath(output), ec));
      PrintMessage("The download did not start" +
                   (there ? "; " + output + " is as it was." : "; no file was created."));
      return kExitFailure;
    }
    output_ = output;
    started_ = Clock::now();
    if (progress_.Enabled()) {
      DrawProgress();
      progress_timer_.start();
    }
    if (options_.timeout_seconds > 0) silence_timer_.start(SilenceLimit());
    return QCoreApplication::exec();
  }

 private:
  std::chrono::milliseconds SilenceLimit() const {
    return std::chrono::milliseconds(static_cast<int64_t>(options_.timeout_seconds * 1000));
  }

  void AfterEvent() {
    if (finished_) return;
    if (const uint64_t bytes = download_.BytesReceived(); bytes != bytes_seen_) {
      last_byte_ = Clock::now();
      if (bytes_seen_ == 0) first_byte_ = last_byte_;
      bytes_seen_ = bytes;
    }
    if (download_.fgComPortOpen()) return;
    if (!download_.fgTransferOK()) {
      // The download's own message has said why and how many readings were saved.
      Finish(kExitFailure);
      return;
    }
    progress_.Clear();
    std::cout << "Data received: " << SavedRecordsText(output_, download_.RecordsSaved()) << " in "
              << download_.TransferMs() << " ms, saved to " << output_ << std::endl;
    Finish(kExitOk);
  }

  // Ends a download that has not reached its end: the port is closed and the data file keeps
  // every whole record received, as when the window is closed.
  void Stop(int exit_code, const std::string& why) {
    if (finished_) return;
    // Bytes the driver holds are received too: their whole records go into the file first (and
    // may even complete the memory).
    serial_.ReceiveWaiting();
    if (finished_) return;
    progress_.Clear();
    download_.Exit();
    const int32_t saved = download_.RecordsSaved();
    PrintMessage(why + ". The download has stopped. " + SavedRecordsText(output_, saved) +
                 (saved == 1 ? " was" : " were") + " saved to " + output_ + ".");
    Finish(exit_code);
  }

  void Finish(int exit_code) {
    finished_ = true;
    progress_timer_.stop();
    silence_timer_.stop();
    progress_.Clear();
    QCoreApplication::exit(exit_code);
  }

  void OnStopSignal(int signal) {
    if (signal == SIGINT) Stop(kExitInterrupted, "Interrupted (SIGINT)");
    if (signal == SIGTERM) Stop(kExitTerminated, "Terminated (SIGTERM)");
  }

  // The timer runs out once per limit at most; it counts from the port's opening and again from
  // each byte, so only a line silent for the whole limit stops the download.
  void CheckSilence() {
    if (finished_) return;
    const auto quiet_since = bytes_seen_ == 0 ? started_ : last_byte_;
    const auto quiet =
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - quiet_since);
    if (quiet < SilenceLimit()) {
      silence_timer_.start(SilenceLimit() - quiet);
      return;
    }
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%g", options_.timeout_seconds);
    Stop(kExitTimedOut, std::string(bytes_seen_ == 0 ? "Nothing" : "Nothing more") +
                            " received from the meter for " + seconds + " seconds (--timeout)");
  }

  void DrawProgress() {
    if (bytes_seen_ == 0) {
      progress_.Show(kWaitingText);
      return;
    }
    char elapsed[32];
    std::snprintf(elapsed, sizeof elapsed, "%.1f s",
                  std::chrono::duration<double>(Clock::now() - first_byte_).count());
    progress_.Show(RecordsStored(download_.datano()) + " stored, " + std::to_string(bytes_seen_) +
                   " bytes received, " + elapsed);
  }

  const DownloadOptions& options_;
  ProgressLine progress_;
  ConsoleWindow console_;
  SteadyTickClock clock_;
  QtSerialControl serial_;
  MeterDownload download_;
  StopSignals stop_signals_;
  QTimer progress_timer_;
  QTimer silence_timer_;
  std::string output_;
  Clock::time_point started_, first_byte_, last_byte_;
  uint64_t bytes_seen_ = 0;
  bool finished_ = false;
};

int RunDownload(const DownloadOptions& options, const std::string& program_folder) {
  const QDate today = QDate::currentDate();
  const std::string output = options.output.empty()
                                 ? DefaultDataFileName({today.year(), today.month(), today.day()})
                                 : options.output;
  std::error_code ec;
  if (!options.force && fs::exists(fs::symlink_status(output, ec))) {
    PrintMessage(output + " already exists; it is left as it is. Give --force to replace it.");
    return kExitFailure;
  }

  static int argc = 1;
  static char name[] = "rx7731-cli";
  static char* argv[] = {name, nullptr};
  QCoreApplication application(argc, argv);

  // An installed copy keeps the user's unit table and ports/ links in their documents folder,
  // as the window does.
  const DataFolder data = DataFolderOf(program_folder);
  if (!data.problem.empty()) PrintMessage(data.problem + ".");
  const std::string units = options.units.empty() ? data.unit_table : options.units;
  UnitNames names;
  const UnitTableLoad load = ReadUnitTableFile(units, names);
  if (!load.problem.empty()) PrintMessage(UnitTableProblem(load));

  DownloadSession session(options, data.folder, names);
  return session.Run(output);
}

}  // namespace

void AddDownloadCommand(CLI::App& app, const std::string& program_folder, int& exit_code) {
  static DownloadOptions options;
  CLI::App* command = app.add_subcommand(
      "download",
      "Download the meter's memory to a data file, as the window's Start does. Press the meter's "
      "SEND key once the command waits for it.");
  CLI::Option_group* line = command->add_option_group("port", "where the meter is connected");
  line->add_option("--port", options.port,
                   "serial port number, as \"Comm. N\" in the window (ports/comN beside the "
                   "program, else the system's device for N)")
      ->type_name("N")
      ->check(CLI::Range(1, kPortListEntries));
  line->add_option("--device", options.device, "serial device to open, e.g. /dev/ttyUSB0")
      ->type_name("PATH");
  line->require_option(1);
  command
      ->add_option("--output,-o", options.output,
                   "data file to write (default: today's yymmdd.dat in the current folder)")
      ->type_name("FILE");
  command
      ->add_option("--units", options.units,
                   "unit table (default: unit2.dat beside the program, or in ~/Documents/RX7731 "
                   "for an installed copy)")
      ->type_name("FILE");
  command->add_flag("--force", options.force, "replace the data file if it exists");
  command
      ->add_option("--timeout", options.timeout_seconds,
                   "stop with exit code 3 when nothing arrives for SECONDS, counted from the "
                   "port's opening and again from each byte")
      ->type_name("SECONDS")
      ->check(CLI::Range(0.001, 2'000'000.0));
  command->add_flag("--quiet", options.quiet, "no progress line");
  command->callback(
      [&exit_code, program_folder] { exit_code = RunDownload(options, program_folder); });
}

}  // namespace rx::cli
