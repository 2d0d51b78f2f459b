// The server's side of the wire texts: reading what clients send, writing
// what they receive. Pure functions over text.
#pragma once

#include <string>
#include <string_view>

constexpr int kRelayedFieldCount = 40;    // fields of a position datagram
constexpr size_t kMaxReportSize = 1400;   // a longer position report is not from a client

enum class ClientMessageKind { Login, Closing, Aircraft, Callsign, ViewOnlyCallsign, Chat };

// One line a client sent on TCP (without its line end); the views point
// into that line.
struct ClientLine {
  ClientMessageKind kind;
  int token;
  std::string_view userID;  // Login
  std::string_view digest;  // Login: 32 hexadecimal digits
  std::string_view text;    // Aircraft: path; Callsign: call sign; Chat: the typed text
};
// False when the line is not one of the client's messages.
bool parseClientLine(std::string_view line, ClientLine* out);

// One position report ("TOKEN|LOC|f1|...|f42", or "|VOLOC").
struct PositionReport {
  int token;
  bool viewOnly;
  std::string_view fields[kRelayedFieldCount];  // fields 1 to 40; the tick fields are not kept
};
// False unless the header is right and 40 to 42 fields follow.
bool parsePositionReport(std::string_view datagram, PositionReport* out);

// The report's fields as relayed: each of fields 1 to 40 followed by a bar.
std::string relayedFields(const PositionReport& report);
// A position datagram for one receiver: "N|l|" and the relayed fields.
std::string positionDatagram(int slot, std::string_view relayed);
// A line to a client: "N|t|payload\n".
std::string slotLine(int slot, char type, std::string_view payload);

// An aircraft path as the other simulators resolve it: "\" and ":" become
// "/", and from the "Aircraft/" folder on when the path has one, so it is
// relative to the simulator's folder.
std::string relativeAircraftPath(std::string_view path);
// Text that is safe as a payload: no NUL (the client cuts a read there), no
// carriage return (a line end to the client), no "====" (its line
// separator; runs of "=" are cut to three).
std::string cleanPayload(std::string_view text);
