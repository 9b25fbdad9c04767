// libclsersim.so: a Camera Link serial library whose ports are simulated cameras.
//
// Ports come from KELPAX_SIM_CAMERAS, one port per comma-separated item (unset means one
// Ko-25MC-C65, empty means none):
//   MODEL        a camera at the rate of KELPAX_SIM_BAUD (default 9600);
//   MODEL@RATE   a camera at its own rate, e.g. "Ko-25MC-C65@9600,Ka-47M-M40@115200";
//   -            a port with no camera behind it: it takes every byte and never answers.
// A model of the "Kg" series (e.g. "Kg-12M-G40@115200") is a GenICam camera: it answers "gmn"
// and the other ASCII commands, and GenCP packets on the same line.
// A rate that is not a positive whole number is reported on stderr and the default applies.
// Faults come from KELPAX_SIM_FAULTS and KELPAX_SIM_PACING=0 turns pacing off; all are read on
// first use and again after clsersimReset(). Writes feed the camera at once; a read waits
// until as many bytes as asked for have arrived (then hands out exactly those) or the time-out
// has passed (then hands out nothing and leaves what came in queued). A camera keeps its
// settings and its line rate ("sbr" changes it) while the library is loaded; each open of a
// port is a new link (boot message, close-after count) with the grabber at 9600 until
// clSetBaudRate.
//
// Port names start with the library's own file name ("libclsersim.so" gives "clsersim#0 ...",
// "clserkel.so" gives "clserkel#0 ..."), so copies loaded into one process name their ports
// apart; a second copy under the same file name is numbered ("clsersim-2#0 ...").
//
// Built three ways: with CLSERSIM_NO_BAUD the library lacks clFlushPort and clSetBaudRate,
// with CLSERSIM_NO_INIT it lacks clSerialInit, for testing how a loader copes.
#include <charconv>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <vector>

#include <dlfcn.h>
#include <link.h>

#include "GenApi/MemoryPort.h"
#include "clser_api.h"
#include "sim/camera_session.h"
#include "sim/faults.h"

#define CLSERSIM_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

using Clock = sim::CameraSession::Clock;

using clser::kNoError;

// Version code of the 1.1 serial interface, reported by clGetManufacturerInfo.
constexpr uint32_t kInterfaceVersion1_1 = 3;
constexpr const char* kManufacturer = "Kelpax camera simulator";
constexpr const char* kDefaultCamera = "Ko-25MC-C65";

struct BaudCode {
  uint32_t bit;
  int baud;
};
constexpr BaudCode kBaudCodes[] = {
    {1, 9600},    {2, 19200},   {4, 38400},   {8, 57600},
    {16, 115200}, {32, 230400}, {64, 460800}, {128, 921600},
};
constexpr uint32_t kSupportedBauds = 1 | 2 | 4 | 8 | 16;

struct ErrorText {
  int32_t code;
  const char* text;
};
constexpr ErrorText kErrorTexts[] = {
    {kNoError, "No error"},
    {clser::kErrBufferTooSmall, "Buffer too small"},
    {clser::kErrManuDoesNotExist, "Manufacturer does not exist"},
    {clser::kErrPortInUse, "Port in use"},
    {clser::kErrTimeout, "Time-out"},
    {clser::kErrInvalidIndex, "Invalid port index"},
    {clser::kErrInvalidReference, "Invalid port reference"},
    {clser::kErrErrorNotFound, "Error code not found"},
    {clser::kErrBaudRateNotSupported, "Baud rate not supported"},
    {clser::kErrOutOfMemory, "Out of memory"},
    {clser::kErrInvalidPtr, "Invalid pointer"},
};

struct Port {
  Port(std::string modelName, int baud, bool pacing)
      : model(modelName), hasCamera(!modelName.empty()),
        session(std::move(modelName), baud, pacing) {}

  std::string model; // empty on a port with no camera
  bool hasCamera;
  std::mutex mutex; // protects everything below
  std::condition_variable arrived;
  sim::CameraSession session;
  bool open = false;
  uintptr_t reference = 0;
  int pcBaud = 9600; // the grabber's rate, set by clSetBaudRate
};

