#include "support/process_runner.h"

#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <string.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

namespace testsupport {

ChildProcess::~ChildProcess() {
  if (pid_ > 0 && exitCode_ < 0) stop(2.0);
}

bool ChildProcess::start(const std::vector<std::string>& argv, const std::string& stdoutPath,
                         const std::string& stderrPath, const std::string& workingFolder,
                         std::string* error) {
  std::vector<char*> args;
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  pid_t pid = fork();
  if (pid < 0) {
    *error = std::string("fork: ") + strerror(errno);
    return false;
  }
  if (pid == 0) {
    // Only async-signal-safe calls between fork and exec.
    int out = open(stdoutPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    int err = open(stderrPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (out >= 0) dup2(out, 1);
    if (err >= 0) dup2(err, 2);
    int in = open("/dev/null", O_RDONLY);
    if (in >= 0) dup2(in, 0);
    if (!workingFolder.empty() && chdir(workingFolder.c_str()) != 0) _exit(126);
    execv(args[0], args.data());
    _exit(127);
  }
  pid_ = pid;
  exitCode_ = -1;
  return true;
}

bool ChildProcess::running() {
  if (pid_ <= 0 || exitCode_ >= 0) return false;
  int status = 0;
  pid_t result = waitpid(pid_, &status, WNOHANG);
  if (result == 0) return true;
  exitCode_ = result < 0 ? 255 : WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return false;
}

bool ChildProcess::waitForExit(double timeoutSeconds) {
  return waitUntil([this] { return !running(); }, timeoutSeconds);
}

void ChildProcess::stop(double graceSeconds) {
  if (!running()) return;
  kill(pid_, SIGTERM);
  if (waitForExit(graceSeconds)) return;
  kill(pid_, SIGKILL);
  waitForExit(10.0);
}

ProgramRun runSimProgram(const std::string& arguments, bool fromStandardError) {
  std::string command = std::string(QUILLSKY_SIM_PATH) + " " + arguments +
                        (fromStandardError ? " 2>&1 >/dev/null" : " 2>/dev/null");
  ProgramRun run = {-1, ""};
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return run;
  char buffer[4096];
  for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) run.output.append(buffer, n);
  int status = pclose(pipe);
  run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

bool waitUntil(const std::function<bool()>& condition, double timeoutSeconds) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(timeoutSeconds);
  while (true) {
    if (condition()) return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

}  // namespace testsupport
