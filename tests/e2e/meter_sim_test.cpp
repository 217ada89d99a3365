// meter-sim as a program: the pseudo-terminal, its link, and when it sends.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <regex>
#include <sstream>

#include "child_process.h"
#include "support/fakes.h"

namespace rx::test {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

// The program's end of the line: opens the link as the serial port would.
class Reader {
 public:
  explicit Reader(const std::string& path) {
    fd_ = open(path.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK);
    if (fd_ < 0) ADD_FAILURE() << "cannot open " << path << ": " << std::strerror(errno);
  }
  ~Reader() { Close(); }
  void Close() {
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
  }
  // Reads until `count` bytes have come, nothing has come for `quiet`, or `limit` is over.
  std::string Read(size_t count, std::chrono::milliseconds quiet,
                   std::chrono::milliseconds limit = 10s) {
    const auto until = std::chrono::steady_clock::now() + limit;
    std::string bytes;
    while (fd_ >= 0 && bytes.size() < count && std::chrono::steady_clock::now() < until) {
      pollfd p{fd_, POLLIN, 0};
      if (poll(&p, 1, static_cast<int>(quiet.count())) <= 0) break;
      char chunk[4096];
      const ssize_t n = read(fd_, chunk, std::min(sizeof chunk, count - bytes.size()));
      if (n <= 0) break;
      bytes.append(chunk, n);
    }
    return bytes;
  }

 private:
  int fd_ = -1;
};

class MeterSim : public testing::Test {
 protected:
  std::unique_ptr<ChildProcess> Start(std::vector<std::string> args) {
    args.insert(args.begin(), RX_METER_SIM);
    auto sim = std::make_unique<ChildProcess>(args, dir.File("sim.log"));
    EXPECT_TRUE(Eventually([&] { return fs::exists(link) || !sim->Running(); }, 5s))
        << sim->Output();
    return sim;
  }

  TempDir dir;
  std::string link = dir.File("ports/com1");
  std::string stream_file = dir.File("stream.bin");
};

TEST_F(MeterSim, SendsFromTheOpeningOfThePortAtLineRate) {
  // 40 frames take two thirds of a second at 960 bytes/s.
  auto sim = Start({"--link", link, "--records", "38", "--seed", "5", "--save-stream", stream_file,
                    "--delay", "0", "--quiet"});
  const std::string stream = ReadBytes(stream_file);
  ASSERT_EQ(stream.size(), 40u * 16);
  std::this_thread::sleep_for(800ms);  // a meter that did not wait would have sent it all

  Reader reader(link);
  const auto opened = std::chrono::steady_clock::now();
  const std::string first = reader.Read(stream.size(), 100ms, 150ms);
  EXPECT_LT(first.size(), stream.size() / 2);
  const std::string rest = reader.Read(stream.size() - first.size(), 500ms);
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - opened).count();
  EXPECT_EQ(first + rest, stream);
  EXPECT_NEAR(seconds, 640 / 960.0, 0.25);
}

TEST_F(MeterSim, WithRepeatSendsTheWholeStreamAgainAtEachOpening) {
  auto sim = Start({"--link", link, "--records", "60", "--seed", "6", "--save-stream", stream_file,
                    "--delay", "0", "--repeat", "--quiet"});
  const std::string stream = ReadBytes(stream_file);
  {
    // Closed half-way: what the meter had queued must not reach the next opening.
    Reader reader(link);
    EXPECT_EQ(reader.Read(200, 1s), stream.substr(0, 200));
  }
  ASSERT_TRUE(Eventually(
      [&] { return sim->Output().find("closed the port after") != std::string::npos; }, 2s))
      << sim->Output();
  for (int opening = 0; opening < 2; ++opening) {
    // The meter looks at the line every 20 ms; a closing shorter than that goes unseen.
    std::this_thread::sleep_for(100ms);
    Reader reader(link);
    EXPECT_EQ(reader.Read(stream.size(), 1s), stream) << "opening " << opening;
  }
  sim->Signal(SIGTERM);
  ASSERT_TRUE(sim->WaitFor(3s));
  EXPECT_EQ(sim->ExitCode(), 128 + SIGTERM);
  EXPECT_FALSE(fs::exists(fs::symlink_status(link))) << "link left behind";
}

// Whoever watches the log (a test of a program that opens the port and waits) learns of the
// opening at once, not after --delay; a reader that leaves before the meter sends does not use
// up the memory, --repeat or not.
TEST_F(MeterSim, SaysAtOnceThatThePortOpenedAndSendsToTheNextReaderWhenTheFirstLeftEarly) {
  auto sim = Start({"--link", link, "--records", "20", "--seed", "8", "--save-stream", stream_file,
                    "--delay", "1500", "--quiet"});
  const std::string stream = ReadBytes(stream_file);
  {
    Reader early(link);
    EXPECT_TRUE(Eventually(
        [&] { return sim->Output().find("the port was opened") != std::string::npos; }, 500ms))
        << sim->Output();
    EXPECT_EQ(early.Read(1, 300ms), "") << "sent before --delay was over";
  }
  EXPECT_TRUE(Eventually(
      [&] { return sim->Output().find("closed the port before anything") != std::string::npos; },
      1s))
      << sim->Output();
  std::this_thread::sleep_for(100ms);  // the meter looks at the line every 20 ms
  ASSERT_TRUE(sim->Running()) << sim->Output();
  Reader reader(link);
  EXPECT_EQ(reader.Read(stream.size(), 2500ms, 5s), stream);
  reader.Close();
  EXPECT_TRUE(sim->WaitFor(3s)) << "a meter without --repeat ends after one whole memory";
}

