// Port enumeration: libserialport for PC serial ports, folder search plus the serial
// library's own port list for Camera Link.
#include "link/port_search.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <set>
#include <system_error>

#include <libserialport.h>

#include "camera/debug_output.h"
#include "camera/program_folder.h"
#include "link/model_list.h"

namespace kelpax {
namespace fs = std::filesystem;

namespace {

const char* const kStandardFolders[] = {
    "/opt/cameralink/serial",
    "/usr/local/lib/cameralink/serial",
    "/usr/lib/cameralink/serial",
};

bool isClserLibraryName(std::string_view name) {
  if (name.starts_with("lib")) {
    name.remove_prefix(3);
  }
  if (!name.starts_with("clser")) {
    return false;
  }
  size_t so = name.find(".so");
  return so != std::string_view::npos && (so + 3 == name.size() || name[so + 3] == '.');
}

bool equalsNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

} // namespace

std::vector<std::string> clserSearchFolders() {
  std::vector<std::string> folders(std::begin(kStandardFolders), std::end(kStandardFolders));
  const std::string own = programFolder();
  if (!own.empty()) {
    folders.push_back(own);
  }
  if (const char* extra = std::getenv("CLSERIALPATH")) {
    std::string_view rest(extra);
    while (!rest.empty()) {
      size_t colon = rest.find(':');
      std::string folder(rest.substr(0, colon));
      if (!folder.empty() && std::find(folders.begin(), folders.end(), folder) == folders.end()) {
        folders.push_back(folder);
      }
      if (colon == std::string_view::npos) {
        break;
      }
      rest.remove_prefix(colon + 1);
    }
  }
  return folders;
}

std::vector<std::string> findClserLibraries(const std::vector<std::string>& folders) {
  std::vector<std::string> taken;
  std::set<std::string> takenNames;
  for (const std::string& folder : folders) {
    std::error_code ec;
    std::vector<fs::path> found;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
      const std::string name = it->path().filename().string();
      if (isClserLibraryName(name) && it->is_regular_file(ec)) {
        found.push_back(it->path());
      }
    }
    std::sort(found.begin(), found.end());
    for (const fs::path& path : found) {
      if (takenNames.insert(path.filename().string()).second) {
        taken.push_back(path.string());
      }
    }
  }
  return taken;
}

std::string libraryMakerCode(std::string_view path) {
  std::string_view name = path.substr(path.find_last_of('/') + 1);
  if (name.starts_with("lib")) {
    name.remove_prefix(3);
  }
  if (name.starts_with("clser")) {
    name.remove_prefix(5);
  }
  size_t so = name.find(".so");
  return std::string(name.substr(0, so));
}

int EnumClserPorts(CameraPort& port, const std::vector<std::string>& libraries) {
  int added = 0;
  for (const std::string& library : libraries) {
    const int bits = port.LoadClserLibrary(library);
    if (bits == 0) {
      continue;
    }
    uint32_t count = 1;
    if (auto numPorts = port.clser().getNumSerialPorts) {
      if (numPorts(&count) != 0) {
        continue;
      }
    }
    for (uint32_t index = 0; index < count; ++index) {
      std::string identifier = library;
      if (auto getId = port.clser().getSerialPortIdentifier) {
        int8_t buffer[128] = {};
        uint32_t size = sizeof buffer;
        if (getId(index, buffer, &size) == 0) {
          size = std::min<uint32_t>(size, sizeof buffer);
          const char* text = reinterpret_cast<const char*>(buffer);
          identifier.assign(text, strnlen(text, size));
        }
      }
      if (equalsNoCase(identifier, "COM1")) {
        continue;
      }
      PortEntry entry;
      entry.isLibrary = 1;
      entry.maker = makerFromLibraryName(library);
      entry.portName = identifier;
      entry.libraryPath = library;
      entry.portIndex = index;
      if (!port.addPort(entry)) {
        return added;
      }
      ++added;
    }
  }
  return added;
}

std::vector<std::string> systemComPorts() {
  std::vector<std::string> names;
  struct sp_port** list = nullptr;
  if (sp_list_ports(&list) != SP_OK) {
    debugOutput("EnumComPorts: the system lists no serial ports\n");
    return names;
  }
  for (int i = 0; list[i]; ++i) {
    names.emplace_back(sp_get_port_name(list[i]));
  }
  sp_free_port_list(list);
  return names;
}

int EnumComPorts(CameraPort& port, const std::vector<std::string>& names) {
  int added = 0;
  for (const std::string& name : names) {
    if (name.empty() || equalsNoCase(name, "COM1")) {
      continue;
    }
    bool listed = false;
    for (int i = 0; i < port.portCount() && !listed; ++i) {
      const PortEntry& e = port.ports()[size_t(i)];
      listed = !e.isLibrary && e.portName == name;
    }
    if (listed) {
      continue;
    }
    PortEntry entry;
    entry.portName = name;
    if (!port.addPort(entry)) {
      break;
    }
    ++added;
  }
  return added;
}

int EnumComPorts(CameraPort& port) {
  return EnumComPorts(port, systemComPorts());
}

} // namespace kelpax
