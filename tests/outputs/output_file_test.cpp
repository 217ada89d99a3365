// Every output replaces a file the same way, run here against each kind: CSV and JSON Lines
// exports, the workbook, the chart image, the report and the data file.
#include <gtest/gtest.h>

#include <QGraphicsScene>
#include <filesystem>
#include <functional>
#include <set>

#include "chart/chart_image.h"
#include "chart/readings_chart.h"
#include "data/data_file.h"
#include "data/file_replacement.h"
#include "export/csv_export.h"
#include "export/export_file.h"
#include "export/json_lines_export.h"
#include "export/xlsx_export.h"
#include "report/readings_report.h"
#include "support/fakes.h"
#include "support/file_size_limit.h"

namespace rx {
namespace {

namespace fs = std::filesystem;
using test::ReadBytes;
using test::WriteBytes;

const std::vector<StoredRecord> kRecords = {{"231207093015", "Time", 0},
                                            {"1.5", "V         ", 1},
                                            {"2.5", "V         ", 1},
                                            {"3", "V         ", 1},
                                            {"20", "A         ", 2}};

std::vector<Reading> Readings() { return ToReadings(kRecords, TextEncoding::kCp1252); }

struct Output {
  const char* name;
  const char* extension;
  // Writes the records to `path`; what failed, or an empty text.
  std::function<std::string(const std::string& path)> write;
};

void PrintTo(const Output& output, std::ostream* os) { *os << output.name; }

const Output kOutputs[] = {
    {"Csv", ".csv",
     [](const std::string& path) {
       return WriteExportFile(path, [](std::ostream& out) { WriteCsv(out, Readings()); });
     }},
    {"JsonLines", ".jsonl",
     [](const std::string& path) {
       return WriteExportFile(path, [](std::ostream& out) { WriteJsonLines(out, Readings()); });
     }},
    {"Workbook", ".xlsx", [](const std::string& path) { return WriteXlsxFile(path, Readings()); }},
    {"ChartImage", ".png",
     [](const std::string& path) {
       QGraphicsScene scene;
       auto* chart = new ReadingsChart(BuildChartData(Readings()));
       SetChartSize(scene, *chart, kDefaultChartSize);
       try {
         SaveChartImage(*chart, QString::fromStdString(path));
       } catch (const ChartImageError& e) {
         return std::string(e.what());
       }
       return std::string();
     }},
    {"Report", ".pdf",
     [](const std::string& path) {
       RecordsInMemory records(kRecords, TextEncoding::kCp1252, "readings.dat");
       return WriteReport(records, "readings.dat", path, {}).problem;
     }},
    {"DataFile", ".dat",
     [](const std::string& path) {
       try {
         DataFileWriter writer;
         writer.OpenDataFile(path);
         for (int32_t i = 0; i < 20; ++i) {
           writer.AppendRecord(i, 1.5, std::string_view("V         "), int16_t{1});
         }
         writer.CloseDataFile();
       } catch (const DataFileError& e) {
         return std::string(e.what());
       }
       return std::string();
     }},
};

struct Case {
  const char* name;
  bool old_file;  // a file is there to replace, with `perms`
  fs::perms perms;
  bool through_link;    // the output is named by a link to that file
  bool other_writer;    // another replacement of the same file is under way meanwhile
  rlim_t disk_full_at;  // 0: room enough
  const char* refusal;  // the reason given, or none when the file is replaced
};

constexpr fs::perms kReadWrite = static_cast<fs::perms>(0644);
const Case kCases[] = {
    {"NoFileYet", false, kReadWrite, false, false, 0, nullptr},
    {"PlainFile", true, kReadWrite, false, false, 0, nullptr},
    {"ThroughALink", true, kReadWrite, true, false, 0, nullptr},
    {"OwnerOnlyPermissions", true, static_cast<fs::perms>(0600), false, false, 0, nullptr},
    {"GroupPermissionsThroughALink", true, static_cast<fs::perms>(0660), true, false, 0, nullptr},
    {"ReadOnly", true, static_cast<fs::perms>(0444), false, false, 0, "Permission denied"},
    {"ReadOnlyThroughALink", true, static_cast<fs::perms>(0444), true, false, 0,
     "Permission denied"},
    {"AnotherWriterAtOnce", true, kReadWrite, false, true, 0, nullptr},
    {"DiskFullPartWay", true, kReadWrite, false, false, 64, "File too large"},
};

class OutputFile : public testing::TestWithParam<Output> {};

TEST_P(OutputFile, ReplacesAFileOnlyWhenWholeAndKeepsItsLinkAndPermissions) {
  const Output& output = GetParam();
  const std::string old_bytes = "old contents\r\n";
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    test::TempDir dir;
    const std::string real = dir.File(std::string("real") + output.extension);
    const std::string link = dir.File(std::string("link") + output.extension);
    const std::string path = c.through_link ? link : real;
    if (c.old_file) {
      WriteBytes(real, old_bytes);
      fs::permissions(real, c.perms);
    }
    if (c.through_link) fs::create_symlink(real, link);
    std::set<std::string> before = test::FileNames(dir.Path());
    FileReplacement other(real);
    if (c.other_writer) {
      ASSERT_FALSE(other.Create());
      std::fputs("the other writer's\r\n", other.File());
    }

    std::string problem;
    {
      test::FileSizeLimit full(c.disk_full_at);
      problem = output.write(path);
    }

    if (c.refusal) {
      EXPECT_NE(problem.find(path), std::string::npos) << problem;
      EXPECT_NE(problem.find(c.refusal), std::string::npos) << problem;
      EXPECT_EQ(ReadBytes(real), old_bytes);
    } else {
      EXPECT_EQ(problem, "");
      const std::string bytes = ReadBytes(real);
      EXPECT_TRUE(bytes != old_bytes && bytes.size() > 20) << bytes.size();
      before.insert(fs::path(real).filename().string());
    }
    if (c.old_file) {
      EXPECT_EQ(fs::status(real).permissions(), c.perms);
    }
    if (c.through_link) {
      EXPECT_TRUE(fs::is_symlink(link));
    }
    if (c.other_writer) {
      // Its own new file is untouched, and it can still take the name.
      before.insert(fs::path(other.FilePath()).filename().string());
      EXPECT_EQ(test::FileNames(dir.Path()), before);
      ASSERT_FALSE(other.CloseFile());
      ASSERT_FALSE(other.Commit());
      EXPECT_EQ(ReadBytes(real), "the other writer's\r\n");
    } else {
      EXPECT_EQ(test::FileNames(dir.Path()), before) << "a new file was left beside the old one";
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Outputs, OutputFile, testing::ValuesIn(kOutputs),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace rx
