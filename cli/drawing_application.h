#pragma once

#include <QApplication>
#include <memory>

namespace rx::cli {

// The Qt application a command that draws (plot, report) needs, on Qt's offscreen platform
// unless the caller chose one: drawing needs no display. Qt's warning that XDG_RUNTIME_DIR is not
// set (from cron, after su) stays off standard error, which carries the command's own messages.
std::unique_ptr<QApplication> StartDrawing();

}  // namespace rx::cli
