// Judging "gmn" answers, naming frame-grabber makers, and keeping DeviceModelList.ini.
#include "link/model_list.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <unordered_set>
#include <utility>

#include <sys/stat.h>

#include "camera/debug_output.h"
#include "camera/file_io.h"
#include "camera/program_folder.h"
#include "link/port_settings.h"

namespace kelpax {
namespace {

const std::string kBanner(50, '#');
constexpr std::string_view kHeaderLine1 = "Models below cannot be used with previous version.";
constexpr std::string_view kHeaderLine2 =
    "Please place models here that will only be used in version 3.0.";
constexpr unsigned kWriteBits = S_IWUSR | S_IWGRP | S_IWOTH;
constexpr unsigned kNewListMode = 0444;

std::vector<std::string> fileLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    std::string line = text.substr(start, end == std::string::npos ? end : end - start);
    // Every carriage return before the line end goes (CR LF, and CR CR LF from text-mode
    // writers): one left behind would make a banner or model line differ from itself once the
    // list is written back with LF alone.
    while (!line.empty() && line.back() == '\r') {
      line.pop_back();
    }
    lines.push_back(std::move(line));
    if (end == std::string::npos) {
      break;
    }
    start = end + 1;
  }
  return lines;
}

bool listed(const std::vector<std::string>& lines, std::string_view name) {
  return std::find(lines.begin(), lines.end(), name) != lines.end();
}

} // namespace

ModelAnswer JudgeModelAnswer(std::string_view answer) {
  if (answer.empty()) {
    return ModelAnswer::NotFound;
  }
  if (answer.find(kSeriesMarker) != std::string_view::npos ||
      answer.find(kOemMarker) != std::string_view::npos) {
    return ModelAnswer::Identified;
  }
  if (answer.find("gmn") != std::string_view::npos) {
    return ModelAnswer::Booting;
  }
  return ModelAnswer::Other;
}

std::string makerFromLibraryName(std::string_view libraryPath) {
  const std::string name = lowerCase(libraryPath.substr(libraryPath.find_last_of('/') + 1));
  std::string_view rest(name);
  if (rest.starts_with("lib")) {
    rest.remove_prefix(3);
  }
  if (!rest.starts_with("clser")) {
    return "Unknown";
  }
  rest.remove_prefix(5);
  // "mtx.dll", "mtx.so", "mtx.so.2.1": the letters before the first suffix.
  for (std::string_view suffix : {".so", ".dll"}) {
    const size_t at = rest.find(suffix);
    if (at != std::string_view::npos) {
      rest = rest.substr(0, at);
    }
  }
  static const std::pair<std::string_view, const char*> kMakers[] = {
      {"cor", "Teledyne Dalsa"},
      {"emc", "Euresys"},
      {"mtx", "Matrox"},
      {"asl", "Active Silicon"},
      {"nat", "National Instruments"},
  };
  for (const auto& [letters, maker] : kMakers) {
    if (rest == letters) {
      return maker;
    }
  }
  return "Unknown";
}

std::string deviceModelListPath() {
  const std::string folder = programFolder();
  return folder.empty() ? std::string(kDeviceModelListName) : folder + "/" + kDeviceModelListName;
}

DeviceModelList::DeviceModelList(std::string path) : path_(std::move(path)) {}

bool DeviceModelList::contains(std::string_view modelName, bool* openFailed) const {
  std::string text;
  const bool ok = readFileBounded(path_, kMaxFileSize, text).ok();
  if (openFailed) {
    *openFailed = !ok;
  }
  return ok && listed(fileLines(text), modelName);
}

