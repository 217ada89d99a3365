#pragma once

#include <string>
#include <string_view>

namespace rx {

// The encoding of a unit table, and so of the unit names in the data files written with it.
// Tables written on Windows are in code page 1252; a table saved on Linux is often UTF-8.
enum class TextEncoding { kCp1252, kUtf8 };

// True when `bytes` is well-formed UTF-8 (no overlong forms, surrogates or code points past
// U+10FFFF).
bool IsValidUtf8(std::string_view bytes);

// UTF-8 for text that is valid UTF-8 and holds a byte of 0x80 or more; code page 1252 for any
// other, plain ASCII included.
TextEncoding DetectEncoding(std::string_view bytes);

// `bytes` in `encoding` as UTF-8. Invalid UTF-8 sequences become U+FFFD; the five bytes that
// code page 1252 leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) stand for the control
// characters of the same code, as Windows maps them.
std::string ToUtf8(std::string_view bytes, TextEncoding encoding);

// The length of the UTF-8 sequence that starts with `lead`, or 1 for a byte that cannot start
// one.
size_t Utf8SequenceLength(unsigned char lead);

}  // namespace rx
