// The report as poppler reads it: the grid's Save Report... against rx7731-cli report of the same
// data file, and a data file that changes while a report is made of it.

#include <QApplication>
#include <QFont>
#include <fstream>
#include <sstream>

#include "e2e/child_process.h"
#include "grid_menu_fixture.h"
#include "report/readings_report.h"

namespace rx {
namespace {

using test::GridMenu;

// The PDF's text as pdftotext lays it out, without the line that says when it was made.
std::string LaidOutText(const std::string& pdf, const std::string& log) {
  const std::string text = pdf + ".txt";
  test::ChildProcess pdftotext({RX_PDFTOTEXT, "-layout", pdf, text}, log);
  EXPECT_TRUE(pdftotext.WaitFor(std::chrono::seconds(30)));
  EXPECT_EQ(pdftotext.ExitCode(), 0) << pdf;
  std::ifstream in(text);
  std::string kept, line;
  while (std::getline(in, line)) {
    if (line.find("Report made ") == std::string::npos) kept += line + "\n";
  }
  return kept;
}

// The same document from both, whatever font the desktop gives the window: the report's texts,
// the chart's axes, legend and time labels among them, are in the report's own fonts, so every
// text and its place are the same.
TEST_F(GridMenu, SaveReportMakesTheDocumentThatTheCommandLineMakes) {
  const QFont desktop = QApplication::font();
  QApplication::setFont(QFont(QStringLiteral("DejaVu Serif"), 15));
  Open();
  std::string frames = test::Frame("40231207093015");
  for (int i = 0; i < 90; ++i) {
    if (i == 4) frames += test::Frame("40231207093544");
    frames += test::Frame("410302000123" + std::to_string(10 + i % 80));
  }
  Download(frames);
  Click(1);
  dialogs.answer = dir.File("window.pdf");
  Menu().SaveReport();
  QApplication::setFont(desktop);
  ASSERT_EQ(boxes.shown.size(), 1u) << "only the end of the download";

  const std::string log = dir.File("run.log");
  test::ChildProcess cli(
      {RX_CLI, "report", dir.File("261208.dat"), "--output", dir.File("cli.pdf")}, log);
  ASSERT_TRUE(cli.WaitFor(std::chrono::seconds(60)));
  ASSERT_EQ(cli.ExitCode(), 0) << test::ReadBytes(log);

  const std::string window_text = LaidOutText(dir.File("window.pdf"), log);
  EXPECT_NE(window_text.find("SHA-256 "), std::string::npos) << window_text;
  EXPECT_EQ(window_text, LaidOutText(dir.File("cli.pdf"), log));
}

// A data file's records that the file's writer replaces with `after` once a report has read
// them once.
class RewrittenRecords : public ReportRecords {
 public:
  RewrittenRecords(const std::string& path, std::string after)
      : reader_(path), records_(reader_), path_(path), after_(std::move(after)) {}
  TextEncoding Encoding() override { return records_.Encoding(); }
  void ForEach(const std::function<void(const StoredRecord&)>& each) override {
    records_.ForEach(each);
    if (++passes_ == 1) test::WriteBytes(path_, after_);
  }
  FileDigest Digest() override { return records_.Digest(); }

 private:
  DataFileReader reader_;
  DataFileRecords records_;
  std::string path_, after_;
  int passes_ = 0;
};

// Page 1's size and SHA-256 are those of the records the report shows, or the report says why
// it has none: a file that changes while the report reads it twice gives no report, and one that
// changed since the grid read it gives no digest.
TEST(ReportOfAChangingFile, NeverGivesADigestOfOtherRecords) {
  const std::string before = "1,\"230512073933\",\"Time\",0\r\n2,1013.8,\"hPa       \",1\r\n";
  const std::string fewer = "1,\"230512073933\",\"Time\",0\r\n";
  const std::string other = "1,\"230512073933\",\"Time\",0\r\n2,1013.9,\"hPa       \",1\r\n";
  const struct {
    std::string after;
    std::string problem;  // of the report read twice from the file, after its data file's path
  } cases[] = {
      {before, ""},
      {fewer, ": it lost records while the report was made"},
      {other, ": it changed while the report was made"},
  };
  test::TempDir dir;
  const std::string path = dir.File("in.dat");
  const std::string pdf = dir.File("out.pdf");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.after);
    test::WriteBytes(path, before);
    std::filesystem::remove(pdf);
    RewrittenRecords records(path, c.after);
    const ReportOutcome outcome = WriteReport(records, path, pdf, {});
    EXPECT_EQ(outcome.problem,
              c.problem.empty() ? "" : "Cannot read data file " + path + c.problem);
    EXPECT_EQ(std::filesystem::exists(pdf), c.problem.empty());

    // The grid's records of the file as it was before.
    const DataFileContents shown = ParseWholeDataFile(before, path);
    RecordsInMemory in_memory(shown.records, shown.encoding, path);
    ASSERT_EQ(WriteReport(in_memory, path, pdf, {}).problem, "");
    const std::string text = LaidOutText(pdf, dir.File("run.log"));
    EXPECT_EQ(text.find("SHA-256 not known: the file no longer holds the records shown") !=
                  std::string::npos,
              c.after != before)
        << text;
  }
}

}  // namespace
}  // namespace rx
