// The Windows build's rx7731-cli.exe under Wine, in a copy of its program folder and a Wine
// prefix of its own, against the Linux build for the same data file: show and export give the
// same bytes (the .xlsx workbook included), plot draws readable texts, report reads as the Linux
// build's through pdftotext, Ctrl+C stops a download from the meter on COM2 with every whole
// record kept, --timeout ends one that waits for a silent meter on COM1 (meter-sim's links). The
// downloads of whole memories run in wine_cli_download_tests, the Linux scenarios.
#include <gtest/gtest.h>

#include <QImage>
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "e2e/child_process.h"
#include "support/fakes.h"
#include "wine/wine_prefix.h"

namespace rx::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using namespace std::string_literals;

// A unit table in code page 1252, as a Windows editor saves it: ° is the byte B0 (octal 260).
constexpr char kUnitTable[] = "0,\"\260C\"\r\n1,\"V\"\r\n2,\"mA\"\r\n12,\"%RH\"\r\n";
// °C in UTF-8, as show and export write it.
constexpr char kDegreesCelsius[] = "\302\260C";
// The data file again under a name outside ASCII, which reaches the program through Windows'
// wide-character command line and file names.
constexpr char kNamedData[] = "Messwerte \302\260C.dat";

// What the cases share, made once: a copy of the Windows program folder, the Wine prefix with
// COM1 and COM2 on links of a meter-sim each, and the data file of the meters' memory.
class WineRig : public testing::Environment {
 public:
  std::string skip_reason, failure;
  std::unique_ptr<TempDir> dir;
  std::unique_ptr<WinePrefix> wine;
  std::unique_ptr<ChildProcess> meters[2];  // on COM1 and COM2, which do not share a log

  std::string File(const std::string& name) const { return dir->File(name); }
  std::string MeterLog(int port) const {
    return meters[port - 1] ? meters[port - 1]->Output() : "";
  }

  void SetUp() override {
    const fs::path windows_bin = RX_WINDOWS_BIN;
    if (!fs::exists(windows_bin / "rx7731-cli.exe")) {
      skip_reason =
          windows_bin.string() +
          "/rx7731-cli.exe is missing: `make check-windows` builds it with Qt for Windows";
      return;
    }
    dir = std::make_unique<TempDir>();
    fs::copy(windows_bin, File("program"), fs::copy_options::recursive);
    for (const char* folder : {"linux", "windows"}) fs::create_directories(File(folder));
    WriteBytes(File("units.dat"), kUnitTable);
    // The same memory on both; the first writes its data file before it makes its link.
    for (int port : {1, 2}) {
      const std::string link = File("com" + std::to_string(port));
      std::vector<std::string> argv = {RX_METER_SIM, "--link", link, "--units", File("units.dat")};
      argv.insert(argv.end(), {"--records", "300", "--seed", "7", "--repeat", "--quiet"});
      // The meter on COM1 stays silent for ten minutes after each opening.
      if (port == 1) argv.insert(argv.end(), {"--expect", File("memory.dat"), "--delay", "600000"});
      meters[port - 1] = std::make_unique<ChildProcess>(argv, link + "-meter-sim.log");
      if (!Eventually([&] { return fs::exists(link); }, 10s)) {
        failure = "meter-sim made no link:\n" + MeterLog(port);
        return;
      }
    }
    fs::copy_file(File("memory.dat"), File(kNamedData));
    wine = std::make_unique<WinePrefix>(dir->Path() / "wine");
    if (!wine->Ready()) {
      failure = "wineboot --init failed:\n" + ReadBytes(wine->Log("wineboot"));
      return;
    }
    for (int port : {1, 2}) {
      const std::string n = std::to_string(port);
      if (!wine->AddRegistryValue("HKLM\\Software\\Wine\\Ports", "COM" + n, File("com" + n))) {
        failure = "reg add of COM" + n + " failed:\n" + ReadBytes(wine->Log("reg"));
        return;
      }
    }
    wine->RestartServer();
  }

