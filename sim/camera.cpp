// The ASCII command protocol of the simulated cameras.
#include "sim/camera.h"

#include <algorithm>
#include <chrono>
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
      parameters_(info_.stems) {
  spaces_.fill(parameters_.allValues());
  chooseStartupSpace(0);
  setFaults(Faults{});
}

void Camera::setFaults(const Faults& faults) {
  faults_ = faults;
  bootEchoLeft_ = faults.bootEchoOnly;
  commandsSinceOpen_ = 0;
  randomState_ = faults.seed;
}

std::string Camera::openLink() {
  linkClosed_ = false;
  commandsSinceOpen_ = 0;
  lineBuffer_.clear();
  if (faults_.silent || faults_.bootMessage.empty())
    return {};
  return outgoing(faults_.bootMessage);
}

std::string Camera::receive(std::string_view bytes) {
  std::string out;
  for (Reply& reply : feed(bytes))
    out += reply.echo + reply.answer + reply.startup;
  return out;
}

std::vector<Reply> Camera::feed(std::string_view bytes) {
  std::vector<Reply> replies;
  for (size_t i = 0; i < bytes.size() && !linkClosed_; ++i) {
    char c = bytes[i];
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

std::string Camera::startupText() const {
  // At least 51 characters without the line ends, whatever the model's name, and ending with
  // the prompt: the PC tells a start-up text from an answer by both.
  return "\r\nQuorvane camera " + model_ +
         "\r\nInitializing sensor, memory and interface ... done\r\n>";
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
  std::vector<std::string> lines = commandAnswer(line, reply, restarts);
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

std::vector<std::string> Camera::commandAnswer(std::string_view line, Reply& reply,
                                               bool& restarts) {
  std::vector<std::string_view> words = splitWords(line);
  if (words.empty())
    return {};
  std::string_view command = words[0];
  std::span<const std::string_view> args(words.begin() + 1, words.end());

  if (command == "gmn")
    return {model_};
  if (command == "gsn") {
    if (args.empty() || (args.size() == 1 && args[0] == "piece"))
      return {serialNumber_};
    return {std::string(kErrorValue)};
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
