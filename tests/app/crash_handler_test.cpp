// The crash handler in a forked child that really faults: the dump file, the stderr line, the
// message-box program's arguments and the way the child ends.
#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include "app/crash_handler.h"

namespace kelpax {
namespace {

namespace fs = std::filesystem;

std::string readAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream content;
  content << in.rdbuf();
  return content.str();
}

// Faults the test children provoke. The sanitizers must not see them as their own findings,
// so none is a null dereference or a division the compiler can check.
void touchProtectedPage() {
  void* page = mmap(nullptr, 4096, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  *static_cast<volatile int*>(page) = 1;
}

// The division is written in assembly: the compiler may legally replace 1 / b by code that
// never traps, and the sanitizers would report it before the processor did.
void divideByZero() {
#if defined(__x86_64__)
  int quotient = 0;
  int remainder = 0;
  asm volatile("cltd\n\tidivl %2" : "=a"(quotient), "=d"(remainder) : "r"(0), "a"(1));
  (void)quotient;
  (void)remainder;
#else
  raise(SIGFPE); // other processors may not trap on integer division
#endif
}

struct ChildOutcome {
  pid_t pid = 0;
  int status = 0;
  std::string stderrText;
};

class CrashHandler : public ::testing::Test {
protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("kelpax-crash-" + std::to_string(getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  // Runs fault() in a child that installed the handler with options; stderr goes to a file.
  ChildOutcome crashChild(const CrashHandlerOptions& options, void (*fault)()) {
    const fs::path errPath = dir_ / "stderr.txt";
    pid_t child = fork();
    if (child == 0) {
      FILE* err = std::freopen(errPath.c_str(), "w", stderr);
      if (err == nullptr || !installCrashHandler(options)) {
        _exit(90);
      }
      fault();
      _exit(91); // reached only if the fault did not end the child
    }
    ChildOutcome outcome;
    outcome.pid = child;
    // A handler that returns without ending the process faults forever; give up after 10 s.
    for (int waited = 0; waitpid(child, &outcome.status, WNOHANG) == 0; ++waited) {
      if (waited == 1000) {
        kill(child, SIGKILL);
        waitpid(child, &outcome.status, 0);
        ADD_FAILURE() << "crashed child did not end within 10 s";
        break;
      }
      usleep(10000);
    }
    outcome.stderrText = readAll(errPath);
    return outcome;
  }

  CrashHandlerOptions optionsInDir() const {
    CrashHandlerOptions options;
    options.dumpFolder = dir_.string();
    return options;
  }

  fs::path dir_;
};

TEST_F(CrashHandler, AccessViolationWritesDumpAndMessageAndEndsWithSignal) {
  auto outcome = crashChild(optionsInDir(), touchProtectedPage);

  ASSERT_TRUE(WIFSIGNALED(outcome.status)) << "exit status " << outcome.status;
  EXPECT_EQ(WTERMSIG(outcome.status), SIGSEGV);
  EXPECT_NE(outcome.stderrText.find("Exception Code 0xc0000005 arised !!"), std::string::npos)
      << outcome.stderrText;

  const std::string dump = readAll(dir_ / "KelpaxDump.dmp");
  EXPECT_NE(dump.find("Signal: 11 (SIGSEGV)"), std::string::npos) << dump;
  EXPECT_NE(dump.find("Code: " + std::to_string(SEGV_ACCERR)), std::string::npos) << dump;
  EXPECT_NE(dump.find("Exception code: 0xc0000005"), std::string::npos) << dump;
  // The protected page's address is written, not a zero left by a missing si_addr.
  EXPECT_EQ(dump.find("Address: 0x0000000000000000"), std::string::npos) << dump;
  EXPECT_NE(dump.find("Address: 0x"), std::string::npos) << dump;
  EXPECT_NE(dump.find("Backtrace:\n"), std::string::npos) << dump;
  // At least a few frames follow, each naming the module it belongs to.
  const std::string frames = dump.substr(dump.find("Backtrace:\n"));
  EXPECT_GE(std::count(frames.begin(), frames.end(), '\n'), 3) << dump;
  EXPECT_NE(frames.find("["), std::string::npos) << dump;
}

TEST_F(CrashHandler, IntegerDivisionByZeroReportsC0000094) {
  auto outcome = crashChild(optionsInDir(), divideByZero);

  ASSERT_TRUE(WIFSIGNALED(outcome.status)) << "exit status " << outcome.status;
  EXPECT_EQ(WTERMSIG(outcome.status), SIGFPE);
  EXPECT_NE(outcome.stderrText.find("Exception Code 0xc0000094 arised !!"), std::string::npos)
      << outcome.stderrText;
  EXPECT_NE(readAll(dir_ / "KelpaxDump.dmp").find("(SIGFPE)"), std::string::npos);
}

// abort() raises the signal rather than faulting: without the re-raise the child would exit.
TEST_F(CrashHandler, AbortIsReportedAndStillEndsTheProcess) {
  auto outcome = crashChild(optionsInDir(), [] { std::abort(); });

  ASSERT_TRUE(WIFSIGNALED(outcome.status)) << "exit status " << outcome.status;
  EXPECT_EQ(WTERMSIG(outcome.status), SIGABRT);
  EXPECT_NE(outcome.stderrText.find("Exception Code 0x40000015 arised !!"), std::string::npos);
  const std::string dump = readAll(dir_ / "KelpaxDump.dmp");
  EXPECT_NE(dump.find("Sent by process: " + std::to_string(outcome.pid)), std::string::npos)
      << dump;
  EXPECT_EQ(dump.find("Address:"), std::string::npos) << dump;
}

// A signal sent by another process does not come back when the handler returns: only the
// re-raise ends the process.
TEST_F(CrashHandler, SignalSentByKillIsReportedAndEndsTheProcess) {
  auto outcome = crashChild(optionsInDir(), [] { kill(getpid(), SIGBUS); });

  ASSERT_TRUE(WIFSIGNALED(outcome.status)) << "exit status " << outcome.status;
  EXPECT_EQ(WTERMSIG(outcome.status), SIGBUS);
  EXPECT_NE(outcome.stderrText.find("Exception Code 0xc0000006 arised !!"), std::string::npos);
  EXPECT_NE(readAll(dir_ / "KelpaxDump.dmp").find("Signal: " + std::to_string(SIGBUS)),
            std::string::npos);
}

TEST_F(CrashHandler, DumpNameIsAParameter) {
  auto options = optionsInDir();
  options.dumpName = "NodeviewDump.dmp";
  auto outcome = crashChild(options, touchProtectedPage);

  ASSERT_TRUE(WIFSIGNALED(outcome.status));
  EXPECT_TRUE(fs::exists(dir_ / "NodeviewDump.dmp"));
  EXPECT_FALSE(fs::exists(dir_ / "KelpaxDump.dmp"));
}

TEST_F(CrashHandler, MessageIsShownEvenWhenDumpCannotBeCreated) {
  auto options = optionsInDir();
  options.dumpFolder = (dir_ / "no-such-folder").string();
  auto outcome = crashChild(options, touchProtectedPage);

  ASSERT_TRUE(WIFSIGNALED(outcome.status));
  EXPECT_EQ(WTERMSIG(outcome.status), SIGSEGV);
  EXPECT_NE(outcome.stderrText.find("Exception Code 0xc0000005 arised !!"), std::string::npos);
}

// The message box comes from a fresh process; a script stands in for the program and records
// the arguments it was started with.
TEST_F(CrashHandler, MessageBoxProcessGetsDumpPathAsCaptionAndCodeAsText) {
  const fs::path script = dir_ / "show-message";
  const fs::path argsFile = dir_ / "args.txt";
  {
    std::ofstream out(script);
    out << "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > '" << argsFile.string()
        << "'\n";
  }
  fs::permissions(script, fs::perms::owner_all);

  auto options = optionsInDir();
  options.showMessageBox = true;
  options.messageProgram = script.string();
  setenv("DISPLAY", ":kelpax-test", 0); // the box is only attempted where there is a display
  auto outcome = crashChild(options, touchProtectedPage);

  ASSERT_TRUE(WIFSIGNALED(outcome.status));
  EXPECT_EQ(readAll(argsFile), std::string(kCrashMessageArgument) + "\n" +
                                   (dir_ / "KelpaxDump.dmp").string() +
                                   "\nException Code 0xc0000005 arised !!\n");
}

TEST(CrashHandlerTable, SignalsMapToWindowsExceptionCodes) {
  struct Case {
    int signal;
    int code;
    std::uint32_t expected;
  };
  const Case cases[] = {
      {SIGSEGV, SEGV_MAPERR, 0xc0000005}, {SIGSEGV, SEGV_ACCERR, 0xc0000005},
      {SIGBUS, BUS_ADRERR, 0xc0000006},   {SIGFPE, FPE_INTDIV, 0xc0000094},
      {SIGFPE, FPE_FLTDIV, 0xc000008e},   {SIGFPE, FPE_FLTINV, 0xc000008e},
      {SIGILL, ILL_ILLOPC, 0xc000001d},   {SIGABRT, SI_TKILL, 0x40000015},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(exceptionCodeForSignal(c.signal, c.code), c.expected)
        << "signal " << c.signal << " code " << c.code;
  }
}

TEST(CrashHandlerTable, DumpDefaultsToTheProgramsFolder) {
  // Installing in a child keeps the test process's own signal handling untouched.
  pid_t child = fork();
  if (child == 0) {
    CrashHandlerOptions options;
    const auto expected = fs::canonical("/proc/self/exe").parent_path() / "KelpaxDump.dmp";
    const bool ok = installCrashHandler(options) && crashDumpPath() == expected.string();
    _exit(ok ? 0 : 1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

} // namespace
} // namespace kelpax
