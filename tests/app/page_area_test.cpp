// The main window's page area over a simulated camera: how a tab switch reaches the screen.
#include <QApplication>
#include <QEvent>

#include <gtest/gtest.h>

#include "app/page_area.h"
#include "camera/model_catalog.h"
#include "tests/pages/page_rig.h"

using namespace kelpax;

namespace {

class PaintCounter : public QObject {
public:
  int paints = 0;

protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint)
      ++paints;
    return false;
  }
};

// A switch between two sections of the largest page is painted once: the controls that became
// visible are in that paint, and nothing is painted again once the events queued by the switch
// are handled. Would catch every switch painting its page twice.
TEST(PageArea, ATabSwitchIsPaintedOnce) {
  pagetest::CameraRig rig("Ke-4K5C-M40");
  pagetest::RecordingHost& host = rig.host();
  CPageArea area(host);
  area.resize(1000, 700);
  area.show();
  const TabPage view = pageForTab(host.modelDescriptor(), host.parameterCache(), 0);
  const TabPage modeExp = pageForTab(host.modelDescriptor(), host.parameterCache(), 1);
  ASSERT_EQ(view.page, modeExp.page);
  ASSERT_NE(view.section, modeExp.section);
  area.showTab(view, true);
  pagetest::settle();

  PaintCounter counter;
  qApp->installEventFilter(&counter);
  for (const TabPage& tab : {modeExp, view, modeExp}) {
    counter.paints = 0;
    area.showTab(tab, true);
    area.repaint();
    const int painted = counter.paints;
    EXPECT_GT(painted, 10) << "the page and its controls";
    QApplication::processEvents();
    EXPECT_EQ(counter.paints, painted) << "painted again after the switch's paint";
  }
  qApp->removeEventFilter(&counter);
}

} // namespace
