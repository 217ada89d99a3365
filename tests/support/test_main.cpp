// The main of every test program but the widget tests (tests/window/widget_test_main.cpp).
#include <gtest/gtest.h>

#include "support/every_test_runs.h"

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  rx::test::FailSkippedTestsWhenAsked();
  return RUN_ALL_TESTS();
}
