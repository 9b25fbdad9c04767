// The GenICam path through the real windows: the scan finds the simulated GenCP camera behind
// libclsersim.so, SELECT PORT opens "Kelpax Plus" with the feature browser on the camera's own
// description, a feature write reaches the camera's register, the terminal talks on the port.
#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QTableWidget>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include "GenApi/GenApi.h"
#include "app/dlg_new_kelpax.h"
#include "app/kelpax_dlg.h"
#include "nodeview/nodeview.h"
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

} // namespace
