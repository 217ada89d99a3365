#include "export/export_file.h"

#include <cerrno>
#include <vector>

#include "data/file_replacement.h"

namespace rx {
namespace {

std::error_code Errno() { return std::error_code(errno ? errno : EIO, std::generic_category()); }

// An ostream's buffer on a FILE*: the stream an export writes into the new file.
class FileBuffer : public std::streambuf {
 public:
  explicit FileBuffer(std::FILE* file) : file_(file), buffer_(64 * 1024) { Reset(); }
  // Why the first write that failed did, taken before later calls change errno.
  std::error_code Error() const { return error_; }

 protected:
  int_type overflow(int_type c) override {
    if (sync() != 0) return traits_type::eof();
    if (!traits_type::eq_int_type(c, traits_type::eof())) {
      *pptr() = traits_type::to_char_type(c);
      pbump(1);
    }
    return traits_type::not_eof(c);
  }
  int sync() override {
    const size_t size = static_cast<size_t>(pptr() - pbase());
    errno = 0;
    const bool written = size == 0 || std::fwrite(pbase(), 1, size, file_) == size;
    if (!written && !error_) error_ = Errno();
    Reset();
    return written ? 0 : -1;
  }

 private:
  void Reset() { setp(buffer_.data(), buffer_.data() + buffer_.size()); }

  std::FILE* file_;
  std::vector<char> buffer_;
  std::error_code error_;
};

}  // namespace

std::string WriteExportFile(const std::string& path,
                            const std::function<void(std::ostream&)>& write) {
  FileReplacement file(path);
  if (const std::error_code error = file.Create()) {
    return "Cannot create " + path + ": " + error.message();
  }
  // An exception from `write` goes on to the caller, and `file` removes what was written.
  FileBuffer buffer(file.File());
  std::ostream out(&buffer);
  write(out);
  out.flush();
  std::error_code error = buffer.Error();
  if (!error && !out) error = std::make_error_code(std::errc::io_error);
  if (const std::error_code closed = file.CloseFile(); !error) error = closed;
  if (error) {
    return "Cannot write " + path + ": " + error.message() +
           (file.Direct() ? " (the file is incomplete)" : "");
  }
  if (const std::error_code committed = file.Commit()) {
    return "Cannot write " + path + ": " + committed.message();
  }
  return "";
}

}  // namespace rx
