// The event loop: sockets, accepting, reading lines and datagrams, logins,
// identity reports, chat, closing, and the timers (login deadline, idle
// players, lingering closes).
#include "server.h"

#include <arpa/inet.h>
#include <errno.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <stdio.h>
#include <string.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <vector>

#include "messages.h"
#include "net/numbers.h"
#include "net/wire.h"
#include "views.h"

namespace {

constexpr auto kLinger = std::chrono::seconds(2);       // a closing client's last chance to read
constexpr auto kRankingInterval = std::chrono::seconds(1);  // "nearest" is looked at again
constexpr int kPollMilliseconds = 100;
constexpr int kDatagramsPerWake = 256;
constexpr int kCatchUpsPerWake = 4;  // bounds the work that junk datagrams can cause
constexpr size_t kReadSize = 16384;

std::string describeAddress(const sockaddr_in& address) {
  char text[INET_ADDRSTRLEN] = "?";
  inet_ntop(AF_INET, &address.sin_addr, text, sizeof text);
  return std::string(text) + ":" + std::to_string(ntohs(address.sin_port));
}

Clock::duration seconds(double value) {
  return std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(value));
}

bool sameAddress(const sockaddr_in& a, const sockaddr_in& b) {
  return a.sin_addr.s_addr == b.sin_addr.s_addr && a.sin_port == b.sin_port;
}

// Starts the close of a client: it leaves every view at once; bytes already
// queued (a refusal) still go out before the write side is shut.
void beginClose(Server& server, Player& player, const std::string& reason) {
  if (player.closing) return;
  logLine(describePlayer(player) + " disconnect: " + reason);
  player.closing = true;
  player.input.clear();
  player.lingerEnd = Clock::now() + kLinger;
  server.viewsDirty = true;
}

// Ends a client's socket now; the record goes after the views are updated.
void finish(Server& server, Player& player, const std::string& reason) {
  beginClose(server, player, reason);
  player.output.clear();
  player.lingerEnd = Clock::time_point::min();
}

// A client that announces itself with the view-only tags rides in someone
// else's aircraft from now on.
void markViewOnly(Server& server, Player& player) {
  if (player.viewOnly) return;
  player.viewOnly = true;
  server.viewsDirty = true;
  auto pairing = server.options.crew.find(player.userID);
  logLine(describePlayer(player) + " view-only: " +
          (pairing == server.options.crew.end() ? "no pilot set for it" : "rides with " + pairing->second));
}

void login(Server& server, Player& player, const ClientLine& line) {
  player.token = line.token;
  player.userID = line.userID;
  if (server.checkLogins) {
    auto user = server.users.find(player.userID);
    bool accepted = false;
    if (user != server.users.end()) {
      std::string expected = loginDigest(line.token, player.userID, user->second);
      accepted = strncasecmp(expected.c_str(), line.digest.data(), 32) == 0;
    }
    if (!accepted) {
      logLine(describePlayer(player) + " login refused");
      queueOutput(server, player, slotLine(0, 'm', "Login refused for " + cleanPayload(player.userID)));
      beginClose(server, player, "login refused");
      return;
    }
  }
  player.loggedIn = true;
  server.viewsDirty = true;
  logLine(describePlayer(player) + " login (token " + std::to_string(player.token) + ")");
}

void broadcastChat(Server& server, const Player& sender, std::string_view text) {
  std::string name = sender.callsign && !sender.callsign->empty() ? *sender.callsign
                     : !sender.userID.empty()                       ? cleanPayload(sender.userID)
                                                                    : "Player " + std::to_string(sender.token);
  std::string line = slotLine(0, 'm', name + ": " + cleanPayload(text));
  for (auto& [id, receiver] : server.players)
    if (receiver.loggedIn && !receiver.closing) queueOutput(server, receiver, line);
}

