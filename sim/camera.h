// A simulated camera on the ASCII command protocol: bytes in, echo + answer + prompt out.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "sim/faults.h"
#include "sim/parameter_store.h"

namespace sim {

// What the camera sends back for one command line.
struct Reply {
  size_t lineEnd = 0;      // offset just past the CR that ended the line, in the bytes fed
  std::string echo;        // the command line and CR LF
  std::string answer;      // answer lines (each ending CR LF) and the prompt ">"
  bool closesLink = false; // the link closes once this reply is out
};

class Camera {
public:
  explicit Camera(std::string model);

  // Echo, answer and prompt for every complete line in bytes, in order, faults applied.
  std::string receive(std::string_view bytes);
  // The same, one Reply per complete line, so a transport can time each part.
  std::vector<Reply> feed(std::string_view bytes);

  // The link opens: returns what the camera sends unasked (the boot message, if any), and
  // starts counting commands towards a link close afresh.
  std::string openLink();
  // True once the camera has dropped the link; it then ignores everything until openLink().
  bool linkClosed() const { return linkClosed_; }

  // New faults apply from the next command on; echo-only booting and the link close count
  // commands from here.
  void setFaults(const Faults& faults);
  const Faults& faults() const { return faults_; }

  const std::string& model() const { return model_; }
  const std::string& serialNumber() const { return serialNumber_; }
  void setSerialNumber(std::string serial) { serialNumber_ = std::move(serial); }
  bool privileged() const { return privileged_; }
  int commandsReceived() const { return commandsReceived_; }
  const SimModel& info() const { return info_; }
  ParameterStore& parameters() { return parameters_; }
  const ParameterStore& parameters() const { return parameters_; }

private:
  Reply answerLine(std::string_view line);
  std::vector<std::string> commandAnswer(std::string_view line);
  // Loses or corrupts bytes on their way out, as the faults say.
  std::string outgoing(std::string bytes);
  double nextRandom();

  std::string model_;
  std::string serialNumber_;
  SimModel info_;
  ParameterStore parameters_;
  Faults faults_;
  std::string lineBuffer_; // bytes of the line not yet ended by CR
  bool privileged_ = false;
  bool linkClosed_ = false;
  int commandsReceived_ = 0;
  int commandsSinceFaults_ = 0;
  int commandsSinceOpen_ = 0;
  uint64_t randomState_ = 1;
};

} // namespace sim
