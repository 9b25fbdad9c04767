// Saves a picture of the Ko trigger page connected to a simulated camera:
//   kelpax-page-shot [model] [file.png]
// Runs on any Qt platform; under xvfb-run it uses the same fonts and style as a desktop.
#include <QApplication>
#include <QPixmap>
#include <cstdio>
#include <string>

#include <unistd.h>

#include "link/command_exchange.h"
#include "pages/trigger_page.h"
#include "session/connected_camera.h"
#include "sim/pty_camera.h"

using namespace kelpax;

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const std::string model = argc > 1 ? argv[1] : "Ko-25MC-C65";
  const QString file = argc > 2 ? QString::fromLocal8Bit(argv[2]) : "trigger-page.png";

  sim::PtyOptions options;
  options.model = model;
  options.linkPath = "/tmp/kelpax-page-shot-" + std::to_string(getpid());
  options.baud = 115200;
  options.pacing = false;
  sim::PtyCamera camera(options);
  std::string error;
  if (!camera.start(&error)) {
    std::fprintf(stderr, "kelpax-page-shot: simulator: %s\n", error.c_str());
    return 1;
  }
  CameraPort port;
  PortEntry entry;
  entry.portName = options.linkPath;
  port.addPort(entry);
  if (port.OpenPort(0, 16) != 0) {
    std::fprintf(stderr, "kelpax-page-shot: cannot open %s\n", options.linkPath.c_str());
    return 1;
  }
  CommandExchange exchange(port);
  ConnectedCamera connected(exchange);
  connected.identify(model);
  if (const int missing = connected.fillCache().missing; missing > 0)
    std::fprintf(stderr, "kelpax-page-shot: %d settings not read\n", missing);

  CKo_TriggerSetting page(connected);
  page.setWindowTitle("Mode / Exposure");
  page.resize(page.sizeHint().expandedTo(QSize(720, 0)));
  page.setControlsFromCache();
  page.postRefreshAll();
  page.show();
  for (int i = 0; i < 10; ++i)
    QApplication::processEvents();

  if (!page.grab().save(file)) {
    std::fprintf(stderr, "kelpax-page-shot: cannot write %s\n", qPrintable(file));
    return 1;
  }
  std::printf("%s\n", qPrintable(file));
  return 0;
}
