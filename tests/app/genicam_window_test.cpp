// The GenICam path through the real windows: the scan finds the simulated GenCP camera behind
// libclsersim.so, SELECT PORT opens "Kelpax Plus" with the feature browser on the camera's own
// description, a feature write reaches the camera's register, the terminal talks on the port.
#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include "GenApi/GenApi.h"
#include "app/dlg_new_kelpax.h"
#include "app/kelpax_dlg.h"
#include "nodeview/nodeview.h"
#include "nodeview/nodeview_log.h"
#include "sim/gencp_device.h"

namespace {

using namespace kelpax;
namespace fs = std::filesystem;

struct Boxes : MessageBoxSink {
  void showMessage(std::string_view caption, std::string_view text, MessageIcon) override {
    shown.push_back(std::string(caption) + "|" + std::string(text));
  }
  std::vector<std::string> shown;
};
struct Quits : QuitHook {
  void quit(int code) override { codes.push_back(code); }
  std::vector<int> codes;
};

using PeekFn = int32_t (*)(uint32_t, uint64_t, uint8_t*, uint32_t);

class GenICamWindow : public ::testing::Test {
protected:
  void SetUp() override {
    const fs::path library = CLSERSIM_PATH;
    setenv("CLSERIALPATH", library.parent_path().c_str(), 1);
    setenv("KELPAX_SIM_CAMERAS", "Kg-12M-G40@115200", 1);
    setenv("KELPAX_SIM_PACING", "0", 1);
    unsetenv("KELPAX_SIM_FAULTS");
    simulator_ = dlopen(CLSERSIM_PATH, RTLD_NOW);
    ASSERT_NE(simulator_, nullptr);
    reinterpret_cast<void (*)()>(dlsym(simulator_, "clsersimReset"))();
    peek_ = reinterpret_cast<PeekFn>(dlsym(simulator_, "clsersimPeekRegister"));

    static std::atomic<int> serial{0};
    folder_ = fs::temp_directory_path() /
              ("kelpax-genicam-" + std::to_string(getpid()) + "-" + std::to_string(serial++));
    fs::create_directories(folder_);
    std::ofstream(folder_ / "portlist.ini") << "COMPORT_ONLY=0\nBaudRate=115200\n";
    const std::string hashes(50, '#');
    std::ofstream(folder_ / "DeviceModelList.ini") << hashes << "\n"
                                                   << hashes << "\n"
                                                   << hashes << "\n\n\n"
                                                   << hashes << "\n"
                                                   << hashes << "\n"
                                                   << hashes << "\n\nKg-12M-G40";
    CameraSession::Options where;
    where.workingFolder = folder_.string();
    where.libraryFolders = {library.parent_path().string()};
    where.comPortLister = [] { return std::vector<std::string>{}; };
    where.deviceModelListPath = (folder_ / "DeviceModelList.ini").string();
    session_ = std::make_unique<CameraSession>(std::move(where));
    CKelpaxDlg::Options options;
    options.messageBox = &boxes_;
    options.quitHook = &quits_;
    dlg_ = std::make_unique<CKelpaxDlg>(*session_, std::move(options));
    dlg_->initDialog();
    dlg_->portDialog().holdFirstScan();
  }
  void TearDown() override {
    dlg_.reset();
    session_.reset();
    std::error_code ec;
    fs::remove_all(folder_, ec);
    if (simulator_)
      dlclose(simulator_);
  }
  float cameraExposure() {
    uint8_t b[4] = {};
    EXPECT_EQ(peek_(0, sim::gencp_map::kExposureTime, b, 4), 0);
    uint32_t bits = (uint32_t{b[0]} << 24) | (uint32_t{b[1]} << 16) | (uint32_t{b[2]} << 8) | b[3];
    float value;
    std::memcpy(&value, &bits, 4);
    return value;
  }
  // Scans, selects the simulated camera's row and presses SELECT PORT.
  CDlgNewKelpax* openCamera() {
    dlg_->portDialog().ScanPorts();
    auto* list = dlg_->portDialog().portList();
    for (int row = 0; row < list->rowCount(); ++row)
      if (list->item(row, 1) && list->item(row, 1)->text() == "Kg-12M-G40")
        list->selectRow(row);
    dlg_->portDialog().SelectPort();
    QApplication::processEvents();
    return dlg_->genicamWindow();
  }

