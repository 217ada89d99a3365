// The Linux build's rx7731-cli (RX_CLI), reading the meter's link as --device.

#include "cli_download/cli_under_test.h"

namespace rx::test {
namespace {

class LinuxCli : public CliUnderTest {
 public:
  std::vector<std::string> Command(const std::vector<std::string>& args) override {
    std::vector<std::string> argv{RX_CLI};
    argv.insert(argv.end(), args.begin(), args.end());
    return argv;
  }
};

}  // namespace

CliUnderTest& TheCliUnderTest() {
  static LinuxCli cli;
  return cli;
}

}  // namespace rx::test
