// Multiple regions of interest: table, command sets, operations and setting-file lines.
#include "editors/multi_roi.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

#include "camera/model_catalog.h"
#include "session/connected_camera.h"

namespace kelpax {
namespace {

// Regions are a few thousand pixels; a longer number is not one.
std::optional<int> wholeNumber(std::string_view text) {
  int value = 0;
  if (text.empty() || text.size() > 9)
    return std::nullopt;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || value < 0)
    return std::nullopt;
  return value;
}

std::string lowered(std::string_view text) {
  std::string out(text);
  std::transform(out.begin(), out.end(), out.begin(), [](unsigned char c) {
    return static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
  });
  return out;
}

// The camera's answer as one printable line: its error text, else the lines after the echo.
std::string cameraWords(const Answer& answer) {
  if (!answer.errorText().empty())
    return answer.errorText();
  std::string text;
  const size_t echoEnd = answer.text.find('\n');
  for (char c :
       std::string_view(answer.text).substr(echoEnd == std::string::npos ? 0 : echoEnd + 1)) {
    if (c == kPrompt)
      break;
    if (c == '\r' || c == '\n') {
      if (!text.empty() && text.back() != ' ')
        text += ' ';
      continue;
    }
    text +=
        (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) > 0x7e) ? '?' : c;
  }
  while (!text.empty() && text.back() == ' ')
    text.pop_back();
  return text;
}

std::string regionText(int row) {
  return "region " + std::to_string(row);
}

} // namespace

// --- table ----------------------------------------------------------------------------------

bool RoiTable::addRow(const RoiRegion& region) {
  if (size() >= kMaxRegions)
    return false;
  rows_.push_back(region);
  return true;
}

std::string RoiTable::cellText(int index, RoiColumn column) const {
  const RoiRegion& r = row(index);
  switch (column) {
  case RoiColumn::OffsetX:
    return std::to_string(r.x);
  case RoiColumn::OffsetY:
    return std::to_string(r.y);
  case RoiColumn::Width:
    return std::to_string(r.width);
  case RoiColumn::Height:
    return std::to_string(r.height);
  case RoiColumn::Status:
    return r.on ? std::string(kRegionStatusOn) : std::string();
  }
  return {};
}

std::optional<MultiRoiVariant> multiRoiVariantFor(const ModelDescriptor& model) {
  switch (controlFileFor(model)) {
  case ControlFileKind::Ko25MC2:
    return MultiRoiVariant::Ko25MC;
  case ControlFileKind::Ko4MC2:
    return MultiRoiVariant::Ko4MC2;
  case ControlFileKind::Ko50MC2:
    return MultiRoiVariant::Ko50MC;
  default:
    return std::nullopt;
  }
}

std::optional<std::array<int, 4>> parseRegionAnswer(std::string_view answer) {
  std::string text;
  for (char c : answer) {
    if (c == kPrompt)
      continue;
    text += (c == '\n' || c == '\r') ? ' ' : c;
  }
  std::vector<std::string_view> words;
  std::string_view rest = text;
  while (!rest.empty()) {
    const size_t start = rest.find_first_not_of(' ');
    if (start == std::string_view::npos)
      break;
    rest.remove_prefix(start);
    const size_t end = std::min(rest.find(' '), rest.size());
    words.push_back(rest.substr(0, end));
    rest.remove_prefix(end);
  }
  const auto echo = std::find(words.begin(), words.end(), "groi");
  if (echo == words.end())
    return std::nullopt;
  std::array<int, 4> values{};
  int taken = 0;
  for (auto it = echo + 1; it != words.end() && taken < 4; ++it) {
    if (it->empty() || *it == "OK")
      break;
    const std::optional<int> value = wholeNumber(*it);
    if (!value)
      return std::nullopt;
    values[static_cast<size_t>(taken++)] = *value;
  }
  if (taken < 4)
    return std::nullopt;
  return values;
}

// --- command sets ---------------------------------------------------------------------------

Answer CKo25MCSetMultiROI::send(std::string_view command, int value) {
  return host_.sendCommand(std::string(command) + " " + std::to_string(value),
                           {.timeoutMs = kRegionTimeoutMs, .shown = true});
}

Answer CKo25MCSetMultiROI::ask(std::string_view command) {
  return host_.sendCommand(command, {.timeoutMs = kRegionTimeoutMs, .shown = false});
}

std::optional<int> CKo25MCSetMultiROI::askNumber(std::string_view command) {
  const Answer answer = ask(command);
  if (!answer.accepted())
    return std::nullopt;
  return wholeNumber(answer.token(0));
}

