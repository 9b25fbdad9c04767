// The port scan: list the PC serial ports and Camera Link serial ports, find each enabled
// port's rate, and ask each for its camera's model.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "link/command_exchange.h"
#include "link/port_settings.h"

namespace kelpax {

// The port list as a scan fills it; row i shows slot i of the port table.
class ScanView {
public:
  virtual ~ScanView() = default;
  virtual void clearRows() = 0;
  virtual void addRow(const std::string& portName) = 0;
  virtual void setCameraText(int row, const std::string& text) = 0;
};

// The rates a scan tries, fastest first: 115200, 19200, 9600.
inline constexpr unsigned kScanBaudCodes[] = {16, 2, 1};
inline constexpr uint32_t kRateProbeTimeoutMs = 200; // "gmn" at each tried rate
inline constexpr uint32_t kStrayInputWaitMs = 10;    // before the model query
inline constexpr uint32_t kModelQueryTimeoutMs = 300;
inline constexpr int kBootWaitTicks = 10; // dots shown while a booting camera gets time
inline constexpr uint32_t kBootWaitTickMs = 1000;

// How ProbePorts visits the enabled ports.
enum class ProbeOrder {
  Concurrent,      // all at once, each port (or each library's ports) on a worker of its own
  OneAfterAnother, // in table order on the calling thread
};

// Whether the ports of a Camera Link serial library may be probed from several threads at once,
// by the maker its clGetManufacturerInfo reports. `port` has the library bound (LoadClserLibrary).
bool libraryTakesCallsFromManyThreads(const CameraPort& port);

class PortScanner {
public:
  PortScanner(CommandExchange& exchange, PortSettings& settings);

  void setView(ScanView* view) { view_ = view; }
  // The folders searched for Camera Link serial libraries; clserSearchFolders() by default.
  void setLibraryFolders(std::vector<std::string> folders);
  // The PC serial ports the system has; libserialport's list by default.
  void setComPortLister(std::function<std::vector<std::string>()> lister);
  // Length of each of the ten waits given to a booting camera (1000 ms).
  void setBootWaitTickMs(uint32_t ms) { bootTickMs_ = ms; }
  // Concurrent by default.
  void setProbeOrder(ProbeOrder order) { order_ = order; }
  ProbeOrder probeOrder() const { return order_; }

  // The whole "SCAN PORT" action: close the port, set the scanning flag, clear the rows,
  // BuildPortTable, empty the receive buffer, ProbePorts, clear the flag. The first scan takes
  // the interface mode from portlist.ini, later ones from `comboMode`; returns the mode used.
  // Does nothing (std::nullopt) while a scan runs.
  std::optional<InterfaceMode> ScanPorts(bool firstScan, InterfaceMode comboMode);
  InterfaceMode BuildPortTable(bool firstScan, InterfaceMode comboMode);
  void ProbePorts();
  // Finds the rate at which the slot's camera answers. 0 with `baudCode` set when a camera
  // answered; 1 when nothing did; a negative open error when the port could not be opened.
  int BaudRateCheck(int slot, unsigned& baudCode);

  bool running() const { return running_; }

  // Stops a running scan: every wait ends at once, a port whose probe is cut short shows
  // "Not found", and ports not probed yet stay empty. The window's abort request (the event
  // pump's) does the same. Any thread may call it.
  void cancel() { cancel_ = true; }
  bool cancelled() const { return cancel_; }

private:
  // The enabled slots grouped by the worker that probes them, in table order.
  std::vector<std::vector<int>> workerGroups(const std::vector<int>& slots);
  void probeHere(const std::vector<int>& slots, const BaudChoice& choice);
  void probeConcurrently(const std::vector<std::vector<int>>& groups, const BaudChoice& choice);
  void showCameraText(int row, const std::string& text);

  CommandExchange& exchange_;
  CameraPort& port_;
  PortSettings& settings_;
  ScanView* view_ = nullptr;
  std::optional<std::vector<std::string>> libraryFolders_;
  std::function<std::vector<std::string>()> comPortLister_;
  uint32_t bootTickMs_ = kBootWaitTickMs;
  ProbeOrder order_ = ProbeOrder::Concurrent;
  bool running_ = false;
  std::atomic<bool> cancel_{false};
};

} // namespace kelpax
