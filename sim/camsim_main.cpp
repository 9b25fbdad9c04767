// kelpax-camsim: serves one simulated camera on a pseudo-terminal until SIGINT or SIGTERM.
#include <csignal>
#include <cstdio>

#include <CLI/CLI.hpp>
#include <pthread.h>

#include "sim/faults.h"
#include "sim/pty_camera.h"

int main(int argc, char** argv) {
  CLI::App app{"Simulated camera on a pseudo-terminal"};
  sim::PtyOptions options;
  std::string faultText;
  bool noPacing = false;
  app.add_option("--pty", options.linkPath, "Link to create to the terminal, e.g. /tmp/ttyCAM0")
      ->required();
  app.add_option("--model", options.model, "Camera model, e.g. Ko-25MC-C65")->required();
  app.add_option("--baud", options.baud, "The camera's line rate")
      ->capture_default_str()
      ->check(CLI::PositiveNumber);
  app.add_flag("--no-pacing", noPacing, "Answer at once instead of at the line rate");
  app.add_option("--faults", faultText,
                 "Faults, e.g. silent,error,boot-echo=3,boot-message=Booting...,slow=200,"
                 "drop=0.01,corrupt=0.01,close-after=5,seed=7");
  CLI11_PARSE(app, argc, argv);
  options.pacing = !noPacing;

  std::string error;
  if (!faultText.empty() && !sim::parseFaults(faultText, options.faults, &error)) {
    std::fprintf(stderr, "kelpax-camsim: %s\n", error.c_str());
    return 2;
  }

  // Blocked before the serving thread starts, so only sigwait below sees them.
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);

  sim::PtyCamera camera(options);
  if (!camera.start(&error)) {
    std::fprintf(stderr, "kelpax-camsim: %s\n", error.c_str());
    return 1;
  }
  std::printf("%s -> %s (%s, %d baud%s)\n", camera.linkPath().c_str(), camera.slavePath().c_str(),
              options.model.c_str(), options.baud, options.pacing ? "" : ", no pacing");
  std::fflush(stdout);

  int signal = 0;
  sigwait(&signals, &signal);
  camera.stop();
  return 0;
}
