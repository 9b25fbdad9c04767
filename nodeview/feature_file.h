// Feature files: the JSON file of feature values, the text listing, and "options.ini" with
// the visibility level. Files are written to a temporary file in the same folder and renamed,
// so a failed write never leaves half a file.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "GenICam/BoundedFile.h"

namespace nodeview {

// One collected feature, or a group ("GROUP" as value) that opens the features after it.
struct FeatureItem {
  std::string name;
  std::string value;
  bool hasSelector = false;
  std::string selectorName;
  std::string selectorValue;
  std::string accessMode;  // "NI", "NA", "WO", "RO", "RW" or "UNKNOWN"; empty for groups
  bool unreadable = false; // listed with its "(unreadable)" text, never saved in a JSON file

  bool isGroup() const { return value == "GROUP"; }
  bool isCommand() const { return value == "Execute"; }
  bool operator==(const FeatureItem&) const = default;
};

inline constexpr char kGroupValue[] = "GROUP";
inline constexpr char kCommandValue[] = "Execute";

// The JSON text: members "1", "2", ... with SelectorName and SelectorValue (selected values
// only), Name, Value and AccessMode; groups, commands, unreadable values and everything of
// "CoaXPress" left out.
std::string featureFileJson(const std::vector<FeatureItem>& items);

struct FeatureFileRead {
  std::vector<FeatureItem> items;
  std::string error; // empty when the text parsed
};
// Items in the file's member order; a text that does not parse gives no items and an error.
// The parser keeps its own stack, so no nesting of the text can exhaust the program's.
FeatureFileRead parseFeatureFileJson(std::string_view json);

// "\n%s\n" per group, "\t%-50s %-50s\n" per feature, "No data." for no items.
std::string featureListing(const std::vector<FeatureItem>& items);

// Whole-file helpers. Each returns an empty text on success, otherwise what went wrong.
std::string writeFileReplacing(const std::string& path, std::string_view bytes);
std::string writeFileAppending(const std::string& path, std::string_view bytes);
// Reads only regular files of at most `maxBytes` (a FIFO, a device or a huge file is refused).
std::string readWholeFile(const std::string& path, std::string& bytes,
                          std::size_t maxBytes = GenICam::kMaxFeatureFileBytes);

// "options.ini" ([Visibility] Type=0|1|2) in the given folder.
inline constexpr char kOptionsFileName[] = "options.ini";
// 0 when the file, the section or the value is missing, empty or not 0 to 2.
int readVisibilityLevel(const std::string& folder);
// Keeps the file's other lines; creates the file when missing.
std::string writeVisibilityLevel(const std::string& folder, int level);
// Creates an empty settings file when there is none yet.
void ensureOptionsFile(const std::string& folder);

// The folder of the shared library file that holds this code.
std::string libraryFolder();

} // namespace nodeview
