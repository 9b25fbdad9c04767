// Built only by the core_rejects_qt test: the core must not be able to see Qt.
#include <QObject>

int coreQtProbe() {
  return 0;
}
