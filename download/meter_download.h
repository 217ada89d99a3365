#pragma once

#include <cstdint>
#include <string>

#include "data/data_file.h"
#include "download/frame_receiver.h"
#include "download/message_box.h"
#include "download/reading_decoder.h"
#include "download/serial_control.h"
#include "download/tick_clock.h"
#include "download/unit_names.h"
#include "download/window_controls.h"

namespace rx {

// One download at a time from the meter: opens the data file and the port, receives frames in
// the serial events, and ends at the meter's end-of-memory marker, at a failure, or at Exit.
class MeterDownload {
 public:
  static constexpr const char* kLineSettings = "9600,N,8,1";
  static constexpr uint32_t kIndicatorBlue = 0xFF8080;  // 0x00BBGGRR
  static constexpr uint32_t kIndicatorGreen = 0x80FF80;

  MeterDownload(SerialControl& serial, WindowControls& window, MessageBox& messages,
                TickClock& clock, const UnitNames& unit_names);
  MeterDownload(const MeterDownload&) = delete;
  MeterDownload& operator=(const MeterDownload&) = delete;

  // Opens the data file at `df` anew (a file already there keeps its records until the first new
  // one arrives), zeroes the counters and opens port `port_number`.
  // Returns false when the download could not start: the reason has been shown, the file is
  // closed and the window is back in its idle look.
  bool ReadDataLogger_2(const std::string& df, int16_t port_number);

  // The next serial event takes a fresh start tick.
  void ClearStartTick() { fgStartTickSet = false; }

  void MSComm1_OnComm();
  void Timer1_Timer();

  // The program is ending: closes the port if a download opened it, and closes the data file
  // with every record received so far.
  void Exit();

  // Start and View Data enabled, timer stopped, indicator and "Receiving Data ..." hidden.
  void ShowIdleLook();

  int32_t datano() const { return decoder_.datano; }
  bool fgComPortOpen() const { return fg_com_port_open_; }
  // True once the meter's memory has arrived whole and been stored; false again after a failure.
  bool fgTransferOK() const { return fg_transfer_ok_; }
  // Milliseconds from the first serial event to the end of the memory, as the final message
  // reports them.
  uint32_t TransferMs() const { return transfer_ms_; }
  // Bytes read from the port since the download started.
  uint64_t BytesReceived() const { return bytes_received_; }
  // Records that have reached the data file whole.
  int32_t RecordsSaved() const { return file_.SavedRecords(); }
  const ReadingDecoder& Decoder() const { return decoder_; }
  // The unit names the decoder stores, in the unit table's encoding.
  const UnitNames& Units() const { return unit_names_; }
  const FrameReceiver& Receiver() const { return receiver_; }

 private:
  bool SCI_Init(int16_t port_number);
  void EndOfTransfer();
  // Ends a download that cannot go on, keeping what was written, and tells the user why.
  void EndWithFailure(const std::string& reason);
  void ClosePortQuietly() noexcept;

  SerialControl& serial_;
  WindowControls& window_;
  MessageBox& messages_;
  TickClock& clock_;
  const UnitNames& unit_names_;

  DataFileWriter file_;
  FrameReceiver receiver_;
  ReadingDecoder decoder_;

  bool fg_transfer_ok_ = false;
  bool fg_com_port_open_ = false;
  bool fgStartTickSet = false;
  uint32_t StartTick = 0;
  uint32_t transfer_ms_ = 0;
  uint64_t bytes_received_ = 0;
  bool BlinkPhase = false;  // kept for the whole run, not reset by a new download
};

}  // namespace rx
