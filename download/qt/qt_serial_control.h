#pragma once

#include <QObject>
#include <QSerialPort>
#include <QTimer>
#include <deque>
#include <string>
#include <vector>

#include "download/port_device.h"
#include "download/serial_control.h"

namespace rx {

// The serial ports the system lists now (QSerialPortInfo), with what it tells of them. Reading
// the list takes tens of milliseconds.
std::vector<ListedPort> ListedSerialPorts();

// The serial control on a real port, through QSerialPort. Port numbers map to devices as
// PortDevice says; events arrive on the thread that owns this object, one at a time: an event
// that comes up while a handler runs (a modal box spins the event loop) waits until it returns.
//
// Receive only: the port is opened for reading, without flow control, with DTR asserted (many
// meter cables draw their power from it) and RTS deasserted. A device that has no modem lines,
// such as a pseudo-terminal, is used without them. A device that fails while open (unplugged)
// is closed and raises kComEventPortLost. A port that cannot be opened is reported with the
// ports there are to choose from (PresentPorts).
//
// While bytes stream in, the event loop wakes when the bytes waiting complete a pair of frames
// (counted from the port's opening) rather than for every few bytes the driver hands over;
// when the line has been quiet for a moment, any byte wakes it again. This keeps the program's
// share of the processor small at the line's rate, and costs at most that moment at the end of a
// transfer.
class QtSerialControl : public QObject, public SerialControl {
  Q_OBJECT

 public:
  // `program_folder` holds the optional ports/comN links.
  explicit QtSerialControl(std::string program_folder, QObject* parent = nullptr);

  void SetCommPort(int16_t port) override;
  int16_t CommPort() const override;
  bool PortOpen() const override;
  void SetPortOpen(bool open) override;
  void SetSettings(const std::string& settings) override;
  void SetInputMode(int16_t mode) override;
  void SetInputLen(int16_t len) override;
  void SetRThreshold(int16_t threshold) override;
  std::vector<uint8_t> Input() override;
  int16_t CommEvent() const override;

  // Opens `device` (a path) instead of the port number's device; empty: the port number's.
  void SetDevice(std::string device) { device_ = std::move(device); }
  // The device when one was given, else "Comm. N".
  std::string PortName() const override;

  // How long the line must be quiet before any byte wakes the event loop again.
  void SetQuietInterval(int ms) { quiet_.setInterval(ms); }
  // While bytes stream in, wake when the bytes taken since the opening reach a multiple of
  // `bytes` (default: a pair of frames). Fewer wakes cost less processor time; the quiet interval
  // must stay longer than the line takes to carry `bytes`.
  void SetWakeBytes(int bytes) { wake_bytes_ = bytes; }
  // Reads whatever the driver holds now, however few bytes, and raises the receive event for it
  // before this returns; for a download that is about to be stopped.
  void ReceiveWaiting();

 private:
  void Open();
  void OnReadyRead();
  void OnError(QSerialPort::SerialPortError error);
  void OnPortLost();
  void OnQuiet();
  void StopStreaming();
  // Sets how many waiting bytes make the port readable to the event loop (0: any byte).
  void WakeOn(int bytes);
  bool ReceiveDue() const;
  void Raise(int16_t event);
  void RaiseDeferred();
  std::string Name() const;

  std::string program_folder_;
  std::string device_;  // given directly, instead of a port number
  QSerialPort port_;
  int16_t comm_port_ = 0;
  int16_t event_ = 0;
  int16_t input_len_ = 0;
  int16_t r_threshold_ = 0;
  bool opening_ = false;       // errors raised by our own set-up calls are reported by them
  bool lost_ = false;          // the port has failed; its close is on the way
  bool handling_ = false;      // an OnComm handler is running
  bool streaming_ = false;     // bytes are arriving: wake only when a frame is whole
  qint64 streamed_ = 0;        // bytes taken from the driver since the port opened
  qint64 buffered_after_ = 0;  // bytes in Qt's buffer after we last took some
  int wake_on_ = 0;            // waiting bytes that make the port readable; 0: any
  int wake_bytes_;             // while streaming, wake at each multiple of this many bytes
  QTimer quiet_;               // the line has been quiet: wake for any byte again
  qint64 waiting_seen_ = 0;    // bytes waiting when the handler last looked
  std::deque<int16_t> deferred_;
};

}  // namespace rx
