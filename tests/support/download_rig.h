#pragma once

#include <string>

#include "download/meter_download.h"
#include "support/fakes.h"

namespace rx::test {

// A download wired to the recording doubles, writing to a data file in a temporary folder.
class DownloadRig {
 public:
  DownloadRig() { names.Store(3, "V"); }

  // Start's part of a download: a fresh start tick, then the download start on `port`.
  bool Start(int16_t port = 3) {
    download.ClearStartTick();
    return download.ReadDataLogger_2(df, port);
  }
  std::string FileBytes() const { return ReadBytes(df); }

  TempDir dir;
  std::string df = dir.File("261208.dat");
  UnitNames names;
  ScriptedSerialControl serial;
  RecordingWindow window;
  RecordingMessageBox boxes;
  ManualClock clock;
  MeterDownload download{serial, window, boxes, clock, names};
};

}  // namespace rx::test
