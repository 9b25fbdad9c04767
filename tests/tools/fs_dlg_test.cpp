// The factory tuning dialog against a simulated CCD camera, offscreen: the arrows and the wheel,
// the clamp, the files, refused values and the soak test run from the window.
#include <QApplication>
#include <QElapsedTimer>
#include <QTest>
#include <QWheelEvent>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>

#include <gtest/gtest.h>

#include "../session/pty_camera_link.h"
#include "tools/fs_dlg.h"
#include "transfer/binary_transfer.h"

namespace kelpax {
namespace {

namespace fs = std::filesystem;

// Refuses the commands in `refuse`, forwards the rest to the camera, records what it sent.
class FilteringHost : public PageHost {
public:
  explicit FilteringHost(ConnectedCamera& camera) : camera_(camera) {}
  Answer sendCommand(std::string_view command, ExchangeOptions options) override {
    sent.emplace_back(command);
    if (refuse.count(std::string(command))) {
      Answer refused;
      refused.result = CommandResult::CameraError;
      refused.text = std::string(command) + "\r\nError : refused\r\n>";
      return refused;
    }
    return camera_.sendCommand(command, options);
  }
  const ParameterCache& parameterCache() const override { return camera_.parameterCache(); }
  const ModelDescriptor& modelDescriptor() const override { return camera_.modelDescriptor(); }
  std::vector<std::string> sent;
  std::set<std::string> refuse;

private:
  ConnectedCamera& camera_;
};

struct Rig {
  explicit Rig(const std::string& model = "Kx-4M-M40")
      : link(model, "fsdlg"), host(link.connected), transfer(link.exchange) {
    link.connected.identify(model);
    CFSDlg::Options options;
    options.transfer = &transfer;
    options.openFile = [this](const QString&) { return chosen; };
    options.saveFile = [this](const QString&) { return chosen; };
    options.message = [this](const std::string& caption, const std::string& text) {
      messages.push_back(caption + "|" + text);
    };
    options.status = [this](const std::string& text) { statuses.push_back(text); };
    options.beeper = [this](int hz, int ms) { beeps.emplace_back(hz, ms); };
    options.closed = [this] { closed = true; };
    dlg = std::make_unique<CFSDlg>(host, std::move(options));
    dlg->show();
    dlg->readFromCamera();
    host.sent.clear();
  }
  sessiontest::PtyCameraLink link;
  FilteringHost host;
  BinaryTransfer transfer;
  std::unique_ptr<CFSDlg> dlg;
  std::string chosen;
  std::vector<std::string> messages;
  std::vector<std::string> statuses;
  std::vector<std::pair<int, int>> beeps;
  bool closed = false;
};

// A folder of the test's own for its files, removed with everything in it at the end.
struct Scratch {
  Scratch() {
    dir = fs::temp_directory_path() /
          ("kelpax-fsdlg-files-" + std::to_string(getpid()) + "-" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir);
  }
  ~Scratch() {
    std::error_code ec;
    fs::remove_all(dir, ec);
  }
  fs::path operator()(const std::string& name) const { return dir / name; }
  fs::path dir;
};

void typeInto(QSpinBox* edit, int value) {
  edit->setFocus();
  edit->selectAll();
  QTest::keyClicks(edit, QString::number(value));
  QTest::keyClick(edit, Qt::Key_Return);
}

// "▲" at 63 wraps to 0 and "▼" at 0 to 63 on the checked rows; unchecked rows keep their
// words and nothing goes to the camera.
TEST(FactoryDialog, ArrowsWrapCheckedRowsAndSendNothing) {
  Rig rig;
  CFSDlg& dlg = *rig.dlg;
  typeInto(dlg.channelEdit(0), 63); // H1A
  typeInto(dlg.channelEdit(1), 63); // H1B, left unchecked
  typeInto(dlg.channelEdit(12), 0); // RG
  dlg.channelBox(0)->setChecked(true);
  dlg.channelBox(12)->setChecked(true);
  dlg.button(QStringLiteral("▲"))->click();
  EXPECT_EQ(dlg.channelEdit(0)->value(), 0);
  EXPECT_EQ(dlg.channelEdit(1)->value(), 63);
  EXPECT_EQ(dlg.channelEdit(12)->value(), 1);
  dlg.button(QStringLiteral("▼"))->click();
  dlg.button(QStringLiteral("▼"))->click();
  EXPECT_EQ(dlg.channelEdit(0)->value(), 62);
  EXPECT_EQ(dlg.channelEdit(12)->value(), 63);
  EXPECT_EQ(dlg.sets().width[size_t(TimingChannel::RG)], 63);
  EXPECT_TRUE(rig.host.sent.empty());

  // "ALL" checks every row; the offset view keeps its own words.
  dlg.button(QStringLiteral("ALL"))->click();
  EXPECT_TRUE(dlg.channelBox(5)->isChecked());
  dlg.offsetRadio()->click();
  EXPECT_EQ(dlg.channelEdit(12)->value(), 34);
  dlg.button(QStringLiteral("Clear"))->click();
  EXPECT_FALSE(dlg.channelBox(0)->isChecked());
}

// A wheel turn steps, beeps and sends the set on view: "sto" in the offset view, "stw" in the
// width view, in the camera's argument order; the camera then holds it.
TEST(FactoryDialog, WheelSendsTheSetOnView) {
  Rig rig;
  CFSDlg& dlg = *rig.dlg;
  dlg.offsetRadio()->click();
  dlg.channelBox(12)->setChecked(true); // RG
  const QPointF at(5, 5);
  QWheelEvent forward(at, dlg.mapToGlobal(at), {}, QPoint(0, 120), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
  QApplication::sendEvent(&dlg, &forward);
  ASSERT_EQ(rig.host.sent.size(), 1u);
  EXPECT_EQ(rig.host.sent[0], "sto 0 0 0 0 0 0 35 62 62 24 24 24 24");
  ASSERT_FALSE(rig.beeps.empty());
  EXPECT_EQ(rig.beeps.back(), std::make_pair(1000, 5));
  EXPECT_NE(rig.link.connected.sendCommand("gsto", {}).text.find("0 0 0 0 0 0 35 62"),
            std::string::npos);

  dlg.widthRadio()->click();
  QWheelEvent backward(at, dlg.mapToGlobal(at), {}, QPoint(0, -120), Qt::NoButton, Qt::NoModifier,
                       Qt::NoScrollPhase, false);
  QApplication::sendEvent(&dlg, &backward);
  EXPECT_EQ(rig.host.sent.back(), "stw 16 16 16 16 16 16 11 16 16 16 16 16 16");
}

// The clamp asks for the new state and changes only when the camera accepts.
TEST(FactoryDialog, OffsetClampFollowsTheCamera) {
  Rig rig;
  QCheckBox* clamp = rig.dlg->offsetClamp();
  rig.host.refuse = {"snc 1"};
  clamp->click();
  EXPECT_EQ(rig.host.sent.back(), "snc 1");
  EXPECT_FALSE(clamp->isChecked());
  rig.host.refuse.clear();
  clamp->click();
  EXPECT_TRUE(clamp->isChecked());
  clamp->click();
  EXPECT_EQ(rig.host.sent.back(), "snc 0");
  EXPECT_FALSE(clamp->isChecked());
}

// Opening the dialog shows the voltage and the clamp the camera holds, also after they changed
// behind its back; the clamp then asks for the state opposite to the camera's. A camera that
// does not tell them leaves both as they were shown.
TEST(FactoryDialog, OpeningShowsTheCamerasVoltageAndClamp) {
  Rig rig;
  EXPECT_EQ(rig.dlg->vsubEdit()->text(), QStringLiteral("12.50"));
  EXPECT_FALSE(rig.dlg->offsetClamp()->isChecked());
  ConnectedCamera& camera = rig.link.connected;
  ASSERT_TRUE(camera.sendCommand("ssv 7.25", {.timeoutMs = 3000}).accepted());
  ASSERT_TRUE(camera.sendCommand("snc 1", {.timeoutMs = 3000}).accepted());

  rig.dlg->readFromCamera();
  EXPECT_EQ(rig.dlg->vsubEdit()->text(), QStringLiteral("7.25"));
  QCheckBox* clamp = rig.dlg->offsetClamp();
  EXPECT_TRUE(clamp->isChecked());
  EXPECT_NE(std::find(rig.host.sent.begin(), rig.host.sent.end(), "gsv"), rig.host.sent.end());
  EXPECT_NE(std::find(rig.host.sent.begin(), rig.host.sent.end(), "gnc"), rig.host.sent.end());
  rig.host.sent.clear();
  clamp->click();
  ASSERT_EQ(rig.host.sent.size(), 1u);
  EXPECT_EQ(rig.host.sent[0], "snc 0") << "the camera's clamp is on: the click turns it off";
  EXPECT_FALSE(clamp->isChecked());
  EXPECT_EQ(camera.sendCommand("gnc", {.timeoutMs = 3000}).token(), "0");

  // Both read-backs refused: the dialog keeps what it showed, and a refused voltage edit still
  // snaps back to the camera's last value.
  ASSERT_TRUE(camera.sendCommand("ssv 3.10", {.timeoutMs = 3000}).accepted());
  ASSERT_TRUE(camera.sendCommand("snc 1", {.timeoutMs = 3000}).accepted());
  rig.host.refuse = {"gsv", "gnc"};
  rig.dlg->readFromCamera();
  EXPECT_EQ(rig.dlg->vsubEdit()->text(), QStringLiteral("7.25"));
  EXPECT_FALSE(clamp->isChecked());
  rig.host.refuse.clear();
  rig.dlg->readFromCamera();
  EXPECT_EQ(rig.dlg->vsubEdit()->text(), QStringLiteral("3.10"));
  EXPECT_TRUE(clamp->isChecked());
  rig.host.refuse = {"ssv 4.00"};
  rig.dlg->vsubEdit()->setText(QStringLiteral("4"));
  QTest::keyClick(rig.dlg->vsubEdit(), Qt::Key_Return);
  EXPECT_EQ(rig.dlg->vsubEdit()->text(), QStringLiteral("3.10"));
}

// Save after Reset writes the factory words (first entry 00 00 00 10); Load of a file of the
// wrong length says why and leaves the words as they were; Load of a good one shows it.
TEST(FactoryDialog, SaveAndLoadTimingFiles) {
  Scratch scratch;
  Rig rig;
  CFSDlg& dlg = *rig.dlg;
  typeInto(dlg.channelEdit(3), 40);
  dlg.button(QStringLiteral("Reset"))->click();
  EXPECT_EQ(dlg.channelEdit(3)->value(), 16);
  rig.chosen = scratch("reset.tmd").string();
  dlg.button(QStringLiteral("Save"))->click();
  std::ifstream in(rig.chosen, std::ios::binary);
  const std::string bytes{std::istreambuf_iterator<char>(in), {}};
  ASSERT_EQ(bytes.size(), 104u);
  EXPECT_EQ(bytes.substr(0, 4), std::string("\0\0\0\x10", 4));

  typeInto(dlg.channelEdit(3), 41);
  const fs::path shortFile = scratch("short.tmd");
  std::ofstream(shortFile, std::ios::binary) << bytes.substr(0, 100);
  rig.chosen = shortFile.string();
  dlg.button(QStringLiteral("Load"))->click();
  ASSERT_EQ(rig.messages.size(), 1u);
  EXPECT_NE(rig.messages[0].find("100 bytes"), std::string::npos) << rig.messages[0];
  EXPECT_EQ(dlg.channelEdit(3)->value(), 41);

  rig.chosen = scratch("reset.tmd").string();
  dlg.button(QStringLiteral("Load"))->click();
  EXPECT_EQ(dlg.channelEdit(3)->value(), 16);
  EXPECT_TRUE(rig.host.sent.empty());
}

// A refused or out-of-range value snaps back to what the camera holds; a spin step commits.
TEST(FactoryDialog, RefusedValuesSnapBack) {
  Rig rig;
  QSpinBox* afe = rig.dlg->intEdit(QStringLiteral("AFE Delay :"));
  ASSERT_NE(afe, nullptr);
  EXPECT_EQ(afe->value(), 14); // as the camera reported it
  rig.host.refuse = {"sad 20"};
  typeInto(afe, 20);
  EXPECT_EQ(rig.host.sent.back(), "sad 20");
  EXPECT_EQ(afe->value(), 14);
  rig.host.refuse.clear();
  afe->stepUp();
  EXPECT_EQ(rig.host.sent.back(), "sad 15");
  EXPECT_EQ(afe->value(), 15);

  QSpinBox* lt = rig.dlg->intEdit(QStringLiteral("L - T"));
  typeInto(lt, 77);
  EXPECT_EQ(rig.host.sent.back(), "soo 1 77");

  QLineEdit* vsub = rig.dlg->vsubEdit();
  vsub->setText(QStringLiteral("30"));
  QTest::keyClick(vsub, Qt::Key_Return);
  EXPECT_EQ(rig.host.sent.back(), "soo 1 77") << "an out-of-range voltage is not sent";
  EXPECT_EQ(vsub->text(), QStringLiteral("12.50")) << "the camera's voltage stays shown";
  vsub->setText(QStringLiteral("12.5"));
  QTest::keyClick(vsub, Qt::Key_Return);
  EXPECT_EQ(rig.host.sent.back(), "ssv 12.50");
  EXPECT_EQ(vsub->text(), QStringLiteral("12.50"));
}

// Waits, with the event loop running, until `done` or `ms` pass.
template <class Done> bool waitFor(Done done, int ms) {
  QElapsedTimer timer;
  timer.start();
  while (!done() && timer.elapsed() < ms)
    QTest::qWait(5);
  return done();
}

// The soak test runs from the event loop: other events are handled while it runs, "Stop" ends
// it midway without a beep and "Start" comes back.
TEST(FactoryDialog, SoakStopsMidwayAndTheWindowStaysLive) {
  Rig rig;
  CFSDlg& dlg = *rig.dlg;
  dlg.addressEdit()->setText(QStringLiteral("0x1a0"));
  int ticks = 0;
  QTimer other;
  QObject::connect(&other, &QTimer::timeout, [&ticks] { ++ticks; });
  other.start(10);
  dlg.button(QStringLiteral("Start"))->click();
  EXPECT_TRUE(dlg.soakRunning());
  EXPECT_FALSE(dlg.button(QStringLiteral("Start"))->isEnabled());
  ASSERT_TRUE(waitFor([&] { return rig.host.sent.size() >= 100; }, 10000));
  EXPECT_GT(ticks, 0) << "the event loop ran during the soak";
  dlg.button(QStringLiteral("Stop"))->click();
  ASSERT_TRUE(waitFor([&] { return !dlg.soakRunning(); }, 5000));
  EXPECT_TRUE(dlg.button(QStringLiteral("Start"))->isEnabled());
  EXPECT_TRUE(dlg.soakLabel()->text().startsWith(QStringLiteral("Stopped after")))
      << dlg.soakLabel()->text().toStdString();
  EXPECT_TRUE(rig.beeps.empty());
  EXPECT_EQ(rig.host.sent[0], "wfpga 0x1A0 0x00000000");
  EXPECT_EQ(rig.host.sent[1], "rfpga 0x1A0");
  const size_t sent = rig.host.sent.size();
  QTest::qWait(30);
  EXPECT_EQ(rig.host.sent.size(), sent);
}

// A refusal in the middle of the run ends it with the refusal in the status line and the
// window; a bad address starts nothing.
TEST(FactoryDialog, SoakRefusedMidRunSaysSo) {
  Rig rig;
  CFSDlg& dlg = *rig.dlg;
  dlg.addressEdit()->setText(QStringLiteral("zz"));
  dlg.button(QStringLiteral("Start"))->click();
  EXPECT_FALSE(dlg.soakRunning());
  ASSERT_EQ(rig.messages.size(), 1u);
  EXPECT_TRUE(rig.host.sent.empty());

  dlg.addressEdit()->setText(QStringLiteral("0x20"));
  rig.host.refuse = {"wfpga 0x20 0x00000005"};
  dlg.button(QStringLiteral("Start"))->click();
  ASSERT_TRUE(waitFor([&] { return !dlg.soakRunning(); }, 10000));
  EXPECT_EQ(rig.host.sent.back(), "wfpga 0x20 0x00000005");
  ASSERT_FALSE(rig.statuses.empty());
  EXPECT_NE(rig.statuses.back().find("refused"), std::string::npos) << rig.statuses.back();
  EXPECT_TRUE(dlg.soakLabel()->text().contains(QStringLiteral("after 5 rounds")))
      << dlg.soakLabel()->text().toStdString();
  EXPECT_EQ(rig.beeps.back(), std::make_pair(1000, 100));
}

// "Close" tells the main window; the Ka 29M shows its own captions.
TEST(FactoryDialog, CloseAndKa29MCaptions) {
  Rig rig("Ka-29MC2-C5");
  EXPECT_EQ(rig.dlg->channelBox(0)->text(), QStringLiteral("H1B"));
  EXPECT_EQ(rig.dlg->channelBox(12)->text(), QStringLiteral("NA"));
  rig.dlg->button(QStringLiteral("Close"))->click();
  EXPECT_TRUE(rig.closed);
  EXPECT_FALSE(rig.dlg->isVisible());
}

} // namespace
} // namespace kelpax
