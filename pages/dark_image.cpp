// Dark-image generation and saving sequences.
#include "pages/dark_image.h"

#include <vector>

#include "camera/tables/command_vocabulary.h"

namespace kelpax {
namespace {

constexpr uint32_t kSettingTimeoutMs = 3000;

// A setting changed for the generation and the value it is put back to.
struct Changed {
  CommandSpec command;
  int32_t oldValue;
};

// Puts back every setting that was changed, in the order they were changed.
void restore(const DarkImageChannel& channel, const std::vector<Changed>& changed) {
  for (const Changed& c : changed)
    channel.send(formatCommand(c.command, {double(c.oldValue)}), kSettingTimeoutMs);
}

DarkImageOutcome generateAt160(const DarkImageChannel& channel, int32_t gain, int32_t offset) {
  std::vector<Changed> changed;
  bool ok = true;
  if (gain != 0) {
    ok = channel.send("sag 0", kSettingTimeoutMs);
    if (ok)
      changed.push_back({cmd::kAnalogGain, gain});
  }
  if (ok && offset != 0) {
    ok = channel.send("sao 0", kSettingTimeoutMs);
    if (ok)
      changed.push_back({cmd::kAnalogOffset, offset});
  }
  ok = ok && channel.send("gcp", 15000) && channel.send("gdd", 15000);
  restore(channel, changed);
  if (!ok)
    return {}; // the status line shows the camera's refusal
  return {true, " Generation completed!"};
}

DarkImageOutcome generateAt110(const DarkImageChannel& channel, int32_t gain, int32_t offset) {
  std::vector<Changed> changed;
  bool ok = channel.send("sao 63", kSettingTimeoutMs);
  if (ok)
    changed.push_back({cmd::kAnalogOffset, offset});
  if (ok && gain != 0) {
    ok = channel.send("sag 0", kSettingTimeoutMs);
    if (ok)
      changed.push_back({cmd::kAnalogGain, gain});
  }
  ok = ok && channel.send("gcp", 30000);
  restore(channel, changed);
  if (!ok)
    return {};
  return {true, "Generation completed!"};
}

} // namespace

DarkImageOutcome generateDarkImage(int rateCode, const DarkImageChannel& channel) {
  if (rateCode == kDarkRate160 || rateCode == kDarkRate110) {
    const std::optional<int32_t> gain = channel.cached("ag");
    const std::optional<int32_t> offset = channel.cached("ao");
    if (!gain || !offset || *gain < 0 || *offset < 0)
      return {false, kGainOffsetUnknownText};
    return rateCode == kDarkRate160 ? generateAt160(channel, *gain, *offset)
                                    : generateAt110(channel, *gain, *offset);
  }
  if (channel.send("god", 30000))
    return {true, "Generation completed!"};
  channel.send("lod", 2000);
  return {false, kDarkImageNotDetectedText};
}

DarkImageOutcome saveDarkImage(int rateCode, const DarkImageChannel& channel) {
  if (rateCode == kDarkRate160) {
    if (channel.send("scp", 30000) && channel.send("sdd", 120000))
      return {true, "Saving completed!"};
    return {};
  }
  if (rateCode == kDarkRate110) {
    if (channel.send("scp", 30000))
      return {true, "Saving completed!"};
    return {};
  }
  if (channel.send("sod", 120000))
    return {true, "  Saving completed!"};
  return {};
}

} // namespace kelpax
