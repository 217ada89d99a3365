#pragma once

#include <QObject>
#include <QSerialPort>
#include <string>

#include "download/serial_control.h"

namespace rx {

// The serial control on a real port, through QSerialPort. Port numbers map to devices as
// PortDevice says; events arrive on the thread that owns this object.
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
  std::string program_folder_;
  QSerialPort port_;
  int16_t comm_port_ = 0;
  int16_t event_ = 0;
};

}  // namespace rx
