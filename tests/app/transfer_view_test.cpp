// The main window's status bar during a real transfer to a simulated camera: what each moment
// of the transfer shows.
#include <QApplication>
#include <QProgressBar>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <unistd.h>

#include "app/status_bar_widget.h"
#include "app/transfer_view.h"
#include "link/camera_port.h"
#include "link/command_exchange.h"
#include "pages/control_widgets.h"
#include "sim/pty_camera.h"
#include "transfer/binary_transfer.h"

using namespace kelpax;

namespace {

struct Snapshot {
  std::string event;
  bool temperatureShown;
  bool cancelShown;
  bool cancelEnabled;
  QString cancelText;
  bool barShown;
  int barValue;
  QString part0;
  QString part1;
};

// Passes each call on to the window's view, then notes what the status bar shows.
class Watcher : public TransferObserver {
public:
  Watcher(CTransferView& view, CMyStatusBar& bar, QProgressBar& progress, QWidget& temperature,
          CMyButton& cancel)
      : view_(view), bar_(bar), progress_(progress), temperature_(temperature), cancel_(cancel) {}
  void transferActive(bool on) override { view_.transferActive(on), note("active"); }
  void progressBarShown(bool on) override { view_.progressBarShown(on), note("bar"); }
  void progressShown(int p) override { view_.progressShown(p), note("progress"); }
  void percentCleared() override { view_.percentCleared(), note("cleared"); }
  void cancelButtonChanged(bool s, bool e, const std::string& t) override {
    view_.cancelButtonChanged(s, e, t), note("cancel");
  }
  void statusShown(const std::string& t) override { view_.statusShown(t), note("status"); }
  void beep(int hz, int ms) override { view_.beep(hz, ms), note("beep"); }

  std::vector<Snapshot> seen;

private:
  void note(const char* event) {
    seen.push_back({event, !temperature_.isHidden(), !cancel_.isHidden(), cancel_.isEnabled(),
                    cancel_.text(), !progress_.isHidden(), progress_.value(), bar_.partText(0),
                    bar_.partText(1)});
  }
  CTransferView& view_;
  CMyStatusBar& bar_;
  QProgressBar& progress_;
  QWidget& temperature_;
  CMyButton& cancel_;
};

// Would catch the ">" button left visible, Cancel usable while the camera stores, the
// percentage in the wrong form, or the bar left up after the transfer.
TEST(TransferView, StatusBarThroughADownload) {
  sim::PtyOptions options;
  options.model = "Ko-25MC-C65";
  options.linkPath = "/tmp/kelpax-view-" + std::to_string(getpid());
  options.baud = 115200;
  options.pacing = false;
  sim::PtyCamera camera(options);
  ASSERT_TRUE(camera.start(nullptr));
  CameraPort port;
  PortEntry entry;
  entry.portName = options.linkPath;
  port.addPort(entry);
  ASSERT_EQ(port.OpenPort(0, 16), 0);
  CommandExchange exchange(port);

  QWidget window;
  CMyStatusBar bar(&window);
  auto* progress = new QProgressBar(&bar);
  progress->setRange(0, 100);
  progress->hide();
  bar.setProgressBar(progress);
  CMyButton* temperature = bar.addButton(QStringLiteral(">"), 32800, QRect(303, 3, 22, 18));
  CMyButton* cancel = bar.addButton(QStringLiteral("Cancel"), 32808, QRect(243, 3, 72, 18));
  cancel->hide();
  window.show();
  std::vector<std::pair<int, int>> beeps;
  CTransferView view(&bar, progress, temperature, cancel,
                     [&](int hz, int ms) { beeps.emplace_back(hz, ms); });
  EXPECT_FALSE(cancel->icon().isNull()) << "Cancel carries its icon";
  Watcher watcher(view, bar, *progress, *temperature, *cancel);

  BinaryTransfer transfer(exchange, &watcher);
  DownloadPlan plan{std::vector<uint8_t>(1500, 0x5A), 0x0200, 0x0201, 3000, 3000};
  ASSERT_TRUE(transfer.SendBinary(plan).ok());

  bool sawHalfway = false, sawStoring = false;
  for (const Snapshot& s : watcher.seen) {
    if (s.event == std::string("progress") && s.barValue == 33) {
      sawHalfway = true;
      EXPECT_EQ(s.part1, QStringLiteral("  33 %"));
      EXPECT_TRUE(s.barShown);
      EXPECT_FALSE(s.temperatureShown);
      EXPECT_TRUE(s.cancelShown && s.cancelEnabled);
      EXPECT_EQ(s.cancelText, QStringLiteral("Cancel"));
    }
    if (s.event == std::string("status") && s.part0 == QStringLiteral("Saving Data .......")) {
      sawStoring = true;
      EXPECT_TRUE(s.cancelShown);
      EXPECT_FALSE(s.cancelEnabled);
      EXPECT_EQ(s.cancelText, QStringLiteral("Wait.."));
      EXPECT_TRUE(s.part1.isEmpty());
    }
  }
  EXPECT_TRUE(sawHalfway);
  EXPECT_TRUE(sawStoring);
  EXPECT_FALSE(temperature->isHidden());
  EXPECT_TRUE(cancel->isHidden());
  EXPECT_TRUE(progress->isHidden());
  EXPECT_TRUE(bar.partText(1).isEmpty());
  EXPECT_EQ(bar.partText(0), QStringLiteral("Download completed"));
  EXPECT_EQ(beeps, (std::vector<std::pair<int, int>>{{2000, 200}, {3000, 200}}));
  port.ClosePort();
}

} // namespace
