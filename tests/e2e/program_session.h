#pragma once

// The real RX7731 in a program folder of its own, on a virtual display, with meter-sim on a
// pseudo-terminal linked as Comm. 1. Test fixtures derive from it and use the program as a
// person would: clicks, keys, and the boxes it shows. Which program it is, the Linux build's or
// the Windows build's under Wine, TheProgramUnderTest() says; RX_UNIT_TABLE and RX_METER_SIM
// name the simulator's files.

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <memory>
#include <regex>
#include <string>
#include <utility>
#include <vector>

#include "e2e/child_process.h"
#include "e2e/program_under_test.h"
#include "e2e/virtual_desktop.h"
#include "support/fakes.h"

namespace rx::test {

class ProgramSession : public testing::Test {
 protected:
  static constexpr const char* kTitle = "RX7731";
  static constexpr const char* kFileCheckTitle = "Data File Check";
  using Box = std::pair<std::string, WindowId>;

  void SetUp() override {
    if (!VirtualDisplay::Available()) {
      GTEST_SKIP() << "Xvfb or xdotool is not installed; `make deps` installs them";
    }
    if (const std::string why = under_.SkipReason(); !why.empty()) GTEST_SKIP() << why;
    const std::string problem = under_.Problem(dir_.Path());
    ASSERT_TRUE(problem.empty()) << problem;
    display_ = under_.SharedDisplay();
    if (display_ == nullptr) {
      own_display_ = std::make_unique<VirtualDisplay>(dir_.File("xvfb.log"));
      display_ = own_display_.get();
    }
    hand_ = std::make_unique<Hand>(display_->Name(), dir_.File("xdotool.log"));
    std::filesystem::create_directories(folder_);
    under_.Install(folder_);
  }

  std::string InFolder(const std::string& name) const { return (folder_ / name).string(); }
  std::string Expected() const { return ReadBytes(InFolder("expected.dat")); }

  void StartMeter(std::vector<std::string> args) {
    using namespace std::chrono_literals;
    args.insert(args.begin(),
                {RX_METER_SIM, "--link", Comm1Link(), "--units", InFolder("unit2.dat"), "--expect",
                 InFolder("expected.dat"), "--quiet"});
    meter_ = std::make_unique<ChildProcess>(args, dir_.File("meter-sim.log"));
    ASSERT_TRUE(Eventually([&] { return std::filesystem::exists(Comm1Link()); }, 5s))
        << meter_->Output();
  }

  // Where meter-sim's link for Comm. 1 is.
  std::string Comm1Link() { return under_.Comm1Link(folder_); }

  // The environment the program runs in on the virtual display.
  std::map<std::string, std::string> ProgramEnvironment() const {
    // Qt wants a runtime folder that only its user may enter.
    const std::filesystem::path runtime = dir_.Path() / "runtime";
    std::filesystem::create_directories(runtime);
    std::filesystem::permissions(runtime, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::replace);
    return {{"DISPLAY", display_->Name()},
            {"QT_QPA_PLATFORM", "xcb"},
            {"XDG_RUNTIME_DIR", runtime.string()}};
  }

  // Starts the program; returns when its main window or a box shows.
  void LaunchProgram() {
    using namespace std::chrono_literals;
    program_ = under_.Start(folder_, ProgramEnvironment(), dir_.File("program.log"));
    // Under Wine the first program of a prefix also starts Wine's services.
    ASSERT_TRUE(Eventually([&] { return !Visible().empty() || !program_->Running(); }, 60s))
        << "no window\n"
        << program_->Output();
    ASSERT_TRUE(program_->Running()) << program_->Output();
  }

  // Starts the program and expects its main window first, with no box.
  void StartProgram() {
    using namespace std::chrono_literals;
    ASSERT_NO_FATAL_FAILURE(LaunchProgram());
    // Wine can map a new window at a first, small size and only then give it its own.
    Eventually([&] { return FindMainWindow(); }, 15s);
    ASSERT_TRUE(FindMainWindow()) << "the first window is not the main window: "
                                  << Describe(Boxes());
  }

