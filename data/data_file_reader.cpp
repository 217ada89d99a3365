#include "data/data_file_reader.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <vector>

#include "data/native_path.h"

namespace rx {
namespace {

constexpr size_t kChunk = 64 * 1024;

std::string Reason(int error) { return std::strerror(error); }

// The item of `line` that starts at `at`, and `at` moved past the comma that ends it; `comma`
// tells whether one did, or the line ended it. A quoted item is the text between its quotes,
// and anything after the closing quote up to the comma is not part of it; an unquoted item
// starts after its leading blanks.
std::string_view Item(std::string_view line, size_t& at, bool& comma) {
  while (at < line.size() && line[at] == ' ') ++at;
  std::string_view item;
  if (at < line.size() && line[at] == '"') {
    const size_t start = ++at;
    while (at < line.size() && line[at] != '"') ++at;
    item = line.substr(start, at - start);
    while (at < line.size() && line[at] != ',') ++at;
  } else {
    const size_t start = at;
    while (at < line.size() && line[at] != ',') ++at;
    item = line.substr(start, at - start);
  }
  comma = at < line.size();
  if (comma) ++at;
  return item;
}

bool ParseChannel(std::string_view text, int16_t& channel) {
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), channel);
  return !text.empty() && ec == std::errc() && end == text.data() + text.size();
}

}  // namespace

DataFileReader::DataFileReader(const std::string& path) : path_(path) {
  errno = 0;
  file_ = OpenNativeFile(path, "rb");
  if (file_ == nullptr) {
    throw DataFileError("Cannot open data file " + path + ": " + Reason(errno ? errno : ENOENT));
  }
  at_end_ = false;
  if (std::fseek(file_, 0, SEEK_SET) == 0) return;
  // A pipe hands its bytes over once; they are kept for the encoding and for Rewind.
  std::vector<char> chunk(kChunk);
  size_t got;
  errno = 0;
  while ((got = std::fread(chunk.data(), 1, chunk.size(), file_)) > 0)
    piped_.append(chunk.data(), got);
  const int error = std::ferror(file_) ? (errno ? errno : EIO) : 0;
  std::fclose(file_);
  file_ = nullptr;
  if (error != 0) Fail(Reason(error));
  whole_ = data_ = piped_;
  at_end_ = true;
}

DataFileReader::DataFileReader(std::string_view bytes, const std::string& path)
    : path_(path), data_(bytes), whole_(bytes) {}

DataFileReader::~DataFileReader() {
  if (file_ != nullptr) std::fclose(file_);
}

void DataFileReader::Fail(const std::string& reason) const {
  throw DataFileError("Cannot read data file " + path_ + ": " + reason);
}

void DataFileReader::Fill() {
  buffer_.erase(0, pos_);
  pos_ = 0;
  const size_t kept = buffer_.size();
  buffer_.resize(kept + kChunk);
  errno = 0;
  const size_t got = std::fread(buffer_.data() + kept, 1, kChunk, file_);
  buffer_.resize(kept + got);
  data_ = buffer_;
  if (watch_) watch_(std::string_view(buffer_).substr(kept));
  if (got < kChunk) {
    if (std::ferror(file_)) Fail(Reason(errno ? errno : EIO));
    at_end_ = true;
  }
}

bool DataFileReader::NextLine(std::string_view& line) {
  // CR, LF and CR LF each end a line; a CR that ends the bytes at hand may have its LF next.
  size_t scanned = pos_;
  for (;;) {
    size_t end = scanned;
    while (end < data_.size() && data_[end] != '\r' && data_[end] != '\n') ++end;
    if (end < data_.size() && (data_[end] == '\n' || end + 1 < data_.size() || at_end_)) {
      line = data_.substr(pos_, end - pos_);
      pos_ = end + 1;
      if (data_[end] == '\r' && pos_ < data_.size() && data_[pos_] == '\n') ++pos_;
      return true;
    }
    if (at_end_) {
      if (pos_ >= data_.size()) return false;
      line = data_.substr(pos_);  // the last line, without a line end
      pos_ = data_.size();
      return true;
    }
    scanned = end - pos_;  // Fill moves the line to the start of the buffer
    Fill();
  }
}

