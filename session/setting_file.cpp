// Camera setting files (".csf"): the cache written out as set commands, and a file's
// command lines replayed to the camera.
#include "session/setting_file.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>

#include "camera/file_io.h"

namespace kelpax {
namespace {

bool isPlainAscii(unsigned char c) {
  return c >= 0x20 && c < 0x7f;
}

// A line for a report: at most 40 characters, anything unprintable as <XX>.
std::string excerpt(std::string_view line) {
  constexpr size_t kShown = 40;
  std::string text;
  for (size_t i = 0; i < std::min(line.size(), kShown); ++i) {
    const auto c = static_cast<unsigned char>(line[i]);
    if (isPlainAscii(c)) {
      text += static_cast<char>(c);
    } else {
      char hex[8];
      std::snprintf(hex, sizeof hex, "<%02X>", c);
      text += hex;
    }
  }
  if (line.size() > kShown)
    text += "...";
  return text;
}

// The pause a "sleep" line asks for: its second blank-separated word in milliseconds. A
// missing or malformed number pauses 0, a huge one the limit; both are noted.
int pauseOf(const std::string& line, size_t lineNumber, SettingLoadResult& result) {
  const std::vector<std::string_view> words = blankWords(line);
  const std::string_view word = words.size() > 1 ? words[1] : std::string_view();
  const bool digits = !word.empty() && std::all_of(word.begin(), word.end(),
                                                   [](char c) { return c >= '0' && c <= '9'; });
  if (!digits) {
    result.pauseNotes.push_back(
        {lineNumber, line,
         word.empty()
             ? "no pause length: paused 0 ms"
             : "'" + excerpt(word) + "' is not a whole number of milliseconds: paused 0 ms"});
    return 0;
  }
  uint64_t ms = 0;
  for (char c : word) {
    ms = ms * 10 + static_cast<uint64_t>(c - '0');
    if (ms > static_cast<uint64_t>(kSettingPauseLimitMs))
      break;
  }
  if (ms > static_cast<uint64_t>(kSettingPauseLimitMs)) {
    result.pauseNotes.push_back({lineNumber, line,
                                 std::string(word) + " ms is too long: paused " +
                                     std::to_string(kSettingPauseLimitMs) + " ms"});
    return kSettingPauseLimitMs;
  }
  return static_cast<int>(ms);
}

} // namespace

std::vector<SettingLoadStep> planSettingLoad(std::string_view bytes, SettingLoadResult& result) {
  std::vector<SettingLoadStep> steps;
  long pauseBudgetMs = kSettingTotalPauseLimitMs;
  bool budgetSpent = false;
  size_t lineNumber = 0;
  // Lines end in CR LF, in CR CR LF from the older program, in LF, or in CR alone; none of
  // those bytes reaches the camera, and a file of CR-ended lines is still one command a line.
  for (const std::string_view raw : splitLines(bytes)) {
    ++lineNumber;
    if (raw.size() > kSettingLineLimit) {
      result.skipped.push_back(
          {lineNumber, excerpt(raw),
           "longer than " + std::to_string(kSettingLineLimit) + " characters"});
      continue;
    }
    std::string line(raw);
    if (line.find("--") != std::string::npos || line.find(':') != std::string::npos ||
        line.size() < 3)
      continue;
    const auto junk = std::find_if(line.begin(), line.end(), [](char c) {
      return !isPlainAscii(static_cast<unsigned char>(c));
    });
    if (junk != line.end()) {
      char reason[64];
      std::snprintf(reason, sizeof reason, "byte 0x%02X at column %zu is not command text",
                    static_cast<unsigned char>(*junk),
                    static_cast<size_t>(junk - line.begin()) + 1);
      result.skipped.push_back({lineNumber, excerpt(line), reason});
      continue;
    }
    SettingLoadStep step;
    step.lineNumber = lineNumber;
    if (lowerCase(line).find("sleep") != std::string::npos) {
      step.pause = true;
      step.pauseMs = pauseOf(line, lineNumber, result);
      if (step.pauseMs > pauseBudgetMs) {
        // Noted once, at the line that reaches the limit; the pauses after it are 0.
        if (!budgetSpent)
          result.pauseNotes.push_back({lineNumber, line,
                                       "the file's pauses exceed " +
                                           std::to_string(kSettingTotalPauseLimitMs) +
                                           " ms in all: paused " + std::to_string(pauseBudgetMs) +
                                           " ms here and none after"});
        budgetSpent = true;
        step.pauseMs = static_cast<int>(pauseBudgetMs);
      }
      pauseBudgetMs -= step.pauseMs;
    } else {
      step.command = std::move(line);
    }
    steps.push_back(std::move(step));
  }
  return steps;
}

std::string settingFilePath(std::string_view chosen) {
  std::string path(chosen);
  const size_t slash = path.rfind('/');
  const std::string_view name = slash == std::string::npos
                                    ? std::string_view(path)
                                    : std::string_view(path).substr(slash + 1);
  if (lowerCase(name).find(kSettingFileExtension) == std::string::npos)
    path += kSettingFileExtension;
  return path;
}

std::string settingFileHeader(std::string_view modelName) {
  // The name comes from the camera: a stray line end in it must not start a line of its own.
  std::string name(modelName);
  std::replace_if(
      name.begin(), name.end(), [](char c) { return !isPlainAscii(static_cast<unsigned char>(c)); },
      '?');
  return std::string(kSettingFileTitle) + "--Model Name :" + name + "\r\n--\r\n";
}

std::vector<std::string> settingCacheLines(const ParameterCache& cache,
                                           bool leaveOutVariantNoSave) {
  std::vector<std::string> lines;
  for (const ParameterEntry& entry : cache.entries()) {
    if (entry.noFileSave || (leaveOutVariantNoSave && entry.variantNoSave))
      continue;
    lines.push_back(ParameterCache::commandLine(entry));
  }
  return lines;
}

bool leavesOutVariantNoSave(const ModelDescriptor& model) {
  return model.isMonochrome();
}

SettingSaveResult writeSettingFile(std::string_view chosen, std::string_view text, size_t lines) {
  SettingSaveResult result;
  result.path = settingFilePath(chosen);
  result.lines = lines;
  FileStatus written;
  if (chosen.empty() || chosen.back() == '/')
    written = {FileError::Io, result.path + ": no file name"};
  else
    written = writeFileAtomically(result.path, text);
  result.saved = written.ok();
  if (!result.saved) {
    result.message = kCannotSaveSettingFile;
    result.detail = written.detail;
  }
  return result;
}

SettingSaveResult saveSettingFile(std::string_view chosen, const ParameterCache& cache,
                                  const ModelDescriptor& model) {
  const std::vector<std::string> lines = settingCacheLines(cache, leavesOutVariantNoSave(model));
  std::string text = settingFileHeader(model.modelName);
  for (const std::string& line : lines) {
    text += line;
    text += kSettingLineEnd;
  }
  return writeSettingFile(chosen, text, lines.size());
}

SettingSaveResult saveSettingFile(std::string_view chosen, const ParameterCache& cache,
                                  const ModelDescriptor& model, CControlFile* handler) {
  return handler ? handler->save(chosen, cache, model) : saveSettingFile(chosen, cache, model);
}

SettingLoadResult loadSettingFile(const std::string& path, ConnectedCamera& camera,
                                  const SettingLoadOptions& options) {
  SettingLoadResult result;
  std::string bytes;
  if (const FileStatus read = readFileBounded(path, kSettingFileSizeLimit, bytes); !read) {
    result.message = kCannotOpenSettingFile;
    result.detail = read.detail;
    return result;
  }
  result.opened = true;
  const std::vector<SettingLoadStep> steps = planSettingLoad(bytes, result);
  // Set commands in the middle of a binary transfer would break it.
  if (camera.exchange().transferRunning()) {
    result.blocked = true;
    return result;
  }
  // A file without a command line is no setting file (an empty or truncated one): nothing
  // to send, and nothing to report as done.
  if (std::none_of(steps.begin(), steps.end(), [](const SettingLoadStep& s) { return !s.pause; })) {
    result.noCommands = true;
    result.detail = path + ": " + (bytes.empty() ? "the file is empty" : "no command line");
    return result;
  }

  const size_t divisor = std::max<size_t>(camera.parameterCache().size(), 1);
  size_t total = 0;
  int unansweredInRow = 0;
  for (const SettingLoadStep& step : steps) {
    // A camera that stopped answering would make every remaining line wait out its time-out.
    if (result.cameraLost) {
      result.notSent += step.pause ? 0 : 1;
      continue;
    }
    if (step.pause) {
      if (options.sleep)
        options.sleep(step.pauseMs);
      else
        std::this_thread::sleep_for(std::chrono::milliseconds(step.pauseMs));
      ++result.pauses;
      result.pausedMs += step.pauseMs;
      continue;
    }
    const Answer answer =
        camera.query(step.command, {.timeoutMs = options.lineTimeoutMs, .shown = true});
    ++result.sent;
    switch (answer.result) {
    case CommandResult::Ok:
      ++result.accepted;
      break;
    case CommandResult::CameraError:
      result.refused.push_back({step.lineNumber, step.command, answer.errorText()});
      break;
    case CommandResult::NoAnswer:
    case CommandResult::Blocked:
      result.unanswered.push_back({step.lineNumber, step.command, "Camera connection error!"});
      break;
    }
    unansweredInRow = answer.result == CommandResult::NoAnswer ? unansweredInRow + 1 : 0;
    result.cameraLost = unansweredInRow >= kUnansweredBeforeLost;
    total += 100;
    if (options.progress)
      options.progress(static_cast<int>(std::min<size_t>(100, total / divisor)));
  }
  if (options.handler)
    options.handler->connect(camera);
  return result;
}

} // namespace kelpax