Answer CKo25MCSetMultiROI::setSelector(int region) {
  return send("srs", region);
}

Answer CKo25MCSetMultiROI::setEnable(bool on) {
  return host_.sendCommand(on ? "src 1" : "src 0", {.timeoutMs = kRegionTimeoutMs, .shown = true});
}

std::string_view CKo25MCSetMultiROI::commandFor(RoiColumn column) const {
  switch (column) {
  case RoiColumn::OffsetX:
    return "sox";
  case RoiColumn::OffsetY:
    return "soy";
  case RoiColumn::Width:
    return "siw";
  case RoiColumn::Height:
    return "sih";
  case RoiColumn::Status:
    break;
  }
  return "src";
}

std::optional<std::array<int, 4>> CKo25MCSetMultiROI::readRegion() {
  const Answer answer = ask("groi");
  if (!answer.accepted())
    return std::nullopt;
  return parseRegionAnswer(answer.text);
}

std::optional<std::array<int, 4>> CKo25MCSetMultiROI::readBack() {
  std::array<int, 4> values{};
  for (RoiColumn column :
       {RoiColumn::OffsetX, RoiColumn::OffsetY, RoiColumn::Width, RoiColumn::Height}) {
    // "sox" is read back with "gox".
    std::string query(commandFor(column));
    query[0] = 'g';
    const std::optional<int> value = askNumber(query);
    if (!value)
      return std::nullopt;
    values[static_cast<size_t>(column)] = *value;
  }
  return values;
}

std::optional<bool> CKo25MCSetMultiROI::readEnable() {
  const std::optional<int> value = askNumber("grc");
  if (!value || *value > 1)
    return std::nullopt;
  return *value == 1;
}

std::optional<int> CKo25MCSetMultiROI::readSelector() {
  return askNumber("grs");
}

std::optional<int> CKo25MCSetMultiROI::regionCount() {
  // The 12M and 25M cameras do not tell; they have eight regions.
  return 8;
}

Answer CKo4MC2SetMultiROI::setEnable(bool on) {
  return send("src", on ? 1 : 0);
}

std::string_view CKo4MC2SetMultiROI::commandFor(RoiColumn column) const {
  switch (column) {
  case RoiColumn::OffsetX:
    return "srx";
  case RoiColumn::OffsetY:
    return "sry";
  case RoiColumn::Width:
    return "srw";
  case RoiColumn::Height:
    return "srh";
  case RoiColumn::Status:
    break;
  }
  return "src";
}

std::optional<std::array<int, 4>> CKo4MC2SetMultiROI::readRegion() {
  return readBack();
}

std::optional<int> CKo4MC2SetMultiROI::regionCount() {
  return askNumber("gra");
}

std::unique_ptr<CKo25MCSetMultiROI> makeMultiRoiCommands(MultiRoiVariant variant, PageHost& host) {
  switch (variant) {
  case MultiRoiVariant::Ko4MC2:
    return std::make_unique<CKo4MC2SetMultiROI>(host);
  case MultiRoiVariant::Ko50MC:
    return std::make_unique<CKo50MCSetMultiROI>(host);
  case MultiRoiVariant::Ko25MC:
    break;
  }
  return std::make_unique<CKo25MCSetMultiROI>(host);
}

// --- operations -----------------------------------------------------------------------------

MultiRoi::MultiRoi(PageHost& host, MultiRoiVariant variant)
    : host_(host), variant_(variant), commands_(makeMultiRoiCommands(variant, host)) {}

RoiOutcome MultiRoi::refusedBy(const Answer& answer, std::string_view what) const {
  RoiOutcome outcome;
  if (answer.result == CommandResult::CameraError) {
    outcome.refused = cameraWords(answer);
    outcome.message = "The camera refused " + std::string(what) + ": " + outcome.refused;
  } else if (answer.result == CommandResult::Blocked) {
    outcome.message = "A binary transfer is running; " + std::string(what) + " was not sent";
    outcome.nothingSent = true;
  } else {
    outcome.message = "No answer from the camera to " + std::string(what);
  }
  return outcome;
}

bool MultiRoi::rowInTable(int row, RoiOutcome& outcome) const {
  if (!read_) {
    outcome.message = "The regions have not been read from the camera";
    outcome.nothingSent = true;
    return false;
  }
  if (row < 0 || row >= table_.size()) {
    outcome.message = "The camera has regions 0 to " + std::to_string(table_.size() - 1) +
                      "; there is no region " + std::to_string(row);
    outcome.nothingSent = true;
    return false;
  }
  return true;
}

