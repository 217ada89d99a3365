// rx7731-cli on data files of 10,000, 100,000 and 1,000,000 records, each command run as its own
// process as a user runs it: the elapsed time and the processor time it used (medians of the runs),
// and the process's peak memory, each against its target. On a busy machine the elapsed time
// includes waiting for a core.
//
// With --compare, the report of 100,000 records is also made by another build of rx7731-cli (an
// earlier one, built in a folder of its own), alternating run by run, and both are printed.
//
// Usage: cli_bench [--records N]... [--runs N] [--compare OTHER_RX7731_CLI]

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "data/data_file.h"
#include "e2e/child_process.h"

namespace {

// A download's data file: a time record every 1,000 records, channel readings on eight
// channels with now and then the no-digits marker, and coded readings.
void WriteDataFile(const std::string& path, int records) {
  rx::DataFileWriter writer;
  writer.OpenDataFile(path);
  static const char* const kUnits[] = {"V         ", "mV        ", "A         ", "\xB5S/cm     "};
  for (int32_t i = 0; i < records; ++i) {
    if (i % 1000 == 0) {
      char time[13];
      std::snprintf(time, sizeof time, "2312%02d%02d%02d%02d", 1 + i / 86400000 % 28,
                    i / 3600000 % 24, i / 60000 % 60, i / 1000 % 60);
      writer.AppendRecord(i, std::string_view(time), std::string_view("Time"), int16_t{0});
    } else if (i % 97 == 0) {
      writer.AppendRecord(i, -1.234 * (i % 13), int16_t{7}, int16_t{0});
    } else {
      const double value = i % 211 == 0 ? 999999.0 : (i % 2001) * 0.01 - 10;
      writer.AppendRecord(i, value, std::string_view(kUnits[i % 4]), int16_t(1 + i % 8));
    }
  }
  writer.CloseDataFile();
}

// A log memory's readings as the meter gives them, with at most two decimals, on four channels,
// and a time record every 1,000 records.
void WriteMeterLikeFile(const std::string& path, int records) {
  rx::DataFileWriter writer;
  writer.OpenDataFile(path);
  static const char* const kUnits[] = {"hPa       ",
                                       "\xB0"
                                       "C        ",
                                       "%RH       ", "V         "};
  for (int32_t i = 0; i < records; ++i) {
    if (i % 1000 == 0) {
      char time[13];
      std::snprintf(time, sizeof time, "2305%02d%02d%02d%02d", 1 + i / 86400 % 28, i / 3600 % 24,
                    i / 60 % 60, i % 60);
      writer.AppendRecord(i, std::string_view(time), std::string_view("Time"), int16_t{0});
    } else {
      const double value = (101300 + (i * 7919) % 2000) / 100.0;  // 1013.00 to 1032.99
      writer.AppendRecord(i, value, std::string_view(kUnits[i % 4]), int16_t(1 + i % 4));
    }
  }
  writer.CloseDataFile();
}

struct Result {
  int exit_code = -1;
  double milliseconds = 0;
  double cpu_milliseconds = 0;  // user and system time
  long peak_kb = 0;
};

// Runs `argv` with stdout and stderr to `log` and waits for it.
Result RunProcess(const std::vector<std::string>& argv, const std::string& log) {
  const auto start = std::chrono::steady_clock::now();
  rx::test::ChildProcess child(argv, log);
  Result result;
  if (!child.WaitFor(std::chrono::minutes(2))) return result;
  result.milliseconds =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  result.exit_code = *child.ExitCode();
  const auto usage = *child.ResourceUsage();
  result.cpu_milliseconds = usage.cpu_milliseconds;
  result.peak_kb = usage.peak_kb;
  return result;
}

std::string FirstLine(const std::string& path) {
  std::ifstream in(path);
  std::string line;
  std::getline(in, line);
  return line;
}

// What a command must stay under on a file of a given size; 0 where nothing is set.
struct Target {
  double milliseconds = 0;
  double megabytes = 0;
};

struct Command {
  const char* what;
  std::vector<std::string> args;
  Target target;
};

std::string TargetText(const Target& target) {
  std::string text;
  if (target.milliseconds > 0) text += "< " + std::to_string(int(target.milliseconds)) + " ms";
  if (target.megabytes > 0) {
    text += (text.empty() ? "< " : ", < ") + std::to_string(int(target.megabytes)) + " MB";
  }
  return text;
}

void RunCommands(const std::string& cli, const std::vector<Command>& commands, int runs,
                 const std::string& log) {
  std::printf("%-24s %10s %10s %12s   %s\n", "command", "elapsed", "CPU", "peak memory", "target");
  for (const Command& command : commands) {
    std::vector<std::string> argv = {cli};
    argv.insert(argv.end(), command.args.begin(), command.args.end());
    std::vector<double> times, cpu_times;
    long peak_kb = 0;
    int exit_code = 0;
    for (int run = 0; run < runs && exit_code == 0; ++run) {
      const Result result = RunProcess(argv, log);
      exit_code = result.exit_code;
      times.push_back(result.milliseconds);
      cpu_times.push_back(result.cpu_milliseconds);
      peak_kb = std::max(peak_kb, result.peak_kb);
    }
    if (exit_code != 0) {
      std::printf("%-24s failed (exit %d), no figure: %s\n", command.what, exit_code,
                  FirstLine(log).c_str());
      continue;
    }
    std::sort(times.begin(), times.end());
    std::sort(cpu_times.begin(), cpu_times.end());
    const double median = times[times.size() / 2];
    const double megabytes = peak_kb / 1024.0;
    const bool missed =
        (command.target.milliseconds > 0 && median >= command.target.milliseconds) ||
        (command.target.megabytes > 0 && megabytes >= command.target.megabytes);
    std::printf("%-24s %7.0f ms %7.0f ms %9.1f MB   %s%s\n", command.what, median,
                cpu_times[cpu_times.size() / 2], megabytes, TargetText(command.target).c_str(),
                missed ? "  (target missed)" : "");
  }
}

// The number in "x.pdf: 100000 records on 560 pages".
int PagesIn(const std::string& line) {
  const size_t on = line.rfind(" on ");
  return on == std::string::npos ? 0 : std::atoi(line.c_str() + on + 4);
}

// The report of each file made by `cli` and by `other`, run after run in turn, so that both meet
// the same load: medians of elapsed and processor time, and the pages.
void CompareReports(const std::string& cli, const std::string& other,
                    const std::vector<std::pair<std::string, std::string>>& files, int runs,
                    const std::filesystem::path& dir) {
  const std::string log = (dir / "compare.log").string();
  std::printf(
      "report --output x.pdf of 100,000 records, this build against %s, median of %d runs\n",
      other.c_str(), runs);
  std::printf("%-28s %-8s %10s %10s %8s\n", "data file", "build", "elapsed", "CPU", "pages");
  for (const auto& [what, file] : files) {
    const std::string builds[2] = {cli, other};
    std::vector<double> times[2], cpu[2];
    int pages[2] = {0, 0};
    bool failed = false;
    for (int run = 0; run < runs && !failed; ++run) {
      for (int b = 0; b < 2 && !failed; ++b) {
        const Result result =
            RunProcess({builds[b], "report", file, "--output", (dir / "x.pdf").string()}, log);
        if (result.exit_code != 0) {
          std::printf("%-28s failed (exit %d): %s\n", what.c_str(), result.exit_code,
                      FirstLine(log).c_str());
          failed = true;
        }
        times[b].push_back(result.milliseconds);
        cpu[b].push_back(result.cpu_milliseconds);
        pages[b] = PagesIn(FirstLine(log));
      }
    }
    if (failed) continue;
    double median[2], cpu_median[2];
    for (int b = 0; b < 2; ++b) {
      std::sort(times[b].begin(), times[b].end());
      std::sort(cpu[b].begin(), cpu[b].end());
      median[b] = times[b][times[b].size() / 2];
      cpu_median[b] = cpu[b][cpu[b].size() / 2];
    }
    std::printf("%-28s %-8s %7.0f ms %7.0f ms %8d\n", what.c_str(), "this", median[0],
                cpu_median[0], pages[0]);
    std::printf("%-28s %-8s %7.0f ms %7.0f ms %8d\n", "", "other", median[1], cpu_median[1],
                pages[1]);
    const bool missed = median[0] > median[1] / 2;
    std::printf("%-28s %-8s %9.0f %% %9.0f %% %7.0f %%   target: at most 50 %% of the time%s\n", "",
                "ratio", 100 * median[0] / median[1], 100 * cpu_median[0] / cpu_median[1],
                pages[1] > 0 ? 100.0 * pages[0] / pages[1] : 0.0,
                missed ? "  (target missed)" : "");
  }
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<int> sizes;
  int runs = 5;
  std::string other;  // another build's rx7731-cli, for the report's comparison
  for (int i = 1; i + 1 < argc; i += 2) {
    if (std::string(argv[i]) == "--records") sizes.push_back(std::stoi(argv[i + 1]));
    if (std::string(argv[i]) == "--runs") runs = std::max(1, std::stoi(argv[i + 1]));
    if (std::string(argv[i]) == "--compare") other = argv[i + 1];
  }
  if (sizes.empty()) sizes = {10000, 100000, 1000000};
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("rx7731-cli-bench-" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  const std::string data = (dir / "bench.dat").string();
  const std::string log = (dir / "run.log").string();
  const std::string cli = RX_CLI;

  for (const int records : sizes) {
    WriteDataFile(data, records);
    // A million records: the time of the export, and memory that stays the same whatever the
    // file's size for show and export; below that, a second for any command.
    const bool million = records >= 1000000;
    const Target any_second = {1000, 0};
    const Target csv = million ? Target{400, 30} : any_second;
    const Target json = million ? Target{600, 30} : any_second;
    const Target show = million ? Target{0, 30} : any_second;
    const Target plot = million ? Target{0, 60} : any_second;
    // The workbook: 100,000 records within a second and 100 MB.
    const Target xlsx = million ? Target{} : Target{1000, 100};
    // The statistics of 100,000 records in 0.3 s; the report of 10,000 in a second and of
    // 100,000 in five, each within 150 MB. A report of a million records (18,000 pages) is not
    // timed: it would take as long as all the rest.
    const Target stats = records <= 100000 ? Target{300, 0} : Target{};
    const Target report = records <= 10000 ? Target{1000, 150} : Target{5000, 150};
    std::vector<Command> commands = {
        {"export (CSV)", {"export", data, "--output", (dir / "out.csv").string()}, csv},
        {"export --format json",
         {"export", data, "--format", "json", "--output", (dir / "out.jsonl").string()},
         json},
        {"export --format xlsx",
         {"export", data, "--format", "xlsx", "--output", (dir / "out.xlsx").string()},
         xlsx},
        {"show (to a file)", {"show", data}, show},
        {"plot --output x.svg", {"plot", data, "--output", (dir / "x.svg").string()}, plot},
        {"plot --output x.png", {"plot", data, "--output", (dir / "x.png").string()}, plot},
        {"stats", {"stats", data}, stats},
        {"stats --format json", {"stats", data, "--format", "json"}, stats},
    };
    if (!million) {
      commands.push_back({"report --output x.pdf",
                          {"report", data, "--output", (dir / "x.pdf").string()},
                          report});
    }
    std::printf("rx7731-cli on %d records (%.1f MB data file), median of %d runs\n", records,
                std::filesystem::file_size(data) / 1e6, runs);
    RunCommands(cli, commands, runs, log);
  }
  if (!other.empty()) {
    const std::string meter = (dir / "meter.dat").string();
    WriteDataFile(data, 100000);
    WriteMeterLikeFile(meter, 100000);
    CompareReports(cli, other, {{"the one above", data}, {"a meter's readings", meter}}, runs, dir);
  }
  std::error_code ec;
  std::filesystem::remove_all(dir, ec);
  return 0;
}
