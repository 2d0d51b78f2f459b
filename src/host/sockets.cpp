// BSD and Winsock implementations of the socket layer.
#include "host/sockets.h"

#include <string.h>

#ifdef _WIN32
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#ifdef _WIN32
const int kErrConnectionReset = WSAECONNRESET;
const int kErrNetworkDown = WSAENETDOWN;
const int kErrBadAddress = WSAEFAULT;
const int kErrInvalid = WSAEINVAL;
const int kErrNotConnected = WSAENOTCONN;
const int kErrShutdown = WSAESHUTDOWN;
const int kErrMessageSize = WSAEMSGSIZE;
const int kErrConnectionAborted = WSAECONNABORTED;
const int kErrConnectionRefused = WSAECONNREFUSED;
const int kErrWouldBlock = WSAEWOULDBLOCK;
#else
const int kErrConnectionReset = ECONNRESET;
const int kErrNetworkDown = ENETDOWN;
const int kErrBadAddress = EFAULT;
const int kErrInvalid = EINVAL;
const int kErrNotConnected = ENOTCONN;
const int kErrShutdown = ESHUTDOWN;
const int kErrMessageSize = EMSGSIZE;
const int kErrConnectionAborted = ECONNABORTED;
const int kErrConnectionRefused = ECONNREFUSED;
const int kErrWouldBlock = EWOULDBLOCK;
#endif

namespace {

#ifdef _WIN32
void setLastError(int code) { WSASetLastError(code); }
#else
void setLastError(int code) { errno = code; }
#endif

#ifdef _WIN32
int waitWritable(SocketHandle socket, int timeoutMilliseconds) {
  WSAPOLLFD entry = {socket, POLLWRNORM, 0};
  return WSAPoll(&entry, 1, timeoutMilliseconds);
}
#else
int waitWritable(SocketHandle socket, int timeoutMilliseconds) {
  pollfd entry = {socket, POLLOUT, 0};
  int ready;
  do {
    ready = poll(&entry, 1, timeoutMilliseconds);
  } while (ready < 0 && errno == EINTR);
  return ready;
}
#endif

int setBlockingMode(SocketHandle socket, int nonBlocking) {
#ifdef _WIN32
  u_long value = nonBlocking ? 1 : 0;
  return ioctlsocket(socket, FIONBIO, &value);
#else
  int value = nonBlocking ? 1 : 0;
  return ioctl(socket, FIONBIO, &value);
#endif
}

}  // namespace

int socketLibraryStart(SocketStartupRecord* record) {
#ifdef _WIN32
  return WSAStartup(MAKEWORD(2, 2), record);
#else
  memset(record, 0, sizeof *record);
  return 0;
#endif
}

SocketHandle openStreamSocket() { return socket(AF_INET, SOCK_STREAM, IPPROTO_TCP); }

SocketHandle openDatagramSocket() { return socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP); }

void closeSocket(SocketHandle socket) {
#ifdef _WIN32
  closesocket(socket);
#else
  close(socket);
#endif
}

int socketLastError() {
#ifdef _WIN32
  return WSAGetLastError();
#else
  return errno;
#endif
}

int makeServerAddress(sockaddr_in* address, const char* dottedAddress, int port) {
  memset(address, 0, sizeof *address);
  address->sin_family = AF_INET;
  address->sin_port = htons((uint16_t)port);
  return inet_pton(AF_INET, dottedAddress, &address->sin_addr) == 1 ? 1 : 0;
}

int bindSocket(SocketHandle socket, const sockaddr_in* address) {
  return bind(socket, (const sockaddr*)address, sizeof *address);
}

int connectSocketWithin(SocketHandle socket, const sockaddr_in* address,
                        int timeoutMilliseconds) {
  // A plain blocking connect to an address that never answers holds the
  // caller for minutes; connect without blocking and wait a bounded time.
  if (setBlockingMode(socket, 1) != 0) return kSocketError;
  int result = connect(socket, (const sockaddr*)address, sizeof *address);
  if (result != 0) {
    int cause = socketLastError();
#ifdef _WIN32
    bool pending = cause == WSAEWOULDBLOCK;
#else
    bool pending = cause == EINPROGRESS;
#endif
    if (!pending) {
      setBlockingMode(socket, 0);
      setLastError(cause);
      return kSocketError;
    }
    int ready = waitWritable(socket, timeoutMilliseconds);
    if (ready <= 0) {
      cause = kErrConnectionRefused;
    } else {
      int pendingError = 0;
      socklen_t length = sizeof pendingError;
      if (getsockopt(socket, SOL_SOCKET, SO_ERROR, (char*)&pendingError, &length) != 0)
        pendingError = socketLastError();
      cause = pendingError;
    }
    if (cause != 0) {
      setBlockingMode(socket, 0);
      setLastError(cause);
      return kSocketError;
    }
  }
  setBlockingMode(socket, 0);
  return 0;
}

int setNonBlocking(SocketHandle socket) { return setBlockingMode(socket, 1); }

int sendOnSocket(SocketHandle socket, const char* data, int length) {
#ifdef _WIN32
  return send(socket, data, length, 0);
#else
  // A peer that closed the connection must not raise SIGPIPE in the host.
  return (int)send(socket, data, (size_t)length, MSG_NOSIGNAL);
#endif
}

int sendToAddress(SocketHandle socket, const char* data, int length,
                  const sockaddr_in* address) {
#ifdef _WIN32
  return sendto(socket, data, length, 0, (const sockaddr*)address, sizeof *address);
#else
  return (int)sendto(socket, data, (size_t)length, MSG_NOSIGNAL, (const sockaddr*)address,
                     sizeof *address);
#endif
}

int receiveDatagram(SocketHandle socket, char* buffer, int capacity) {
#ifdef _WIN32
  // Winsock fails an oversized datagram with WSAEMSGSIZE.
  return recv(socket, buffer, capacity, 0);
#else
  // MSG_TRUNC makes the call return the datagram's real length.
  return (int)recv(socket, buffer, (size_t)capacity, MSG_TRUNC);
#endif
}

int receiveStream(SocketHandle socket, char* buffer, int capacity) {
  return (int)recv(socket, buffer, (size_t)capacity, 0);
}
