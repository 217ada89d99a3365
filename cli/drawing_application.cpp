#include "cli/drawing_application.h"

namespace rx::cli {
namespace {

// As it starts, Qt looks for a sandbox's marker in the user's runtime directory and, where
// XDG_RUNTIME_DIR is not set (cron, su), warns that it takes a default. A chart needs no runtime
// directory: that warning is Qt's, not the command's, and stays off standard error. Every other
// message of Qt's goes on as before.
QtMessageHandler qt_messages = nullptr;

void WithoutRuntimeDirWarning(QtMsgType type, const QMessageLogContext& context,
                              const QString& message) {
  if (type == QtWarningMsg &&
      message.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR not set"))) {
    return;
  }
  qt_messages(type, context, message);
}

}  // namespace

std::unique_ptr<QApplication> StartDrawing() {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  // QApplication keeps referring to its arguments.
  static int argc = 1;
  static char name[] = "rx7731-cli";
  static char* argv[] = {name, nullptr};
  qt_messages = qInstallMessageHandler(WithoutRuntimeDirWarning);
  auto application = std::make_unique<QApplication>(argc, argv);
  qInstallMessageHandler(qt_messages);
  return application;
}

}  // namespace rx::cli
