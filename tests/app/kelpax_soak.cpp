// kelpax-soak: the program itself under a long run of random operator actions against
// simulated cameras whose faults change as it goes.
//
//   kelpax-soak SECONDS SEED [CLSERSIM_FOLDER]
//
// Two cameras on pseudo-terminals take random faults (slow answers, lost and corrupted bytes,
// "Error" answers, silence after a few commands, noise as at a wrong rate) for a while, then
// none; a third camera behind the Camera Link library stays healthy. The operator switches
// tabs, clicks the pages' choices, spins their values, uses the menus (setting spaces, start-up
// space, high speed, acquisition, camera information, setting files, refresh, the terminal),
// types commands in the terminal and runs binary transfers (firmware, defect download and
// upload) while the cameras behave, and changes port, rescanning whenever the camera was lost.
//
// Fails on a crash (the process dies), on an action that does not finish within the largest
// time-out an action can take (kHangLimit), and on resident memory growing by more than 10 %
// between the end of the first minute and the end of the run, both taken with the window open
// and after the allocator gave its freed pages back (checked when the run lasts longer
// than a minute, and not under AddressSanitizer, whose quarantine keeps freed memory). CTest
// also fails it on any sanitizer report. Prints "soak passed" when nothing failed. A line a
// minute gives the resident size, the heap in use and the number of widgets and objects.
#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QPointer>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabBar>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <random>
#include <thread>

#include <malloc.h>
#include <unistd.h>

#include "app/kelpax_dlg.h"
#include "app/page_area.h"
#include "app/terminal_dlg.h"
#include "sim/pty_camera.h"
#include "tests/resident_memory.h"

#if defined(__SANITIZE_ADDRESS__)
#define KELPAX_SOAK_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KELPAX_SOAK_ASAN 1
#endif
#endif

using namespace kelpax;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

// The longest any single action may take: a cache fill that gives up after five unanswered
// 3-second queries, a scan of three ports with their rate checks, a setting space loaded with
// its 9-second time-out, each with room to spare.
constexpr auto kHangLimit = std::chrono::seconds(60);

std::atomic<int64_t> lastProgressMs{0};
std::atomic<const char*> currentAction{"start"};

int64_t nowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now().time_since_epoch())
      .count();
}

std::mutex detailMutex;
std::string actionDetail; // which control of which page, for the hang report

void progress(const char* action) {
  {
    std::lock_guard lock(detailMutex);
    actionDetail.clear();
  }
  currentAction = action;
  lastProgressMs = nowMs();
}

// Names the control an action is about to press, and the page it sits on.
void progressDetail(const QWidget* control) {
  std::string text;
  for (const QWidget* w = control; w; w = w->parentWidget()) {
    const QString name = QString::fromLatin1(w->metaObject()->className()).section("::", -1);
    if (name == QLatin1String("CPageArea"))
      break;
    if (name.startsWith(QLatin1Char('C')) || w == control)
      text = name.toStdString() + (text.empty() ? "" : " > " + text);
  }
  if (const auto* button = qobject_cast<const QAbstractButton*>(control))
    text += " \"" + button->text().toStdString() + "\"";
  std::lock_guard lock(detailMutex);
  actionDetail = text;
}

using kelpax::probe::residentKiB;

void settle(int ms = 20) {
  QApplication::processEvents();
  QTest::qWait(ms);
  QApplication::processEvents();
}

struct CountedBox : MessageBoxSink {
  int shown = 0;
  void showMessage(std::string_view, std::string_view, MessageIcon) override { ++shown; }
};

struct QuitNoted : QuitHook {
  void quit(int code) override { std::printf("soak: the program asked to quit with %d\n", code); }
};

// One random fault for a camera, as the simulator's fault list writes it.
sim::Faults randomFaults(std::mt19937& random) {
  sim::Faults faults;
  faults.seed = random();
  switch (random() % 7) {
  case 0:
    faults.slowAnswerMs = 20 + int(random() % 200);
    break;
  case 1:
    faults.dropRate = 0.002;
    break;
  case 2:
    faults.corruptRate = 0.002;
    break;
  case 3:
    faults.errorAnswers = true;
    break;
  case 4:
    faults.silentAfterCommands = int(random() % 20);
    break;
  case 5:
    faults.noise = true;
    break;
  default:
    break; // a calm spell
  }
  return faults;
}

// Live heap bytes (in KiB) as the allocator counts them: unlike the resident size it does not
// count pages that were freed but that the allocator keeps for later.
long heapInUseKiB() {
  const struct mallinfo2 info = mallinfo2();
  return long((info.uordblks + info.hblkhd) / 1024);
}

