// rx7731-cli download as a user runs it: the real program against meter-sim through a real
// pseudo-terminal, its data file compared with the one meter-sim says a correct download gives.
// The program is TheCliUnderTest(): the Linux build's, or the Windows build's under Wine.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <functional>
#include <memory>
#include <regex>
#include <thread>

#include "cli_download/cli_under_test.h"
#include "e2e/child_process.h"
#include "support/fakes.h"

namespace rx::test {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

int Lines(const std::string& bytes) {
  return static_cast<int>(std::count(bytes.begin(), bytes.end(), '\n'));
}

class CliDownload : public testing::Test {
 protected:
  void SetUp() override {
    if (const std::string why = under_.SkipReason(); !why.empty()) GTEST_SKIP() << why;
    const std::string problem = under_.Problem();
    ASSERT_TRUE(problem.empty()) << problem;
    link_ = under_.Link(link_);
  }

  // meter-sim on `link_`, writing what a correct download gives to `expect_`.
  void StartMeter(std::vector<std::string> args) {
    args.insert(args.begin(), {RX_METER_SIM, "--link", link_, "--expect", expect_, "--units",
                               RX_UNIT_TABLE, "--quiet"});
    meter_ = std::make_unique<ChildProcess>(args, dir_.File("meter.log"));
    ASSERT_TRUE(Eventually([&] { return fs::exists(link_) || !meter_->Running(); }, 5s))
        << meter_->Output();
    ASSERT_TRUE(meter_->Running()) << meter_->Output();
  }

  // rx7731-cli with `args`; its stderr goes to `stderr_path` (a file unless a test says).
  // `program` is the program under test unless a case runs a copy of its own.
  std::unique_ptr<ChildProcess> StartCli(const std::vector<std::string>& args,
                                         const std::string& program = {},
                                         const std::string& working_dir = {}) {
    std::vector<std::string> argv{"/bin/sh", "-c", R"(exec "$0" "$@" 2>"$RX_CLI_STDERR")"};
    if (program.empty()) {
      for (const std::string& arg : under_.Command(args)) argv.push_back(arg);
    } else {
      argv.push_back(program);
      argv.insert(argv.end(), args.begin(), args.end());
    }
    std::map<std::string, std::string> env = under_.Environment();
    env["RX_CLI_STDERR"] = stderr_path_;
    return std::make_unique<ChildProcess>(argv, out_path_, env, working_dir);
  }

  // The options that name the meter's port, for the program under test.
  std::vector<std::string> Port() { return under_.PortOptions(link_); }

  // Runs rx7731-cli to its end and returns its exit code.
  int RunCli(const std::vector<std::string>& args, const std::string& program = {},
             const std::string& working_dir = {}) {
    auto cli = StartCli(args, program, working_dir);
    if (!cli->WaitFor(30s)) return -1;
    return cli->ExitCode().value_or(-1);
  }

  std::string Out() const { return ReadBytes(out_path_); }
  std::string Err() const { return ReadBytes(stderr_path_); }
  std::string Expected() const { return ReadBytes(expect_); }

  // The count of "N records (R readings, T time records) were saved to FILE" on stderr, or of
  // the window's "N readings were saved to FILE"; -1 without one, or where the parts do not add
  // up to what `file` holds.
  int SavedOnStderr(const std::string& file) const {
    std::smatch m;
    const std::string err = Err();
    const std::regex said(
        R"((\d+) (?:readings?|records? \((\d+) readings?, (\d+) time records?\)) (?:was|were) )"
        "saved to " +
        file + R"(\.)");
    if (!std::regex_search(err, m, said)) return -1;
    const int records = std::stoi(m[1]);
    if (m[2].matched && (std::stoi(m[3]) != TimeRecords(ReadBytes(file)) ||
                         std::stoi(m[2]) + std::stoi(m[3]) != records)) {
      return -1;
    }
    return records;
  }

  static int TimeRecords(const std::string& data) {
    int count = 0;
    for (size_t at = 0; (at = data.find(",\"Time\",", at)) != std::string::npos; ++at) ++count;
    return count;
  }

