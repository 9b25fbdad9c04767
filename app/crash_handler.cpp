// Crash handling: everything the signal handler touches is prepared at install time, and the
// handler uses only async-signal-safe calls (open, write, fork, execve, waitpid, sigaction).
#include "app/crash_handler.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string_view>
#include <system_error>

#include <execinfo.h>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include "camera/program_folder.h"

extern char** environ;

namespace kelpax {
namespace {

constexpr int kHandledSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT};
constexpr std::size_t kPathCapacity = 4096;
constexpr int kMaxFrames = 64;

constexpr std::uint32_t kAccessViolation = 0xc0000005;
constexpr std::uint32_t kInPageError = 0xc0000006;
constexpr std::uint32_t kIntegerDivideByZero = 0xc0000094;
constexpr std::uint32_t kFloatDivideByZero = 0xc000008e;
constexpr std::uint32_t kIllegalInstruction = 0xc000001d;
constexpr std::uint32_t kFatalAppExit = 0x40000015;

// Filled by installCrashHandler, read only by the handler.
struct Prepared {
  char dumpPath[kPathCapacity] = {};
  char program[kPathCapacity] = {};
  char messageText[64] = {};
  char* messageArgv[5] = {};
  bool showMessageBox = false;
};
Prepared prepared;

// The alternate stack must outlive every thread that may crash; it is never freed.
char* alternateStack = nullptr;
std::size_t alternateStackSize = 0;

// Small writer over a file descriptor; nothing here allocates.
class SafeWriter {
public:
  explicit SafeWriter(int fd) : fd_(fd) {}

  void text(const char* s) { raw(s, std::strlen(s)); }

  void hex(std::uintptr_t value, int digits) {
    char buffer[2 + 2 * sizeof(value)];
    buffer[0] = '0';
    buffer[1] = 'x';
    for (int i = 0; i < digits; ++i) {
      buffer[2 + i] = "0123456789abcdef"[(value >> (4 * (digits - 1 - i))) & 0xf];
    }
    raw(buffer, 2 + digits);
  }

  void decimal(long value) {
    char buffer[24];
    int pos = sizeof buffer;
    bool negative = value < 0;
    unsigned long magnitude = negative ? 0UL - static_cast<unsigned long>(value) : value;
    do {
      buffer[--pos] = static_cast<char>('0' + magnitude % 10);
      magnitude /= 10;
    } while (magnitude != 0);
    if (negative) {
      buffer[--pos] = '-';
    }
    raw(buffer + pos, sizeof buffer - pos);
  }

private:
  void raw(const char* data, std::size_t size) {
    while (size > 0) {
      ssize_t n = ::write(fd_, data, size);
      if (n < 0 && errno == EINTR) {
        continue;
      }
      if (n <= 0) {
        return;
      }
      data += n;
      size -= static_cast<std::size_t>(n);
    }
  }

