#include "tools/meter_memory.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <stdexcept>

#include "download/frame.h"

namespace rx::sim {
namespace {

using Kind = MeterReading::Kind;

// Unit code tens above 9 go on as letters: "A" is 10, "Z" is 35.
char TensCharacter(int tens) { return static_cast<char>(tens <= 9 ? '0' + tens : 'A' + tens - 10); }

char ChannelCharacter(int channel) {
  return static_cast<char>(channel <= 9 ? '0' + channel : 'A' + channel - 10);
}

std::string ZeroPadded(uint32_t value, int width) {
  std::string text = std::to_string(value);
  if (static_cast<int>(text.size()) < width) text.insert(0, width - text.size(), '0');
  return text;
}

void AppendUnitCode(std::string& body, int code) {
  body += TensCharacter(code / 10);
  body += static_cast<char>('0' + code % 10);
}

// Overload displays: the thousands position (position 11) never holds a digit.
constexpr std::array<const char*, 3> kChannelOverloads = {"    OL  ", "        ", "   0.L  "};
constexpr std::array<const char*, 3> kCodedOverloads = {" OL ", "----", "OL  "};

class Dice {
 public:
  explicit Dice(uint32_t seed) : engine_(seed) {}
  int Between(int low, int high) { return std::uniform_int_distribution<int>(low, high)(engine_); }
  bool Percent(int chance) { return Between(0, 99) < chance; }
  double Uniform(double low, double high) {
    return std::uniform_real_distribution<double>(low, high)(engine_);
  }
  double Normal() { return std::normal_distribution<double>()(engine_); }
  template <typename T, size_t N>
  const T& Pick(const std::array<T, N>& options) {
    return options[Between(0, N - 1)];
  }
  template <typename T>
  void Shuffle(std::vector<T>& items) {
    std::shuffle(items.begin(), items.end(), engine_);
  }
  char PickChar(std::string_view options) { return options[Between(0, options.size() - 1)]; }