  void TearDown() override {
    wine.reset();
    for (auto& meter : meters) meter.reset();
    dir.reset();
  }
};

WineRig* const rig = static_cast<WineRig*>(testing::AddGlobalTestEnvironment(new WineRig));

struct Outcome {
  int exit_code = -1;
  std::string out;  // stdout
  std::string log;  // stderr, Wine's own messages among the program's
};

class CliUnderWine : public testing::Test {
 protected:
  void SetUp() override {
    if (!rig->skip_reason.empty()) GTEST_SKIP() << rig->skip_reason;
    ASSERT_TRUE(rig->failure.empty()) << rig->failure;
  }

  // Runs `argv` in the folder `where` of the rig, stdout apart from stderr.
  static Outcome RunIn(const std::string& where, const std::vector<std::string>& argv,
                       const std::map<std::string, std::string>& env = {}) {
    static int runs = 0;
    const std::string name = where + "-" + std::to_string(++runs);
    ChildProcess child(argv, rig->File(name + ".log"), env, rig->File(where),
                       rig->File(name + ".out"));
    if (!child.WaitFor(60s)) ADD_FAILURE() << argv[0] << " did not end within 60 s";
    return {child.ExitCode().value_or(-1), ReadBytes(rig->File(name + ".out")), child.Output()};
  }

  static Outcome Linux(std::vector<std::string> args) {
    args.insert(args.begin(), RX_LINUX_CLI);
    return RunIn("linux", args);
  }

  // rx7731-cli.exe from the copied program folder; relative names are in windows/.
  static Outcome Windows(std::vector<std::string> args) {
    args.insert(args.begin(), rig->File("program/rx7731-cli.exe"));
    return RunIn("windows", rig->wine->Command(args), WindowsEnvironment());
  }

  // Wine turns the Linux command line and file names into Windows' by the locale's encoding.
  static std::map<std::string, std::string> WindowsEnvironment() {
    std::map<std::string, std::string> env = rig->wine->Environment();
    env["LC_ALL"] = "C.UTF-8";
    return env;
  }

  static int MeterOpenings(int port) {
    const std::string log = rig->MeterLog(port);
    int count = 0;
    for (size_t at = 0; (at = log.find("the port was opened", at)) != std::string::npos; ++at) {
      ++count;
    }
    return count;
  }
};

// The first byte where two outputs part, for a failure message.
std::string FirstDifference(const std::string& a, const std::string& b) {
  const auto [in_a, in_b] = std::mismatch(a.begin(), a.end(), b.begin(), b.end());
  const size_t at = static_cast<size_t>(in_a - a.begin());
  return "they part at byte " + std::to_string(at) + " of " + std::to_string(a.size()) + "/" +
         std::to_string(b.size()) + ": \"" + a.substr(at, 40) + "\" vs \"" + b.substr(at, 40) +
         "\"";
}

struct SameBytesCase {
  const char* name;
  std::vector<std::string> args;  // after the program, in linux/ or windows/
  const char* output_file;        // what is compared: this file, or stdout when empty
};

void PrintTo(const SameBytesCase& c, std::ostream* os) { *os << c.name; }

class SameBytesAsLinux : public CliUnderWine, public testing::WithParamInterface<SameBytesCase> {};

// Standard output of a Windows program is in text mode unless the program leaves it: every LF
// would gain a CR. The bytes must be the Linux build's, CR LF of the CSV included.
TEST_P(SameBytesAsLinux, ForTheSameDataFile) {
  const SameBytesCase& c = GetParam();
  const Outcome linux = Linux(c.args);
  const Outcome windows = Windows(c.args);
  ASSERT_EQ(linux.exit_code, 0) << linux.log;
  ASSERT_EQ(windows.exit_code, 0) << windows.log;
  const std::string expected =
      *c.output_file ? ReadBytes(rig->File("linux/") + c.output_file) : linux.out;
  const std::string got =
      *c.output_file ? ReadBytes(rig->File("windows/") + c.output_file) : windows.out;
  // A workbook is compressed: its text cannot be seen in its bytes.
  const bool workbook = std::string_view(c.output_file).ends_with(".xlsx");
  ASSERT_TRUE(workbook || expected.find(kDegreesCelsius) != std::string::npos)
      << "the data has no °C";
  ASSERT_FALSE(expected.empty());
  EXPECT_EQ(got.size(), expected.size());
  EXPECT_TRUE(got == expected) << FirstDifference(got, expected);
  if (*c.output_file) {
    EXPECT_EQ(windows.out, "") << "--output leaves stdout empty";
  }
}