int objectCount(const QObject* root) {
  int count = 1;
  for (const QObject* child : root->children())
    count += objectCount(child);
  return count;
}

// One line a minute, so that a slow growth shows where it lives.
void printMinute(int minute, const QObject& window) {
  std::printf("soak: minute %d: resident %ld KiB, heap in use %ld KiB, %d widgets, %d objects "
              "under the main window\n",
              minute, residentKiB(), heapInUseKiB(), int(QApplication::allWidgets().size()),
              objectCount(&window));
}

// The resident size once the allocator has given its freed pages back to the kernel. The
// allocator keeps freed pages of its arenas for later, so the bare resident size follows the
// heaviest moment so far rather than what the program holds; the growth check compares this.
long residentHeldKiB() {
  malloc_trim(0);
  return residentKiB();
}

bool calm(const sim::Faults& faults) {
  return faults.slowAnswerMs == 0 && faults.dropRate == 0 && faults.corruptRate == 0 &&
         !faults.errorAnswers && faults.silentAfterCommands < 0 && !faults.noise;
}

template <class T> T* pick(std::mt19937& random, const QList<T*>& items) {
  QList<T*> usable;
  for (T* item : items) {
    if (item->isVisible() && item->isEnabled())
      usable.push_back(item);
  }
  return usable.isEmpty() ? nullptr : usable[int(random() % usable.size())];
}

} // namespace

