// Identification answers to "gmn", frame-grabber makers from library names, and
// DeviceModelList.ini: the models opened through GenICam instead of the serial commands.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "link/camera_port.h"

namespace kelpax {

// A model answer is one of this maker's cameras when it holds one of these (case-sensitive):
// the letter every series code begins with, and "OM".
inline constexpr std::string_view kSeriesMarker = "K";
inline constexpr std::string_view kOemMarker = "OM";

enum class ModelAnswer { NotFound, Identified, Booting, Other };

// Empty → NotFound; a marker → Identified; the echoed "gmn" without a model → Booting;
// anything else → Other.
ModelAnswer JudgeModelAnswer(std::string_view answer);

// The maker by the letters after "clser" in the library's file name (cor, emc, mtx, asl, nat;
// any case), once "lib", ".so", ".dll" and a version suffix are removed; else "Unknown".
std::string makerFromLibraryName(std::string_view libraryPath);

// DeviceModelList.ini beside the program.
std::string deviceModelListPath();

inline constexpr const char* kDeviceModelListName = "DeviceModelList.ini";

class DeviceModelList {
public:
  explicit DeviceModelList(std::string path);

  enum class Result {
    Done,        // the model was added or removed
    Unchanged,   // already listed (add) or not in the second section (delete)
    OpenFailed,  // the file cannot be read
    WriteFailed, // the file cannot be rewritten; it stays as it was
  };

  // Whether some whole line of the file equals the model name (case-sensitive). A file that
  // cannot be read lists nothing and sets *openFailed.
  bool contains(std::string_view modelName, bool* openFailed = nullptr) const;

  Result AddModelToList(std::string_view modelName);
  // Removes the model from the second section (the first section is never changed).
  Result DeleteModelFromList(std::string_view modelName);

  const std::string& path() const { return path_; }

  // The two sections as the file holds them. False when the file cannot be read.
  struct Sections {
    std::vector<std::string> compatible; // first section: models of every version
    std::vector<std::string> newOnly;    // second section: models of version 3.0 only
  };
  bool read(Sections& sections) const;

  static constexpr size_t kMaxFileSize = 1 << 20;

private:
  Result rewrite(const Sections& sections, std::string_view unterminatedLast);

  std::string path_;
};

// True when the chosen port's camera was identified and its model is in the list.
bool IsGenICamModel(const CameraPort& port, const DeviceModelList& list);

} // namespace kelpax
