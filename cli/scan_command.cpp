// kelpax-cli scan: lists every port the port window would, finds each enabled port's rate and
// camera, and prints one line per port: port, maker (or COM), rate found, camera column.
#include "cli/scan_command.h"

#include <cstdio>
#include <filesystem>
#include <iostream>
#include <map>
#include <memory>
#include <system_error>

#include "link/port_scan.h"
#include "link/port_settings.h"

namespace kelpax {
namespace {

struct ScanOptions {
  std::string folder;
  std::string mode;
  bool trace = false;
  bool oneAfterAnother = false;
};

// The camera column as the window would show it, one text per row.
struct ColumnKeeper : ScanView {
  void clearRows() override { texts.clear(); }
  void addRow(const std::string&) override { texts.emplace_back(); }
  void setCameraText(int row, const std::string& text) override {
    if (row >= 0 && size_t(row) < texts.size())
      texts[size_t(row)] = text;
  }
  std::vector<std::string> texts;
};

std::string rateText(const PortEntry& entry) {
  if (!entry.found)
    return "-";
  // Code 8 is 56000 on a PC serial port but the Camera Link constant for 57600.
  if (entry.isLibrary && entry.baudCode == 8)
    return "57600";
  return std::to_string(comRateForBaudCode(entry.baudCode));
}

int runScan(const ScanOptions& options) {
  std::error_code ec;
  const std::string folder =
      options.folder.empty() ? std::filesystem::current_path(ec).string() : options.folder;
  if (folder.empty() || !std::filesystem::is_directory(folder, ec)) {
    std::cerr << "kelpax-cli: no folder " << folder << " for portlist.ini\n";
    return kExitPort;
  }
  PortSettings settings(folder);
  CameraPort port;
  std::optional<TraceWriter> trace;
  if (options.trace) {
    trace.emplace(stderr);
    port.setTrafficObserver(&*trace);
  }
  CommandExchange exchange(port);
  PortScanner scanner(exchange, settings);
  ColumnKeeper column;
  scanner.setView(&column);
  // A trace of ports probed side by side would interleave their bytes line by line.
  if (options.oneAfterAnother || options.trace)
    scanner.setProbeOrder(ProbeOrder::OneAfterAnother);

  // Without --mode the scan is a first scan: the mode comes from portlist.ini.
  static const std::map<std::string, InterfaceMode> kModes = {{"all", InterfaceMode::All},
                                                              {"com", InterfaceMode::ComOnly},
                                                              {"clser", InterfaceMode::ClserOnly}};
  const bool firstScan = options.mode.empty();
  const InterfaceMode combo = firstScan ? InterfaceMode::ClserOnly : kModes.at(options.mode);
  scanner.ScanPorts(firstScan, combo);

  // The defaults stood in for a file that could not be read: say so, or the ports it names
  // would seem to have vanished.
  if (!settings.readProblem().empty())
    std::cerr << "kelpax-cli: " << printableBytes(settings.readProblem()) << "\n";
  if (port.portCount() == 0)
    std::cerr << "kelpax-cli: no ports to scan (" << settings.path() << ")\n";
  for (int i = 0; i < port.portCount(); ++i) {
    const PortEntry& entry = port.ports()[size_t(i)];
    const std::string text = size_t(i) < column.texts.size() ? column.texts[size_t(i)] : "";
    std::printf("%s\t%s\t%s\t%s\n", printableBytes(entry.portName).c_str(),
                entry.isLibrary ? printableBytes(entry.maker).c_str() : "COM",
                rateText(entry).c_str(), printableBytes(text).c_str());
  }
  return port.currentIndex() >= 0 ? kExitOk : kExitNoAnswer;
}

} // namespace

CliCommand addScanCommand(CLI::App& app) {
  auto options = std::make_shared<ScanOptions>();
  CLI::App* cmd = app.add_subcommand(
      "scan", "scan every enabled port for a camera, as the port window does; prints port, "
              "maker or COM, rate found and camera, tab-separated; exit 0 when a camera was "
              "found, 2 when none");
  cmd->add_option("--folder", options->folder,
                  "folder of the portlist.ini to use (default: the current folder)");
  cmd->add_option("--mode", options->mode,
                  "ports to scan instead of portlist.ini's COMPORT_ONLY: all, com or clser")
      ->check(CLI::IsMember({"all", "com", "clser"}));
  cmd->add_flag("--trace", options->trace,
                "show every byte on the wire, with timestamps (probes one port after another)");
  cmd->add_flag("--one-at-a-time", options->oneAfterAnother,
                "probe one port after another instead of all at once");
  return {cmd, [options] { return runScan(*options); }};
}

} // namespace kelpax
