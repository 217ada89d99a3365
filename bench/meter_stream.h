#pragma once

#include <string>

namespace rx::bench {

// A meter memory on the wire: a time frame, then readings of the three kinds (with a 999999
// marker among them), then the end marker.
inline std::string MeterStream(int frames) {
  const char* bodies[] = {"41030200012345", "42071312345678", "10070300001234",
                          "2C070000001234", "4103020001 345", "40231207093015"};
  std::string wire = std::string("\x02") + "40231207093015" + "\r";
  for (int i = 1; i < frames; ++i) wire += std::string("\x02") + bodies[i % 6] + "\r";
  const std::string esc = "\x02" + std::string(14, '\x1B') + "\r";
  return wire + esc + esc;
}

}  // namespace rx::bench
