#pragma once

// Under `make test` (RX_EVERY_TEST_RUNS=1) a test that skips fails: the machine it runs on has
// every package the tests need, so a skip there means a check that silently did not happen. Run
// by hand on a machine without some of them, a test still skips and says why.

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

namespace rx::test {

class SkipIsFailure : public testing::EmptyTestEventListener {
  // Called before the default printer's OnTestEnd (ends run in reverse order), so the test is
  // reported as failed, with the reason it gave for skipping above.
  void OnTestEnd(const testing::TestInfo& test) override {
    if (test.result()->Skipped()) {
      ADD_FAILURE() << "This test skipped, and under `make test` (RX_EVERY_TEST_RUNS=1) every "
                       "test must run; its reason is above.";
    }
  }
};

// Call after testing::InitGoogleTest.
inline void FailSkippedTestsWhenAsked() {
  const char* flag = std::getenv("RX_EVERY_TEST_RUNS");
  if (flag != nullptr && std::strcmp(flag, "1") == 0) {
    testing::UnitTest::GetInstance()->listeners().Append(new SkipIsFailure);
  }
}

}  // namespace rx::test