 private:
  std::mt19937 engine_;
};

// A whole number of one to `max_digits` digits, every length as likely as any other, so that
// small and large readings both occur.
uint32_t Digits(Dice& dice, int max_digits) {
  const int length = dice.Between(1, max_digits);
  uint32_t limit = 1;
  for (int i = 0; i < length; ++i) limit *= 10;
  return static_cast<uint32_t>(dice.Between(0, static_cast<int>(limit - 1)));
}

MeterReading TimeStamp(Dice& dice) {
  char text[16];
  std::snprintf(text, sizeof text, "%02d%02d%02d%02d%02d%02d", dice.Between(20, 29),
                dice.Between(1, 12), dice.Between(1, 28), dice.Between(0, 23), dice.Between(0, 59),
                dice.Between(0, 59));
  MeterReading reading;
  reading.kind = Kind::kTime;
  reading.time = text;
  return reading;
}

MeterReading ChannelReading(Dice& dice, const std::vector<int>& named_units) {
  MeterReading reading;
  reading.kind = Kind::kChannelReading;
  reading.channel = dice.Percent(80) ? dice.Between(1, 4) : dice.Between(5, 15);
  reading.unit_code = named_units[dice.Between(0, named_units.size() - 1)];
  reading.negative = dice.Percent(30);
  reading.decimal_code = dice.Percent(85) ? dice.Between(0, 6) : dice.Between(7, 9);
  reading.no_digits = dice.Percent(5);
  if (reading.no_digits) {
    reading.filler = dice.Pick(kChannelOverloads);
  } else {
    reading.digits = Digits(dice, 8);
  }
  return reading;
}

MeterReading CodedReading(Dice& dice) {
  MeterReading reading;
  reading.kind = Kind::kCodedReading;
  reading.coded_kind = dice.PickChar("0001112356789:");
  reading.negative = reading.coded_kind == '1' || reading.coded_kind == '3';
  reading.channel = dice.Percent(90) ? dice.PickChar("0123456789") : 'C';
  reading.unit_code = dice.Percent(80) ? dice.Between(0, 99) : dice.Between(100, 359);
  reading.decimal_code = dice.Between(0, 6);
  // Positions 5 and 7 to 10 mean nothing in a coded reading; now and then one holds STX,
  // which must not start a new frame.
  std::string unused;
  for (int i = 0; i < 5; ++i) unused += dice.PickChar(" 0123456789-");
  if (dice.Percent(10)) unused[dice.Between(0, 4)] = static_cast<char>(kStx);
  reading.no_digits = dice.Percent(5);
  if (reading.no_digits) {
    reading.filler = unused + dice.Pick(kCodedOverloads);
  } else {
    reading.filler = unused;
    reading.digits = Digits(dice, 4);
  }
  return reading;
}

std::string Framed(const std::string& body, char terminator = static_cast<char>(kCr)) {
  return static_cast<char>(kStx) + body + terminator;
}

// Junk that a line picks up between frames: anything but STX, ESC and CR included.
std::string Junk(Dice& dice) {
  std::string junk;
  const int length = dice.Between(1, 12);
  while (static_cast<int>(junk.size()) < length) {
    const int byte = dice.Percent(15) ? (dice.Percent(50) ? kEsc : kCr) : dice.Between(0, 255);
    if (byte != kStx) junk += static_cast<char>(byte);
  }
  return junk;
}

}  // namespace

std::string EncodeBody(const MeterReading& reading) {
  std::string body;
  switch (reading.kind) {
    case Kind::kTime:
      body = "40" + reading.time;
      break;
    case Kind::kChannelReading:
      body += '4';
      body += ChannelCharacter(reading.channel);
      AppendUnitCode(body, reading.unit_code);
      body += reading.negative ? '1' : '0';
      body += static_cast<char>('0' + reading.decimal_code);
      body += reading.no_digits ? reading.filler : ZeroPadded(reading.digits, 8);
      break;
    case Kind::kCodedReading:
      body += reading.coded_kind;
      body += static_cast<char>(reading.channel);
      AppendUnitCode(body, reading.unit_code);
      body += reading.filler[0];
      body += static_cast<char>('0' + reading.decimal_code);
      body += reading.filler.substr(1, 4);
      body += reading.no_digits ? reading.filler.substr(5, 4) : ZeroPadded(reading.digits, 4);
      break;
  }
  if (body.size() != 14) throw std::logic_error("frame body of " + std::to_string(body.size()));
  return body;
}

std::string ValueText(const MeterReading& reading) {
  if (reading.no_digits) return "999999";
  if (reading.digits == 0) return "0";
  std::string text = std::to_string(reading.digits);
  const bool channel = reading.kind == Kind::kChannelReading;
  if (channel && reading.decimal_code >= 7) {
    text.append(reading.decimal_code - 6, '0');
  } else if (reading.decimal_code > 0) {
    const size_t places = reading.decimal_code;
    if (text.size() <= places) text.insert(0, places + 1 - text.size(), '0');
    text.insert(text.size() - places, ".");
    while (text.back() == '0') text.pop_back();
    if (text.back() == '.') text.pop_back();
  }
  return reading.negative ? "-" + text : text;
}

std::string ExpectedLine(int32_t sequence, const MeterReading& reading, const UnitNames& units) {
  std::string line = std::to_string(sequence) + ",";
  switch (reading.kind) {
    case Kind::kTime:
      line += "\"" + reading.time + "\",\"Time\",0";
      break;
    case Kind::kChannelReading:
      line += ValueText(reading) + ",\"" + units(reading.unit_code) + "\"," +
              std::to_string(reading.channel);
      break;
    case Kind::kCodedReading:
      // The channel character is stored as the number it stands for as a digit ("C" is 19).
      line += ValueText(reading) + "," + std::to_string(reading.unit_code) + "," +
              std::to_string(reading.channel - '0');
      break;
  }
  return line + "\r\n";
}

std::vector<int> NamedUnitCodes(const UnitNames& units) {
  const std::string unfilled(UnitNames::kWidth, '\0');
  std::vector<int> codes;
  for (int code = 0; code < UnitNames::kEntries; ++code) {
    if (units(code) != unfilled) codes.push_back(code);
  }
  return codes;
}

std::vector<MeterReading> GenerateMemory(int records, uint32_t seed,
                                         const std::vector<int>& named_units) {
  if (named_units.empty()) throw std::invalid_argument("no named unit codes to choose from");
  Dice dice(seed);
  std::vector<MeterReading> memory;
  memory.reserve(records > 0 ? records : 0);
  for (int i = 0; i < records; ++i) {
    if (i == 0 || dice.Percent(3)) {
      memory.push_back(TimeStamp(dice));
    } else if (dice.Percent(55)) {
      memory.push_back(ChannelReading(dice, named_units));
    } else {
      memory.push_back(CodedReading(dice));
    }
  }
  return memory;
}

namespace {

// What one probe of a logging session measures, with its unit code in examples/unit2.dat.
struct LogQuantity {
  int unit_code;
  double level;      // the value it drifts about
  double swing;      // how far it drifts either way
  double noise;      // the spread of one reading about the drift
  int decimal_code;  // places after the point on the display
};

constexpr std::array<LogQuantity, 6> kLogQuantities = {{
    {12, 21.5, 2.5, 0.03, 2},    // deg C: a room's air
    {14, 48.0, 9.0, 0.2, 1},     // %RH: its humidity
    {0, 12.6, 0.45, 0.004, 3},   // V: a battery on charge and load
    {18, 1013.0, 5.0, 0.08, 1},  // hPa: the air pressure
    {3, 350.0, 120.0, 1.5, 1},   // mA: a load's current
    {8, 50.0, 0.08, 0.004, 3},   // Hz: the mains frequency
}};

// Logging intervals a technician sets, in seconds.
constexpr std::array<int, 6> kLogIntervals = {1, 2, 5, 10, 30, 60};

// One channel of the log: its quantity and the shape of its drift, a slow swing and a faster
// ripple, over the rounds of readings since the first session began.
struct LogChannel {
  int channel;
  LogQuantity quantity;
  double slow_period, slow_phase, fast_period, fast_phase;  // periods in rounds

