#include "download/qt/qt_serial_control.h"

#ifdef _WIN32
#include <winerror.h>
#else
#include <termios.h>
#endif

#include <QCoreApplication>
#include <QMetaObject>
#include <QScopedValueRollback>
#include <QSerialPortInfo>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "download/line_settings.h"
#include "download/port_device.h"
#include "download/port_lock.h"

namespace rx {
namespace {

// While a transfer streams in, the event loop wakes when the bytes taken since the port opened
// reach a whole number of pairs of the meter's 16-byte frames.
constexpr int kWakeBytes = 32;
// Longer than a pair of frames takes at 9600 baud (33 ms), so that it passes only when the line
// pauses; the last frame of a transfer then waits at most 40 - 17 = 23 ms after its last byte.
constexpr int kQuietMs = 40;

QSerialPort::Parity ToQt(char parity) {
  switch (parity) {
    case 'E':
      return QSerialPort::EvenParity;
    case 'O':
      return QSerialPort::OddParity;
    case 'M':
      return QSerialPort::MarkParity;
    case 'S':
      return QSerialPort::SpaceParity;
    default:
      return QSerialPort::NoParity;
  }
}

QSerialPort::StopBits ToQt(LineSettings::StopBits stop_bits) {
  switch (stop_bits) {
    case LineSettings::StopBits::kOneAndHalf:
      return QSerialPort::OneAndHalfStop;
    case LineSettings::StopBits::kTwo:
      return QSerialPort::TwoStop;
    default:
      return QSerialPort::OneStop;
  }
}

// The device itself rather than a link to it, so that the lock file Qt takes is the one other
// programs on that device use.
QString SystemLocation(const std::string& device) {
#ifndef _WIN32
  std::error_code ec;
  const std::filesystem::path real = std::filesystem::canonical(device, ec);
  if (!ec) return QString::fromStdString(real.string());
#endif
  return QString::fromStdString(device);
}

// Whether a failed open met a port that another program holds, rather than a device the user
// may not open: Qt reports both as a permission error.
bool HeldByAnother(const QSerialPort& port) {
  if (port.error() != QSerialPort::PermissionError) return false;
#ifdef _WIN32
  return true;  // Windows lets one program at a time open a port and denies access to others
#else
  // Another program's lock file, or a device opened for exclusive use (which root still opens).
  const QString reason = port.errorString();
  return reason == QCoreApplication::translate("QSerialPort",
                                               "Permission error while locking the device") ||
         reason == QString::fromLocal8Bit(std::strerror(EBUSY));
#endif
}

// Whether setting a modem line failed because the device has none, such as a pseudo-terminal
// or a virtual COM port (a Bluetooth serial link): such a port is used without them.
bool HasNoModemLines(const QSerialPort& port) {
  if (port.error() == QSerialPort::UnsupportedOperationError) return true;
#ifdef _WIN32
  // Qt reports the driver's refusal as an unknown error with the system's text.
  const QString reason = port.errorString();
  return reason == qt_error_string(ERROR_NOT_SUPPORTED) ||
         reason == qt_error_string(ERROR_INVALID_FUNCTION);
#else
  return false;
#endif
}

// A port number that opens no port, with the ports that the user could choose instead.
SerialError NotOpened(const std::string& failure, const std::string& program_folder) {
  return SerialError(failure + "\r\n" + PresentPorts(program_folder, ListedSerialPorts()));
}

}  // namespace

std::vector<ListedPort> ListedSerialPorts() {
  std::vector<ListedPort> ports;
  for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
    ports.push_back({info.portName().toStdString(), info.systemLocation().toStdString(),
                     info.description().toStdString(), info.manufacturer().toStdString()});
  }
  return ports;
}

QtSerialControl::QtSerialControl(std::string program_folder, QObject* parent)
    : QObject(parent), program_folder_(std::move(program_folder)), wake_bytes_(kWakeBytes) {
  port_.setFlowControl(QSerialPort::NoFlowControl);
  connect(&port_, &QSerialPort::readyRead, this, &QtSerialControl::OnReadyRead);
  connect(&port_, &QSerialPort::errorOccurred, this, &QtSerialControl::OnError);
  quiet_.setSingleShot(true);
  quiet_.setInterval(kQuietMs);
  connect(&quiet_, &QTimer::timeout, this, &QtSerialControl::OnQuiet);
}