void handleLine(Server& server, Player& player, std::string_view text) {
  if (text.empty()) return;  // the gap of a CR LF split oddly, or a blank line
  ClientLine line;
  bool valid = parseClientLine(text, &line);
  if (valid && !player.loggedIn && line.kind == ClientMessageKind::Login) {
    login(server, player, line);
    return;
  }
  if (!valid || !player.loggedIn || line.kind == ClientMessageKind::Login || line.token != player.token) {
    ++server.malformedMessages;
    return;
  }
  switch (line.kind) {
    case ClientMessageKind::Closing:
      beginClose(server, player, "closing notice");
      break;
    case ClientMessageKind::Aircraft: {
      std::string path = cleanPayload(relativeAircraftPath(line.text));
      player.aircraft = path.empty() ? std::nullopt : std::optional<std::string>(path);
      server.viewsDirty = true;
      break;
    }
    case ClientMessageKind::ViewOnlyCallsign:
      markViewOnly(server, player);
      [[fallthrough]];
    case ClientMessageKind::Callsign:
      player.callsign = cleanPayload(line.text);
      server.viewsDirty = true;
      break;
    case ClientMessageKind::Chat:
      broadcastChat(server, player, line.text);
      break;
    case ClientMessageKind::Login:
      break;
  }
}

// Takes the whole lines from the front of the input; an over-long line
// closes the client.
void takeLines(Server& server, Player& player) {
  size_t start = 0;
  while (!player.closing) {
    size_t end = player.input.find('\n', start);
    size_t length = (end == std::string::npos ? player.input.size() : end) - start;
    if (length > kMaxLineSize) {
      beginClose(server, player, "line longer than " + std::to_string(kMaxLineSize) + " bytes");
      return;
    }
    if (end == std::string::npos) break;
    std::string_view line(player.input.data() + start, length);
    while (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    handleLine(server, player, line);
    start = end + 1;
  }
  if (!player.closing) player.input.erase(0, start);
}

void readClient(Server& server, Player& player) {
  char buffer[kReadSize];
  ssize_t count = recv(player.fd, buffer, sizeof buffer, MSG_DONTWAIT);
  if (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) return;
  if (count <= 0) {
    finish(server, player, count == 0 ? "connection closed" : std::string("connection lost: ") + strerror(errno));
    return;
  }
  if (player.closing) return;  // lingering: the rest is dropped
  player.input.append(buffer, count);
  takeLines(server, player);
}

void flushOutput(Server& server, Player& player) {
  if (player.fd < 0) return;
  size_t sent = 0;
  while (sent < player.output.size()) {
    ssize_t count = send(player.fd, player.output.data() + sent, player.output.size() - sent,
                         MSG_DONTWAIT | MSG_NOSIGNAL);
    if (count < 0) {
      if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) break;
      player.output.clear();
      finish(server, player, std::string("send failed: ") + strerror(errno));
      return;
    }
    sent += count;
  }
  player.output.erase(0, sent);
  if (player.closing && player.output.empty() && !player.writeShut) {
    shutdown(player.fd, SHUT_WR);
    player.writeShut = true;
  }
}

void acceptClients(Server& server, Clock::time_point now) {
  for (int i = 0; i < 64; ++i) {
    sockaddr_in peer{};
    socklen_t length = sizeof peer;
    int fd = accept4(server.listenFd, reinterpret_cast<sockaddr*>(&peer), &length, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) return;
    if (static_cast<int>(server.players.size()) >= server.options.maxClients) {
      logLine("connect from " + describeAddress(peer) + " refused: " +
              std::to_string(server.options.maxClients) + " clients already");
      close(fd);
      continue;
    }
    int on = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    Player& player = server.players[server.nextId];
    player.id = server.nextId++;
    player.fd = fd;
    player.tcpPeer = peer;
    player.loginDeadline = now + seconds(server.options.idleTimeoutSeconds);
    logLine(describePlayer(player) + " connect from " + describeAddress(peer));
  }
}

// The client a datagram comes from: a logged-in client with the datagram's
// token and IP address. Several such clients (two simulators on one host
// started in the same second draw the same token) are told apart by their
// learned UDP address; a new address goes to the oldest one whose address
// is not yet known. With allowMove, a single candidate whose address is
// known but different takes the new one (its port changed); several such
// candidates leave the datagram unmatched. Two clients with one token and
// one IP that start sending at the same moment may thus swap positions
// until one of them reconnects: the wire gives nothing else to tell them
// apart.
Player* matchDatagram(Server& server, const sockaddr_in& source, int token, bool allowMove) {
  Player* unknown = nullptr;
  Player* only = nullptr;
  int candidates = 0;
  for (auto& [id, player] : server.players) {
    if (!player.loggedIn || player.closing || player.token != token ||
        player.tcpPeer.sin_addr.s_addr != source.sin_addr.s_addr)
      continue;
    if (player.udpKnown && sameAddress(player.udpAddress, source)) return &player;
    if (!player.udpKnown && !unknown) unknown = &player;
    only = &player;
    ++candidates;
  }
  if (unknown) return unknown;
  return allowMove && candidates == 1 ? only : nullptr;
}

