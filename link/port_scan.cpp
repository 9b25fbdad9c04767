// Building the port table and probing each enabled port for a camera.
#include "link/port_scan.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <unordered_set>
#include <utility>

#include "camera/debug_output.h"
#include "link/model_list.h"
#include "link/port_search.h"

namespace kelpax {
namespace {

// Makers whose Camera Link serial libraries take calls for different ports from different
// threads at once. The Camera Link serial API promises nothing about threads, and the ports of
// one board may share state inside the library, so every other library's ports are probed one
// after another. The simulated cameras' library locks each port on its own.
const char* const kManyThreadMakers[] = {"Kelpax camera simulator"};

// While the window's event pump runs, the scan window gets a turn this often.
constexpr auto kPumpSlice = std::chrono::milliseconds(5);
// Without a window, the scan looks at its workers' news at least this often.
constexpr auto kQuietSlice = std::chrono::milliseconds(50);

std::string errorText(int code) {
  char text[32];
  std::snprintf(text, sizeof text, "Error : %d", code);
  return text;
}

// The echo line of an answer, without its line end.
std::string firstLine(const std::string& answer) {
  std::string line = answer.substr(0, answer.find_first_of("\r\n"));
  std::erase(line, '\0');
  return line;
}

// One port's probe, on an exchange whose port table holds the slot's entry at the slot's
// index: the rate check, the model query, and one boot wait for a camera that only echoes.
// The row's texts go to `show`; the result stays in the entry (found, model name, serial
// number, baud code). A cancelled scan ends the probe at its next wait.
class SlotProbe {
public:
  using Show = std::function<void(int row, const std::string& text)>;

  SlotProbe(CommandExchange& exchange, const std::atomic<bool>& cancel, uint32_t bootTickMs,
            Show show)
      : exchange_(exchange), port_(exchange.port()), cancel_(cancel), bootTickMs_(bootTickMs),
        show_(std::move(show)) {}

  void run(int slot, const BaudChoice& choice) {
    // A booting camera gets one wait and one more probe per scan.
    if (probeOnce(slot, choice, false) && !cancelled()) {
      probeOnce(slot, choice, true);
    }
  }

  int checkRate(int slot, unsigned& baudCode) {
    port_.setCurrentIndex(slot);
    int result = 0;
    for (unsigned code : kScanBaudCodes) {
      if (cancelled()) {
        return 1;
      }
      const int opened = port_.OpenPort(slot, code);
      if (opened != 0) {
        port_.ClosePort();
        result = opened;
        continue;
      }
      const std::string answer =
          exchange_.Query("gmn", {.timeoutMs = kRateProbeTimeoutMs, .shown = true}).text;
      port_.ClosePort();
      if (cancelled()) {
        return 1;
      }
      if (answer.size() < 3) {
        result = 1;
        continue;
      }
      if (answer.find_first_of(">E") != std::string::npos) {
        baudCode = code;
        return 0;
      }
      // Something came back, but neither a prompt nor an error: try the next rate.
      result = 0;
    }
    baudCode = 1;
    return result;
  }

private:
  bool cancelled() const { return cancel_.load(std::memory_order_relaxed); }

  // A probe the scan's cancel cut short found no camera.
  bool cutShort(int slot) {
    port_.ClosePort();
    show_(slot, "Not found");
    return false;
  }

