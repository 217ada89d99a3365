#include "data/text_encoding.h"

#include <algorithm>
#include <array>
#include <cstdint>

namespace rx {
namespace {

// Code page 1252, 0x80 to 0x9F; the rest of the high half is Latin-1.
constexpr std::array<char16_t, 32> kCp1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// The length of the well-formed UTF-8 sequence at the start of `bytes`, or 0 when there is none.
size_t ValidSequence(std::string_view bytes) {
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(bytes[i]); };
  const size_t length = Utf8SequenceLength(byte(0));
  if (length == 1) return byte(0) < 0x80 ? 1 : 0;
  if (bytes.size() < length) return 0;
  for (size_t i = 1; i < length; ++i) {
    if ((byte(i) & 0xC0) != 0x80) return 0;
  }
  // Overlong forms, surrogates and code points past U+10FFFF are not UTF-8.
  const unsigned char lead = byte(0), second = byte(1);
  if (lead == 0xE0 && second < 0xA0) return 0;
  if (lead == 0xED && second >= 0xA0) return 0;
  if (lead == 0xF0 && second < 0x90) return 0;
  if (lead == 0xF4 && second >= 0x90) return 0;
  return length;
}

}  // namespace

size_t DecodeUtf8(std::string_view bytes, char32_t& code_point) {
  if (bytes.empty()) return 0;
  const size_t length = ValidSequence(bytes);
  if (length == 0) return 0;
  constexpr unsigned char kLeadBits[] = {0, 0x7F, 0x1F, 0x0F, 0x07};
  code_point = static_cast<unsigned char>(bytes[0]) & kLeadBits[length];
  for (size_t i = 1; i < length; ++i) {
    code_point = (code_point << 6) | (static_cast<unsigned char>(bytes[i]) & 0x3F);
  }
  return length;
}

void AppendCodePoint(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

size_t Utf8SequenceLength(unsigned char lead) {
  if (lead >= 0xC2 && lead <= 0xDF) return 2;
  if (lead >= 0xE0 && lead <= 0xEF) return 3;
  if (lead >= 0xF0 && lead <= 0xF4) return 4;
  return 1;
}

bool IsValidUtf8(std::string_view bytes) {
  while (!bytes.empty()) {
    const size_t length = ValidSequence(bytes);
    if (length == 0) return false;
    bytes.remove_prefix(length);
  }
  return true;
}

TextEncoding DetectEncoding(std::string_view bytes) {
  EncodingDetector detector;
  detector.Add(bytes);
  return detector.Encoding();
}

void EncodingDetector::Add(std::string_view bytes) {
  while (valid_ && !bytes.empty()) {
    if (pending_size_ > 0) {
      const size_t length = Utf8SequenceLength(static_cast<unsigned char>(pending_[0]));
      const size_t take = std::min(length - pending_size_, bytes.size());
      bytes.copy(pending_ + pending_size_, take);
      pending_size_ += take;
      bytes.remove_prefix(take);
      if (pending_size_ < length) return;
      valid_ = ValidSequence(std::string_view(pending_, length)) == length;
      pending_size_ = 0;
      continue;
    }
    const auto lead = static_cast<unsigned char>(bytes.front());
    if (lead < 0x80) {
      bytes.remove_prefix(1);
      continue;
    }
    high_ = true;
    const size_t length = Utf8SequenceLength(lead);
    if (length == 1) {
      valid_ = false;
    } else if (bytes.size() < length) {
      pending_size_ = bytes.copy(pending_, length);
      return;
    } else {
      valid_ = ValidSequence(bytes) == length;
      bytes.remove_prefix(length);
    }
  }
}

TextPrefix FirstCharacters(std::string_view bytes, size_t count, TextEncoding encoding) {
  if (encoding == TextEncoding::kCp1252) {
    const size_t n = std::min(count, bytes.size());
    return {n, n};
  }
  TextPrefix prefix;
  while (prefix.characters < count && prefix.bytes < bytes.size()) {
    prefix.bytes += std::max<size_t>(ValidSequence(bytes.substr(prefix.bytes)), 1);
    ++prefix.characters;
  }
  return prefix;
}

std::string ToUtf8(std::string_view bytes, TextEncoding encoding) {
  std::string out;
  out.reserve(bytes.size() + bytes.size() / 2);
  while (!bytes.empty()) {
    const auto lead = static_cast<unsigned char>(bytes.front());
    if (lead < 0x80) {
      out += static_cast<char>(lead);
      bytes.remove_prefix(1);
    } else if (encoding == TextEncoding::kCp1252) {
      AppendCodePoint(out, lead < 0xA0 ? kCp1252High[lead - 0x80] : char32_t{lead});
      bytes.remove_prefix(1);
    } else if (const size_t length = ValidSequence(bytes); length > 0) {
      out.append(bytes.substr(0, length));
      bytes.remove_prefix(length);
    } else {
      AppendCodePoint(out, 0xFFFD);
      bytes.remove_prefix(1);
    }
  }
  return out;
}

}  // namespace rx
