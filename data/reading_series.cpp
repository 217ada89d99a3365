#include "data/reading_series.h"

#include <algorithm>
#include <numeric>

namespace rx {

size_t SeriesIndex::IndexOf(const Reading& reading) {
  std::string unit = reading.kind == RecordKind::kCoded ? "code " + reading.unit : reading.unit;
  auto [it, added] = index_of_.try_emplace({reading.channel, unit}, keys_.size());
  if (added) {
    SeriesKey& key = keys_.emplace_back();
    key.channel = reading.channel;
    key.name = "ch " + std::to_string(reading.channel) + (unit.empty() ? "" : " " + unit);
    key.unit = std::move(unit);
  }
  return it->second;
}

std::vector<size_t> SeriesIndex::ListingOrder() const {
  std::vector<size_t> order(keys_.size());
  std::iota(order.begin(), order.end(), size_t{0});
  std::stable_sort(order.begin(), order.end(),
                   [&](size_t a, size_t b) { return keys_[a].channel < keys_[b].channel; });
  return order;
}

}  // namespace rx
