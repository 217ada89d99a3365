#include "data/data_file.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <limits>

#include "data/native_path.h"

namespace rx {
namespace {

constexpr size_t kFlushThreshold = 64 * 1024;

std::error_code Errno() { return std::error_code(errno ? errno : EIO, std::generic_category()); }

}  // namespace

namespace {

constexpr size_t kNumberBound = DataFileWriter::kNumberBound;

char* Append(char* out, const char* text, size_t size) {
  std::memcpy(out, text, size);
  return out + size;
}

// Writes `value` as AppendDouble describes and returns the end of the text.
char* WriteDouble(char* out, double value) {
  if (value == 0) {  // also -0, which a negated zero reading gives
    *out++ = '0';
    return out;
  }
  // Most readings are whole numbers: those of up to 15 digits are their own text.
  if (std::fabs(value) < 1e15 && value == std::trunc(value)) {
    return std::to_chars(out, out + kNumberBound, static_cast<int64_t>(value)).ptr;
  }
  if (!std::isfinite(value)) {
    return std::to_chars(out, out + kNumberBound, value).ptr;
  }
  // A reading with up to seven decimals: m / 10^k for the fewest decimals k whose division
  // gives back exactly this double. That decimal has at most 15 digits and lies within half a
  // step of the double, so it is the value rounded to 15 digits.
  constexpr double kPowers[] = {1, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7};
  const double magnitude = std::fabs(value);
  if (magnitude >= 1e-7 && magnitude < 1e8) {
    for (int k = 1; k < 8; ++k) {
      const double scaled = std::nearbyint(magnitude * kPowers[k]);
      if (scaled >= 1e15 || scaled / kPowers[k] != magnitude) continue;
      if (value < 0) *out++ = '-';
      char digits[16];
      const int n = static_cast<int>(
          std::to_chars(digits, digits + 16, static_cast<int64_t>(scaled)).ptr - digits);
      if (n <= k) {
        out = Append(out, "0.", 2);
        out = std::fill_n(out, k - n, '0');
        return Append(out, digits, n);
      }
      out = Append(out, digits, n - k);
      *out++ = '.';
      return Append(out, digits + n - k, k);
    }
  }
  // d.dddde±x: the shortest text that reads back as `value`. When it has at most 15
  // significant digits it is also the value rounded to 15 digits, since no two 15-digit
  // decimals lie within one step of a double of each other; otherwise round to 15 digits.
  char sci[32];
  const char* end = std::to_chars(sci, sci + sizeof sci, value, std::chars_format::scientific).ptr;
  const char* e = std::find(static_cast<const char*>(sci), end, 'e');
  const char* first = sci + (sci[0] == '-');
  if ((e - first) - (std::find(first, e, '.') != e) > 15) {
    end = std::to_chars(sci, sci + sizeof sci, value, std::chars_format::scientific, 14).ptr;
    e = std::find(static_cast<const char*>(sci), end, 'e');
  }
  const char* p = sci;
  if (*p == '-') {
    *out++ = '-';
    ++p;
  }
  char digits[17];
  int n = 0;
  for (; p != e; ++p) {
    if (*p != '.') digits[n++] = *p;
  }
  int exponent = 0;
  std::from_chars(e + 1 + (e[1] == '+'), end, exponent);
  while (n > 1 && digits[n - 1] == '0') --n;

  if (exponent < -7 || exponent >= 21) {
    *out++ = digits[0];
    if (n > 1) {
      *out++ = '.';
      out = Append(out, digits + 1, n - 1);
    }
    *out++ = 'E';
    *out++ = exponent < 0 ? '-' : '+';
    const int magnitude = exponent < 0 ? -exponent : exponent;
    if (magnitude < 10) *out++ = '0';
    out = std::to_chars(out, out + 4, magnitude).ptr;
  } else if (exponent < 0) {
    out = Append(out, "0.", 2);
    out = std::fill_n(out, -exponent - 1, '0');
    out = Append(out, digits, n);
  } else if (n <= exponent + 1) {
    out = Append(out, digits, n);
    out = std::fill_n(out, exponent + 1 - n, '0');
  } else {
    out = Append(out, digits, exponent + 1);
    *out++ = '.';
    out = Append(out, digits + exponent + 1, n - exponent - 1);
  }
  return out;
}

}  // namespace

void AppendDouble(std::string& out, double value) {
  char text[kNumberBound];
  out.append(text, WriteDouble(text, value));
}

void AppendDoubleReadingBack(std::string& out, double value) {
  // Below this a value rounded to 15 significant digits stays a finite double.
  constexpr double kLargestRoundedDown = 1.79769313486231e308;
  const size_t start = out.size();
  AppendDouble(out, value);
  if (std::fabs(value) <= kLargestRoundedDown) return;
  double back = 0;
  if (std::from_chars(out.data() + start, out.data() + out.size(), back).ec == std::errc()) return;
  out.resize(start);
  char text[32];
  char* end = std::to_chars(text, text + sizeof text, value, std::chars_format::scientific).ptr;
  std::replace(text, end, 'e', 'E');
  out.append(text, end);
}

size_t DataFileWriter::Bound(const RecordItem& item) {
  return std::visit([](const auto& v) { return Bound(v); }, item);
}

char* DataFileWriter::Put(char* out, std::string_view text) {
  *out++ = '"';
  out = Append(out, text.data(), text.size());
  *out++ = '"';
  return out;
}

char* DataFileWriter::Put(char* out, int16_t value) {
  return std::to_chars(out, out + kNumberBound, value).ptr;
}

char* DataFileWriter::Put(char* out, int32_t value) {
  return std::to_chars(out, out + kNumberBound, value).ptr;
}

char* DataFileWriter::Put(char* out, double value) { return WriteDouble(out, value); }

char* DataFileWriter::Put(char* out, const RecordItem& item) {
  return std::visit([out](const auto& v) { return Put(out, v); }, item);
}

char* DataFileWriter::BeginRecord(size_t bound) {
  const size_t at = buffer_.size();
  buffer_.resize(at + bound);
  return buffer_.data() + at;
}

void DataFileWriter::EndRecord(char* end) {
  *end++ = '\r';
  *end++ = '\n';
  buffer_.resize(static_cast<size_t>(end - buffer_.data()));
  ++buffered_records_;
  if (buffer_.size() >= kFlushThreshold) Flush();
}

DataFileWriter::~DataFileWriter() { CloseQuietly(); }

void DataFileWriter::Fail(const char* what, const std::error_code& error) {
  buffer_.clear();
  buffered_records_ = 0;
  cut_short_ = true;
  throw DataFileError(std::string("Cannot ") + what + " data file " + path_ + ": " +
                      error.message());
}

void DataFileWriter::OpenDataFile(const std::string& path) {
  CloseQuietly();
  path_ = path;
  buffer_.clear();
  buffered_records_ = saved_records_ = 0;
  saved_bytes_ = 0;
  cut_short_ = false;
  file_.emplace(path);
  if (const std::error_code error = file_->Create()) {
    file_.reset();
    throw DataFileError("Cannot create data file " + path_ + ": " + error.message());
  }
  // Records are gathered in buffer_ already: each Flush is then one write to the system.
  std::setvbuf(file_->File(), nullptr, _IONBF, 0);
}

void DataFileWriter::Flush() {
  if (!IsOpen()) {
    if (!buffer_.empty()) Fail("write", std::make_error_code(std::errc::bad_file_descriptor));
    return;
  }
  std::FILE* file = file_->File();
  errno = 0;
  if (!buffer_.empty() && std::fwrite(buffer_.data(), 1, buffer_.size(), file) != buffer_.size()) {
    Fail("write", Errno());
  }
  if (std::fflush(file) != 0) Fail("write", Errno());
  saved_bytes_ += buffer_.size();
  saved_records_ += buffered_records_;
  buffer_.clear();
  buffered_records_ = 0;
  if (saved_records_ > 0 && !file_->Committed()) {
    if (const std::error_code error = file_->Commit()) {
      // The records stay in the new file, which goes; the file named is as it was.
      saved_records_ = 0;
      saved_bytes_ = 0;
      Fail("replace", error);
    }
  }
}

void DataFileWriter::CutToSavedRecords() noexcept {
  std::error_code ec;
  // A device such as /dev/full has no size to cut back to.
  if (file_) std::filesystem::resize_file(NativePath(file_->FilePath()), saved_bytes_, ec);
}

void DataFileWriter::CloseDataFile() {
  if (!IsOpen()) return;
  Flush();
  if (!file_->Committed()) {
    // No record: the file named keeps what it held.
    file_.reset();
    return;
  }
  if (const std::error_code error = file_->CloseFile()) {
    CutToSavedRecords();
    file_.reset();
    Fail("close", error);
  }
  file_.reset();
}

void DataFileWriter::CloseQuietly() noexcept {
  if (IsOpen()) {
    std::FILE* file = file_->File();
    bool written = !cut_short_;
    if (!buffer_.empty()) {
      written = std::fwrite(buffer_.data(), 1, buffer_.size(), file) == buffer_.size() &&
                std::fflush(file) == 0 && written;
    }
    if (written && buffered_records_ > 0 && !file_->Committed()) written = !file_->Commit();
    written = !file_->CloseFile() && written;
    if (written) {
      saved_bytes_ += buffer_.size();
      saved_records_ += buffered_records_;
    } else if (file_->Committed()) {
      CutToSavedRecords();
    }
    if (!file_->Committed()) {
      saved_records_ = 0;
      saved_bytes_ = 0;
    }
  }
  file_.reset();
  buffer_.clear();
  buffered_records_ = 0;
}

}  // namespace rx
