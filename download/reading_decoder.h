#pragma once

#include <array>
#include <cstdint>

#include "download/frame.h"
#include "download/frame_receiver.h"
#include "download/unit_names.h"

namespace rx {

class DataFileWriter;

// Turns each complete frame into one record of the data file: a time record, a channel reading
// record or a coded reading record.
class ReadingDecoder : public FrameSink {
 public:
  static constexpr int kEscStoreLimit = 14;  // from this many ESC bytes on, nothing is stored

  ReadingDecoder(const UnitNames& unit_names, DataFileWriter& file)
      : unit_names_(unit_names), file_(file) {}

  // Zeroes the frame serial and the record count at the start of a download.
  void Reset() {
    FrameSerial = 0;
    datano = 0;
  }

  // Decodes the frame in positions 1 to 15 of `frame` and stores it unless `esc_count` has
  // reached the store limit.
  void FrameToDigits(FrameBytes& frame, int esc_count) override;

  // Digit value of a frame byte: "0".."9" give 0..9, bytes from "0" up count from it, bytes
  // below "0" keep their code.
  static constexpr int16_t DigitValue(uint8_t byte) { return byte >= '0' ? byte - '0' : byte; }

  std::array<int16_t, 16> FrameDigits{};  // FrameDigits[k] is the digit of position 15 - k
  int16_t UnitIndex = 0;
  double ReadingValue = 0;
  int32_t FrameSerial = 0;
  int32_t datano = 0;

 private:
  void DecodeReading(int esc_count);
  int D(int k) const { return FrameDigits[k]; }

  const UnitNames& unit_names_;
  DataFileWriter& file_;
};

}  // namespace rx
