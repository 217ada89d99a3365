#pragma once

#include <cstdint>
#include <string>

namespace rx {

// The line parameters of a Settings text such as "9600,N,8,1".
struct LineSettings {
  enum class StopBits { kOne, kOneAndHalf, kTwo };

  int32_t baud = 9600;
  char parity = 'N';  // N none, E even, O odd, M mark, S space
  int data_bits = 8;  // 5 to 8
  StopBits stop_bits = StopBits::kOne;

  bool operator==(const LineSettings&) const = default;
};

// Parses "baud,parity,data bits,stop bits"; parity may be written in either case. Throws
// SerialError naming the text and the faulty field.
LineSettings ParseSettings(const std::string& settings);

}  // namespace rx
