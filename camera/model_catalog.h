// Which tabs a camera model shows, which page each tab holds, which page a full refresh
// re-reads and which handler writes its setting files. Data for the main window.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "camera/parameter_cache.h"
#include "camera/tables/model_descriptor.h"

namespace kelpax {

enum class PageId {
  None,
  ViewSetting,
  TriggerSetting,
  AFESetting,
  KaAFESetting,
  LutDlg,
  FFCSetting,
  FFCSettingXML,
  FFCSelectorSetting,
  StageCtrlDlg,
  PeltierCtrlDlg,
  NewPeltierCtrlDlg,
  FanControlDlg,
  Ko_ViewSetting,
  Ko3_ViewSetting,
  Ko_AFESetting,
  Ko_TriggerSetting,
  Ko12M52_SettingDlg,
  Ko155M_Setting,
  Ko4MC2_Setting,
  Ko50C_SettingDlg,
  KoKi101_151MC_Setting,
  KoKi101_151MC_FFC,
  Ka47M_Setting,
  Ka43M_Setting,
  Ky29CViewDlg,
  Ky29CTRIGGER,
  Ky29CLUTDlg,
  Ky29CROIDlg,
  Ky29CAutoCtrlDlg,
  Ky29COutputCtrlDlg,
  NewKe_Setting,
  NormalKe_Setting,
  Ke_Color_Setting,
  KeLutDlg,
  Ku_Basic_SettingDlg,
  Ku_Color_SettingDlg,
  BayerGain,
};

// The page's class name ("CKo_TriggerSetting"), for notes and the command line.
std::string_view pageClassName(PageId page);

// What one tab shows: a page, the section a multi-section page is told to show (-1 for
// single pages), and for one tab of the Ko 101M/151M cameras a second page beside it.
struct TabPage {
  PageId page = PageId::None;
  int section = -1;
  PageId alsoShown = PageId::None;
  bool operator==(const TabPage&) const = default;
};

// Tab captions in order. Some rows depend on the cache: "FFC" appears only when the camera
// reported a value for "fc".
std::vector<std::string> tabCaptions(const ModelDescriptor& model, const ParameterCache& cache);

// The page of tab `index`; PageId::None beyond the model's row. `ka47mSelectorFfc` is the
// flag the Ka 47M page reports at connection (its FFC tab then shows the selector page).
TabPage pageForTab(const ModelDescriptor& model, int index, bool ka47mSelectorFfc = false);
// The same for the tabs as shown: where the "FFC" tab is left out (the camera reported no
// "fc"), the tabs after it show the pages after it.
TabPage pageForTab(const ModelDescriptor& model, const ParameterCache& cache, int index,
                   bool ka47mSelectorFfc = false);

// Setting files of these models are written by a handler of their own.
enum class ControlFileKind { Generic, Ke, Ko50MC2, Ko25MC2, Ko4MC2 };
ControlFileKind controlFileFor(const ModelDescriptor& model);

// The model's own pages that a full refresh tells to re-read themselves.
std::vector<PageId> dedicatedPagesFor(const ModelDescriptor& model);

} // namespace kelpax
