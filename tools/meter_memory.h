#pragma once

#include <cstddef>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "download/unit_names.h"

namespace rx::sim {

// One entry of the meter's memory, as the meter chose it: what it measured, not how it is
// written on the wire.
struct MeterReading {
  enum class Kind { kTime, kChannelReading, kCodedReading };
  Kind kind = Kind::kChannelReading;

  std::string time;  // time frames: twelve digits yymmddhhmmss

  // Readings: the display digits as a whole number and the decimal code that scales them.
  // Channel readings carry up to eight digits and codes 0-6 (divide by 10^code) or 7-9
  // (multiply by 10, 100, 1000); coded readings carry up to four digits and divide.
  bool no_digits = false;  // the display showed no valid digits (overload): stored as 999999
  bool negative = false;
  uint32_t digits = 0;
  int decimal_code = 0;
  int unit_code = 0;  // 0-300 for channel readings, up to 359 for coded readings
  // Channel readings: channel number 1-15. Coded readings: the channel character as sent.
  int channel = 1;
  char coded_kind = '0';  // coded readings: position 1, any character but "4"
  // Characters the meter leaves in positions the program ignores, or shows for an overload.
  std::string filler;
};

// The fourteen body bytes that carry `reading` on the wire.
std::string EncodeBody(const MeterReading& reading);

// The value as a correct download writes it: exact decimal text worked out from the digits
// and the decimal code ("-1.234", "999999", "120000", "0.0005").
std::string ValueText(const MeterReading& reading);

// The data file line (with CR LF) that a correct download stores for `reading` as its
// `sequence`th record.
std::string ExpectedLine(int32_t sequence, const MeterReading& reading, const UnitNames& units);

// The unit codes that the unit table gives a name to (an entry the table did not fill holds
// ten characters of code 0).
std::vector<int> NamedUnitCodes(const UnitNames& units);

// A meter memory of `records` entries: a time frame first, then channel and coded readings
// with now and then another time frame (a new logging session). Channel readings use only the
// unit codes in `named_units` (which must not be empty); the same seed gives the same memory.
std::vector<MeterReading> GenerateMemory(int records, uint32_t seed,
                                         const std::vector<int>& named_units);

// A meter memory of `records` entries shaped like a real logging session, for demonstrations
// and pictures: a time frame, then readings at a steady interval on one to three channels, each
// with a unit of its own and values that drift smoothly with a little noise, now and then one
// without valid digits; from about 20 entries on, a second session later with a time frame of
// its own. Units are those of examples/unit2.dat that `named_units` holds (deg C, %RH, V, hPa,
// mA, Hz); when it holds none of them, its own codes stand in. The same seed gives the same
// memory.
std::vector<MeterReading> GenerateLogMemory(int records, uint32_t seed,
                                            const std::vector<int>& named_units);

struct NoiseOptions {
  bool enabled = false;
  int gap_percent = 20;       // chance of junk bytes (never STX) before a frame
  int bad_frame_percent = 8;  // chance of a frame that the receiver must drop before a frame
};

// The bytes on the wire and where each frame ends in them.
struct MeterStream {
  std::string bytes;
  struct FrameEnd {
    size_t end = 0;       // offset just past the frame's last byte
    bool stored = false;  // a correct download stores a record for it
  };
  std::vector<FrameEnd> frames;  // every frame sent: readings, dropped frames, end marker

  size_t StoredBefore(size_t offset) const;  // records whose frame lies wholly before offset
  size_t FramesBefore(size_t offset) const;
};

// The meter memory as it goes on the wire: each reading as a frame, then the end-of-memory
// marker (two frames whose body bytes are all ESC). With noise, junk bytes between frames and
// frames that a correct receiver drops (a wrong terminator, a frame short of one byte); they
// never hold ESC inside a frame, which would count towards the end marker.
MeterStream EncodeStream(const std::vector<MeterReading>& memory, const NoiseOptions& noise,
                         uint32_t seed);

// The data file that a correct download of `memory` writes.
std::string ExpectedDataFile(const std::vector<MeterReading>& memory, const UnitNames& units);

}  // namespace rx::sim
