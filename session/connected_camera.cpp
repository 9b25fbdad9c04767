// The camera on the open port as the pages see it.
#include "session/connected_camera.h"

#include "camera/debug_output.h"
#include "session/model_identification.h"

namespace kelpax {
namespace {
constexpr int kFailuresBeforeNotice = 10;
constexpr uint32_t kFillTimeoutMs = 3000;
} // namespace

ConnectedCamera::ConnectedCamera(CommandExchange& exchange) : exchange_(exchange) {
  exchange_.setCacheHook(&cache_);
}

ConnectedCamera::~ConnectedCamera() {
  exchange_.setCacheHook(nullptr);
}

bool ConnectedCamera::sendCommand(std::string_view command, uint32_t timeoutMs, bool showStatus) {
  return exchange_.SendCommand(command, timeoutMs, showStatus);
}

void ConnectedCamera::identify(std::string_view modelName, StatusLine* statusLine) {
  identifyModel(modelName, exchange_, model_, cache_, statusLine);
}

int ConnectedCamera::fillCache(const std::function<void(int percent)>& progress,
                               const std::function<void()>& onFailures) {
  const size_t count = cache_.size();
  int failures = 0;
  int failuresSinceNotice = 0;
  size_t i = 0;
  while (i < count) {
    const std::string query = "g" + cache_.entry(i).name;
    const bool stored = cache_.takeFromTraffic(exchange_.Query(query, kFillTimeoutMs, true));
    debugPrintf("%s%s\n", query.c_str(), stored ? " TRUE" : "  FALSE");
    if (!stored) {
      ++failures;
      if (++failuresSinceNotice < kFailuresBeforeNotice) {
        // The first entry is asked again: a camera still waking up misses it.
        if (i > 0)
          ++i;
        continue;
      }
      failuresSinceNotice = 0;
      if (onFailures)
        onFailures();
    }
    if (progress)
      progress(count == 1 ? 100 : static_cast<int>(100 * i / (count - 1)));
    ++i;
  }
  return failures;
}

} // namespace kelpax