  // True when the camera is booting and the probe is to be repeated.
  bool probeOnce(int slot, const BaudChoice& choice, bool bootWaitGiven) {
    PortEntry& entry = port_.ports()[size_t(slot)];
    entry.found = 0;
    entry.modelName.clear();
    entry.serialNumber.clear();

    unsigned code = choice.baudCode;
    if (choice.scan) {
      const int checked = checkRate(slot, code);
      debugPrintf("BaudRateCheck, eCode: %d, BaudRate: %u, PortName: %s, PortDllName: %s\n",
                  checked, code, entry.portName.c_str(), entry.libraryPath.c_str());
      if (checked > 0) {
        show_(slot, "Not found");
        return false;
      }
      if (checked < 0) {
        show_(slot, errorText(checked));
        return false;
      }
    }

    entry.baudCode = uint16_t(code);
    const int opened = port_.OpenPort(slot, code);
    if (opened != 0) {
      show_(slot, errorText(opened));
      return false;
    }

    port_.receiveBuffer().clear();
    exchange_.WaitMsg(kStrayInputWaitMs, 0, false);
    // The whole answer is kept: a booting camera sends the echo line alone, which has no value.
    const std::string answer =
        exchange_.Query("gmn", {.timeoutMs = kModelQueryTimeoutMs, .shown = true}).text;
    if (cancelled()) {
      return cutShort(slot);
    }
    debugOutput(answer);
    std::string shown = answerToken(answer, 0);
    ModelAnswer verdict = JudgeModelAnswer(shown);
    if (shown.empty()) {
      // No value line: only the echo can tell a booting camera; it never names a model.
      shown = firstLine(answer);
      verdict = shown.empty()                            ? ModelAnswer::NotFound
                : shown.find("gmn") != std::string::npos ? ModelAnswer::Booting
                                                         : ModelAnswer::Other;
    }
    debugPrintf("Command: %s AckString %s PortName: %s, PortDllName: %s\n", "gmn", shown.c_str(),
                entry.portName.c_str(), entry.libraryPath.c_str());

    bool probeAgain = false;
    switch (verdict) {
    case ModelAnswer::NotFound:
      show_(slot, "Not found");
      break;
    case ModelAnswer::Identified:
      show_(slot, shown);
      entry.found = 1;
      entry.modelName = shown;
      entry.serialNumber = exchange_.QueryValue("gsn piece");
      break;
    case ModelAnswer::Booting:
      if (bootWaitGiven) {
        show_(slot, shown);
        break;
      }
      {
        std::string text = "Booting";
        show_(slot, text);
        for (int tick = 0; tick < kBootWaitTicks; ++tick) {
          text += '.';
          show_(slot, text);
          exchange_.WaitMsg(bootTickMs_, kWaitForPrompt, false);
          if (cancelled()) {
            return cutShort(slot);
          }
        }
      }
      probeAgain = true;
      break;
    case ModelAnswer::Other:
      show_(slot, shown);
      break;
    }
    port_.ClosePort();
    return probeAgain;
  }

