#include "data/data_file.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <filesystem>
#include <limits>

namespace rx {
namespace {

constexpr size_t kFlushThreshold = 64 * 1024;

std::string Reason(int error) { return std::strerror(error); }

}  // namespace

void AppendDouble(std::string& out, double value) {
  if (value == 0) {  // also -0, which a negated zero reading gives
    out += '0';
    return;
  }
  // d.dddddddddddddde±x: the value rounded to 15 significant digits.
  char sci[32];
  auto [end, ec] = std::to_chars(sci, sci + sizeof sci, value, std::chars_format::scientific, 14);
  (void)ec;  // 32 bytes always hold it
  const char* p = sci;
  if (*p == '-') {
    out += '-';
    ++p;
  }
  char digits[15];
  int n = 0;
  for (; *p != 'e'; ++p) {
    if (*p != '.') digits[n++] = *p;
  }
  int exponent = 0;
  std::from_chars(p + 1 + (p[1] == '+'), end, exponent);
  while (n > 1 && digits[n - 1] == '0') --n;

  if (exponent < -7 || exponent >= 21) {
    out += digits[0];
    if (n > 1) {
      out += '.';
      out.append(digits + 1, n - 1);
    }
    out += 'E';
    out += exponent < 0 ? '-' : '+';
    int magnitude = exponent < 0 ? -exponent : exponent;
    if (magnitude < 10) out += '0';
    out += std::to_string(magnitude);
  } else if (exponent < 0) {
    out += "0.";
    out.append(-exponent - 1, '0');
    out.append(digits, n);
  } else if (n <= exponent + 1) {
    out.append(digits, n);
    out.append(exponent + 1 - n, '0');
  } else {
    out.append(digits, exponent + 1);
    out += '.';
    out.append(digits + exponent + 1, n - exponent - 1);
  }
}

namespace {

struct ItemWriter {
  std::string& out;
  void operator()(std::string_view text) const {
    out += '"';
    out += text;
    out += '"';
  }
  void operator()(int16_t v) const { Integer(v); }
  void operator()(int32_t v) const { Integer(v); }
  void operator()(double v) const { AppendDouble(out, v); }
  void Integer(int32_t v) const {
    char buf[16];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v);
    (void)ec;
    out.append(buf, end);
  }
};

}  // namespace

DataFileWriter::~DataFileWriter() { CloseQuietly(); }

void DataFileWriter::Fail(const char* what, int error) {
  buffer_.clear();
  buffered_records_ = 0;
  cut_short_ = true;
  throw DataFileError(std::string("Cannot ") + what + " data file " + path_ + ": " + Reason(error));
}

void DataFileWriter::OpenDataFile(const std::string& path) {
  CloseQuietly();
  path_ = path;
  buffer_.clear();
  buffered_records_ = saved_records_ = 0;
  saved_bytes_ = 0;
  cut_short_ = false;
  errno = 0;
  file_ = std::fopen(path.c_str(), "wb");
  if (file_ == nullptr) {
    const int error = errno;
    throw DataFileError("Cannot create data file " + path_ + ": " + Reason(error));
  }
}

void DataFileWriter::AppendRecord(const RecordItem& item1, const RecordItem& item2,
                                  const RecordItem& item3, const RecordItem& item4) {
  ItemWriter writer{buffer_};
  std::visit(writer, item1);
  buffer_ += ',';
  std::visit(writer, item2);
  buffer_ += ',';
  std::visit(writer, item3);
  buffer_ += ',';
  std::visit(writer, item4);
  buffer_ += "\r\n";
  ++buffered_records_;
  if (buffer_.size() >= kFlushThreshold) Flush();
}

void DataFileWriter::Flush() {
  if (file_ == nullptr) {
    if (!buffer_.empty()) Fail("write", EBADF);
    return;
  }
  errno = 0;
  if (!buffer_.empty() && std::fwrite(buffer_.data(), 1, buffer_.size(), file_) != buffer_.size()) {
    Fail("write", errno ? errno : EIO);
  }
  if (std::fflush(file_) != 0) Fail("write", errno ? errno : EIO);
  saved_bytes_ += buffer_.size();
  saved_records_ += buffered_records_;
  buffer_.clear();
  buffered_records_ = 0;
}

void DataFileWriter::CutToSavedRecords() noexcept {
  std::error_code ec;
  std::filesystem::resize_file(path_, saved_bytes_, ec);  // a device such as /dev/full has none
}

void DataFileWriter::CloseDataFile() {
  if (file_ == nullptr) return;
  Flush();
  std::FILE* file = file_;
  file_ = nullptr;
  errno = 0;
  if (std::fclose(file) != 0) {
    const int error = errno ? errno : EIO;
    CutToSavedRecords();
    Fail("close", error);
  }
}

