#include "download/reading_decoder.h"

#include <array>
#include <charconv>
#include <cmath>
#include <string_view>

#include "data/data_file.h"

namespace rx {
namespace {

bool IsDigit(int value) { return value >= 0 && value <= 9; }

// Letters count on from 10: "A" (digit value 17) gives 10.
int LetterAdjusted(int value) { return value > 9 ? value - 7 : value; }

// 10 to the power `exponent`: from a table where the powers are exact doubles, which is what
// pow gives for them too.
double PowerOfTen(int exponent) {
  static constexpr auto kExact = [] {
    std::array<double, 23> powers{};
    double p = 1;
    for (double& power : powers) {
      power = p;
      p *= 10;
    }
    return powers;
  }();
  return exponent >= 0 && exponent < static_cast<int>(kExact.size()) ? kExact[exponent]
                                                                       : std::pow(10.0, exponent);
}

}  // namespace

void ReadingDecoder::FrameToDigits(FrameBytes& frame, int esc_count) {
  frame[0] = kStx;
  for (int j = 0; j < kFrameLength; ++j) FrameDigits[15 - j] = DigitValue(frame[j]);
  DecodeReading(esc_count);
}

void ReadingDecoder::DecodeReading(int esc_count) {
  ++FrameSerial;
  UnitIndex = static_cast<int16_t>(LetterAdjusted(D(12)) * 10 + D(11));
  if (esc_count >= kEscStoreLimit) return;

  const int32_t sequence = FrameSerial - 1;
  if (D(14) == 4 && D(13) == 0) {
    // Twelve characters as received for digits; any other byte gives its digit value's text.
    char text[12 * 3];
    char* end = text;
    for (int k = 12; k >= 1; --k) end = std::to_chars(end, text + sizeof text, D(k)).ptr;
    file_.AppendRecord(sequence, std::string_view(text, end - text), std::string_view("Time"),
                       int16_t{0});
  } else if (D(14) == 4) {
    double v = kNoDigitsMarker;
    if (IsDigit(D(4))) {
      // Wider than 32 bits: non-digit bytes in the upper positions can carry the sum past 2^31.
      int64_t sum = 0;
      for (int k = 8; k >= 1; --k) sum = sum * 10 + D(k);
      v = static_cast<double>(sum);
      const int decimal_code = D(9);
      if (decimal_code <= 6) {
        v /= PowerOfTen(decimal_code);
      } else if (decimal_code == 7) {
        v *= 10;
      } else if (decimal_code == 8) {
        v *= 100;
      } else if (decimal_code == 9) {
        v *= 1000;
      }
      if (D(10) == 1) v = -v;
    }
    ReadingValue = v;
    const auto channel = static_cast<int16_t>(LetterAdjusted(D(13)));
    file_.AppendRecord(sequence, v, std::string_view(unit_names_(UnitIndex)), channel);
  } else {
    double v = kNoDigitsMarker;
    if (IsDigit(D(4))) {
      const int32_t sum = D(4) * 1000 + D(3) * 100 + D(2) * 10 + D(1);
      v = sum / PowerOfTen(D(9));
      if (D(14) == 1 || D(14) == 3) v = -v;
    }
    ReadingValue = v;
    file_.AppendRecord(sequence, v, UnitIndex, static_cast<int16_t>(D(13)));
  }
  ++datano;
}

}  // namespace rx
