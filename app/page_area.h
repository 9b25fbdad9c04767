// The main window's page area: every settings page the program has, built once over the camera,
// and the pages of the chosen tab shown over the whole area.
#pragma once

#include <QWidget>
#include <map>
#include <set>
#include <vector>

#include "camera/model_catalog.h"
#include "pages/page_host.h"

namespace kelpax {

class SettingsPage;

class CPageArea : public QWidget {
  Q_OBJECT

public:
  CPageArea(PageHost& host, QWidget* parent = nullptr);

  // The page for `id`; null while it was never needed.
  QWidget* page(PageId id) const;
  // The pages shown now, in the order shown.
  const std::vector<PageId>& shownPages() const { return shown_; }
  // Shows the tab's page (and the page shown with it); a page that arrives with a later release
  // shows a one-line note instead. `enabled` is false while the LOCK entry holds.
  void showTab(const TabPage& tab, bool enabled);
  // The main window rebuilt its tabs: every page counts as not shown since.
  void tabsRebuilt() { shownSinceRebuild_.clear(); }
  // The pages the last showTab showed for the first time since the tabs were rebuilt.
  const std::vector<PageId>& firstShown() const { return firstShown_; }
  void setPagesEnabled(bool enabled);
  // Draws the pages of `tabs` once, hidden, so that the first switch to each does not pay for
  // its first layout and the style's first drawing (about half the first switch). One page at
  // a time from the event loop, so the window keeps answering; a page on screen by its turn is
  // left alone. A later call replaces what is still waiting.
  void prepareTabs(std::vector<TabPage> tabs);
  // Pages drawn by prepareTabs since the area was made.
  int preparedCount() const { return preparedCount_; }
  // The generic pages the main window sets from the cache itself.
  std::vector<SettingsPage*> genericPages() const;

protected:
  void resizeEvent(QResizeEvent* event) override;

private:
  void placePages();
  void prepareNext();

  std::map<PageId, QWidget*> pages_;
  std::vector<PageId> shown_;
  std::set<PageId> shownSinceRebuild_;
  std::vector<PageId> firstShown_;
  std::vector<TabPage> preparing_;
  int preparedCount_ = 0;
};

} // namespace kelpax