  double ValueAt(double round) const {
    constexpr double kTurn = 2 * std::numbers::pi;
    return quantity.level +
           quantity.swing * (0.85 * std::sin(kTurn * round / slow_period + slow_phase) +
                             0.15 * std::sin(kTurn * round / fast_period + fast_phase));
  }
};

using LogTime = std::chrono::sys_seconds;

std::string TimeText(LogTime time) {
  using namespace std::chrono;
  const sys_days day = floor<days>(time);
  const year_month_day date{day};
  const hh_mm_ss clock{time - day};
  char text[16];
  std::snprintf(text, sizeof text, "%02d%02u%02u%02d%02d%02d", static_cast<int>(date.year()) % 100,
                static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                static_cast<int>(clock.hours().count()), static_cast<int>(clock.minutes().count()),
                static_cast<int>(clock.seconds().count()));
  return text;
}

MeterReading LogTimeStamp(LogTime time) {
  MeterReading reading;
  reading.kind = Kind::kTime;
  reading.time = TimeText(time);
  return reading;
}

MeterReading LogReading(Dice& dice, const LogChannel& channel, double round) {
  MeterReading reading;
  reading.kind = Kind::kChannelReading;
  reading.channel = channel.channel;
  reading.unit_code = channel.quantity.unit_code;
  reading.decimal_code = channel.quantity.decimal_code;
  // The noise is drawn for every reading, so that an overload does not shift the ones after it.
  const double value = channel.ValueAt(round) + channel.quantity.noise * dice.Normal();
  if (dice.Between(0, 149) == 0) {
    reading.no_digits = true;
    reading.filler = dice.Pick(kChannelOverloads);
    return reading;
  }
  const double scaled = std::round(std::abs(value) * std::pow(10.0, reading.decimal_code));
  reading.digits = static_cast<uint32_t>(std::min(scaled, 99'999'999.0));
  reading.negative = value < 0 && reading.digits != 0;
  return reading;
}

}  // namespace

std::vector<MeterReading> GenerateLogMemory(int records, uint32_t seed,
                                            const std::vector<int>& named_units) {
  if (named_units.empty()) throw std::invalid_argument("no named unit codes to choose from");
  Dice dice(seed);
  std::vector<LogQuantity> quantities;
  for (const LogQuantity& q : kLogQuantities) {
    if (std::find(named_units.begin(), named_units.end(), q.unit_code) != named_units.end()) {
      quantities.push_back(q);
    }
  }
  if (quantities.empty()) {
    for (size_t i = 0; i < kLogQuantities.size(); ++i) {
      quantities.push_back(kLogQuantities[i]);
      quantities.back().unit_code = named_units[i % named_units.size()];
    }
  }
  dice.Shuffle(quantities);

  const int interval = dice.Pick(kLogIntervals);
  const int channel_count = std::min<int>(dice.Between(1, 3), quantities.size());
  // A session's time frame and whole rounds of readings, one a channel at each tick; the second
  // session takes the rest, its last round perhaps cut short by the end of the memory.
  const int first_session = records < 20
                                ? records
                                : 1 + (static_cast<int>(records * dice.Uniform(0.55, 0.7)) - 1) /
                                          channel_count * channel_count;
  const int total_rounds = std::max(1, (records - 2) / channel_count);
  std::vector<LogChannel> channels;
  for (int i = 0; i < channel_count; ++i) {
    // However short the memory, the drift takes tens of rounds: it never turns into noise.
    const double slow_period = std::max(30.0, total_rounds * dice.Uniform(0.8, 1.6));
    const double slow_phase = dice.Uniform(0, 2 * std::numbers::pi);
    const double fast_period = std::max(8.0, total_rounds * dice.Uniform(0.12, 0.25));
    const double fast_phase = dice.Uniform(0, 2 * std::numbers::pi);
    channels.push_back({i + 1, quantities[i], slow_period, slow_phase, fast_period, fast_phase});
  }

  using namespace std::chrono;
  // One draw a statement: the order of an expression's operands is not fixed, a seed's memory is.
  const year_month_day date{year{2000 + dice.Between(20, 29)}, month(dice.Between(1, 12)),
                            day(dice.Between(1, 28))};
  const LogTime start = sys_days{date} + seconds{dice.Between(7 * 3600, 17 * 3600)};
  // The second session starts one to twenty hours after the first one's last round, on the
  // same interval.
  const int gap_rounds = dice.Between(3600, 72000) / interval;

  std::vector<MeterReading> memory;
  memory.reserve(records > 0 ? records : 0);
  int round = 0;  // rounds of readings since the first session began
  for (int i = 0; i < records;) {
    if (i == 0 || i == first_session) {
      if (i > 0) round += gap_rounds;
      memory.push_back(LogTimeStamp(start + seconds{static_cast<int64_t>(round) * interval}));
      ++i;
      continue;
    }
    for (const LogChannel& channel : channels) {
      if (i == records || i == first_session) break;
      memory.push_back(LogReading(dice, channel, round));
      ++i;
    }
    ++round;
  }
  return memory;
}

size_t MeterStream::StoredBefore(size_t offset) const {
  return std::count_if(frames.begin(), frames.end(),
                       [offset](const FrameEnd& f) { return f.stored && f.end <= offset; });
}

size_t MeterStream::FramesBefore(size_t offset) const {
  return std::count_if(frames.begin(), frames.end(),
                       [offset](const FrameEnd& f) { return f.end <= offset; });
}

MeterStream EncodeStream(const std::vector<MeterReading>& memory, const NoiseOptions& noise,
                         uint32_t seed) {
  Dice dice(seed ^ 0x9E3779B9u);  // not the memory's own sequence of choices
  MeterStream stream;
  auto add_frame = [&stream](const std::string& bytes, bool stored) {
    stream.bytes += bytes;
    stream.frames.push_back({stream.bytes.size(), stored});
  };
  auto add_noise = [&] {
    if (!noise.enabled) return;
    if (dice.Percent(noise.gap_percent)) stream.bytes += Junk(dice);
    if (!dice.Percent(noise.bad_frame_percent)) return;
    const std::string body = EncodeBody(ChannelReading(dice, {0}));
    if (dice.Percent(50)) {
      // A wrong terminator; the receiver looks at that byte again as a possible start byte.
      constexpr std::array<char, 6> kTerminators = {'\n', 'X', '\0', kEsc, '\xFF', '4'};
      add_frame(Framed(body, dice.Pick(kTerminators)), false);
    } else {
      // A body byte lost on the line: the CR comes one place early and the next frame's STX
      // lands where the terminator belongs.
      std::string short_body = body;
      short_body.erase(dice.Between(0, 13), 1);
      add_frame(static_cast<char>(kStx) + short_body + static_cast<char>(kCr), false);
    }
  };
  for (const MeterReading& reading : memory) {
    add_noise();
    add_frame(Framed(EncodeBody(reading)), true);
  }
  if (noise.enabled && dice.Percent(noise.gap_percent)) stream.bytes += Junk(dice);
  const std::string end_marker = Framed(std::string(14, static_cast<char>(kEsc)));
  add_frame(end_marker, false);
  add_frame(end_marker, false);
  return stream;
}

std::string ExpectedDataFile(const std::vector<MeterReading>& memory, const UnitNames& units) {
  std::string file;
  int32_t sequence = 0;
  for (const MeterReading& reading : memory) file += ExpectedLine(sequence++, reading, units);
  return file;
}

}  // namespace rx::sim