int main(int argc, char** argv) {
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  if (argc < 3) {
    std::fprintf(stderr, "usage: kelpax-soak SECONDS SEED [CLSERSIM_FOLDER]\n");
    return 2;
  }
  const int seconds = std::atoi(argv[1]);
  const unsigned seed = unsigned(std::strtoul(argv[2], nullptr, 10));
  const std::string libraryFolder = argc > 3 ? argv[3] : std::string();
  if (seconds <= 0) {
    std::fprintf(stderr, "kelpax-soak: SECONDS must be a positive number\n");
    return 2;
  }
  std::mt19937 random(seed);

  const fs::path work = fs::temp_directory_path() / ("kelpax-soak-" + std::to_string(getpid()));
  fs::create_directories(work);
  setenv("KELPAX_SIM_CAMERAS", "Ko-4M-M180@115200", 1);
  setenv("KELPAX_SIM_PACING", "0", 1);

  std::vector<std::unique_ptr<sim::PtyCamera>> cameras;
  std::string portList = "COMPORT_ONLY=0\nBaudRate=AUTO\n";
  for (const char* model : {"Ka-47M-M40", "Ke-4K5C-M40"}) {
    sim::PtyOptions options;
    options.model = model;
    options.linkPath = (work / ("ttyCAM" + std::to_string(cameras.size()))).string();
    options.baud = 115200;
    options.pacing = false;
    auto camera = std::make_unique<sim::PtyCamera>(options);
    std::string error;
    if (!camera->start(&error)) {
      std::fprintf(stderr, "kelpax-soak: %s\n", error.c_str());
      return 1;
    }
    portList += options.linkPath + "=1\n";
    cameras.push_back(std::move(camera));
  }
  std::ofstream(work / "portlist.ini") << portList;
  std::vector<sim::Faults> faults(cameras.size());
  std::vector<int> faultActionsLeft(cameras.size(), 0);

  // The watchdog: an action that outlives every time-out it could wait for is a hang.
  std::atomic<bool> finished{false};
  progress("start");
  std::thread watchdog([&finished] {
    while (!finished) {
      std::this_thread::sleep_for(std::chrono::milliseconds(500));
      const int64_t stuckMs = nowMs() - lastProgressMs.load();
      if (!finished && stuckMs > std::chrono::milliseconds(kHangLimit).count()) {
        std::string detail;
        {
          std::lock_guard lock(detailMutex);
          detail = actionDetail;
        }
        std::printf("soak: FAIL hang: \"%s\" has not finished after %lld s (%s)\n",
                    currentAction.load(), static_cast<long long>(stuckMs / 1000), detail.c_str());
        std::fflush(stdout);
        _exit(1);
      }
    }
  });

  QApplication app(argc, argv);
  CountedBox boxes;
  QuitNoted quits;
  std::string chosen = (work / "soak-settings").string();
  CameraSession::Options where;
  where.workingFolder = work.string();
  where.comPortLister = [] { return std::vector<std::string>{}; };
  if (!libraryFolder.empty())
    where.libraryFolders = {libraryFolder};
  where.deviceModelListPath = (work / "DeviceModelList.ini").string();
  CKelpaxDlg::Options options;
  options.messageBox = &boxes;
  options.quitHook = &quits;
  options.fileChooser.saveFile = [&chosen](const QString&) { return chosen; };
  options.fileChooser.openFile = [&chosen](const QString&) { return chosen + ".csf"; };

  std::map<std::string, int> counts;
  int failures = 0;

  // A box or dialog a page opens on its own waits for the operator: after a moment it is
  // answered as the operator would, with Escape. A dialog that opens again and again is counted,
  // not a hang.
  QTimer answering;
  QPointer<QWidget> modalSeen;
  QObject::connect(&answering, &QTimer::timeout, [&] {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal && modal == modalSeen) {
      if (auto* dialog = qobject_cast<QDialog*>(modal))
        dialog->reject();
      else
        modal->close();
      ++counts["dialog answered"];
      modal = nullptr;
    }
    modalSeen = modal;
  });
  answering.start(250);
  long residentAtMinute = 0;
  long residentAtEnd = 0;
  int minutesPrinted = 0;
  const auto start = Clock::now();
  const auto end = start + std::chrono::seconds(seconds);
  {
    CameraSession session(std::move(where));
    CKelpaxDlg dlg(session, options);
    dlg.initDialog();
    CGetPortDlg& ports = dlg.portDialog();
    ports.holdFirstScan();
    ports.show();

    // Scans and connects a random identified camera; false when none could be connected.
    auto connectSomeCamera = [&]() {
      progress("scan and connect");
      ports.ScanPorts();
      settle();
      std::vector<int> identified;
      for (int row = 0; row < ports.portList()->rowCount(); ++row) {
        const QString camera = ports.portList()->item(row, 1)->text();
        if (camera.startsWith(QLatin1Char('K')))
          identified.push_back(row);
      }
      if (identified.empty())
        return false;
      ports.portList()->selectRow(identified[random() % identified.size()]);
      ports.SelectPort();
      settle();
      return session.connected();
    };

    while (Clock::now() < end) {
      // Faults come and go; a camera recovers before the operator needs it again.
      for (size_t i = 0; i < cameras.size(); ++i) {
        if (faultActionsLeft[i] > 0 && --faultActionsLeft[i] == 0) {
          faults[i] = sim::Faults{};
          cameras[i]->setFaults(faults[i]);
        } else if (faultActionsLeft[i] == 0 && random() % 40 == 0) {
          faults[i] = randomFaults(random);
          faultActionsLeft[i] = 5 + int(random() % 30);
          cameras[i]->setFaults(faults[i]);
          ++counts["fault switched on"];
        }
      }
      const bool allCalm = std::all_of(faults.begin(), faults.end(), calm);

      if (!session.connected() || !dlg.isVisible()) {
        if (!allCalm) {
          // Let the faults pass before the next scan, as an operator would wait for a camera.
          for (size_t i = 0; i < cameras.size(); ++i) {
            faults[i] = sim::Faults{};
            faultActionsLeft[i] = 0;
            cameras[i]->setFaults(faults[i]);
          }
        }
        ++counts[connectSomeCamera() ? "connected" : "scan without a camera"];
        continue;
      }

      const unsigned choice = random() % 20;
      if (choice < 4) {
        progress("switch tab");
        auto* tabs = dlg.findChild<QTabBar*>(QStringLiteral("tabs"));
        if (tabs && tabs->count() > 0)
          tabs->setCurrentIndex(int(random() % tabs->count()));
        ++counts["tab"];
      } else if (choice < 8) {
        progress("click a choice");
        QWidget* page = dlg.findChild<CPageArea*>();
        QAbstractButton* button = nullptr;
        if (page) {
          if (random() % 2)
            button = pick<QRadioButton>(random, page->findChildren<QRadioButton*>());
          else
            button = pick<QCheckBox>(random, page->findChildren<QCheckBox*>());
        }
        if (button) {
          progressDetail(button);
          QTest::mouseClick(button, Qt::LeftButton);
        }
        ++counts["click"];
      } else if (choice < 11) {
        progress("spin a value");
        QWidget* page = dlg.findChild<CPageArea*>();
        QSpinBox* spin = page ? pick<QSpinBox>(random, page->findChildren<QSpinBox*>()) : nullptr;
        if (spin) {
          progressDetail(spin);
          const int64_t span = int64_t(spin->maximum()) - spin->minimum();
          spin->setValue(int(spin->minimum() + int64_t(random() % uint64_t(span + 1))));
          QTest::keyClick(spin, Qt::Key_Return);
        }
        ++counts["spin"];
      } else if (choice < 17) {
        static const std::pair<int, const char*> items[] = {
            {kIdRefresh, "menu Refresh"},
            {kIdLoadUser1, "menu Load User1"},
            {kIdSaveUser1, "menu Save User1"},
            {kIdStartupUser1, "menu Start-Up User1"},
            {kIdStartupFactory, "menu Start-Up Factory"},
            {kIdHighSpeed, "menu High Speed"},
            {kIdAcquisitionStart, "menu Acquisition Start"},
            {kIdAcquisitionStop, "menu Acquisition Stop"},
            {kIdCameraInfo, "menu Camera Info"},
            {kIdTopMost, "menu Top most"},
            {kIdSaveToFile, "menu Save To File"},
            {kIdLoadFromFile, "menu Load From File"},
            {kIdTerminal, "menu Terminal"},
            {kIdTemperatureButton, "temperature button"},
        };
        const auto& [id, name] = items[random() % std::size(items)];
        QAction* item = dlg.action(id);
        progress(name);
        if (id == kIdTemperatureButton || (item && item->isEnabled()))
          dlg.runMenuCommand(id);
        ++counts[name];
      } else if (choice == 17) {
        // Transfers wait up to 80 s for the camera to store: only while the cameras behave.
        static const std::pair<int, const char*> transfers[] = {
            {kIdUpgradeMcu, "menu System Upgrade MCU"},
            {kIdDefectDownload, "menu Defect Pixel Download"},
            {kIdDefectUpload, "menu Defect Pixel Upload"},
        };
        const auto& [id, name] = transfers[random() % std::size(transfers)];
        QAction* item = dlg.action(id);
        if (allCalm && item && item->isEnabled()) {
          progress(name);
          dlg.runMenuCommand(id);
          ++counts[name];
        }
      } else if (choice < 19) {
        // The terminal waits up to five minutes for its answer: only while the cameras behave.
        auto* terminal = dlg.findChild<CTerminal*>();
        if (allCalm && terminal && terminal->isVisible()) {
          progress("terminal command");
          static const char* typed[] = {"gmn", "gtm", "gsn piece", "nonsense", "gct"};
          terminal->inputLine()->setText(QString::fromLatin1(typed[random() % std::size(typed)]));
          terminal->SendTerminalCommand();
          ++counts["terminal command"];
        }
      } else {
        progress("change port");
        dlg.runMenuCommand(kIdChangePort);
        settle();
        ++counts[connectSomeCamera() ? "change port" : "change port without a camera"];
      }
      settle(5);
      progress("between actions");

      const int minute =
          int(std::chrono::duration_cast<std::chrono::minutes>(Clock::now() - start).count());
      if (minute > minutesPrinted) {
        minutesPrinted = minute;
        printMinute(minute, dlg);
      }
      if (residentAtMinute == 0 && minute >= 1)
        residentAtMinute = residentHeldKiB();
    }
    residentAtEnd = residentHeldKiB();
    progress("exit");
    dlg.runMenuCommand(kIdExit);
  }
  finished = true;
  watchdog.join();
  for (auto& camera : cameras)
    camera->stop();
  std::error_code ec;
  fs::remove_all(work, ec);

  for (const auto& [what, count] : counts)
    std::printf("soak: %6d x %s\n", count, what.c_str());
  std::printf("soak: %d message boxes shown\n", boxes.shown);
  // What the program still holds once every window and the session are gone.
  std::printf("soak: after closing: heap in use %ld KiB, resident %ld KiB\n", heapInUseKiB(),
              residentKiB());
#ifdef KELPAX_SOAK_ASAN
  std::printf("soak: memory not checked under AddressSanitizer (resident %ld KiB at the end)\n",
              residentAtEnd);
#else
  if (residentAtMinute > 0) {
    const double growth = double(residentAtEnd - residentAtMinute) / double(residentAtMinute);
    std::printf("soak: resident (freed pages given back) %ld KiB after the first minute, %ld KiB "
                "at the end (%+.1f %%)\n",
                residentAtMinute, residentAtEnd, growth * 100);
    if (growth > 0.10) {
      std::printf("soak: FAIL memory grew by more than 10 %%\n");
      ++failures;
    }
  } else {
    std::printf("soak: memory not checked (the run was shorter than a minute)\n");
  }
#endif
  std::printf("%s\n", failures == 0 ? "soak passed" : "soak failed");
  return failures == 0 ? 0 : 1;
}
