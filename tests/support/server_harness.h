// The real quillsky-server as a child process on 127.0.0.1:49556, and raw
// clients that talk to it over real sockets, for the network tests.
#pragma once

#include <netinet/in.h>

#include <optional>
#include <string>
#include <vector>

#include "support/files.h"
#include "support/port_lock.h"
#include "support/process_runner.h"
#include "support/test_sockets.h"

namespace testsupport {

class ServerProcess {
 public:
  ServerProcess();
  ~ServerProcess();  // stops the server and removes its folder
  // Starts the server with these options after --address and --port, and
  // waits until it listens.
  bool start(const std::vector<std::string>& options, std::string* error);
  // SIGTERM and wait: whether it ended by itself with exit code 0.
  bool stop();
  bool running() { return process_.running(); }
  std::string log() const;              // its standard error so far
  const std::string& folder() const { return folder_; }  // for files it should read

 private:
  PortLock portLock_;  // first: taken before the server starts
  ChildProcess process_;
  std::string folder_;
};

// One client as the server sees it: a TCP connection and its own UDP socket.
class RawClient {
 public:
  RawClient();
  ~RawClient();
  RawClient(const RawClient&) = delete;
  RawClient& operator=(const RawClient&) = delete;

  bool connect();
  // Connects and sends the login, the digest the right one for password,
  // and in the same write the bytes of more.
  bool login(int token, const std::string& userID, const std::string& password,
             const std::string& more);
  void sendTcp(const std::string& bytes);
  void sendDatagram(const std::string& bytes);
  // The next line from the server (without its line end), or none by the deadline.
  std::optional<std::string> nextLine(double timeoutSeconds);
  // Reads lines until one equals line; false at the deadline or on close.
  bool waitForLine(const std::string& line, double timeoutSeconds);
  // Reads lines until one ends with end; false at the deadline or on close.
  bool waitForLineEndingWith(const std::string& end, double timeoutSeconds);
  // Reads and drops datagrams until none comes for quietSeconds.
  void drainDatagrams(double quietSeconds);
  // Every line received so far that nextLine or waitForLine took.
  const std::vector<std::string>& lines() const { return lines_; }
  // The next datagram from the server, or none by the deadline.
  std::optional<std::string> nextDatagram(double timeoutSeconds);
  // Whether the server closed the connection by the deadline.
  bool waitForClose(double timeoutSeconds);
  // Closes the TCP connection without a closing notice.
  void closeTcp();
  int token() const { return token_; }

 private:
  int tcp_ = -1;
  int udp_ = -1;
  int token_ = 0;
  bool closed_ = false;
  std::string pending_;   // received bytes not yet a whole line
  std::vector<std::string> lines_;
};

// A position report with 42 fields: latitude, longitude and elevation as
// given, field n = "n" for the others (light fields single digits).
std::string positionReport(int token, double latitude, double longitude, double elevation,
                           bool viewOnly);
// The fields 1 to 40 of positionReport as a server relays them, each with its bar.
std::string relayedFieldsOf(double latitude, double longitude, double elevation);

}  // namespace testsupport