  // The main window is the one titled RX7731 that is taller than any message box.
  bool FindMainWindow() {
    for (const WindowId& w : hand_->Windows(program_->Pid(), kTitle)) {
      if (hand_->Height(w) > 400) main_ = w;
    }
    return !main_.empty();
  }

  std::vector<WindowId> Visible() const {
    std::vector<WindowId> all = hand_->Windows(program_->Pid(), kTitle);
    for (const WindowId& w : hand_->Windows(program_->Pid(), kFileCheckTitle)) all.push_back(w);
    return all;
  }

  // The boxes the program shows now: OK boxes titled RX7731 and the file question.
  std::vector<Box> Boxes() const {
    std::vector<Box> boxes;
    for (const WindowId& w : hand_->Windows(program_->Pid(), kTitle)) {
      if (w != main_ && hand_->Height(w) <= 400) boxes.emplace_back(kTitle, w);
    }
    for (const WindowId& w : hand_->Windows(program_->Pid(), kFileCheckTitle)) {
      boxes.emplace_back(kFileCheckTitle, w);
    }
    return boxes;
  }

  // Waits for exactly one box, which must carry `title`.
  WindowId WaitForBox(const std::string& title,
                      std::chrono::milliseconds timeout = std::chrono::seconds(15)) {
    std::vector<Box> boxes;
    Eventually([&] { return !(boxes = Boxes()).empty() || !program_->Running(); }, timeout);
    if (boxes.size() != 1 || boxes[0].first != title) {
      ADD_FAILURE() << "expected one box \"" << title << "\", have " << Describe(boxes)
                    << "\nmeter-sim:\n"
                    << meter_log() << "\nprogram:\n"
                    << program_->Output();
      return {};
    }
    return boxes[0].second;
  }

  // Closes `box` with `key`; another box may follow it.
  void Answer(const WindowId& box, const std::string& key) {
    using namespace std::chrono_literals;
    if (box.empty()) return;
    const auto closed = [&] {
      for (const auto& [title, id] : Boxes()) {
        if (id == box) return false;
      }
      return true;
    };
    // Where a window takes the first key for its activation, a click into its corner comes
    // first, and the key again while the box stays.
    const int attempts = under_.ActivatesOnFirstKey() ? 3 : 1;
    bool gone = false;
    for (int attempt = 0; attempt < attempts && !gone; ++attempt) {
      if (under_.ActivatesOnFirstKey()) hand_->ClickAt(box, 4, 4);
      hand_->Keys(box, {key});
      gone = Eventually(closed, 3s);
    }
    EXPECT_TRUE(gone) << "the box did not close on " << key;
  }

  // The text of `box` where the program gives it, or "".
  std::string BoxText(const WindowId& box) { return under_.BoxText(display_->Name(), box); }

  bool NoBoxFor(std::chrono::milliseconds quiet) {
    return !Eventually([&] { return !Boxes().empty(); }, quiet);
  }

  void Click(const Place& place) { hand_->Click(main_, place); }

  void TypeFileName(const std::string& name) {
    Click(kFileName);
    hand_->Keys(main_, {"ctrl+a", "BackSpace"});
    hand_->Type(main_, name);
  }

  void ExitProgram() {
    using namespace std::chrono_literals;
    Click(kExit);
    ASSERT_TRUE(program_->WaitFor(10s)) << "Exit did not end the program";
    EXPECT_EQ(program_->ExitCode(), 0) << program_->Output();
  }

  std::string meter_log() const { return meter_ ? meter_->Output() : ""; }

  static std::string Describe(const std::vector<Box>& boxes) {
    std::string text = std::to_string(boxes.size()) + " box(es):";
    for (const auto& [title, id] : boxes) text += " \"" + title + "\"";
    return text;
  }

  ProgramUnderTest& under_ = TheProgramUnderTest();
  TempDir dir_;
  std::filesystem::path folder_ = dir_.Path() / "program";
  std::unique_ptr<VirtualDisplay> own_display_;
  VirtualDisplay* display_ = nullptr;
  std::unique_ptr<Hand> hand_;
  std::unique_ptr<ChildProcess> meter_;
  std::unique_ptr<ChildProcess> program_;
  WindowId main_;
};

}  // namespace rx::test
