// JSON feature files (RapidJSON), text listings and the visibility setting.
#include "nodeview/feature_file.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <system_error>

#include <dlfcn.h>
#include <fcntl.h>
#include <rapidjson/document.h>
#include <rapidjson/error/en.h>
#include <rapidjson/prettywriter.h>
#include <rapidjson/stringbuffer.h>
#include <sys/stat.h>
#include <unistd.h>

namespace nodeview {
namespace {

namespace fs = std::filesystem;

constexpr char kCoaXPressGroup[] = "CoaXPress";
constexpr char kNoGroupYet[] = "UnkownGroup";

std::string stringMember(const rapidjson::Value& object, const char* key, bool* present = nullptr) {
  auto it = object.FindMember(key);
  if (it == object.MemberEnd() || !it->value.IsString()) {
    if (present) {
      *present = false;
    }
    return {};
  }
  if (present) {
    *present = true;
  }
  return std::string(it->value.GetString(), it->value.GetStringLength());
}

std::string trimmed(std::string text) {
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) {
    text.pop_back();
  }
  std::size_t start = text.find_first_not_of(" \t");
  return start == std::string::npos ? std::string() : text.substr(start);
}

} // namespace

std::string featureFileJson(const std::vector<FeatureItem>& items) {
  rapidjson::StringBuffer buffer;
  rapidjson::PrettyWriter<rapidjson::StringBuffer> writer(buffer);
  writer.SetIndent(' ', 4);
  writer.StartObject();
  std::string group = kNoGroupYet;
  unsigned counter = 0;
  for (const auto& item : items) {
    if (item.isGroup()) {
      group = item.name;
      continue;
    }
    if (item.isCommand() || item.unreadable || group == kCoaXPressGroup) {
      continue;
    }
    std::string key = std::to_string(++counter);
    writer.Key(key.c_str(), rapidjson::SizeType(key.size()));
    writer.StartObject();
    auto member = [&writer](const char* name, const std::string& value) {
      writer.Key(name);
      writer.String(value.c_str(), rapidjson::SizeType(value.size()));
    };
    if (item.hasSelector) {
      member("SelectorName", item.selectorName);
      member("SelectorValue", item.selectorValue);
    }
    member("Name", item.name);
    member("Value", item.value);
    member("AccessMode", item.accessMode);
    writer.EndObject();
  }
  writer.EndObject();
  return std::string(buffer.GetString(), buffer.GetSize());
}

// Deepest nesting of arrays and objects, strings skipped; stops counting past `limit`.
std::size_t jsonDepth(std::string_view json, std::size_t limit) {
  std::size_t depth = 0, deepest = 0;
  bool inString = false;
  for (std::size_t i = 0; i < json.size() && deepest <= limit; ++i) {
    char c = json[i];
    if (inString) {
      if (c == '\\') {
        ++i;
      } else if (c == '"') {
        inString = false;
      }
    } else if (c == '"') {
      inString = true;
    } else if (c == '[' || c == '{') {
      deepest = std::max(deepest, ++depth);
    } else if ((c == ']' || c == '}') && depth > 0) {
      --depth;
    }
  }
  return deepest;
}

FeatureFileRead parseFeatureFileJson(std::string_view json) {
  FeatureFileRead result;
  // A feature file nests two levels; a deeper text is no feature file, and refusing it early
  // keeps the parser's memory to the size of the text.
  constexpr std::size_t kMaxDepth = 16;
  if (jsonDepth(json, kMaxDepth) > kMaxDepth) {
    result.error = "JSON nests more than " + std::to_string(kMaxDepth) +
                   " levels deep; a feature file has two";
    return result;
  }
  rapidjson::Document document;
  document.Parse<rapidjson::kParseIterativeFlag>(json.data(), json.size());
  if (document.HasParseError()) {
    result.error = std::string("JSON error at byte ") + std::to_string(document.GetErrorOffset()) +
                   ": " + rapidjson::GetParseError_En(document.GetParseError());
    return result;
  }
  if (!document.IsObject()) {
    result.error = "JSON root is not an object";
    return result;
  }
  for (const auto& member : document.GetObject()) {
    if (!member.value.IsObject()) {
      continue;
    }
    FeatureItem item;
    item.name = stringMember(member.value, "Name");
    item.value = stringMember(member.value, "Value");
    item.selectorName = stringMember(member.value, "SelectorName", &item.hasSelector);
    item.selectorValue = stringMember(member.value, "SelectorValue");
    item.accessMode = stringMember(member.value, "AccessMode");
    result.items.push_back(std::move(item));
  }
  return result;
}

std::string featureListing(const std::vector<FeatureItem>& items) {
  if (items.empty()) {
    return "No data.";
  }
  std::string text;
  for (const auto& item : items) {
    if (item.isGroup()) {
      text += "\n" + item.name + "\n";
      continue;
    }
    char line[8192];
    std::snprintf(line, sizeof line, "\t%-50s %-50s\n", item.name.c_str(), item.value.c_str());
    text += line;
  }
  return text;
}

