#pragma once

#include <chrono>
#include <cstddef>
#include <string>

namespace rx::sim {

// The meter's end of the serial line: a pseudo-terminal whose slave a link names, or a real
// serial device. Errors are std::runtime_error naming what failed, on what, and why.
class MeterLine {
 public:
  virtual ~MeterLine() = default;

  // Whether the program has the port open. A real device cannot tell, and answers true.
  virtual bool ReaderHasOpen() = 0;
  // Writes what the line takes within `wait`: the count written, or -1 when the reader has
  // closed the port.
  virtual long WriteSome(const char* bytes, size_t count, std::chrono::milliseconds wait) = 0;
  // Drops bytes written but not yet read, so that the next opening starts clean.
  virtual void DiscardUnread() = 0;
  // Waits until everything written has left.
  virtual void Drain() = 0;
  virtual std::string Describe() const = 0;
};

// A pseudo-terminal pair, its slave set to raw 9600 8N1, and a symbolic link to the slave.
// An old link at that path (left by a simulator that was killed) is replaced; any other kind
// of file there is an error. The link goes when this object does, unless it was replaced.
class PseudoTerminalLine : public MeterLine {
 public:
  explicit PseudoTerminalLine(const std::string& link);
  ~PseudoTerminalLine() override;
  PseudoTerminalLine(const PseudoTerminalLine&) = delete;
  PseudoTerminalLine& operator=(const PseudoTerminalLine&) = delete;

  // On Linux the master sees POLLHUP for as long as no one has the slave open.
  bool ReaderHasOpen() override;
  long WriteSome(const char* bytes, size_t count, std::chrono::milliseconds wait) override;
  void DiscardUnread() override;
  void Drain() override {}
  std::string Describe() const override;

  const std::string& SlaveName() const { return slave_name_; }
  // Removes the link if it still leads to this slave.
  void RemoveLink() noexcept;

 private:
  void DiscardInput();

  int master_ = -1;
  std::string slave_name_;
  std::string link_;
};

// A serial device opened at 9600 8N1 raw, without modem control.
class SerialDeviceLine : public MeterLine {
 public:
  explicit SerialDeviceLine(const std::string& device);
  ~SerialDeviceLine() override;
  SerialDeviceLine(const SerialDeviceLine&) = delete;
  SerialDeviceLine& operator=(const SerialDeviceLine&) = delete;

  bool ReaderHasOpen() override { return true; }
  long WriteSome(const char* bytes, size_t count, std::chrono::milliseconds wait) override;
  void DiscardUnread() override;
  void Drain() override;
  std::string Describe() const override { return device_; }

 private:
  int fd_ = -1;
  std::string device_;
};

}  // namespace rx::sim