  int fd_;
};

const char* signalName(int signal) {
  switch (signal) {
  case SIGSEGV:
    return "SIGSEGV";
  case SIGBUS:
    return "SIGBUS";
  case SIGFPE:
    return "SIGFPE";
  case SIGILL:
    return "SIGILL";
  case SIGABRT:
    return "SIGABRT";
  default:
    return "signal";
  }
}

// "Exception Code 0x%08x arised !!" without printf.
void formatMessage(char (&out)[64], std::uint32_t code) {
  constexpr char kHead[] = "Exception Code 0x";
  constexpr char kTail[] = " arised !!";
  std::size_t pos = 0;
  for (char c : std::string_view(kHead)) {
    out[pos++] = c;
  }
  for (int i = 7; i >= 0; --i) {
    out[pos++] = "0123456789abcdef"[(code >> (4 * i)) & 0xf];
  }
  for (char c : std::string_view(kTail)) {
    out[pos++] = c;
  }
  out[pos] = '\0';
}

void writeDump(int signal, const siginfo_t* info, std::uint32_t code) {
  int fd = ::open(prepared.dumpPath, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) {
    return;
  }
  SafeWriter out(fd);
  out.text("Signal: ");
  out.decimal(signal);
  out.text(" (");
  out.text(signalName(signal));
  out.text(")\nCode: ");
  out.decimal(info ? info->si_code : 0);
  if (info && info->si_code <= 0) {
    // Sent with kill(), raise() or abort(): there is no fault address, only a sender.
    out.text("\nSent by process: ");
    out.decimal(info->si_pid);
  } else {
    out.text("\nAddress: ");
    out.hex(reinterpret_cast<std::uintptr_t>(info ? info->si_addr : nullptr),
            2 * sizeof(std::uintptr_t));
  }
  out.text("\nException code: ");
  out.hex(code, 8);
  out.text("\nProcess: ");
  out.decimal(::getpid());
  out.text("\nBacktrace:\n");
  void* frames[kMaxFrames];
  int count = ::backtrace(frames, kMaxFrames);
  ::backtrace_symbols_fd(frames, count, fd);
  ::close(fd);
}

void showMessageBox() {
  pid_t child = ::fork();
  if (child == 0) {
    ::execve(prepared.program, prepared.messageArgv, environ);
    ::_exit(127);
  }
  if (child > 0) {
    // The box is modal for the crashed program too: wait until it is closed.
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
  }
}

void onCrash(int signal, siginfo_t* info, void*) {
  int savedErrno = errno;
  std::uint32_t code = exceptionCodeForSignal(signal, info ? info->si_code : 0);
  writeDump(signal, info, code);

  formatMessage(prepared.messageText, code);
  SafeWriter err(STDERR_FILENO);
  err.text(prepared.messageText);
  err.text("\n");
  if (prepared.showMessageBox) {
    showMessageBox();
  }

  // End with the signal itself: a faulting instruction faults again on return, and a raised
  // signal stays pending until the handler returns.
  struct sigaction restore {};
  restore.sa_handler = SIG_DFL;
  sigemptyset(&restore.sa_mask);
  ::sigaction(signal, &restore, nullptr);
  errno = savedErrno;
  ::raise(signal);
}

bool copyInto(char (&target)[kPathCapacity], const std::string& source) {
  if (source.size() >= kPathCapacity) {
    return false;
  }
  std::memcpy(target, source.c_str(), source.size() + 1);
  return true;
}

} // namespace

std::uint32_t exceptionCodeForSignal(int signal, int code) {
  switch (signal) {
  case SIGSEGV:
    return kAccessViolation;
  case SIGBUS:
    return kInPageError;
  case SIGFPE:
    switch (code) {
    case FPE_FLTDIV:
    case FPE_FLTOVF:
    case FPE_FLTUND:
    case FPE_FLTRES:
    case FPE_FLTINV:
    case FPE_FLTSUB:
      return kFloatDivideByZero;
    default:
      return kIntegerDivideByZero;
    }
  case SIGILL:
    return kIllegalInstruction;
  case SIGABRT:
    return kFatalAppExit;
  default:
    return kAccessViolation;
  }
}

std::string crashDumpPath() {
  return prepared.dumpPath;
}

bool installCrashHandler(const CrashHandlerOptions& options) {
  std::string folder = options.dumpFolder.empty() ? programFolder() : options.dumpFolder;
  std::string program = options.messageProgram;
  if (program.empty()) {
    std::error_code error;
    program = std::filesystem::read_symlink("/proc/self/exe", error).string();
  }
  const std::string dumpPath = (std::filesystem::path(folder) / options.dumpName).string();
  if (!copyInto(prepared.dumpPath, dumpPath) || !copyInto(prepared.program, program)) {
    return false;
  }
  prepared.messageArgv[0] = prepared.program;
  prepared.messageArgv[1] = const_cast<char*>(kCrashMessageArgument);
  prepared.messageArgv[2] = prepared.dumpPath;
  prepared.messageArgv[3] = prepared.messageText;
  prepared.messageArgv[4] = nullptr;
  prepared.showMessageBox =
      options.showMessageBox && !program.empty() &&
      (std::getenv("DISPLAY") != nullptr || std::getenv("WAYLAND_DISPLAY") != nullptr);

  // Loads the unwinder now: the first backtrace() would otherwise dlopen libgcc_s in the
  // handler.
  void* warmUp[4];
  ::backtrace(warmUp, 4);

  if (alternateStack == nullptr) {
    alternateStackSize = std::max<std::size_t>(SIGSTKSZ, 64 * 1024);
    alternateStack = new char[alternateStackSize];
  }
  stack_t stack{};
  stack.ss_sp = alternateStack;
  stack.ss_size = alternateStackSize;
  if (::sigaltstack(&stack, nullptr) != 0) {
    return false;
  }

  struct sigaction action {};
  action.sa_sigaction = onCrash;
  action.sa_flags = SA_SIGINFO | SA_ONSTACK;
  sigemptyset(&action.sa_mask);
  for (int signal : kHandledSignals) {
    if (::sigaction(signal, &action, nullptr) != 0) {
      return false;
    }
  }
  return true;
}

} // namespace kelpax
