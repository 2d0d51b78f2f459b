// The server's one state record and its event loop.
//
// One thread; poll() over the TCP listener, the UDP socket and every client
// connection. A client is one TCP connection: it logs in there, and its
// position reports arrive by UDP from an address the server learns from
// the reports themselves (see matchDatagram in server.cpp).
#pragma once

#include <netinet/in.h>
#include <signal.h>

#include <array>
#include <chrono>
#include <map>
#include <optional>
#include <string>

#include "options.h"

using Clock = std::chrono::steady_clock;

constexpr int kSlotCount = 20;             // slot 0 the receiver's own aircraft, 1-19 the others
constexpr size_t kMaxLineSize = 65536;     // a longer TCP line closes the client
constexpr size_t kMaxOutputBacklog = 1 << 20;  // bytes queued for a client that does not read

// What one receiving client has been told about one of its slots.
struct SlotView {
  int player = 0;                         // connection number shown there; 0 free
  std::optional<std::string> callsign;    // last call sign sent for it
  std::optional<std::string> aircraft;    // last aircraft path sent for it
};

struct Player {
  // Connection, set at accept.
  int id = 0;                  // connection number, from 1; never reused
  int fd = -1;
  sockaddr_in tcpPeer{};
  std::string input;           // received bytes not yet a whole line
  std::string output;          // bytes waiting for the socket
  // Closing: the output is flushed, then the write side shut, then the
  // rest of the input read and dropped until the peer closes or lingerEnd.
  bool closing = false;
  bool writeShut = false;
  Clock::time_point lingerEnd;
  Clock::time_point loginDeadline;  // an unlogged connection is closed then

  // Identity, from the login and the identity reports.
  bool loggedIn = false;
  int token = -1;
  std::string userID;
  bool viewOnly = false;       // sent "|VOLOC" or "|VOCALLSIGN|": rides in someone's aircraft
  std::optional<std::string> callsign;   // cleaned
  std::optional<std::string> aircraft;   // relative and cleaned

  // Position, from the UDP reports.
  bool udpKnown = false;
  sockaddr_in udpAddress{};
  bool hasPosition = false;
  Clock::time_point lastDatagram;
  std::string relayed;         // fields 1-40 of the latest report, each with its bar
  double x = 0, y = 0, z = 0;  // earth-centred position, metres, for "nearest"
  bool shown = false;          // counted as an aircraft at the last view update

  // This client's view of the others.
  std::array<SlotView, kSlotCount> slots;
};

struct Server {
  ServerOptions options;
  bool checkLogins = false;                   // --users given
  std::map<std::string, std::string> users;   // user ID -> password
  int listenFd = -1;
  int udpFd = -1;
  std::map<int, Player> players;              // by connection number
  int nextId = 1;
  bool viewsDirty = false;                    // set by changes that need updateViews
  Clock::time_point nextRanking;              // when "nearest" is next looked at again
  // Counters, logged at stop.
  long malformedMessages = 0;
  long unmatchedDatagrams = 0;
  long relayedDatagrams = 0;
};

// Binds TCP and UDP; false with error when either fails.
bool openServer(Server& server, std::string* error);
// Serves until *stop becomes non-zero.
void runServer(Server& server, volatile sig_atomic_t* stop);
// Closes every socket.
void closeServer(Server& server);

// ---- Shared by the event loop and the views.
// Queues bytes for a client; a client that lets too much pile up is closed.
void queueOutput(Server& server, Player& player, std::string_view bytes);
// A player counted as an aircraft: logged in, not riding along, and heard
// from by UDP within the idle timeout.
bool isAircraft(const Server& server, const Player& player, Clock::time_point now);
// One log line on standard error.
void logLine(const std::string& text);
// Seconds as "%g", for log lines.
std::string formatSeconds(double value);
// "#id" and the user ID when known, for log lines.
std::string describePlayer(const Player& player);
