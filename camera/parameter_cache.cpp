// The connected camera's current values, kept in step with every accepted command.
#include "camera/parameter_cache.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "camera/debug_output.h"
#include "camera/file_io.h"

namespace kelpax {

std::vector<std::string_view> blankWords(std::string_view text) {
  std::vector<std::string_view> words;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find(' ', start);
    if (end == std::string_view::npos)
      end = text.size();
    if (end > start)
      words.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return words;
}

namespace {

// The stem the answer's echo names: with "OK" in the answer, as many leading words as the
// answer holds blanks (the echo of "sag 1 100" gives "sag 1"); otherwise the echoed line.
std::string echoedStem(std::string_view text) {
  std::string stem;
  if (text.find("OK") != std::string_view::npos) {
    const auto blanks = static_cast<size_t>(std::count(text.begin(), text.end(), ' '));
    std::vector<std::string_view> words = blankWords(text);
    for (size_t i = 0; i < std::min(blanks, words.size()); ++i) {
      if (i > 0)
        stem += ' ';
      stem += words[i];
    }
  } else {
    stem = std::string(text.substr(0, text.find('\r')));
  }
  if (stem.empty())
    return stem;
  return stem.substr(1);
}

} // namespace

int32_t parseCacheInt(std::string_view word) {
  size_t i = 0;
  bool negative = false;
  if (i < word.size() && (word[i] == '+' || word[i] == '-'))
    negative = word[i++] == '-';
  int64_t value = 0;
  for (; i < word.size() && word[i] >= '0' && word[i] <= '9'; ++i) {
    value = value * 10 + (word[i] - '0');
    // Saturate rather than wrap: a garbled answer must not turn into a plausible value.
    if (value > INT32_MAX)
      value = int64_t{INT32_MAX} + (negative ? 1 : 0);
  }
  return static_cast<int32_t>(negative ? -value : value);
}

double parseCacheReal(std::string_view word) {
  size_t i = 0;
  bool negative = false;
  if (i < word.size() && (word[i] == '+' || word[i] == '-'))
    negative = word[i++] == '-';
  double value = 0;
  for (; i < word.size() && word[i] >= '0' && word[i] <= '9'; ++i)
    value = value * 10 + (word[i] - '0');
  if (i < word.size() && word[i] == '.') {
    double scale = 0.1;
    for (++i; i < word.size() && word[i] >= '0' && word[i] <= '9'; ++i, scale /= 10)
      value += (word[i] - '0') * scale;
  }
  return negative ? -value : value;
}

bool ParameterCache::registerEntry(std::string_view name, uint8_t flags) {
  if (find(name))
    return false;
  if (entries_.size() >= kCapacity) {
    debugPrintf("ParameterCache::registerEntry, full, %.*s dropped", static_cast<int>(name.size()),
                name.data());
    return false;
  }
  ParameterEntry entry;
  entry.name = std::string(name);
  entry.valueCount =
      static_cast<uint8_t>(std::min<int>(flags & kFlagCountMask, ParameterEntry::kMaxValues));
  entry.variantNoSave = flags & kFlagVariantNoSave;
  entry.isFloat = flags & kFlagIsFloat;
  entry.noFileSave = flags & kFlagNoFileSave;
  entry.floatValues.fill(-1.0f);
  entries_.push_back(std::move(entry));
  return true;
}

const ParameterEntry* ParameterCache::find(std::string_view name) const {
  auto it = std::find_if(entries_.begin(), entries_.end(),
                         [&](const ParameterEntry& e) { return e.name == name; });
  return it == entries_.end() ? nullptr : &*it;
}

ParameterEntry* ParameterCache::findMutable(std::string_view name) {
  return const_cast<ParameterEntry*>(find(name));
}

int32_t ParameterCache::intValue(std::string_view name, int index) const {
  const ParameterEntry* entry = find(name);
  if (!entry || index < 0 || index >= entry->valueCount)
    return -1;
  return entry->intValues[static_cast<size_t>(index)];
}

float ParameterCache::floatValue(std::string_view name) const {
  const ParameterEntry* entry = find(name);
  return entry ? entry->floatValues[0] : -1.0f;
}

bool ParameterCache::holdsValue(std::string_view name) const {
  const ParameterEntry* entry = find(name);
  return entry && entry->valueCount > 0 &&
         (entry->intValues[0] != -1 || entry->floatValues[0] != -1.0f);
}

ParameterEntry* ParameterCache::multiValueEntryOf(std::string_view text) {
  // The echo of a command with several values ("sha 8 1023") holds more blanks than its
  // stem: look for the stem among the leading words, leaving exactly the entry's values.
  if (text.find("OK") == std::string_view::npos)
    return nullptr;
  const std::string_view echo = text.substr(0, text.find_first_of("\r\n"));
  const std::vector<std::string_view> words = blankWords(echo);
  for (size_t stemWords = words.size() > 1 ? words.size() - 1 : 0; stemWords > 0; --stemWords) {
    std::string stem;
    for (size_t i = 0; i < stemWords; ++i)
      stem += (i ? " " : "") + std::string(words[i]);
    ParameterEntry* entry = findMutable(std::string_view(stem).substr(1));
    if (entry && entry->valueCount > 1 && words.size() - stemWords == entry->valueCount)
      return entry;
  }
  return nullptr;
}

bool ParameterCache::takeFromTraffic(std::string_view text) {
  ParameterEntry* entry =
      text.find('>') == std::string_view::npos ? findMutable(text) : findMutable(echoedStem(text));
  if (!entry && text.find('>') != std::string_view::npos)
    entry = multiValueEntryOf(text);
  if (!entry || entry->name.empty())
    return false;

  std::string answer = lowerCase(text);
  std::erase(answer, '\r');
  const std::string name = lowerCase(entry->name);
  // The name follows the command's first letter, so it is never at the very start.
  const size_t at = answer.find(name, 1);
  if (at == std::string::npos)
    return false;

  std::string_view valueText;
  const std::string_view view(answer);
  if (answer[at - 1] == 's') {
    const std::string_view line = view.substr(0, view.find('\n'));
    const size_t cut = at + name.size() + 1;
    if (cut > line.size())
      return false;
    valueText = line.substr(cut);
  } else if (answer[at - 1] == 'g') {
    if (answer.find("error") != std::string::npos)
      return false;
    const size_t lineStart = view.find('\n');
    if (lineStart == std::string_view::npos)
      return false;
    const std::string_view rest = view.substr(lineStart + 1);
    valueText = rest.substr(0, rest.find('\n'));
    // A camera that answers nothing sends the prompt where the values belong.
    if (valueText == ">")
      return false;
  } else {
    return false;
  }

  std::vector<std::string_view> words = blankWords(valueText);
  const size_t count = std::min<size_t>(words.size(), entry->valueCount);
  for (size_t i = 0; i < count; ++i) {
    entry->intValues[i] = parseCacheInt(words[i]);
    entry->floatValues[i] = static_cast<float>(parseCacheReal(words[i]));
  }
  return count > 0;
}

std::string ParameterCache::commandLine(const ParameterEntry& entry) {
  std::string line = "s" + entry.name;
  char number[64];
  for (size_t i = 0; i < entry.valueCount; ++i) {
    if (entry.isFloat)
      std::snprintf(number, sizeof number, " %0.5f", static_cast<double>(entry.floatValues[i]));
    else
      std::snprintf(number, sizeof number, " %d", entry.intValues[i]);
    line += number;
  }
  return line;
}

} // namespace kelpax
