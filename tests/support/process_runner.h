// Child processes for tests: start a program with its output in files,
// wait for it with a deadline, stop it. The destructor kills a child that
// is still running, so a failed test leaves nothing behind.
#pragma once

#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

namespace testsupport {

class ChildProcess {
 public:
  ChildProcess() = default;
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // Runs argv[0] (a path) with the arguments, standard output and error
  // into the two files, in workingFolder when it is not empty.
  bool start(const std::vector<std::string>& argv, const std::string& stdoutPath,
             const std::string& stderrPath, const std::string& workingFolder, std::string* error);
  bool running();
  // Waits for the child to end; false when it is still running at the deadline.
  bool waitForExit(double timeoutSeconds);
  // SIGTERM, then SIGKILL when it has not ended within graceSeconds.
  void stop(double graceSeconds);
  // The exit code (128 + the signal number when a signal ended it); -1 while running.
  int exitCode() const { return exitCode_; }
  pid_t pid() const { return pid_; }

 private:
  pid_t pid_ = -1;
  int exitCode_ = -1;
};

// quillsky-sim run to its end with these arguments (a shell command line's
// words): its exit code (-1 when a signal ended it) and what it wrote to
// standard output, or to standard error instead with fromStandardError.
struct ProgramRun {
  int exitCode;
  std::string output;
};
ProgramRun runSimProgram(const std::string& arguments, bool fromStandardError = false);

// Polls condition every 10 ms until it holds or the deadline passes.
bool waitUntil(const std::function<bool()>& condition, double timeoutSeconds);
}  // namespace testsupport