INSTANTIATE_TEST_SUITE_P(
    ShowAndExport, SameBytesAsLinux,
    testing::Values(
        SameBytesCase{"Show", {"show", "../"s + kNamedData}, ""},
        SameBytesCase{"CsvToStdout", {"export", "../memory.dat"}, ""},
        SameBytesCase{"CsvToFile",
                      {"export", "../"s + kNamedData, "--output", "Tabelle \302\260C.csv"},
                      "Tabelle \302\260C.csv"},
        SameBytesCase{"JsonLines", {"export", "../memory.dat", "--format", "json"}, ""},
        SameBytesCase{"Workbook",
                      {"export", "../"s + kNamedData, "--format", "xlsx", "--output",
                       "Tabelle \302\260C.xlsx"},
                      "Tabelle \302\260C.xlsx"},
        SameBytesCase{"Semicolons", {"export", "../memory.dat", "--delimiter", ";"}, ""}),
    [](const testing::TestParamInfo<SameBytesCase>& info) { return info.param.name; });

// Options begin with "-" on Windows too: a file named from the root, /x/y.dat (under Wine a
// Linux path), is a file, not an option.
TEST_F(CliUnderWine, AFileNamedFromTheRootIsAFile) {
  const std::vector<std::string> args = {"show", rig->File("memory.dat")};
  const Outcome windows = Windows(args);
  EXPECT_EQ(windows.exit_code, 0) << windows.log;
  EXPECT_TRUE(windows.out == Linux(args).out);
}

// Ω is in none of Windows' Western code pages: only the wide-character API finds a file of that
// name, and with it the check that an output is not the data file itself. The data file is named
// as the command's output may be, so that nothing but that check stands in the way.
TEST_F(CliUnderWine, AnOutputThatIsTheDataFileItselfIsRefusedWhateverItsName) {
  const std::pair<const char*, const char*> cases[] = {{"export", ".csv"}, {"report", ".pdf"}};
  for (const auto& [command, extension] : cases) {
    SCOPED_TRACE(command);
    const std::string name = std::string("Messwerte \316\251") + extension;
    fs::copy_file(rig->File("memory.dat"), rig->File(name), fs::copy_options::overwrite_existing);
    const std::string before = ReadBytes(rig->File(name));
    const Outcome windows = Windows({command, "../" + name, "--output", rig->File(name)});
    EXPECT_NE(windows.exit_code, 0);
    EXPECT_NE(windows.log.find("is the data file"), std::string::npos) << windows.log;
    EXPECT_TRUE(ReadBytes(rig->File(name)) == before) << "the data file was written over";
  }
}

// How much text a region of a chart holds, and where: dark pixels and their bounding box.
struct Ink {
  int pixels = 0;
  int left = 0, right = -1;  // columns of the first and last dark pixel

  int Width() const { return right - left + 1; }
};

Ink InkIn(const QImage& image, int x0, int y0, int x1, int y1) {
  Ink ink{0, x1, -1};
  for (int y = y0; y < std::min(y1, image.height()); ++y) {
    for (int x = x0; x < std::min(x1, image.width()); ++x) {
      // Text is drawn in greys; the legend's coloured line markers are not text.
      const QRgb pixel = image.pixel(x, y);
      const int lowest = std::min({qRed(pixel), qGreen(pixel), qBlue(pixel)});
      const int highest = std::max({qRed(pixel), qGreen(pixel), qBlue(pixel)});
      if (qGray(pixel) >= 128 || highest - lowest > 24) continue;
      ++ink.pixels;
      ink.left = std::min(ink.left, x);
      ink.right = std::max(ink.right, x);
    }
  }
  return ink;
}

