// Tabs, pages per tab, setting-file handlers and dedicated pages per camera model.
#include <gtest/gtest.h>

#include "camera/model_catalog.h"
#include "camera/tables/model_rules.h"

using namespace kelpax;

namespace {

ModelDescriptor modelOf(const char* name) {
  ModelDescriptor model;
  describeModelName(name, model);
  return model;
}

std::string joined(const std::vector<std::string>& tabs) {
  std::string text;
  for (const std::string& tab : tabs)
    text += (text.empty() ? "" : "|") + tab;
  return text;
}

// Would catch a tab row applied to the wrong model, or a colour-only tab shown for monochrome.
TEST(ModelCatalog, TabCaptionsPerModel) {
  ParameterCache withFfc;
  withFfc.registerEntry("fc", 1);
  withFfc.takeFromTraffic("sfc 1\r\nOK\r\n>");
  const ParameterCache empty;
  struct Case {
    const char* model;
    const ParameterCache& cache;
    const char* tabs;
  };
  const Case cases[] = {
      {"Kx-310-M64", empty, "VIEW|MODE/EXP|ANALOG|LUT"},
      {"Ko-2M-M75", empty, "VIEW|MODE/EXP|ANALOG"},
      {"Ko-2M-M75", withFfc, "VIEW|MODE/EXP|ANALOG|FFC"},
      {"Ko-4M-C40", withFfc, "VIEW|MODE/EXP|ANALOG|FFC|Digital I/0|AWB"},
      {"Kw-4MC2-C80", empty, "VIEW|MODE/EXP|ANALOG|Digital I/0"},
      {"Ko-4M-C65", withFfc, "VIEW|MODE/EXP|ANALOG"},
      {"Ko-10M-M40", empty, "VIEW|MODE/EXP|ANALOG|LUT|FFC"},
      {"Ko-25MC-C65", empty, "VIEW|MODE/EXP|ANALOG|FFC"},
      {"Ko-71M-M5", empty, "VIEW|MODE/EXP|ANALOG|FFC|LUT"},
      {"Ko-101M-C5", empty, "VIEW|MODE/EXP|ANALOG|FFC|FAN|Digital I/O|AWB"},
      {"Ko-101M-M5", empty, "VIEW|MODE/EXP|ANALOG|FFC|FAN|Digital I/O"},
      {"Ko-155M-M5", empty, "VIEW|MODE/EXP|ANALOG|FFC|FAN|Digital I/O"},
      {"Kn-47M-C35", empty, "VIEW|MODE/EXP|ANALOG|FFC|FAN|Digital I/O|AWB|Stage"},
      {"Kn-47M-M35", empty, "VIEW|MODE/EXP|ANALOG|FFC|FAN|Digital I/O|Stage"},
      {"Kn-16M-M4", empty, "VIEW|MODE/EXP|ANALOG|LUT|FFC|Stage"},
      {"KnP-16M-M4", empty, "VIEW|MODE/EXP|ANALOG|LUT|FFC|Stage|TEC"},
      {"Ka-29MC2-C5", empty, "VIEW|MODE/EXP|ANALOG|LUT|FFC|FAN"},
      {"Ka-29M-C5", empty, "VIEW|MODE/EXP|ANALOG|LUT|FFC"},
      {"Ki-71M-M5", empty, "VIEW|MODE/EXP|ANALOG|FFC|TEC|LUT"},
      {"Ki-151M-C5", empty, "VIEW|MODE/EXP|ANALOG|FFC|Digital I/O|TEC|AWB"},
      {"Ki-16M-M5", empty, "VIEW|MODE/EXP|ANALOG|LUT|FFC|TEC"},
      {"Ky-29M-C5", empty, "VIEW|MODE/EXP|ANALOG|LUT|FFC|ROI|AUTO|OUTPUT"},
      {"Ku-16K-M80", empty, "VIEW|MODE/EXP|GAIN"},
      {"Ke-4K5C-M40", empty, "VIEW|MODE/EXP|VIDEO|STROBE|LUT"},
      {"Kh-5M-M15", empty, "VIEW|MODE/EXP|ANALOG|LUT|FFC"},
      {"Ku-K264-M40", empty, "VIEW|MODE/EXP|ANALOG|LUT"},
      {"Ko-4M-M80", empty, "VIEW|MODE/EXP|ANALOG|Digital I/0|AWB"},
      {"Ko-4M-C180", withFfc, "VIEW|MODE/EXP|ANALOG|FFC|Digital I/0|AWB"},
      {"Kw-8M-M80", empty, "VIEW|MODE/EXP|ANALOG"},
      {"Kw-8M-M80", withFfc, "VIEW|MODE/EXP|ANALOG|FFC"},
      {"Ko-3M-M40", withFfc, "VIEW|MODE/EXP|ANALOG"},
      {"Ko-12M-M52", empty, "VIEW|MODE/EXP|ANALOG|FFC"},
      {"Ko-50M-C5", empty, "VIEW|MODE/EXP|ANALOG|FFC|FAN|Digital I/O|AWB"},
      {"Ko-151M-M5", empty, "VIEW|MODE/EXP|ANALOG|FFC|FAN|Digital I/O"},
      {"Ko-90M-C5", empty, "VIEW|MODE/EXP|ANALOG|FFC|FAN|Digital I/O"},
      {"Ka-47M-C40", empty, "VIEW|MODE/EXP|ANALOG|FFC|FAN|Digital I/O|AWB"},
      {"Ka-43M-M40", empty, "VIEW|MODE/EXP|ANALOG|FFC|FAN|Digital I/O"},
      {"Ka-16M-M40", empty, "VIEW|MODE/EXP|ANALOG|LUT|FFC"},
      {"Ki-25M-M65", empty, "VIEW|MODE/EXP|ANALOG|FFC|TEC"},
      {"Ki-101M-M5", empty, "VIEW|MODE/EXP|ANALOG|FFC|Digital I/O|TEC"},
      {"Kx-4M-M40", empty, "VIEW|MODE/EXP|ANALOG|LUT|FFC"},
      {"Qx-4M-M40", empty, "VIEW|MODE/EXP|ANALOG|LUT|FFC"},
      {"Ke-9K2C-C50", empty, "VIEW|MODE/EXP|VIDEO|STROBE|LUT"},
      {"Ku-16K-C80", empty, "VIEW|MODE/EXP|GAIN"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(joined(tabCaptions(modelOf(c.model), c.cache)), c.tabs) << c.model;
}

// Where a camera reports no "fc" its "FFC" tab is left out, and the tabs after it show the
// pages after the flat-field page. Would catch "Digital I/0" showing the flat-field page.
TEST(ModelCatalog, PagesFollowTheTabsShown) {
  using P = PageId;
  ParameterCache empty;
  ParameterCache withFfc;
  withFfc.registerEntry("fc", 1);
  withFfc.takeFromTraffic("gfc\r\n1\r\n>");
  const ModelDescriptor ko4 = modelOf("Ko-4M-M80");
  EXPECT_EQ(pageForTab(ko4, empty, 3), (TabPage{P::Ko4MC2_Setting, 4}));
  EXPECT_EQ(pageForTab(ko4, empty, 4).page, P::BayerGain);
  EXPECT_EQ(pageForTab(ko4, empty, 5).page, P::None);
  EXPECT_EQ(pageForTab(ko4, withFfc, 3).page, P::FFCSetting);
  EXPECT_EQ(pageForTab(ko4, withFfc, 5).page, P::BayerGain);
  EXPECT_EQ(pageForTab(modelOf("Ko-2M-M40"), empty, 3).page, P::None);
  // Rows whose "FFC" tab is always there are left as they are.
  EXPECT_EQ(pageForTab(modelOf("Ko-12M-M52"), empty, 3).page, P::FFCSetting);
}

TEST(ModelCatalog, PagesPerTab) {
  using P = PageId;
  const ModelDescriptor ko12 = modelOf("Ko-12M-M65");
  EXPECT_EQ(pageForTab(ko12, 0), (TabPage{P::Ko12M52_SettingDlg, 0}));
  EXPECT_EQ(pageForTab(ko12, 2), (TabPage{P::Ko12M52_SettingDlg, 2}));
  EXPECT_EQ(pageForTab(ko12, 3).page, P::FFCSetting);
  EXPECT_EQ(pageForTab(ko12, 4).page, P::None); // beyond the row shows nothing

  const ModelDescriptor ko25 = modelOf("Ko-25MC-C65");
  EXPECT_EQ(pageForTab(ko25, 1).page, P::Ko_TriggerSetting);
  EXPECT_EQ(pageForTab(modelOf("Kx-4M-M40"), 1).page, P::TriggerSetting);
  EXPECT_EQ(pageForTab(modelOf("Kh-5M-M15"), 2).page, P::KaAFESetting);
  EXPECT_EQ(pageForTab(modelOf("Kh-4M-M15"), 2).page, P::AFESetting);

  const ModelDescriptor ka47 = modelOf("Ka-47M-M40");
  EXPECT_EQ(pageForTab(ka47, 3).page, P::FFCSettingXML);
  EXPECT_EQ(pageForTab(ka47, 3, true).page, P::FFCSelectorSetting);
  EXPECT_EQ(pageForTab(ka47, 4), (TabPage{P::Ka47M_Setting, 3}));
  EXPECT_EQ(pageForTab(modelOf("Ka-43M-M40"), 3).page, P::FFCSelectorSetting);

  const TabPage koFfc = pageForTab(modelOf("Ko-151M-M5"), 3);
  EXPECT_EQ(koFfc.page, P::KoKi101_151MC_FFC);
  EXPECT_EQ(koFfc.alsoShown, P::FFCSelectorSetting);
  EXPECT_EQ(pageForTab(modelOf("Ki-101M-M5"), 4), (TabPage{P::KoKi101_151MC_Setting, 4}));

  EXPECT_EQ(pageForTab(modelOf("Kn-47M-M35"), 6).page, P::StageCtrlDlg);
  EXPECT_EQ(pageForTab(modelOf("Kn-47M-C35"), 6), (TabPage{P::Ka47M_Setting, 5}));
  EXPECT_EQ(pageForTab(modelOf("Ke-4K5C-M40"), 4).page, P::KeLutDlg);
  EXPECT_EQ(pageForTab(modelOf("Ke-4K7C-M40"), 0).page, P::NormalKe_Setting);
  EXPECT_EQ(pageForTab(modelOf("Ke-4K7C-M40"), 4).page, P::LutDlg);
  EXPECT_EQ(pageForTab(modelOf("Ku-16K-C80"), 2), (TabPage{P::Ku_Color_SettingDlg, 2}));
  // Every Kw camera keeps the Kw 4M's settings page.
  EXPECT_EQ(pageForTab(modelOf("Kw-8M-M80"), 0), (TabPage{P::Ko4MC2_Setting, 0}));
  // A generic size class shows the generic pages whatever its series.
  EXPECT_EQ(pageForTab(modelOf("Ku-K264-M40"), 2).page, P::AFESetting);
  EXPECT_EQ(pageForTab(modelOf("Ku-K264-M40"), 3).page, P::LutDlg);
  EXPECT_EQ(pageClassName(P::Ko_TriggerSetting), "CKo_TriggerSetting");
  EXPECT_EQ(pageClassName(P::BayerGain), "CBayerGain");
  EXPECT_EQ(pageClassName(P::Ku_Color_SettingDlg), "CKu_Color_SettingDlg");
}

// Every tab of a model as "page", "page#section" or "page+page shown beside it", up to the
// first tab that shows nothing.
std::string pagesOfModel(const ModelDescriptor& model, bool ka47mSelectorFfc = false) {
  std::string text;
  for (int tab = 0; tab < 10; ++tab) {
    const TabPage page = pageForTab(model, tab, ka47mSelectorFfc);
    if (page.page == PageId::None)
      break;
    std::string cell(pageClassName(page.page));
    if (page.section >= 0)
      cell += "#" + std::to_string(page.section);
    if (page.alsoShown != PageId::None)
      cell += "+" + std::string(pageClassName(page.alsoShown));
    text += (text.empty() ? "" : "|") + cell;
  }
  return text;
}

// One row per line of the main window's page table. Would catch a page or a section number
// swapped, a row applied to the wrong size or series, or a row cut short.
TEST(ModelCatalog, EveryRowOfThePageTable) {
  struct Case {
    const char* model;
    bool selectorFfc;
    const char* pages;
  };
  const Case cases[] = {
      {"Kx-4M-M40", false, "CViewSetting|CTriggerSetting|CAFESetting|CLutDlg|CFFCSetting"},
      {"Kh-4M-M40", false, "CViewSetting|CTriggerSetting|CAFESetting|CLutDlg|CFFCSetting"},
      {"Qx-4M-M40", false, "CViewSetting|CTriggerSetting|CAFESetting|CLutDlg|CFFCSetting"},
      {"Kh-5M-M40", false, "CViewSetting|CTriggerSetting|KaAFESetting|CLutDlg|CFFCSetting"},
      {"Ka-47M-M40", false,
       "CKa47M_Setting#0|CKa47M_Setting#1|CKa47M_Setting#2|CFFCSettingXML|CKa47M_Setting#3|"
       "CKa47M_Setting#4|CKa47M_Setting#5"},
      {"Ka-47M-M40", true,
       "CKa47M_Setting#0|CKa47M_Setting#1|CKa47M_Setting#2|CFFCSelectorSetting|"
       "CKa47M_Setting#3|CKa47M_Setting#4|CKa47M_Setting#5"},
      {"Ka-43M-M40", false,
       "CKa43M_Setting#0|CKa43M_Setting#1|CKa43M_Setting#2|CFFCSelectorSetting|"
       "CKa43M_Setting#3|CKa43M_Setting#4|CKa43M_Setting#5"},
      {"Ka-29MC2-C5", false,
       "CViewSetting|CTriggerSetting|KaAFESetting|CLutDlg|CFFCSetting|CFanControlDlg"},
      {"Ka-29M-C5", false, "CViewSetting|CTriggerSetting|KaAFESetting|CLutDlg|CFFCSetting"},
      {"Kn-47M-M35", false,
       "CKa47M_Setting#0|CKa47M_Setting#1|CKa47M_Setting#2|CFFCSettingXML|CKa47M_Setting#3|"
       "CKa47M_Setting#4|CStageCtrlDlg|CStageCtrlDlg"},
      {"Kn-47M-C35", false,
       "CKa47M_Setting#0|CKa47M_Setting#1|CKa47M_Setting#2|CFFCSettingXML|CKa47M_Setting#3|"
       "CKa47M_Setting#4|CKa47M_Setting#5|CStageCtrlDlg"},
      {"Kn-16M-M4", false,
       "CViewSetting|CTriggerSetting|KaAFESetting|CLutDlg|CFFCSetting|CStageCtrlDlg"},
      {"KnP-16M-M4", false,
       "CViewSetting|CTriggerSetting|KaAFESetting|CLutDlg|CFFCSetting|CStageCtrlDlg|"
       "CPeltierCtrlDlg"},
      {"Ki-71M-M5", false,
       "CKo12M52_SettingDlg#0|CKo12M52_SettingDlg#1|CKo12M52_SettingDlg#2|CFFCSetting|"
       "CPeltierCtrlDlg|CLutDlg"},
      {"Ki-25M-M65", false,
       "CKo_ViewSetting|CKo_TriggerSetting|CKo_AFESetting|CFFCSetting|CPeltierCtrlDlg"},
      {"Ki-101M-M5", false,
       "CKoKi101_151MC_Setting#0|CKoKi101_151MC_Setting#1|CKoKi101_151MC_Setting#2|"
       "CKoKi101_151MC_FFC|CKoKi101_151MC_Setting#4|CNewPeltierCtrlDlg|CKoKi101_151MC_Setting#5"},
      {"Ki-16M-M5", false,
       "CViewSetting|CTriggerSetting|KaAFESetting|CLutDlg|CFFCSetting|CPeltierCtrlDlg"},
      {"Ko-3M-M40", false, "CKo_ViewSetting|CKo_TriggerSetting|CKo_AFESetting"},
      {"Ko-10M-M40", false,
       "CKo3_ViewSetting|CKo_TriggerSetting|CKo_AFESetting|CLutDlg|CFFCSetting"},
      {"Ko-12M-M52", false,
       "CKo12M52_SettingDlg#0|CKo12M52_SettingDlg#1|CKo12M52_SettingDlg#2|CFFCSetting"},
      {"Ko-12M-M40", false, "CKo_ViewSetting|CKo_TriggerSetting|CKo_AFESetting|CFFCSetting"},
      {"Ko-71M-M5", false,
       "CKo12M52_SettingDlg#0|CKo12M52_SettingDlg#1|CKo12M52_SettingDlg#2|CFFCSetting|CLutDlg"},
      {"Ko-90M-M5", false,
       "CKo155M_Setting#0|CKo155M_Setting#1|CKo155M_Setting#2|CFFCSelectorSetting|"
       "CKo155M_Setting#3|CKo155M_Setting#4|CKo155M_Setting#5"},
      {"Ko-4MC2-C80", false,
       "CKo4MC2_Setting#0|CKo4MC2_Setting#1|CKo4MC2_Setting#2|CFFCSettingXML|CKo4MC2_Setting#4|"
       "CKo4MC2_Setting#5"},
      {"Kw-4M-M80", false,
       "CKo4MC2_Setting#0|CKo4MC2_Setting#1|CKo4MC2_Setting#2|CFFCSettingXML|CKo4MC2_Setting#4|"
       "CKo4MC2_Setting#5"},
      {"Kw-8M-M80", false, "CKo4MC2_Setting#0|CKo4MC2_Setting#1|CKo4MC2_Setting#2|CFFCSettingXML"},
      {"Ko-50M-C5", false,
       "CKo50C_SettingDlg#0|CKo50C_SettingDlg#1|CKo50C_SettingDlg#2|CFFCSelectorSetting|"
       "CKo50C_SettingDlg#3|CKo50C_SettingDlg#4|CKo50C_SettingDlg#5"},
      {"Ko-101M-M5", false,
       "CKoKi101_151MC_Setting#0|CKoKi101_151MC_Setting#1|CKoKi101_151MC_Setting#2|"
       "CKoKi101_151MC_FFC+CFFCSelectorSetting|CKoKi101_151MC_Setting#3|"
       "CKoKi101_151MC_Setting#4|CKoKi101_151MC_Setting#5"},
      {"Ko-4M-C80", false,
       "CKo_ViewSetting|CKo_TriggerSetting|CKo_AFESetting|CFFCSetting|CKo4MC2_Setting#4|"
       "CBayerGain"},
      {"Ky-29M-C5", false,
       "CKy29CViewDlg|CKy29CTRIGGER|KaAFESetting|CKy29CLUTDlg|CFFCSetting|CKy29CROIDlg|"
       "CKy29CAutoCtrlDlg|CKy29COutputCtrlDlg"},
      {"Ke-6K2C-M80", false,
       "CNewKe_Setting#0|CNewKe_Setting#1|CNewKe_Setting#2|CNewKe_Setting#3|CKeLutDlg"},
      {"Ke-2K4C-M120", false,
       "CNormalKe_Setting#0|CNormalKe_Setting#1|CNormalKe_Setting#2|CNormalKe_Setting#3|"
       "CLutDlg"},
      {"Ke-9K2C-C50", false,
       "CKe_Color_Setting#0|CKe_Color_Setting#1|CKe_Color_Setting#2|CKe_Color_Setting#3|"
       "CKeLutDlg"},
      {"Ku-16K-M80", false, "CKu_Basic_SettingDlg#0|CKu_Basic_SettingDlg#1|CKu_Basic_SettingDlg#2"},
      {"Ku-16K-C80", false, "CKu_Color_SettingDlg#0|CKu_Color_SettingDlg#1|CKu_Color_SettingDlg#2"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(pagesOfModel(modelOf(c.model), c.selectorFfc), c.pages) << c.model;
}

TEST(ModelCatalog, SettingFileHandlersAndDedicatedPages) {
  EXPECT_EQ(controlFileFor(modelOf("Ke-4K5C-M40")), ControlFileKind::Ke);
  EXPECT_EQ(controlFileFor(modelOf("Ko-50M-C5")), ControlFileKind::Ko50MC2);
  EXPECT_EQ(controlFileFor(modelOf("Ko-12M-M65")), ControlFileKind::Ko25MC2);
  EXPECT_EQ(controlFileFor(modelOf("Ki-25M-M65")), ControlFileKind::Ko25MC2);
  EXPECT_EQ(controlFileFor(modelOf("Ko-4M-C80")), ControlFileKind::Ko4MC2);
  EXPECT_EQ(controlFileFor(modelOf("Ko-4M-C65")), ControlFileKind::Generic);
  EXPECT_EQ(controlFileFor(modelOf("Kw-4M-C65")), ControlFileKind::Ko4MC2);
  EXPECT_EQ(controlFileFor(modelOf("Ki-12M-M65")), ControlFileKind::Generic);

  EXPECT_EQ(dedicatedPagesFor(modelOf("Kn-47M-M35")),
            (std::vector<PageId>{PageId::Ka47M_Setting, PageId::StageCtrlDlg}));
  EXPECT_EQ(dedicatedPagesFor(modelOf("Ki-151M-M5")),
            std::vector<PageId>{PageId::KoKi101_151MC_Setting});
  EXPECT_EQ(dedicatedPagesFor(modelOf("Ke-3KC-M40")), std::vector<PageId>{PageId::NewKe_Setting});
  EXPECT_EQ(dedicatedPagesFor(modelOf("Ku-16K-M80")),
            std::vector<PageId>{PageId::Ku_Basic_SettingDlg});
  EXPECT_TRUE(dedicatedPagesFor(modelOf("Ko-25MC-C65")).empty());
}

} // namespace
