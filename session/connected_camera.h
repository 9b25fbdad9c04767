// The camera on the open port as the pages see it: its command channel, its identified
// model and the cache of its values.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "camera/parameter_cache.h"
#include "camera/tables/model_descriptor.h"
#include "link/command_exchange.h"
#include "pages/page_host.h"

namespace kelpax {

class ConnectedCamera : public PageHost {
public:
  // The exchange's cache hook is pointed at this camera's cache.
  explicit ConnectedCamera(CommandExchange& exchange);
  ~ConnectedCamera() override;

  bool sendCommand(std::string_view command, uint32_t timeoutMs, bool showStatus) override;
  const ParameterCache& parameterCache() const override { return cache_; }
  const ModelDescriptor& modelDescriptor() const override { return model_; }

  ParameterCache& cache() { return cache_; }
  ModelDescriptor& model() { return model_; }
  CommandExchange& exchange() { return exchange_; }

  // Identifies the model and registers its stems.
  void identify(std::string_view modelName, StatusLine* statusLine = nullptr);

  // Asks the camera for every registered stem ("g" + name) and stores the answers. A failed
  // first query is asked once more, later failures are skipped; every tenth failure calls
  // `onFailures` (the window hides its progress and says so). `progress` gets 0..100.
  // Returns the number of failed queries.
  int fillCache(const std::function<void(int percent)>& progress = {},
                const std::function<void()>& onFailures = {});

private:
  CommandExchange& exchange_;
  ParameterCache cache_;
  ModelDescriptor model_;
};

} // namespace kelpax
