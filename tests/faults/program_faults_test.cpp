// Faults a person meets with the real RX7731 on a virtual display: the meter's cable pulled
// mid-download, the program killed, a data folder that is read-only or full, and unit tables
// that are missing, empty, too long, junk or huge. A screenshot of each message box goes to
// RX_FAULT_SHOTS, so that its text can be read.

#include <gtest/gtest.h>
#include <sys/mount.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <regex>

#include "e2e/program_session.h"
#include "support/fakes.h"

namespace rx::test {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

// A tmpfs mounted over a folder for the length of a test.
class TmpfsMount {
 public:
  TmpfsMount(const fs::path& folder, unsigned long flags, const std::string& options)
      : folder_(folder) {
    fs::create_directories(folder);
    if (::mount("tmpfs", folder.c_str(), "tmpfs", flags, options.c_str()) == 0) {
      mounted_ = true;
    } else {
      error_ = std::strerror(errno);
    }
  }
  ~TmpfsMount() {
    if (mounted_) ::umount2(folder_.c_str(), MNT_DETACH);
  }
  bool Mounted() const { return mounted_; }
  const std::string& Error() const { return error_; }

 private:
  fs::path folder_;
  bool mounted_ = false;
  std::string error_;
};

int Lines(const std::string& bytes) {
  return static_cast<int>(std::count(bytes.begin(), bytes.end(), '\n'));
}

// The peak resident memory of a running process, in kB.
long PeakMemoryKb(int pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6));
  }
  return -1;
}

class ProgramFaults : public ProgramSession {
 protected:
  using ProgramSession::WaitForBox;

  // Waits for exactly one box titled `title`, and keeps a picture of it under `shot`.
  WindowId WaitForBox(const std::string& title, const std::string& shot,
                      std::chrono::milliseconds timeout = 15s) {
    const WindowId box = ProgramSession::WaitForBox(title, timeout);
    if (box.empty()) return box;
    std::this_thread::sleep_for(100ms);  // painted
    fs::create_directories(RX_FAULT_SHOTS);
    const std::string name = testing::UnitTest::GetInstance()->current_test_info()->name();
    const std::string file = std::string(RX_FAULT_SHOTS) + "/" +
                             std::regex_replace(name, std::regex("/"), "_") + "-" + shot + ".png";
    ChildProcess(std::vector<std::string>{FindOnPath("import"), "-window", box, file},
                 dir_.File("import.log"), {{"DISPLAY", display_->Name()}})
        .WaitFor(10s);
    return box;
  }

  // Start answers, so the window is back to idle: the data file exists, so it asks first.
  void ExpectStartAnswersAgain() {
    Click(kStart);
    Answer(WaitForBox(kFileCheckTitle, "start-again"), "n");
  }

  // The peak memory of the program started with the sample unit table and left idle, in kB.
  long SampleTablePeakKb() {
    const fs::path folder = dir_.Path() / "sample";
    fs::create_directories(folder);
    fs::copy_file(RX_PROGRAM, folder / "RX7731");
    fs::copy_file(RX_UNIT_TABLE, folder / "unit2.dat");
    ChildProcess program({(folder / "RX7731").string()}, dir_.File("sample.log"),
                         ProgramEnvironment(), folder.string());
    if (!Eventually([&] { return !hand_->Windows(program.Pid(), kTitle).empty(); }, 20s)) {
      return -1;
    }
    std::this_thread::sleep_for(300ms);
    return PeakMemoryKb(program.Pid());
  }
};

// What a download left in the file must be the meter's records from the first, whole lines.
void ExpectWholeLinesOfTheMemory(const std::string& got, const std::string& expected) {
  EXPECT_EQ(got, expected.substr(0, got.size())) << "not the meter's records from the first";
  EXPECT_TRUE(got.empty() || got.ends_with("\r\n")) << "the last line is cut short";
}

TEST_F(ProgramFaults, TheMeterVanishingMidDownloadEndsItAndKeepsEveryRecord) {
  // At line rate 600 records take ten seconds; the cable is pulled after about two.
  ASSERT_NO_FATAL_FAILURE(StartMeter({"--records", "600", "--seed", "31"}));
  ASSERT_NO_FATAL_FAILURE(StartProgram());
  TypeFileName("pulled.dat");
  Click(kStart);
  const std::string df = InFolder("pulled.dat");
  ASSERT_TRUE(Eventually([&] { return Lines(ReadBytes(df)) >= 100; }, 10s)) << meter_->Output();
  // A killed meter-sim leaves its pseudo-terminal with no master, as a pulled USB adapter does.
  meter_->Signal(SIGKILL);
  const int seen = Lines(ReadBytes(df));
  ASSERT_TRUE(meter_->WaitFor(3s));

  Answer(WaitForBox(kTitle, "lost"), "Return");
  const std::string got = ReadBytes(df);
  ExpectWholeLinesOfTheMemory(got, Expected());
  EXPECT_GE(Lines(got), seen);
  EXPECT_LT(Lines(got), 600);
  ExpectStartAnswersAgain();
  // View Data shows what was saved; a read failure would show a box.
  Click(kViewData);
  EXPECT_TRUE(NoBoxFor(700ms)) << Describe(Boxes());
  ExitProgram();
}

