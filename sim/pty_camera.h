// A simulated camera served on a pseudo-terminal, reached by the PC through a symlink.
#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <thread>

#include "sim/faults.h"

namespace sim {

struct PtyOptions {
  std::string model;
  std::string linkPath; // symlink created to the slave, e.g. /tmp/ttyCAM0
  int baud = 9600;      // the camera's rate at start; the PC must set the same on the slave
  bool pacing = true;
  Faults faults;
};

class PtyCamera {
public:
  explicit PtyCamera(PtyOptions options);
  ~PtyCamera();
  PtyCamera(const PtyCamera&) = delete;
  PtyCamera& operator=(const PtyCamera&) = delete;

  // Opens the pseudo-terminal, makes the link and starts serving. The boot message, if any,
  // goes out now and waits in the terminal for the PC.
  bool start(std::string* error);
  // Stops serving, closes the terminal and removes the link. Safe to call twice.
  void stop();

  const std::string& slavePath() const { return slavePath_; }
  const std::string& linkPath() const { return options_.linkPath; }

  void setFaults(const Faults& faults);
  int commandsReceived() const { return commandsReceived_.load(); }
  // Whether the camera's privileged command level is open, as of the last command.
  bool privileged() const { return privileged_.load(); }
  // True once the camera has dropped the link (the link is then gone from the file system).
  bool linkDropped() const { return linkDropped_.load(); }
  // The camera's line rate as of the last command ("sbr" changes it).
  int lineRate() const { return lineRate_.load(); }
  // Moves the camera's clock on without waiting: an hour of cooling passes in no time.
  void advanceClock(double seconds) { clockOffset_.store(clockOffset_.load() + seconds); }

private:
  void serve();
  void wake();
  void closeTerminal();

  PtyOptions options_;
  std::string slavePath_;
  int masterFd_ = -1;
  int slaveFd_ = -1; // kept open so the master never sees a hang-up when the PC closes
  int wakeFd_ = -1;
  std::thread thread_;
  std::atomic<bool> stopping_{false};
  std::atomic<bool> linkDropped_{false};
  std::atomic<int> commandsReceived_{0};
  std::atomic<bool> privileged_{false};
  std::atomic<int> lineRate_{0};
  std::atomic<double> clockOffset_{0}; // seconds added to the steady clock, see advanceClock

  std::mutex faultsMutex_; // protects pendingFaults_, hasPendingFaults_
  Faults pendingFaults_;
  bool hasPendingFaults_ = false;
};

} // namespace sim
