// A camera on a pseudo-terminal whose answer to each binary frame the test writes: the bytes,
// split into pieces with pauses between them, or nothing.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include "link/camera_port.h"

namespace transfertest {

struct Piece {
  std::string bytes;
  int delayMs = 0; // pause before these bytes go out
};

class ScriptedCamera {
public:
  // Called with each whole frame and its number (0 for the first); returns the answer.
  using Script = std::function<std::vector<Piece>(const std::string& frame, int index)>;

  ScriptedCamera(const std::string& tag, Script script) : script_(std::move(script)) {
    if (openpty(&master_, &slave_, nullptr, nullptr, nullptr) != 0) {
      ADD_FAILURE() << "no pseudo-terminal";
      return;
    }
    termios tio{};
    tcgetattr(slave_, &tio);
    cfmakeraw(&tio);
    tcsetattr(slave_, TCSANOW, &tio);
    linkPath_ = "/tmp/kelpax-scripted-" + tag + "-" + std::to_string(getpid());
    unlink(linkPath_.c_str());
    if (symlink(ttyname(slave_), linkPath_.c_str()) != 0)
      ADD_FAILURE() << "cannot link " << linkPath_;
    thread_ = std::thread([this] { serve(); });
    kelpax::PortEntry entry;
    entry.portName = linkPath_;
    port.addPort(entry);
    opened = port.OpenPort(0, 16) == 0;
    EXPECT_TRUE(opened);
  }
  ~ScriptedCamera() {
    port.ClosePort();
    stop_ = true;
    thread_.join();
    close(master_);
    close(slave_);
    unlink(linkPath_.c_str());
  }

  std::vector<std::string> frames() {
    std::lock_guard lock(mutex_);
    return frames_;
  }
  size_t bytesReceived() const { return bytesReceived_.load(); }

  kelpax::CameraPort port;
  bool opened = false;

private:
  void serve() {
    std::string pending;
    char buffer[4096];
    while (!stop_) {
      pollfd fd{master_, POLLIN, 0};
      if (poll(&fd, 1, 20) <= 0)
        continue;
      ssize_t n = read(master_, buffer, sizeof buffer);
      if (n <= 0)
        continue;
      bytesReceived_ += size_t(n);
      pending.append(buffer, size_t(n));
      while (pending.size() >= 7 && pending[0] == 0x02) {
        const size_t length = size_t(uint8_t(pending[5])) << 8 | uint8_t(pending[6]);
        if (pending.size() < length + 9)
          break;
        std::string frame = pending.substr(0, length + 9);
        pending.erase(0, length + 9);
        int index = 0;
        {
          std::lock_guard lock(mutex_);
          frames_.push_back(frame);
          index = int(frames_.size()) - 1;
        }
        for (const Piece& piece : script_(frame, index)) {
          if (piece.delayMs > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(piece.delayMs));
          if (!piece.bytes.empty()) [[maybe_unused]]
            ssize_t w = write(master_, piece.bytes.data(), piece.bytes.size());
        }
      }
      if (!pending.empty() && pending[0] != 0x02)
        pending.clear();
    }
  }

  Script script_;
  int master_ = -1;
  int slave_ = -1;
  std::string linkPath_;
  std::thread thread_;
  std::atomic<bool> stop_{false};
  std::atomic<size_t> bytesReceived_{0};
  std::mutex mutex_; // protects frames_
  std::vector<std::string> frames_;
};

// The six characters of a download acknowledgement.
inline std::string ack(char second = 0x06, char fifth = 0x08) {
  return std::string{0x02, second, 0, 0, fifth, 0x03};
}

} // namespace transfertest
