#pragma once

#include <QObject>
#include <QSerialPort>
#include <deque>
#include <string>

#include "download/serial_control.h"

namespace rx {

// The serial control on a real port, through QSerialPort. Port numbers map to devices as
// PortDevice says; events arrive on the thread that owns this object, one at a time: an event
// that comes up while a handler runs (a modal box spins the event loop) waits until it returns.
//
// Receive only: the port is opened for reading, without flow control, with DTR asserted (many
// meter cables draw their power from it) and RTS deasserted. A device that has no modem lines,
// such as a pseudo-terminal, is used without them. A device that fails while open (unplugged)
// is closed and raises kComEventPortLost.
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

 private:
  void Open();
  void OnReadyRead();
  void OnError(QSerialPort::SerialPortError error);
  void OnPortLost();
  bool ReceiveDue() const;
  void Raise(int16_t event);
  void RaiseDeferred();
  std::string Name() const;

  std::string program_folder_;
  QSerialPort port_;
  int16_t comm_port_ = 0;
  int16_t event_ = 0;
  int16_t input_len_ = 0;
  int16_t r_threshold_ = 0;
  bool opening_ = false;     // errors raised by our own set-up calls are reported by them
  bool lost_ = false;        // the port has failed; its close is on the way
  bool handling_ = false;    // an OnComm handler is running
  qint64 waiting_seen_ = 0;  // bytes waiting when the handler last looked
  std::deque<int16_t> deferred_;
};

}  // namespace rx
