#pragma once

// The program a window scenario drives, as a person has it: the Linux RX7731 (linux_program.cpp)
// or the Windows build's RX7731.exe under Wine (tests/wine/wine_program.cpp). Each test program
// links one of them; the scenarios are the same code for both.

#include <filesystem>
#include <map>
#include <memory>
#include <string>

#include "e2e/child_process.h"
#include "e2e/virtual_desktop.h"

namespace rx::test {

class ProgramUnderTest {
 public:
  virtual ~ProgramUnderTest() = default;

  // Why the program is not there to test (a build without it), or empty: the test skips.
  virtual std::string SkipReason() { return {}; }

  // Why the program cannot be run although it is there, or empty: the test fails with it.
  // `scratch` is the test's own folder.
  virtual std::string Problem(const std::filesystem::path& /*scratch*/) { return {}; }

  // The display to run on when the program needs one kept from test to test (Wine's desktop
  // process stays on the display it started with); null for a new display for each test.
  virtual VirtualDisplay* SharedDisplay() { return nullptr; }

  // Lays out the program folder as it ships: the program, unit2.dat beside it.
  virtual void Install(const std::filesystem::path& folder) = 0;

  // The path meter-sim's link takes for the program in `folder` to find the meter on Comm. 1.
  virtual std::string Comm1Link(const std::filesystem::path& folder) = 0;

  // Starts the program in `folder` with `env` (DISPLAY among it), its output to `log`; the
  // process is the program's own, so that a signal to it reaches the program.
  virtual std::unique_ptr<ChildProcess> Start(const std::filesystem::path& folder,
                                              const std::map<std::string, std::string>& env,
                                              const std::string& log) = 0;

  // Whether a window that has just come up takes a first key for its activation, so that a
  // click into it comes before keys, and keys are pressed again while they have had no effect.
  virtual bool ActivatesOnFirstKey() const { return false; }

  // A message box's text where the program can give it (Windows copies it on Ctrl+C), or "".
  virtual std::string BoxText(const std::string& /*display*/, const std::string& /*box*/) {
    return {};
  }
};

// The program this test program drives.
ProgramUnderTest& TheProgramUnderTest();

}  // namespace rx::test
