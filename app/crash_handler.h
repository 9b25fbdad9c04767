// Last words of a crashing program: a dump file beside the program, the exception code on
// stderr and, where there is a display, in a message box shown by a fresh process.
#pragma once

#include <cstdint>
#include <string>

namespace kelpax {

// The argument that makes the program show a crash message box and exit:
//   <program> --crash-message <caption> <text>
inline constexpr char kCrashMessageArgument[] = "--crash-message";

struct CrashHandlerOptions {
  // File name of the dump ("NodeviewDump.dmp" for the feature browser library).
  std::string dumpName = "KelpaxDump.dmp";
  // Folder of the dump; empty means the folder of the running program.
  std::string dumpFolder;
  // Show the message box (only honoured when DISPLAY or WAYLAND_DISPLAY is set).
  bool showMessageBox = false;
  // Program started with kCrashMessageArgument; empty means the running program itself.
  std::string messageProgram;
};

// Installs the handler for SIGSEGV, SIGBUS, SIGFPE, SIGILL and SIGABRT on an alternate stack.
// Every path and argument is prepared here; the handler itself allocates nothing.
// Returns false if a handler could not be installed. Installing again replaces the settings.
bool installCrashHandler(const CrashHandlerOptions& options);

// The dump file's full path as installed, empty before installCrashHandler.
std::string crashDumpPath();

// The Windows exception code reported for a signal and its si_code.
std::uint32_t exceptionCodeForSignal(int signal, int code);

} // namespace kelpax
