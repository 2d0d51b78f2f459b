// The socket layer: one stream and one datagram socket (IPv4) to the server.
// Winsock on Windows, BSD sockets elsewhere; the branches live in
// sockets.cpp and nowhere else. Every call returns the platform's result
// (-1, the socket error value, on failure) with the cause in
// socketLastError().
#pragma once

#include <stdint.h>

#ifdef _WIN32
#include <winsock2.h>
typedef SOCKET SocketHandle;
typedef WSADATA SocketStartupRecord;
#else
#include <netinet/in.h>
typedef int SocketHandle;
struct SocketStartupRecord {  // the BSD layer needs no start-up
  int unused;
};
#endif

// Never the handle of an open socket.
constexpr SocketHandle kInvalidSocket = (SocketHandle)(-1);
constexpr int kSocketError = -1;

// Error causes of the platform, under names common to both layers.
extern const int kErrConnectionReset;
extern const int kErrNetworkDown;
extern const int kErrBadAddress;
extern const int kErrInvalid;
extern const int kErrNotConnected;
extern const int kErrShutdown;
extern const int kErrMessageSize;
extern const int kErrConnectionAborted;
extern const int kErrConnectionRefused;
extern const int kErrWouldBlock;

// Starts the socket library (Winsock 2.2); 0 on success.
int socketLibraryStart(SocketStartupRecord* record);
SocketHandle openStreamSocket();
SocketHandle openDatagramSocket();
void closeSocket(SocketHandle socket);
// The cause of the latest failed call on this thread.
int socketLastError();

// Fills address with AF_INET, the port (host order) and the dotted IPv4
// text; 1 when the text parsed.
int makeServerAddress(sockaddr_in* address, const char* dottedAddress, int port);

int bindSocket(SocketHandle socket, const sockaddr_in* address);
// Connects, waiting at most timeoutMilliseconds. A wait that runs out is
// reported as a refused connection; the socket's mode is left as it was.
int connectSocketWithin(SocketHandle socket, const sockaddr_in* address,
                        int timeoutMilliseconds);
// FIONBIO with the value 1.
int setNonBlocking(SocketHandle socket);

int sendOnSocket(SocketHandle socket, const char* data, int length);
int sendToAddress(SocketHandle socket, const char* data, int length,
                  const sockaddr_in* address);
// Reads one datagram into buffer. Returns its whole length, which exceeds
// capacity when the datagram did not fit (the excess is lost), or -1.
int receiveDatagram(SocketHandle socket, char* buffer, int capacity);
// Reads up to capacity bytes of the stream: a count, 0 when the peer closed
// the connection, or -1.
int receiveStream(SocketHandle socket, char* buffer, int capacity);