struct Library {
  std::mutex mutex; // protects everything below; Port objects live until the next reset or
                    // an unloading with no port open
  bool loaded = false;
  std::string name; // the start of every port name
  std::vector<std::unique_ptr<Port>> ports;
  uintptr_t nextReference = 0x1000;
};

// Never destroyed: hosts close the ports they left open from their own exit-time clean-up,
// which may run after this library's static objects are gone. It lives in the library's own
// storage, so nothing of it outlives an unloading but the cameras, which releaseCameras()
// frees when no port is open.
Library& library() {
  alignas(Library) static unsigned char storage[sizeof(Library)];
  static Library* const instance = new (storage) Library;
  return *instance;
}

// Runs when the library is unloaded (dlclose, or the end of the process). A port still open
// keeps every camera, so that a host's later clSerialClose finds it; otherwise the cameras go
// and the next call makes them again from the environment.
__attribute__((destructor)) void releaseCameras() {
  Library& lib = library();
  std::lock_guard lock(lib.mutex);
  for (auto& port : lib.ports) {
    std::lock_guard portLock(port->mutex);
    if (port->open)
      return;
  }
  std::vector<std::unique_ptr<Port>>().swap(lib.ports);
  std::string().swap(lib.name);
  lib.loaded = false;
}

// A library file name without its folder, "lib", and ".so" with any version after it.
std::string_view fileStem(std::string_view path) {
  size_t slash = path.find_last_of('/');
  if (slash != std::string_view::npos)
    path.remove_prefix(slash + 1);
  if (path.starts_with("lib"))
    path.remove_prefix(3);
  return path.substr(0, path.find(".so"));
}

struct CopyCount {
  std::string_view stem;
  uintptr_t self; // an address inside this copy
  int earlier = 0;
  bool found = false;
};

int countCopy(dl_phdr_info* info, size_t, void* data) {
  auto& count = *static_cast<CopyCount*>(data);
  if (!info->dlpi_name || fileStem(info->dlpi_name) != count.stem)
    return 0;
  for (int i = 0; i < info->dlpi_phnum; ++i) {
    const auto& segment = info->dlpi_phdr[i];
    uintptr_t start = info->dlpi_addr + segment.p_vaddr;
    if (segment.p_type == PT_LOAD && count.self >= start && count.self < start + segment.p_memsz) {
      count.found = true;
      return 1; // the objects are visited in load order; the ones before us are counted
    }
  }
  ++count.earlier;
  return 0;
}

// The name the ports of this copy of the library go by: its file stem, and "-N" for the Nth
// copy loaded under the same file name.
std::string libraryName() {
  constexpr const char* kFallback = "clsersim";
  Dl_info info{};
  void* self = reinterpret_cast<void*>(&libraryName);
  if (!dladdr(self, &info) || !info.dli_fname)
    return kFallback;
  std::string_view stem = fileStem(info.dli_fname);
  if (stem.empty())
    return kFallback;
  CopyCount count{stem, reinterpret_cast<uintptr_t>(self)};
  dl_iterate_phdr(countCopy, &count);
  std::string name(stem);
  if (count.found && count.earlier > 0)
    name += "-" + std::to_string(count.earlier + 1);
  return name;
}

constexpr int kDefaultBaud = 9600;
constexpr const char* kNoCamera = "-";

// A line rate in bits per second: digits only, above zero.
bool parseBaud(std::string_view text, int& out) {
  int value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || ec != std::errc() || end != text.data() + text.size() || value <= 0)
    return false;
  out = value;
  return true;
}

int envBaud() {
  const char* text = std::getenv("KELPAX_SIM_BAUD");
  if (!text || !*text)
    return kDefaultBaud;
  int baud = kDefaultBaud;
  if (!parseBaud(text, baud))
    std::fprintf(stderr, "clsersim: KELPAX_SIM_BAUD \"%s\" is not a rate; %d applies\n", text,
                 kDefaultBaud);
  return baud;
}

std::string_view trim(std::string_view text) {
  while (!text.empty() && text.front() == ' ')
    text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ')
    text.remove_suffix(1);
  return text;
}

