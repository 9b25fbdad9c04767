// Every model the identification tells apart, connected to its simulated camera: each tab of
// its row shows a page, never nothing, and filling every page from the cache sends nothing and
// crashes nothing.
#include <QApplication>
#include <QLabel>
#include <set>

#include <gtest/gtest.h>

#include "app/page_area.h"
#include "camera/model_catalog.h"
#include "pages/settings_page.h"
#include "tests/pages/page_rig.h"

using namespace kelpax;

namespace {

// One model per row of the tab table, colour and monochrome where the row differs.
const char* const kModels[] = {
    "Kx-310-M30",  "Kx-4M-C30",    "Kh-5M-M15",   "Kr-2M-M40",   "Zq-1M-M40",   "Ko-2M-M40",
    "Ko-4M-M180",  "Ko-4MC2-M40",  "Ko-3M-M40",   "Ko-10M-M40",  "Ko-12M-M65",  "Ko-25MC-C65",
    "Ko-71M-M40",  "Ko-50M-C40",   "Ko-50M-M40",  "Ko-101M-C40", "Ko-151M-M40", "Ko-90M-M40",
    "Ko-155M-M40", "Kn-47M-M40",   "Kn-47M-C40",  "Kn-8M-M40",   "KnP-16M-M40", "Ka-47M-M40",
    "Ka-43M-C40",  "Ka-29MC2-M40", "Ka-16M-M40",  "Ki-71M-M5",   "Ki-25M-M40",  "Ki-101M-C40",
    "Ki-8M-M40",   "Ky-29M-C5",    "Ku-8K2C-M80", "Ku-8KC-C40",  "Ke-4K5C-M40", "Ke-4K7C-M40",
    "Ke-9K2C-C50", "Kw-4M-C80",    "Kw-2M-M40",   "Ku-K264-M40", "Ko-310-M40",
};

// Would catch a tab of the table with no page behind it, a declared page left out of the
// page area (it would show the note), a page over several tabs showing the wrong section, or
// a page that sends commands while it is filled from the cache.
TEST(PageCatalogue, EveryModelShowsAPageInEveryTab) {
  for (const char* model : kModels) {
    SCOPED_TRACE(model);
    pagetest::CameraRig rig(model);
    pagetest::RecordingHost& host = rig.host();
    CPageArea area(host);
    area.resize(1000, 700);
    area.show();
    for (SettingsPage* page : area.genericPages()) {
      page->setControlsFromCache();
      page->postRefreshAll();
    }
    pagetest::settle();
    const std::vector<std::string> captions =
        tabCaptions(host.modelDescriptor(), host.parameterCache());
    ASSERT_FALSE(captions.empty());
    for (int tab = 0; tab < static_cast<int>(captions.size()); ++tab) {
      const TabPage shown = pageForTab(host.modelDescriptor(), host.parameterCache(), tab);
      ASSERT_NE(shown.page, PageId::None) << "tab " << captions[size_t(tab)] << " is empty";
      area.showTab(shown, true);
      pagetest::settle();
      QWidget* widget = area.page(shown.page);
      ASSERT_NE(widget, nullptr);
      EXPECT_TRUE(widget->isVisible());
      // Every page of the table is built: none shows the note of a page still to come.
      const bool note = widget->objectName() == QStringLiteral("pendingPage");
      EXPECT_FALSE(note) << captions[size_t(tab)] << ": " << pageClassName(shown.page);
      if (auto* page = qobject_cast<SettingsPage*>(widget); page && shown.section >= 0) {
        ASSERT_LT(shown.section, page->sectionCount()) << pageClassName(shown.page);
        EXPECT_EQ(page->shownSection(), shown.section);
        EXPECT_TRUE(page->section(shown.section)->isVisible());
      }
    }
    // Showing tabs reads what a page reads itself (colour gains); it sets nothing.
    for (const pagetest::RecordingHost::Sent& sent : host.sent)
      EXPECT_EQ(sent.command.front(), 'g') << sent.command;
  }
}

} // namespace
