// Holds the test port 49556 for this process: a lock file shared by every
// test program, so tests that serve or use the port wait for each other even
// when they run outside CTest's resource lock (several programs by hand, in
// parallel). Nested holders in one process share the one lock.
#pragma once

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <mutex>

namespace testsupport {

class PortLock {
 public:
  PortLock() {
    std::lock_guard<std::mutex> guard(mutex());
    if (depth()++ == 0) {
      fd() = open("/tmp/quillsky-test-port-49556.lock", O_RDWR | O_CREAT | O_CLOEXEC, 0666);
      if (fd() >= 0) while (flock(fd(), LOCK_EX) != 0) {}
    }
  }
  ~PortLock() {
    std::lock_guard<std::mutex> guard(mutex());
    if (--depth() == 0 && fd() >= 0) {
      close(fd());  // releases the lock
      fd() = -1;
    }
  }
  PortLock(const PortLock&) = delete;
  PortLock& operator=(const PortLock&) = delete;

 private:
  static std::mutex& mutex() {
    static std::mutex instance;
    return instance;
  }
  static int& depth() {
    static int count = 0;
    return count;
  }
  static int& fd() {
    static int descriptor = -1;
    return descriptor;
  }
};

}  // namespace testsupport