RoiOutcome MultiRoi::readAll() {
  RoiOutcome outcome;
  const std::optional<int> selector = commands_->readSelector();
  const std::optional<int> count = commands_->regionCount();
  if (!count || *count < 1) {
    outcome.message = "The camera did not tell how many regions it has";
    return outcome;
  }
  if (*count > kMaxRegions)
    outcome.message = "The camera reports " + std::to_string(*count) + " regions; the first " +
                      std::to_string(kMaxRegions) + " are shown";
  // Read into a table of its own: a failure halfway keeps the regions known before.
  RoiTable fresh;
  for (int i = 0; i < std::min(*count, kMaxRegions); ++i) {
    const Answer selected = commands_->setSelector(i);
    if (!selected.accepted())
      return refusedBy(selected, "the choice of " + regionText(i));
    const std::optional<std::array<int, 4>> values = commands_->readRegion();
    const std::optional<bool> on = values ? commands_->readEnable() : std::nullopt;
    if (!values || !on) {
      RoiOutcome failed;
      failed.message = "The camera did not tell the values of " + regionText(i);
      return failed;
    }
    fresh.addRow({(*values)[0], (*values)[1], (*values)[2], (*values)[3], *on});
  }
  // The camera's own selector, as it was before the reading.
  if (selector && *selector < fresh.size())
    commands_->setSelector(*selector);
  table_ = std::move(fresh);
  read_ = true;
  outcome.ok = true;
  return outcome;
}

std::string MultiRoi::outsideSensor(int row, const RoiRegion& r) const {
  const int width = sensorWidth(), height = sensorHeight();
  char text[200];
  if (r.width < 1 || r.height < 1) {
    std::snprintf(text, sizeof text, "Region %d: width and height must be at least 1", row);
    return text;
  }
  if (width <= 0 || height <= 0)
    return {}; // a sensor of unknown size: the camera judges
  if (static_cast<long>(r.x) + r.width > width) {
    std::snprintf(text, sizeof text,
                  "Region %d: offset X %d and width %d reach past the sensor's %d columns", row,
                  r.x, r.width, width);
    return text;
  }
  if (static_cast<long>(r.y) + r.height > height) {
    std::snprintf(text, sizeof text,
                  "Region %d: offset Y %d and height %d reach past the sensor's %d lines", row, r.y,
                  r.height, height);
    return text;
  }
  if (commands_->sharedWidth()) {
    // One width for all regions: every region that reads out must still fit.
    for (int i = 0; i < table_.size(); ++i) {
      const RoiRegion& other = table_.row(i);
      if (i != row && other.on && static_cast<long>(other.x) + r.width > width) {
        std::snprintf(text, sizeof text,
                      "Width %d is shared by every region: region %d at offset X %d would reach "
                      "past the sensor's %d columns",
                      r.width, i, other.x, width);
        return text;
      }
    }
  }
  return {};
}

RoiOutcome MultiRoi::refreshRow(int row) {
  RoiOutcome outcome;
  const std::optional<std::array<int, 4>> values = commands_->readBack();
  if (!values) {
    outcome.message = "The camera did not tell the values of " + regionText(row) + " back";
    return outcome;
  }
  RoiRegion& r = table_.row(row);
  r.x = (*values)[0];
  r.y = (*values)[1];
  r.width = (*values)[2];
  r.height = (*values)[3];
  if (commands_->sharedWidth()) {
    for (int i = 0; i < table_.size(); ++i)
      table_.row(i).width = r.width;
  }
  outcome.ok = true;
  return outcome;
}

RoiOutcome MultiRoi::setCell(int row, RoiColumn column, int value) {
  RoiOutcome outcome;
  if (!rowInTable(row, outcome))
    return outcome;
  if (column == RoiColumn::Status)
    return setEnabled(row, value != 0);
  if (value < 0) {
    outcome.message = "Region " + std::to_string(row) + ": " +
                      std::string(kRoiColumnTitles[static_cast<size_t>(column)]) +
                      " cannot be negative";
    outcome.nothingSent = true;
    return outcome;
  }
  RoiRegion wanted = table_.row(row);
  int* field[] = {&wanted.x, &wanted.y, &wanted.width, &wanted.height};
  *field[static_cast<size_t>(column)] = value;
  if (std::string why = outsideSensor(row, wanted); !why.empty()) {
    outcome.message = why + "; nothing was sent";
    outcome.nothingSent = true;
    return outcome;
  }
  if (const Answer selected = commands_->setSelector(row); !selected.accepted())
    return refusedBy(selected, "the choice of " + regionText(row));
  const std::string command =
      std::string(commands_->commandFor(column)) + " " + std::to_string(value);
  const Answer answer = host_.sendCommand(command, {.timeoutMs = kRegionTimeoutMs, .shown = true});
  if (!answer.accepted())
    return refusedBy(answer, "\"" + command + "\"");
  return refreshRow(row);
}