bool DeviceModelList::read(Sections& sections) const {
  sections = Sections{};
  std::string text;
  if (!readFileBounded(path_, kMaxFileSize, text)) {
    return false;
  }
  const std::vector<std::string> lines = fileLines(text);
  const long banners = std::count(lines.begin(), lines.end(), kBanner);
  // A file without its six banner lines is not in the usual layout: rather than drop its
  // models, every model line outside the first section is kept in the second.
  const bool usualLayout = banners >= 6;
  int seen = 0;
  // Each model once, in either section; a set, as a list may hold many thousand lines.
  std::unordered_set<std::string_view> taken;
  for (const std::string& line : lines) {
    if (line == kBanner) {
      ++seen;
      continue;
    }
    if (line.empty() || taken.contains(line)) {
      continue;
    }
    if (seen >= 6) {
      sections.newOnly.push_back(line);
    } else if (seen >= 3 && line.starts_with(kSeriesMarker)) {
      sections.compatible.push_back(line);
    } else if (!usualLayout && line != kHeaderLine1 && line != kHeaderLine2) {
      sections.newOnly.push_back(line);
    } else {
      continue;
    }
    taken.insert(line);
  }
  return true;
}

DeviceModelList::Result DeviceModelList::rewrite(const Sections& sections,
                                                 std::string_view unterminatedLast) {
  const std::string banners = kBanner + "\n" + kBanner + "\n" + kBanner + "\n";
  std::string text = banners;
  text += "\n";
  text += kHeaderLine1;
  text += "\n";
  text += kHeaderLine2;
  text += "\n\n";
  for (const std::string& model : sections.compatible) {
    text += model + "\n";
  }
  text += "\n" + banners + "\n";
  for (const std::string& model : sections.newOnly) {
    text += model + "\n";
  }
  text += unterminatedLast;

  // The list is read-only between writes: make it writable, write, and make it read-only again.
  struct stat st {};
  const bool existed = ::stat(path_.c_str(), &st) == 0;
  const unsigned oldMode = existed ? unsigned(st.st_mode & 07777) : kNewListMode;
  if (existed) {
    ::chmod(path_.c_str(), mode_t(oldMode | S_IWUSR));
  }
  if (!writeFileAtomically(path_, text, (oldMode | S_IRUSR) & ~kWriteBits)) {
    if (existed) {
      ::chmod(path_.c_str(), mode_t(oldMode));
    }
    debugPrintf("%s, %d, cannot rewrite %s\n", "CGetPortDlg::ModelList", __LINE__, path_.c_str());
    return Result::WriteFailed;
  }
  return Result::Done;
}

DeviceModelList::Result DeviceModelList::AddModelToList(std::string_view modelName) {
  Sections sections;
  // A program without its list yet starts one: the first model added creates it. A list that
  // exists but cannot be read is never replaced.
  std::error_code ec;
  if (!read(sections) && std::filesystem::exists(path_, ec)) {
    return Result::OpenFailed;
  }
  const bool isNew =
      !modelName.empty() && modelName.find_first_of("\r\n") == std::string_view::npos &&
      !listed(sections.compatible, modelName) && !listed(sections.newOnly, modelName);
  const Result written = rewrite(sections, isNew ? modelName : std::string_view());
  if (written != Result::Done) {
    return written;
  }
  return isNew ? Result::Done : Result::Unchanged;
}

DeviceModelList::Result DeviceModelList::DeleteModelFromList(std::string_view modelName) {
  Sections sections;
  if (!read(sections)) {
    return Result::OpenFailed;
  }
  const size_t before = sections.newOnly.size();
  std::erase(sections.newOnly, modelName);
  const bool removed = sections.newOnly.size() != before;
  const Result written = rewrite(sections, {});
  if (written != Result::Done) {
    return written;
  }
  return removed ? Result::Done : Result::Unchanged;
}

bool IsGenICamModel(const CameraPort& port, const DeviceModelList& list) {
  const int index = port.currentIndex();
  if (index < 0 || index >= port.portCount()) {
    return false;
  }
  const PortEntry& slot = port.ports()[size_t(index)];
  return slot.found == 1 && list.contains(slot.modelName);
}

} // namespace kelpax
