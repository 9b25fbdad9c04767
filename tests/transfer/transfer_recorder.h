// Records what a transfer shows, and stands in for the event pump with its Cancel request.
#pragma once

#include <atomic>
#include <string>
#include <utility>
#include <vector>

#include "camera/interfaces.h"
#include "transfer/binary_transfer.h"

namespace transfertest {

struct CancelState {
  bool shown;
  bool enabled;
  std::string text;
};

class Recorder : public kelpax::TransferObserver, public kelpax::EventPump {
public:
  void transferActive(bool on) override { active = on; }
  void progressBarShown(bool shown) override { barShown = shown; }
  void progressShown(int percent) override { progress.push_back(percent); }
  void percentCleared() override {}
  void cancelButtonChanged(bool shown, bool enabled, const std::string& text) override {
    cancel.push_back({shown, enabled, text});
  }
  void statusShown(const std::string& text) override { statuses.push_back(text); }
  void beep(int hz, int ms) override { beeps.emplace_back(hz, ms); }
  bool pumpEvents() override { return abort.exchange(false); }

  bool sawStatus(const std::string& text) const {
    for (const std::string& s : statuses)
      if (s == text)
        return true;
    return false;
  }
  bool sawCancel(bool shown, bool enabled, const std::string& text) const {
    for (const CancelState& c : cancel)
      if (c.shown == shown && c.enabled == enabled && c.text == text)
        return true;
    return false;
  }

  bool active = false;
  bool barShown = false;
  std::vector<int> progress;
  std::vector<CancelState> cancel;
  std::vector<std::string> statuses;
  std::vector<std::pair<int, int>> beeps;
  std::atomic<bool> abort{false};
};

} // namespace transfertest
