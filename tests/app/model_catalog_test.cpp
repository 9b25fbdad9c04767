// Tabs, pages per tab, setting-file handlers and dedicated pages per camera model.
#include <gtest/gtest.h>

#include "app/model_catalog.h"
#include "app/model_rules.h"

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
  withFfc.updateFromTraffic("sfc 1\r\nOK\r\n>");
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
  };
  for (const Case& c : cases)
    EXPECT_EQ(joined(tabCaptions(modelOf(c.model), c.cache)), c.tabs) << c.model;
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
  EXPECT_EQ(pageForTab(modelOf("Kw-8M-M80"), 0).page, P::None);
  EXPECT_EQ(pageClassName(P::Ko_TriggerSetting), "CKo_TriggerSetting");
  EXPECT_EQ(pageClassName(P::Ku_Color_SettingDlg), "CKu_Color_SettingDlg");
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
