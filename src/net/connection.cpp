// The connection manager: opening both sockets, the login, the goodbye,
// and the end of a connection that the server closed or reset.
//
// Status texts, as the plane list shows them:
// - A bind or connect that fails with one of the causes of kErrorTexts
//   shows "UDP ..." or "TCP ..."; the TCP step comes second, so its text
//   wins. Any other cause (a refused or timed-out connect, a port already
//   taken) leaves the text as it was.
// - A bind or connect that succeeds returns 0 on both socket layers. A
//   free local UDP port says nothing about the server, so a good bind
//   leaves the text alone; "UDP Conn Open" would still be on screen after a
//   refused connect. Once the login has gone out the text reads
//   "TCP Conn Open", so that the user sees the connection is up and no
//   error text of an earlier attempt or drop stays behind.
// - A disconnect puts back "Network Traffic:", the head shown before any
//   connection, so that "TCP Conn Open" never outlives the connection.
// - A dropped connection shows why: "TCP Conn Closed by Server" or
//   "TCP Conn Reset".
#include "net/connection.h"

#include <string.h>

#include <string>

#include "host/sockets.h"
#include "net/wire.h"
#include "shell/client_state.h"

namespace {

constexpr char kStatusIdle[] = "Network Traffic:";
constexpr char kStatusOpen[] = "TCP Conn Open";

struct ErrorText {
  const int* cause;
  const char* text;  // after "UDP " or "TCP "
};

// Compared in this order.
const ErrorText kErrorTexts[] = {
    {&kErrConnectionReset, "Conn Reset"},  {&kErrNetworkDown, "Net Down"},
    {&kErrBadAddress, "FromLengSmall"},    {&kErrInvalid, "Not Bound"},
    {&kErrNotConnected, "Not Connected"},  {&kErrShutdown, "Shutdown"},
    {&kErrMessageSize, "msg size"},        {&kErrConnectionAborted, "Conn Aborted"},
};

// Shows the outcome of a bind ("UDP") or connect ("TCP") that just returned
// result; reads the cause before any other socket call can change it.
void showSocketOutcome(const char* prefix, int result) {
  if (result != kSocketError) return;
  int cause = socketLastError();
  for (const ErrorText& entry : kErrorTexts) {
    if (cause == *entry.cause) {
      client.statusText = std::string(prefix) + " " + entry.text;
      return;
    }
  }
}

// Closes both sockets and forgets the server: the end of every connection
// and of every failed attempt. Closed sockets read kInvalidSocket, never 0,
// which is standard input on POSIX.
void closeConnectionSockets() {
  if (client.tcpSocket != kInvalidSocket) closeSocket(client.tcpSocket);
  if (client.udpSocket != kInvalidSocket) closeSocket(client.udpSocket);
  client.tcpSocket = kInvalidSocket;
  client.udpSocket = kInvalidSocket;
  memset(&client.serverAddress, 0, sizeof client.serverAddress);
  client.connected = 0;
}

}  // namespace

int sendStreamMessage(const std::string& message) {
  client.tcpTxIndicator = "Tx";
  client.lastSocketResult = sendOnSocket(client.tcpSocket, message.data(), (int)message.size());
  return client.lastSocketResult;
}

int connectToServer() {
  if (client.connected != 0) return client.connected;
  if (socketLibraryStart(&client.wsaData) != 0) return 0;

  client.tcpSocket = openStreamSocket();
  client.udpSocket = openDatagramSocket();
  makeServerAddress(&client.serverAddress, QUILLSKY_SERVER_ADDRESS, kServerPort);

  // The server's own address: on a machine that does not own it, or where
  // the port is taken, this fails and the socket gets a local port at its
  // first send.
  client.lastSocketResult = bindSocket(client.udpSocket, &client.serverAddress);
  showSocketOutcome("UDP", client.lastSocketResult);
  setNonBlocking(client.udpSocket);

  // Bounded so that a server that never answers cannot freeze the
  // simulator; running out of time counts as a refused connection.
  client.lastSocketResult =
      connectSocketWithin(client.tcpSocket, &client.serverAddress, kConnectTimeoutMilliseconds);
  showSocketOutcome("TCP", client.lastSocketResult);
  setNonBlocking(client.tcpSocket);

  // After a failed connect this send fails too, and the attempt ends here.
  if (sendStreamMessage(buildLogin(client.clientToken, client.userID, loginDigest(client.clientToken, client.userID, client.password))) > 0) {
    client.connected = 1;
    client.statusText = kStatusOpen;
  } else {
    closeConnectionSockets();  // a descriptor per failed attempt would leak
  }
  return client.connected;
}

int disconnectFromServer() {
  if (client.connected == 0) return 1;
  // Not shown as traffic; its result does not matter any more.
  std::string notice = buildClosingNotice(client.clientToken);
  sendOnSocket(client.tcpSocket, notice.data(), (int)notice.size());
  closeConnectionSockets();
  client.statusText = kStatusIdle;
  return 1;
}

void dropConnection(const char* statusText) {
  // Without a connection there is nothing of ours to close.
  if (client.connected == 0) return;
  closeConnectionSockets();
  client.statusText = statusText;
}
