#include "app/unit_table_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "data/native_path.h"

namespace rx {
namespace {

constexpr int kEnd = -1;
// No unit table has fields this long; a file that does is not one, and is not read to its end.
constexpr size_t kFieldLimit = 4096;
// Enough of a name for ten characters in either encoding: a UTF-8 character takes up to 4 bytes.
constexpr size_t kNameBytes = 4 * UnitNames::kWidth;

// Bytes from memory, or from a file in chunks, one at a time.
class ByteSource {
 public:
  explicit ByteSource(std::string_view bytes) : view_(bytes) {}
  explicit ByteSource(std::FILE* file) : file_(file), buffer_(new char[kChunk]) {}

  int Peek() {
    if (pos_ == view_.size() && !Refill()) return kEnd;
    return static_cast<unsigned char>(view_[pos_]);
  }
  void Advance() { ++pos_; }
  // The errno of a failed read, 0 while none has failed.
  int Error() const { return error_; }
  // The encoding of the bytes taken so far. A file that reading stopped in (more than 301 pairs,
  // a field too long) is judged on what was read of it, which keeps a huge file cheap.
  TextEncoding Encoding() {
    TakeInDetector();
    return detector_.Encoding();
  }

 private:
  static constexpr size_t kChunk = 64 * 1024;

  bool Refill() {
    if (file_ == nullptr || error_ != 0) return false;
    TakeInDetector();
    errno = 0;
    size_t got = std::fread(buffer_.get(), 1, kChunk, file_);
    if (got == 0) {
      if (std::ferror(file_)) error_ = errno ? errno : EIO;
      return false;
    }
    view_ = std::string_view(buffer_.get(), got);
    pos_ = detected_ = 0;
    return true;
  }

  void TakeInDetector() {
    detector_.Add(view_.substr(detected_, pos_ - detected_));
    detected_ = pos_;
  }

  std::string_view view_;
  size_t pos_ = 0;
  size_t detected_ = 0;  // view_ up to here is in detector_
  EncodingDetector detector_;
  std::FILE* file_ = nullptr;
  std::unique_ptr<char[]> buffer_;
  int error_ = 0;
};

enum class Ending { kComma, kLineEnd, kEnd };

class FieldReader {
 public:
  explicit FieldReader(ByteSource& in) : in_(in) {}

  bool AtEnd() { return in_.Peek() == kEnd; }
  int Line() const { return line_; }
  // The last field read ran past kFieldLimit; reading stopped inside it.
  bool TooLong() const { return too_long_; }

  // Reads one field and what ended it. Keeps at most `keep` bytes of its value: a unit name is
  // cut to ten characters anyway, and a huge field must not fill the memory.
  Ending Read(std::string& value, size_t keep) {
    value.clear();
    length_ = 0;
    int c = in_.Peek();
    while (c == ' ' || c == '\t') {
      if (!Keep(value, c, 0)) return Ending::kEnd;
      c = in_.Peek();
    }
    if (c == '"') {
      in_.Advance();
      // An unclosed quote ends at the line end, so one bad line cannot swallow the rest.
      while ((c = in_.Peek()) != kEnd && c != '"' && c != '\r' && c != '\n') {
        if (!Keep(value, c, keep)) return Ending::kEnd;
      }
      if (c == '"') in_.Advance();
      // Text between the closing quote and the next separator is not part of the value.
      while ((c = in_.Peek()) != kEnd && c != ',' && c != '\r' && c != '\n') {
        if (!Keep(value, c, 0)) return Ending::kEnd;
      }
    } else {
      while ((c = in_.Peek()) != kEnd && c != ',' && c != '\r' && c != '\n') {
        if (!Keep(value, c, keep)) return Ending::kEnd;
      }
    }
    return Separator();
  }

 private:
  // Takes the character under the reader; false once the field has grown too long.
  bool Keep(std::string& value, int c, size_t keep) {
    if (++length_ > kFieldLimit) {
      too_long_ = true;
      return false;
    }
    if (value.size() < keep) value += static_cast<char>(c);
    in_.Advance();
    return true;
  }

  Ending Separator() {
    int c = in_.Peek();
    if (c == ',') {
      in_.Advance();
      return Ending::kComma;
    }
    if (c == '\r') {
      in_.Advance();
      if (in_.Peek() == '\n') in_.Advance();
      ++line_;
      return Ending::kLineEnd;
    }
    if (c == '\n') {
      in_.Advance();
      ++line_;
      return Ending::kLineEnd;
    }
    return Ending::kEnd;
  }

  ByteSource& in_;
  int line_ = 1;
  size_t length_ = 0;
  bool too_long_ = false;
};

std::string ReadError(const std::string& path, int error) {
  return "Cannot read unit table " + path + ": " + std::strerror(error);
}

std::string TooLong(const std::string& path, int line) {
  return "Unit table " + path + " has a field longer than " + std::to_string(kFieldLimit) +
         " characters on line " + std::to_string(line) +
         ", so it is not a unit table; reading stopped there";
}

// Reads the pairs into `names` (raw, not yet fitted) and says what was wrong, if anything.
std::string ReadPairs(ByteSource& in, std::vector<std::string>& names, const std::string& path) {
  FieldReader fields(in);
  std::string value;
  while (!fields.AtEnd()) {
    const int line = fields.Line();
    const Ending first = fields.Read(value, 1);  // enough to tell an empty field
    if (in.Error() != 0) return ReadError(path, in.Error());
    if (fields.TooLong()) return TooLong(path, fields.Line());
    // A comma promises a second field, even an empty one at the very end of the file.
    if (first != Ending::kComma && fields.AtEnd()) {
      if (in.Error() != 0) return ReadError(path, in.Error());
      // An empty line after the last pair, as many editors leave, is no pair at all.
      if (value.empty()) return {};
      return "Unit table " + path + " ends after the first field of pair " +
             std::to_string(names.size() + 1) + " on line " + std::to_string(line) +
             ", so that pair has no unit name";
    }
    if (names.size() == UnitNames::kEntries) {
      return "Unit table " + path + " holds more than " + std::to_string(UnitNames::kEntries) +
             " pairs; pair " + std::to_string(UnitNames::kEntries + 1) + " on line " +
             std::to_string(line) + " and those after it were not loaded";
    }
    fields.Read(value, kNameBytes);
    if (in.Error() != 0) return ReadError(path, in.Error());
    if (fields.TooLong()) return TooLong(path, fields.Line());
    names.push_back(value);
  }
  return in.Error() != 0 ? ReadError(path, in.Error()) : std::string();
}

// The names are stored only once the whole table has been read, since its encoding decides
// where a name is cut.
UnitTableLoad Load(ByteSource& in, UnitNames& names, const std::string& path) {
  std::vector<std::string> read;
  UnitTableLoad load;
  load.problem = ReadPairs(in, read, path);
  names.SetEncoding(in.Encoding());
  for (const std::string& name : read) names.Store(load.entries++, name);
  return load;
}

}  // namespace

UnitTableLoad ParseUnitTable(std::string_view bytes, UnitNames& names, const std::string& path) {
  ByteSource in(bytes);
  return Load(in, names, path);
}

UnitTableLoad ReadUnitTableFile(const std::string& path, UnitNames& names) {
  errno = 0;
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(OpenNativeFile(path, "rb"), &std::fclose);
  if (!file) {
    UnitTableLoad load;
    load.problem = "Cannot open unit table " + path + ": " + std::strerror(errno ? errno : ENOENT);
    return load;
  }
  ByteSource in(file.get());
  return Load(in, names, path);
}

}  // namespace rx
