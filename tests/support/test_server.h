// A scriptable server for network tests: real sockets on 127.0.0.1:49556,
// TCP and UDP, served by one background thread.
//
// What it does:
// - Accept: listens on TCP and accepts every connection; the latest one is
//   the "current" connection that sends, closes and resets act on.
// - Refuse: nothing listens on TCP, so a connect is refused at once.
// - Silent: listens, but its accept queue is already full of its own
//   pending connections and it never accepts, so the kernel drops the
//   client's SYNs and a connect hangs without an answer, as with a server
//   that has gone away.
// - In every mode it can also hold UDP 49556 (the default): then the
//   client's own bind of that port fails with EADDRINUSE and its socket
//   takes a local port at its first send; every datagram is recorded with
//   its sender, so datagrams can go back to the client's port.
// - Records every byte received on each TCP connection and every datagram.
//
// All members may be called from the test's thread while the server runs.
// Waits block the calling thread only: the module does not run meanwhile,
// so a test that needs the module to act waits with the simulator's
// runUntil() and reads the records in its condition instead.
#pragma once

#include <netinet/in.h>

#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "support/port_lock.h"
#include "support/test_sockets.h"

namespace testsupport {

enum class ServerMode {
  Accept,  // listen and accept
  Refuse,  // no TCP listener: connection refused
  Silent,  // a full accept queue: the connect hangs
};

struct ReceivedDatagram {
  std::string bytes;
  sockaddr_in sender;  // the client's UDP address
};

// One accepted TCP connection, as the server saw it.
struct ServerConnection {
  std::string bytes;       // everything received, in order
  bool closedByPeer = false;  // the client closed it (read of 0)
  bool resetByPeer = false;   // the client reset it
  bool closedHere = false;    // closeClient() or resetClient() ended it
};

class TestServer {
 public:
  explicit TestServer(ServerMode mode = ServerMode::Accept, bool holdUdpPort = true);
  ~TestServer();  // stops the thread and closes every socket
  TestServer(const TestServer&) = delete;
  TestServer& operator=(const TestServer&) = delete;

  // Whether every socket the mode needs was made; error() says why not.
  bool ok() const;
  const std::string& error() const;

  // ---- TCP
  int connectionCount() const;                  // connections accepted so far
  std::vector<ServerConnection> connections() const;  // in order of acceptance
  std::string tcpBytes() const;                 // bytes of all connections, in order
  // Waits until predicate(tcpBytes()) holds; whether it did in time.
  bool waitForTcpBytes(const std::function<bool(const std::string&)>& predicate,
                       double timeoutSeconds);
  bool waitForConnections(int count, double timeoutSeconds);
  // Waits until the client has closed or reset the current connection.
  bool waitForPeerClose(double timeoutSeconds);
  // Sends bytes, all of them, on the current connection; false when there
  // is none or the send failed.
  bool sendTcp(const std::string& bytes);
  bool sendLine(const std::string& line);       // line + "\n"
  void closeClient();   // orderly close of the current connection (FIN)
  void resetClient();   // SO_LINGER 0 close: the client's next read sees ECONNRESET

  // ---- UDP (only when the port is held)
  std::vector<ReceivedDatagram> datagrams() const;
  size_t datagramCount() const;
  bool waitForDatagrams(size_t count, double timeoutSeconds);
  // Waits until every datagram already queued to the server is recorded,
  // by sending one marker datagram of its own behind them (loopback keeps
  // their order) and waiting for it; the marker is not recorded. After it,
  // datagrams() holds exactly what the client has sent so far.
  bool flushDatagrams(double timeoutSeconds);
  // To the sender of the latest datagram; false when none arrived yet.
  bool sendDatagram(const std::string& bytes);
  bool sendDatagramTo(const std::string& bytes, const sockaddr_in& to);

  // Forgets the bytes and datagrams received so far (connections stay).
  void clearRecords();

 private:
  struct Connection {
    int fd;
    ServerConnection record;
  };
  void serve();
  // Runs work on the server thread and waits for it, so a socket is never
  // closed while that thread may still poll it.
  void runOnServerThread(const std::function<void()>& work);
  void endCurrent(bool reset);
  bool waitFor(const std::function<bool()>& condition, double timeoutSeconds);
  void wake();
  std::string allTcpBytes() const;  // with mutex_ held

  PortLock portLock_;  // first: taken before any socket is made
  ServerMode mode_;
  std::string error_;
  int listenFd_ = -1;
  int udpFd_ = -1;
  int wakeFd_ = -1;                 // eventfd: commands and stop
  std::vector<int> fillerFds_;      // Silent: the connections that fill the queue
  std::vector<Connection> connections_;  // every accepted one; fd -1 once closed
  std::vector<ReceivedDatagram> datagrams_;
  std::vector<std::function<void()>> commands_;
  bool stopping_ = false;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::thread thread_;
};

}  // namespace testsupport
