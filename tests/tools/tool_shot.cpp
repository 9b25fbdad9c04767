// Saves pictures of the service tools on simulated cameras: the Peltier page with a cooling run
// in its monitor, the nano-stage page with its PZT voltage chart, and the factory tuning dialog
// of a CCD camera.
//   kelpax-tool-shot FOLDER
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QPixmap>
#include <cstdio>
#include <string>

#include <unistd.h>

#include "link/command_exchange.h"
#include "session/connected_camera.h"
#include "sim/pty_camera.h"
#include "tools/fs_dlg.h"
#include "tools/peltier_page.h"
#include "tools/stage_page.h"
#include "transfer/binary_transfer.h"

using namespace kelpax;

namespace {

struct Connected {
  explicit Connected(const std::string& model) {
    sim::PtyOptions options;
    options.model = model;
    options.linkPath = "/tmp/kelpax-tool-shot-" + std::to_string(getpid()) + model;
    options.baud = 115200;
    options.pacing = false;
    camera = std::make_unique<sim::PtyCamera>(options);
    std::string error;
    if (!camera->start(&error))
      std::fprintf(stderr, "kelpax-tool-shot: simulator: %s\n", error.c_str());
    PortEntry entry;
    entry.portName = options.linkPath;
    port.addPort(entry);
    port.OpenPort(0, 16);
    connected.identify(model);
    connected.fillCache();
  }
  std::unique_ptr<sim::PtyCamera> camera;
  CameraPort port;
  CommandExchange exchange{port};
  ConnectedCamera connected{exchange};
};

void settle(const std::function<bool()>& done) {
  QElapsedTimer timer;
  timer.start();
  while (!done() && timer.elapsed() < 20000)
    QApplication::processEvents(QEventLoop::AllEvents, 5);
  for (int i = 0; i < 10; ++i)
    QApplication::processEvents();
}

bool save(QWidget* widget, const QString& file) {
  if (widget->grab().save(file))
    return true;
  std::fprintf(stderr, "kelpax-tool-shot: cannot write %s\n", qPrintable(file));
  return false;
}

} // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const QDir folder(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("."));
  bool ok = true;
  {
    Connected camera("KnP-16M-M4");
    CPeltierCtrlDlg page(camera.connected);
    page.setTuningForm(true);
    page.resize(460, 420);
    page.show();
    page.fanRadio(true)->click();
    page.peltierRadio(true)->click();
    page.targetEdit()->setText(QStringLiteral("5"));
    Q_EMIT page.targetEdit()->returnPressed();
    const QString csv = QDir::temp().filePath(QStringLiteral("kelpax-tool-shot-aging.csv"));
    QFile::remove(csv);
    page.setCsvFileChooser([&] { return csv; });
    page.setMonitorPacing(1, [&] { camera.camera->advanceClock(1.0); });
    page.monitorButton()->click();
    settle([&] { return page.monitor()->passes() >= 180; });
    page.monitor()->stop(QStringLiteral("Three minutes logged."));
    page.monitor()->chart()->resize(720, 420);
    settle([] { return true; });
    ok &= save(&page, folder.filePath(QStringLiteral("peltier-page.png")));
    ok &= save(page.monitor()->chart(), folder.filePath(QStringLiteral("temperature-monitor.png")));
    QFile::remove(csv);
  }
  {
    Connected camera("KnP-16M-M4");
    CStageCtrlDlg page(camera.connected);
    page.setTuningForm(true);
    page.setPauses(0, 1, 0);
    page.resize(560, 720);
    page.show();
    page.button(QStringLiteral("ReLoad"))->click();
    page.button(QStringLiteral("VoltageMonitor"))->click();
    int target = 0;
    settle([&] {
      const size_t points = page.voltageChart()->pointCount();
      if (points > 0 && points % 15 == 0 && points / 15 != size_t(target)) {
        target = int(points / 15);
        camera.connected.sendCommand("snp " + std::to_string(target * 2500 % 30000) + " " +
                                         std::to_string(target * 1500 % 30000),
                                     {.timeoutMs = 3000});
      }
      return points >= 200;
    });
    page.voltageChart()->stopButton()->click();
    page.voltageChart()->resize(720, 420);
    settle([] { return true; });
    ok &= save(&page, folder.filePath(QStringLiteral("stage-page.png")));
    ok &= save(page.voltageChart(), folder.filePath(QStringLiteral("pzt-voltage-chart.png")));
  }
  {
    Connected camera("Kx-4M-M40");
    BinaryTransfer transfer(camera.exchange);
    CFSDlg::Options options;
    options.transfer = &transfer;
    CFSDlg dlg(camera.connected, std::move(options));
    dlg.show();
    dlg.readFromCamera();
    dlg.button(QStringLiteral("S/N Load"))->click();
    // A tuning in progress: the offset set on view, the sample-and-hold edges checked.
    dlg.offsetRadio()->click();
    for (int row : {6, 7, 8, 9})
      dlg.channelBox(row)->setChecked(true);
    dlg.addressEdit()->setText(QStringLiteral("0x1A0"));
    settle([] { return true; });
    ok &= save(&dlg, folder.filePath(QStringLiteral("factory-dialog.png")));
  }
  return ok ? 0 : 1;
}
