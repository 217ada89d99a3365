#include "download/frame_receiver.h"

#include <cstring>

namespace rx {

void FrameReceiver::Reset() {
  RxState = 0;
  StartPattern[1] = kStx;
  FrameBodyLength = 15;
  StartIndex = 1;
  FrameByteCount = 0;
}

bool FrameReceiver::WholeFrameAt(const uint8_t* start, size_t available) const {
  if (FrameBodyLength != kFrameLength - 1 || available < kFrameLength) return false;
  if (start[kFrameLength - 1] != kCr) return false;
  bool esc = false;
  for (int i = 1; i < kFrameLength - 1; ++i) esc |= start[i] == kEsc;
  return !esc;
}

FrameReceiver::Result FrameReceiver::Feed(std::span<const uint8_t> chunk, FrameSink& sink) {
  const uint8_t* const bytes = chunk.data();
  const size_t size = chunk.size();
  auto hunt = [this](uint8_t byte) {
    if (byte == StartPattern[StartIndex]) {
      FrameByteCount = 0;
      RxState = 2;
    }
  };
  size_t at = 0;
  while (at < size) {
    if (RxState == 0) {
      const uint8_t start_byte = StartPattern[StartIndex];
      if (bytes[at] != start_byte) {  // noise between frames
        const void* start = std::memchr(bytes + at, start_byte, size - at);
        if (start == nullptr) break;
        at = static_cast<size_t>(static_cast<const uint8_t*>(start) - bytes);
      }
      // A whole frame with a good terminator and no ESC in its body goes in one step; any
      // other goes byte by byte below.
      if (WholeFrameAt(bytes + at, size - at)) {
        std::memcpy(&FrameBuffer[1], bytes + at + 1, kFrameLength - 1);
        FrameByteCount = FrameBodyLength;
        sink.FrameToDigits(FrameBuffer, EscCount);
        StartIndex = 1;
        at += kFrameLength;
        continue;
      }
      hunt(bytes[at++]);
      continue;
    }
    const uint8_t byte = bytes[at++];
    ++FrameByteCount;
    FrameBuffer[FrameByteCount] = byte;
    if (FrameByteCount == FrameBodyLength) {
      RxState = 0;
      if (byte != kCr) {
        // The frame is dropped, but this byte may be the start of the next one after a byte
        // was lost on the line: look at it again while hunting, then go on with the chunk.
        hunt(byte);
        continue;
      }
      sink.FrameToDigits(FrameBuffer, EscCount);
      StartIndex = 1;
      continue;
    }
    if (byte == kEsc && ++EscCount == kEscEndOfMemory) return Result::kEndOfMemory;
  }
  return Result::kChunkDone;
}

}  // namespace rx
