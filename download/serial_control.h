#pragma once

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace rx {

// A failed serial-control operation. what() is the description shown to the user.
class SerialError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
  const char* Description() const noexcept { return what(); }
};

// Codes read from CommEvent.
enum CommEventCode : int16_t {
  kComEvReceive = 2,        // bytes are waiting to be read
  kComEventBreak = 1001,    // a break was received
  kComEventFrame = 1004,    // framing error
  kComEventOverrun = 1006,  // bytes lost by the port
  kComEventRxOver = 1008,   // receive buffer overflow
  kComEventRxParity = 1009,
  kComEventPortLost = 1100,  // the device went away (cable pulled, adapter removed)
};

// The operations the download uses on the serial port, under the names of the serial control
// it replaces. Every operation may throw SerialError.
class SerialControl {
 public:
  virtual ~SerialControl() = default;

  virtual void SetCommPort(int16_t port) = 0;
  virtual int16_t CommPort() const = 0;
  virtual bool PortOpen() const = 0;
  virtual void SetPortOpen(bool open) = 0;
  // "9600,N,8,1": baud, parity, data bits, stop bits.
  virtual void SetSettings(const std::string& settings) = 0;
  // 1 = binary input.
  virtual void SetInputMode(int16_t mode) = 0;
  // 0 = Input returns every waiting byte.
  virtual void SetInputLen(int16_t len) = 0;
  // 1 = raise OnComm with kComEvReceive as soon as one byte is waiting.
  virtual void SetRThreshold(int16_t threshold) = 0;
  // The waiting bytes, in arrival order; reading removes them.
  virtual std::vector<uint8_t> Input() = 0;
  // The kind of the event being handled.
  virtual int16_t CommEvent() const = 0;
  // The port as the user knows it, for messages.
  virtual std::string PortName() const { return "Comm. " + std::to_string(CommPort()); }

  // OnComm: called once per event, on the user-interface thread, never while a handler runs.
  void SetOnComm(std::function<void()> handler) { on_comm_ = std::move(handler); }

 protected:
  void RaiseOnComm() {
    if (on_comm_) on_comm_();
  }

 private:
  std::function<void()> on_comm_;
};

}  // namespace rx
