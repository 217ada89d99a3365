#include "export/json_lines_export.h"

#include <charconv>
#include <cmath>
#include <nlohmann/json.hpp>

#include "data/text_encoding.h"

namespace rx {
namespace {

constexpr size_t kChunk = 64 * 1024;
// Whole values below this are written as integers (12, not 12.0); doubles hold them exactly.
constexpr double kExactWhole = 1e15;

template <typename Integer>
void AppendInteger(std::string& out, Integer value) {
  char text[24];
  out.append(text, std::to_chars(text, text + sizeof text, value).ptr);
}

void AppendTime(std::string& out, const std::optional<std::string>& time) {
  if (time) {
    AppendJsonString(out, *time);
  } else {
    out += "null";
  }
}

}  // namespace

void AppendJsonNumber(std::string& out, const std::optional<double>& value) {
  if (!value) {
    out += "null";
  } else if (std::trunc(*value) == *value && std::fabs(*value) < kExactWhole) {
    AppendInteger(out, static_cast<int64_t>(*value));
  } else {
    char text[64];
    out.append(text, nlohmann::detail::to_chars(text, text + sizeof text, *value));
  }
}

void AppendJsonString(std::string& out, std::string_view text) {
  std::string valid;
  if (!IsAscii(text) && !IsValidUtf8(text)) {
    valid = ToUtf8(text, TextEncoding::kUtf8);
    text = valid;
  }
  static constexpr char kHex[] = "0123456789abcdef";
  out += '"';
  size_t plain = 0;  // the start of the characters that need no escape
  for (size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c >= 0x20 && c != '"' && c != '\\') continue;
    out.append(text.substr(plain, i - plain));
    plain = i + 1;
    out += '\\';
    switch (c) {
      case '"':
      case '\\':
        out += static_cast<char>(c);
        break;
      case '\b':
        out += 'b';
        break;
      case '\f':
        out += 'f';
        break;
      case '\n':
        out += 'n';
        break;
      case '\r':
        out += 'r';
        break;
      case '\t':
        out += 't';
        break;
      default:
        out += "u00";
        out += kHex[c >> 4];
        out += kHex[c & 0xF];
    }
  }
  out.append(text.substr(plain));
  out += '"';
}

JsonLinesWriter::JsonLinesWriter(std::ostream& out) : out_(out) { buffer_.reserve(kChunk + 1024); }

void JsonLinesWriter::Add(const Reading& reading) {
  times_.Next(reading);
  buffer_ += "{\"number\":";
  AppendInteger(buffer_, reading.number);
  buffer_ += ",\"kind\":\"";
  buffer_ += KindName(reading.kind);
  buffer_ += "\",\"channel\":";
  AppendInteger(buffer_, reading.channel);
  buffer_ += ",\"value\":";
  AppendJsonNumber(buffer_, reading.value);
  buffer_ += ",\"unit\":";
  AppendJsonString(buffer_, reading.unit);
  buffer_ += ",\"time\":";
  AppendTime(buffer_, times_.Time());
  buffer_ += ",\"last_time_stamp\":";
  AppendTime(buffer_, times_.LastTimeStamp());
  buffer_ += "}\n";
  if (buffer_.size() >= kChunk) Write();
}

void JsonLinesWriter::Finish() { Write(); }

void JsonLinesWriter::Write() {
  out_.write(buffer_.data(), static_cast<std::streamsize>(buffer_.size()));
  buffer_.clear();
}

void WriteJsonLines(std::ostream& out, const std::vector<Reading>& readings) {
  JsonLinesWriter json(out);
  json.WriteHeader();
  for (const Reading& reading : readings) json.Add(reading);
  json.Finish();
}

}  // namespace rx
