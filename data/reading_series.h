#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "data/readings.h"

namespace rx {

// The series a reading belongs to, as every view beside the grid groups them (the chart, the
// statistics): one series per channel and unit. A coded reading's unit code is a unit of its
// own, "code N", so coded readings never join a series of named units.
struct SeriesKey {
  int16_t channel = 0;
  std::string unit;  // the unit name, "code N" for a coded reading's unit code
  std::string name;  // the legend's text: "ch 1 V"
};

// Numbers the series of readings fed one at a time, in the order of their first reading.
class SeriesIndex {
 public:
  // The series of `reading` (not a time record), added at the first reading of its series.
  size_t IndexOf(const Reading& reading);

  const std::vector<SeriesKey>& Keys() const { return keys_; }

  // The order the views list the series in: by channel, then by their first reading. The
  // indices are those IndexOf returned.
  std::vector<size_t> ListingOrder() const;

 private:
  std::map<std::pair<int16_t, std::string>, size_t> index_of_;
  std::vector<SeriesKey> keys_;
};

}  // namespace rx
