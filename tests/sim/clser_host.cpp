// A Camera Link host as frame-grabber tools and aggregators are written: it knows only the
// serial API's C entry points and status codes, loads a serial library by its file name, asks
// one camera for its model name and exits with the port still open, leaving the close to its
// exit-time clean-up.
//
//   clser_host LIBRARY MODEL     exit status 0 when every step behaved as the API says
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <dlfcn.h>

namespace {

// Status codes of the Camera Link serial API.
constexpr int32_t CL_ERR_NO_ERR = 0;
constexpr int32_t CL_ERR_BUFFER_TOO_SMALL = -10001;
constexpr int32_t CL_ERR_TIMEOUT = -10004;

using clGetManufacturerInfo_t = int32_t (*)(int8_t*, uint32_t*, uint32_t*);
using clGetNumSerialPorts_t = int32_t (*)(uint32_t*);
using clGetSerialPortIdentifier_t = int32_t (*)(uint32_t, int8_t*, uint32_t*);
using clSerialInit_t = int32_t (*)(uint32_t, void**);
using clSerialWrite_t = int32_t (*)(void*, int8_t*, uint32_t*, uint32_t);
using clSerialRead_t = int32_t (*)(void*, int8_t*, uint32_t*, uint32_t);
using clGetNumBytesAvail_t = int32_t (*)(void*, uint32_t*);
using clSerialClose_t = void (*)(void*);
using clGetErrorText_t = int32_t (*)(int32_t, int8_t*, uint32_t*);

struct SerialApi {
  clGetManufacturerInfo_t getManufacturerInfo = nullptr;
  clGetNumSerialPorts_t getNumSerialPorts = nullptr;
  clGetSerialPortIdentifier_t getSerialPortIdentifier = nullptr;
  clSerialInit_t serialInit = nullptr;
  clSerialWrite_t serialWrite = nullptr;
  clSerialRead_t serialRead = nullptr;
  clGetNumBytesAvail_t getNumBytesAvail = nullptr;
  clSerialClose_t serialClose = nullptr;
  clGetErrorText_t getErrorText = nullptr;
};

SerialApi api;
int failures = 0;

// Ports still open when main returns, closed the way aggregators do it: from a static object's
// destructor. It is built before the library is loaded, so it is torn down after the
// library's own static objects.
struct OpenPorts {
  std::vector<void*> refs;
  ~OpenPorts() {
    for (void* ref : refs)
      api.serialClose(ref);
  }
} openPorts;

// Bytes as text for a message: CR and LF spelled out.
std::string printable(const std::string& bytes) {
  std::string out;
  for (char c : bytes)
    out += c == '\r' ? "\\r" : c == '\n' ? "\\n" : std::string(1, c);
  return out;
}

void fail(const std::string& what) {
  std::fprintf(stderr, "clser_host: FAILED: %s\n", what.c_str());
  ++failures;
}

std::string errorText(int32_t code) {
  int8_t text[128] = {};
  uint32_t size = sizeof text;
  if (!api.getErrorText || api.getErrorText(code, text, &size) != CL_ERR_NO_ERR)
    return std::to_string(code);
  return std::to_string(code) + " (" + reinterpret_cast<const char*>(text) + ")";
}

// Expects a status; says which step gave which instead.
bool expectStatus(const char* step, int32_t got, int32_t wanted) {
  if (got == wanted)
    return true;
  fail(std::string(step) + " returned " + errorText(got) + ", expected " + errorText(wanted));
  return false;
}

template <typename F> bool bind(void* library, const char* name, F& function) {
  function = reinterpret_cast<F>(dlsym(library, name));
  if (!function)
    fail(std::string("the library lacks ") + name);
  return function != nullptr;
}

// Texts come back in two calls: the first, without a buffer, says how much room they need.
std::string portIdentifier(uint32_t index) {
  uint32_t size = 0;
  if (!expectStatus("clGetSerialPortIdentifier (size)",
                    api.getSerialPortIdentifier(index, nullptr, &size), CL_ERR_BUFFER_TOO_SMALL))
    return {};
  std::vector<int8_t> text(size);
  if (!expectStatus("clGetSerialPortIdentifier",
                    api.getSerialPortIdentifier(index, text.data(), &size), CL_ERR_NO_ERR))
    return {};
  if (size == 0 || text[size - 1] != 0) {
    fail("port identifier not NUL-terminated");
    return {};
  }
  return reinterpret_cast<const char*>(text.data());
}

constexpr int8_t kUntouched = 0x5a;

bool untouched(const std::vector<int8_t>& buffer, size_t from) {
  for (size_t i = from; i < buffer.size(); ++i)
    if (buffer[i] != kUntouched)
      return false;
  return true;
}

// One read of exactly the answer's length must bring the whole answer and nothing past it.
void readWholeAnswer(void* port, const std::string& answer) {
  std::vector<int8_t> buffer(answer.size() + 8, kUntouched);
  uint32_t size = static_cast<uint32_t>(answer.size());
  if (!expectStatus("clSerialRead of the whole answer",
                    api.serialRead(port, buffer.data(), &size, 2000), CL_ERR_NO_ERR))
    return;
  std::string got(reinterpret_cast<const char*>(buffer.data()), size);
  if (size != answer.size() || got != answer)
    fail("read " + std::to_string(size) + " bytes \"" + printable(got) + "\", expected \"" +
         printable(answer) + "\"");
  if (!untouched(buffer, answer.size()))
    fail("clSerialRead wrote past the count asked for");
}

// A read the camera cannot fill must wait out its time-out, copy nothing and report 0 bytes.
void readToTimeout(void* port, uint32_t wanted, uint32_t timeoutMs) {
  std::vector<int8_t> buffer(wanted, kUntouched);
  uint32_t size = wanted;
  const auto start = std::chrono::steady_clock::now();
  const int32_t status = api.serialRead(port, buffer.data(), &size, timeoutMs);
  const auto waited = std::chrono::steady_clock::now() - start;
  expectStatus("clSerialRead past the answer", status, CL_ERR_TIMEOUT);
  if (size != 0)
    fail("a timed-out read reports " + std::to_string(size) + " bytes");
  if (!untouched(buffer, 0))
    fail("a timed-out read copied bytes");
  if (waited < std::chrono::milliseconds(timeoutMs))
    fail("a timed-out read returned before its time-out");
}

void talkToCamera(void* port, const std::string& model) {
  char command[] = "gmn\r";
  uint32_t size = 4;
  if (!expectStatus("clSerialWrite",
                    api.serialWrite(port, reinterpret_cast<int8_t*>(command), &size, 1000),
                    CL_ERR_NO_ERR))
    return;
  const std::string answer = "gmn\r\n" + model + "\r\n>";
  readWholeAnswer(port, answer);
  readToTimeout(port, 8, 200);

  // Asked for more than the camera sends: the time-out, and the answer stays for a read that
  // fits it.
  if (!expectStatus("clSerialWrite",
                    api.serialWrite(port, reinterpret_cast<int8_t*>(command), &size, 1000),
                    CL_ERR_NO_ERR))
    return;
  readToTimeout(port, static_cast<uint32_t>(answer.size()) + 1, 300);
  uint32_t waiting = 0;
  expectStatus("clGetNumBytesAvail", api.getNumBytesAvail(port, &waiting), CL_ERR_NO_ERR);
  if (waiting != answer.size())
    fail(std::to_string(waiting) + " bytes waiting after a timed-out read, expected " +
         std::to_string(answer.size()));
  readWholeAnswer(port, answer);
}

} // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: clser_host LIBRARY MODEL\n");
    return 2;
  }
  void* library = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
  if (!library) {
    std::fprintf(stderr, "clser_host: cannot load %s: %s\n", argv[1], dlerror());
    return 1;
  }
  bool bound = bind(library, "clGetManufacturerInfo", api.getManufacturerInfo);
  bound &= bind(library, "clGetNumSerialPorts", api.getNumSerialPorts);
  bound &= bind(library, "clGetSerialPortIdentifier", api.getSerialPortIdentifier);
  bound &= bind(library, "clSerialInit", api.serialInit);
  bound &= bind(library, "clSerialWrite", api.serialWrite);
  bound &= bind(library, "clSerialRead", api.serialRead);
  bound &= bind(library, "clGetNumBytesAvail", api.getNumBytesAvail);
  bound &= bind(library, "clSerialClose", api.serialClose);
  bound &= bind(library, "clGetErrorText", api.getErrorText);
  if (!bound)
    return 1;

  int8_t maker[64] = {};
  uint32_t makerSize = sizeof maker;
  uint32_t version = 0;
  if (expectStatus("clGetManufacturerInfo", api.getManufacturerInfo(maker, &makerSize, &version),
                   CL_ERR_NO_ERR))
    std::printf("maker \"%s\", interface version %u\n", reinterpret_cast<char*>(maker), version);

  uint32_t count = 0;
  expectStatus("clGetNumSerialPorts", api.getNumSerialPorts(&count), CL_ERR_NO_ERR);
  for (uint32_t i = 0; i < count; ++i)
    std::printf("port %u: %s\n", i, portIdentifier(i).c_str());
  if (count == 0) {
    fail("the library has no ports");
    return 1;
  }

  void* port = nullptr;
  if (!expectStatus("clSerialInit", api.serialInit(0, &port), CL_ERR_NO_ERR))
    return 1;
  openPorts.refs.push_back(port);
  talkToCamera(port, argv[2]);

  if (failures > 0)
    return 1;
  std::printf("ok: port 0 left open for the exit-time clean-up\n");
  return 0;
}
