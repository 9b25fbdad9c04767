// The main window's page area over a simulated camera: how a tab switch reaches the screen.
#include <QApplication>
#include <QEvent>
#include <QLayout>
#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "app/page_area.h"
#include "camera/model_catalog.h"
#include "pages/settings_page.h"
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

// A page area over a simulated camera, shown, with the camera's first tab on screen.
struct AreaRig {
  explicit AreaRig(const std::string& model) : rig(model), host(rig.host()), area(host) {
    area.resize(1000, 700);
    area.show();
    area.showTab(tab(0), true);
    pagetest::settle();
  }
  TabPage tab(int index) const {
    return pageForTab(host.modelDescriptor(), host.parameterCache(), index);
  }
  pagetest::CameraRig rig;
  pagetest::RecordingHost& host;
  CPageArea area;
};

// A switch between two sections of the largest page is painted once: the controls that became
// visible are in that paint, and nothing is painted again once the events queued by the switch
// are handled. Would catch every switch painting its page twice.
TEST(PageArea, ATabSwitchIsPaintedOnce) {
  AreaRig ke("Ke-4K5C-M40");
  CPageArea& area = ke.area;
  const TabPage view = ke.tab(0);
  const TabPage modeExp = ke.tab(1);
  ASSERT_EQ(view.page, modeExp.page);
  ASSERT_NE(view.section, modeExp.section);

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

// Drawing the other tabs' pages ahead leaves the tab on screen as it is, draws each other tab's
// controls at the place its switch shows them, leaves a page on screen alone and sends nothing.
// Would catch the preparation flipping the section on screen, laying out at another size, never
// running, or showing a page (whose show reads values from the camera).
TEST(PageArea, PreparedTabsAreLaidOutWhereTheyWillBeShown) {
  AreaRig ke("Ke-4K5C-M40");
  CPageArea& area = ke.area;
  const TabPage view = ke.tab(0);
  const TabPage modeExp = ke.tab(1);
  auto* page = qobject_cast<SettingsPage*>(area.page(view.page));
  ASSERT_NE(page, nullptr);
  QWidget* onScreen = page->section(view.section);
  QWidget* ahead = page->section(modeExp.section);
  ASSERT_TRUE(onScreen->isVisible());
  ASSERT_FALSE(ahead->isVisible());
  ASSERT_NE(ahead->layout(), nullptr);

  const size_t commandsBefore = ke.host.commands().size();
  area.prepareTabs({view, modeExp});
  EXPECT_EQ(area.preparedCount(), 0) << "drawn from the event loop, not at once";
  pagetest::settle();
  EXPECT_EQ(area.preparedCount(), 1) << "the tab on screen is not drawn again";
  EXPECT_EQ(ke.host.commands().size(), commandsBefore) << "drawing ahead asks the camera nothing";
  EXPECT_TRUE(onScreen->isVisible());
  EXPECT_FALSE(ahead->isVisible());
  EXPECT_EQ(ahead->layout()->geometry(), ahead->rect()) << "laid out";
  const QRect drawnAt = ahead->geometry();

  area.showTab(modeExp, true);
  pagetest::settle();
  EXPECT_TRUE(ahead->isVisible());
  EXPECT_EQ(ahead->geometry(), drawnAt) << "shown where it was drawn";
}

// A page that reads from the camera when it is shown (the colour gains) asks nothing when it is
// drawn ahead, and asks when the operator opens its tab. Would catch drawing ahead by showing.
TEST(PageArea, DrawingAheadIsNotShowing) {
  AreaRig ko("Ko-4M-C80");
  CPageArea& area = ko.area;
  pagetest::RecordingHost& host = ko.host;
  std::optional<TabPage> gains;
  for (size_t index = 0; index < tabCaptions(host.modelDescriptor(), host.parameterCache()).size();
       ++index) {
    if (ko.tab(int(index)).page == PageId::BayerGain)
      gains = ko.tab(int(index));
  }
  ASSERT_TRUE(gains.has_value());
  const size_t before = host.commands().size();
  area.prepareTabs({*gains});
  pagetest::settle();
  EXPECT_EQ(area.preparedCount(), 1);
  EXPECT_EQ(host.commands().size(), before);
  area.showTab(*gains, true);
  pagetest::settle();
  EXPECT_GT(host.commands().size(), before) << "shown, the page reads the gains";
}

} // namespace
