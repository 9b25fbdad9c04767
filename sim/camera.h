// A simulated camera on the ASCII command protocol: bytes in, echo + answer + prompt out.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "sim/binary_frames.h"
#include "sim/factory_hardware.h"
#include "sim/faults.h"
#include "sim/gencp_device.h"
#include "sim/ko_factory.h"
#include "sim/parameter_store.h"
#include "sim/regions.h"

namespace sim {

// What the camera sends back for one command line.
struct Reply {
  size_t lineEnd = 0;      // offset just past the CR that ended the line, in the bytes fed
  std::string echo;        // the command line and CR LF
  std::string answer;      // answer lines (each ending CR LF) and the prompt ">"
  std::string startup;     // the start-up text, sent unasked once the camera has booted
  int newBaud = 0;         // the camera changes its line to this rate once the reply is out
  bool closesLink = false; // the link closes once this reply is out
  std::string delayed;     // sent delayedMs after the answer (a GenCP answer after its
  int delayedMs = 0;       // pending acknowledge)
};

// Line rates a camera can be switched to with "sbr".
inline constexpr std::array<int, 5> kCameraRates = {9600, 19200, 38400, 56000, 115200};
// Commands a camera only echoes while it boots after "rst".
inline constexpr int kRestartEchoOnly = 2;
// What a flooding camera sends for each command, and a noisy one.
inline constexpr size_t kFloodBytes = 4000;
inline constexpr int kNoiseBytes = 24;

class Camera {
public:
  explicit Camera(std::string model);

  // Echo, answer and prompt (and a start-up text) for every complete line in bytes, in
  // order, faults applied.
  std::string receive(std::string_view bytes);
  // The same, one Reply per complete line, so a transport can time each part. After a reply
  // that changes the line rate the rest of the bytes are dropped: they came at the old rate.
  std::vector<Reply> feed(std::string_view bytes);

  // What the camera sends unasked when it has finished booting.
  std::string startupText() const;

  // The link opens: returns what the camera sends unasked (the boot message, if any), and
  // starts counting commands towards a link close afresh.
  std::string openLink();
  // True once the camera has dropped the link; it then ignores everything until openLink().
  bool linkClosed() const { return linkClosed_; }

  // New faults apply from the next command on; echo-only booting and the link close count
  // commands from here. The setting spaces and the line rate are kept.
  void setFaults(const Faults& faults);
  const Faults& faults() const { return faults_; }

  const std::string& model() const { return model_; }
  const std::string& serialNumber() const { return serialNumber_; }
  void setSerialNumber(std::string serial) { serialNumber_ = std::move(serial); }
  bool privileged() const { return privileged_; }
  int commandsReceived() const { return commandsReceived_; }
  const SimModel& info() const { return info_; }
  // The space ("sci") whose values a restart loads: 0 factory, 1 and 2 user.
  int startupSpace() const { return startupSpace_; }
  // The GenCP device of a GenICam camera ("Kg" models), nullptr for the others. Such a camera
  // answers "gmn" and the other ASCII commands too, and GenCP packets on the same line.
  GenCpDevice* gencp() { return gencp_.get(); }
  ParameterStore& parameters() { return parameters_; }
  // Binary data the camera keeps, by the command that downloaded it.
  FrameStore& frames() { return frames_; }
  // The region table of a multi-region camera (empty for the others).
  const RegionTable& regions() const { return regions_; }
  const FrameStore& frames() const { return frames_; }
  // True while a binary frame has begun and not ended.
  bool inFrame() const { return inFrame_; }
  // The rest of a frame never came: the bytes of it are dropped.
  void abandonPartialFrame();
  const ParameterStore& parameters() const { return parameters_; }
  const FactoryHardware& hardware() const { return hardware_; }
  // Seconds of a steady clock; the sensor's temperature drifts with it. A steady clock of the
  // machine unless a test gives its own.
  void setClock(std::function<double()> secondsNow) { clock_ = std::move(secondsNow); }

private:
  Reply answerLine(std::string_view line);
  Reply answerPacket();
  // Takes one byte of a binary frame; true when the frame has ended and `reply` holds the answer.
  bool frameByte(char byte, Reply& reply);
  Reply answerFrame();
  std::vector<std::string> commandAnswer(std::string_view line, Reply& reply, bool& restarts);
  std::vector<std::string> spaceCommand(std::string_view command,
                                        std::span<const std::string_view> args);
  void chooseStartupSpace(int space);
  // Commands of the colour and line-scan cameras that are not plain stems; nullopt when the
  // command is not one of them.
  std::optional<std::vector<std::string>>
  colourOrLineScanCommand(std::string_view command, std::span<const std::string_view> args);
  // Column data of the Ka cameras and the lens motors of the Ky cameras; nullopt when the
  // command is not one of them.
  std::optional<std::vector<std::string>> modelPageCommand(std::string_view command,
                                                           std::span<const std::string_view> args);
  // Flat-field, dark and PRNU data commands; nullopt when the command is not one of them.
  // Generating and storing take the camera a while: `delayMs` says how long.
  std::optional<std::vector<std::string>>
  correctionDataCommand(std::string_view command, std::span<const std::string_view> args);
  // Loses or corrupts bytes on their way out, as the faults say.
  std::string outgoing(std::string bytes);
  std::string noiseBytes();
  double nextRandom();

  std::string model_;
  std::string serialNumber_;
  SimModel info_;
  ParameterStore parameters_;
  FactoryHardware hardware_{parameters_};
  KoFactorySettings koFactory_{parameters_};
  std::function<double()> clock_;
  Faults faults_;
  // Setting spaces: 0 is factory (the values at power-on), 1 and 2 are the user's.
  std::array<ParameterStore::Values, 3> spaces_;
  int startupSpace_ = 0;
  // Colour cameras: red, green, blue gains. Ke cameras: the 3 x 3 colour matrix (1024 is
  // unity) and the colour balance.
  std::array<double, 3> colourGains_{1.0, 1.0, 1.0};
  std::array<int, 9> colourMatrix_{1024, 0, 0, 0, 1024, 0, 0, 0, 1024};
  std::array<int, 3> colourBalance_{1024, 1024, 1024};
  int columnPrnu_ = 0;
  bool columnDataGenerated_ = false;
  int aperture_ = 50; // percent open
  std::unique_ptr<GenCpDevice> gencp_;
  std::string lineBuffer_; // bytes of the line not yet ended by CR
  bool privileged_ = false;
  bool linkClosed_ = false;
  int commandsReceived_ = 0;
  // How often each command word arrived, for the "simcount" diagnostic.
  std::map<std::string, int, std::less<>> commandCounts_;
  int bootEchoLeft_ = 0; // commands still to be only echoed while the camera boots
  int commandsSinceOpen_ = 0;
  uint64_t randomState_ = 1;
  FrameStore frames_;
  RegionTable regions_;
  std::string frame_; // the binary frame being received
  bool inFrame_ = false;
  size_t frameBytesSeen_ = 0; // bytes of the frame on the wire, lost ones included
  int framesSinceFaults_ = 0;
  // The answer to the command being answered goes out this much later (generation, flash).
  int answerDelayMs_ = 0;
};

} // namespace sim
