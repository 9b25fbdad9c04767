// portlist.ini: reading keys and device paths from any file, then writing a key and reading
// it back (the read must see what the write stored, and a second write must change nothing).
#include <string>
#include <string_view>
#include <unordered_set>

#include "camera/file_io.h"
#include "link/port_settings.h"
#include "tests/fuzz/fuzz_check.h"
#include "tests/fuzz/scratch_folder.h"

using namespace kelpax;

namespace {

std::string contents(const std::string& path) {
  std::string text;
  readFileBounded(path, PortSettings::kMaxFileSize * 2, text);
  return text;
}

// A key as the program writes them: a port name or one of its own keys; never empty, never a
// comment, no "=" or control bytes, not only blanks.
bool usableKey(std::string_view key) {
  if (key.empty() || key.front() == ':')
    return false;
  bool visible = false;
  for (char c : key) {
    const auto u = static_cast<unsigned char>(c);
    if (c == '=' || u < 0x20 || u == 0x7f)
      return false;
    visible = visible || c != ' ';
  }
  return visible;
}

void checkWrite(PortSettings& settings, std::string_view key, std::string_view value) {
  settings.WritePortSetting(key, value);
  const std::string once = contents(settings.path());
  FUZZ_CHECK(settings.ReadPortSetting(key).starts_with(value));
  settings.WritePortSetting(key, value);
  FUZZ_CHECK(contents(settings.path()) == once);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  PortSettings settings(fuzz::scratchFolder());
  if (!writeFileAtomically(settings.path(), text))
    std::abort();

  for (const char* key : {kInterfaceModeKey, kBaudRateKey, "/tmp/ttyCAM0", ""}) {
    const std::string value = settings.ReadPortSetting(key);
    FUZZ_CHECK(value.find_first_of("\t\r\n") == std::string::npos);
    interfaceModeFromSetting(value);
    baudChoiceFromSetting(value);
  }
  std::unordered_set<std::string> seen;
  for (const std::string& path : settings.devicePathKeys()) {
    FUZZ_CHECK(path.size() > 1 && path.front() == '/');
    FUZZ_CHECK(seen.insert(path).second);
  }

  // A file too large to read is never rewritten, and no write grows one past that size.
  if (size + 256 > PortSettings::kMaxFileSize) {
    settings.WritePortSetting(kBaudRateKey, "AUTO");
    const std::string after = contents(settings.path());
    FUZZ_CHECK(size > PortSettings::kMaxFileSize ? after == text
                                                 : after.size() <= PortSettings::kMaxFileSize);
    return 0;
  }
  checkWrite(settings, kBaudRateKey, "AUTO");
  checkWrite(settings, kInterfaceModeKey, "2");
  // The file's first line, up to its "=", as a key of its own.
  const std::string_view first = text.substr(0, text.find_first_of("=\n"));
  if (usableKey(first))
    checkWrite(settings, first, "1");
  return 0;
}
