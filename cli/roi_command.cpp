// kelpax-cli roi list | set N X Y W H | enable N | disable N | reset.
#include "cli/roi_command.h"

#include <cstdio>
#include <iostream>
#include <memory>

#include "editors/multi_roi.h"

namespace kelpax {
namespace {

struct RoiOptions {
  LinkOptions link;
  std::string action;
  std::vector<int> numbers;
};

void printTable(const RoiTable& table) {
  std::printf("%-6s %8s %8s %6s %6s %s\n", "Region", "Offset X", "Offset Y", "Width", "Height",
              "Status");
  for (int i = 0; i < table.size(); ++i) {
    const RoiRegion& r = table.row(i);
    std::printf("%-6d %8d %8d %6d %6d %s\n", i, r.x, r.y, r.width, r.height,
                r.on ? std::string(kRegionStatusOn).c_str() : "");
  }
}

int failed(const RoiOutcome& outcome) {
  std::cerr << "kelpax-cli: " << printableBytes(outcome.message) << "\n";
  return outcome.nothingSent || !outcome.refused.empty() ? kExitCameraError : kExitNoAnswer;
}

int runRoi(const RoiOptions& options) {
  const size_t wanted = options.action == "set"                                     ? 5
                        : options.action == "enable" || options.action == "disable" ? 1
                                                                                    : 0;
  if (options.numbers.size() != wanted) {
    std::cerr << "kelpax-cli: roi " << options.action << " takes " << wanted
              << " number(s); nothing was sent\n";
    return kExitCameraError;
  }
  CliSession cli;
  if (int rc = cli.open(options.link); rc != kExitOk)
    return rc;
  const std::optional<MultiRoiVariant> variant = multiRoiVariantFor(cli.camera().modelDescriptor());
  if (!variant) {
    std::cerr << "kelpax-cli: " << cli.camera().modelDescriptor().modelName
              << " reads out one region only\n";
    return kExitCameraError;
  }
  MultiRoi regions(cli.camera(), *variant);
  if (const RoiOutcome read = regions.readAll(); !read.ok)
    return failed(read);
  else if (!read.message.empty())
    std::cerr << "kelpax-cli: " << read.message << "\n";

  RoiOutcome outcome;
  if (options.action == "list") {
    printTable(regions.table());
    return kExitOk;
  }
  if (options.action == "reset") {
    const RoiResetOutcome reset = regions.reset();
    if (!reset.complete) {
      std::cerr << "kelpax-cli: " << printableBytes(reset.message) << "\n";
      for (const std::string& done : reset.accepted)
        std::cerr << "  accepted: " << done << "\n";
      return kExitCameraError;
    }
    printTable(regions.table());
    return kExitOk;
  }
  const std::vector<int>& n = options.numbers;
  if (options.action == "set")
    outcome = regions.setRegion(n[0], n[1], n[2], n[3], n[4]);
  else
    outcome = regions.setEnabled(n[0], options.action == "enable");
  if (!outcome.ok)
    return failed(outcome);
  printTable(regions.table());
  return kExitOk;
}

} // namespace

CliCommand addRoiCommand(CLI::App& app) {
  auto options = std::make_shared<RoiOptions>();
  CLI::App* command = app.add_subcommand(
      "roi", "regions of a multi-region camera: list, set N X Y W H, enable N, disable N, reset");
  addLinkOptions(command, options->link);
  command->add_option("action", options->action, "list, set, enable, disable or reset")
      ->required()
      ->check(CLI::IsMember({"list", "set", "enable", "disable", "reset"}));
  command->add_option("numbers", options->numbers, "the region and, for set, X Y W H");
  return {command, [options] { return runRoi(*options); }};
}

} // namespace kelpax
