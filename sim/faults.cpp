// Text form of the camera faults, as given on the command line or in the environment.
#include "sim/faults.h"

#include <charconv>
#include <cmath>
#include <cstdlib>

namespace sim {
namespace {

bool fail(std::string* error, std::string text) {
  if (error)
    *error = std::move(text);
  return false;
}

bool toInt(std::string_view text, int minValue, int& out) {
  int value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || value < minValue)
    return false;
  out = value;
  return true;
}

bool toProbability(std::string_view text, double& out) {
  std::string copy(text);
  char* end = nullptr;
  double value = std::strtod(copy.c_str(), &end);
  if (copy.empty() || end != copy.c_str() + copy.size() || !std::isfinite(value) || value < 0 ||
      value > 1)
    return false;
  out = value;
  return true;
}

std::string unescape(std::string_view text) {
  std::string result;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 1 < text.size() && (text[i + 1] == 'r' || text[i + 1] == 'n')) {
      result += text[i + 1] == 'r' ? '\r' : '\n';
      ++i;
    } else {
      result += text[i];
    }
  }
  return result;
}

} // namespace

bool parseFaults(std::string_view text, Faults& out, std::string* error) {
  Faults faults;
  while (!text.empty()) {
    size_t comma = text.find(',');
    std::string_view item = text.substr(0, comma);
    text = comma == std::string_view::npos ? std::string_view() : text.substr(comma + 1);
    if (item.empty())
      continue;

    size_t eq = item.find('=');
    std::string_view key = item.substr(0, eq);
    std::string_view value =
        eq == std::string_view::npos ? std::string_view() : item.substr(eq + 1);
    bool hasValue = eq != std::string_view::npos;
    bool ok = true;

    if (key == "silent" && !hasValue) {
      faults.silent = true;
    } else if (key == "error" && !hasValue) {
      faults.errorAnswers = true;
    } else if (key == "boot-echo" && hasValue) {
      ok = toInt(value, 0, faults.bootEchoOnly);
    } else if (key == "boot-message" && hasValue) {
      faults.bootMessage = unescape(value);
    } else if (key == "slow" && hasValue) {
      ok = toInt(value, 0, faults.slowAnswerMs);
    } else if (key == "drop" && hasValue) {
      ok = toProbability(value, faults.dropRate);
    } else if (key == "corrupt" && hasValue) {
      ok = toProbability(value, faults.corruptRate);
    } else if (key == "close-after" && hasValue) {
      ok = toInt(value, 1, faults.closeAfterCommands);
    } else if (key == "silent-after" && hasValue) {
      ok = toInt(value, 0, faults.silentAfterCommands);
    } else if (key == "refuse-at" && hasValue) {
      ok = toInt(value, 1, faults.refuseCommand);
    } else if (key == "hang-up" && hasValue) {
      ok = toInt(value, 1, faults.hangUpInAnswer);
    } else if (key == "flood" && !hasValue) {
      faults.flood = true;
    } else if (key == "noise" && !hasValue) {
      faults.noise = true;
    } else if (key == "gencp-bad-checksum" && !hasValue) {
      faults.gencpBadChecksum = true;
    } else if (key == "gencp-garbage" && !hasValue) {
      faults.gencpGarbage = true;
    } else if (key == "gencp-pending" && hasValue) {
      ok = toInt(value, 1, faults.gencpPendingMs);
    } else if (key == "nak-at" && hasValue) {
      ok = toInt(value, 0, faults.frames.nakAtBlock);
    } else if (key == "bad-ack" && !hasValue) {
      faults.frames.badAck = true;
    } else if (key == "frame-drop" && hasValue) {
      ok = toInt(value, 1, faults.frames.dropInFrame);
    } else if (key == "frame-corrupt" && hasValue) {
      ok = toInt(value, 1, faults.frames.corruptInFrame);
    } else if (key == "reply-checksum" && hasValue) {
      ok = toInt(value, 1, faults.frames.badReplyChecksum);
    } else if (key == "frame-close" && hasValue) {
      ok = toInt(value, 1, faults.frames.closeAtFrame);
    } else if (key == "huge-upload" && !hasValue) {
      faults.frames.hugeUpload = true;
    } else if (key == "seed" && hasValue) {
      int seed = 0;
      ok = toInt(value, 0, seed);
      faults.seed = static_cast<uint32_t>(seed);
    } else {
      return fail(error, "unknown fault \"" + std::string(item) + "\"");
    }
    if (!ok)
      return fail(error, "bad value in fault \"" + std::string(item) + "\"");
  }
  out = std::move(faults);
  return true;
}

} // namespace sim