void QtSerialControl::SetCommPort(int16_t port) { comm_port_ = port; }

int16_t QtSerialControl::CommPort() const { return comm_port_; }

bool QtSerialControl::PortOpen() const { return port_.isOpen(); }

void QtSerialControl::SetPortOpen(bool open) {
  if (open) {
    Open();
    return;
  }
  port_.close();
  lost_ = false;
  StopStreaming();
  deferred_.clear();
}

void QtSerialControl::Open() {
  if (port_.isOpen()) throw SerialError(Name() + " is already open");
  const std::string device = device_.empty() ? PortDevice(program_folder_, comm_port_) : device_;
  if (device.empty()) {
    throw NotOpened(PortOpenFailure(program_folder_, comm_port_, "", ""), program_folder_);
  }

  QScopedValueRollback<bool> own_calls(opening_, true);
  const QString location = SystemLocation(device);
  port_.setPortName(location);
  if (!port_.open(QIODevice::ReadOnly)) {
    const bool held = HeldByAnother(port_);
    const std::string reason = port_.errorString().toStdString();
    port_.clearError();
    if (held) {
      throw SerialError(PortInUseFailure(device_.empty() ? comm_port_ : 0, device,
                                         FindPortLockHolder(location.toStdString())));
    }
    if (!device_.empty()) throw SerialError(DeviceOpenFailure(device, reason));
    throw NotOpened(PortOpenFailure(program_folder_, comm_port_, device, reason), program_folder_);
  }
  auto modem_line = [&](bool done) {
    if (done || HasNoModemLines(port_)) return;
    const std::string reason = port_.errorString().toStdString();
    port_.close();
    throw SerialError("Cannot set the modem lines of " + Name() + " (" + device + "): " + reason);
  };
  modem_line(port_.setDataTerminalReady(true));
  modem_line(port_.setRequestToSend(false));
  port_.clearError();
  lost_ = false;
  StopStreaming();
  wake_on_ = 0;  // as Qt sets the line up
  waiting_seen_ = 0;
}

// Before opening, QSerialPort records the values and applies them when it opens (its defaults
// are 9600 8N1); on an open port they apply at once.
void QtSerialControl::SetSettings(const std::string& settings) {
  const LineSettings line = ParseSettings(settings);
  QScopedValueRollback<bool> own_calls(opening_, true);
  const bool done = port_.setBaudRate(line.baud) && port_.setParity(ToQt(line.parity)) &&
                    port_.setDataBits(static_cast<QSerialPort::DataBits>(line.data_bits)) &&
                    port_.setStopBits(ToQt(line.stop_bits));
  if (!done) {
    // Qt reports no reason when the driver quietly keeps other values than those asked for.
    const std::string reason = port_.error() == QSerialPort::NoError
                                   ? "the device does not support them"
                                   : port_.errorString().toStdString();
    port_.clearError();
    throw SerialError("Cannot set " + Name() + " to \"" + settings + "\": " + reason);
  }
  if (port_.isOpen()) {  // Qt has just written its own line settings, which wake on any byte
    const int wanted = wake_on_;
    wake_on_ = 0;
    WakeOn(wanted);
  }
}

void QtSerialControl::SetInputMode(int16_t mode) {
  if (mode != 1) {
    throw SerialError("Input mode " + std::to_string(mode) +
                      " is not supported: the meter's data is read as bytes (input mode 1)");
  }
}

void QtSerialControl::SetInputLen(int16_t len) {
  if (len < 0) throw SerialError("Invalid input length " + std::to_string(len));
  input_len_ = len;
}

void QtSerialControl::SetRThreshold(int16_t threshold) {
  if (threshold < 0) throw SerialError("Invalid receive threshold " + std::to_string(threshold));
  r_threshold_ = threshold;
}