// Whether two regions hold text of about the same extent and weight. Liberation Sans under
// Wine and the Linux build's system font differ a little; empty boxes differ a lot.
bool Close(const Ink& a, const Ink& b) {
  return a.pixels > 0 && b.pixels > 0 && std::abs(a.pixels - b.pixels) <= b.pixels / 3 &&
         std::abs(a.Width() - b.Width()) <= b.Width() / 4;
}

std::string Describe(const Ink& ink) {
  return std::to_string(ink.pixels) + " dark pixels over " + std::to_string(ink.Width()) +
         " columns";
}

// Drawing without a display, Qt on Windows finds fonts only in lib/fonts beside the .exe;
// without one every text is an empty box. The title and the legend are compared with the Linux
// build's chart, and with the same program's chart drawn with its fonts taken away, which the
// comparison must tell apart.
TEST_F(CliUnderWine, PlotDrawsReadableTexts) {
  const std::vector<std::string> args = {"plot", "../memory.dat", "--output", "chart.png"};
  ASSERT_EQ(Linux(args).exit_code, 0);
  const Outcome windows = Windows(args);
  ASSERT_EQ(windows.exit_code, 0) << windows.log;
  fs::create_directories(RX_WINE_SHOTS);
  fs::copy_file(rig->File("windows/chart.png"), RX_WINE_SHOTS "/cli-plot.png",
                fs::copy_options::overwrite_existing);
  const fs::path fonts = rig->File("program/lib/fonts");
  fs::rename(fonts, rig->File("program/lib/fonts-away"));
  const Outcome boxes = Windows({"plot", "../memory.dat", "--output", "boxes.png"});
  fs::rename(rig->File("program/lib/fonts-away"), fonts);
  ASSERT_EQ(boxes.exit_code, 0) << boxes.log;

  const QImage linux_chart(QString::fromStdString(rig->File("linux/chart.png")));
  const QImage windows_chart(QString::fromStdString(rig->File("windows/chart.png")));
  const QImage boxes_chart(QString::fromStdString(rig->File("windows/boxes.png")));
  ASSERT_FALSE(windows_chart.isNull());
  ASSERT_EQ(windows_chart.size(), linux_chart.size());
  ASSERT_EQ(boxes_chart.size(), linux_chart.size());
  const int w = linux_chart.width();
  struct Region {
    const char* name;
    int x0, y0, x1, y1;
  };
  for (const Region& r :
       {Region{"title", w / 4, 15, w * 3 / 4, 50}, Region{"legend", w * 5 / 6, 150, w, 500}}) {
    SCOPED_TRACE(r.name);
    const Ink linux = InkIn(linux_chart, r.x0, r.y0, r.x1, r.y1);
    const Ink windows = InkIn(windows_chart, r.x0, r.y0, r.x1, r.y1);
    const Ink without_fonts = InkIn(boxes_chart, r.x0, r.y0, r.x1, r.y1);
    ASSERT_FALSE(Close(without_fonts, linux))
        << "empty boxes pass for text: " << Describe(without_fonts) << " vs " << Describe(linux);
    EXPECT_TRUE(Close(windows, linux))
        << "Windows: " << Describe(windows) << ", Linux: " << Describe(linux)
        << ", boxes: " << Describe(without_fonts);
  }
}

// The text of a report without the line that says when it was made.
std::string WithoutTimeMade(const std::string& text) {
  std::istringstream in(text);
  std::string kept, line;
  while (std::getline(in, line)) {
    if (line.find("Report made ") == std::string::npos) kept += line + "\n";
  }
  return kept;
}

