// The Ko factory settings of a simulated camera.
#include "sim/ko_factory.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace sim {
namespace {

using Lines = std::vector<std::string>;

constexpr std::string_view kDenied = "Error : access denied";
constexpr std::string_view kBadValue = "Error : invalid parameter";
constexpr std::string_view kBadCount = "Error : wrong number of parameters";

Lines error(std::string_view text) {
  return Lines{std::string(text)};
}

std::optional<int> wholeNumber(std::string_view text, int min, int max) {
  if (text.empty() || text.size() > 9)
    return std::nullopt;
  size_t i = text[0] == '-' ? 1 : 0;
  if (i == text.size())
    return std::nullopt;
  long value = 0;
  for (; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9')
      return std::nullopt;
    value = value * 10 + (text[i] - '0');
  }
  if (text[0] == '-')
    value = -value;
  if (value < min || value > max)
    return std::nullopt;
  return static_cast<int>(value);
}

std::string fixed(double value, int decimals) {
  char text[48];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  return text;
}

} // namespace

double KoFactorySettings::frameRate() const {
  // The sensor runs at its set frame rate unless the exposure is longer than one frame.
  const std::optional<std::vector<double>> rate = parameters_.values("fr");
  const std::optional<std::vector<double>> exposure = parameters_.values("et");
  double fps = rate && !rate->empty() ? rate->front() : 30.0;
  if (exposure && !exposure->empty() && exposure->front() > 0)
    fps = std::min(fps, 1000000.0 / exposure->front());
  return fps;
}

std::optional<std::vector<std::string>>
KoFactorySettings::answer(std::string_view command, std::span<const std::string_view> args,
                          bool privileged) {
  if (command == "gvref" || command == "svref") {
    if (args.empty() || bias_.count(args[0]) == 0)
      return error(kBadValue);
    if (!privileged)
      return error(kDenied);
    int& bias = bias_.find(args[0])->second;
    if (command == "gvref")
      return args.size() == 1 ? Lines{std::to_string(bias)} : error(kBadCount);
    if (args.size() != 2)
      return error(kBadCount);
    const std::optional<int> value = wholeNumber(args[1], 0, kBiasMax);
    if (!value)
      return error(kBadValue);
    bias = *value;
    return Lines{"OK"};
  }
  if (command == "gblo" || command == "sblo" || command == "ggp" || command == "sgp") {
    if (!privileged)
      return error(kDenied);
    const bool offset = command[1] == 'b';
    int& field = offset ? blackOffset_ : gainPiece_;
    if (command[0] == 'g')
      return args.empty() ? Lines{std::to_string(field)} : error(kBadCount);
    if (args.size() != 1)
      return error(kBadCount);
    const std::optional<int> value =
        wholeNumber(args[0], 0, offset ? kBlackOffsetMax : kGainPieceMax);
    if (!value)
      return error(kBadValue);
    field = *value;
    return Lines{"OK"};
  }
  // The frame-rate register, read as a real.
  if (command == "rur") {
    if (!privileged)
      return error(kDenied);
    if (args.size() != 2 || args[0] != "0x10002028" || args[1] != "f")
      return error(kBadValue);
    return Lines{fixed(frameRate(), 3)};
  }
  // Pixel-offset calibration: "shpo" measures the column and hot-pixel offsets, "scpo -"
  // clears them.
  if ((command == "shpo" || command == "scpo") && parameters_.find("cpo") &&
      parameters_.find("hpo")) {
    const bool clear = command == "scpo";
    if (clear ? (args.size() != 1 || args[0] != "-") : !args.empty())
      return std::nullopt; // the stem's own set command ("scpo 1.5")
    std::string ignored;
    const std::string column = clear ? "0" : "1.25";
    const std::string hot = clear ? "0" : "0.75";
    const std::string_view columnArg[] = {column};
    const std::string_view hotArg[] = {hot};
    parameters_.set("cpo", columnArg, ignored);
    parameters_.set("hpo", hotArg, ignored);
    return Lines{"OK"};
  }
  return std::nullopt;
}

} // namespace sim
