// The wire protocol: building every message the client sends, recognising
// the position datagram, framing the stream into lines.
#pragma once

#include <string>
#include <string_view>

#include "net/numbers.h"

constexpr int kServerPort = 49556;
constexpr int kMaxDatagramSize = 1400;     // longer datagrams are lost
constexpr int kReadChunkSize = 1400;       // one socket read
constexpr size_t kMaxStreamBuffer = 65536; // stream text without a line end beyond this is dropped
constexpr int kPositionFieldCount = 42;    // fields of a position report
constexpr int kDatagramFieldCount = 40;    // fields of a position datagram

// ---- Messages from the client. Each is built whole; TCP ones end in "\n".
std::string buildLogin(int token, std::string_view userID, std::string_view digestHex);
// The digest a login carries and the server checks: the MD5 of the token's
// digits, the user ID and the password, with nothing between them, as 32
// lower-case hexadecimal digits.
std::string loginDigest(int token, std::string_view userID, std::string_view password);
std::string buildClosingNotice(int token);
std::string buildAircraftReport(int token, std::string_view aircraftPath);
std::string buildCallsignReport(int token, std::string_view callsign, int viewOnly);
std::string buildChatMessage(int token, std::string_view text);

// The values of one position report, in field order.
struct PositionSample {
  float reals[17];    // fields 1-17: local x y z, lat lon elev, theta phi psi, flap, flap2,
                      // speedbrake, slat, sweep, yoke pitch roll heading
  float gear[10];     // fields 18-27
  int lights[5];      // fields 28-32: beacon, landing, strobe, nav, taxi
  float throttle[8];  // fields 33-40
  float ticks[2];     // fields 41-42, milliseconds
};
// Longest position report the builder can produce.
constexpr int kMaxPositionReport = 16 + 42 * (kMaxNumberText + 1);
// Writes token, "|LOC" or "|VOLOC" and the 42 fields into out; returns the
// length. out must hold kMaxPositionReport bytes.
int buildPositionReport(char* out, int token, int viewOnly, const PositionSample& sample);

// ---- Messages from the server.
// A position datagram taken whole: the slot number and fields 1 to 40 as
// views into the datagram's text.
struct PositionDatagram {
  int slot;
  std::string_view fields[kDatagramFieldCount];
};
// Recognises data (length bytes, cut at the first NUL). True only when the
// header has type "l" and all five field groups match.
bool recognisePositionDatagram(const char* data, int length, PositionDatagram* datagram);

// One line of the stream: slot number, type letter, payload.
struct StreamLine {
  int slot;
  char type;
  std::string_view payload;
};
typedef void (*StreamLineHandler)(const StreamLine& line, void* context);
// Appends one read (cut at the first NUL) to buffer, turning every CR/LF run
// into the separator "===="; drops the buffer's content when it holds no
// separator and exceeds kMaxStreamBuffer.
void appendStreamBytes(std::string& buffer, const char* data, int length);
// Takes every complete line from the front of buffer, calling handler for
// each in order (the payload is a view into buffer, which the handler must
// not change); a front that is not a line is skipped up to and including
// its separator. "=" right after a separator belongs to the payload before
// it, so a payload may end in "=". What is left stays in buffer, dropped as
// appendStreamBytes drops it when it exceeds kMaxStreamBuffer.
void takeStreamLines(std::string& buffer, StreamLineHandler handler, void* context);
