// rx7731-cli plot run as a user runs it: what it writes, what it says and its exit code.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "e2e/child_process.h"

namespace rx {
namespace {

namespace fs = std::filesystem;

TEST(PlotCommandTest, WritesTheImageOrSaysWhatFailed) {
  const fs::path dir = fs::temp_directory_path() / ("rx_plot_test_" + std::to_string(getpid()));
  fs::create_directories(dir);
  const std::string data = (dir / "readings.dat").string();
  std::ofstream(data, std::ios::binary) << "0,\"231207093015\",\"Time\",0\r\n"
                                           "1,1.5,\"V         \",1\r\n"
                                           "2,999999,\"V         \",1\r\n"
                                           "3,2.5,\"V         \",1\r\n"
                                           "4,-3,7,2\r\n";
  // Values of both signs near the largest double, whose span is none: the axes stay drawable.
  const std::string huge = (dir / "huge.dat").string();
  std::ofstream(huge, std::ios::binary) << "0,1.7976931348623157E+308,\"V         \",1\r\n"
                                           "1,-1.7976931348623157E+308,\"V         \",1\r\n";
  const std::string not_data = (dir / "notes.dat").string();
  std::ofstream(not_data, std::ios::binary) << "1,1.5,\"V         \",1\r\nhello\r\n";

  struct Case {
    std::vector<std::string> args;
    int exit_code;
    std::string output;   // a piece of what the command prints
    std::string written;  // the file it must write
  };
  const std::string svg = (dir / "chart.svg").string(), png = (dir / "chart.png").string();
  const Case cases[] = {
      {{"plot", data, "--output", svg},
       0,
       "3 readings with a value in 2 series, from 5 records (4 readings, 1 time record)",
       svg},
      {{"plot", data, "-o", png, "--channel", "2", "--size", "640x480"},
       0,
       "1 reading with a value in 1 series, from 5 records",
       png},
      {{"plot", huge, "-o", png},
       0,
       "2 readings with a value in 1 series, from 2 records (2 readings, 0 time records)",
       png},
      {{"plot", data, "-o", svg, "--channel", "5", "--channel", "6"},
       1,
       "holds no readings with a value on channels 5, 6",
       ""},
      {{"plot", not_data, "-o", svg}, 1, "line 2", ""},
      {{"plot", (dir / "missing.dat").string(), "-o", svg}, 1, "No such file or directory", ""},
      {{"plot", data, "-o", (dir / "no/chart.png").string()},
       1,
       "Cannot write chart file " + (dir / "no/chart.png").string() + ": ",
       ""},
      {{"plot", data, "-o", (dir / "chart.jpg").string()}, 2, "must end in .svg or .png", ""},
      {{"plot", data, "-o", svg, "--size", "1200"}, 2, "WIDTHxHEIGHT", ""},
      {{"plot", data, "-o", svg, "--size", "20x20"}, 2, "WIDTHxHEIGHT", ""},
      {{"plot", data}, 2, "--output is required", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.args));
    if (!c.written.empty()) fs::remove(c.written);
    std::vector<std::string> argv = {RX_CLI};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    // As from cron: no display and no XDG_RUNTIME_DIR.
    const std::string out = (dir / "out.txt").string();
    test::ChildProcess cli(argv, (dir / "err.txt").string(),
                           {{"QT_QPA_PLATFORM", ""}, {"DISPLAY", ""}, {"XDG_RUNTIME_DIR", ""}}, {},
                           out);
    ASSERT_TRUE(cli.WaitFor(std::chrono::seconds(20)));
    EXPECT_EQ(cli.ExitCode(), c.exit_code);
    std::ifstream out_file(out, std::ios::binary);
    const std::string printed((std::istreambuf_iterator<char>(out_file)),
                              std::istreambuf_iterator<char>());
    EXPECT_NE((printed + cli.Output()).find(c.output), std::string::npos)
        << printed << cli.Output();
    if (!c.written.empty()) {
      EXPECT_GT(fs::file_size(c.written), 1000u);
      EXPECT_EQ(cli.Output(), "") << "only the command's own messages belong on stderr";
    }
  }
  fs::remove_all(dir);
}

}  // namespace
}  // namespace rx
