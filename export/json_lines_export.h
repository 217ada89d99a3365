#pragma once

#include <ostream>
#include <vector>

#include "data/readings.h"

namespace rx {

// Writes `readings` as JSON Lines: one object per record, with the export's columns as keys in
// order, LF after each. A value, time or last_time_stamp that a record does not have is null.
// The output is valid UTF-8; control characters, NUL included, are escaped. Check `out`'s state
// for write errors.
void WriteJsonLines(std::ostream& out, const std::vector<Reading>& readings);

}  // namespace rx
