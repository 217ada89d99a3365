#include "download/line_settings.h"

#include <gtest/gtest.h>

#include "download/serial_control.h"

namespace rx {
namespace {

using Stop = LineSettings::StopBits;

TEST(LineSettings, ReadsBaudParityDataBitsAndStopBits) {
  struct Case {
    const char* text;
    LineSettings expected;
  };
  const Case cases[] = {
      {"9600,N,8,1", {9600, 'N', 8, Stop::kOne}},
      {"1200,e,7,2", {1200, 'E', 7, Stop::kTwo}},
      {"19200,O,5,1.5", {19200, 'O', 5, Stop::kOneAndHalf}},
      {"300,M,6,1", {300, 'M', 6, Stop::kOne}},
      {"110,s,8,2", {110, 'S', 8, Stop::kTwo}},
  };
  for (const Case& c : cases) EXPECT_EQ(ParseSettings(c.text), c.expected) << c.text;
}

TEST(LineSettings, InvalidTextIsAnErrorThatNamesTextAndField) {
  struct Case {
    const char* text;
    const char* why;
  };
  const Case cases[] = {
      {"", "expected baud,parity,data bits,stop bits"},
      {"9600,N,8", "expected baud,parity,data bits,stop bits"},
      {"9600,N,8,1,1", "expected baud,parity,data bits,stop bits"},
      {"fast,N,8,1", "the baud rate must be a whole number above 0"},
      {"0,N,8,1", "the baud rate must be a whole number above 0"},
      {" 9600,N,8,1", "the baud rate must be a whole number above 0"},
      {"9600,X,8,1", "the parity must be N, E, O, M or S"},
      {"9600,,8,1", "the parity must be N, E, O, M or S"},
      {"9600,NO,8,1", "the parity must be N, E, O, M or S"},
      {"9600,N,9,1", "the data bits must be 5, 6, 7 or 8"},
      {"9600,N,4,1", "the data bits must be 5, 6, 7 or 8"},
      {"9600,N,8,3", "the stop bits must be 1, 1.5 or 2"},
      {"9600,N,8,", "the stop bits must be 1, 1.5 or 2"},
  };
  for (const Case& c : cases) {
    try {
      ParseSettings(c.text);
      ADD_FAILURE() << "accepted \"" << c.text << "\"";
    } catch (const SerialError& e) {
      EXPECT_EQ(e.Description(),
                "Invalid serial settings \"" + std::string(c.text) + "\": " + c.why);
    }
  }
}

}  // namespace
}  // namespace rx