RoiOutcome MultiRoi::setRegion(int row, int x, int y, int width, int height) {
  RoiOutcome outcome;
  if (!rowInTable(row, outcome))
    return outcome;
  if (x < 0 || y < 0) {
    outcome.message = "Region " + std::to_string(row) +
                      ": offsets cannot be negative; nothing "
                      "was sent";
    outcome.nothingSent = true;
    return outcome;
  }
  const RoiRegion old = table_.row(row);
  RoiRegion wanted = old;
  wanted.x = x;
  wanted.y = y;
  wanted.width = width;
  wanted.height = height;
  if (std::string why = outsideSensor(row, wanted); !why.empty()) {
    outcome.message = why + "; nothing was sent";
    outcome.nothingSent = true;
    return outcome;
  }
  if (const Answer selected = commands_->setSelector(row); !selected.accepted())
    return refusedBy(selected, "the choice of " + regionText(row));
  // A region moving right first narrows, one moving left first moves: every step between the
  // old region and the new one stays on the sensor. The same for lines.
  std::vector<std::pair<RoiColumn, int>> steps;
  if (x > old.x)
    steps = {{RoiColumn::Width, width}, {RoiColumn::OffsetX, x}};
  else
    steps = {{RoiColumn::OffsetX, x}, {RoiColumn::Width, width}};
  if (y > old.y)
    steps.insert(steps.end(), {{RoiColumn::Height, height}, {RoiColumn::OffsetY, y}});
  else
    steps.insert(steps.end(), {{RoiColumn::OffsetY, y}, {RoiColumn::Height, height}});
  for (const auto& [column, value] : steps) {
    const std::string command =
        std::string(commands_->commandFor(column)) + " " + std::to_string(value);
    const Answer answer =
        host_.sendCommand(command, {.timeoutMs = kRegionTimeoutMs, .shown = true});
    if (!answer.accepted()) {
      RoiOutcome failed = refusedBy(answer, "\"" + command + "\"");
      // Part of the region may have changed: the row shows what the camera has now.
      if (answer.result == CommandResult::CameraError && !refreshRow(row).ok)
        failed.message += "; the region's values could not be read back";
      return failed;
    }
  }
  return refreshRow(row);
}

RoiOutcome MultiRoi::setEnabled(int row, bool on) {
  RoiOutcome outcome;
  if (!rowInTable(row, outcome))
    return outcome;
  if (const Answer selected = commands_->setSelector(row); !selected.accepted())
    return refusedBy(selected, "the choice of " + regionText(row));
  const Answer answer = commands_->setEnable(on);
  if (lowered(answer.text).find("error") != std::string::npos) {
    outcome.refused = cameraWords(answer);
    outcome.message = outcome.refused + std::string(kCheckRoiDomain);
    return outcome;
  }
  if (!answer.accepted())
    return refusedBy(answer, on ? "switching " + regionText(row) + " on"
                                : "switching " + regionText(row) + " off");
  table_.row(row).on = on;
  outcome.ok = true;
  return outcome;
}

RoiResetOutcome MultiRoi::reset() {
  RoiResetOutcome outcome;
  const int width = sensorWidth(), height = sensorHeight();
  if (width <= 0 || height <= 0) {
    outcome.message = "The sensor size of this camera is not known; nothing was sent";
    return outcome;
  }
  int rows = table_.size();
  if (!read_) {
    const std::optional<int> count = commands_->regionCount();
    if (!count || *count < 1) {
      outcome.message = "The camera did not tell how many regions it has; nothing was sent";
      return outcome;
    }
    rows = std::min(*count, kMaxRegions);
  }
  std::vector<std::string> commands;
  for (int i = 1; i < rows; ++i) {
    commands.push_back("srs " + std::to_string(i));
    commands.push_back("src 0");
  }
  commands.push_back("srs 0");
  commands.push_back(std::string(commands_->commandFor(RoiColumn::OffsetX)) + " 0");
  commands.push_back(std::string(commands_->commandFor(RoiColumn::OffsetY)) + " 0");
  commands.push_back(std::string(commands_->commandFor(RoiColumn::Width)) + " " +
                     std::to_string(width));
  commands.push_back(std::string(commands_->commandFor(RoiColumn::Height)) + " " +
                     std::to_string(height));
  commands.push_back("src 1");

  for (const std::string& command : commands) {
    const Answer answer =
        host_.sendCommand(command, {.timeoutMs = kRegionTimeoutMs, .shown = true});
    if (answer.accepted()) {
      outcome.accepted.push_back(command);
      continue;
    }
    outcome.failedCommand = command;
    const RoiOutcome why = refusedBy(answer, "\"" + command + "\"");
    outcome.message = why.message + ". The reset stopped after " +
                      std::to_string(outcome.accepted.size()) + " of " +
                      std::to_string(commands.size()) + " commands";
    // What the camera has now, not what the reset meant to leave.
    if (answer.result == CommandResult::CameraError) {
      const RoiOutcome reread = readAll();
      outcome.message += reread.ok ? "; the table shows the regions the camera has now"
                                   : "; the regions could not be read again: " + reread.message;
    }
    return outcome;
  }
  if (!read_) {
    table_.clear();
    for (int i = 0; i < rows; ++i)
      table_.addRow({0, 0, width, height, false});
    read_ = true;
  }
  for (int i = 0; i < table_.size(); ++i) {
    table_.row(i).on = false;
    if (commands_->sharedWidth())
      table_.row(i).width = width;
  }
  table_.row(0) = {0, 0, width, height, true};
  outcome.complete = true;
  return outcome;
}