// A client sends its first report right after its login, so the report
// can be here while the login waits on a connection that this pass has not
// accepted or read yet: look at the TCP side again before giving up.
void catchUpWithLogins(Server& server, Clock::time_point now) {
  acceptClients(server, now);
  for (auto& [id, player] : server.players)
    if (player.fd >= 0) readClient(server, player);
}

void handleDatagram(Server& server, std::string_view bytes, const sockaddr_in& source,
                    Clock::time_point now, int* catchUpsLeft) {
  PositionReport report;
  if (!parsePositionReport(bytes, &report)) {
    ++server.malformedMessages;
    return;
  }
  // A login not yet read beats moving another client to this address.
  Player* player = matchDatagram(server, source, report.token, false);
  if (!player && *catchUpsLeft > 0) {
    --*catchUpsLeft;
    catchUpWithLogins(server, now);
  }
  if (!player) player = matchDatagram(server, source, report.token, true);
  if (!player) {
    ++server.unmatchedDatagrams;
    return;
  }
  player->udpKnown = true;
  player->udpAddress = source;
  if (report.viewOnly) markViewOnly(server, *player);
  player->hasPosition = true;
  player->lastDatagram = now;
  player->relayed = relayedFields(report);
  earthCentred(parseReal(report.fields[3]), parseReal(report.fields[4]), parseReal(report.fields[5]),
               &player->x, &player->y, &player->z);
  bool aircraft = isAircraft(server, *player, now);
  // An aircraft that just appeared needs its slots before its first relay.
  if (server.viewsDirty || aircraft != player->shown) updateViews(server, now);
  if (aircraft) relayPosition(server, *player);
}

void receiveDatagrams(Server& server, Clock::time_point now) {
  char buffer[kMaxReportSize + 1];
  int catchUpsLeft = kCatchUpsPerWake;
  for (int i = 0; i < kDatagramsPerWake; ++i) {
    sockaddr_in source{};
    socklen_t length = sizeof source;
    ssize_t count = recvfrom(server.udpFd, buffer, sizeof buffer, MSG_DONTWAIT | MSG_TRUNC,
                             reinterpret_cast<sockaddr*>(&source), &length);
    if (count < 0) return;
    if (static_cast<size_t>(count) > kMaxReportSize) {
      ++server.malformedMessages;
      continue;
    }
    handleDatagram(server, std::string_view(buffer, count), source, now, &catchUpsLeft);
  }
}

void runTimers(Server& server, Clock::time_point now) {
  for (auto& [id, player] : server.players) {
    if (!player.loggedIn && !player.closing && now >= player.loginDeadline)
      beginClose(server, player, "no login within " + formatSeconds(server.options.idleTimeoutSeconds) + " s");
    if (player.closing && player.fd >= 0 && now >= player.lingerEnd) {
      close(player.fd);
      player.fd = -1;
    }
    if (player.shown != isAircraft(server, player, now)) server.viewsDirty = true;
  }
  if (now >= server.nextRanking) {
    server.viewsDirty = true;
    server.nextRanking = now + kRankingInterval;
  }
}

