// The message box a crashed program asks a fresh copy of itself to show: started with
// "--crash-message CAPTION TEXT", it shows the box and ends.
#pragma once

#include <QApplication>
#include <QMessageBox>
#include <cstring>
#include <optional>

#include "app/crash_handler.h"

namespace kelpax {

// The exit code when the arguments asked for the crash message, nothing otherwise.
inline std::optional<int> showCrashMessageIfAsked(int argc, char** argv) {
  if (argc != 4 || std::strcmp(argv[1], kCrashMessageArgument) != 0)
    return std::nullopt;
  QApplication app(argc, argv);
  QMessageBox box(QMessageBox::Critical, QString::fromLocal8Bit(argv[2]),
                  QString::fromLocal8Bit(argv[3]), QMessageBox::Ok);
  box.exec();
  return 0;
}

} // namespace kelpax