std::string writeFileReplacing(const std::string& path, std::string_view bytes) {
  fs::path target(path);
  fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
  std::string pattern = (folder / ("." + target.filename().string() + ".XXXXXX")).string();
  int fd = ::mkstemp(pattern.data());
  if (fd < 0) {
    return "cannot create a file in " + folder.string() + ": " + std::strerror(errno);
  }
  std::size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) {
      continue;
    }
    if (n <= 0) {
      std::string error = "cannot write " + path + ": " + std::strerror(errno);
      ::close(fd);
      ::unlink(pattern.c_str());
      return error;
    }
    done += std::size_t(n);
  }
  // Files beside the program are ordinary files for the user, not private temporaries.
  ::fchmod(fd, 0644);
  if (::fsync(fd) != 0 || ::close(fd) != 0) {
    ::unlink(pattern.c_str());
    return "cannot write " + path + ": " + std::strerror(errno);
  }
  if (::rename(pattern.c_str(), path.c_str()) != 0) {
    std::string error = "cannot replace " + path + ": " + std::strerror(errno);
    ::unlink(pattern.c_str());
    return error;
  }
  return {};
}

std::string writeFileAppending(const std::string& path, std::string_view bytes) {
  std::string whole;
  std::error_code ec;
  if (fs::exists(path, ec)) {
    std::string error = readWholeFile(path, whole);
    if (!error.empty()) {
      return error;
    }
  }
  whole.append(bytes);
  return writeFileReplacing(path, whole);
}

std::string readWholeFile(const std::string& path, std::string& bytes, std::size_t maxBytes) {
  return GenICam::readBoundedFile(path, maxBytes, bytes);
}

int readVisibilityLevel(const std::string& folder) {
  std::string text;
  if (!readWholeFile((fs::path(folder) / kOptionsFileName).string(), text,
                     GenICam::kMaxOptionsFileBytes)
           .empty()) {
    return 0;
  }
  std::istringstream lines(text);
  std::string line;
  bool inSection = false;
  while (std::getline(lines, line)) {
    line = trimmed(line);
    if (!line.empty() && line.front() == '[') {
      inSection = line == "[Visibility]";
      continue;
    }
    if (!inSection) {
      continue;
    }
    auto equals = line.find('=');
    if (equals == std::string::npos || trimmed(line.substr(0, equals)) != "Type") {
      continue;
    }
    std::string value = trimmed(line.substr(equals + 1));
    if (value == "1") {
      return 1;
    }
    if (value == "2") {
      return 2;
    }
    return 0;
  }
  return 0;
}

std::string writeVisibilityLevel(const std::string& folder, int level) {
  std::string path = (fs::path(folder) / kOptionsFileName).string();
  std::string text;
  // An options file that cannot be read (not a regular file, too large) is not replaced.
  std::error_code ec;
  if (fs::exists(path, ec)) {
    std::string why = readWholeFile(path, text, GenICam::kMaxOptionsFileBytes);
    if (!why.empty()) {
      return why;
    }
  }
  std::istringstream lines(text);
  std::string line;
  std::string out;
  bool inSection = false;
  bool written = false;
  std::string entry = "Type=" + std::to_string(level) + "\n";
  while (std::getline(lines, line)) {
    std::string t = trimmed(line);
    if (!t.empty() && t.front() == '[') {
      if (inSection && !written) {
        out += entry;
        written = true;
      }
      inSection = t == "[Visibility]";
      out += line + "\n";
      continue;
    }
    auto equals = t.find('=');
    if (inSection && equals != std::string::npos && trimmed(t.substr(0, equals)) == "Type") {
      if (!written) {
        out += entry;
        written = true;
      }
      continue;
    }
    out += line + "\n";
  }
  if (!written) {
    if (!inSection) {
      out += "[Visibility]\n";
    }
    out += entry;
  }
  // A file the reader would then refuse keeps the old one.
  if (out.size() > GenICam::kMaxOptionsFileBytes) {
    return path + " would grow larger than " + std::to_string(GenICam::kMaxOptionsFileBytes) +
           " bytes";
  }
  return writeFileReplacing(path, out);
}

void ensureOptionsFile(const std::string& folder) {
  std::string path = (fs::path(folder) / kOptionsFileName).string();
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd >= 0) {
    ::close(fd);
  }
}

std::string libraryFolder() {
  Dl_info info{};
  if (::dladdr(reinterpret_cast<void*>(&libraryFolder), &info) == 0 || !info.dli_fname) {
    return ".";
  }
  std::error_code ec;
  fs::path file = fs::weakly_canonical(info.dli_fname, ec);
  if (ec) {
    file = info.dli_fname;
  }
  return file.has_parent_path() ? file.parent_path().string() : std::string(".");
}

} // namespace nodeview
