#pragma once

#include <string>

namespace rx {

inline constexpr const char* kAppTitle = "RX7731";

// Modal message boxes. Each call returns when the user has closed the box.
class MessageBox {
 public:
  virtual ~MessageBox() = default;
  // A box with an OK button.
  virtual void Inform(const std::string& prompt, const std::string& title = kAppTitle) = 0;
  // A Yes/No box with a stop icon and No as the default button; true for Yes.
  virtual bool AskYesNo(const std::string& prompt, const std::string& title) = 0;
};

}  // namespace rx