  CliUnderTest& under_ = TheCliUnderTest();
  TempDir dir_;
  std::string link_ = dir_.File("ports/com1");
  std::string expect_ = dir_.File("expect.dat");
  std::string data_ = dir_.File("meter.dat");
  std::string out_path_ = dir_.File("cli.out");
  std::string stderr_path_ = dir_.File("cli.err");
  std::unique_ptr<ChildProcess> meter_;
};

struct MemoryCase {
  const char* name;
  std::vector<std::string> meter_args;
  bool by_port_number;  // --port beside a copy of the program, default unit table and file name
  bool existing_file;   // a file is in the way, and --force is given
};

class WholeMemory : public CliDownload, public testing::WithParamInterface<MemoryCase> {};

TEST_P(WholeMemory, IsStoredAsTheWindowStoresItAndReportedOnStdout) {
  const MemoryCase& c = GetParam();
  std::string program;
  std::vector<std::string> args{"download", "--quiet"};
  std::string work_dir;
  if (c.by_port_number) {
    // ports/com7 and unit2.dat beside the program, the data file in the current folder.
    const fs::path folder = dir_.Path() / "program";
    fs::create_directories(folder / "ports");
    program = (folder / "rx7731-cli").string();
    fs::copy_file(RX_CLI, program);
    fs::copy_file(RX_UNIT_TABLE, folder / "unit2.dat");
    link_ = (folder / "ports" / "com7").string();
    work_dir = dir_.File("work");
    fs::create_directories(work_dir);
    args.insert(args.end(), {"--port", "7"});
    const std::time_t now = std::time(nullptr);
    char name[32];
    std::strftime(name, sizeof name, "%y%m%d.dat", std::localtime(&now));
    data_ = work_dir + "/" + name;
  } else {
    for (const std::string& option : Port()) args.push_back(option);
    args.insert(args.end(), {"--output", data_, "--units", RX_UNIT_TABLE});
  }
  if (c.existing_file) {
    WriteBytes(data_, "an older download\r\n");
    args.push_back("--force");
  }
  ASSERT_NO_FATAL_FAILURE(StartMeter(c.meter_args));

  ASSERT_EQ(RunCli(args, program, work_dir), 0) << Err();
  const std::string expected = Expected();
  ASSERT_GT(Lines(expected), 10);
  EXPECT_EQ(ReadBytes(data_), expected);
  const std::string shown_name = c.by_port_number ? fs::path(data_).filename().string() : data_;
  std::smatch m;
  const std::string out = Out();
  ASSERT_TRUE(std::regex_match(
      out, m,
      std::regex(R"(Data received: (\d+) records \((\d+) readings, (\d+) time records?\) in )"
                 R"((\d+) ms, saved to )" +
                 shown_name + "\n")))
      << out;
  EXPECT_EQ(std::stoi(m[1]), Lines(expected));
  EXPECT_EQ(std::stoi(m[3]), TimeRecords(expected));
  EXPECT_EQ(std::stoi(m[2]), Lines(expected) - TimeRecords(expected));
  EXPECT_EQ(Err(), "") << "stderr is not a terminal: no progress line";
}

INSTANTIATE_TEST_SUITE_P(
    Meter, WholeMemory,
    testing::Values(
        MemoryCase{"Clean", {"--records", "300", "--seed", "11", "--fast"}, false, false},
        MemoryCase{
            "WithNoise", {"--records", "300", "--seed", "12", "--noise", "--fast"}, false, true},
        // At the line's rate, so that the bytes arrive as a real line hands them over.
        MemoryCase{
            "InOneByteChunks", {"--records", "40", "--seed", "13", "--chunk", "1"}, false, false},
        MemoryCase{"ByPortNumber", {"--records", "100", "--seed", "14", "--fast"}, true, false},
        MemoryCase{"LogMemory",
                   {"--memory", "log", "--records", "300", "--seed", "15", "--fast"},
                   false,
                   false}),
    [](const auto& info) { return std::string(info.param.name); });

struct StopCase {
  const char* name;
  std::vector<std::string> meter_args;
  std::vector<std::string> cli_args;
  int lines_before;  // the stop comes once the file holds this many lines
  std::function<void(ChildProcess& cli, ChildProcess& meter)> stop;  // none: the CLI stops
  int exit_code;
  int lines;  // the file then holds exactly this many; -1: any whole lines from lines_before
  // The meter reports how many records it had sent when the port closed: all of them are in
  // the file, but for one that a write in flight may have completed after the last read.
  bool all_sent = false;
  // A data file already there, which --force lets the download replace.
  const char* old_file = nullptr;
};

class Stop : public CliDownload, public testing::WithParamInterface<StopCase> {};

TEST_P(Stop, KeepsEveryWholeRecordReceivedAndSaysHowMany) {
  const StopCase& c = GetParam();
  ASSERT_NO_FATAL_FAILURE(StartMeter(c.meter_args));
  std::vector<std::string> args{"download"};
  for (const std::string& option : Port()) args.push_back(option);
  args.insert(args.end(), {"--output", data_, "--units", RX_UNIT_TABLE});
  args.insert(args.end(), c.cli_args.begin(), c.cli_args.end());
  if (c.old_file) {
    WriteBytes(data_, c.old_file);
    args.push_back("--force");
  }
  auto cli = StartCli(args);
  ASSERT_TRUE(Eventually([&] { return Lines(ReadBytes(data_)) >= c.lines_before; }, 10s)) << Err();
  const int seen = Lines(ReadBytes(data_));
  if (c.stop) c.stop(*cli, *meter_);
  ASSERT_TRUE(cli->WaitFor(10s)) << Err();
  EXPECT_EQ(cli->ExitCode(), c.exit_code) << Err();

  const std::string got = ReadBytes(data_);
  if (c.lines == 0) {
    // No record came: a file that was there keeps its own, and none is made where there was none.
    EXPECT_NE(Err().find("stopped. 0 records (0 readings, 0 time records) were saved to " + data_),
              std::string::npos)
        << Err();
    EXPECT_EQ(fs::exists(data_), c.old_file != nullptr);
    EXPECT_EQ(got, c.old_file ? c.old_file : "");
    EXPECT_EQ(Out(), "");
    return;
  }
  EXPECT_EQ(SavedOnStderr(data_), Lines(got)) << Err();
  const std::string expected = Expected();
  EXPECT_EQ(got, expected.substr(0, got.size())) << "not the meter's records from the first";
  EXPECT_TRUE(got.empty() || got.ends_with("\r\n")) << "the last line is cut short";
  if (c.lines >= 0) {
    EXPECT_EQ(Lines(got), c.lines);
  } else {
    EXPECT_GE(Lines(got), seen);
    EXPECT_LT(Lines(got), Lines(expected));
  }
  EXPECT_EQ(Out(), "");
  if (c.all_sent) {
    ASSERT_TRUE(meter_->WaitFor(3s)) << "the meter did not see the port close";
    std::smatch m;
    const std::string log = meter_->Output();
    ASSERT_TRUE(
        std::regex_search(log, m, std::regex(R"(closed the port after \d+ frames, (\d+) records)")))
        << log;
    EXPECT_GE(Lines(got), std::stoi(m[1]) - 1) << "records waiting in the driver were lost";
  }
}

const auto kSignal = [](int signal) {
  return [signal](ChildProcess& cli, ChildProcess&) {
    // The file has just grown, so the program has just read the port; by now the driver holds
    // two or three frames that it has not read yet.
    std::this_thread::sleep_for(45ms);
    cli.Signal(signal);
  };
};

INSTANTIATE_TEST_SUITE_P(
    Download, Stop,
    testing::Values(
        // 600 records take ten seconds at the line's rate.
        StopCase{
            "Sigint", {"--records", "600", "--seed", "21"}, {}, 60, kSignal(SIGINT), 130, -1, true},
        StopCase{"Sigterm",
                 {"--records", "600", "--seed", "22"},
                 {},
                 60,
                 kSignal(SIGTERM),
                 143,
                 -1,
                 true},
        // A killed meter-sim leaves its pseudo-terminal with no master, as a pulled cable does.
        StopCase{"CablePulled",
                 {"--records", "600", "--seed", "23"},
                 {},
                 60,
                 [](ChildProcess&, ChildProcess& meter) { meter.Signal(SIGKILL); },
                 1,
                 -1},
        StopCase{"TimeoutBeforeTheFirstByte",
                 {"--records", "50", "--seed", "24", "--delay", "600000"},
                 {"--timeout", "0.5"},
                 0,
                 {},
                 3,
                 0},
        StopCase{"TimeoutBeforeTheFirstByteOverAnOldFile",
                 {"--records", "50", "--seed", "24", "--delay", "600000"},
                 {"--timeout", "0.5"},
                 0,
                 {},
                 3,
                 0,
                 false,
                 "0,\"231207093015\",\"Time\",0\r\n1,1.5,\"V         \",1\r\n"},
        // Ten frames, then the meter falls silent for longer than the timeout.
        StopCase{
            "TimeoutAfterTheLastByte",
            {"--records", "50", "--seed", "25", "--fast", "--chunk", "160", "--pause", "5000000"},
            {"--timeout", "1"},
            10,
            {},
            3,
            10}),
    [](const auto& info) { return std::string(info.param.name); });

struct RefusalCase {
  const char* name;
  std::function<std::vector<std::string>(const TempDir& dir)> args;
  int exit_code;
  const char* said;  // on stderr
};

class Refusal : public CliDownload, public testing::WithParamInterface<RefusalCase> {};

TEST_P(Refusal, LeavesAnExistingFileAsItIs) {
  const RefusalCase& c = GetParam();
  WriteBytes(data_, "keep me\r\n");
  EXPECT_EQ(RunCli(c.args(dir_)), c.exit_code) << Err();
  EXPECT_NE(Err().find(c.said), std::string::npos) << Err();
  EXPECT_EQ(ReadBytes(data_), "keep me\r\n");
  EXPECT_EQ(Out(), "");
}

INSTANTIATE_TEST_SUITE_P(
    Download, Refusal,
    testing::Values(RefusalCase{"ExistingFileWithoutForce",
                                [](const TempDir& dir) {
                                  return std::vector<std::string>{
                                      "download", "--device", dir.File("ports/com1"), "--output",
                                      dir.File("meter.dat")};
                                },
                                1, "meter.dat already exists; it is left as it is. Give --force"},
                    RefusalCase{"NeitherPortNorDevice",
                                [](const TempDir& dir) {
                                  return std::vector<std::string>{"download", "--output",
                                                                  dir.File("meter.dat"), "--force"};
                                },
                                2, "Usage"},
                    RefusalCase{"PortAndDevice",
                                [](const TempDir& dir) {
                                  return std::vector<std::string>{"download",
                                                                  "--port",
                                                                  "1",
                                                                  "--device",
                                                                  dir.File("ports/com1"),
                                                                  "--output",
                                                                  dir.File("meter.dat"),
                                                                  "--force"};
                                },
                                2, "Usage"}),
    [](const auto& info) { return std::string(info.param.name); });

// The file named is as it was: one that was there keeps its records, and none is created.
TEST_F(CliDownload, ADeviceThatCannotBeOpenedIsReportedAndLeavesTheFileAsItWas) {
  const std::string device = dir_.File("no-such-device");
  for (const bool old_file : {false, true}) {
    SCOPED_TRACE(old_file ? "old file, --force" : "no file");
    std::vector<std::string> args{"download", "--device", device,       "--output",
                                  data_,      "--units",  RX_UNIT_TABLE};
    if (old_file) {
      WriteBytes(data_, "keep me\r\n");
      args.push_back("--force");
    }
    EXPECT_EQ(RunCli(args), 1);
    EXPECT_NE(Err().find("Cannot open serial device " + device + ": No such file or directory."),
              std::string::npos)
        << Err();
    const std::string said = old_file ? data_ + " is as it was." : "no file was created.";
    EXPECT_NE(Err().find("The download did not start; " + said), std::string::npos) << Err();
    EXPECT_EQ(fs::exists(data_), old_file);
    if (old_file) {
      EXPECT_EQ(ReadBytes(data_), "keep me\r\n");
    }
  }
}

struct ProgressCase {
  const char* name;
  bool quiet;
};

class ProgressOnATerminal : public CliDownload, public testing::WithParamInterface<ProgressCase> {};

TEST_P(ProgressOnATerminal, IsOneLineRedrawnInPlaceUnlessQuiet) {
  int master = -1, slave = -1;
  char terminal[128] = {};
  ASSERT_EQ(openpty(&master, &slave, terminal, nullptr, nullptr), 0);
  stderr_path_ = terminal;
  // Three quarters of a second at the line's rate: the line is redrawn a few times.
  ASSERT_NO_FATAL_FAILURE(StartMeter({"--records", "45", "--seed", "31"}));
  std::vector<std::string> args{"download", "--device", link_,        "--output",
                                data_,      "--units",  RX_UNIT_TABLE};
  if (GetParam().quiet) args.push_back("--quiet");
  auto cli = StartCli(args);
  std::string shown;
  ASSERT_TRUE(Eventually(
      [&] {
        pollfd p{master, POLLIN, 0};
        while (poll(&p, 1, 0) > 0) {
          char chunk[4096];
          const ssize_t n = read(master, chunk, sizeof chunk);
          if (n <= 0) break;
          shown.append(chunk, n);
        }
        return !cli->Running();
      },
      10s));
  close(slave);
  close(master);
  EXPECT_EQ(cli->ExitCode(), 0) << shown;
  EXPECT_EQ(ReadBytes(data_), Expected());
  if (GetParam().quiet) {
    EXPECT_EQ(shown, "");
    return;
  }
  const std::string restart = "\r\x1b[K";
  EXPECT_TRUE(shown.starts_with(restart + "waiting for the meter: press its SEND key")) << shown;
  EXPECT_TRUE(
      std::regex_search(shown, std::regex("\r\x1b\\[K"
                                          R"(\d+ records stored, \d+ bytes received, \d+\.\d s)")))
      << shown;
  EXPECT_TRUE(shown.ends_with(restart)) << "the line is not cleared at the end: " << shown;
  EXPECT_EQ(shown.find('\n'), std::string::npos) << "not one line: " << shown;
}

INSTANTIATE_TEST_SUITE_P(Download, ProgressOnATerminal,
                         testing::Values(ProgressCase{"Shown", false}, ProgressCase{"Quiet", true}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace rx::test
