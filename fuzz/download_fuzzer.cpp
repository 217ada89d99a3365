// A whole download fed arbitrary bytes, cut into arbitrary receive events and mixed with line
// errors and a lost port. After it, what a user relies on must hold: the count shown equals the
// lines in the file, the sequence numbers run 0, 1, 2 ... without gaps, every line reads back,
// and how the bytes were cut into events changes nothing in the file.

#include <fuzzer/FuzzedDataProvider.h>

#include <charconv>
#include <cstdint>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "data/data_file.h"
#include "download/frame_receiver.h"
#include "download/meter_download.h"
#include "download/reading_decoder.h"
#include "fuzz/fuzz_check.h"
#include "support/fakes.h"

namespace rx::fuzz {
namespace {

// Events that are not received bytes: line errors and changes, and codes nobody sends.
const int16_t kLineEvents[] = {
    0, 3, kComEventBreak, kComEventFrame, kComEventOverrun, kComEventRxOver, kComEventRxParity, -1};

UnitNames MakeUnitNames() {
  UnitNames names;  // entries left unfilled hold ten NULs, which must read back too
  names.Store(0, "");
  names.Store(3, "V");
  names.Store(7, "mA");
  names.Store(10, "a,b");
  names.Store(21, "\xB5V");
  names.Store(105, "kPa");
  names.Store(300, "0123456789 too long");
  return names;
}

bool IsWholeDouble(const std::string& text) {
  double value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return !text.empty() && ec == std::errc() && end == text.data() + text.size();
}

bool IsInt16(const std::string& text) {
  int16_t value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return !text.empty() && ec == std::errc() && end == text.data() + text.size();
}

// The file that the same bytes give when they arrive in one piece.
std::string InOneChunk(const std::vector<uint8_t>& bytes, const UnitNames& names,
                       const std::string& path, bool& ended) {
  DataFileWriter writer;
  writer.OpenDataFile(path);
  FrameReceiver receiver;
  receiver.Reset();
  receiver.ResetEscCount();
  ReadingDecoder decoder(names, writer);
  decoder.Reset();
  ended = receiver.Feed(bytes, decoder) == FrameReceiver::Result::kEndOfMemory;
  writer.CloseDataFile();
  return test::ReadBytes(path);
}

void CheckLines(const std::string& bytes, int32_t datano, const std::set<std::string>& known_names,
                const std::string& path) {
  // Line i starts with its sequence number i, and the file ends with a complete line.
  int32_t lines = 0;
  size_t at = 0;
  while (at < bytes.size()) {
    const std::string sequence = std::to_string(lines) + ",";
    Require(bytes.compare(at, sequence.size(), sequence) == 0, "sequence number",
            [&] { return "line " + std::to_string(lines) + " at byte " + std::to_string(at); });
    const size_t end = bytes.find("\r\n", at);
    Require(end != std::string::npos, "every line ends in CR LF");
    at = end + 2;
    ++lines;
  }
  Require(lines == datano, "datano equals the lines written",
          [&] { return std::to_string(datano) + " counted, " + std::to_string(lines) + " lines"; });

  std::vector<StoredRecord> records;
  try {
    records = ParseDataFile(bytes, datano, path);
  } catch (const DataFileError& e) {
    Broken("every line reads back", e.what());
  }
  try {
    ParseDataFile(bytes, datano + 1, path);
    Broken("the file holds no record beyond datano", "");
  } catch (const DataFileError&) {
  }
  for (const StoredRecord& r : records) {
    if (r.UnitText == "Time") {
      Require(r.Channel == 0, "a time record has channel 0");
      continue;
    }
    Require(IsWholeDouble(r.ValueText), "a reading's value is a number", r.ValueText);
    Require(known_names.contains(r.UnitText) || IsInt16(r.UnitText),
            "a unit is a table entry or a unit code", r.UnitText);
  }
}

}  // namespace
}  // namespace rx::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace rx;
  using namespace rx::fuzz;
  static const UnitNames names = MakeUnitNames();
  static const std::set<std::string> known_names = [] {
    std::set<std::string> all{names(-1)};  // a unit code beyond the table
    for (int i = 0; i < UnitNames::kEntries; ++i) all.insert(names(i));
    return all;
  }();
  static const ScratchFile df("download.dat");
  static const ScratchFile reference("download-reference.dat");

  // Each input starts where no data file is: a download that brings no record leaves none.
  std::filesystem::remove(df.Path());
  std::filesystem::remove(reference.Path());
  FuzzedDataProvider input(data, size);
  test::ScriptedSerialControl serial;
  test::RecordingWindow window;
  test::RecordingMessageBox boxes;
  test::ManualClock clock;
  MeterDownload download(serial, window, boxes, clock, names);
  download.ClearStartTick();
  Require(download.ReadDataLogger_2(df.Path(), 1), "the download starts");

  std::vector<uint8_t> received;  // bytes of the events handled while the download ran
  bool port_lost = false;
  std::string file_at_end;
  while (input.remaining_bytes() > 0) {
    const bool running = download.fgComPortOpen();
    const uint8_t op = input.ConsumeIntegral<uint8_t>();
    clock.now += op;
    if (op < 16) {
      serial.Raise(kLineEvents[op % 8]);  // line errors change nothing
    } else if (op == 16) {
      serial.Raise(kComEventPortLost);
      port_lost = port_lost || running;
    } else {
      const size_t length = op >= 240 ? input.ConsumeIntegralInRange<size_t>(0, 4096) : op % 40;
      std::vector<uint8_t> chunk = input.ConsumeBytes<uint8_t>(length);
      if (running) received.insert(received.end(), chunk.begin(), chunk.end());
      serial.Deliver(std::move(chunk));
    }
    if (running && !download.fgComPortOpen()) file_at_end = test::ReadBytes(df.Path());
  }
  const bool ended = download.fgTransferOK();
  if (download.fgComPortOpen()) {
    download.Exit();
    Require(boxes.shown.empty(), "a download without its end shows no message");
  } else {
    Require(boxes.shown.size() == 1, "a download ends with one message");
    Require(window.Idle(), "the window is idle after the download");
    Require(!serial.PortOpen(), "the port is closed after the download");
    Require(test::ReadBytes(df.Path()) == file_at_end, "events after the end change nothing");
  }

  const std::string bytes = test::ReadBytes(df.Path());
  const int32_t datano = download.datano();
  Require(datano > 0 || !std::filesystem::exists(df.Path()),
          "a download that brings no record leaves no file where there was none");
  CheckLines(bytes, datano, known_names, df.Path());

  bool ended_in_one_chunk = false;
  const std::string whole = InOneChunk(received, names, reference.Path(), ended_in_one_chunk);
  Require(bytes == whole, "the file does not depend on how the bytes were cut into events",
          [&] { return "chunked:\n" + bytes + "\none chunk:\n" + whole; });
  Require(ended == ended_in_one_chunk, "the end of memory does not depend on the cuts");

  if (ended) {
    Require(!port_lost, "a lost port never ends as a transfer");
    const std::string ok = "Data Received O.K!\r\nTotal Time ( ms ) =  ";
    Require(boxes.shown[0].prompt.compare(0, ok.size(), ok) == 0, "the final message",
            boxes.shown[0].prompt);
    Require(window.status == "Data Transfer OK", "the status after the transfer");
  } else if (port_lost) {
    const std::string saved = "The download has stopped. " + std::to_string(datano) +
                              (datano == 1 ? " reading was" : " readings were") + " saved to " +
                              df.Path() + ".";
    const std::string& prompt = boxes.shown[0].prompt;
    Require(prompt.size() >= saved.size() &&
                prompt.compare(prompt.size() - saved.size(), saved.size(), saved) == 0,
            "a lost port says how many readings were saved where", prompt);
  }
  Require(window.count == std::to_string(datano) || (!ended && !port_lost),
          "the count shown at the end is datano");
  return 0;
}