  void* simulator_ = nullptr;
  PeekFn peek_ = nullptr;
  fs::path folder_;
  Boxes boxes_;
  Quits quits_;
  std::unique_ptr<CameraSession> session_;
  std::unique_ptr<CKelpaxDlg> dlg_;
};

// Would catch a GenICam camera that is listed in DeviceModelList.ini still ending with an
// error, a browser not on the camera's own description, or a feature write that never
// reaches the camera.
TEST_F(GenICamWindow, SelectPortOpensKelpaxPlusOnTheCamerasDescription) {
  CDlgNewKelpax* window = openCamera();
  ASSERT_NE(window, nullptr);
  EXPECT_TRUE(boxes_.shown.empty()) << boxes_.shown.front();
  EXPECT_TRUE(window->isVisible());
  EXPECT_EQ(window->windowTitle(), "Kelpax Plus - Kg-12M-G40");
  ASSERT_NE(window->propertyWindow(), nullptr);
  EXPECT_TRUE(window->propertyWindow()->isVisible());
  EXPECT_FALSE(dlg_->portDialog().isVisible());
  EXPECT_EQ(window->connection().description(), sim::gencpDescriptionXml());

  GenApi::CFloatPtr exposure = window->connection().nodeMap()->_GetNode("ExposureTime");
  ASSERT_TRUE(exposure);
  exposure->SetValue(3000.0);
  EXPECT_FLOAT_EQ(cameraExposure(), 3000.0f);

  CDlgTerminal* terminal = window->terminal();
  ASSERT_NE(terminal, nullptr);
  window->connection().terminalPauseMs = 20;
  terminal->input()->setText("gmn");
  terminal->send();
  bool answered = false;
  for (int i = 0; i < terminal->list()->count(); ++i)
    answered |= terminal->list()->item(i)->text().contains("Kg-12M-G40");
  EXPECT_TRUE(answered);
  terminal->input()->setText("CLS");
  terminal->send();
  EXPECT_EQ(terminal->list()->count(), 0);
}

// The output list takes only "Error" lines and keeps the last 100.
TEST_F(GenICamWindow, OutputListKeepsTheLastHundredErrorLines) {
  CDlgNewKelpax window(nullptr);
  NodeviewNotifyEvent info("Info", "not listed");
  QCoreApplication::sendEvent(&window, &info);
  EXPECT_EQ(window.output()->count(), 0);
  for (int i = 0; i < 105; ++i) {
    std::string line = "line " + std::to_string(i);
    NodeviewNotifyEvent error(i % 2 ? "ERROR" : "Error", line.c_str());
    QCoreApplication::sendEvent(&window, &error);
  }
  ASSERT_EQ(window.output()->count(), CDlgNewKelpax::kOutputLines);
  EXPECT_EQ(window.output()->item(0)->text(), "line 5");
  EXPECT_EQ(window.output()->currentRow(), CDlgNewKelpax::kOutputLines - 1);
}

// A camera that answers GenCP with garbage ends the open with a message, not a hang or crash.
TEST_F(GenICamWindow, GarbageAnsweringCameraGivesAMessage) {
  setenv("KELPAX_SIM_FAULTS", "gencp-garbage", 1);
  reinterpret_cast<void (*)()>(dlsym(simulator_, "clsersimReset"))();
  auto start = std::chrono::steady_clock::now();
  openCamera();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
  ASSERT_EQ(boxes_.shown.size(), 1u);
  EXPECT_EQ(boxes_.shown[0].rfind("Error|Failed to connect the device(", 0), 0u) << boxes_.shown[0];
  unsetenv("KELPAX_SIM_FAULTS");
}

// Enter typed into the terminal reaches the browser first (its in-place edits end) and then
// the terminal, which sends; a press that travels up from a child that ignores it reaches the
// browser once, and never closes the window.
TEST_F(GenICamWindow, EnterReachesTheBrowserOnceFromAnywhereInTheWindow) {
  CDlgNewKelpax* window = openCamera();
  ASSERT_NE(window, nullptr);
  ASSERT_NE(window->terminal(), nullptr);
  std::vector<std::string> lines;
  nodeview::setDebugCapture([&](std::string_view line) {
    if (line.find("SetEnterKey") != std::string_view::npos)
      lines.emplace_back(line);
  });
  window->connection().terminalPauseMs = 20;
  window->terminal()->input()->setText("gmn");
  QTest::keyClick(window->terminal()->input(), Qt::Key_Return);
  EXPECT_EQ(lines.size(), 1u);
  bool answered = false;
  for (int i = 0; i < window->terminal()->list()->count(); ++i)
    answered |= window->terminal()->list()->item(i)->text().contains("Kg-12M-G40");
  EXPECT_TRUE(answered);
  EXPECT_TRUE(window->terminal()->input()->text().isEmpty());

  QTest::keyClick(window->output(), Qt::Key_Return); // the list ignores it: up to the window
  EXPECT_EQ(lines.size(), 2u);
  EXPECT_TRUE(window->isVisible());
  nodeview::setDebugCapture({});
}

namespace {

// Runs `inspect` on the modal dialog a command opens, then closes it.
void onNextModal(std::function<void(QDialog*)> inspect) {
  QTimer::singleShot(0, [inspect = std::move(inspect)] {
    auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    inspect(dialog);
    dialog->reject();
  });
}

} // namespace

// The terminal opened as a modal dialog talks on the same device port and closes with "Close".
TEST_F(GenICamWindow, ModalTerminalSendsOnTheSamePort) {
  CDlgNewKelpax* window = openCamera();
  ASSERT_NE(window, nullptr);
  window->connection().terminalPauseMs = 20;
  QStringList shown;
  bool closedByButton = false;
  QTimer::singleShot(0, [&] {
    auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->windowTitle(), "Terminal");
    auto* terminal = dialog->findChild<CDlgTerminal*>();
    ASSERT_NE(terminal, nullptr);
    EXPECT_NE(terminal, window->terminal());
    terminal->input()->setText("gmn");
    terminal->send();
    for (int i = 0; i < terminal->list()->count(); ++i)
      shown << terminal->list()->item(i)->text();
    for (auto* button : terminal->findChildren<QPushButton*>())
      if (button->text() == "Close") {
        button->click();
        closedByButton = true;
      }
    if (!closedByButton)
      dialog->reject();
  });
  window->modalTerminalAction()->trigger();
  EXPECT_TRUE(closedByButton);
  EXPECT_TRUE(shown.join("\n").contains("Kg-12M-G40")) << shown.join("|").toStdString();
  EXPECT_TRUE(window->isVisible());
}

