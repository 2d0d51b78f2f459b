#include "support/server_harness.h"

#include <arpa/inet.h>
#include <errno.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>

#include "host/sockets.h"
#include "net/wire.h"

namespace testsupport {

namespace {

std::chrono::steady_clock::time_point deadlineIn(double seconds) {
  return std::chrono::steady_clock::now() +
         std::chrono::duration_cast<std::chrono::steady_clock::duration>(std::chrono::duration<double>(seconds));
}

double secondsLeft(std::chrono::steady_clock::time_point deadline) {
  double left = std::chrono::duration<double>(deadline - std::chrono::steady_clock::now()).count();
  return left > 0 ? left : 0;
}

std::string field(int number, double latitude, double longitude, double elevation) {
  char text[32];
  switch (number) {
    case 4: snprintf(text, sizeof text, "%.9g", latitude); return text;
    case 5: snprintf(text, sizeof text, "%.9g", longitude); return text;
    case 6: snprintf(text, sizeof text, "%.9g", elevation); return text;
  }
  if (number >= 28 && number <= 32) return std::to_string(number % 2);
  return std::to_string(number);
}

}  // namespace

ServerProcess::ServerProcess() : folder_(makeTemporaryFolder("quillsky-server")) {}

ServerProcess::~ServerProcess() {
  process_.stop(5.0);
  removeFolder(folder_);
}

bool ServerProcess::start(const std::vector<std::string>& options, std::string* error) {
  std::vector<std::string> argv = {QUILLSKY_SERVER_PATH, "--address", kTestServerAddress, "--port",
                                   std::to_string(kTestServerPort)};
  argv.insert(argv.end(), options.begin(), options.end());
  // Another test run on this machine may hold the port for a while: try
  // again until it is free.
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
  while (true) {
    if (!process_.start(argv, folder_ + "/stdout.txt", folder_ + "/stderr.txt", folder_, error))
      return false;
    bool listening = waitUntil(
        [&] { return log().find("listening on") != std::string::npos || !process_.running(); }, 30.0);
    if (listening && process_.running()) return true;
    process_.stop(5.0);
    if (log().find("in use") == std::string::npos || std::chrono::steady_clock::now() > deadline) break;
    usleep(200 * 1000);
  }
  *error = "the server did not start listening: " + log();
  return false;
}

bool ServerProcess::stop() {
  if (!process_.running()) return process_.exitCode() == 0;
  kill(process_.pid(), SIGTERM);
  if (!process_.waitForExit(10.0)) {
    process_.stop(1.0);
    return false;
  }
  return process_.exitCode() == 0;
}

std::string ServerProcess::log() const { return readWholeFile(folder_ + "/stderr.txt"); }

RawClient::RawClient() {
  udp_ = socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in local = loopback(0);  // a port of the kernel's choosing
  bind(udp_, reinterpret_cast<sockaddr*>(&local), sizeof local);
}

RawClient::~RawClient() {
  if (tcp_ >= 0) close(tcp_);
  if (udp_ >= 0) close(udp_);
}

bool RawClient::connect() {
  tcp_ = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address = testServerAddress();
  return ::connect(tcp_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
}

bool RawClient::login(int token, const std::string& userID, const std::string& password,
                      const std::string& more) {
  token_ = token;
  if (!connect()) return false;
  sendTcp(buildLogin(token, userID, loginDigest(token, userID, password)) + more);
  return true;
}

void RawClient::sendTcp(const std::string& bytes) {
  size_t sent = 0;
  while (sent < bytes.size()) {
    ssize_t count = send(tcp_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (count <= 0) return;
    sent += count;
  }
}

void RawClient::sendDatagram(const std::string& bytes) {
  sockaddr_in address = testServerAddress();
  sendto(udp_, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&address), sizeof address);
}

std::optional<std::string> RawClient::nextLine(double timeoutSeconds) {
  auto deadline = deadlineIn(timeoutSeconds);
  while (true) {
    size_t end = pending_.find('\n');
    if (end != std::string::npos) {
      std::string line = pending_.substr(0, end);
      pending_.erase(0, end + 1);
      lines_.push_back(line);
      return line;
    }
    if (closed_ || !readable(tcp_, secondsLeft(deadline))) return std::nullopt;
    char buffer[4096];
    ssize_t count = recv(tcp_, buffer, sizeof buffer, 0);
    if (count <= 0) {
      closed_ = true;
      return std::nullopt;
    }
    pending_.append(buffer, count);
  }
}

bool RawClient::waitForLine(const std::string& line, double timeoutSeconds) {
  auto deadline = deadlineIn(timeoutSeconds);
  while (std::optional<std::string> next = nextLine(secondsLeft(deadline)))
    if (*next == line) return true;
  return false;
}

bool RawClient::waitForLineEndingWith(const std::string& end, double timeoutSeconds) {
  auto deadline = deadlineIn(timeoutSeconds);
  while (std::optional<std::string> next = nextLine(secondsLeft(deadline)))
    if (next->size() >= end.size() && next->compare(next->size() - end.size(), end.size(), end) == 0)
      return true;
  return false;
}

void RawClient::drainDatagrams(double quietSeconds) {
  while (nextDatagram(quietSeconds)) {
  }
}

std::optional<std::string> RawClient::nextDatagram(double timeoutSeconds) {
  if (!readable(udp_, timeoutSeconds)) return std::nullopt;
  char buffer[2048];
  ssize_t count = recv(udp_, buffer, sizeof buffer, 0);
  if (count < 0) return std::nullopt;
  return std::string(buffer, count);
}

bool RawClient::waitForClose(double timeoutSeconds) {
  auto deadline = deadlineIn(timeoutSeconds);
  while (!closed_) {
    if (!readable(tcp_, secondsLeft(deadline))) return false;
    char buffer[4096];
    ssize_t count = recv(tcp_, buffer, sizeof buffer, 0);
    if (count <= 0) closed_ = true;
    else pending_.append(buffer, count);
  }
  return true;
}

void RawClient::closeTcp() {
  if (tcp_ >= 0) close(tcp_);
  tcp_ = -1;
  closed_ = true;
}

std::string positionReport(int token, double latitude, double longitude, double elevation,
                           bool viewOnly) {
  std::string report = std::to_string(token) + (viewOnly ? "|VOLOC" : "|LOC");
  for (int number = 1; number <= 42; ++number)
    report += "|" + field(number, latitude, longitude, elevation);
  return report;
}

std::string relayedFieldsOf(double latitude, double longitude, double elevation) {
  std::string fields;
  for (int number = 1; number <= 40; ++number)
    fields += field(number, latitude, longitude, elevation) + "|";
  return fields;
}

}  // namespace testsupport
