// The camera on the open port as the pages and the command line see it: its command channel,
// its identified model, the cache of its values, and the operations the program offers on it.
// The cache changes only here, from answers the camera accepted.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "camera/answer.h"
#include "camera/parameter_cache.h"
#include "camera/tables/command_vocabulary.h"
#include "camera/tables/model_descriptor.h"
#include "link/command_exchange.h"
#include "pages/page_host.h"

namespace kelpax {

inline constexpr uint32_t kSettingSpaceTimeoutMs = 9000;
inline constexpr uint32_t kStartupSpaceTimeoutMs = 3000;
inline constexpr uint32_t kHighSpeedTimeoutMs = 6000;
inline constexpr uint32_t kCameraInfoTimeoutMs = 300;
inline constexpr uint32_t kModelCheckTimeoutMs = 1000;
inline constexpr uint32_t kAcquisitionStateTimeoutMs = 1000;

// Queries in a row without any answer after which a cache fill gives the camera up.
inline constexpr int kUnansweredBeforeLost = 5;

// How a cache fill went.
struct CacheFill {
  // Values the cache did not get: queries that failed and those never asked.
  int missing = 0;
  // Queries that got no answer at all (nothing, or text cut off before the prompt).
  int unanswered = 0;
  // The camera stopped answering and the fill ended early.
  bool cameraLost = false;
  // Not one value reached the cache.
  bool nothingRead = false;
};

// What the status line and the command line say of a fill that lost the camera.
std::string lostCameraText(const CacheFill& fill);

// What "Camera Info" shows.
struct CameraInfo {
  std::string name;
  std::string serialNumber;
  std::string fpgaVersion;
  std::string mcuVersion;
};

// What a field shows of an answer: the text without the echo's first `echoLength` characters,
// line ends, the prompt and surrounding blanks.
std::string cameraInfoField(const std::string& answer, size_t echoLength);
// "41.5" from a "gct" answer: the two characters before the first '.' and two from it;
// nothing when the answer holds no '.'.
std::optional<std::string> temperatureFrom(std::string_view answer);

class ConnectedCamera : public PageHost {
public:
  explicit ConnectedCamera(CommandExchange& exchange);

  // A command whose outcome counts (status line, link state); its accepted answer reaches the
  // cache.
  Answer sendCommand(std::string_view command, ExchangeOptions options) override;
  // A query; its accepted answer reaches the cache too (a "g" query stores the value).
  Answer query(std::string_view command, ExchangeOptions options = {});

  const ParameterCache& parameterCache() const override { return cache_; }
  const ModelDescriptor& modelDescriptor() const override { return model_; }
  // The session's transfers, handed to the pages that move data files.
  BinaryTransfer* binaryTransfer() override { return transfer_; }
  void setBinaryTransfer(BinaryTransfer* transfer) { transfer_ = transfer; }

  // The cache and the model as identification and setting-file handlers build them.
  ParameterCache& cache() { return cache_; }
  ModelDescriptor& model() { return model_; }
  CommandExchange& exchange() { return exchange_; }

  // Identifies the model and registers its stems.
  void identify(std::string_view modelName, StatusLine* statusLine = nullptr);

  // Asks the camera for every registered stem ("g" + name) and stores the answers. A failed
  // first query is asked again, later failures are skipped; every tenth failure calls
  // `onFailures` (the window hides its progress and says so). `progress` gets 0..100.
  // kUnansweredBeforeLost unanswered queries in a row end the fill: the camera is lost.
  CacheFill fillCache(const std::function<void(int percent)>& progress = {},
                      const std::function<void()>& onFailures = {});

  // --- operations of the main window's menus, shared with the command line
  // "lcf N": the camera loads setting space N (0 factory, 1 and 2 user).
  Answer loadSettingSpace(int space);
  // "sct N": the camera stores its settings in space N.
  Answer saveSettingSpace(int space);
  // "sci N": the space the camera starts from.
  Answer chooseStartupSpace(int space);
  // The start-up space the cache knows, -1 when never read.
  int startupSpace() const;
  // High speed ("ps"): nothing when the camera never reported it.
  std::optional<bool> highSpeed() const;
  Answer setHighSpeed(bool on);
  // "ast" / "asp".
  Answer acquisition(bool start);
  // "gast", out of the status line's sight: whether the camera acquires, as its cache entry
  // "ast" now holds it; nothing when the camera refused, did not answer or keeps no entry.
  std::optional<bool> readAcquisitionState();
  // "gct": the camera temperature as shown in the status line ("41.5").
  std::optional<std::string> readTemperature();
  // "gmn", "gsn piece", "gfv", "gmv".
  CameraInfo readCameraInfo();
  // "gmn" asked again: the model name the camera on the port reports now.
  std::string askModelName();

private:
  Answer sendShown(const CommandSpec& spec, std::initializer_list<double> values,
                   uint32_t timeoutMs);

  CommandExchange& exchange_;
  ParameterCache cache_;
  ModelDescriptor model_;
  BinaryTransfer* transfer_ = nullptr;
};

} // namespace kelpax