// The maintenance dialog shows the camera's identification from its node map and the bootstrap
// registers read through the device port.
TEST_F(GenICamWindow, MaintenanceShowsIdentificationAndBootstrapRegisters) {
  CDlgNewKelpax* window = openCamera();
  ASSERT_NE(window, nullptr);
  std::map<std::string, std::string> rows;
  onNextModal([&](QDialog* dialog) {
    EXPECT_EQ(dialog->windowTitle(), "Device Maintenance");
    auto* table = dialog->findChild<QTableWidget*>();
    ASSERT_NE(table, nullptr);
    for (int row = 0; row < table->rowCount(); ++row)
      rows[table->item(row, 0)->text().toStdString()] = table->item(row, 1)->text().toStdString();
  });
  window->deviceMaintenanceAction()->trigger();
  EXPECT_EQ(rows["DeviceModelName"], "Kg-12M-G40");
  // Every register answered, none read from address 0 (the raw serial channel).
  for (const char* name : {"Device capability", "Maximum response time (ms)",
                           "Manifest table address", "Serial block address"}) {
    ASSERT_EQ(rows.count(name), 1u) << name;
    EXPECT_EQ(rows[name].rfind("0x", 0), 0u) << name << ": " << rows[name];
  }
  EXPECT_NE(rows["Manifest table address"], "0x0");
  EXPECT_EQ(rows.count("GenCP version"), 0u);
}

} // namespace