TEST_F(ProgramFaults, AKillMidDownloadKeepsEveryRecordOfTheEventsHandled) {
  ASSERT_NO_FATAL_FAILURE(StartMeter({"--records", "600", "--seed", "32"}));
  ASSERT_NO_FATAL_FAILURE(StartProgram());
  TypeFileName("killed.dat");
  Click(kStart);
  const std::string df = InFolder("killed.dat");
  // Each receive event writes its records through to the system, so the file grows with the
  // line, a few dozen bytes at a time; records held back in the program would not be there.
  ASSERT_TRUE(Eventually([&] { return Lines(ReadBytes(df)) >= 60; }, 5s))
      << "records of handled events are not in the file";
  const std::string before = ReadBytes(df);
  program_->Signal(SIGKILL);
  ASSERT_TRUE(program_->WaitFor(3s));
  EXPECT_EQ(program_->ExitCode(), 128 + SIGKILL);

  const std::string got = ReadBytes(df);
  ExpectWholeLinesOfTheMemory(got, Expected());
  EXPECT_EQ(got.substr(0, before.size()), before) << "records on disk before the kill are gone";
}

// New files left beside a data file in `folder`.
std::vector<std::string> PartFiles(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    if (entry.path().extension() == ".part") names.push_back(entry.path().filename().string());
  }
  return names;
}

const std::string kOldRecords = "0,\"231207093015\",\"Time\",0\r\n1,1.5,\"V         \",1\r\n";

// Yes to the overwrite question lets the new download replace the file, but only its first
// record does: a meter that has not sent yet, or never does, takes nothing from it.
TEST_F(ProgramFaults, AReplacedFileKeepsItsRecordsUntilTheFirstNewOne) {
  WriteBytes(InFolder("kept.dat"), kOldRecords);
  ASSERT_NO_FATAL_FAILURE(
      StartMeter({"--fast", "--records", "150", "--seed", "33", "--delay", "3000"}));
  ASSERT_NO_FATAL_FAILURE(StartProgram());
  TypeFileName("kept.dat");
  Click(kStart);
  Answer(WaitForBox(kFileCheckTitle, "replace"), "y");
  std::this_thread::sleep_for(1s);
  EXPECT_EQ(ReadBytes(InFolder("kept.dat")), kOldRecords) << "replaced before the first record";
  Answer(WaitForBox(kTitle, "received"), "Return");
  EXPECT_EQ(ReadBytes(InFolder("kept.dat")), Expected());
  EXPECT_EQ(PartFiles(folder_), std::vector<std::string>{});
  ExitProgram();
}

TEST_F(ProgramFaults, ExitBeforeTheFirstRecordLeavesTheReplacedFileAsItWas) {
  WriteBytes(InFolder("kept.dat"), kOldRecords);
  ASSERT_NO_FATAL_FAILURE(StartMeter({"--records", "50", "--seed", "34", "--delay", "600000"}));
  ASSERT_NO_FATAL_FAILURE(StartProgram());
  TypeFileName("kept.dat");
  Click(kStart);
  Answer(WaitForBox(kFileCheckTitle, "replace"), "y");
  std::this_thread::sleep_for(1s);
  ExitProgram();
  EXPECT_EQ(ReadBytes(InFolder("kept.dat")), kOldRecords);
  EXPECT_EQ(PartFiles(folder_), std::vector<std::string>{}) << "the new file was left";
}

struct FolderCase {
  const char* name;
  unsigned long mount_flags;
  std::string mount_options;
  std::vector<std::string> meter_args;
};

class DataFolderFault : public ProgramFaults, public testing::WithParamInterface<FolderCase> {};

