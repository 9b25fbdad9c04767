// Start-up and footprint of the program: from the process's start to the Camera Scan window
// on screen, and the resident memory once a camera is connected and its pages are filled.
// Reports each against its target (0.5 s, 80 MiB) as a ratio; below 1 is within target.
//
// The process is this bench, linked with the same windows as kelpax, so loading the same
// libraries counts. Runs on the platform Qt picks (set QT_QPA_PLATFORM=offscreen without a
// display). The connected camera is a simulated Ko-25MC-C65 on a pseudo-terminal without
// pacing; it runs on a thread of this process, which adds a little to the memory figure.
#include <QApplication>
#include <QTest>
#include <QWindow>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include <unistd.h>

#include "app/kelpax_app.h"
#include "app/kelpax_dlg.h"
#include "sim/pty_camera.h"
#include "tests/resident_memory.h"

namespace fs = std::filesystem;

namespace {

constexpr double kStartTargetSeconds = 0.5;
constexpr double kMemoryTargetMiB = 80.0;

// Seconds since this process started, from the kernel's own record of its start.
double secondsSinceProcessStart() {
  std::ifstream statFile("/proc/self/stat");
  std::string stat((std::istreambuf_iterator<char>(statFile)), {});
  // Field 22 (start time in clock ticks) counts from after the command name's ')'.
  size_t pos = stat.rfind(')');
  for (int field = 2; field < 22 && pos != std::string::npos; ++field)
    pos = stat.find(' ', pos + 1);
  const double startTicks = std::stod(stat.substr(pos + 1));
  double uptime = 0;
  std::ifstream("/proc/uptime") >> uptime;
  return uptime - startTicks / double(sysconf(_SC_CLK_TCK));
}

using kelpax::probe::residentMiB;

} // namespace

int main(int argc, char** argv) {
  const fs::path work = fs::temp_directory_path() / ("kelpax-start-" + std::to_string(getpid()));
  fs::create_directories(work);
  sim::PtyOptions camera;
  camera.model = "Ko-25MC-C65";
  camera.linkPath = (work / "ttyCAM0").string();
  camera.baud = 115200;
  camera.pacing = false;
  sim::PtyCamera pty(camera);
  std::string error;
  if (!pty.start(&error)) {
    std::fprintf(stderr, "startup_bench: %s\n", error.c_str());
    return 1;
  }
  std::ofstream(work / "portlist.ini") << "COMPORT_ONLY=1\nBaudRate=115200\n"
                                       << camera.linkPath << "=1\n";
  fs::current_path(work);

  struct : kelpax::MessageBoxSink {
    void showMessage(std::string_view caption, std::string_view text,
                     kelpax::MessageIcon) override {
      std::fprintf(stderr, "startup_bench: %.*s: %.*s\n", int(caption.size()), caption.data(),
                   int(text.size()), text.data());
    }
  } messages;
  CKelpaxApp::Options options;
  options.installCrashHandler = false;
  options.messageBox = &messages;
  options.scanOnShow = false;
  CKelpaxApp app(argc, argv, options);
  if (app.initInstance() != 0)
    return 1;
  kelpax::CGetPortDlg& ports = app.mainWindow()->portDialog();
  if (!QTest::qWaitForWindowExposed(&ports, 5000)) {
    std::fprintf(stderr, "startup_bench: the Camera Scan window never showed\n");
    return 1;
  }
  const double shownAfter = secondsSinceProcessStart();

  ports.ScanPorts();
  // The scan chose the first port with a camera (the system may list serial ports too).
  ports.portList()->selectRow(app.session()->port().currentIndex());
  ports.SelectPort();
  QTest::qWait(200);
  const bool connected = app.session()->connected();
  const double memory = residentMiB();

  std::printf("platform                         %s\n", qPrintable(QGuiApplication::platformName()));
  std::printf("start to Camera Scan shown        %.3f s   ratio to 0.5 s target  %.2f\n",
              shownAfter, shownAfter / kStartTargetSeconds);
  std::printf("resident memory, camera connected %.1f MiB  ratio to 80 MiB target %.2f%s\n", memory,
              memory / kMemoryTargetMiB, connected ? "" : "  (NOT CONNECTED)");
  app.mainWindow()->closeDialog();
  pty.stop();
  std::error_code ec;
  fs::remove_all(work, ec);
  return connected ? 0 : 1;
}
