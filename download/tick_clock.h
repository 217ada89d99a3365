#pragma once

#include <cstdint>

namespace rx {

// Milliseconds since some fixed moment, 32 bits wide: it wraps after about 49.7 days.
class TickClock {
 public:
  virtual ~TickClock() = default;
  virtual uint32_t GetTickCount() = 0;
};

}  // namespace rx
