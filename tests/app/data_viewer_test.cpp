#include "data/data_viewer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "data/data_file.h"
#include "support/fakes.h"

namespace rx {
namespace {

using test::TempDir;
using test::WriteBytes;

constexpr int kWidth = 5895;

std::vector<std::string> Row(const GridTable& grid, int row) {
  std::vector<std::string> cells;
  for (int col = 0; col < grid.Cols(); ++col) cells.push_back(grid.TextMatrix(row, col));
  return cells;
}

struct TimeCase {
  const char* text;
  const char* shown;
};

class TimeDisplayTest : public testing::TestWithParam<TimeCase> {};

TEST_P(TimeDisplayTest, KeepsTheBlankAndBothColonsWhateverTheLength) {
  EXPECT_EQ(TimeDisplay(GetParam().text), GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(Texts, TimeDisplayTest,
                         testing::Values(TimeCase{"231207093015", "231207 09:30:15"},
                                         TimeCase{"23120709", "231207 09::"},
                                         TimeCase{"23120709301599", "231207 09:30:15"},
                                         TimeCase{"2312070", "231207 0::"},
                                         TimeCase{"2312", "2312 ::"}, TimeCase{"", " ::"},
                                         TimeCase{"2312070930153215", "231207 09:30:15"}));

struct QuotientCase {
  int numerator, denominator, rounded;
};

class RoundedQuotientTest : public testing::TestWithParam<QuotientCase> {};

TEST_P(RoundedQuotientTest, RoundsToNearestWithTiesToEven) {
  EXPECT_EQ(RoundedQuotient(GetParam().numerator, GetParam().denominator), GetParam().rounded);
}

INSTANTIATE_TEST_SUITE_P(Quotients, RoundedQuotientTest,
                         testing::Values(QuotientCase{5895, 5, 1179}, QuotientCase{5895, 3, 1965},
                                         QuotientCase{5897, 5, 1179}, QuotientCase{5898, 5, 1180},
                                         QuotientCase{5897, 3, 1966}, QuotientCase{5, 2, 2},
                                         QuotientCase{7, 2, 4}, QuotientCase{-5, 2, -2},
                                         QuotientCase{-7, 2, -4}, QuotientCase{-7, 3, -2},
                                         QuotientCase{0, 5, 0}));

class Viewer : public testing::Test {
 protected:
  void File(const std::string& bytes) { WriteBytes(df, bytes); }

  TempDir dir;
  std::string df = dir.File("261208.dat");
  GridTable grid{kWidth, 2, 4};
};

TEST_F(Viewer, ShowsEveryRecordKindUnderTheHeaderRow) {
  File(
      "0,\"231207093015\",\"Time\",0\r\n"
      "1,123.45,\"V         \",1\r\n"
      "2,999999,\"V         \",1\r\n"
      "3,-1.234,7,0\r\n"
      "4,12,\"Time      \",-3\r\n"
      "5,\"23120709\",\"Time\",0\r\n"
      "6,\"23120709301599\",\"Time\",0\r\n"
      "7,5,\"time\",2\r\n");
  ViewData(grid, df, 8);
  ASSERT_EQ(grid.Rows(), 9);
  ASSERT_EQ(grid.Cols(), 4);
  const std::vector<std::vector<std::string>> expected = {
      {"No.", "Channel", "Value", "Unit"},
      {"1", "0", "231207 09:30:15", "Time"},
      {"2", "1", "123.45", "V         "},
      {"3", "1", "999999", "V         "},
      {"4", "0", "-1.234", "7"},
      {"5", "-3", "12", "Time      "},  // a unit name "Time" from the table is padded
      {"6", "0", "231207 09::", "Time"},
      {"7", "0", "231207 09:30:15", "Time"},
      {"8", "2", "5", "time"},  // the test for "Time" is case-sensitive
  };
  for (int row = 0; row < grid.Rows(); ++row) EXPECT_EQ(Row(grid, row), expected[row]) << row;
}

TEST_F(Viewer, NumbersRowsFromOneWhateverTheFileSays) {
  File("41,1,\"V         \",1\r\n7,2,\"V         \",1\r\n");
  ViewData(grid, df, 2);
  EXPECT_EQ(grid.TextMatrix(1, 0), "1");
  EXPECT_EQ(grid.TextMatrix(2, 0), "2");
}

TEST_F(Viewer, SetsWidthsHeightsAndAlignment) {
  grid.SetColWidth(0, 700);
  grid.SetColWidth(3, 1100);
  File("0,1,\"V         \",1\r\n1,2,\"V         \",1\r\n2,3,\"V         \",1\r\n");
  ViewData(grid, df, 3);
  EXPECT_EQ(grid.Rows(), 4);
  EXPECT_EQ(grid.Cols(), 4);
  EXPECT_EQ(grid.ColWidth(0), 700);
  EXPECT_EQ(grid.ColWidth(1), 1179);
  EXPECT_EQ(grid.ColWidth(2), 1965);
  EXPECT_EQ(grid.ColWidth(3), 1100);
  EXPECT_EQ(grid.RowHeight(0), GridTable::kDefaultRowHeight);
  for (int row = 1; row <= 3; ++row) EXPECT_EQ(grid.RowHeight(row), 360) << row;
  for (int col = 0; col < 4; ++col) EXPECT_EQ(grid.ColAlignment(col), 4) << col;
}

TEST_F(Viewer, ReadsOnlyDatanoRecordsAndDropsRowsOfALongerPicture) {
  File("0,1,\"V         \",1\r\n1,2,\"V         \",1\r\n2,3,\"V         \",1\r\n");
  ViewData(grid, df, 3);
  ViewData(grid, df, 1);
  EXPECT_EQ(grid.Rows(), 2);
  EXPECT_EQ(Row(grid, 1), (std::vector<std::string>{"1", "1", "1", "V         "}));
}

// Also where a download that stored nothing left no file.
TEST_F(Viewer, WithNoRecordsShowsTheHeaderRowOnly) {
  File("0,1,\"V         \",1\r\n");
  for (const bool file : {true, false}) {
    if (!file) std::filesystem::remove(df);
    ViewData(grid, df, 0);
    EXPECT_EQ(grid.Rows(), 1);
    EXPECT_EQ(Row(grid, 0), (std::vector<std::string>{"No.", "Channel", "Value", "Unit"}));
  }
}

TEST_F(Viewer, AFailedReadLeavesTheGridAsItWas) {
  File("0,1,\"V         \",1\r\n1,2,\"V         \",1\r\n");
  ViewData(grid, df, 2);
  const std::vector<std::string> before = Row(grid, 2);

  File("0,9,\"A         \",1\r\n");  // fewer records than asked for
  EXPECT_THROW(ViewData(grid, df, 2), DataFileError);
  std::filesystem::remove(df);
  EXPECT_THROW(ViewData(grid, df, 2), DataFileError);
  EXPECT_EQ(grid.Rows(), 3);
  EXPECT_EQ(Row(grid, 2), before);
}

TEST(GridTableTest, ClearEmptiesCellsButKeepsShapeAndSizes) {
  GridTable grid(kWidth, 3, 4);
  grid.SetTextMatrix(2, 3, "x");
  grid.SetTextMatrix(0, 0, "No.");
  grid.SetRowHeight(2, 360);
  grid.Clear();
  EXPECT_EQ(grid.Rows(), 3);
  EXPECT_EQ(grid.Cols(), 4);
  EXPECT_EQ(grid.TextMatrix(2, 3), "");
  EXPECT_EQ(grid.TextMatrix(0, 0), "");
  EXPECT_EQ(grid.RowHeight(2), 360);
}

TEST(GridTableTest, ResizingKeepsTheCellsThatStayAndRejectsCellsOutside) {
  GridTable grid(kWidth, 2, 4);
  grid.SetTextMatrix(1, 1, "kept");
  grid.SetRows(5);
  grid.SetCols(2);
  EXPECT_EQ(grid.TextMatrix(1, 1), "kept");
  EXPECT_EQ(grid.TextMatrix(4, 1), "");
  EXPECT_THROW(grid.TextMatrix(5, 0), std::out_of_range);
  EXPECT_THROW(grid.SetTextMatrix(0, 2, "x"), std::out_of_range);
  EXPECT_THROW(grid.SetRows(0), std::out_of_range);
  EXPECT_THROW(grid.SetColAlignment(0, 10), std::out_of_range);
}

}  // namespace
}  // namespace rx
