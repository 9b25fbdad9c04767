// What the page tests share: a page host that forwards to a simulated camera and records
// what the page sent, and the camera connected, identified and read as the main window does.
#pragma once

#include <QCoreApplication>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <unistd.h>

#include "link/command_exchange.h"
#include "session/connected_camera.h"
#include "sim/pty_camera.h"
#include "transfer/binary_transfer.h"

namespace pagetest {

using namespace kelpax;

using Commands = std::vector<std::string>;

// Forwards to the connected camera and keeps what the page sent. Commands the simulated
// cameras do not know (the dark-image data commands) are answered here as scripted, without
// reaching the camera.
class RecordingHost : public PageHost {
public:
  explicit RecordingHost(ConnectedCamera& camera) : camera_(camera) {}

  Answer sendCommand(std::string_view command, ExchangeOptions options) override {
    const std::string line(command);
    if (onSend)
      onSend(line);
    Answer answer;
    if (auto it = scripted.find(line); it != scripted.end())
      answer.result = it->second ? CommandResult::Ok : CommandResult::CameraError;
    else
      answer = camera_.sendCommand(command, options);
    sent.push_back({line, options.timeoutMs, answer.accepted()});
    return answer;
  }
  const ParameterCache& parameterCache() const override { return camera_.parameterCache(); }
  const ModelDescriptor& modelDescriptor() const override { return camera_.modelDescriptor(); }
  BinaryTransfer* binaryTransfer() override { return camera_.binaryTransfer(); }

  Commands commands() const {
    Commands lines;
    for (const Sent& s : sent)
      lines.push_back(s.command);
    return lines;
  }

  struct Sent {
    std::string command;
    uint32_t timeoutMs;
    bool accepted;
  };
  std::vector<Sent> sent;
  std::map<std::string, bool> scripted;
  std::function<void(const std::string&)> onSend;

private:
  ConnectedCamera& camera_;
};

// A simulated camera of the given model, connected, identified and read like the main
// window does it.
class CameraRig {
public:
  explicit CameraRig(const std::string& model) : exchange_(port_) {
    static int serial = 0;
    sim::PtyOptions options;
    options.model = model;
    options.linkPath =
        "/tmp/kelpax-pages-" + std::to_string(getpid()) + "-" + std::to_string(++serial);
    options.baud = 115200;
    options.pacing = false;
    camera_ = std::make_unique<sim::PtyCamera>(options);
    std::string error;
    EXPECT_TRUE(camera_->start(&error)) << error;
    PortEntry entry;
    entry.portName = options.linkPath;
    port_.addPort(entry);
    EXPECT_EQ(port_.OpenPort(0, 16), 0);
    connected_ = std::make_unique<ConnectedCamera>(exchange_);
    connected_->identify(model);
    EXPECT_EQ(connected_->fillCache().missing, 0);
    connected_->setBinaryTransfer(&transfer_);
    host_ = std::make_unique<RecordingHost>(*connected_);
  }

  RecordingHost& host() { return *host_; }
  // The link under the camera's commands, for binary transfers.
  CommandExchange& exchange() { return exchange_; }
  // Commands sent behind the page's back, as another window would.
  bool direct(const std::string& command) {
    return connected_->sendCommand(command, {.timeoutMs = 3000}).accepted();
  }
  void refuseEverything(bool on) {
    sim::Faults faults;
    faults.errorAnswers = on;
    camera_->setFaults(faults);
  }

private:
  CameraPort port_;
  CommandExchange exchange_;
  std::unique_ptr<sim::PtyCamera> camera_;
  std::unique_ptr<ConnectedCamera> connected_;
  BinaryTransfer transfer_{exchange_};
  std::unique_ptr<RecordingHost> host_;
};

inline void settle() {
  for (int i = 0; i < 4; ++i)
    QCoreApplication::processEvents();
}

} // namespace pagetest
