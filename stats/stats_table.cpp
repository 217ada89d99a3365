#include "stats/stats_table.h"

#include "data/data_file.h"
#include "data/data_viewer.h"
#include "data/record_texts.h"

namespace rx {
namespace {

std::string AtText(const std::optional<double>& value, int32_t number) {
  if (!value) return {};
  return ValueText(value) + " (No. " + std::to_string(number) + ")";
}

std::string NumberText(const std::optional<int32_t>& number) {
  return number ? std::to_string(*number) : std::string();
}

}  // namespace

std::string ValueText(const std::optional<double>& value) {
  if (!value) return {};
  std::string text;
  AppendDoubleReadingBack(text, *value);
  return text;
}

StatsTexts StatsCells(const SeriesStats& s) {
  return {VisibleText(s.key.name),     std::to_string(s.readings),  std::to_string(s.no_digits),
          AtText(s.min, s.min_number), AtText(s.max, s.max_number), ValueText(s.mean),
          ValueText(s.std_dev),        NumberText(s.first_number),  NumberText(s.last_number)};
}

SessionTexts SessionCells(const SessionStats& session) {
  return {NumberText(session.number),
          session.number ? VisibleText(TimeDisplay(session.time_text)) : std::string(),
          std::to_string(session.readings)};
}

}  // namespace rx
