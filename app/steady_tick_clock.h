#pragma once

#include <chrono>

#include "download/tick_clock.h"

namespace rx {

// Milliseconds of the monotonic clock, cut to 32 bits like a system tick count.
class SteadyTickClock : public TickClock {
 public:
  uint32_t GetTickCount() override {
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<uint32_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
  }
};

}  // namespace rx