// Reads the environment and makes the ports. Library::mutex must be held.
void loadLocked(Library& lib) {
  if (lib.loaded)
    return;
  lib.loaded = true;
  lib.ports.clear();
  lib.name = libraryName();

  sim::Faults faults;
  if (const char* text = std::getenv("KELPAX_SIM_FAULTS")) {
    std::string error;
    if (!sim::parseFaults(text, faults, &error))
      std::fprintf(stderr, "clsersim: KELPAX_SIM_FAULTS ignored: %s\n", error.c_str());
  }
  const char* pacingText = std::getenv("KELPAX_SIM_PACING");
  bool pacing = !(pacingText && std::strcmp(pacingText, "0") == 0);
  const int defaultBaud = envBaud();

  const char* camerasText = std::getenv("KELPAX_SIM_CAMERAS");
  std::string_view cameras = camerasText ? camerasText : kDefaultCamera;
  size_t pos = 0;
  while (pos <= cameras.size()) {
    size_t comma = cameras.find(',', pos);
    if (comma == std::string_view::npos)
      comma = cameras.size();
    std::string_view item = trim(cameras.substr(pos, comma - pos));
    pos = comma + 1;
    if (item.empty())
      continue;
    int baud = defaultBaud;
    size_t at = item.find('@');
    std::string_view model = trim(item.substr(0, at));
    if (at != std::string_view::npos && !parseBaud(trim(item.substr(at + 1)), baud))
      std::fprintf(stderr,
                   "clsersim: KELPAX_SIM_CAMERAS item \"%.*s\" has no valid rate; %d applies\n",
                   static_cast<int>(item.size()), item.data(), defaultBaud);
    if (model.empty()) {
      std::fprintf(stderr, "clsersim: KELPAX_SIM_CAMERAS item \"%.*s\" names no model; skipped\n",
                   static_cast<int>(item.size()), item.data());
      continue;
    }
    if (model == kNoCamera) {
      lib.ports.push_back(std::make_unique<Port>(std::string(), baud, pacing));
      continue;
    }
    auto port = std::make_unique<Port>(std::string(model), baud, pacing);
    port->session.setFaults(faults);
    lib.ports.push_back(std::move(port));
  }
}

Port* portAt(uint32_t index) {
  Library& lib = library();
  std::lock_guard lock(lib.mutex);
  loadLocked(lib);
  return index < lib.ports.size() ? lib.ports[index].get() : nullptr;
}

// The open port behind a reference, locked; nullptr (and no lock) if there is none.
std::unique_lock<std::mutex> lockPort(void* serialRef, Port*& port) {
  port = nullptr;
  uintptr_t reference = reinterpret_cast<uintptr_t>(serialRef);
  Library& lib = library();
  std::lock_guard lock(lib.mutex);
  if (reference == 0)
    return {};
  for (auto& candidate : lib.ports) {
    std::unique_lock portLock(candidate->mutex);
    if (candidate->open && candidate->reference == reference) {
      port = candidate.get();
      return portLock;
    }
  }
  return {};
}

// Copies a text with its terminating NUL, or says how much room it needs.
int32_t copyText(const std::string& text, int8_t* buffer, uint32_t* bufferSize) {
  if (!bufferSize)
    return clser::kErrInvalidPtr;
  uint32_t needed = static_cast<uint32_t>(text.size() + 1);
  if (!buffer || *bufferSize < needed) {
    *bufferSize = needed;
    return clser::kErrBufferTooSmall;
  }
  std::memcpy(buffer, text.c_str(), needed);
  *bufferSize = needed;
  return kNoError;
}

} // namespace

CLSERSIM_EXPORT int32_t clGetNumSerialPorts(uint32_t* numSerialPorts) {
  if (!numSerialPorts)
    return clser::kErrInvalidPtr;
  Library& lib = library();
  std::lock_guard lock(lib.mutex);
  loadLocked(lib);
  *numSerialPorts = static_cast<uint32_t>(lib.ports.size());
  return kNoError;
}

