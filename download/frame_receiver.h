#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "download/frame.h"

namespace rx {

// Takes each complete frame from the receiver.
class FrameSink {
 public:
  virtual ~FrameSink() = default;
  // `frame` holds the frame in positions 1 to 15; `esc_count` the ESC bytes counted so far.
  virtual void FrameToDigits(FrameBytes& frame, int esc_count) = 0;
};

// Cuts the received byte stream into frames and counts the ESC bytes that mark the end of the
// meter's memory. A frame may arrive in any number of chunks.
class FrameReceiver {
 public:
  static constexpr int kEscEndOfMemory = 28;
  enum class Result { kChunkDone, kEndOfMemory };

  // Back to hunting for a start byte, as at the start of a download.
  void Reset();
  // Zeroes the ESC count; only a new download does this, never a frame.
  void ResetEscCount() { EscCount = 0; }

  // Processes `chunk` byte by byte. Stops at the 28th ESC and returns kEndOfMemory; the bytes
  // after it are not examined.
  Result Feed(std::span<const uint8_t> chunk, FrameSink& sink);

  // 0 = hunting for the start byte, 2 = inside a frame.
  int16_t RxState = 0;
  uint8_t StartPattern[16] = {};
  int16_t StartIndex = 1;
  FrameBytes FrameBuffer{};
  int16_t FrameBodyLength = 15;
  int16_t FrameByteCount = 0;
  int16_t EscCount = 0;

 private:
  // A frame that starts at `start` lies whole in the `available` bytes, ends in CR and holds
  // no ESC.
  bool WholeFrameAt(const uint8_t* start, size_t available) const;
};

}  // namespace rx
