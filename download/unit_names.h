#pragma once

#include <array>
#include <string>
#include <string_view>

#include "data/text_encoding.h"

namespace rx {

// Unit names by unit code 0 to 300, each exactly 10 characters in the unit table's encoding.
// An entry that the unit table did not fill holds ten characters of code 0.
class UnitNames {
 public:
  static constexpr int kEntries = 301;
  static constexpr size_t kWidth = 10;

  UnitNames() { names_.fill(std::string(kWidth, '\0')); }

  // The encoding the names are stored in, and so written to the data file in: the unit table's.
  // Set before names are stored.
  TextEncoding Encoding() const { return encoding_; }
  void SetEncoding(TextEncoding encoding) { encoding_ = encoding; }

  // Keeps the first 10 characters of `name`, padding a shorter one with blanks. A UTF-8 name is
  // cut between characters, so its entry may be longer than 10 bytes.
  void Store(int index, std::string_view name) {
    const TextPrefix kept = FirstCharacters(name, kWidth, encoding_);
    std::string fitted(name.substr(0, kept.bytes));
    fitted.append(kWidth - kept.characters, ' ');
    names_.at(index) = std::move(fitted);
  }

  // The name for a unit code; a code with no entry (below 0 or above 300) has ten blanks.
  const std::string& operator()(int index) const {
    static const std::string kNoEntry(kWidth, ' ');
    return index >= 0 && index < kEntries ? names_[index] : kNoEntry;
  }

 private:
  std::array<std::string, kEntries> names_;
  TextEncoding encoding_ = TextEncoding::kCp1252;
};

}  // namespace rx
