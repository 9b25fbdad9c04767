// The Ko factory page against a simulated Ko camera: serial numbers, bias voltages and the
// black-level offset read and written inside the privileged level, register reads, writes
// and aging, the sensor clock, and the sensor information file through the transfer engine.
#include <QApplication>
#include <QTemporaryDir>
#include <fstream>

#include <gtest/gtest.h>

#include "pages/ko/ko_kosetting.h"
#include "tests/pages/declared_page_rig.h"
#include "transfer/binary_transfer.h"

using namespace kelpax;
using pagetest::Commands;
using pagetest::settle;

namespace {

class QuietFactory : public CKo_Kosetting {
public:
  using CKo_Kosetting::CKo_Kosetting;
  std::vector<QString> messages;
  QString chosenFile;

protected:
  void showMessage(const QString& text) override { messages.push_back(text); }
  QString chooseSensorInfoFile() override { return chosenFile; }
};

class KoFactoryPage : public pagetest::DeclaredPageTest<QuietFactory> {
protected:
  KoFactoryPage() : DeclaredPageTest("Ko-25MC-C65") {}

  void enter(QLineEdit* edit, const char* text) {
    edit->setText(text);
    QTest::keyClick(edit, Qt::Key_Return);
    settle();
  }
  const Commands kReadAll{"aar qelmarst", "gsn piece",  "gsn bd1",    "gsn bd2",    "gsn bd3",
                          "gsn ccd",      "gvref vrst", "gvref vln1", "gvref vrf2", "gvref vlp",
                          "gvref vln2",   "gvref vcl3", "gblo",       "aar off"};
};

Commands joined(std::initializer_list<Commands> parts) {
  Commands all;
  for (const Commands& part : parts)
    all.insert(all.end(), part.begin(), part.end());
  return all;
}

// "Refresh" reads everything in one privileged session and closes it again. Would catch a
// read outside the level (the camera refuses them there) or the level left open.
TEST_F(KoFactoryPage, RefreshReadsInsideThePrivilegedLevel) {
  click(page.button("Refresh"));
  EXPECT_EQ(sent(), kReadAll);
  EXPECT_EQ(page.serialEdit(1)->text(), "B1-0001");
  EXPECT_EQ(page.serialEdit(4)->text(), "CCD-7731");
  EXPECT_FALSE(page.serialEdit(0)->text().isEmpty());
  EXPECT_EQ(page.biasEdit(0)->text(), "180");
  EXPECT_EQ(page.biasEdit(5)->text(), "120");
  EXPECT_EQ(page.blackOffsetEdit()->text(), "256");
  EXPECT_FALSE(rig.direct("gvref vrst")) << "the level is closed again";
}

// Each write goes out inside the level and the fields show what the camera keeps afterwards;
// values beyond the DACs and serial numbers with blanks are not sent. Would catch a refused
// or out-of-range value left in its field as if the camera held it.
TEST_F(KoFactoryPage, WritesInsideTheLevelAndShowWhatTheCameraKeeps) {
  enter(page.biasEdit(0), "200");
  EXPECT_EQ(sent(), joined({{"aar qelmarst", "svref vrst 200", "aar off"}, kReadAll}));
  EXPECT_EQ(page.biasEdit(0)->text(), "200");
  clearSent();
  enter(page.biasEdit(3), "256");
  EXPECT_EQ(sent(), kReadAll) << "beyond the 8-bit DAC: only read again";
  EXPECT_EQ(page.biasEdit(3)->text(), "60");

  clearSent();
  enter(page.serialEdit(2), "B2-7777");
  EXPECT_EQ(sent(), joined({{"aar qelmarst", "ssn bd2 B2-7777", "aar off"}, kReadAll}));
  EXPECT_EQ(page.serialEdit(2)->text(), "B2-7777");
  clearSent();
  enter(page.serialEdit(2), "B2 7777");
  EXPECT_EQ(sent(), kReadAll);
  EXPECT_EQ(page.messages.size(), 1u);
  EXPECT_EQ(page.serialEdit(2)->text(), "B2-7777");

  clearSent();
  enter(page.blackOffsetEdit(), "300");
  enter(page.gainPieceEdit(), "7");
  EXPECT_EQ(sent(), joined({{"aar qelmarst", "sblo 300", "aar off"},
                            kReadAll,
                            {"aar qelmarst", "sgp 7", "aar off"}}));
  EXPECT_EQ(page.blackOffsetEdit()->text(), "300");
  EXPECT_EQ(page.gainPieceEdit()->text(), "7");
  clearSent();
  enter(page.gainPieceEdit(), "16");
  EXPECT_TRUE(sent().empty());
  EXPECT_TRUE(page.gainPieceEdit()->text().isEmpty());

  // The sensor clock is the page's one choice.
  clearSent();
  click(radio("ccs", 1));
  EXPECT_EQ(sent(), Commands{"sccs 1"});
  EXPECT_TRUE(radio("ccs", 1)->isChecked());
}

// Register access with the address written "0x%08X", the read value shown, and an aging run
// that counts what failed. Would catch an address sent as typed, a decimal address read as
// hexadecimal, or failed reads counted as good.
TEST_F(KoFactoryPage, RegisterReadWriteAndAging) {
  page.addressEdit()->setText("0x02");
  page.dataEdit()->setText("0x1F");
  click(page.button("Write"));
  EXPECT_EQ(sent(), (Commands{"aar qelmarst", "wfpga 0x00000002 0x0000001F", "aar off"}));
  EXPECT_EQ(page.registerResult()->text(), "Write OK");
  page.dataEdit()->clear();
  clearSent();
  page.addressEdit()->setText("2");
  click(page.button("Read"));
  EXPECT_EQ(sent(), (Commands{"aar qelmarst", "rfpga 0x00000002", "aar off"}));
  EXPECT_EQ(page.dataEdit()->text(), "0x0000001F");

  clearSent();
  page.runAging(10);
  EXPECT_EQ(sent().size(), 12u);
  EXPECT_EQ(page.registerResult()->text(), "10 reads, 0 failed, 0 differing");

  clearSent();
  page.addressEdit()->setText("0x1G");
  click(page.button("Read"));
  click(page.button("Aging"));
  page.dataEdit()->setText("0x100000000");
  page.addressEdit()->setText("0x02");
  click(page.button("Write"));
  EXPECT_TRUE(sent().empty()) << "no register number: nothing sent";

  rig.refuseEverything(true);
  click(page.button("Read"));
  rig.refuseEverything(false);
  EXPECT_EQ(page.registerResult()->text(), "Read failed");
  EXPECT_TRUE(page.dataEdit()->text().isEmpty());
}

// The information file goes to the camera as one frame through the transfer engine; a file
// that is not one is refused before anything is sent. Would catch "Download OK" shown for a
// refused file or a frame the camera never stored.
TEST_F(KoFactoryPage, SensorInformationDownload) {
  EXPECT_FALSE(page.button("Download")->isEnabled()) << "no transfer engine yet";
  BinaryTransfer transfer(rig.exchange());
  int frames = 0;
  page.setSingleFrameSender([&](uint16_t command, std::span<const uint8_t> data) {
    ++frames;
    return transfer.SendSingleFrame(command, data).ok();
  });
  EXPECT_TRUE(page.button("Download")->isEnabled());

  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const std::string good = dir.filePath("sensor.cif").toStdString();
  {
    std::ofstream out(good, std::ios::binary);
    for (const char* line :
         {"ActiveH , 4096", "ActiveV , 3072", "DarkH , 24", "DarkV1 , 4", "DarkV2 , 6", "BuffH , 8",
          "BuffV1 , 2", "BuffV2 , 3", "DummyH , 12", "Freq , 40", "T3p , 1.5", "Tv3rd , 2",
          "T3d , 0.125", "Tvccd , 3", "Thd , 4.5", "Tl , 5", "Tel , 0.5", "Ts , 6", "Tsd , 7"})
      out << line << "\r\n";
  }
  page.chosenFile = QString::fromStdString(good);
  click(page.button("Download"));
  EXPECT_EQ(frames, 1);
  EXPECT_EQ(page.sensorInfoResult()->text(), "Download OK");
  EXPECT_EQ(rig.exchange().Query("simstore 0300").token().substr(0, 3), "56/");

  const std::string bad = dir.filePath("broken.cif").toStdString();
  std::ofstream(bad) << "ActiveH , 4096\r\n";
  page.chosenFile = QString::fromStdString(bad);
  click(page.button("Download"));
  EXPECT_EQ(frames, 1) << "a broken file is not sent";
  EXPECT_NE(page.sensorInfoResult()->text(), "Download OK");
  EXPECT_FALSE(page.sensorInfoResult()->text().isEmpty());

  page.chosenFile.clear();
  click(page.button("Download"));
  EXPECT_EQ(frames, 1) << "the dialog was cancelled";

  page.setSingleFrameSender([&](uint16_t, std::span<const uint8_t>) { return false; });
  page.chosenFile = QString::fromStdString(good);
  click(page.button("Download"));
  EXPECT_EQ(page.sensorInfoResult()->text(), "Download Faild");
}

// "Defect Down" runs the main window's defect-map download once, and only when there is one.
// Would catch a button that looks usable but does nothing.
TEST_F(KoFactoryPage, DefectDownRunsTheDefectMapDownload) {
  EXPECT_FALSE(page.button("Defect Down")->isEnabled());
  int runs = 0;
  page.setDefectDownload([&] { ++runs; });
  ASSERT_TRUE(page.button("Defect Down")->isEnabled());
  click(page.button("Defect Down"));
  EXPECT_EQ(runs, 1);
  EXPECT_TRUE(sent().empty()) << "the download itself belongs to the main window";
}

// A camera that refuses everything: the fields stay empty, the page says the level would
// not open, and it still tries to close the level. Would catch old values left standing.
TEST_F(KoFactoryPage, ARefusingCameraLeavesTheFieldsEmpty) {
  click(page.button("Refresh"));
  ASSERT_FALSE(page.biasEdit(0)->text().isEmpty());
  rig.refuseEverything(true);
  clearSent();
  click(page.button("Refresh"));
  rig.refuseEverything(false);
  EXPECT_EQ(sent(), (Commands{"aar qelmarst", "aar off"}));
  EXPECT_TRUE(page.biasEdit(0)->text().isEmpty());
  EXPECT_TRUE(page.serialEdit(1)->text().isEmpty());
  EXPECT_EQ(page.messages.size(), 1u);
}

} // namespace