  CommandExchange& exchange_;
  CameraPort& port_;
  const std::atomic<bool>& cancel_;
  uint32_t bootTickMs_;
  Show show_;
};

// The window's event pump during a scan on the calling thread: the window's abort request
// cancels the scan, and once cancelled every wait ends at once.
class CancellingPump : public EventPump {
public:
  CancellingPump(EventPump* window, std::atomic<bool>& cancel) : window_(window), cancel_(cancel) {}
  bool pumpEvents() override {
    if (window_ && window_->pumpEvents()) {
      cancel_ = true;
    }
    return cancel_;
  }

private:
  EventPump* window_;
  std::atomic<bool>& cancel_;
};

// A worker's waits end at once when the scan is cancelled.
class CancelFlagPump : public EventPump {
public:
  explicit CancelFlagPump(const std::atomic<bool>& cancel) : cancel_(cancel) {}
  bool pumpEvents() override { return cancel_; }

private:
  const std::atomic<bool>& cancel_;
};

// The workers' traffic reaching one observer (the command line's trace), one call at a time.
class SharedObserver : public TrafficObserver {
public:
  explicit SharedObserver(TrafficObserver& observer) : observer_(observer) {}
  void bytesSent(std::string_view bytes) override {
    std::lock_guard lock(mutex_);
    observer_.bytesSent(bytes);
  }
  void bytesReceived(std::string_view bytes) override {
    std::lock_guard lock(mutex_);
    observer_.bytesReceived(bytes);
  }

private:
  std::mutex mutex_; // protects observer_
  TrafficObserver& observer_;
};

// What a worker tells the scan's own thread. Each piece of news carries the diagnostic text its
// port produced since the last one, so the lines reach the log whole and in port order.
struct ScanNews {
  enum class Kind { Text, Answer, Done, WorkerEnded } kind;
  int slot = -1;
  std::string text; // the row's text (Text) or the camera's answer (Answer)
  PortEntry result; // the probed entry (Done)
  std::string debug;
};

class ScanMailbox {
public:
  void post(ScanNews news) {
    {
      std::lock_guard lock(mutex_);
      news_.push_back(std::move(news));
    }
    arrived_.notify_one();
  }
  // Waits up to `wait` for news, then takes all there is.
  std::deque<ScanNews> take(std::chrono::milliseconds wait) {
    std::unique_lock lock(mutex_);
    arrived_.wait_for(lock, wait, [this] { return !news_.empty(); });
    std::deque<ScanNews> taken;
    taken.swap(news_);
    return taken;
  }

private:
  std::mutex mutex_; // protects news_
  std::condition_variable arrived_;
  std::deque<ScanNews> news_;
};

// Hands a worker's completed answers to the scan's thread, for the window's answer handler.
class AnswerForwarder : public AnswerHandler {
public:
  AnswerForwarder(ScanMailbox& mailbox, std::string& debug) : mailbox_(mailbox), debug_(debug) {}
  void setSlot(int slot) { slot_ = slot; }
  void answerReceived(const std::string& received) override {
    mailbox_.post({ScanNews::Kind::Answer, slot_, received, {}, std::exchange(debug_, {})});
  }

private:
  ScanMailbox& mailbox_;
  std::string& debug_;
  int slot_ = -1;
};

// One worker: its own port and exchange, the slots it probes in order, its thread.
struct ScanWorker {
  std::vector<int> slots;
  CameraPort port;
  CommandExchange exchange{port};
  std::thread thread;
};

} // namespace

bool libraryTakesCallsFromManyThreads(const CameraPort& port) {
  if (!port.clser().getManufacturerInfo) {
    return false;
  }
  int8_t name[128] = {};
  uint32_t size = sizeof name;
  uint32_t version = 0;
  if (port.clser().getManufacturerInfo(name, &size, &version) != 0) {
    return false;
  }
  const std::string maker(reinterpret_cast<const char*>(name),
                          strnlen(reinterpret_cast<const char*>(name), sizeof name));
  return std::find(std::begin(kManyThreadMakers), std::end(kManyThreadMakers), maker) !=
         std::end(kManyThreadMakers);
}

PortScanner::PortScanner(CommandExchange& exchange, PortSettings& settings)
    : exchange_(exchange), port_(exchange.port()), settings_(settings),
      comPortLister_(systemComPorts) {}

void PortScanner::setLibraryFolders(std::vector<std::string> folders) {
  libraryFolders_ = std::move(folders);
}

void PortScanner::setComPortLister(std::function<std::vector<std::string>()> lister) {
  comPortLister_ = lister ? std::move(lister) : systemComPorts;
}

void PortScanner::showCameraText(int row, const std::string& text) {
  if (view_) {
    view_->setCameraText(row, text);
  }
}

std::optional<InterfaceMode> PortScanner::ScanPorts(bool firstScan, InterfaceMode comboMode) {
  // A second request from a window event while the scan waits must not touch the port.
  if (running_) {
    return std::nullopt;
  }
  running_ = true;
  cancel_ = false;
  port_.ClosePort();
  port_.setScanning(true);
  if (view_) {
    view_->clearRows();
  }
  const InterfaceMode mode = BuildPortTable(firstScan, comboMode);
  port_.receiveBuffer().clear();
  ProbePorts();
  port_.setScanning(false);
  running_ = false;
  return mode;
}

InterfaceMode PortScanner::BuildPortTable(bool firstScan, InterfaceMode comboMode) {
  InterfaceMode mode = comboMode;
  if (firstScan) {
    const std::string value = settings_.ReadPortSetting(kInterfaceModeKey);
    mode = interfaceModeFromSetting(value);
    if (interfaceSettingNeedsRewrite(value)) {
      settings_.WritePortSetting(kInterfaceModeKey, "2");
    }
  }

  port_.setPortCount(0);
  if (mode != InterfaceMode::ClserOnly) {
    // The system's ports, then ports named by device path in portlist.ini (pseudo-terminals
    // and links the system does not list).
    std::vector<std::string> names = comPortLister_();
    std::unordered_set<std::string> listed(names.begin(), names.end());
    for (std::string& key : settings_.devicePathKeys()) {
      if (listed.insert(key).second) {
        names.push_back(std::move(key));
      }
    }
    EnumComPorts(port_, names);
  }
  if (mode != InterfaceMode::ComOnly) {
    EnumClserPorts(port_,
                   findClserLibraries(libraryFolders_ ? *libraryFolders_ : clserSearchFolders()));
  }

  for (int i = 0; i < port_.portCount(); ++i) {
    const std::string& name = port_.ports()[size_t(i)].portName;
    if (view_) {
      view_->addRow(name);
    }
    if (settings_.ReadPortSetting(name).empty()) {
      settings_.WritePortSetting(name, "1");
    }
  }
  return mode;
}

int PortScanner::BaudRateCheck(int slot, unsigned& baudCode) {
  SlotProbe probe(exchange_, cancel_, bootTickMs_,
                  [this](int row, const std::string& text) { showCameraText(row, text); });
  return probe.checkRate(slot, baudCode);
}

void PortScanner::ProbePorts() {
  port_.ClosePort();
  port_.setCurrentIndex(-1);

  const std::string baudSetting = settings_.ReadPortSetting(kBaudRateKey);
  if (baudSetting.empty()) {
    settings_.WritePortSetting(kBaudRateKey, "AUTO");
  }
  const BaudChoice choice = baudChoiceFromSetting(baudSetting);

  debugPrintf("Available Ports are %d\n", port_.portCount());
  std::vector<int> enabled;
  for (int slot = 0; slot < port_.portCount(); ++slot) {
    PortEntry& entry = port_.ports()[size_t(slot)];
    entry.found = 0;
    entry.modelName.clear();
    entry.serialNumber.clear();
    // A port set to "0" stays listed with an empty camera column and is never opened.
    if (settings_.ReadPortSetting(entry.portName) == "0") {
      showCameraText(slot, "");
    } else {
      enabled.push_back(slot);
    }
  }

  const std::vector<std::vector<int>> groups = order_ == ProbeOrder::Concurrent
                                                   ? workerGroups(enabled)
                                                   : std::vector<std::vector<int>>{enabled};
  if (groups.size() > 1) {
    probeConcurrently(groups, choice);
  } else {
    probeHere(enabled, choice);
  }

  // The first identified port in table order, whichever finished first.
  int chosen = -1;
  for (int slot : enabled) {
    if (port_.ports()[size_t(slot)].found == 1) {
      chosen = slot;
      break;
    }
  }
  port_.setCurrentIndex(chosen);
}

std::vector<std::vector<int>> PortScanner::workerGroups(const std::vector<int>& slots) {
  std::vector<std::vector<int>> groups;
  // Library path → its group, for libraries whose ports share one worker.
  std::map<std::string, size_t> libraryGroup;
  std::map<std::string, bool> manyThreads;
  for (int slot : slots) {
    const PortEntry& entry = port_.ports()[size_t(slot)];
    if (entry.isLibrary) {
      auto [known, added] = manyThreads.try_emplace(entry.libraryPath, false);
      if (added) {
        known->second = port_.LoadClserLibrary(entry.libraryPath) != 0 &&
                        libraryTakesCallsFromManyThreads(port_);
      }
      if (!known->second) {
        auto [group, first] = libraryGroup.try_emplace(entry.libraryPath, groups.size());
        if (first) {
          groups.emplace_back();
        }
        groups[group->second].push_back(slot);
        continue;
      }
    }
    groups.push_back({slot});
  }
  return groups;
}

void PortScanner::probeHere(const std::vector<int>& slots, const BaudChoice& choice) {
  EventPump* window = exchange_.eventPump();
  CancellingPump pump(window, cancel_);
  exchange_.setEventPump(&pump);
  SlotProbe probe(exchange_, cancel_, bootTickMs_,
                  [this](int row, const std::string& text) { showCameraText(row, text); });
  for (int slot : slots) {
    if (cancel_) {
      break;
    }
    probe.run(slot, choice);
  }
  exchange_.setEventPump(window);
}

// Every port at once, so the scan takes as long as its slowest port rather than the sum of all.
// Each worker has a port and exchange of its own, a copy of its slots' entries in its own port
// table at the same indices, and touches nothing else: no port of another worker, no row, no
// file. A PC serial port gets a worker of its own, and so does each port of a Camera Link
// library that takes calls from many threads; any other library's ports share one worker and are
// probed one after another in table order, as a sequential scan would. The rows, the port table,
// portlist.ini and the window's answer handler stay on this thread: the workers post their news
// (row texts, answers, results with their diagnostic lines) to a mailbox, which this thread
// empties between turns of the window's event pump. A port's diagnostic lines are written once it
// and every port before it are done, so the log reads port by port as before.
void PortScanner::probeConcurrently(const std::vector<std::vector<int>>& groups,
                                    const BaudChoice& choice) {
  ScanMailbox mailbox;
  CancelFlagPump workerPump(cancel_);
  std::optional<SharedObserver> observer;
  if (port_.trafficObserver()) {
    observer.emplace(*port_.trafficObserver());
  }
  AnswerHandler* const handler = exchange_.answerHandler();

  std::vector<std::unique_ptr<ScanWorker>> workers;
  for (const std::vector<int>& slots : groups) {
    auto worker = std::make_unique<ScanWorker>();
    worker->slots = slots;
    for (int slot : slots) {
      worker->port.ports()[size_t(slot)] = port_.ports()[size_t(slot)];
    }
    worker->port.setPortCount(slots.back() + 1);
    worker->port.setScanning(true);
    worker->port.setTrafficObserver(observer ? &*observer : nullptr);
    worker->exchange.setEventPump(&workerPump);
    workers.push_back(std::move(worker));
  }

  const uint32_t bootTickMs = bootTickMs_;
  // Groups whose worker could not be started (the system refused a thread); probed here after
  // the others.
  std::vector<std::vector<int>> leftOver;
  size_t running = 0;
  for (auto& owned : workers) {
    ScanWorker& worker = *owned;
    auto work = [&worker, &mailbox, &choice, handler, bootTickMs, this] {
      std::string debug;
      DebugCapture capture(debug);
      AnswerForwarder forwarder(mailbox, debug);
      if (handler) {
        worker.exchange.setAnswerHandler(&forwarder);
      }
      int current = -1;
      SlotProbe probe(worker.exchange, cancel_, bootTickMs, [&](int row, const std::string& text) {
        mailbox.post({ScanNews::Kind::Text, row, text, {}, std::exchange(debug, {})});
      });
      for (int slot : worker.slots) {
        current = slot;
        forwarder.setSlot(slot);
        if (!cancel_) {
          probe.run(slot, choice);
        }
        mailbox.post({ScanNews::Kind::Done,
                      slot,
                      {},
                      worker.port.ports()[size_t(slot)],
                      std::exchange(debug, {})});
      }
      worker.port.ClosePort();
      mailbox.post({ScanNews::Kind::WorkerEnded, current, {}, {}, std::exchange(debug, {})});
    };
    try {
      worker.thread = std::thread(work);
      ++running;
    } catch (const std::system_error& error) {
      debugPrintf("%s, %d, %s\n", "CGetPortDlg::ProbePorts", __LINE__, error.what());
      leftOver.push_back(worker.slots);
    }
  }

  // The diagnostic lines held for each port, and the next port (in table order) to write.
  std::map<int, std::string> heldDebug;
  std::vector<int> order;
  for (const std::vector<int>& slots : groups) {
    order.insert(order.end(), slots.begin(), slots.end());
  }
  std::sort(order.begin(), order.end());
  std::unordered_set<int> done;
  std::unordered_set<int> written;
  size_t nextToWrite = 0;

  for (const std::vector<int>& slots : leftOver) {
    for (int slot : slots) {
      std::erase(order, slot);
    }
  }
  EventPump* const window = exchange_.eventPump();
  while (running > 0) {
    for (ScanNews& news : mailbox.take(window ? kPumpSlice : kQuietSlice)) {
      if (written.count(news.slot)) {
        debugOutput(news.debug);
      } else {
        heldDebug[news.slot] += news.debug;
      }
      switch (news.kind) {
      case ScanNews::Kind::Text:
        showCameraText(news.slot, news.text);
        break;
      case ScanNews::Kind::Answer:
        if (handler) {
          DebugCapture capture(heldDebug[news.slot]);
          handler->answerReceived(news.text);
        }
        break;
      case ScanNews::Kind::Done: {
        PortEntry& entry = port_.ports()[size_t(news.slot)];
        entry.found = news.result.found;
        entry.modelName = std::move(news.result.modelName);
        entry.serialNumber = std::move(news.result.serialNumber);
        entry.baudCode = news.result.baudCode;
        done.insert(news.slot);
        break;
      }
      case ScanNews::Kind::WorkerEnded:
        --running;
        break;
      }
      while (nextToWrite < order.size() && done.count(order[nextToWrite])) {
        const int slot = order[nextToWrite++];
        debugOutput(heldDebug[slot]);
        heldDebug.erase(slot);
        written.insert(slot);
      }
    }
    if (window && running > 0 && window->pumpEvents()) {
      cancel_ = true;
    }
  }
  for (auto& worker : workers) {
    if (worker->thread.joinable()) {
      worker->thread.join();
    }
  }
  for (const std::vector<int>& slots : leftOver) {
    probeHere(slots, choice);
  }
}

} // namespace kelpax
