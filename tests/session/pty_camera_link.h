// What the session's tests share: a simulated camera on a pseudo-terminal and the program's port
// open on it at 115200 baud, with the exchange and the connected camera over it.
#pragma once

#include <memory>
#include <string>

#include <gtest/gtest.h>
#include <unistd.h>

#include "link/camera_port.h"
#include "link/command_exchange.h"
#include "session/connected_camera.h"
#include "sim/pty_camera.h"

namespace sessiontest {

struct PtyCameraLink {
  // `tag` keeps the links of tests running side by side apart.
  PtyCameraLink(const std::string& model, const std::string& tag, bool pacing = false) {
    sim::PtyOptions options;
    options.model = model;
    options.linkPath = "/tmp/kelpax-" + tag + "-" + std::to_string(getpid());
    options.baud = 115200;
    options.pacing = pacing;
    camera = std::make_unique<sim::PtyCamera>(options);
    std::string error;
    if (!camera->start(&error)) {
      ADD_FAILURE() << error;
      return;
    }
    kelpax::PortEntry entry;
    entry.portName = options.linkPath;
    port.addPort(entry);
    opened = port.OpenPort(0, 16) == 0;
    EXPECT_TRUE(opened) << options.linkPath;
  }
  ~PtyCameraLink() { port.ClosePort(); }
  PtyCameraLink(const PtyCameraLink&) = delete;
  PtyCameraLink& operator=(const PtyCameraLink&) = delete;

  std::unique_ptr<sim::PtyCamera> camera;
  kelpax::CameraPort port;
  kelpax::CommandExchange exchange{port};
  kelpax::ConnectedCamera connected{exchange};
  bool opened = false;
};

} // namespace sessiontest
