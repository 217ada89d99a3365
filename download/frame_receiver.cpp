#include "download/frame_receiver.h"

namespace rx {

void FrameReceiver::Reset() {
  RxState = 0;
  StartPattern[1] = kStx;
  FrameBodyLength = 15;
  StartIndex = 1;
  FrameByteCount = 0;
}

FrameReceiver::Result FrameReceiver::Feed(std::span<const uint8_t> chunk, FrameSink& sink) {
  auto hunt = [this](uint8_t byte) {
    if (byte == StartPattern[StartIndex]) {
      FrameByteCount = 0;
      RxState = 2;
    }
  };
  for (const uint8_t byte : chunk) {
    if (RxState == 0) {
      hunt(byte);
      continue;
    }
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
