// The scripted test server: one thread polls the listener, the accepted
// connections, the UDP socket and a wake-up eventfd; the test's thread
// reads the records under the mutex and hands socket-closing work to the
// server thread.
#include "support/test_server.h"

#include <arpa/inet.h>
#include <errno.h>
#include <poll.h>
#include <string.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>

#include "host/sockets.h"

namespace testsupport {

namespace {

std::string describe(const char* what) { return std::string(what) + ": " + strerror(errno); }

// Fills the accept queue of a listener with backlog 0 that never accepts.
// Linux queues one connection past the backlog; once the queue is full it
// drops further SYNs, so a connect that meets such a listener gets no
// answer at all. Fillers are added until one of them stays pending.
bool fillAcceptQueue(std::vector<int>& fillers, std::string& error) {
  const sockaddr_in address = testServerAddress();
  for (int attempt = 0; attempt < 16; ++attempt) {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) {
      error = describe("filler socket");
      return false;
    }
    setNonBlocking(fd);
    fillers.push_back(fd);
    if (connect(fd, (const sockaddr*)&address, sizeof address) == 0) continue;
    if (errno != EINPROGRESS) {
      error = describe("filler connect");
      return false;
    }
    pollfd entry = {fd, POLLOUT, 0};
    if (poll(&entry, 1, 500) == 0) return true;  // pending: the queue is full
  }
  error = "the accept queue never filled";
  return false;
}

}  // namespace

TestServer::TestServer(ServerMode mode, bool holdUdpPort) : mode_(mode) {
  const sockaddr_in address = testServerAddress();
  wakeFd_ = eventfd(0, EFD_NONBLOCK);
  if (mode != ServerMode::Refuse) {
    listenFd_ = socket(AF_INET, SOCK_STREAM, 0);
    int on = 1;
    setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    if (!bindWhenFree(listenFd_, address)) {
      error_ = describe("tcp bind");
    } else if (listen(listenFd_, mode == ServerMode::Silent ? 0 : 16) != 0) {
      error_ = describe("listen");
    } else if (mode == ServerMode::Silent) {
      fillAcceptQueue(fillerFds_, error_);
    }
    setNonBlocking(listenFd_);
  }
  if (holdUdpPort && error_.empty()) {
    udpFd_ = socket(AF_INET, SOCK_DGRAM, 0);
    if (!bindWhenFree(udpFd_, address)) error_ = describe("udp bind");
    // Room for a burst of frames' reports while the test runs the module.
    int bufferBytes = 1 << 20;
    setsockopt(udpFd_, SOL_SOCKET, SO_RCVBUF, &bufferBytes, sizeof bufferBytes);
    setNonBlocking(udpFd_);
  }
  thread_ = std::thread([this] { serve(); });
}

TestServer::~TestServer() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  wake();
  thread_.join();
  for (Connection& connection : connections_)
    if (connection.fd >= 0) close(connection.fd);
  for (int fd : fillerFds_) close(fd);
  if (listenFd_ >= 0) close(listenFd_);
  if (udpFd_ >= 0) close(udpFd_);
  if (wakeFd_ >= 0) close(wakeFd_);
}

bool TestServer::ok() const { return error_.empty(); }
const std::string& TestServer::error() const { return error_; }

void TestServer::wake() {
  uint64_t one = 1;
  (void)!write(wakeFd_, &one, sizeof one);
}

void TestServer::serve() {
  char buffer[65536];
  for (;;) {
    std::vector<pollfd> entries;
    std::vector<int> connectionIndex;  // per entry: index into connections_, or -1
    std::vector<std::function<void()>> work;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (stopping_) return;
      work.swap(commands_);
    }
    for (auto& command : work) command();
    if (!work.empty()) changed_.notify_all();
    {
      std::lock_guard<std::mutex> lock(mutex_);
      entries.push_back({wakeFd_, POLLIN, 0});
      connectionIndex.push_back(-1);
      // The Silent listener is never polled: it must never accept.
      if (listenFd_ >= 0 && mode_ == ServerMode::Accept) {
        entries.push_back({listenFd_, POLLIN, 0});
        connectionIndex.push_back(-1);
      }
      if (udpFd_ >= 0) {
        entries.push_back({udpFd_, POLLIN, 0});
        connectionIndex.push_back(-1);
      }
      for (size_t i = 0; i < connections_.size(); ++i) {
        if (connections_[i].fd < 0) continue;
        entries.push_back({connections_[i].fd, POLLIN, 0});
        connectionIndex.push_back((int)i);
      }
    }
    if (poll(entries.data(), entries.size(), 1000) < 0 && errno != EINTR) return;

    std::lock_guard<std::mutex> lock(mutex_);
    bool recorded = false;
    for (size_t e = 0; e < entries.size(); ++e) {
      if (entries[e].revents == 0) continue;
      int fd = entries[e].fd;
      if (fd == wakeFd_) {
        uint64_t count;
        (void)!read(wakeFd_, &count, sizeof count);
      } else if (fd == listenFd_) {
        for (;;) {
          int accepted = accept(listenFd_, nullptr, nullptr);
          if (accepted < 0) break;
          setNonBlocking(accepted);
          connections_.push_back({accepted, {}});
          recorded = true;
        }
      } else if (fd == udpFd_) {
        for (;;) {
          ReceivedDatagram datagram{};
          socklen_t length = sizeof datagram.sender;
          ssize_t got = recvfrom(udpFd_, buffer, sizeof buffer, 0,
                                 (sockaddr*)&datagram.sender, &length);
          if (got < 0) break;
          datagram.bytes.assign(buffer, (size_t)got);
          datagrams_.push_back(std::move(datagram));
          recorded = true;
        }
      } else {
        Connection& connection = connections_[connectionIndex[e]];
        for (;;) {
          ssize_t got = recv(fd, buffer, sizeof buffer, 0);
          if (got > 0) {
            connection.record.bytes.append(buffer, (size_t)got);
            recorded = true;
            continue;
          }
          if (got < 0 && (errno == EAGAIN || errno == EINTR)) break;
          if (got == 0) connection.record.closedByPeer = true;
          else connection.record.resetByPeer = true;
          close(fd);
          connection.fd = -1;
          recorded = true;
          break;
        }
      }
    }
    if (recorded) changed_.notify_all();
  }
}