// The report is drawn with the fonts beside the program, as the Linux build draws it with the
// same fonts: poppler reads the same text from both PDFs, °C and every page's footer included.
TEST_F(CliUnderWine, ReportReadsAsTheLinuxBuildsReport) {
  const std::vector<std::string> args = {
      "report", "../" + std::string(kNamedData), "--output", "report.pdf", "--paper", "a4"};
  const Outcome linux = Linux(args);
  ASSERT_EQ(linux.exit_code, 0) << linux.log;
  const Outcome windows = Windows(args);
  ASSERT_EQ(windows.exit_code, 0) << windows.log;
  EXPECT_EQ(windows.out, linux.out);
  const Outcome linux_text = RunIn("linux", {RX_PDFTOTEXT, "report.pdf", "-"});
  const Outcome windows_text = RunIn("windows", {RX_PDFTOTEXT, "report.pdf", "-"});
  ASSERT_EQ(linux_text.exit_code, 0) << linux_text.log;
  ASSERT_EQ(windows_text.exit_code, 0) << windows_text.log;
  ASSERT_NE(linux_text.out.find(kDegreesCelsius), std::string::npos) << "the data has no °C";
  ASSERT_NE(linux_text.out.find("Page 1 of "), std::string::npos);
  const std::string windows_kept = WithoutTimeMade(windows_text.out);
  const std::string linux_kept = WithoutTimeMade(linux_text.out);
  EXPECT_TRUE(windows_kept == linux_kept) << FirstDifference(windows_kept, linux_kept);
}

// The data file a stopped download leaves: closed, with whole records of the memory only.
void ExpectWholeRecords(const std::string& data_file) {
  ASSERT_TRUE(fs::exists(data_file)) << data_file;
  const std::string got = ReadBytes(data_file);
  const std::string memory = ReadBytes(rig->File("memory.dat"));
  EXPECT_TRUE(got.empty() || got.ends_with("\r\n")) << got;
  EXPECT_EQ(memory.substr(0, got.size()), got);
}

// Ctrl+C in the console: the Windows console control handler stops the download as SIGINT
// does on Linux. send_ctrl_c.exe presses it once the data file exists. COM2 has a meter-sim of
// its own, so that this download's opening cannot count as the next case's.
TEST_F(CliUnderWine, CtrlCEndsADownloadWith130) {
  ASSERT_TRUE(fs::exists(RX_SEND_CTRL_C))
      << RX_SEND_CTRL_C << " is missing: `make check-windows` builds it with the Windows programs";
  const Outcome run = RunIn(
      "windows",
      rig->wine->Command({RX_SEND_CTRL_C, "stopped.dat", "..\\program\\rx7731-cli.exe", "download",
                          "--port", "2", "--output", "stopped.dat", "--units", "..\\units.dat"}),
      WindowsEnvironment());
  EXPECT_EQ(run.exit_code, 130) << run.log << "\nmeter-sim:\n" << rig->MeterLog(2);
  EXPECT_NE(run.log.find("Interrupted"), std::string::npos) << run.log;
  ExpectWholeRecords(rig->File("windows/stopped.dat"));
}

// --timeout with a silent line: COM1 is opened (meter-sim says so) and nothing arrives.
TEST_F(CliUnderWine, DownloadOpensCom1AndTimesOut) {
  const int openings = MeterOpenings(1);
  const auto start = std::chrono::steady_clock::now();
  const Outcome run = Windows({"download", "--port", "1", "--timeout", "2", "--output",
                               "silent.dat", "--units", "../units.dat"});
  const auto took = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(run.exit_code, 3) << run.log << "\nmeter-sim:\n" << rig->MeterLog(1);
  EXPECT_GE(took, 2s);
  EXPECT_TRUE(Eventually([&] { return MeterOpenings(1) > openings; }, 5s))
      << "meter-sim did not see COM1 opened:\n"
      << rig->MeterLog(1);
  EXPECT_FALSE(fs::exists(rig->File("windows/silent.dat"))) << "a download that brought nothing";
}

}  // namespace
}  // namespace rx::test