std::vector<uint8_t> QtSerialControl::Input() {
  if (!port_.isOpen()) throw SerialError("Cannot read " + Name() + ": the port is not open");
  const QByteArray bytes = input_len_ == 0 ? port_.readAll() : port_.read(input_len_);
  waiting_seen_ = buffered_after_ = port_.bytesAvailable();
  return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

int16_t QtSerialControl::CommEvent() const { return event_; }

void QtSerialControl::OnReadyRead() {
  streamed_ += port_.bytesAvailable() - buffered_after_;  // what Qt has just taken
  streaming_ = true;
  quiet_.start();
  if (ReceiveDue()) Raise(kComEvReceive);
  buffered_after_ = port_.bytesAvailable();
  // Wake when the pair of frames (or the group SetWakeBytes asked for) that the bytes so far
  // leave open is whole, had they all been frames.
  if (streaming_ && port_.isOpen()) WakeOn(wake_bytes_ - static_cast<int>(streamed_ % wake_bytes_));
}

void QtSerialControl::OnQuiet() {
  if (!streaming_ || !port_.isOpen()) return;
  streaming_ = false;
  WakeOn(0);  // bytes that do not complete a pair of frames wake the loop now
}

void QtSerialControl::ReceiveWaiting() {
  if (!port_.isOpen() || handling_) return;
  streaming_ = false;
  WakeOn(0);
  port_.waitForReadyRead(0);  // reads into Qt's buffer and signals readyRead when bytes wait
}

void QtSerialControl::StopStreaming() {
  streaming_ = false;
  streamed_ = 0;
  buffered_after_ = 0;
  quiet_.stop();
}

void QtSerialControl::WakeOn(int bytes) {
  if (bytes == wake_on_) return;
  wake_on_ = bytes;
#ifndef _WIN32
  // The terminal driver reports a port readable once this many bytes wait (VMIN with VTIME 0);
  // reads still return every waiting byte. Qt leaves both at 0.
  termios line{};
  if (::tcgetattr(port_.handle(), &line) != 0) return;
  line.c_cc[VMIN] = static_cast<cc_t>(bytes);
  line.c_cc[VTIME] = 0;
  ::tcsetattr(port_.handle(), TCSANOW, &line);
#else
  (void)bytes;
#endif
}

void QtSerialControl::OnError(QSerialPort::SerialPortError error) {
  if (opening_ || lost_ || !port_.isOpen()) return;
  // A read that fails ends the download as a lost port. On Linux Qt says ReadError or
  // ResourceError; on Windows the failed read's system error decides, and one that Qt does not
  // name comes as UnknownError or PermissionError: a line whose other end went away
  // (ERROR_BROKEN_PIPE, as Wine gives it when the pseudo-terminal of its COM port closes).
  // Without them the window would wait on a dead port for good.
  if (error != QSerialPort::ReadError && error != QSerialPort::ResourceError &&
      error != QSerialPort::UnknownError && error != QSerialPort::PermissionError) {
    return;
  }
  // Qt is still inside its read when it reports the failure, and the failed read repeats until
  // the port is closed: close it once Qt has returned.
  lost_ = true;
  QMetaObject::invokeMethod(
      this, [this] { OnPortLost(); }, Qt::QueuedConnection);
}

void QtSerialControl::OnPortLost() {
  if (!lost_) return;  // closed in the meantime
  port_.close();
  lost_ = false;
  StopStreaming();
  deferred_.clear();
  Raise(kComEventPortLost);
}

bool QtSerialControl::ReceiveDue() const {
  return port_.isOpen() && r_threshold_ > 0 && port_.bytesAvailable() >= r_threshold_;
}

void QtSerialControl::Raise(int16_t event) {
  if (handling_) {
    deferred_.push_back(event);
    return;
  }
  {
    QScopedValueRollback<bool> running(handling_, true);
    event_ = event;
    waiting_seen_ = port_.bytesAvailable();
    RaiseOnComm();
  }
  // QSerialPort does not signal bytes that arrive while its readyRead is being handled.
  if (ReceiveDue() && port_.bytesAvailable() > waiting_seen_) deferred_.push_back(kComEvReceive);
  if (!deferred_.empty()) {
    QMetaObject::invokeMethod(
        this, [this] { RaiseDeferred(); }, Qt::QueuedConnection);
  }
}

void QtSerialControl::RaiseDeferred() {
  while (!deferred_.empty()) {
    const int16_t event = deferred_.front();
    deferred_.pop_front();
    // A receive event is stale when an earlier handler has already read the bytes.
    if (event != kComEvReceive || ReceiveDue()) {
      Raise(event);
      return;
    }
  }
}

std::string QtSerialControl::Name() const {
  return device_.empty() ? "Comm. port " + std::to_string(comm_port_) : device_;
}

std::string QtSerialControl::PortName() const {
  return device_.empty() ? SerialControl::PortName() : device_;
}

}  // namespace rx
