// Building the port table and probing each enabled port for a camera.
#include "link/port_scan.h"

#include <algorithm>
#include <cstdio>
#include <unordered_set>

#include "camera/debug_output.h"
#include "link/model_list.h"
#include "link/port_search.h"

namespace kelpax {
namespace {

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

} // namespace

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
  port_.setCurrentIndex(slot);
  int result = 0;
  for (unsigned code : kScanBaudCodes) {
    const int opened = port_.OpenPort(slot, code);
    if (opened != 0) {
      port_.ClosePort();
      result = opened;
      continue;
    }
    const std::string answer =
        exchange_.Query("gmn", {.timeoutMs = kRateProbeTimeoutMs, .shown = true}).text;
    port_.ClosePort();
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

bool PortScanner::probeSlot(int slot, const BaudChoice& choice, bool bootWaitGiven) {
  PortEntry& entry = port_.ports()[size_t(slot)];
  entry.found = 0;
  entry.modelName.clear();
  entry.serialNumber.clear();
  if (settings_.ReadPortSetting(entry.portName) == "0") {
    showCameraText(slot, "");
    return false;
  }

  unsigned code = choice.baudCode;
  if (choice.scan) {
    const int checked = BaudRateCheck(slot, code);
    debugPrintf("BaudRateCheck, eCode: %d, BaudRate: %u, PortName: %s, PortDllName: %s\n", checked,
                code, entry.portName.c_str(), entry.libraryPath.c_str());
    if (checked > 0) {
      showCameraText(slot, "Not found");
      return false;
    }
    if (checked < 0) {
      showCameraText(slot, errorText(checked));
      return false;
    }
  }

  entry.baudCode = uint16_t(code);
  const int opened = port_.OpenPort(slot, code);
  if (opened != 0) {
    showCameraText(slot, errorText(opened));
    return false;
  }

  port_.receiveBuffer().clear();
  exchange_.WaitMsg(kStrayInputWaitMs, 0, false);
  // The whole answer is kept: a booting camera sends the echo line alone, which has no value.
  const std::string answer =
      exchange_.Query("gmn", {.timeoutMs = kModelQueryTimeoutMs, .shown = true}).text;
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
    showCameraText(slot, "Not found");
    break;
  case ModelAnswer::Identified:
    showCameraText(slot, shown);
    entry.found = 1;
    entry.modelName = shown;
    if (chosen_ < 0) {
      chosen_ = slot;
    }
    entry.serialNumber = exchange_.QueryValue("gsn piece");
    break;
  case ModelAnswer::Booting:
    if (bootWaitGiven) {
      showCameraText(slot, shown);
      break;
    }
    {
      std::string text = "Booting";
      showCameraText(slot, text);
      for (int tick = 0; tick < kBootWaitTicks; ++tick) {
        text += '.';
        showCameraText(slot, text);
        exchange_.WaitMsg(bootTickMs_, kWaitForPrompt, false);
      }
    }
    probeAgain = true;
    break;
  case ModelAnswer::Other:
    showCameraText(slot, shown);
    break;
  }
  port_.ClosePort();
  return probeAgain;
}

void PortScanner::ProbePorts() {
  port_.ClosePort();
  port_.setCurrentIndex(-1);
  chosen_ = -1;

  const std::string baudSetting = settings_.ReadPortSetting(kBaudRateKey);
  if (baudSetting.empty()) {
    settings_.WritePortSetting(kBaudRateKey, "AUTO");
  }
  const BaudChoice choice = baudChoiceFromSetting(baudSetting);

  debugPrintf("Available Ports are %d\n", port_.portCount());
  for (int slot = 0; slot < port_.portCount(); ++slot) {
    // A booting camera gets one wait and one more probe per scan.
    if (probeSlot(slot, choice, false)) {
      probeSlot(slot, choice, true);
    }
  }
  port_.setCurrentIndex(chosen_);
}

} // namespace kelpax