CLSERSIM_EXPORT int32_t clGetManufacturerInfo(int8_t* manufacturerName, uint32_t* bufferSize,
                                              uint32_t* version) {
  if (!version)
    return clser::kErrInvalidPtr;
  *version = kInterfaceVersion1_1;
  return copyText(kManufacturer, manufacturerName, bufferSize);
}

CLSERSIM_EXPORT int32_t clGetSerialPortIdentifier(uint32_t serialIndex, int8_t* type,
                                                  uint32_t* bufferSize) {
  std::string name;
  {
    Library& lib = library();
    std::lock_guard lock(lib.mutex);
    loadLocked(lib);
    if (serialIndex >= lib.ports.size())
      return clser::kErrInvalidIndex;
    const Port& port = *lib.ports[serialIndex];
    name = lib.name + "#" + std::to_string(serialIndex) + " " +
           (port.hasCamera ? port.model : "(no camera)");
  }
  return copyText(name, type, bufferSize);
}

#ifndef CLSERSIM_NO_INIT
CLSERSIM_EXPORT int32_t clSerialInit(uint32_t serialIndex, void** serialRefPtr) {
  if (!serialRefPtr)
    return clser::kErrInvalidPtr;
  Library& lib = library();
  std::lock_guard lock(lib.mutex);
  loadLocked(lib);
  if (serialIndex >= lib.ports.size())
    return clser::kErrInvalidIndex;
  Port& port = *lib.ports[serialIndex];
  std::lock_guard portLock(port.mutex);
  if (port.open)
    return clser::kErrPortInUse;
  port.open = true;
  port.reference = lib.nextReference++;
  port.pcBaud = kDefaultBaud;
  if (port.hasCamera)
    port.session.open(Clock::now());
  *serialRefPtr = reinterpret_cast<void*>(port.reference);
  return kNoError;
}
#endif

CLSERSIM_EXPORT void clSerialClose(void* serialRef) {
  Port* port = nullptr;
  auto lock = lockPort(serialRef, port);
  if (!port)
    return;
  port->open = false;
  port->reference = 0;
  port->arrived.notify_all();
}

CLSERSIM_EXPORT int32_t clSerialWrite(void* serialRef, int8_t* buffer, uint32_t* bufferSize,
                                      uint32_t /*serialTimeout*/) {
  Port* port = nullptr;
  auto lock = lockPort(serialRef, port);
  if (!port)
    return clser::kErrInvalidReference;
  if (!buffer || !bufferSize)
    return clser::kErrInvalidPtr;
  if (!port->hasCamera)
    return kNoError; // nobody there to hear it
  Clock::time_point now = Clock::now();
  if (port->session.linkDown(now))
    return clser::kErrInvalidReference;
  port->session.write(std::string_view(reinterpret_cast<const char*>(buffer), *bufferSize),
                      port->pcBaud, now);
  port->arrived.notify_all();
  return kNoError;
}

// Returns once the count asked for has arrived, with exactly that many bytes; at the time-out
// it copies nothing, sets the count to 0 and leaves the bytes that did come queued for the
// next read. A link the camera dropped ends the wait at once when the bytes at hand fall short.
CLSERSIM_EXPORT int32_t clSerialRead(void* serialRef, int8_t* buffer, uint32_t* bufferSize,
                                     uint32_t serialTimeout) {
  Port* port = nullptr;
  auto lock = lockPort(serialRef, port);
  if (!port)
    return clser::kErrInvalidReference;
  if (!buffer || !bufferSize)
    return clser::kErrInvalidPtr;
  const uint32_t wanted = *bufferSize;
  *bufferSize = 0;
  if (wanted == 0)
    return kNoError;

  const uintptr_t reference = port->reference;
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(serialTimeout);
  for (;;) {
    Clock::time_point now = Clock::now();
    if (port->session.available(now) >= wanted) {
      std::string bytes = port->session.read(now, wanted);
      std::memcpy(buffer, bytes.data(), bytes.size());
      *bufferSize = static_cast<uint32_t>(bytes.size());
      return kNoError;
    }
    if (port->session.linkDown(now))
      return clser::kErrInvalidReference;
    if (now >= deadline)
      return clser::kErrTimeout;
    // Sleep until the next byte arrives or the time-out, whichever is first; a write from
    // another thread wakes us to look again.
    Clock::time_point wakeAt = deadline;
    if (auto next = port->session.nextArrival(now))
      wakeAt = std::min(wakeAt, *next);
    port->arrived.wait_until(lock, wakeAt);
    if (!port->open || port->reference != reference)
      return clser::kErrInvalidReference;
  }
}

