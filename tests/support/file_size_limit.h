#pragma once

#include <signal.h>
#include <sys/resource.h>

namespace rx::test {

// A full disk, for as long as it lives: with SIGXFSZ ignored, a write past the file-size limit
// stores what fits and then fails with EFBIG, as a write to a disk that fills up does. A limit of
// 0 leaves the room as it is.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) : active_(bytes > 0) {
    if (!active_) return;
    old_signal_ = signal(SIGXFSZ, SIG_IGN);
    getrlimit(RLIMIT_FSIZE, &old_);
    rlimit limit = old_;
    limit.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~FileSizeLimit() {
    if (!active_) return;
    setrlimit(RLIMIT_FSIZE, &old_);
    signal(SIGXFSZ, old_signal_);
  }
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;

 private:
  bool active_;
  rlimit old_{};
  sighandler_t old_signal_ = SIG_DFL;
};

}  // namespace rx::test
