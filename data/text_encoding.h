#pragma once

#include <string>
#include <string_view>

namespace rx {

// The encoding of a unit table, and so of the unit names in the data files written with it.
// Tables written on Windows are in code page 1252; a table saved on Linux is often UTF-8.
enum class TextEncoding { kCp1252, kUtf8 };

// True when every byte of `bytes` is below 0x80: the same text in either encoding and in UTF-8.
inline bool IsAscii(std::string_view bytes) {
  for (const char c : bytes) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

// The length of the well-formed UTF-8 sequence at the start of `bytes`, with its code point in
// `code_point`; 0 when `bytes` starts with none.
size_t DecodeUtf8(std::string_view bytes, char32_t& code_point);

// Appends code point `cp` to `out` in UTF-8.
void AppendCodePoint(std::string& out, char32_t cp);

// True when `bytes` is well-formed UTF-8 (no overlong forms, surrogates or code points past
// U+10FFFF).
bool IsValidUtf8(std::string_view bytes);

// UTF-8 for text that is valid UTF-8 and holds a byte of 0x80 or more; code page 1252 for any
// other, plain ASCII included.
TextEncoding DetectEncoding(std::string_view bytes);

// DetectEncoding for text that arrives in pieces: after the pieces of a text, Encoding() is
// DetectEncoding of the whole, in constant memory.
class EncodingDetector {
 public:
  void Add(std::string_view bytes);
  TextEncoding Encoding() const {
    return high_ && valid_ && pending_size_ == 0 ? TextEncoding::kUtf8 : TextEncoding::kCp1252;
  }

 private:
  bool high_ = false;  // a byte of 0x80 or more came
  bool valid_ = true;  // no byte so far breaks UTF-8
  char pending_[4]{};  // a sequence that the last piece cut short
  size_t pending_size_ = 0;
};

// How much of a text its first characters take.
struct TextPrefix {
  size_t bytes = 0;
  size_t characters = 0;
};

// The first `count` characters of `bytes` in `encoding`, or all of `bytes` when it holds fewer.
// A UTF-8 character is never split; a byte that starts no well-formed sequence counts as one
// character, as ToUtf8 shows it as one U+FFFD.
TextPrefix FirstCharacters(std::string_view bytes, size_t count, TextEncoding encoding);

// `bytes` in `encoding` as UTF-8. Invalid UTF-8 sequences become U+FFFD; the five bytes that
// code page 1252 leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) stand for the control
// characters of the same code, as Windows maps them.
std::string ToUtf8(std::string_view bytes, TextEncoding encoding);

// The length of the UTF-8 sequence that starts with `lead`, or 1 for a byte that cannot start
// one.
size_t Utf8SequenceLength(unsigned char lead);

}  // namespace rx
