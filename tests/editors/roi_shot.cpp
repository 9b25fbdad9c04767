// Saves a picture of the multi-region dialog on a simulated Ko 25M camera with three regions
// reading out (README).
//   kelpax-roi-shot FILE.png
#include <QApplication>
#include <QPixmap>
#include <cstdio>
#include <string>

#include <unistd.h>

#include "editors/setting_multi_roi_dlg.h"
#include "link/command_exchange.h"
#include "session/connected_camera.h"
#include "sim/pty_camera.h"

using namespace kelpax;

namespace {

struct Printed : MessageBoxSink {
  void showMessage(std::string_view, std::string_view text, MessageIcon) override {
    std::fprintf(stderr, "kelpax-roi-shot: %.*s\n", int(text.size()), text.data());
    failed = true;
  }
  bool failed = false;
};

} // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: kelpax-roi-shot FILE.png\n");
    return 2;
  }
  const std::string model = "Ko-25MC-C65";
  sim::PtyOptions options;
  options.model = model;
  options.linkPath = "/tmp/kelpax-roi-shot-" + std::to_string(getpid());
  options.baud = 115200;
  options.pacing = false;
  sim::PtyCamera camera(options);
  std::string error;
  if (!camera.start(&error)) {
    std::fprintf(stderr, "kelpax-roi-shot: simulator: %s\n", error.c_str());
    return 1;
  }
  CameraPort port;
  PortEntry entry;
  entry.portName = options.linkPath;
  port.addPort(entry);
  if (port.OpenPort(0, 16) != 0)
    return 1;
  CommandExchange exchange(port);
  ConnectedCamera connected(exchange);
  connected.identify(model);

  MultiRoi regions(connected, MultiRoiVariant::Ko25MC);
  Printed messages;
  CSettingMultiRoi dlg(regions, messages);
  dlg.resize(820, 420);
  dlg.show();
  dlg.readFromCamera();
  // Three regions of one shared width, spread over the sensor.
  bool ok = regions.setCell(0, RoiColumn::Width, 1400).ok;
  ok = ok && regions.setRegion(0, 300, 400, 1400, 1200).ok;
  ok = ok && regions.setRegion(1, 2600, 900, 1400, 1600).ok && regions.setEnabled(1, true).ok;
  ok = ok && regions.setRegion(2, 1200, 3200, 1400, 1500).ok && regions.setEnabled(2, true).ok;
  dlg.showRegions();
  dlg.table()->setCurrentCell(1, 0);
  for (int i = 0; i < 10; ++i)
    QApplication::processEvents();
  if (!ok || messages.failed)
    return 1;
  if (!dlg.grab().save(QString::fromLocal8Bit(argv[1]))) {
    std::fprintf(stderr, "kelpax-roi-shot: cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
