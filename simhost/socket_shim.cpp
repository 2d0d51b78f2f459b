// The module's socket calls, observed and made to fail on request.
//
// The module links only the C library, so its calls to these functions bind
// at load time to the definitions the program exports: these. Each forwards
// to the C library's (found with RTLD_NEXT, which is the sanitizer's
// interceptor in a sanitizer build). Only calls made on a thread inside a
// module entry point or callback are counted or failed, so the program's
// own sockets (a test's server thread, files closed by the test) pass
// untouched. close() counts file closes of the module too.
//
// Plain globals only: these run before main() and after statics are gone.
#include <dlfcn.h>
#include <errno.h>
#include <sys/types.h>

#include <atomic>

#include "simhost/state.h"

namespace {

constexpr int kOperations = 8;

thread_local int moduleCallDepth = 0;
std::atomic<int> callCounts[kOperations];
std::atomic<int> failuresLeft[kOperations];
std::atomic<int> failureErrors[kOperations];
std::atomic<void*> realFunctions[kOperations];
const char* const kNames[kOperations] = {"socket", "bind", "connect", "send", "sendto", "recv", "recvfrom", "close"};

template <typename Function>
Function real(simhost::SocketOp op) {
  int i = (int)op;
  void* function = realFunctions[i].load(std::memory_order_acquire);
  if (!function) {
    function = dlsym(RTLD_NEXT, kNames[i]);
    realFunctions[i].store(function, std::memory_order_release);
  }
  return (Function)function;
}

// True when the call is to fail (errno set); counts it when it is the
// module's.
bool interceptFails(simhost::SocketOp op) {
  if (moduleCallDepth == 0) return false;
  int i = (int)op;
  callCounts[i]++;
  int left = failuresLeft[i].load();
  while (left > 0 && !failuresLeft[i].compare_exchange_weak(left, left - 1)) {
  }
  if (left <= 0) return false;
  errno = failureErrors[i].load();
  return true;
}

}  // namespace

namespace simhost {

ModuleCall::ModuleCall() { ++moduleCallDepth; }
ModuleCall::~ModuleCall() { --moduleCallDepth; }

void resetSocketShim() {
  for (int i = 0; i < kOperations; ++i) {
    callCounts[i] = 0;
    failuresLeft[i] = 0;
    failureErrors[i] = 0;
  }
}

int Simulator::socketCalls(SocketOp op) const { return callCounts[(int)op].load(); }

void Simulator::failNextSocketCalls(SocketOp op, int count, int error) {
  failureErrors[(int)op] = error;
  failuresLeft[(int)op] = count;
}

void Simulator::resetSocketRecord() { resetSocketShim(); }

}  // namespace simhost

using simhost::SocketOp;
struct sockaddr;
typedef unsigned int socklen_t;

extern "C" {

int socket(int domain, int type, int protocol) {
  if (interceptFails(SocketOp::Socket)) return -1;
  return real<int (*)(int, int, int)>(SocketOp::Socket)(domain, type, protocol);
}

int bind(int fd, const sockaddr* address, socklen_t length) {
  if (interceptFails(SocketOp::Bind)) return -1;
  return real<int (*)(int, const sockaddr*, socklen_t)>(SocketOp::Bind)(fd, address, length);
}

int connect(int fd, const sockaddr* address, socklen_t length) {
  if (interceptFails(SocketOp::Connect)) return -1;
  return real<int (*)(int, const sockaddr*, socklen_t)>(SocketOp::Connect)(fd, address, length);
}

ssize_t send(int fd, const void* data, size_t length, int flags) {
  if (interceptFails(SocketOp::Send)) return -1;
  return real<ssize_t (*)(int, const void*, size_t, int)>(SocketOp::Send)(fd, data, length, flags);
}

ssize_t sendto(int fd, const void* data, size_t length, int flags, const sockaddr* address, socklen_t addressLength) {
  if (interceptFails(SocketOp::SendTo)) return -1;
  return real<ssize_t (*)(int, const void*, size_t, int, const sockaddr*, socklen_t)>(SocketOp::SendTo)(
      fd, data, length, flags, address, addressLength);
}

ssize_t recv(int fd, void* buffer, size_t length, int flags) {
  if (interceptFails(SocketOp::Recv)) return -1;
  return real<ssize_t (*)(int, void*, size_t, int)>(SocketOp::Recv)(fd, buffer, length, flags);
}

ssize_t recvfrom(int fd, void* buffer, size_t length, int flags, sockaddr* address, socklen_t* addressLength) {
  if (interceptFails(SocketOp::RecvFrom)) return -1;
  return real<ssize_t (*)(int, void*, size_t, int, sockaddr*, socklen_t*)>(SocketOp::RecvFrom)(
      fd, buffer, length, flags, address, addressLength);
}

int close(int fd) {
  if (interceptFails(SocketOp::Close)) return -1;
  return real<int (*)(int)>(SocketOp::Close)(fd);
}

}  // extern "C"
