// Program entry: the crash message box (started by a crashed Kelpax) or the program itself.
#include <QApplication>
#include <QMessageBox>
#include <cstring>

#include "app/crash_handler.h"
#include "app/kelpax_app.h"

int main(int argc, char** argv) {
  if (argc == 4 && std::strcmp(argv[1], kelpax::kCrashMessageArgument) == 0) {
    QApplication app(argc, argv);
    QMessageBox box(QMessageBox::Critical, QString::fromLocal8Bit(argv[2]),
                    QString::fromLocal8Bit(argv[3]), QMessageBox::Ok);
    box.exec();
    return 0;
  }
  CKelpaxApp app(argc, argv);
  return app.run();
}
