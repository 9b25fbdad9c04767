// The look-up table pages against a simulated camera: gamma typed in, files loaded and saved,
// tables sent to a slot and read back, the table choice, the Ky 29C page's refusal while a
// transfer runs and its table type, and the hidden timing test.
#include <QApplication>
#include <QComboBox>
#include <QRadioButton>
#include <QTest>
#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>
#include <unistd.h>

#include "editors/lut_dlg.h"
#include "editors/lut_graph.h"
#include "pages/edit_widgets.h"
#include "pages/view_page.h"
#include "tests/pages/page_rig.h"

using namespace kelpax;

namespace {

namespace fs = std::filesystem;

struct Shown {
  std::string caption;
  std::string text;
};

// A page over a simulated camera with every service recorded: transfers run on the camera's
// own channel, messages and file choices are kept here.
class LutPageTest : public ::testing::Test {
protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("kelpax-lutpage-" + std::to_string(getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  template <typename Page> std::unique_ptr<Page> open(const std::string& model) {
    rig_ = std::make_unique<pagetest::CameraRig>(model);
    transfer_ = std::make_unique<BinaryTransfer>(rig_->exchange());
    auto page = std::make_unique<Page>(rig_->host());
    LutPageServices services;
    services.busy = [this] { return busy_; };
    services.download = [this](const DownloadPlan& plan) {
      ++transfers_;
      return transfer_->SendBinary(plan);
    };
    services.upload = [this](const UploadPlan& plan, std::vector<uint8_t>& out) {
      ++transfers_;
      return transfer_->ReceiveBinary(plan, out);
    };
    services.message = [this](const std::string& caption, const std::string& text) {
      shown_.push_back({caption, text});
    };
    services.openFile = [this](std::string_view) { return chosen_; };
    services.saveFile = [this](std::string_view) { return chosen_; };
    services.selectionChanged = [this] { ++selectionsTold_; };
    services.nowMs = [this] { return clockMs_ += 100; };
    page->setServices(services);
    page->resize(700, 520);
    page->show();
    return page;
  }
  std::string path(const std::string& name) const { return (dir_ / name).string(); }
  static LutTable gamma(double value, LutType type = LutType::Bits12) {
    LutTable table(type);
    EXPECT_TRUE(generateGammaTable(table, value));
    return table;
  }
  static void typeGamma(CLutDlg& page, const char* text) {
    page.gammaEdit()->setText(QString::fromLatin1(text));
    page.applyGamma();
  }

  fs::path dir_;
  std::unique_ptr<pagetest::CameraRig> rig_;
  std::unique_ptr<BinaryTransfer> transfer_;
  bool busy_ = false;
  int transfers_ = 0;
  int selectionsTold_ = 0;
  long clockMs_ = 0;
  std::string chosen_;
  std::vector<Shown> shown_;
};

} // namespace

// Would catch a refused gamma still changing the table, or the edit left showing it.
TEST_F(LutPageTest, GammaEditTakesOnlyValuesItAllows) {
  auto page = open<CLutDlg>("Kx-4M-M40");
  EXPECT_EQ(page->windowTitle(), QStringLiteral("Camera LUT Download / Upload"));
  EXPECT_EQ(page->table(), LutTable());
  typeGamma(*page, "0.45");
  EXPECT_EQ(page->table(), gamma(0.45));
  EXPECT_EQ(page->gammaEdit()->text(), QStringLiteral("0.45"));
  for (const char* refused : {"0", "1001", "-2"}) {
    typeGamma(*page, refused);
    EXPECT_EQ(page->table(), gamma(0.45)) << refused;
    EXPECT_EQ(page->gammaEdit()->text(), QStringLiteral("0.45")) << refused;
  }
  // Enter in the edit commits the same way.
  page->gammaEdit()->setFocus();
  page->gammaEdit()->selectAll();
  QTest::keyClicks(page->gammaEdit(), "2.2");
  QTest::keyClick(page->gammaEdit(), Qt::Key_Return);
  pagetest::settle();
  EXPECT_EQ(page->table(), gamma(2.2));
  EXPECT_EQ(rig_->host().sent.size(), 0u) << "gamma is the page's own business";
}

// A file that fails keeps the page's table whole and says so; a saved name gets ".lut".
TEST_F(LutPageTest, FilesLoadWholeOrNotAtAll) {
  auto page = open<CLutDlg>("Kx-4M-M40");
  typeGamma(*page, "0.45");
  chosen_ = path("saved");
  page->saveFile();
  ASSERT_TRUE(fs::exists(path("saved.lut")));
  EXPECT_TRUE(shown_.empty());

  std::ofstream(path("bad.lut")) << ":Quorvane Camera LUT Data \n0,4095\n1,4094\n3,4092\n";
  chosen_ = path("bad.lut");
  page->loadFile();
  ASSERT_EQ(shown_.size(), 1u);
  EXPECT_EQ(shown_[0].caption, "LUT Downloader");
  EXPECT_EQ(shown_[0].text, " LUT file error!");
  EXPECT_EQ(page->table(), gamma(0.45));

  chosen_ = path("absent.lut");
  page->loadFile();
  ASSERT_EQ(shown_.size(), 2u);
  EXPECT_EQ(shown_[1].caption, "Downloader");
  EXPECT_EQ(shown_[1].text, "Cannot open LUT file!");

  typeGamma(*page, "1.00");
  chosen_ = path("saved.lut");
  page->loadFile();
  EXPECT_EQ(page->table(), gamma(0.45));

  // Nothing happens while the main window transfers.
  busy_ = true;
  typeGamma(*page, "1.00");
  page->loadFile();
  EXPECT_EQ(page->table(), LutTable());
}

// Download to a slot, upload back: the same table. A failed upload gives the old table back
// rather than leaving the operator's table replaced by "no data".
TEST_F(LutPageTest, SlotsRoundTripAndFailedUploadKeepsTheTable) {
  auto page = open<CLutDlg>("Kx-4M-M40");
  typeGamma(*page, "0.45");
  page->slotGroup()->button(1)->click(); // "LUT2"
  page->download();
  typeGamma(*page, "3.00");
  page->upload();
  EXPECT_EQ(page->table(), gamma(0.45));
  EXPECT_TRUE(shown_.empty());

  typeGamma(*page, "3.00");
  page->slotGroup()->button(0)->click(); // "LUT1": never written
  page->upload();
  EXPECT_EQ(page->table(), gamma(3.0));
  ASSERT_EQ(shown_.size(), 1u);
  EXPECT_EQ(shown_[0].text, kLutUploadEmpty);
  EXPECT_EQ(transfers_, 3);
  busy_ = true;
  page->download();
  page->upload();
  EXPECT_EQ(transfers_, 3) << "a transfer started while another ran";
}

// "sls N" with 12000 ms from the buttons; the view pages are told; a refusal leaves the choice.
TEST_F(LutPageTest, SelectionAsksTheCameraFirst) {
  auto page = open<CLutDlg>("Kx-4M-M40");
  page->refreshFromCache();
  EXPECT_TRUE(page->selectionGroup()->button(0)->isChecked()) << "the camera starts with Off";
  page->selectionGroup()->button(2)->click();
  ASSERT_FALSE(rig_->host().sent.empty());
  EXPECT_EQ(rig_->host().sent.back().command, "sls 2");
  EXPECT_EQ(rig_->host().sent.back().timeoutMs, 12000u);
  EXPECT_TRUE(page->selectionGroup()->button(2)->isChecked());
  EXPECT_EQ(rig_->host().cacheInt("ls"), 2);
  EXPECT_EQ(selectionsTold_, 1);

  rig_->host().scripted["sls 1"] = false;
  page->selectionGroup()->button(1)->click();
  EXPECT_TRUE(page->selectionGroup()->button(2)->isChecked());
  EXPECT_FALSE(page->selectionGroup()->button(1)->isChecked());
  EXPECT_EQ(selectionsTold_, 1);
}

// The view page's "LUT" group shows the choice made on the look-up table page, as the main
// window wires them. Would catch the choice reaching the camera but not the cache the view page
// reads.
TEST_F(LutPageTest, ViewPageMirrorsTheChoice) {
  auto page = open<CLutDlg>("Kx-4M-M40");
  CViewSetting view(rig_->host());
  view.setControlsFromCache();
  LutPageServices services;
  services.selectionChanged = [&view] { view.setControlsFromCache(); };
  page->setServices(services);
  SettingsPage::RadioGroup* group = view.radioGroup("ls");
  ASSERT_NE(group, nullptr);
  ASSERT_EQ(group->buttons.size(), 3u);
  EXPECT_TRUE(group->buttons[0]->isChecked());
  page->selectionGroup()->button(1)->click();
  EXPECT_TRUE(group->buttons[1]->isChecked());
  EXPECT_FALSE(group->buttons[0]->isChecked());
  page->selectionGroup()->button(2)->click();
  EXPECT_TRUE(group->buttons[2]->isChecked());
  EXPECT_FALSE(group->buttons[1]->isChecked());
}

// The Ky 29C page refuses a transfer while the main window runs one, and switches the table
// and the controls with its type.
TEST_F(LutPageTest, Ky29CPage) {
  auto page = open<CKy29CLUTDlg>("Ky-29C-M40");
  busy_ = true;
  page->download();
  ASSERT_EQ(shown_.size(), 1u);
  EXPECT_EQ(shown_[0].caption, "Information");
  EXPECT_EQ(shown_[0].text, "Cannot download LUT");
  EXPECT_EQ(transfers_, 0);
  busy_ = false;

  EXPECT_FALSE(page->button("point")->isEnabled());
  EXPECT_TRUE(page->gammaEdit()->isEnabled());
  page->setType(1);
  EXPECT_EQ(page->table().size(), 16384);
  EXPECT_TRUE(page->button("point")->isEnabled());
  EXPECT_FALSE(page->gammaEdit()->isEnabled());
  EXPECT_FALSE(page->button("applyGamma")->isEnabled());

  // Point mode: the caption turns to "Apply"; applied, the table follows the points.
  page->pointOrApply();
  EXPECT_TRUE(page->graph()->pointMode());
  EXPECT_EQ(page->button("point")->text(), QStringLiteral("Apply"));
  page->graph()->setPoints({{8192, 1000}});
  page->pointOrApply();
  EXPECT_FALSE(page->graph()->pointMode());
  EXPECT_EQ(page->button("point")->text(), QStringLiteral("Point"));
  EXPECT_EQ(page->table()[8192], 1000);
  const LutTable drawn = page->table();

  // The 14-bit table to the camera and back; its file has no gamma line.
  page->download();
  page->setType(1);
  page->upload();
  EXPECT_EQ(page->table(), drawn);
  chosen_ = path("wide");
  page->saveFile();
  std::ifstream in(path("wide.lut"));
  const std::string text((std::istreambuf_iterator<char>(in)), {});
  EXPECT_EQ(text.find('#'), std::string::npos);
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 16385);

  // Any other type is the 12-bit one.
  page->setType(5);
  EXPECT_EQ(page->table().size(), 4096);
  EXPECT_EQ(page->typeSelector()->currentIndex(), 0);
}

TEST_F(LutPageTest, HiddenTimingTest) {
  auto page = open<CKeLutDlg>("Ke-4K7C-M40");
  EXPECT_FALSE(page->button("createLut")->isVisible());
  page->createLutTest();
  const pagetest::Commands sent = rig_->host().commands();
  ASSERT_EQ(sent.size(), 60u);
  EXPECT_EQ(sent[0], "sva 0 1000");
  EXPECT_EQ(sent[59], "sva 200 1000");
  EXPECT_EQ(rig_->host().sent[0].timeoutMs, 3000u);
  ASSERT_EQ(shown_.size(), 1u);
  EXPECT_EQ(shown_[0].caption, "Test Results");
  // Two clock readings 100 ms apart: 100 / 60.
  EXPECT_EQ(shown_[0].text, "\nStage Setup Time : 1.67 ms \n(Stage Driving Time + Serial "
                            "Communication Time + Latency)\n");
}
