// The Linux build's RX7731, from a program folder of its own: RX_PROGRAM copied there with
// unit2.dat and the ports/ folder whose links it numbers as Comm. n.

#include <filesystem>

#include "e2e/program_under_test.h"

namespace rx::test {
namespace {

class LinuxProgram : public ProgramUnderTest {
 public:
  void Install(const std::filesystem::path& folder) override {
    std::filesystem::create_directories(folder / "ports");
    // A copy, not a link: the program finds unit2.dat and ports/ beside its real file.
    std::filesystem::copy_file(RX_PROGRAM, folder / "RX7731");
    std::filesystem::copy_file(RX_UNIT_TABLE, folder / "unit2.dat");
  }

  std::string Comm1Link(const std::filesystem::path& folder) override {
    return (folder / "ports" / "com1").string();
  }

  std::unique_ptr<ChildProcess> Start(const std::filesystem::path& folder,
                                      const std::map<std::string, std::string>& env,
                                      const std::string& log) override {
    return std::make_unique<ChildProcess>(std::vector<std::string>{(folder / "RX7731").string()},
                                          log, env, folder.string());
  }
};

}  // namespace

ProgramUnderTest& TheProgramUnderTest() {
  static LinuxProgram program;
  return program;
}

}  // namespace rx::test