bool DataFileReader::Next(StoredRecord& record) {
  std::string_view line;
  if (!NextLine(line)) return false;
  const auto number = [this] { return std::to_string(records_read_ + 1); };
  const auto not_a_record = [&] { Fail("line " + number() + " is not a record of four items"); };
  size_t at = 0;
  bool comma = false;
  Item(line, at, comma);  // the sequence number is not used
  if (!comma) not_a_record();
  const std::string_view value = Item(line, at, comma);
  if (!comma) not_a_record();
  const std::string_view unit = Item(line, at, comma);
  if (!comma) not_a_record();
  const std::string_view channel = Item(line, at, comma);
  if (comma) not_a_record();
  if (!ParseChannel(channel, record.Channel)) {
    Fail("line " + number() + ": channel \"" + std::string(channel) +
         "\" is not a whole number from -32768 to 32767");
  }
  record.ValueText.assign(value);
  record.UnitText.assign(unit);
  ++records_read_;
  return true;
}

bool DataFileReader::Next(Reading& reading) {
  const TextEncoding encoding = Encoding();
  if (!Next(record_)) return false;
  ToReading(record_, records_read_, encoding, reading);
  return true;
}

TextEncoding DataFileReader::Encoding() {
  if (!encoding_) DecideEncoding();
  return *encoding_;
}

void DataFileReader::DecideEncoding() {
  if (file_ == nullptr) {
    encoding_ = DetectEncoding(whole_);
    return;
  }
  std::fpos_t at;
  errno = 0;
  if (std::fgetpos(file_, &at) != 0 || std::fseek(file_, 0, SEEK_SET) != 0) {
    Fail(Reason(errno ? errno : EIO));
  }
  EncodingDetector detector;
  std::vector<char> chunk(kChunk);
  size_t got;
  while ((got = std::fread(chunk.data(), 1, chunk.size(), file_)) > 0)
    detector.Add({chunk.data(), got});
  if (std::ferror(file_) || std::fsetpos(file_, &at) != 0) Fail(Reason(errno ? errno : EIO));
  encoding_ = detector.Encoding();
}

void DataFileReader::Rewind(std::function<void(std::string_view)> watch) {
  records_read_ = 0;
  pos_ = 0;
  watch_ = std::move(watch);
  if (file_ == nullptr) {
    data_ = whole_;
    if (watch_) watch_(whole_);  // all of them are at hand already
    return;
  }
  errno = 0;
  if (std::fseek(file_, 0, SEEK_SET) != 0) Fail(Reason(errno ? errno : EIO));
  buffer_.clear();
  data_ = {};
  at_end_ = false;
}

int32_t ForEachReading(const std::string& path, const std::function<void(const Reading&)>& each) {
  DataFileReader reader(path);
  Reading reading;
  while (reader.Next(reading)) each(reading);
  return reader.RecordsRead();
}

namespace {

std::vector<StoredRecord> FirstRecords(DataFileReader& reader, int32_t count) {
  std::vector<StoredRecord> records;
  while (static_cast<int32_t>(records.size()) < count) {
    if (!reader.Next(records.emplace_back())) {
      records.pop_back();
      throw DataFileError("Cannot read data file " + reader.Path() + ": it holds " +
                          std::to_string(records.size()) + " records, " + std::to_string(count) +
                          " were expected");
    }
  }
  return records;
}

DataFileContents AllRecords(DataFileReader& reader) {
  DataFileContents contents;
  contents.encoding = reader.Encoding();
  while (reader.Next(contents.records.emplace_back())) {
  }
  contents.records.pop_back();
  return contents;
}

}  // namespace

std::vector<StoredRecord> ParseDataFile(std::string_view bytes, int32_t count,
                                        const std::string& path) {
  DataFileReader reader(bytes, path);
  return FirstRecords(reader, count);
}

std::vector<StoredRecord> ReadDataFile(const std::string& path, int32_t count) {
  DataFileReader reader(path);
  return FirstRecords(reader, count);
}

DataFileContents ParseWholeDataFile(std::string_view bytes, const std::string& path) {
  DataFileReader reader(bytes, path);
  return AllRecords(reader);
}

DataFileContents ReadWholeDataFile(const std::string& path) {
  DataFileReader reader(path);
  return AllRecords(reader);
}

}  // namespace rx
