#pragma once

// Test doubles for the interfaces the download reaches the outside world through. Each records
// what was done to it, so tests assert on the record.

#include <cstdint>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "download/message_box.h"
#include "download/serial_control.h"
#include "download/tick_clock.h"
#include "download/window_controls.h"

namespace rx::test {

// A serial control whose events and chunks the test scripts.
class ScriptedSerialControl : public SerialControl {
 public:
  std::vector<std::string> log;  // operations in call order, e.g. "Settings=9600,N,8,1"
  std::map<std::string, std::string> failures;  // operation name -> error description

  void SetCommPort(int16_t port) override {
    Op("CommPort", std::to_string(port));
    port_ = port;
  }
  int16_t CommPort() const override { return port_; }
  bool PortOpen() const override {
    Check("PortOpen?");
    return open_;
  }
  void SetPortOpen(bool open) override {
    Op("PortOpen", open ? "true" : "false");
    open_ = open;
  }
  void SetSettings(const std::string& s) override { Op("Settings", s); }
  void SetInputMode(int16_t m) override { Op("InputMode", std::to_string(m)); }
  void SetInputLen(int16_t n) override { Op("InputLen", std::to_string(n)); }
  void SetRThreshold(int16_t n) override { Op("RThreshold", std::to_string(n)); }
  std::vector<uint8_t> Input() override {
    Check("Input");
    std::vector<uint8_t> bytes;
    if (!pending_.empty()) {
      bytes = std::move(pending_.front());
      pending_.pop_front();
    }
    return bytes;
  }
  int16_t CommEvent() const override { return event_; }

  // Raises one receive event carrying `chunk`.
  void Deliver(std::vector<uint8_t> chunk) {
    pending_.push_back(std::move(chunk));
    Raise(kComEvReceive);
  }
  void Deliver(const std::string& chunk) {
    Deliver(std::vector<uint8_t>(chunk.begin(), chunk.end()));
  }
  // Raises an event of another kind.
  void Raise(int16_t event) {
    event_ = event;
    RaiseOnComm();
  }

 private:
  void Check(const std::string& name) const {
    auto it = failures.find(name);
    if (it != failures.end()) throw SerialError(it->second);
  }
  void Op(const std::string& name, const std::string& value) {
    Check(name);
    log.push_back(name + "=" + value);
  }

  std::deque<std::vector<uint8_t>> pending_;
  int16_t port_ = 0;
  int16_t event_ = 0;
  bool open_ = false;
};

// Records every window operation in order, e.g. "Status=Data Transfer OK", "Start=on".
class RecordingWindow : public WindowControls {
 public:
  std::vector<std::string> log;
  std::string status, count = "0";
  uint32_t indicator_color = 0x80FF80;
  bool start = true, view_data = false, timer = false, indicator = false, receiving = false;

  void SetTransferStatus(const std::string& c) override {
    status = c;
    log.push_back("Status=" + c);
  }
  void SetRecordCount(const std::string& c) override {
    count = c;
    log.push_back("Count=" + c);
  }
  void SetStartEnabled(bool on) override {
    start = on;
    log.push_back(Flag("Start", on));
  }
  void SetViewDataEnabled(bool on) override {
    view_data = on;
    log.push_back(Flag("ViewData", on));
  }
  void SetTimerEnabled(bool on) override {
    timer = on;
    log.push_back(Flag("Timer", on));
  }
  void SetIndicatorVisible(bool on) override {
    indicator = on;
    log.push_back(Flag("Indicator", on));
  }
  void SetIndicatorColor(uint32_t bgr) override {
    indicator_color = bgr;
    char text[16];
    std::snprintf(text, sizeof text, "Color=%06X", bgr);
    log.push_back(text);
  }
  void SetReceivingVisible(bool on) override {
    receiving = on;
    log.push_back(Flag("Receiving", on));
  }

  bool Idle() const { return start && view_data && !timer && !indicator && !receiving; }

 private:
  static std::string Flag(const char* name, bool on) {
    return std::string(name) + (on ? "=on" : "=off");
  }
};

struct Box {
  std::string prompt, title;
  bool operator==(const Box&) const = default;
};
// Why a data file at /dev/full, which takes no byte, fails. Under Wine it is a plain file to the
// Windows build, which writes beside it and cannot put that in its place.
#ifdef _WIN32
inline const std::string kFullDeviceFailure =
    "Cannot replace data file /dev/full: Permission denied";
#else
inline const std::string kFullDeviceFailure =
    "Cannot write data file /dev/full: No space left on device";
#endif

inline void PrintTo(const Box& box, std::ostream* os) {
  *os << "{\"" << box.prompt << "\", \"" << box.title << "\"}";
}

// Records every box shown; Yes/No questions take their answers from `answers` (No when empty).
class RecordingMessageBox : public MessageBox {
 public:
  std::vector<Box> shown;
  std::deque<bool> answers;
  std::function<void()> on_inform;  // runs while an OK box is "open"

  void Inform(const std::string& prompt, const std::string& title) override {
    shown.push_back({prompt, title});
    if (on_inform) on_inform();
  }
  bool AskYesNo(const std::string& prompt, const std::string& title) override {
    shown.push_back({prompt, title});
    if (answers.empty()) return false;
    bool answer = answers.front();
    answers.pop_front();
    return answer;
  }
};

class ManualClock : public TickClock {
 public:
  uint32_t now = 0;
  uint32_t GetTickCount() override { return now; }
};

// A folder that is removed with everything in it when the test ends.
class TempDir {
 public:
  TempDir() {
    std::random_device rd;
    path_ = std::filesystem::temp_directory_path() / ("rx7731-test-" + std::to_string(rd()));
    std::filesystem::create_directories(path_);
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(path_, ec);
  }
  std::string File(const std::string& name) const { return (path_ / name).string(); }
  const std::filesystem::path& Path() const { return path_; }

 private:
  std::filesystem::path path_;
};

inline std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

inline void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

inline std::set<std::string> FileNames(const std::filesystem::path& folder) {
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    names.insert(entry.path().filename().string());
  }
  return names;
}

// A frame on the wire from its fourteen body characters.
inline std::string Frame(const std::string& body) { return "\x02" + body + "\r"; }

}  // namespace rx::test