CLSERSIM_EXPORT int32_t clGetNumBytesAvail(void* serialRef, uint32_t* numBytes) {
  Port* port = nullptr;
  auto lock = lockPort(serialRef, port);
  if (!port)
    return clser::kErrInvalidReference;
  if (!numBytes)
    return clser::kErrInvalidPtr;
  *numBytes = static_cast<uint32_t>(port->session.available(Clock::now()));
  return kNoError;
}

#ifndef CLSERSIM_NO_BAUD
CLSERSIM_EXPORT int32_t clFlushPort(void* serialRef) {
  Port* port = nullptr;
  auto lock = lockPort(serialRef, port);
  if (!port)
    return clser::kErrInvalidReference;
  port->session.discardArrived(Clock::now());
  return kNoError;
}
#endif

CLSERSIM_EXPORT int32_t clGetSupportedBaudRates(void* serialRef, uint32_t* baudRates) {
  Port* port = nullptr;
  auto lock = lockPort(serialRef, port);
  if (!port)
    return clser::kErrInvalidReference;
  if (!baudRates)
    return clser::kErrInvalidPtr;
  *baudRates = kSupportedBauds;
  return kNoError;
}

#ifndef CLSERSIM_NO_BAUD
CLSERSIM_EXPORT int32_t clSetBaudRate(void* serialRef, uint32_t baudRate) {
  Port* port = nullptr;
  auto lock = lockPort(serialRef, port);
  if (!port)
    return clser::kErrInvalidReference;
  if ((baudRate & kSupportedBauds) == 0 || (baudRate & (baudRate - 1)) != 0)
    return clser::kErrBaudRateNotSupported;
  for (const BaudCode& code : kBaudCodes)
    if (code.bit == baudRate)
      port->pcBaud = code.baud;
  return kNoError;
}
#endif

CLSERSIM_EXPORT int32_t clGetErrorText(int32_t errorCode, int8_t* errorText,
                                       uint32_t* errorTextSize) {
  for (const ErrorText& entry : kErrorTexts)
    if (entry.code == errorCode)
      return copyText(entry.text, errorText, errorTextSize);
  return clser::kErrErrorNotFound;
}

CLSERSIM_EXPORT int32_t clsersimSetFaults(uint32_t serialIndex, const char* text) {
  if (!text)
    return clser::kErrInvalidPtr;
  sim::Faults faults;
  if (!sim::parseFaults(text, faults, nullptr))
    return clser::kErrInvalidPtr;
  Port* port = portAt(serialIndex);
  if (!port || !port->hasCamera)
    return clser::kErrInvalidIndex; // no camera there to show them
  std::lock_guard lock(port->mutex);
  port->session.setFaults(faults);
  return kNoError;
}

// For tests only: no other call may be running.
CLSERSIM_EXPORT void clsersimReset(void) {
  Library& lib = library();
  std::lock_guard lock(lib.mutex);
  lib.ports.clear();
  lib.loaded = false;
}

// For tests only: copies register bytes of the GenCP camera on a port, as they lie in its
// memory (big-endian registers stay big-endian).
CLSERSIM_EXPORT int32_t clsersimPeekRegister(uint32_t serialIndex, uint64_t address,
                                             uint8_t* buffer, uint32_t length) {
  if (!buffer)
    return clser::kErrInvalidPtr;
  Port* port = portAt(serialIndex);
  if (!port || !port->hasCamera)
    return clser::kErrInvalidIndex;
  std::lock_guard lock(port->mutex);
  sim::GenCpDevice* gencp = port->session.camera().gencp();
  if (!gencp)
    return clser::kErrInvalidIndex;
  try {
    gencp->memory().peek(address, buffer, length);
  } catch (const std::exception&) {
    return clser::kErrInvalidPtr;
  }
  return kNoError;
}
