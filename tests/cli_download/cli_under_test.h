#pragma once

// The rx7731-cli a download scenario runs: the Linux build's (linux_cli.cpp) or the Windows
// build's rx7731-cli.exe under Wine (tests/wine/wine_cli.cpp). Each test program links one of
// them; the scenarios are the same code for both.

#include <map>
#include <string>
#include <vector>

namespace rx::test {

class CliUnderTest {
 public:
  virtual ~CliUnderTest() = default;

  // Why the program is not there to test, or empty: the test skips.
  virtual std::string SkipReason() { return {}; }
  // Why it cannot be run although it is there, or empty: the test fails with it.
  virtual std::string Problem() { return {}; }

  // Where meter-sim's link goes for a test whose own choice is `link`.
  virtual std::string Link(const std::string& link) { return link; }
  // The options that make the program read the meter on `link`.
  virtual std::vector<std::string> PortOptions(const std::string& link) {
    return {"--device", link};
  }
  // The command line that runs the program with `args`, and what it adds to the environment.
  virtual std::vector<std::string> Command(const std::vector<std::string>& args) = 0;
  virtual std::map<std::string, std::string> Environment() { return {}; }
};

// The rx7731-cli this test program runs.
CliUnderTest& TheCliUnderTest();

}  // namespace rx::test
