#include "download/meter_download.h"

#include <span>
#include <vector>

namespace rx {

MeterDownload::MeterDownload(SerialControl& serial, WindowControls& window, MessageBox& messages,
                             TickClock& clock, const UnitNames& unit_names)
    : serial_(serial),
      window_(window),
      messages_(messages),
      clock_(clock),
      unit_names_(unit_names),
      decoder_(unit_names, file_) {
  serial_.SetOnComm([this] { MSComm1_OnComm(); });
}

bool MeterDownload::ReadDataLogger_2(const std::string& df, int16_t port_number) {
  try {
    file_.OpenDataFile(df);
  } catch (const DataFileError& e) {
    // Start has shown a count of 0 for the new file name; the previous download's count would
    // have View Data read that many records from a file that was never written.
    receiver_.ResetEscCount();
    decoder_.Reset();
    fg_com_port_open_ = false;
    ShowIdleLook();
    messages_.Inform(e.what());
    return false;
  }
  receiver_.ResetEscCount();
  decoder_.Reset();
  bytes_received_ = 0;
  transfer_ms_ = 0;
  const bool opened = SCI_Init(port_number);
  fg_transfer_ok_ = false;
  if (!opened) {
    // Nothing can arrive on a port that did not open: leave the running look so that the
    // user can pick another port and press Start again.
    file_.CloseQuietly();
    fg_com_port_open_ = false;
    ShowIdleLook();
    return false;
  }
  fg_com_port_open_ = true;
  return true;
}

bool MeterDownload::SCI_Init(int16_t port_number) {
  // The receiver is clean before any port operation, whatever the port does.
  receiver_.Reset();
  try {
    serial_.SetCommPort(port_number);
    if (!serial_.PortOpen()) {
      serial_.SetCommPort(port_number);
      serial_.SetSettings(kLineSettings);
      serial_.SetInputMode(1);
      serial_.SetInputLen(0);
      serial_.SetRThreshold(1);
      serial_.SetPortOpen(true);
    }
  } catch (const SerialError& e) {
    messages_.Inform(e.Description());
    return false;
  }
  return true;
}

void MeterDownload::MSComm1_OnComm() {
  if (!fgStartTickSet) {
    StartTick = clock_.GetTickCount();
    fgStartTickSet = true;
  }
  if (!file_.IsOpen()) return;  // no download running
  try {
    const int16_t event = serial_.CommEvent();
    if (event == kComEventPortLost) {
      EndWithFailure("The connection to the meter on " + serial_.PortName() +
                     " was lost: the cable was unplugged or the serial adapter removed.");
      return;
    }
    if (event != kComEvReceive) return;
    const std::vector<uint8_t> chunk = serial_.Input();
    bytes_received_ += chunk.size();
    const auto result = receiver_.Feed(chunk, decoder_);
    // Whatever this event stored reaches the operating system now, so a program that is
    // killed loses at most the chunk in flight.
    file_.Flush();
    if (result == FrameReceiver::Result::kEndOfMemory) EndOfTransfer();
  } catch (const DataFileError& e) {
    EndWithFailure(e.what());
  } catch (const SerialError& e) {
    EndWithFailure(e.Description());
  }
}

void MeterDownload::EndOfTransfer() {
  fg_transfer_ok_ = true;
  window_.SetTransferStatus("Data Transfer OK");
  window_.SetRecordCount(std::to_string(decoder_.datano));
  serial_.SetPortOpen(false);
  fg_com_port_open_ = false;
  file_.CloseDataFile();
  ShowIdleLook();
  // Unsigned subtraction stays right when the 32-bit tick counter wraps during the transfer.
  transfer_ms_ = clock_.GetTickCount() - StartTick;
  messages_.Inform("Data Received O.K!\r\nTotal Time ( ms ) =  " + std::to_string(transfer_ms_));
}

void MeterDownload::EndWithFailure(const std::string& reason) {
  ClosePortQuietly();
  fg_com_port_open_ = false;
  // The end marker may have arrived, but a memory whose last records could not be stored has
  // not been transferred.
  fg_transfer_ok_ = false;
  const std::string path = file_.Path();
  file_.CloseQuietly();
  // Records whose write failed are not in the file: the count shown, and View Data after it,
  // go by the records saved.
  decoder_.datano = file_.SavedRecords();
  window_.SetTransferStatus("Data Transfer Failed");
  window_.SetRecordCount(std::to_string(decoder_.datano));
  ShowIdleLook();
  messages_.Inform(reason + "\r\nThe download has stopped. " + std::to_string(decoder_.datano) +
                   (decoder_.datano == 1 ? " reading was" : " readings were") + " saved to " +
                   path + ".");
}

void MeterDownload::ClosePortQuietly() noexcept {
  try {
    if (serial_.PortOpen()) serial_.SetPortOpen(false);
  } catch (const SerialError&) {
    // The port is being abandoned; the reason already shown is the one that matters.
  }
}

void MeterDownload::Timer1_Timer() {
  window_.SetIndicatorColor(BlinkPhase ? kIndicatorBlue : kIndicatorGreen);
  window_.SetRecordCount(std::to_string(decoder_.datano));
  BlinkPhase = !BlinkPhase;
}

void MeterDownload::Exit() {
  if (fg_com_port_open_) ClosePortQuietly();
  try {
    file_.CloseDataFile();
  } catch (const DataFileError& e) {
    messages_.Inform(e.what());
  }
}

void MeterDownload::ShowIdleLook() {
  window_.SetStartEnabled(true);
  window_.SetViewDataEnabled(true);
  window_.SetTimerEnabled(false);
  window_.SetIndicatorVisible(false);
  window_.SetReceivingVisible(false);
}

}  // namespace rx
