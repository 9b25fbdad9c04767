// Model identification: from the camera's model name and a few queries to a descriptor,
// ranges and the family's cache registration.
#include "session/model_identification.h"

#include <algorithm>
#include <cctype>
#include <optional>

#include "camera/file_io.h"
#include "camera/tables/stem_lists.h"
#include "session/privileged_level.h"

namespace kelpax {
namespace {
constexpr uint32_t kIdentifyTimeoutMs = 3000;
} // namespace

std::optional<int32_t> sensorDimensionFrom(std::string_view answer) {
  const size_t lineEnd = answer.find('\n');
  if (lineEnd == std::string_view::npos)
    return std::nullopt;
  std::string_view line = answer.substr(lineEnd + 1);
  line = line.substr(0, line.find_first_of("\r\n"));
  while (!line.empty() && line.front() == ' ')
    line.remove_prefix(1);
  const std::string_view word = line.substr(0, line.find(' '));
  if (word.empty() || word == ">" || lowerCase(word) == "error")
    return std::nullopt;
  return parseCacheInt(word);
}

void sensorSizeFromCcdAnswer(std::string_view answer, int32_t& width, int32_t& height) {
  std::string text;
  for (char c : answer) {
    if (c != ' ' && c != '\r')
      text += c;
  }
  width = 0;
  height = 0;
  auto numberAfter = [&](size_t equals) -> int32_t {
    const size_t end = text.find('\n', equals + 1);
    return parseCacheInt(std::string_view(text).substr(
        equals + 1, end == std::string::npos ? std::string::npos : end - equals - 1));
  };
  const size_t first = text.find('=');
  if (first == std::string::npos)
    return;
  width = numberAfter(first);
  const size_t second = text.find('=', first + 1);
  if (second != std::string::npos)
    height = numberAfter(second);
}

bool identifyModel(std::string_view modelName, CommandExchange& exchange, ModelDescriptor& model,
                   ParameterCache& cache, StatusLine* statusLine) {
  describeModelName(modelName, model);

  if (model.series == Series::Ko || model.sizeClass == "25M") {
    model.roiSupported =
        exchange.SendCommand(formatCommand(cmd::kRegions), {.timeoutMs = kIdentifyTimeoutMs})
            .accepted();
    if (statusLine)
      statusLine->showStatus("");
  }

  const std::optional<int32_t> width = sensorDimensionFrom(
      exchange.Query(formatCommand(cmd::kSensorWidth), {.timeoutMs = kIdentifyTimeoutMs}).text);
  const std::optional<int32_t> height = sensorDimensionFrom(
      exchange.Query(formatCommand(cmd::kSensorHeight), {.timeoutMs = kIdentifyTimeoutMs}).text);
  model.sensorHeight = height.value_or(0);
  if (width) {
    model.sensorWidth = *width;
  } else {
    PrivilegedLevel privileged(exchange, kIdentifyTimeoutMs);
    sensorSizeFromCcdAnswer(
        exchange.Query(formatCommand(cmd::kSensorInfo), {.timeoutMs = kIdentifyTimeoutMs}).text,
        model.sensorWidth, model.sensorHeight);
  }

  applyModelRanges(model);
  model.aoiMaxX = model.sensorWidth - 1;
  model.aoiMaxY = model.sensorHeight - 1;

  cache.clear();
  for (const StemRegistration& stem : stemsForModel(model))
    cache.registerEntry(stem.stem, stem.flags);
  return true;
}

} // namespace kelpax