TEST_P(DataFolderFault, IsReportedWithTheFileAndTheWindowGoesBackToIdle) {
  const FolderCase& c = GetParam();
  TmpfsMount data(folder_ / "data", c.mount_flags, c.mount_options);
  if (!data.Mounted()) GTEST_SKIP() << "cannot mount a tmpfs here: " << data.Error();
  ASSERT_NO_FATAL_FAILURE(StartMeter(c.meter_args));
  ASSERT_NO_FATAL_FAILURE(StartProgram());
  TypeFileName("data/261208.dat");
  Click(kStart);
  Answer(WaitForBox(kTitle, "failed"), "Return");
  EXPECT_TRUE(NoBoxFor(500ms)) << Describe(Boxes());

  const std::string df = InFolder("data/261208.dat");
  if (fs::exists(df)) {
    // Whatever reached the full disk is the meter's records from the first; View Data reads
    // back the ones the message said were saved.
    const std::string got = ReadBytes(df);
    EXPECT_EQ(got, Expected().substr(0, got.size()));
    Click(kViewData);
    EXPECT_TRUE(NoBoxFor(700ms)) << Describe(Boxes());
    ExpectStartAnswersAgain();
  } else {
    // Nothing was created, so Start goes straight to the same failure again.
    Click(kStart);
    Answer(WaitForBox(kTitle, "failed-again"), "Return");
  }
  ExitProgram();
}

INSTANTIATE_TEST_SUITE_P(
    Folders, DataFolderFault,
    testing::Values(FolderCase{"ReadOnly", MS_RDONLY, "size=64k", {"--fast", "--records", "50"}},
                    FolderCase{"Full", 0, "size=16k", {"--fast", "--records", "3000"}}),
    [](const auto& info) { return std::string(info.param.name); });

struct UnitTableCase {
  const char* name;
  std::function<void(const std::string& path)> make;  // leaves the file as the case needs
  bool message;                                       // start-up tells of trouble with the table
};

void PrintTo(const UnitTableCase& c, std::ostream* os) { *os << c.name; }

class UnitTableFault : public ProgramFaults, public testing::WithParamInterface<UnitTableCase> {};

TEST_P(UnitTableFault, StartUpGoesOnInBoundedTimeAndMemory) {
  const long sample_peak_kb = SampleTablePeakKb();
  ASSERT_GT(sample_peak_kb, 0);
  GetParam().make(InFolder("unit2.dat"));
  const auto start = std::chrono::steady_clock::now();
  ASSERT_NO_FATAL_FAILURE(LaunchProgram());
  if (GetParam().message) {
    ASSERT_FALSE(FindMainWindow()) << "start-up showed the window before telling of the table";
    Answer(WaitForBox(kTitle, "table"), "Return");
  }
  ASSERT_TRUE(Eventually([&] { return FindMainWindow(); }, 10s)) << program_->Output();
  const auto took = std::chrono::steady_clock::now() - start;
  EXPECT_TRUE(NoBoxFor(300ms)) << Describe(Boxes());
  // Generous: the point is that a huge file is not read to its end, nor held in memory.
  EXPECT_LT(took, 10s);
  EXPECT_LT(PeakMemoryKb(program_->Pid()), sample_peak_kb + 32 * 1024)
      << "the table is held in memory";
  ExitProgram();
}

std::string Pairs(int count) {
  std::string bytes;
  for (int i = 0; i < count; ++i) bytes += std::to_string(i) + ",U" + std::to_string(i) + "\r\n";
  return bytes;
}

void Junk(const std::string& path, size_t size, uint32_t seed) {
  std::mt19937 random(seed);
  std::string bytes(size, '\0');
  for (char& c : bytes) c = static_cast<char>(random());
  WriteBytes(path, bytes);
}

INSTANTIATE_TEST_SUITE_P(
    Tables, UnitTableFault,
    testing::Values(UnitTableCase{"Missing", [](const std::string& p) { fs::remove(p); }, true},
                    UnitTableCase{"Empty", [](const std::string& p) { WriteBytes(p, ""); }, false},
                    UnitTableCase{"Exactly301Pairs",
                                  [](const std::string& p) { WriteBytes(p, Pairs(301)); }, false},
                    UnitTableCase{"MoreThan301Pairs",
                                  [](const std::string& p) { WriteBytes(p, Pairs(302)); }, true},
                    UnitTableCase{"BinaryJunk", [](const std::string& p) { Junk(p, 64 * 1024, 7); },
                                  true},
                    UnitTableCase{"HundredMegabytesOfPairs",
                                  [](const std::string& p) {
                                    std::ofstream out(p, std::ios::binary);
                                    const std::string block = Pairs(10000);
                                    for (size_t n = 0; n < 100'000'000; n += block.size())
                                      out << block;
                                  },
                                  true},
                    UnitTableCase{"HundredMegabytesWithoutASeparator",
                                  [](const std::string& p) {
                                    std::ofstream out(p, std::ios::binary);
                                    const std::string block(1 << 20, 'x');
                                    for (int i = 0; i < 100; ++i) out << block;
                                  },
                                  true}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace rx::test
