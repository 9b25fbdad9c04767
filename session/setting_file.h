// Camera setting files (".csf"): the cache written out as set commands, and a file's
// command lines replayed to the camera.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "camera/parameter_cache.h"
#include "camera/tables/model_descriptor.h"
#include "session/connected_camera.h"

namespace kelpax {

inline constexpr std::string_view kSettingFileExtension = ".csf";
inline constexpr std::string_view kSettingFileTitle = "--Quorvane Camera Setting File \r\n";
inline constexpr std::string_view kCannotSaveSettingFile = "Cannot save camera setting file!";
inline constexpr std::string_view kCannotOpenSettingFile = "Cannot open camera setting file!";
inline constexpr std::string_view kSettingFileErrorCaption = "Error Message";

// Every line is written ending CR LF, byte for byte. The older Windows program wrote through
// a text-mode stream and so ended its lines CR CR LF; both programs' readers drop every CR
// and LF, so either kind of file loads in either program.
inline constexpr std::string_view kSettingLineEnd = "\r\n";

inline constexpr uint32_t kSettingLineTimeoutMs = 6000;
// A command line longer than this is not a command; the loader skips it.
inline constexpr size_t kSettingLineLimit = 1000;
// A pause line asks for at most this long.
inline constexpr int kSettingPauseLimitMs = 60000;
// All pause lines of a file together pause at most this long: a file of nothing but pause
// lines would otherwise hold the camera for months. The line that reaches it is shortened and
// noted in the load's report; the pauses after it are 0.
inline constexpr long kSettingTotalPauseLimitMs = 300000;
// Setting files are a few kilobytes; anything larger is not one.
inline constexpr uintmax_t kSettingFileSizeLimit = 4u << 20;

// The path a save writes: ".csf" is appended when the file name does not contain it, in
// any letter case. The path itself keeps its letter case (folders may hold capitals).
std::string settingFilePath(std::string_view chosen);

// --- Building blocks of a setting-file writer -------------------------------------------

// The title line and the model-name block, each ending as written in the file.
std::string settingFileHeader(std::string_view modelName);

// The cache written back as set commands (no line ends), in registration order. Entries
// flagged noFileSave are never written; variantNoSave entries are left out when asked.
std::vector<std::string> settingCacheLines(const ParameterCache& cache, bool leaveOutVariantNoSave);

// The generic writer's choice: variantNoSave entries are left out for monochrome cameras.
bool leavesOutVariantNoSave(const ModelDescriptor& model);

struct SettingSaveResult {
  bool saved = false;
  std::string path;    // the file written (or that could not be written)
  size_t lines = 0;    // command lines written
  std::string message; // empty, or kCannotSaveSettingFile (caption kSettingFileErrorCaption)
  std::string detail;  // why, in the system's words
};

// Writes `text` as the complete file at settingFilePath(chosen): into a new file beside it,
// then renamed over it, so a failure leaves an existing file as it was.
SettingSaveResult writeSettingFile(std::string_view chosen, std::string_view text, size_t lines);

// The generic writer: header, then the cache's lines. Nothing is sent to the camera.
SettingSaveResult saveSettingFile(std::string_view chosen, const ParameterCache& cache,
                                  const ModelDescriptor& model);

// --- Model-specific writers -------------------------------------------------------------

// Models whose files carry lines of their own (controlFileFor) get a handler of this kind.
// Its save writes the whole file with the building blocks above, appending its own lines
// after the cache lines; its connect step runs once a load has sent every line.
class CControlFile {
public:
  virtual ~CControlFile() = default;
  virtual SettingSaveResult save(std::string_view chosen, const ParameterCache& cache,
                                 const ModelDescriptor& model) = 0;
  virtual void connect(ConnectedCamera& camera) = 0;
};

// The handler's save when there is one, the generic writer otherwise.
SettingSaveResult saveSettingFile(std::string_view chosen, const ParameterCache& cache,
                                  const ModelDescriptor& model, CControlFile* handler);

// --- Loading ----------------------------------------------------------------------------

struct SettingLoadOptions {
  // Pauses asked for by "sleep" lines; nothing is sent meanwhile. Defaults to a real sleep.
  std::function<void(int ms)> sleep;
  // 0..100 after every line sent.
  std::function<void(int percent)> progress;
  // The model's handler, whose connect step ends the load; null for the generic models.
  CControlFile* handler = nullptr;
  // How long each command line waits for its answer.
  uint32_t lineTimeoutMs = kSettingLineTimeoutMs;
};

// A line of the file, numbered from 1, with what became of it.
struct SettingLineNote {
  size_t lineNumber = 0;
  std::string text;   // the line as sent, or a printable excerpt of a skipped line
  std::string reason; // the camera's error, or why the line was skipped or changed
};

struct SettingLoadResult {
  bool opened = false;
  std::string message;  // empty, or kCannotOpenSettingFile (caption kSettingFileErrorCaption)
  std::string detail;   // why the file could not be read
  bool blocked = false; // a binary transfer held the port: nothing was sent

  size_t sent = 0;
  size_t accepted = 0;
  std::vector<SettingLineNote> refused;    // the camera answered "Error"
  std::vector<SettingLineNote> unanswered; // no answer within the time-out
  std::vector<SettingLineNote> skipped;    // never sent: control bytes, overlong lines
  std::vector<SettingLineNote> pauseNotes; // pause lines with a bad or capped number
  size_t pauses = 0;
  long pausedMs = 0;
  // kUnansweredBeforeLost lines in a row went unanswered: the load stopped there, and the
  // `notSent` command lines after them never reached the camera.
  bool cameraLost = false;
  size_t notSent = 0;
  // The file holds no command line (it is empty, or all comments, pauses or skipped lines):
  // nothing was sent or paused, and `detail` says so.
  bool noCommands = false;

  bool allAccepted() const { return opened && !blocked && !noCommands && sent == accepted; }
};

// One thing a load does for a line of the file: send `command`, or pause `pauseMs`.
struct SettingLoadStep {
  size_t lineNumber = 0;
  bool pause = false;
  int pauseMs = 0;
  std::string command;
};

// What the file's bytes ask for, line by line, without a camera. Comments ("--" or ":") and
// short lines are passed over; lines that cannot be commands go to result.skipped, pause
// lines with a bad, capped or over-budget length to result.pauseNotes.
std::vector<SettingLoadStep> planSettingLoad(std::string_view bytes, SettingLoadResult& result);

// Replays the file at `path` to the camera: every command line is sent as a query (6000 ms,
// answer copied to the terminal) and an accepted answer updates the camera's cache. A refused
// line is not repeated; loading goes on with the next. A file that cannot be read sends
// nothing.
SettingLoadResult loadSettingFile(const std::string& path, ConnectedCamera& camera,
                                  const SettingLoadOptions& options = {});

} // namespace kelpax
