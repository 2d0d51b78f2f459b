#include "support/process_runner.h"

#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
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

bool waitUntil(const std::function<bool()>& condition, double timeoutSeconds) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(timeoutSeconds);
  while (true) {
    if (condition()) return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

std::string readWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

void writeWholeFile(const std::string& path, const std::string& content) {
  std::filesystem::path target(path);
  if (target.has_parent_path()) std::filesystem::create_directories(target.parent_path());
  std::ofstream out(target, std::ios::binary);
  out << content;
}

std::string makeTemporaryFolder(const std::string& prefix) {
  std::string pattern = "/tmp/" + prefix + "-XXXXXX";
  if (!mkdtemp(pattern.data())) return "";
  return pattern;
}

void removeFolder(const std::string& path) {
  std::error_code ignored;
  if (!path.empty()) std::filesystem::remove_all(path, ignored);
}

}  // namespace testsupport
