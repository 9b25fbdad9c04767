// What the command-line tests share: running kelpax-cli from a shell line with its output
// captured, and a kelpax-camsim process serving one camera on a pseudo-terminal.
#pragma once

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace clitest {

struct CliRun {
  int status = -1;
  std::string out;
  std::string err;
};

inline std::string slurp(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// A folder of this test process under the temporary folder, empty when first made: a run long
// ago under the same process number may have left its files there.
inline std::filesystem::path freshScratchFolder(const std::string& prefix) {
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / (prefix + std::to_string(getpid()));
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  return folder;
}

// Runs a shell line with stdout and stderr captured in files of `folder`.
inline CliRun runShell(const std::string& line, const std::filesystem::path& folder) {
  const std::filesystem::path out = folder / "out", err = folder / "err";
  CliRun r;
  r.status = std::system((line + " >" + out.string() + " 2>" + err.string()).c_str());
  r.status = WIFEXITED(r.status) ? WEXITSTATUS(r.status) : -1;
  r.out = slurp(out);
  r.err = slurp(err);
  return r;
}

// kelpax-camsim at 115200 without pacing, until the object goes.
class CamsimProcess {
public:
  CamsimProcess(const std::string& camsim, const std::string& link, const std::string& model,
                const std::string& faults = {}) {
    std::vector<std::string> args = {camsim, "--pty",  link,     "--model",
                                     model,  "--baud", "115200", "--no-pacing"};
    if (!faults.empty()) {
      args.push_back("--faults");
      args.push_back(faults);
    }
    std::vector<char*> argv;
    for (auto& a : args)
      argv.push_back(a.data());
    argv.push_back(nullptr);
    EXPECT_EQ(posix_spawn(&pid_, camsim.c_str(), nullptr, nullptr, argv.data(), environ), 0);
    for (int i = 0; i < 200 && !std::filesystem::exists(link); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ~CamsimProcess() {
    kill(pid_, SIGTERM);
    int status = 0;
    waitpid(pid_, &status, 0);
  }
  CamsimProcess(const CamsimProcess&) = delete;
  CamsimProcess& operator=(const CamsimProcess&) = delete;

private:
  pid_t pid_ = -1;
};

} // namespace clitest