void TestServer::runOnServerThread(const std::function<void()>& work) {
  std::unique_lock<std::mutex> lock(mutex_);
  bool done = false;
  commands_.push_back([&] {
    std::lock_guard<std::mutex> inner(mutex_);
    work();
    done = true;
  });
  wake();
  changed_.wait(lock, [&] { return done || stopping_; });
}

bool TestServer::waitFor(const std::function<bool()>& condition, double timeoutSeconds) {
  std::unique_lock<std::mutex> lock(mutex_);
  auto deadline = std::chrono::steady_clock::now() +
                  std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                      std::chrono::duration<double>(timeoutSeconds));
  return changed_.wait_until(lock, deadline, condition);
}

int TestServer::connectionCount() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return (int)connections_.size();
}

std::vector<ServerConnection> TestServer::connections() const {
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<ServerConnection> records;
  for (const Connection& connection : connections_) records.push_back(connection.record);
  return records;
}

std::string TestServer::allTcpBytes() const {
  std::string bytes;
  for (const Connection& connection : connections_) bytes += connection.record.bytes;
  return bytes;
}

std::string TestServer::tcpBytes() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return allTcpBytes();
}

bool TestServer::waitForTcpBytes(const std::function<bool(const std::string&)>& predicate,
                                 double timeoutSeconds) {
  return waitFor([&] { return predicate(allTcpBytes()); }, timeoutSeconds);
}

bool TestServer::waitForConnections(int count, double timeoutSeconds) {
  return waitFor([&] { return (int)connections_.size() >= count; }, timeoutSeconds);
}

bool TestServer::waitForPeerClose(double timeoutSeconds) {
  return waitFor(
      [&] {
        if (connections_.empty()) return false;
        const ServerConnection& record = connections_.back().record;
        return record.closedByPeer || record.resetByPeer;
      },
      timeoutSeconds);
}

bool TestServer::sendTcp(const std::string& bytes) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (connections_.empty() || connections_.back().fd < 0) return false;
  int fd = connections_.back().fd;
  size_t sent = 0;
  while (sent < bytes.size()) {
    ssize_t got = send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (got < 0) {
      if (errno != EAGAIN && errno != EINTR) return false;
      pollfd entry = {fd, POLLOUT, 0};
      if (poll(&entry, 1, 5000) <= 0) return false;
      continue;
    }
    sent += (size_t)got;
  }
  return true;
}

bool TestServer::sendLine(const std::string& line) { return sendTcp(line + "\n"); }

void TestServer::endCurrent(bool reset) {
  runOnServerThread([&] {
    if (connections_.empty() || connections_.back().fd < 0) return;
    Connection& connection = connections_.back();
    if (reset) {
      linger hard = {1, 0};
      setsockopt(connection.fd, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
    }
    close(connection.fd);
    connection.fd = -1;
    connection.record.closedHere = true;
  });
}

void TestServer::closeClient() { endCurrent(false); }
void TestServer::resetClient() { endCurrent(true); }

std::vector<ReceivedDatagram> TestServer::datagrams() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return datagrams_;
}

size_t TestServer::datagramCount() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return datagrams_.size();
}

bool TestServer::waitForDatagrams(size_t count, double timeoutSeconds) {
  return waitFor([&] { return datagrams_.size() >= count; }, timeoutSeconds);
}

bool TestServer::flushDatagrams(double timeoutSeconds) {
  static const std::string kMarker("\0test-server-flush", 18);
  int fd = socket(AF_INET, SOCK_DGRAM, 0);
  const sockaddr_in address = testServerAddress();
  bool sent = sendto(fd, kMarker.data(), kMarker.size(), 0, (const sockaddr*)&address,
                     sizeof address) == (ssize_t)kMarker.size();
  close(fd);
  if (!sent) return false;
  auto isMarker = [](const ReceivedDatagram& datagram) { return datagram.bytes == kMarker; };
  bool arrived = waitFor(
      [&] { return std::any_of(datagrams_.begin(), datagrams_.end(), isMarker); },
      timeoutSeconds);
  std::lock_guard<std::mutex> lock(mutex_);
  std::erase_if(datagrams_, isMarker);
  return arrived;
}

bool TestServer::sendDatagram(const std::string& bytes) {
  sockaddr_in to;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (datagrams_.empty()) return false;
    to = datagrams_.back().sender;
  }
  return sendDatagramTo(bytes, to);
}

bool TestServer::sendDatagramTo(const std::string& bytes, const sockaddr_in& to) {
  if (udpFd_ < 0) return false;
  return sendto(udpFd_, bytes.data(), bytes.size(), 0, (const sockaddr*)&to, sizeof to) ==
         (ssize_t)bytes.size();
}

void TestServer::clearRecords() {
  std::lock_guard<std::mutex> lock(mutex_);
  for (Connection& connection : connections_) connection.record.bytes.clear();
  datagrams_.clear();
}

}  // namespace testsupport
