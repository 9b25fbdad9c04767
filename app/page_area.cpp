// The main window's page area.
#include "app/page_area.h"

#include <QCoreApplication>
#include <QLabel>
#include <QTimer>
#include <algorithm>

#include "editors/ffc_setting_page.h"
#include "editors/lut_dlg.h"
#include "pages/afe_page.h"
#include "pages/bayer_gain.h"
#include "pages/ka/ka_setting.h"
#include "pages/ke/ke_setting.h"
#include "pages/ko/ko12m52_setting.h"
#include "pages/ko/ko_area_pages.h"
#include "pages/ku/ku_setting.h"
#include "pages/ky/ky29c_pages.h"
#include "pages/settings_page.h"
#include "pages/trigger_page.h"
#include "pages/view_page.h"
#include "tools/peltier_page.h"
#include "tools/stage_page.h"

namespace kelpax {
namespace {

// A tab whose page arrives with a later release: a one-line note instead of the page.
class CPendingPage : public QLabel {
public:
  CPendingPage(PageId id, QWidget* parent) : QLabel(parent) {
    setObjectName(QStringLiteral("pendingPage"));
    setAlignment(Qt::AlignCenter);
    setWordWrap(true);
    const std::string name(pageClassName(id));
    setText(QStringLiteral("%1 is not part of this version of Kelpax yet.")
                .arg(QString::fromLatin1(name.data(), qsizetype(name.size()))));
  }
};

} // namespace

CPageArea::CPageArea(PageHost& host, QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("pageArea"));
  auto add = [this](PageId id, QWidget* page) {
    page->hide();
    pages_[id] = page;
  };
  add(PageId::ViewSetting, new CViewSetting(host, this));
  add(PageId::AFESetting, new CAFESetting(host, this));
  add(PageId::KaAFESetting, new KaAFESetting(host, this));
  add(PageId::TriggerSetting, new CTriggerSetting(host, this));
  add(PageId::Ko_ViewSetting, new CKo_ViewSetting(host, this));
  add(PageId::Ko3_ViewSetting, new CKo3_ViewSetting(host, this));
  add(PageId::Ko_AFESetting, new CKo_AFESetting(host, this));
  add(PageId::Ko_TriggerSetting, new CKo_TriggerSetting(host, this));
  add(PageId::Ko12M52_SettingDlg, new CKo12M52_SettingDlg(host, this));
  add(PageId::Ko155M_Setting, new CKo155M_Setting(host, this));
  add(PageId::Ko4MC2_Setting, new CKo4MC2_Setting(host, this));
  add(PageId::Ko50C_SettingDlg, new CKo50C_SettingDlg(host, this));
  add(PageId::KoKi101_151MC_Setting, new CKoKi101_151MC_Setting(host, this));
  add(PageId::NewKe_Setting, new CNewKe_Setting(host, this));
  add(PageId::NormalKe_Setting, new CNormalKe_Setting(host, this));
  add(PageId::Ke_Color_Setting, new CKe_Color_Setting(host, this));
  add(PageId::Ku_Basic_SettingDlg, new CKu_Basic_SettingDlg(host, this));
  add(PageId::Ku_Color_SettingDlg, new CKu_Color_SettingDlg(host, this));
  add(PageId::BayerGain, new CBayerGain(host, this));
  add(PageId::Ka47M_Setting, new CKa47M_Setting(host, this));
  add(PageId::Ka43M_Setting, new CKa43M_Setting(host, this));
  add(PageId::Ky29CViewDlg, new CKy29CViewDlg(host, this));
  add(PageId::Ky29CTRIGGER, new CKy29CTRIGGER(host, this));
  add(PageId::Ky29CROIDlg, new CKy29CROIDlg(host, this));
  add(PageId::Ky29CAutoCtrlDlg, new CKy29CAutoCtrlDlg(host, this));
  add(PageId::Ky29COutputCtrlDlg, new CKy29COutputCtrlDlg(host, this));
  add(PageId::PeltierCtrlDlg, new CPeltierCtrlDlg(host, this));
  add(PageId::NewPeltierCtrlDlg, new CNewPeltierCtrlDlg(host, this));
  add(PageId::FanControlDlg, new CFanControlDlg(host, this));
  add(PageId::StageCtrlDlg, new CStageCtrlDlg(host, this));
  add(PageId::LutDlg, new CLutDlg(host, this));
  add(PageId::KeLutDlg, new CKeLutDlg(host, this));
  add(PageId::Ky29CLUTDlg, new CKy29CLUTDlg(host, this));
  add(PageId::FFCSetting, new CFFCSetting(host, this));
  add(PageId::FFCSettingXML, new CFFCSettingXML(host, this));
  add(PageId::FFCSelectorSetting, new CFFCSelectorSetting(host, this));
  add(PageId::KoKi101_151MC_FFC, new CKoKi101_151MC_FFC(host, this));
  pages_[PageId::ViewSetting]->setWindowTitle(QStringLiteral("Image "));
  pages_[PageId::AFESetting]->setWindowTitle(QStringLiteral("Analog "));
  pages_[PageId::TriggerSetting]->setWindowTitle(QStringLiteral("Mode / Exposure"));
}

