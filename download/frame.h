#pragma once

#include <array>
#include <cstdint>

namespace rx {

// A frame on the wire: STX, fourteen body bytes, CR.
inline constexpr uint8_t kStx = 0x02;
inline constexpr uint8_t kCr = 0x0D;
inline constexpr uint8_t kEsc = 0x1B;
inline constexpr int kFrameLength = 16;

// Positions 0 to 15 of the frame being received.
using FrameBytes = std::array<uint8_t, kFrameLength>;

}  // namespace rx
