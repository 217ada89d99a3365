#pragma once

#include <cstdint>
#include <string>

namespace rx {

// The window controls that a download changes. Colours are 0x00BBGGRR.
class WindowControls {
 public:
  virtual ~WindowControls() = default;
  virtual void SetTransferStatus(const std::string& caption) = 0;  // the status line
  virtual void SetRecordCount(const std::string& caption) = 0;     // the count display
  virtual void SetStartEnabled(bool enabled) = 0;
  virtual void SetViewDataEnabled(bool enabled) = 0;
  virtual void SetTimerEnabled(bool enabled) = 0;
  virtual void SetIndicatorVisible(bool visible) = 0;  // the blinking circle
  virtual void SetIndicatorColor(uint32_t bgr) = 0;
  virtual void SetReceivingVisible(bool visible) = 0;  // "Receiving Data ..."
};

}  // namespace rx
