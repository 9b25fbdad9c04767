// The ASCII command protocol of the simulated cameras.
#include "sim/camera.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>

namespace sim {
namespace {

constexpr char kCr = '\r';
constexpr std::string_view kLineEnd = "\r\n";
constexpr std::string_view kPrompt = ">";
constexpr std::string_view kPrivilegePassword = "qelmarst";
// Longest line a camera buffers; the rest of an overlong line is thrown away.
constexpr size_t kMaxLine = 256;

std::vector<std::string_view> splitWords(std::string_view line) {
  std::vector<std::string_view> words;
  size_t pos = 0;
  while (pos < line.size()) {
    size_t start = line.find_first_not_of(' ', pos);
    if (start == std::string_view::npos)
      break;
    size_t end = line.find(' ', start);
    if (end == std::string_view::npos)
      end = line.size();
    words.push_back(line.substr(start, end - start));
    pos = end;
  }
  return words;
}

constexpr std::string_view kErrorValue = "Error : invalid parameter";
constexpr std::string_view kErrorCount = "Error : wrong number of parameters";

// A whole decimal number of at most nine digits, nothing else.
std::optional<int> parseSmallNumber(std::string_view text) {
  if (text.empty() || text.size() > 9)
    return std::nullopt;
  int value = 0;
  for (char c : text) {
    if (c < '0' || c > '9')
      return std::nullopt;
    value = value * 10 + (c - '0');
  }
  return value;
}

// A five-digit serial number that stays the same for a model from run to run.
std::string serialFor(std::string_view model) {
  uint32_t hash = 2166136261u;
  for (char c : model)
    hash = (hash ^ static_cast<unsigned char>(c)) * 16777619u;
  return std::to_string(10000 + hash % 90000);
}

} // namespace

Camera::Camera(std::string model)
    : model_(std::move(model)), serialNumber_(serialFor(model_)), info_(simModelFor(model_)),
      parameters_(info_.stems), regions_(info_.regionCommands, info_.regionCount, info_.sensorWidth,
                                         info_.sensorHeight, info_.supportsRegions) {
  if (isGenCpModel(model_))
    gencp_ = std::make_unique<GenCpDevice>(model_, serialNumber_);
  spaces_.fill(parameters_.allValues());
  // The cameras that offer a table choice ("ls") are the ones that keep look-up tables.
  frames_.setKeepsLuts(parameters_.find("ls") != nullptr);
  chooseStartupSpace(0);
  setFaults(Faults{});
}

void Camera::setFaults(const Faults& faults) {
  faults_ = faults;
  bootEchoLeft_ = faults.bootEchoOnly;
  commandsSinceOpen_ = 0;
  framesSinceFaults_ = 0;
  randomState_ = faults.seed;
  if (gencp_)
    gencp_->setFaults({faults.gencpBadChecksum, faults.gencpGarbage, faults.gencpPendingMs});
}

std::string Camera::openLink() {
  linkClosed_ = false;
  commandsSinceOpen_ = 0;
  lineBuffer_.clear();
  abandonPartialFrame();
  if (faults_.silent || faults_.bootMessage.empty())
    return {};
  return outgoing(faults_.bootMessage);
}

std::string Camera::receive(std::string_view bytes) {
  std::string out;
  for (Reply& reply : feed(bytes))
    out += reply.echo + reply.answer + reply.delayed + reply.startup;
  return out;
}

std::vector<Reply> Camera::feed(std::string_view bytes) {
  std::vector<Reply> replies;
  for (size_t i = 0; i < bytes.size() && !linkClosed_; ++i) {
    char c = bytes[i];
    // Bytes of a GenCP packet or of a binary frame belong to it until it ends.
    if (gencp_ && (gencp_->inPacket() ||
                   (!inFrame_ && lineBuffer_.empty() && GenCpDevice::startsPacket(c)))) {
      i += gencp_->feed(bytes.substr(i)) - 1;
      if (gencp_->packetDone()) {
        Reply reply = answerPacket();
        reply.lineEnd = i + 1;
        const bool rateChanges = reply.newBaud > 0;
        replies.push_back(std::move(reply));
        if (rateChanges)
          break;
      }
      continue;
    }
    // A binary frame starts with STX where a command line would start; CR and LF inside it
    // are data.
    if (inFrame_ || (c == kFrameStx && lineBuffer_.empty())) {
      Reply reply;
      if (frameByte(c, reply)) {
        reply.lineEnd = i + 1;
        replies.push_back(std::move(reply));
      }
      continue;
    }
    if (c == '\n' || c == '\0')
      continue;
    if (c != kCr) {
      if (lineBuffer_.size() < kMaxLine)
        lineBuffer_ += c;
      continue;
    }
    Reply reply = answerLine(lineBuffer_);
    lineBuffer_.clear();
    reply.lineEnd = i + 1;
    const bool rateChanges = reply.newBaud > 0;
    replies.push_back(std::move(reply));
    if (rateChanges)
      break;
  }
  return replies;
}

void Camera::abandonPartialFrame() {
  inFrame_ = false;
  frame_.clear();
  frameBytesSeen_ = 0;
}

bool Camera::frameByte(char byte, Reply& reply) {
  if (!inFrame_) {
    inFrame_ = true;
    frame_.clear();
    frameBytesSeen_ = 0;
    ++framesSinceFaults_;
  }
  ++frameBytesSeen_;
  const FrameFaults& faults = faults_.frames;
  // The first data byte is the one a fault takes or damages.
  if (frameBytesSeen_ == kFrameHeader + 1) {
    if (framesSinceFaults_ == faults.dropInFrame)
      return false;
    if (framesSinceFaults_ == faults.corruptInFrame)
      byte = static_cast<char>(byte ^ 0x01);
  }
  frame_ += byte;
  if (frame_.size() < kFrameHeader)
    return false;
  const size_t length =
      static_cast<size_t>(static_cast<uint8_t>(frame_[5])) << 8 | static_cast<uint8_t>(frame_[6]);
  if (length > kMaxFrameData) {
    // No PC frame is that long: refuse it now rather than swallow what follows as its data.
    abandonPartialFrame();
    if (!faults_.silent)
      reply.answer = outgoing(FrameStore::ack(false, false, 0, faults.badAck));
    return true;
  }
  if (frame_.size() < length + kFrameHeader + 2)
    return false;
  reply = answerFrame();
  return true;
}

Reply Camera::answerFrame() {
  Reply reply;
  FrameOutcome outcome = frames_.receive(frame_, framesSinceFaults_, faults_.frames);
  abandonPartialFrame();
  if (outcome.closesLink) {
    reply.closesLink = true;
    linkClosed_ = true;
    return reply;
  }
  if (!faults_.silent)
    reply.answer = outgoing(std::move(outcome.reply));
  return reply;
}

std::string Camera::startupText() const {
  // At least 51 characters without the line ends, whatever the model's name, and ending with
  // the prompt: the PC tells a start-up text from an answer by both.
  return "\r\nQuorvane camera " + model_ +
         "\r\nInitializing sensor, memory and interface ... done\r\n>";
}

Reply Camera::answerPacket() {
  ++commandsReceived_;
  ++commandsSinceOpen_;
  Reply reply;
  answerDelayMs_ = 0;
  if (faults_.closeAfterCommands > 0 && commandsSinceOpen_ >= faults_.closeAfterCommands) {
    reply.closesLink = true;
    linkClosed_ = true;
  }
  std::string pending = gencp_->takePendingAnswer();
  std::string answer = gencp_->takeAnswer();
  reply.newBaud = gencp_->takeNewBaud();
  if (faults_.silent || answer.empty())
    return reply;
  if (pending.empty()) {
    reply.answer = outgoing(std::move(answer));
  } else {
    reply.answer = outgoing(std::move(pending));
    reply.delayed = outgoing(std::move(answer));
    reply.delayedMs = gencp_->answerDelayMs();
  }
  return reply;
}

Reply Camera::answerLine(std::string_view line) {
  ++commandsReceived_;
  ++commandsSinceOpen_;
  const bool booting = bootEchoLeft_ > 0;
  if (booting)
    --bootEchoLeft_;

  Reply reply;
  if (faults_.closeAfterCommands > 0 && commandsSinceOpen_ >= faults_.closeAfterCommands) {
    reply.closesLink = true;
    linkClosed_ = true;
  }
  // The command takes effect even when the camera stays silent about it; a restart or a rate
  // change only when the camera says "OK" to it (or would, were it not silent).
  bool restarts = false;
  const bool refused = commandsSinceOpen_ == faults_.refuseCommand && !line.empty();
  std::vector<std::string> lines = refused ? std::vector<std::string>{"Error : command refused"}
                                           : commandAnswer(line, reply, restarts);
  if (booting || (faults_.errorAnswers && !line.empty())) {
    restarts = false;
    reply.newBaud = 0;
  }
  // The last command a booting camera only echoes is followed by its start-up text.
  const bool bootEnds = booting && bootEchoLeft_ == 0 && !restarts;
  if (restarts) {
    // A restart comes up with the start-up space and the privileged level closed, and boots.
    parameters_.restore(spaces_[static_cast<size_t>(startupSpace_)]);
    chooseStartupSpace(startupSpace_);
    privileged_ = false;
    bootEchoLeft_ = kRestartEchoOnly;
  }
  if (faults_.silent ||
      (faults_.silentAfterCommands >= 0 && commandsSinceOpen_ > faults_.silentAfterCommands))
    return reply;
  if (faults_.noise) {
    reply.answer = noiseBytes();
    return reply;
  }

  reply.echo = outgoing(std::string(line) + std::string(kLineEnd));
  if (booting) {
    if (bootEnds)
      reply.startup = outgoing(startupText());
    return reply;
  }

  std::string answer;
  if (faults_.errorAnswers && !line.empty()) {
    answer = "Error : command failed" + std::string(kLineEnd);
  } else {
    for (const std::string& text : lines)
      answer += text + std::string(kLineEnd);
  }
  if (faults_.flood) {
    // Line after line of text and never the prompt.
    answer.clear();
    while (answer.size() < kFloodBytes)
      answer += "status 0123456789 abcdefghijklmnopqrstuvwxyz" + std::string(kLineEnd);
    reply.answer = outgoing(std::move(answer));
    return reply;
  }
  if (faults_.hangUpInAnswer > 0 && commandsSinceOpen_ == faults_.hangUpInAnswer) {
    // The line drops halfway through the answer: no prompt ever comes.
    answer.resize(answer.size() / 2);
    reply.answer = outgoing(std::move(answer));
    reply.closesLink = true;
    linkClosed_ = true;
    return reply;
  }
  answer += kPrompt;
  reply.answer = outgoing(std::move(answer));
  if (answerDelayMs_ > 0) {
    // The echo comes at once; the answer when the camera has done the work.
    reply.delayed = std::move(reply.answer);
    reply.answer.clear();
    reply.delayedMs = answerDelayMs_;
  }
  return reply;
}

void Camera::chooseStartupSpace(int space) {
  startupSpace_ = space;
  // Families that keep "ci" read the choice back with "gci".
  if (parameters_.find("ci")) {
    std::string number = std::to_string(space);
    std::string_view arg = number;
    std::string ignored;
    parameters_.set("ci", std::span<const std::string_view>(&arg, 1), ignored);
  }
}

std::vector<std::string> Camera::spaceCommand(std::string_view command,
                                              std::span<const std::string_view> args) {
  if (args.size() != 1)
    return {std::string(kErrorCount)};
  std::optional<int> space = parseSmallNumber(args[0]);
  if (!space || *space > 2)
    return {std::string(kErrorValue)};
  const size_t index = static_cast<size_t>(*space);
  if (command == "sct") {
    spaces_[index] = parameters_.allValues();
  } else if (command == "lcf") {
    // The start-up choice is the camera's own, not part of a space.
    parameters_.restore(spaces_[index]);
    chooseStartupSpace(startupSpace_);
  } else {
    chooseStartupSpace(*space);
  }
  return {"OK"};
}

std::optional<std::vector<std::string>>
Camera::colourOrLineScanCommand(std::string_view command, std::span<const std::string_view> args) {
  auto number = [](std::string_view text) -> std::optional<double> {
    std::string copy(text);
    char* end = nullptr;
    const double value = std::strtod(copy.c_str(), &end);
    if (copy.empty() || end != copy.c_str() + copy.size() || !std::isfinite(value))
      return std::nullopt;
    return value;
  };
  auto fixed3 = [](double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", value);
    return std::string(text);
  };
  if (info_.colour && (command == "grg" || command == "srg")) {
    static constexpr std::string_view kChannels = "rgb";
    if (args.empty() || args[0].size() != 1 || kChannels.find(args[0][0]) == std::string_view::npos)
      return std::vector<std::string>{std::string(kErrorValue)};
    double& gain = colourGains_[kChannels.find(args[0][0])];
    if (command == "grg") {
      if (args.size() != 1)
        return std::vector<std::string>{std::string(kErrorCount)};
      char text[32];
      std::snprintf(text, sizeof text, "%f", gain);
      return std::vector<std::string>{text};
    }
    if (args.size() != 2)
      return std::vector<std::string>{std::string(kErrorCount)};
    const std::optional<double> value = number(args[1]);
    // Colour gains from a quarter to eight times.
    if (!value || *value < 0.25 || *value > 8.0)
      return std::vector<std::string>{"Error : value out of range"};
    gain = *value;
    return std::vector<std::string>{"OK"};
  }
  if (info_.colour && command == "arg" && args.empty()) {
    // A grey scene: the white balance brings red and blue to green.
    colourGains_ = {1.25, 1.0, 1.5};
    return std::vector<std::string>{"OK"};
  }
  if (!info_.lineScanTdi)
    return std::nullopt;
  if (command == "gdda" && args.empty())
    return std::vector<std::string>{"OK"};
  if (command == "gscc" || command == "sscc" || command == "gscb" || command == "sscb") {
    const bool matrix = command[3] == 'c';
    std::span<int> values = matrix ? std::span<int>(colourMatrix_) : std::span<int>(colourBalance_);
    const size_t wanted = command[0] == 'g' ? 1 : 2;
    if (args.size() != wanted)
      return std::vector<std::string>{std::string(kErrorCount)};
    const std::optional<int> index = parseSmallNumber(args[0]);
    if (!index || static_cast<size_t>(*index) >= values.size())
      return std::vector<std::string>{"Error : value out of range"};
    if (command[0] == 'g')
      return std::vector<std::string>{std::to_string(values[static_cast<size_t>(*index)])};
    const std::optional<double> value = number(args[1]);
    const double low = matrix ? -4096 : 0;
    if (!value || *value != std::trunc(*value) || *value < low || *value > 4095)
      return std::vector<std::string>{"Error : value out of range"};
    values[static_cast<size_t>(*index)] = static_cast<int>(*value);
    return std::vector<std::string>{"OK"};
  }
  // Trigger statistics follow the line rate the camera is set to, as if triggered at it.
  if (!args.empty())
    return std::nullopt;
  const std::optional<std::vector<double>> lineRate = parameters_.values("lr");
  const std::optional<std::vector<double>> rescale = parameters_.values("rr");
  const double rate = lineRate && !lineRate->empty() ? lineRate->front() : 0;
  const double factor = rescale && !rescale->empty() ? rescale->front() : 1;
  if (command == "gitr")
    return std::vector<std::string>{fixed3(rate)};
  if (command == "gitrh")
    return std::vector<std::string>{fixed3(rate * 1.02)};
  if (command == "gitj")
    return std::vector<std::string>{fixed3(0.05)};
  if (command == "gitd")
    return std::vector<std::string>{fixed3(rate > 0 ? 500000.0 / rate : 0)};
  if (command == "grtr")
    return std::vector<std::string>{fixed3(rate * factor)};
  if (command == "grtj")
    return std::vector<std::string>{fixed3(0.02)};
  return std::nullopt;
}

std::optional<std::vector<std::string>>
Camera::modelPageCommand(std::string_view command, std::span<const std::string_view> args) {
  using Lines = std::vector<std::string>;
  auto oneNumber = [&](int low, int high) -> std::optional<int> {
    if (args.size() != 1)
      return std::nullopt;
    const bool negative = !args[0].empty() && args[0][0] == '-';
    const std::optional<int> magnitude = parseSmallNumber(negative ? args[0].substr(1) : args[0]);
    if (!magnitude)
      return std::nullopt;
    const int value = negative ? -*magnitude : *magnitude;
    if (value < low || value > high)
      return std::nullopt;
    return value;
  };
  if (info_.columnData && (command == "gpdc" || command == "spdc")) {
    if (!args.empty())
      return Lines{std::string(kErrorCount)};
    // Data is saved only once it has been generated.
    if (command == "spdc" && !columnDataGenerated_)
      return Lines{"Error : no data generated"};
    columnDataGenerated_ = true;
    return Lines{"OK"};
  }
  if (info_.columnPrnu && command == "gprnuc" && args.empty())
    return Lines{std::to_string(columnPrnu_)};
  if (info_.columnPrnu && command == "sprnuc") {
    const std::optional<int> on = oneNumber(0, 1);
    if (!on)
      return Lines{std::string(kErrorValue)};
    columnPrnu_ = *on;
    return Lines{"OK"};
  }
  if (!info_.motorLens || command.size() != 3 || command[0] != 'm')
    return std::nullopt;
  const StemDef* focusDef = parameters_.find("fp");
  const std::optional<std::vector<double>> focusNow = parameters_.values("fp");
  if (!focusDef || !focusNow || focusNow->empty())
    return std::nullopt;
  const int focusMax = static_cast<int>(focusDef->max);
  const int focus = static_cast<int>(focusNow->front());
  std::optional<int> newFocus;
  if (command == "mfz" && args.empty())
    newFocus = 0;
  else if (command == "mfl" && args.empty())
    newFocus = focusMax;
  else if (command == "mfa")
    newFocus = oneNumber(0, focusMax);
  else if (command == "mfi") {
    if (const std::optional<int> step = oneNumber(-focusMax, focusMax);
        step && focus + *step >= 0 && focus + *step <= focusMax)
      newFocus = focus + *step;
  } else if (command == "mpo" && args.empty()) {
    aperture_ = 100;
    return Lines{"OK"};
  } else if (command == "mpc" && args.empty()) {
    aperture_ = 0;
    return Lines{"OK"};
  } else if (command == "mpa" || command == "mpi") {
    const std::optional<int> value = oneNumber(-100, 100);
    const int target = value ? (command == "mpa" ? *value : aperture_ + *value) : -1;
    if (target < 0 || target > 100)
      return Lines{std::string(kErrorValue)};
    aperture_ = target;
    return Lines{"OK"};
  } else {
    return std::nullopt;
  }
  if (!newFocus)
    return Lines{std::string(kErrorValue)};
  const std::string text = std::to_string(*newFocus);
  const std::string_view word = text;
  std::string answer;
  parameters_.set("fp", std::span<const std::string_view>(&word, 1), answer);
  return Lines{answer};
}

std::optional<std::vector<std::string>>
Camera::correctionDataCommand(std::string_view command, std::span<const std::string_view> args) {
  struct Work {
    std::string_view command;
    bool area;   // flat-field cameras
    bool ku;     // Ku line-scan cameras
    bool ke;     // Ke line-scan cameras
    int delayMs; // well inside the program's time-out for the command
  };
  static constexpr Work kWork[] = {
      {"gfd", true, false, false, 400}, {"sfd", true, false, false, 900},
      {"lfd", true, false, false, 200}, {"gdd", false, true, true, 300},
      {"sdd", false, false, true, 500}, {"ldd", false, false, true, 200},
      {"gpd", false, true, true, 300},  {"spd", false, false, true, 500},
      {"lpd", false, false, true, 200},
  };
  for (const Work& work : kWork) {
    if (command != work.command)
      continue;
    if (!(work.area && info_.flatField) && !(work.ku && info_.lineScanKu) &&
        !(work.ke && info_.lineScanTdi))
      return std::nullopt;
    // "gpd" takes the target level (0: the camera picks it); the others take nothing.
    if (command == "gpd") {
      if (args.size() != 1)
        return std::vector<std::string>{std::string(kErrorCount)};
      const std::optional<int> level = parseSmallNumber(args[0]);
      if (!level || *level > 4095)
        return std::vector<std::string>{"Error : value out of range"};
    } else if (!args.empty()) {
      return std::vector<std::string>{std::string(kErrorCount)};
    }
    answerDelayMs_ = work.delayMs;
    return std::vector<std::string>{"OK"};
  }
  return std::nullopt;
}

std::vector<std::string> Camera::commandAnswer(std::string_view line, Reply& reply,
                                               bool& restarts) {
  std::vector<std::string_view> words = splitWords(line);
  if (words.empty())
    return {};
  std::string_view command = words[0];
  std::span<const std::string_view> args(words.begin() + 1, words.end());

  // The simulator's own diagnostic: how often a command word arrived before this one.
  if (command == "simcount" && args.size() == 1) {
    auto it = commandCounts_.find(args[0]);
    return {std::to_string(it == commandCounts_.end() ? 0 : it->second)};
  }
  ++commandCounts_[std::string(command)];

  if (command == "gmn")
    return {model_};
  // Acquisition start and stop; cameras that report the state ("gast") keep it.
  if ((command == "ast" || command == "asp") && args.empty()) {
    if (!parameters_.find("ast"))
      return {"Error : unknown command"};
    const std::string_view running[] = {command == "ast" ? "1" : "0"};
    std::string answer;
    parameters_.set("ast", running, answer);
    return {answer};
  }
  // The camera's own serial number; the boards' and the sensor's are factory hardware.
  if (command == "gsn" && (args.empty() || (args.size() == 1 && args[0] == "piece")))
    return {serialNumber_};
  if (command == "ssn" && !args.empty() && args[0] == "piece") {
    if (!privileged_)
      return {"Error : access denied"};
    if (args.size() != 2 || args[1].size() > 32)
      return {std::string(kErrorValue)};
    serialNumber_ = std::string(args[1]);
    return {"OK"};
  }
  // Versions are "major.minor", each part one byte.
  if (command == "gfv")
    return {"2.04"};
  if (command == "gmv")
    return {"1.32"};
  // The hardware moves on to now before the command changes or reads it.
  hardware_.advanceTo(
      clock_ ? clock_()
             : std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
                   .count());
  if (command == "gct")
    return {"42.5"};
  if (auto lines = hardware_.answer(command, args, privileged_))
    return *lines;
  if (auto lines = koFactory_.answer(command, args, privileged_))
    return *lines;
  if (command == "gsn")
    return {std::string(kErrorValue)};
  if (command == "sct" || command == "lcf" || command == "sci")
    return spaceCommand(command, args);
  if (command == "gci" && args.empty())
    return {std::to_string(startupSpace_)};
  if (command == "rst") {
    if (!args.empty())
      return {std::string(kErrorCount)};
    restarts = true;
    return {"OK"};
  }
  if (command == "sbr") {
    if (args.size() != 1)
      return {std::string(kErrorCount)};
    std::optional<int> rate = parseSmallNumber(args[0]);
    if (!rate || std::find(kCameraRates.begin(), kCameraRates.end(), *rate) == kCameraRates.end())
      return {std::string(kErrorValue)};
    reply.newBaud = *rate;
    return {"OK"};
  }
  // The simulator's own diagnostic: N numbered answer lines, for measuring long answers.
  if (command == "simlines" && args.size() == 1) {
    int count = 0;
    for (char c : args[0]) {
      if (c < '0' || c > '9' || count > 100)
        return {std::string(kErrorValue)};
      count = count * 10 + (c - '0');
    }
    std::vector<std::string> lines;
    for (int i = 1; i <= std::min(count, 100); ++i)
      lines.push_back("line " + std::to_string(i));
    return lines;
  }
  // The simulator's own diagnostic: size and FNV-1a digest of the binary data a download
  // under the hexadecimal block command left ("SIZE/DIGEST"), "0/0" for none.
  if (command == "simstore" && args.size() == 1 && args[0].size() <= 4) {
    unsigned value = 0;
    for (char c : args[0]) {
      int digit = c >= '0' && c <= '9'   ? c - '0'
                  : c >= 'a' && c <= 'f' ? c - 'a' + 10
                  : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                         : -1;
      if (digit < 0)
        return {std::string(kErrorValue)};
      value = value * 16 + unsigned(digit);
    }
    const std::vector<uint8_t>* data = frames_.stored(static_cast<uint16_t>(value));
    if (!data)
      return {"0/0"};
    char digest[16];
    std::snprintf(digest, sizeof digest, "%08x", storeDigest(*data));
    return {std::to_string(data->size()) + "/" + digest};
  }
  if (command == "aar") {
    if (args.size() == 1 && args[0] == kPrivilegePassword) {
      privileged_ = true;
      return {"OK"};
    }
    if (args.size() == 1 && args[0] == "off") {
      privileged_ = false;
      return {"OK"};
    }
    return {std::string(kErrorValue)};
  }
  if (command == "gsw" && info_.answersSensorSize)
    return {std::to_string(info_.sensorWidth)};
  if (command == "gsh" && info_.answersSensorSize)
    return {std::to_string(info_.sensorHeight)};
  // The sensor description is factory information: only at the privileged level.
  if (command == "gccd") {
    if (!privileged_)
      return {"Error : access denied"};
    return {"width = " + std::to_string(info_.sensorWidth),
            "height = " + std::to_string(info_.sensorHeight)};
  }
  if (auto answer = correctionDataCommand(command, args))
    return *answer;
  if (auto answer = colourOrLineScanCommand(command, args))
    return *answer;
  if (auto answer = modelPageCommand(command, args))
    return *answer;
  if (auto answer = regions_.answer(command, args))
    return *answer;
  if (command == "groi" && info_.supportsRegions)
    return {"1 0 0 " + std::to_string(info_.sensorWidth) + " " +
            std::to_string(info_.sensorHeight)};
  if (command.size() > 1 && (command[0] == 'g' || command[0] == 's')) {
    // Stems may carry an index or selector word: "sag 1 100" is stem "ag 1", value 100.
    std::string stem(command.substr(1));
    if (!args.empty() && parameters_.find(stem + " " + std::string(args[0]))) {
      stem += " " + std::string(args[0]);
      args = args.subspan(1);
    }
    if (parameters_.find(stem)) {
      std::string answer;
      if (command[0] == 'g')
        parameters_.get(stem, args, answer);
      else
        parameters_.set(stem, args, answer);
      return {answer};
    }
  }
  return {"Error : unknown command"};
}

std::string Camera::noiseBytes() {
  // A line read at the wrong rate gives framing garbage: mostly bytes with the high bit set,
  // some zeros and control bytes, never the prompt.
  static constexpr unsigned char kNoise[] = {0x80, 0xf8, 0xe0, 0xfe, 0x00, 0x1b, 0x86,
                                             0x9e, 0xc0, 0x0f, 0xff, 0x8c, 0x07, 0xf0};
  std::string out;
  for (int i = 0; i < kNoiseBytes; ++i)
    out += static_cast<char>(kNoise[static_cast<size_t>(nextRandom() * sizeof kNoise)]);
  return out;
}

double Camera::nextRandom() {
  // splitmix64: the same seed gives the same losses on every machine.
  uint64_t z = (randomState_ += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  z ^= z >> 31;
  return static_cast<double>(z >> 11) * 0x1.0p-53;
}

std::string Camera::outgoing(std::string bytes) {
  if (faults_.dropRate <= 0 && faults_.corruptRate <= 0)
    return bytes;
  std::string out;
  out.reserve(bytes.size());
  for (char c : bytes) {
    if (faults_.dropRate > 0 && nextRandom() < faults_.dropRate)
      continue;
    if (faults_.corruptRate > 0 && nextRandom() < faults_.corruptRate)
      c = static_cast<char>(c ^ (1 << static_cast<int>(nextRandom() * 8)));
    out += c;
  }
  return out;
}

} // namespace sim
