// Saves a picture of the Ko trigger page connected to a simulated camera, or one picture per
// tab of a model as the main window's page area shows it:
//   kelpax-page-shot [model] [file.png]
//   kelpax-page-shot --tabs model[,model...] folder      (folder/model-N-CAPTION.png)
//   kelpax-page-shot --factory model file.png (the Ko factory page, read from the camera)
// Runs on any Qt platform; under xvfb-run it uses the same fonts and style as a desktop.
#include <QApplication>
#include <QPixmap>
#include <QRegularExpression>
#include <cstdio>
#include <string>

#include <unistd.h>

#include "app/page_area.h"
#include "camera/model_catalog.h"
#include "link/command_exchange.h"
#include "pages/ko/ko_kosetting.h"
#include "pages/settings_page.h"
#include "pages/trigger_page.h"
#include "session/connected_camera.h"
#include "sim/pty_camera.h"

using namespace kelpax;

namespace {

// Every tab of the connected model, each page filled from the cache as after connecting.
int shootTabs(ConnectedCamera& connected, const std::string& model, const QString& folder) {
  CPageArea area(connected);
  area.resize(1000, 640);
  for (SettingsPage* page : area.genericPages()) {
    page->setControlsFromCache();
    page->postRefreshAll();
  }
  area.show();
  const std::vector<std::string> captions =
      tabCaptions(connected.modelDescriptor(), connected.parameterCache());
  for (size_t tab = 0; tab < captions.size(); ++tab) {
    area.showTab(pageForTab(connected.modelDescriptor(), connected.parameterCache(), int(tab)),
                 true);
    for (int i = 0; i < 10; ++i)
      QApplication::processEvents();
    QString caption = QString::fromStdString(captions[tab]);
    caption.replace(QRegularExpression("[^A-Za-z0-9]"), "_");
    const QString file =
        QString("%1/%2-%3-%4.png").arg(folder, QString::fromStdString(model)).arg(tab).arg(caption);
    if (!area.grab().save(file)) {
      std::fprintf(stderr, "kelpax-page-shot: cannot write %s\n", qPrintable(file));
      return 1;
    }
    std::printf("%s\n", qPrintable(file));
  }
  return 0;
}

enum class Shot { TriggerPage, Tabs, FactoryPage };

// A simulated camera of `model`, connected and read as the main window does; then the tabs of
// the model, the Ko factory page or the trigger page alone.
int shootModel(const std::string& model, Shot shot, const QString& file) {
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

  if (shot == Shot::Tabs)
    return shootTabs(connected, model, file);

  if (shot == Shot::FactoryPage) {
    CKo_Kosetting tuning(connected);
    tuning.resize(tuning.sizeHint().expandedTo(QSize(900, 0)));
    tuning.setControlsFromCache();
    tuning.readAll();
    tuning.show();
    for (int i = 0; i < 10; ++i)
      QApplication::processEvents();
    if (!tuning.grab().save(file)) {
      std::fprintf(stderr, "kelpax-page-shot: cannot write %s\n", qPrintable(file));
      return 1;
    }
    std::printf("%s\n", qPrintable(file));
    return 0;
  }

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

} // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const bool tabs = argc > 1 && std::string(argv[1]) == "--tabs";
  const bool factory = argc > 1 && std::string(argv[1]) == "--factory";
  const int first = tabs || factory ? 2 : 1;
  const std::string models = argc > first ? argv[first] : "Ko-25MC-C65";
  const QString file = argc > first + 1 ? QString::fromLocal8Bit(argv[first + 1])
                                        : (tabs ? "." : "trigger-page.png");
  if (!tabs)
    return shootModel(models, factory ? Shot::FactoryPage : Shot::TriggerPage, file);
  // One model after the other, each on a simulated camera of its own.
  for (const QString& model : QString::fromStdString(models).split(',', Qt::SkipEmptyParts)) {
    if (const int failed = shootModel(model.trimmed().toStdString(), Shot::Tabs, file))
      return failed;
  }
  return 0;
}