void DataFileWriter::CloseQuietly() noexcept {
  if (file_ == nullptr) return;
  bool written = true;
  if (!buffer_.empty()) {
    written = std::fwrite(buffer_.data(), 1, buffer_.size(), file_) == buffer_.size();
  }
  written = std::fclose(file_) == 0 && written;
  file_ = nullptr;
  if (written && !cut_short_) {
    saved_bytes_ += buffer_.size();
    saved_records_ += buffered_records_;
  } else {
    CutToSavedRecords();
  }
  buffer_.clear();
  buffered_records_ = 0;
}

namespace {

class RecordParser {
 public:
  RecordParser(std::string_view bytes, const std::string& path) : bytes_(bytes), path_(path) {}

  bool AtEnd() const { return pos_ >= bytes_.size(); }

  StoredRecord Next() {
    ++line_;
    StoredRecord record;
    Item();  // the sequence number is not used
    record.ValueText = Item();
    record.UnitText = Item();
    std::string channel = Item(/*last=*/true);
    record.Channel = Channel(channel);
    return record;
  }

 private:
  bool AtLineEnd() const { return AtEnd() || bytes_[pos_] == '\r' || bytes_[pos_] == '\n'; }

  // One item, and the comma or line end after it.
  std::string Item(bool last = false) {
    if (item_ended_line_) NotARecord();
    while (!AtLineEnd() && bytes_[pos_] == ' ') ++pos_;
    std::string value;
    if (!AtLineEnd() && bytes_[pos_] == '"') {
      size_t start = ++pos_;
      while (!AtLineEnd() && bytes_[pos_] != '"') ++pos_;
      value.assign(bytes_.substr(start, pos_ - start));
      if (!AtLineEnd()) ++pos_;                            // closing quote
      while (!AtLineEnd() && bytes_[pos_] != ',') ++pos_;  // text after it is not part of it
    } else {
      size_t start = pos_;
      while (!AtLineEnd() && bytes_[pos_] != ',') ++pos_;
      value.assign(bytes_.substr(start, pos_ - start));
    }
    if (AtLineEnd()) {
      item_ended_line_ = true;
      if (!last) NotARecord();
      if (!AtEnd() && bytes_[pos_] == '\r') ++pos_;
      if (!AtEnd() && bytes_[pos_] == '\n') ++pos_;
      item_ended_line_ = false;
    } else {
      ++pos_;  // the comma
      if (last) NotARecord();
    }
    return value;
  }

  int16_t Channel(const std::string& text) const {
    std::string_view digits = text;
    while (!digits.empty() && digits.back() == ' ') digits.remove_suffix(1);
    if (!digits.empty() && digits.front() == '+') digits.remove_prefix(1);
    int16_t value = 0;
    auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (digits.empty() || ec != std::errc() || end != digits.data() + digits.size()) {
      throw DataFileError("Cannot read data file " + path_ + ": line " + std::to_string(line_) +
                          ": channel \"" + text + "\" is not a whole number from -32768 to 32767");
    }
    return value;
  }

  [[noreturn]] void NotARecord() const {
    throw DataFileError("Cannot read data file " + path_ + ": line " + std::to_string(line_) +
                        " is not a record of four items");
  }

  std::string_view bytes_;
  const std::string& path_;
  size_t pos_ = 0;
  int line_ = 0;
  bool item_ended_line_ = false;
};

}  // namespace

std::vector<StoredRecord> ParseDataFile(std::string_view bytes, int32_t count,
                                        const std::string& path) {
  std::vector<StoredRecord> records;
  if (count <= 0) return records;
  records.reserve(static_cast<size_t>(std::min<int64_t>(count, bytes.size() / 8 + 1)));
  RecordParser parser(bytes, path);
  while (static_cast<int32_t>(records.size()) < count) {
    if (parser.AtEnd()) {
      throw DataFileError("Cannot read data file " + path + ": it holds " +
                          std::to_string(records.size()) + " records, " + std::to_string(count) +
                          " were expected");
    }
    records.push_back(parser.Next());
  }
  return records;
}

std::vector<StoredRecord> ReadDataFile(const std::string& path, int32_t count) {
  errno = 0;
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) {
    throw DataFileError("Cannot open data file " + path + ": " + Reason(errno ? errno : ENOENT));
  }
  std::string bytes;
  char chunk[64 * 1024];
  size_t got;
  while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) bytes.append(chunk, got);
  int error = std::ferror(file) ? (errno ? errno : EIO) : 0;
  std::fclose(file);
  if (error != 0) throw DataFileError("Cannot read data file " + path + ": " + Reason(error));
  return ParseDataFile(bytes, count, path);
}

}  // namespace rx