TEST_F(MeterSim, ReportsWhereTheReaderClosedThePort) {
  auto sim = Start({"--link", link, "--records", "100", "--seed", "7", "--delay", "0", "--quiet"});
  {
    Reader reader(link);
    EXPECT_EQ(reader.Read(16 * 10 + 5, 1s).size(), 165u);
  }
  ASSERT_TRUE(sim->WaitFor(3s)) << "a meter without --repeat ends when the port closes";
  EXPECT_EQ(sim->ExitCode(), 0);
  std::smatch m;
  const std::string log = sim->Output();
  ASSERT_TRUE(std::regex_search(log, m, std::regex(R"(after (\d+) frames, (\d+) records)"))) << log;
  // Line-rate pacing stops within a chunk or two of what was read.
  EXPECT_GE(std::stoi(m[1]), 10);
  EXPECT_LE(std::stoi(m[1]), 12);
  EXPECT_FALSE(fs::exists(fs::symlink_status(link)));
}

TEST_F(MeterSim, OnADeviceSendsAtOnceAt9600Baud8N1) {
  // A pseudo-terminal's slave stands in for the serial device; the test reads the master.
  int master = -1, slave = -1;
  char device[128] = {};
  ASSERT_EQ(openpty(&master, &slave, device, nullptr, nullptr), 0);
  ChildProcess sim({RX_METER_SIM, "--device", device, "--records", "20", "--seed", "9",
                    "--save-stream", stream_file, "--fast", "--delay", "0", "--quiet"},
                   dir.File("sim.log"));
  std::string got;
  Eventually(
      [&] {
        pollfd p{master, POLLIN, 0};
        if (poll(&p, 1, 0) > 0) {
          char chunk[4096];
          const ssize_t n = read(master, chunk, sizeof chunk);
          if (n > 0) got.append(chunk, n);
          return false;
        }
        return !sim.Running();
      },
      5s);
  EXPECT_EQ(sim.ExitCode(), 0) << sim.Output();
  EXPECT_EQ(got, ReadBytes(stream_file));
  termios line{};
  ASSERT_EQ(tcgetattr(slave, &line), 0);
  EXPECT_EQ(cfgetospeed(&line), B9600);
  EXPECT_EQ(line.c_cflag & (CSIZE | PARENB | CSTOPB), static_cast<tcflag_t>(CS8));
  EXPECT_EQ(line.c_oflag & OPOST, 0u) << "output processing would turn CR into CR LF";
  close(slave);
  close(master);
}

struct ExistingPathCase {
  const char* name;
  bool regular_file;  // otherwise a link left by a simulator that was killed
  bool starts;
};

class ExistingPath : public MeterSim, public testing::WithParamInterface<ExistingPathCase> {};

TEST_P(ExistingPath, ReplacesOnlyALink) {
  fs::create_directories(fs::path(link).parent_path());
  if (GetParam().regular_file) {
    WriteBytes(link, "keep me");
  } else {
    fs::create_symlink("/dev/pts/no-such-terminal", link);
  }
  ChildProcess sim({RX_METER_SIM, "--link", link, "--quiet"}, dir.File("sim.log"));
  if (GetParam().starts) {
    ASSERT_TRUE(Eventually(
        [&] {
          return fs::read_symlink(link).string().starts_with("/dev/pts/") && fs::exists(link);
        },
        3s));
    EXPECT_TRUE(sim.Running());
  } else {
    ASSERT_TRUE(sim.WaitFor(3s));
    EXPECT_EQ(sim.ExitCode(), 1);
    EXPECT_NE(sim.Output().find("Cannot create link " + link + ": a file of that name exists"),
              std::string::npos)
        << sim.Output();
    EXPECT_EQ(ReadBytes(link), "keep me");
  }
}

INSTANTIATE_TEST_SUITE_P(Paths, ExistingPath,
                         testing::Values(ExistingPathCase{"StaleLink", false, true},
                                         ExistingPathCase{"RegularFile", true, false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(MeterSim, ExpectedFileNamesUnitsAsTheProgramReadsTheUnitTable) {
  // A quoted name keeps its comma; a long one is cut to ten characters.
  WriteBytes(dir.File("unit2.dat"), "\"0\",\"Ohm, k\"\r\n1,Megavolt per metre\r\n");
  ChildProcess sim({RX_METER_SIM, "--link", link, "--records", "200", "--seed", "8", "--expect",
                    dir.File("expected.dat"), "--units", dir.File("unit2.dat"), "--quiet"},
                   dir.File("sim.log"));
  ASSERT_TRUE(Eventually([&] { return fs::exists(link); }, 3s)) << sim.Output();
  std::istringstream lines(ReadBytes(dir.File("expected.dat")));
  int count = 0, named = 0;
  for (std::string line; std::getline(lines, line); ++count) {
    const size_t quote = line.find(",\"");
    if (quote == std::string::npos || line.find("\"Time\"") != std::string::npos) continue;
    const std::string unit = line.substr(line.find('"') + 1, 10);
    EXPECT_TRUE(unit == "Ohm, k    " || unit == "Megavolt p") << line;
    ++named;
  }
  EXPECT_EQ(count, 200);
  EXPECT_GT(named, 50);
}

}  // namespace
}  // namespace rx::test