bool openSocket(int* fd, int type, const sockaddr_in& address, std::string* error) {
  *fd = socket(AF_INET, type | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (*fd < 0) {
    *error = std::string("socket: ") + strerror(errno);
    return false;
  }
  // Only TCP may rebind at once after a restart; a shared UDP port would
  // split the clients' reports between two sockets.
  int on = 1;
  if (type == SOCK_STREAM) setsockopt(*fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  if (bind(*fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    *error = std::string(type == SOCK_STREAM ? "TCP" : "UDP") + " bind " + describeAddress(address) +
             ": " + strerror(errno);
    return false;
  }
  if (type == SOCK_STREAM && listen(*fd, 64) != 0) {
    *error = std::string("listen: ") + strerror(errno);
    return false;
  }
  return true;
}

}  // namespace

std::string formatSeconds(double value) {
  char text[32];
  snprintf(text, sizeof text, "%g", value);
  return text;
}

void logLine(const std::string& text) {
  time_t now = time(nullptr);
  tm local;
  localtime_r(&now, &local);
  char stamp[16];
  strftime(stamp, sizeof stamp, "%H:%M:%S", &local);
  fprintf(stderr, "%s quillsky-server: %s\n", stamp, text.c_str());
  fflush(stderr);
}

std::string describePlayer(const Player& player) {
  std::string text = "#" + std::to_string(player.id);
  if (player.token >= 0) text += " " + cleanPayload(player.userID.empty() ? "(no user ID)" : player.userID);
  return text;
}

bool isAircraft(const Server& server, const Player& player, Clock::time_point now) {
  return player.loggedIn && !player.closing && !player.viewOnly && player.hasPosition &&
         now - player.lastDatagram <= seconds(server.options.idleTimeoutSeconds);
}

void queueOutput(Server& server, Player& player, std::string_view bytes) {
  if (player.closing) return;
  if (player.output.size() + bytes.size() > kMaxOutputBacklog) {
    finish(server, player, "not reading (" + std::to_string(player.output.size()) + " bytes queued)");
    return;
  }
  player.output += bytes;
}

bool openServer(Server& server, std::string* error) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(server.options.port);
  inet_pton(AF_INET, server.options.address.c_str(), &address.sin_addr);
  if (!openSocket(&server.listenFd, SOCK_STREAM, address, error) ||
      !openSocket(&server.udpFd, SOCK_DGRAM, address, error))
    return false;
  logLine("listening on " + describeAddress(address) + " (TCP and UDP)");
  return true;
}

void runServer(Server& server, volatile sig_atomic_t* stop) {
  std::vector<pollfd> fds;
  std::vector<int> ids;  // the player of each pollfd after the first two
  while (!*stop) {
    fds.assign({{server.listenFd, POLLIN, 0}, {server.udpFd, POLLIN, 0}});
    ids.clear();
    for (auto& [id, player] : server.players) {
      if (player.fd < 0) continue;
      short events = POLLIN;
      if (!player.output.empty()) events |= POLLOUT;
      fds.push_back({player.fd, events, 0});
      ids.push_back(id);
    }
    if (poll(fds.data(), fds.size(), kPollMilliseconds) < 0 && errno != EINTR) {
      logLine(std::string("poll: ") + strerror(errno));
      return;
    }
    Clock::time_point now = Clock::now();
    if (fds[0].revents & POLLIN) acceptClients(server, now);
    // Lines before datagrams, so a login read in this pass already matches
    // the reports that follow it.
    for (size_t i = 2; i < fds.size(); ++i) {
      Player& player = server.players.at(ids[i - 2]);
      if (fds[i].revents & (POLLIN | POLLHUP | POLLERR)) readClient(server, player);
    }
    if (fds[1].revents & POLLIN) receiveDatagrams(server, now);
    runTimers(server, now);
    if (server.viewsDirty) updateViews(server, now);
    for (auto& [id, player] : server.players) flushOutput(server, player);
    for (auto it = server.players.begin(); it != server.players.end();) {
      if (it->second.closing && it->second.fd < 0) {
        it = server.players.erase(it);
      } else {
        ++it;
      }
    }
  }
}

void closeServer(Server& server) {
  for (auto& [id, player] : server.players)
    if (player.fd >= 0) close(player.fd);
  server.players.clear();
  if (server.listenFd >= 0) close(server.listenFd);
  if (server.udpFd >= 0) close(server.udpFd);
  server.listenFd = server.udpFd = -1;
  logLine("stopped: " + std::to_string(server.malformedMessages) + " malformed messages ignored, " +
          std::to_string(server.unmatchedDatagrams) + " unmatched datagrams, " +
          std::to_string(server.relayedDatagrams) + " datagrams relayed");
}