QWidget* CPageArea::page(PageId id) const {
  auto it = pages_.find(id);
  return it == pages_.end() ? nullptr : it->second;
}

void CPageArea::showTab(const TabPage& tab, bool enabled) {
  for (auto& [id, widget] : pages_)
    widget->hide();
  shown_.clear();
  for (PageId id : {tab.page, tab.alsoShown}) {
    if (id == PageId::None)
      continue;
    QWidget* widget = page(id);
    if (!widget) {
      widget = new CPendingPage(id, this);
      pages_[id] = widget;
    }
    widget->setEnabled(enabled);
    // A page over several tabs shows the tab's section.
    if (auto* settings = qobject_cast<SettingsPage*>(widget); settings && tab.section >= 0)
      settings->showSection(tab.section);
    shown_.push_back(id);
  }
  placePages();
  firstShown_.clear();
  for (PageId id : shown_) {
    page(id)->show();
    if (shownSinceRebuild_.insert(id).second)
      firstShown_.push_back(id);
  }
  // Every control that has just become visible has its repaint queued; taking those now puts
  // them into the one paint of the switch instead of a second paint after it.
  QCoreApplication::sendPostedEvents(nullptr, QEvent::UpdateLater);
}

void CPageArea::setPagesEnabled(bool enabled) {
  for (auto& [id, widget] : pages_)
    widget->setEnabled(enabled);
}

std::vector<SettingsPage*> CPageArea::genericPages() const {
  std::vector<SettingsPage*> generic;
  for (auto& [id, widget] : pages_) {
    if (auto* settings = qobject_cast<SettingsPage*>(widget))
      generic.push_back(settings);
  }
  return generic;
}

void CPageArea::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  placePages();
}

void CPageArea::prepareTabs(std::vector<TabPage> tabs) {
  const bool idle = preparing_.empty();
  preparing_ = std::move(tabs);
  // Taken from the back: the first tab first.
  std::reverse(preparing_.begin(), preparing_.end());
  if (idle && !preparing_.empty())
    QTimer::singleShot(0, this, &CPageArea::prepareNext);
}

void CPageArea::prepareNext() {
  if (preparing_.empty())
    return;
  const TabPage tab = preparing_.back();
  preparing_.pop_back();
  for (PageId id : {tab.page, tab.alsoShown}) {
    QWidget* target = id == PageId::None ? nullptr : page(id);
    if (!target)
      continue;
    // A tab's section of a page over several tabs fills the page as the page fills the area.
    auto* settings = qobject_cast<SettingsPage*>(target);
    if (QWidget* section = settings ? settings->section(tab.section) : nullptr)
      target = section;
    if (target->isVisible())
      continue;
    target->setGeometry(rect());
    target->grab();
    ++preparedCount_;
  }
  if (!preparing_.empty())
    QTimer::singleShot(0, this, &CPageArea::prepareNext);
}

void CPageArea::placePages() {
  for (PageId id : shown_)
    page(id)->setGeometry(rect());
}

} // namespace kelpax
