// Tabs, pages per tab, setting-file handlers and dedicated pages per camera model.
#include "camera/model_catalog.h"

#include <array>
#include <initializer_list>

namespace kelpax {
namespace {

bool sizeIn(const ModelDescriptor& model, std::initializer_list<std::string_view> sizes) {
  for (std::string_view size : sizes) {
    if (model.sizeClass == size)
      return true;
  }
  return false;
}

bool rateIn(const ModelDescriptor& model, std::initializer_list<int> codes) {
  for (int code : codes) {
    if (model.rateCode == code)
      return true;
  }
  return false;
}

using Row = std::vector<TabPage>;

TabPage single(PageId page) {
  return {page, -1, PageId::None};
}
TabPage section(PageId page, int number) {
  return {page, number, PageId::None};
}

Row sectioned(PageId page, std::initializer_list<TabPage> rest) {
  Row row{section(page, 0), section(page, 1), section(page, 2)};
  row.insert(row.end(), rest);
  return row;
}

Row pagesOf(const ModelDescriptor& m, bool ka47mSelectorFfc) {
  using P = PageId;
  const Row plain{single(P::ViewSetting), single(P::TriggerSetting), single(P::AFESetting),
                  single(P::LutDlg), single(P::FFCSetting)};
  const Row kaPlain{single(P::ViewSetting), single(P::TriggerSetting), single(P::KaAFESetting),
                    single(P::LutDlg), single(P::FFCSetting)};
  auto with = [](Row row, std::initializer_list<TabPage> more) {
    row.insert(row.end(), more);
    return row;
  };

  if (m.sizeClass == "generic")
    return {single(P::ViewSetting), single(P::TriggerSetting), single(P::AFESetting),
            single(P::LutDlg)};
  switch (m.series) {
  case Series::Kx:
  case Series::None:
    return plain;
  case Series::Kh:
    return m.sizeClass == "5M" ? kaPlain : plain;
  case Series::Ka:
    if (sizeIn(m, {"47M", "43M"})) {
      const P page = m.sizeClass == "47M" ? P::Ka47M_Setting : P::Ka43M_Setting;
      const P ffc =
          (m.sizeClass == "43M" || ka47mSelectorFfc) ? P::FFCSelectorSetting : P::FFCSettingXML;
      return sectioned(page, {single(ffc), section(page, 3), section(page, 4), section(page, 5)});
    }
    if (m.sizeClass == "29M" && m.c2)
      return with(kaPlain, {single(P::FanControlDlg)});
    return kaPlain;
  case Series::Kn:
    if (m.sizeClass == "47M") {
      Row row = sectioned(P::Ka47M_Setting, {single(P::FFCSettingXML), section(P::Ka47M_Setting, 3),
                                             section(P::Ka47M_Setting, 4)});
      if (m.isColour())
        return with(row, {section(P::Ka47M_Setting, 5), single(P::StageCtrlDlg)});
      return with(row, {single(P::StageCtrlDlg), single(P::StageCtrlDlg)});
    }
    return with(kaPlain, {single(P::StageCtrlDlg)});
  case Series::KnP:
    return with(kaPlain, {single(P::StageCtrlDlg), single(P::PeltierCtrlDlg)});
  case Series::Ki:
    if (m.sizeClass == "71M")
      return sectioned(P::Ko12M52_SettingDlg,
                       {single(P::FFCSetting), single(P::PeltierCtrlDlg), single(P::LutDlg)});
    if (m.sizeClass == "25M")
      return {single(P::Ko_ViewSetting), single(P::Ko_TriggerSetting), single(P::Ko_AFESetting),
              single(P::FFCSetting), single(P::PeltierCtrlDlg)};
    if (sizeIn(m, {"101M", "151M"}))
      return sectioned(P::KoKi101_151MC_Setting,
                       {single(P::KoKi101_151MC_FFC), section(P::KoKi101_151MC_Setting, 4),
                        single(P::NewPeltierCtrlDlg), section(P::KoKi101_151MC_Setting, 5)});
    return with(kaPlain, {single(P::PeltierCtrlDlg)});
  case Series::Ko:
    if (m.sizeClass == "3M")
      return {single(P::Ko_ViewSetting), single(P::Ko_TriggerSetting), single(P::Ko_AFESetting)};
    if (m.sizeClass == "10M")
      return {single(P::Ko3_ViewSetting), single(P::Ko_TriggerSetting), single(P::Ko_AFESetting),
              single(P::LutDlg), single(P::FFCSetting)};
    if (m.sizeClass == "12M" && rateIn(m, {267, 268}))
      return sectioned(P::Ko12M52_SettingDlg, {single(P::FFCSetting)});
    if (m.sizeClass == "71M")
      return sectioned(P::Ko12M52_SettingDlg, {single(P::FFCSetting), single(P::LutDlg)});
    if (sizeIn(m, {"90M", "155M"}))
      return sectioned(P::Ko155M_Setting,
                       {single(P::FFCSelectorSetting), section(P::Ko155M_Setting, 3),
                        section(P::Ko155M_Setting, 4), section(P::Ko155M_Setting, 5)});
    if (m.sizeClass == "4M" && !m.c2 && rateIn(m, {258, 259, 264}))
      return {single(P::Ko_ViewSetting), single(P::Ko_TriggerSetting),  single(P::Ko_AFESetting),
              single(P::FFCSetting),     section(P::Ko4MC2_Setting, 4), single(P::BayerGain)};
    if (m.sizeClass == "4M" && m.c2)
      return sectioned(P::Ko4MC2_Setting, {single(P::FFCSettingXML), section(P::Ko4MC2_Setting, 4),
                                           section(P::Ko4MC2_Setting, 5)});
    if (m.sizeClass == "50M")
      return sectioned(P::Ko50C_SettingDlg,
                       {single(P::FFCSelectorSetting), section(P::Ko50C_SettingDlg, 3),
                        section(P::Ko50C_SettingDlg, 4), section(P::Ko50C_SettingDlg, 5)});
    if (sizeIn(m, {"101M", "151M"}))
      return sectioned(P::KoKi101_151MC_Setting, {{P::KoKi101_151MC_FFC, -1, P::FFCSelectorSetting},
                                                  section(P::KoKi101_151MC_Setting, 3),
                                                  section(P::KoKi101_151MC_Setting, 4),
                                                  section(P::KoKi101_151MC_Setting, 5)});
    return {single(P::Ko_ViewSetting), single(P::Ko_TriggerSetting), single(P::Ko_AFESetting),
            single(P::FFCSetting)};
  case Series::Kw:
    if (m.sizeClass == "4M")
      return sectioned(P::Ko4MC2_Setting, {single(P::FFCSettingXML), section(P::Ko4MC2_Setting, 4),
                                           section(P::Ko4MC2_Setting, 5)});
    // The other Kw cameras keep the same settings as the 4M one.
    return sectioned(P::Ko4MC2_Setting, {single(P::FFCSettingXML)});
  case Series::Ky:
    return {single(P::Ky29CViewDlg),     single(P::Ky29CTRIGGER),      single(P::KaAFESetting),
            single(P::Ky29CLUTDlg),      single(P::FFCSetting),        single(P::Ky29CROIDlg),
            single(P::Ky29CAutoCtrlDlg), single(P::Ky29COutputCtrlDlg)};
  case Series::Ke: {
    const P page = m.kePage == KePage::Newer    ? P::NewKe_Setting
                   : m.kePage == KePage::Normal ? P::NormalKe_Setting
                                                : P::Ke_Color_Setting;
    const P lut = m.kePage == KePage::Normal ? P::LutDlg : P::KeLutDlg;
    return sectioned(page, {section(page, 3), single(lut)});
  }
  case Series::Ku: {
    // One wide page for all three tabs, shifted left by the tab index times its width.
    const P page = m.isMonochrome() ? P::Ku_Basic_SettingDlg : P::Ku_Color_SettingDlg;
    return {section(page, 0), section(page, 1), section(page, 2)};
  }
  }
  return {};
}

} // namespace

std::string_view pageClassName(PageId page) {
  static constexpr std::array<std::string_view, 38> kNames = {
      "",
      "CViewSetting",
      "CTriggerSetting",
      "CAFESetting",
      "KaAFESetting",
      "CLutDlg",
      "CFFCSetting",
      "CFFCSettingXML",
      "CFFCSelectorSetting",
      "CStageCtrlDlg",
      "CPeltierCtrlDlg",
      "CNewPeltierCtrlDlg",
      "CFanControlDlg",
      "CKo_ViewSetting",
      "CKo3_ViewSetting",
      "CKo_AFESetting",
      "CKo_TriggerSetting",
      "CKo12M52_SettingDlg",
      "CKo155M_Setting",
      "CKo4MC2_Setting",
      "CKo50C_SettingDlg",
      "CKoKi101_151MC_Setting",
      "CKoKi101_151MC_FFC",
      "CKa47M_Setting",
      "CKa43M_Setting",
      "CKy29CViewDlg",
      "CKy29CTRIGGER",
      "CKy29CLUTDlg",
      "CKy29CROIDlg",
      "CKy29CAutoCtrlDlg",
      "CKy29COutputCtrlDlg",
      "CNewKe_Setting",
      "CNormalKe_Setting",
      "CKe_Color_Setting",
      "CKeLutDlg",
      "CKu_Basic_SettingDlg",
      "CKu_Color_SettingDlg",
      "CBayerGain",
  };
  return kNames[static_cast<size_t>(page)];
}

std::vector<std::string> tabCaptions(const ModelDescriptor& m, const ParameterCache& cache) {
  using Tabs = std::vector<std::string>;
  const Tabs base{"VIEW", "MODE/EXP", "ANALOG"};
  auto with = [&](std::initializer_list<const char*> more) {
    Tabs tabs = base;
    tabs.insert(tabs.end(), more.begin(), more.end());
    return tabs;
  };
  const bool colour = m.isColour();

  if (m.sizeClass == "generic")
    return with({"LUT"});
  if ((m.series == Series::Ko &&
       (m.sizeClass == "2M" || (m.sizeClass == "4M" && rateIn(m, {258, 259, 264})))) ||
      m.series == Series::Kw) {
    Tabs tabs = base;
    if (cache.holdsValue("fc"))
      tabs.push_back("FFC");
    if (m.sizeClass == "4M") {
      tabs.push_back("Digital I/0");
      if (!m.c2)
        tabs.push_back("AWB");
    }
    return tabs;
  }
  switch (m.series) {
  case Series::Ko:
    if (m.sizeClass == "10M")
      return with({"LUT", "FFC"});
    if (sizeIn(m, {"12M", "25M"}))
      return with({"FFC"});
    if (m.sizeClass == "71M")
      return with({"FFC", "LUT"});
    if (sizeIn(m, {"50M", "101M", "151M"}))
      return colour ? with({"FFC", "FAN", "Digital I/O", "AWB"})
                    : with({"FFC", "FAN", "Digital I/O"});
    if (sizeIn(m, {"90M", "155M"}))
      return with({"FFC", "FAN", "Digital I/O"});
    return base;
  case Series::Kn:
    if (m.sizeClass == "47M")
      return colour ? with({"FFC", "FAN", "Digital I/O", "AWB", "Stage"})
                    : with({"FFC", "FAN", "Digital I/O", "Stage"});
    return with({"LUT", "FFC", "Stage"});
  case Series::KnP:
    return with({"LUT", "FFC", "Stage", "TEC"});
  case Series::Ka:
    if (sizeIn(m, {"47M", "43M"}))
      return colour ? with({"FFC", "FAN", "Digital I/O", "AWB"})
                    : with({"FFC", "FAN", "Digital I/O"});
    if (m.sizeClass == "29M" && m.c2)
      return with({"LUT", "FFC", "FAN"});
    return with({"LUT", "FFC"});
  case Series::Ki:
    if (m.sizeClass == "71M")
      return with({"FFC", "TEC", "LUT"});
    if (m.sizeClass == "25M")
      return with({"FFC", "TEC"});
    if (sizeIn(m, {"101M", "151M"}))
      return colour ? with({"FFC", "Digital I/O", "TEC", "AWB"})
                    : with({"FFC", "Digital I/O", "TEC"});
    return with({"LUT", "FFC", "TEC"});
  case Series::Ky:
    return with({"LUT", "FFC", "ROI", "AUTO", "OUTPUT"});
  case Series::Ku:
    return {"VIEW", "MODE/EXP", "GAIN"};
  case Series::Ke:
    return {"VIEW", "MODE/EXP", "VIDEO", "STROBE", "LUT"};
  case Series::Kx:
  case Series::Kh:
  case Series::None:
  case Series::Kw:
    break;
  }
  return with({"LUT", "FFC"});
}

TabPage pageForTab(const ModelDescriptor& model, int index, bool ka47mSelectorFfc) {
  const Row row = pagesOf(model, ka47mSelectorFfc);
  if (index < 0 || static_cast<size_t>(index) >= row.size())
    return {};
  return row[static_cast<size_t>(index)];
}

TabPage pageForTab(const ModelDescriptor& model, const ParameterCache& cache, int index,
                   bool ka47mSelectorFfc) {
  Row row = pagesOf(model, ka47mSelectorFfc);
  const std::vector<std::string> captions = tabCaptions(model, cache);
  // Only the rows whose "FFC" tab depends on the camera drop it: their fourth page is the
  // flat-field page and the fourth tab is something else.
  constexpr size_t kFfcTab = 3;
  const bool ffcPage = row.size() > kFfcTab && (row[kFfcTab].page == PageId::FFCSetting ||
                                                row[kFfcTab].page == PageId::FFCSettingXML);
  if (ffcPage && (captions.size() <= kFfcTab || captions[kFfcTab] != "FFC"))
    row.erase(row.begin() + kFfcTab);
  if (index < 0 || static_cast<size_t>(index) >= row.size() ||
      static_cast<size_t>(index) >= captions.size())
    return {};
  return row[static_cast<size_t>(index)];
}

ControlFileKind controlFileFor(const ModelDescriptor& m) {
  if (m.series == Series::Ke)
    return ControlFileKind::Ke;
  if (m.series == Series::Ko && m.sizeClass == "50M")
    return ControlFileKind::Ko50MC2;
  if ((m.series == Series::Ko && sizeIn(m, {"12M", "25M"})) ||
      (m.series == Series::Ki && m.sizeClass == "25M"))
    return ControlFileKind::Ko25MC2;
  if ((m.series == Series::Ko && m.sizeClass == "4M" && rateIn(m, {258, 259, 264})) ||
      (m.series == Series::Kw && m.sizeClass == "4M"))
    return ControlFileKind::Ko4MC2;
  return ControlFileKind::Generic;
}

std::vector<PageId> dedicatedPagesFor(const ModelDescriptor& m) {
  using P = PageId;
  if (m.series == Series::Ka && m.sizeClass == "47M")
    return {P::Ka47M_Setting};
  if (m.series == Series::Kn && m.sizeClass == "47M")
    return {P::Ka47M_Setting, P::StageCtrlDlg};
  if (m.series == Series::Ka && m.sizeClass == "43M")
    return {P::Ka43M_Setting};
  if ((m.series == Series::Ko && m.sizeClass == "4M" && m.c2) ||
      (m.series == Series::Kw && m.sizeClass == "4M"))
    return {P::Ko4MC2_Setting};
  if (m.series == Series::Ko && m.sizeClass == "50M")
    return {P::Ko50C_SettingDlg};
  if (m.series == Series::Ko && sizeIn(m, {"90M", "155M"}))
    return {P::Ko155M_Setting};
  if ((m.series == Series::Ko || m.series == Series::Ki) && sizeIn(m, {"101M", "151M"}))
    return {P::KoKi101_151MC_Setting};
  if (m.series == Series::Ke)
    return {pageForTab(m, 0).page};
  if (m.series == Series::Ku)
    return {m.isMonochrome() ? P::Ku_Basic_SettingDlg : P::Ku_Color_SettingDlg};
  return {};
}

} // namespace kelpax
