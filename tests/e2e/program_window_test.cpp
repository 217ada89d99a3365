// The real RX7731 on a virtual display, used as a person would, against meter-sim on a
// pseudo-terminal linked as Comm. 1 in a program folder of its own.

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <filesystem>
#include <iostream>
#include <regex>
#include <sstream>
#include <thread>

#include "e2e/program_session.h"

namespace rx::test {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

class ProgramWindow : public ProgramSession {};

// The one data file the program wrote: today's yymmdd.dat.
std::string DefaultDataFile(const fs::path& folder) {
  std::string found;
  for (const auto& entry : fs::directory_iterator(folder)) {
    const std::string name = entry.path().filename().string();
    if (std::regex_match(name, std::regex(R"(\d{6}\.dat)"))) found = entry.path().string();
  }
  return found;
}

struct DownloadCase {
  const char* name;
  std::vector<std::string> meter_args;
};

void PrintTo(const DownloadCase& c, std::ostream* os) { *os << c.name; }

class CompleteDownload : public ProgramWindow, public testing::WithParamInterface<DownloadCase> {};

TEST_P(CompleteDownload, StoresExactlyWhatTheMeterSent) {
  ASSERT_NO_FATAL_FAILURE(StartMeter(GetParam().meter_args));
  ASSERT_NO_FATAL_FAILURE(StartProgram());
  Click(kStart);
  Answer(WaitForBox(kTitle), "Return");  // "Data Received O.K!"

  const std::string df = DefaultDataFile(folder_);
  ASSERT_FALSE(df.empty()) << "no yymmdd.dat in the program folder";
  const std::string expected = Expected();
  ASSERT_GT(expected.size(), 1000u);
  EXPECT_EQ(ReadBytes(df), expected);

  // View Data reads the file back; a failure would show a box.
  Click(kViewData);
  EXPECT_TRUE(NoBoxFor(700ms)) << Describe(Boxes());
  // The window as the download left it, for a look (the README's pictures come from these).
  fs::create_directories(RX_E2E_SHOTS);
  Screenshot::Take(display_->Name(), main_,
                   std::string(RX_E2E_SHOTS) + "/view-data-" + GetParam().name + ".png",
                   dir_.Path());
  ExitProgram();
  EXPECT_TRUE(meter_->WaitFor(3s)) << "the meter still waits: the port was not closed";
  EXPECT_FALSE(fs::exists(fs::symlink_status(Comm1Link())));
}

INSTANTIATE_TEST_SUITE_P(
    Meter, CompleteDownload,
    testing::Values(DownloadCase{"Fast", {"--fast", "--records", "400", "--seed", "21"}},
                    DownloadCase{"NoiseInSmallChunks",
                                 {"--fast", "--noise", "--chunk", "1-6", "--pause", "300",
                                  "--records", "300", "--seed", "22"}},
                    DownloadCase{"OneByteChunks",
                                 {"--fast", "--chunk", "1", "--pause", "200", "--records", "120",
                                  "--seed", "25"}},
                    DownloadCase{
                        "LogMemory",
                        {"--fast", "--memory", "log", "--records", "200", "--seed", "26"}}),
    [](const auto& info) { return std::string(info.param.name); });

struct ExistingFileCase {
  const char* name;
  std::string key;  // the answer to "The Data file exist . Do you want to continue ?"
  bool replaced;
};

void PrintTo(const ExistingFileCase& c, std::ostream* os) { *os << c.name; }

class ExistingDataFile : public ProgramWindow,
                         public testing::WithParamInterface<ExistingFileCase> {};

TEST_P(ExistingDataFile, IsReplacedOnlyWhenTheAnswerIsYes) {
  const std::string old_bytes = "0,\"231207093015\",\"Time\",0\r\n1,1.5,\"V         \",1\r\n";
  WriteBytes(InFolder("kept.dat"), old_bytes);
  ASSERT_NO_FATAL_FAILURE(StartMeter({"--fast", "--records", "150", "--seed", "23"}));
  ASSERT_NO_FATAL_FAILURE(StartProgram());
  TypeFileName("kept.dat");
  Click(kStart);
  Answer(WaitForBox(kFileCheckTitle), GetParam().key);

  if (GetParam().replaced) {
    Answer(WaitForBox(kTitle), "Return");
    EXPECT_EQ(ReadBytes(InFolder("kept.dat")), Expected());
  } else {
    EXPECT_TRUE(NoBoxFor(500ms)) << Describe(Boxes());
    EXPECT_EQ(ReadBytes(InFolder("kept.dat")), old_bytes);
    EXPECT_EQ(meter_log().find("the port was opened"), std::string::npos) << meter_log();
    // Nothing changed, so Start asks again.
    Click(kStart);
    Answer(WaitForBox(kFileCheckTitle), "n");
    EXPECT_EQ(ReadBytes(InFolder("kept.dat")), old_bytes);
  }
  ExitProgram();
}

INSTANTIATE_TEST_SUITE_P(Answers, ExistingDataFile,
                         testing::Values(ExistingFileCase{"EnterTakesTheDefaultNo", "Return",
                                                          false},
                                         ExistingFileCase{"Yes", "y", true}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ProgramWindow, ExitHalfWayKeepsEveryRecordReceived) {
  // At line rate 600 records take ten seconds; Exit comes after about forty.
  ASSERT_NO_FATAL_FAILURE(StartMeter({"--records", "600", "--seed", "24"}));
  ASSERT_NO_FATAL_FAILURE(StartProgram());
  TypeFileName("half.dat");
  Click(kStart);
  const std::string df = InFolder("half.dat");
  ASSERT_TRUE(Eventually([&] { return fs::exists(df) && fs::file_size(df) > 40 * 25; }, 10s))
      << meter_log();
  ExitProgram();
  ASSERT_TRUE(meter_->WaitFor(3s)) << meter_log();

  std::smatch m;
  const std::string log = meter_log();
  ASSERT_TRUE(
      std::regex_search(log, m, std::regex(R"(closed the port after \d+ frames, (\d+) records)")))
      << log;
  const int sent = std::stoi(m[1]);
  const std::string got = ReadBytes(df);
  const std::string expected = Expected();
  const auto records = std::count(got.begin(), got.end(), '\n');
  EXPECT_EQ(got, expected.substr(0, got.size())) << "not a prefix of the meter's records";
  EXPECT_TRUE(got.empty() || got.ends_with("\r\n"));
  // Bytes still on their way when the port closed are the only ones that may be missing.
  EXPECT_LE(records, sent);
  EXPECT_GE(records, sent - 2) << "records received before Exit were lost";
  EXPECT_LT(records, 600);
}

// The grid's menu opens on the right button's press, under the pointer, and runs an item only
// when one is picked: holding the button, then letting it go, opens no plot window.
TEST_F(ProgramWindow, ARightPressOnTheGridOpensTheMenuAndOnlyAPickedItemPlots) {
  ASSERT_NO_FATAL_FAILURE(StartMeter({"--fast", "--records", "120", "--seed", "27"}));
  ASSERT_NO_FATAL_FAILURE(StartProgram());
  Click(kStart);
  Answer(WaitForBox(kTitle), "Return");
  Click(kViewData);
  ASSERT_TRUE(NoBoxFor(500ms)) << Describe(Boxes());
  const auto plot_windows = [&] {
    return hand_->Run({"search", "--all", "--onlyvisible", "--pid", std::to_string(program_->Pid()),
                       "--name", "^Readings of "});
  };

  hand_->MoveTo(main_, kGrid.CentreX(), kGrid.CentreY());
  std::this_thread::sleep_for(300ms);
  hand_->Press(3);
  // The menu is a window of the program's class under the pointer, with no WM_NAME of its own.
  const auto menu_windows = [&] {
    std::vector<WindowId> menus = hand_->Run(
        {"search", "--all", "--onlyvisible", "--class", std::string("^") + kTitle + "$"});
    std::erase(menus, main_);
    return menus;
  };
  std::vector<WindowId> menus;
  EXPECT_TRUE(Eventually([&] { return !(menus = menu_windows()).empty(); }, 3s)) << "no menu";
  EXPECT_FALSE(Eventually([&] { return !plot_windows().empty(); }, 1500ms))
      << "a plot window opened while the button was held";
  hand_->Release(3);
  EXPECT_FALSE(Eventually([&] { return !plot_windows().empty(); }, 700ms))
      << "letting go of the button ran an item";
  ASSERT_EQ(menus.size(), 1u);
  ASSERT_EQ(menu_windows(), menus) << "the menu closed on the release";

  // "Plot Readings..." is the menu's first item.
  hand_->ClickAt(menus[0], 40, 10);
  EXPECT_TRUE(Eventually([&] { return plot_windows().size() == 1; }, 5s))
      << "picking Plot Readings... opened no plot window\n"
      << program_->Output();
  // With no window manager the plot window covers Exit; the fixture ends the program.
}

TEST_F(ProgramWindow, APortWithNoDeviceShowsOneErrorAndLeavesStartUsable) {
  const std::string old_bytes = "0,\"231207093015\",\"Time\",0\r\n1,1.5,\"V         \",1\r\n";
  WriteBytes(InFolder("kept.dat"), old_bytes);
  ASSERT_NO_FATAL_FAILURE(StartProgram());
  TypeFileName("kept.dat");
  // Comm. 100: the list starts at Comm. 1, and no device stands for numbers above 96.
  Click(kPortList);
  hand_->Run({"key", "--delay", "2", "--repeat", "99", "Down"});
  Click(kStart);
  Answer(WaitForBox(kFileCheckTitle), "y");
  Answer(WaitForBox(kTitle), "Return");
  EXPECT_TRUE(NoBoxFor(500ms)) << Describe(Boxes());
  // The file agreed to be replaced keeps its records, since no new one came.
  EXPECT_EQ(ReadBytes(InFolder("kept.dat")), old_bytes);

  // Start answers again, and asks first, since the file is still there.
  Click(kStart);
  Answer(WaitForBox(kFileCheckTitle), "y");
  Answer(WaitForBox(kTitle), "Return");
  ExitProgram();
}

TEST_F(ProgramWindow, EachButtonFaceShowsItsOwnColourBesideTheCaption) {
  ASSERT_NO_FATAL_FAILURE(StartProgram());
  std::this_thread::sleep_for(300ms);  // painted
  fs::create_directories(RX_E2E_SHOTS);
  const std::string png = std::string(RX_E2E_SHOTS) + "/main-window.png";
  const Screenshot shot = Screenshot::Take(display_->Name(), main_, png, dir_.Path());
  ASSERT_GT(shot.width, 0) << "no screenshot " << png;

  struct Face {
    const char* caption;
    Place place;
    std::array<int, 3> colour;
  };
  const Face faces[] = {{"Start", kStart, {128, 255, 128}},
                        {"View Data", kViewData, {255, 255, 128}},
                        {"Exit", kExit, {255, 128, 128}}};
  for (const Face& face : faces) {
    const int y = face.place.CentreY();
    // Ink: a column near the middle row that holds a pixel far from the face colour.
    auto ink = [&](int x) {
      for (int dy = -4; dy <= 4; ++dy) {
        if (Distance(shot.At(x, y + dy), face.colour) > 60) return true;
      }
      return false;
    };
    // The caption ends where eight columns without ink follow it.
    auto caption_edge = [&](int step) {
      int x = face.place.CentreX(), clear = 0;
      while (clear < 8) {
        x += step;
        clear = ink(x) ? 0 : clear + 1;
      }
      return x - step * 8;
    };
    for (int step : {-1, 1}) {
      const int beside = caption_edge(step) + 3 * step;
      const std::array<int, 3> pixel = shot.At(beside, y);
      std::cout << face.caption << (step < 0 ? ", left" : ", right") << " of the caption at ("
                << beside << ", " << y << "): " << Rgb(pixel) << "\n";
      EXPECT_LE(Distance(pixel, face.colour), 4)
          << face.caption << ": " << Rgb(pixel) << " instead of " << Rgb(face.colour) << " (see "
          << png << ")";
    }
  }
  ExitProgram();
}

}  // namespace
}  // namespace rx::test