std::vector<std::string> MultiRoi::regionCommandWords() const {
  std::vector<std::string> words = {"srs", "src"};
  for (RoiColumn column :
       {RoiColumn::OffsetX, RoiColumn::OffsetY, RoiColumn::Width, RoiColumn::Height})
    words.emplace_back(commands_->commandFor(column));
  return words;
}

std::vector<std::string> MultiRoi::fileLines() const {
  std::vector<std::string> lines;
  for (int i = 0; i < table_.size(); ++i) {
    const RoiRegion& r = table_.row(i);
    lines.push_back("srs " + std::to_string(i));
    lines.push_back(std::string(commands_->commandFor(RoiColumn::Width)) + " " +
                    std::to_string(r.width));
    lines.push_back(std::string(commands_->commandFor(RoiColumn::Height)) + " " +
                    std::to_string(r.height));
    lines.push_back(std::string(commands_->commandFor(RoiColumn::OffsetX)) + " " +
                    std::to_string(r.x));
    lines.push_back(std::string(commands_->commandFor(RoiColumn::OffsetY)) + " " +
                    std::to_string(r.y));
    // The enable state as the number the camera takes, not the "On" the table shows.
    lines.push_back(r.on ? "src 1" : "src 0");
  }
  return lines;
}

// --- setting files --------------------------------------------------------------------------

SettingSaveResult MultiRoiControlFile::save(std::string_view chosen, const ParameterCache& cache,
                                            const ModelDescriptor& model) {
  // The cache keeps the region values of whichever region was chosen last; replayed before the
  // region lines they would set that region's offsets against its old size, which the camera
  // refuses. The region lines carry them all.
  const std::vector<std::string> regionCommands = regions_.regionCommandWords();
  std::vector<std::string> lines;
  for (std::string& line : settingCacheLines(cache, false)) {
    const std::string word = line.substr(0, line.find(' '));
    if (std::find(regionCommands.begin(), regionCommands.end(), word) == regionCommands.end())
      lines.push_back(std::move(line));
  }
  std::string text = settingFileHeader(model.modelName);
  for (const std::string& line : lines) {
    text += line;
    text += kSettingLineEnd;
  }
  const std::vector<std::string> regionLines = regions_.fileLines();
  for (const std::string& line : regionLines) {
    text += line;
    text += kSettingLineEnd;
  }
  SettingSaveResult result = writeSettingFile(chosen, text, lines.size() + regionLines.size());
  if (result.saved && !regions_.read())
    result.detail = "the regions were never read from the camera: the file holds none";
  return result;
}

void MultiRoiControlFile::connect(ConnectedCamera&) {
  // A file may have changed the regions the table shows; a table never read is read when
  // someone needs it.
  if (regions_.read())
    regions_.readAll();
}

std::unique_ptr<MultiRoiControlFile> multiRoiControlFileFor(PageHost& host,
                                                            const ModelDescriptor& model) {
  const std::optional<MultiRoiVariant> variant = multiRoiVariantFor(model);
  if (!variant)
    return nullptr;
  switch (*variant) {
  case MultiRoiVariant::Ko25MC:
    return std::make_unique<CKo25MC2ControlFile>(host);
  case MultiRoiVariant::Ko4MC2:
    return std::make_unique<CKo4MC2ControlFile>(host);
  case MultiRoiVariant::Ko50MC:
    return std::make_unique<CKo50MC2ControlFile>(host);
  }
  return nullptr;
}

} // namespace kelpax
