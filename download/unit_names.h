#pragma once

#include <array>
#include <string>
#include <string_view>

namespace rx {

// Unit names by unit code 0 to 300, each exactly 10 characters. An entry that the unit table
// did not fill holds ten characters of code 0.
class UnitNames {
 public:
  static constexpr int kEntries = 301;
  static constexpr size_t kWidth = 10;

  UnitNames() { names_.fill(std::string(kWidth, '\0')); }

  // Keeps the first 10 characters of `name`, padding a shorter one with blanks.
  void Store(int index, std::string_view name) {
    std::string fitted(name.substr(0, kWidth));
    fitted.resize(kWidth, ' ');
    names_.at(index) = std::move(fitted);
  }

  // The name for a unit code; a code with no entry (below 0 or above 300) has ten blanks.
  const std::string& operator()(int index) const {
    static const std::string kNoEntry(kWidth, ' ');
    return index >= 0 && index < kEntries ? names_[index] : kNoEntry;
  }

 private:
  std::array<std::string, kEntries> names_;
};

}  // namespace rx
