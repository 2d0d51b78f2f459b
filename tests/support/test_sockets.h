// Sockets for network tests: the test server's address on the loopback
// interface, a bind that waits while another program holds the port, and
// waits for input with a deadline.
#pragma once

#include <arpa/inet.h>
#include <errno.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <chrono>

#include "host/sockets.h"

namespace testsupport {

constexpr const char kTestServerAddress[] = "127.0.0.1";
constexpr int kTestServerPort = 49556;

// 127.0.0.1 at port (0: one of the kernel's choosing).
inline sockaddr_in loopback(int port) {
  sockaddr_in address;
  makeServerAddress(&address, kTestServerAddress, port);
  return address;
}

inline sockaddr_in testServerAddress() { return loopback(kTestServerPort); }

// Binds fd to address, waiting up to a minute while another test program
// still holds the port (CTest's lock serialises only the tests of one run).
// False when the bind failed, with errno telling why.
inline bool bindWhenFree(int fd, const sockaddr_in& address) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    if (errno != EADDRINUSE || std::chrono::steady_clock::now() > deadline) return false;
    poll(nullptr, 0, 50);
  }
  return true;
}

// Whether fd has input within timeoutSeconds (0: now).
inline bool readable(int fd, double timeoutSeconds) {
  pollfd entry = {fd, POLLIN, 0};
  return poll(&entry, 1, static_cast<int>(timeoutSeconds * 1000)) > 0;
}

// Bytes the kernel holds in fd's receive queue, as it counts them: every
// datagram of one size costs the same, so this tells when a run of them
// has all arrived.
inline unsigned queuedMemory(int fd) {
  unsigned info[16] = {0};
  socklen_t length = sizeof info;
  if (getsockopt(fd, SOL_SOCKET, SO_MEMINFO, info, &length) != 0) return 0;
  return info[0];
}

}  // namespace testsupport
