// The wire protocol: the client's messages, the position datagram, and the
// framing of the stream into lines.
#include "net/wire.h"

#include <limits.h>
#include <string.h>

#include "net/md5.h"
#include "text/pattern.h"

namespace {

// Made at first use and kept until the module is unloaded.
struct WirePatterns {
  Pattern header{"(\\d+)\\|(\\w)\\|", Pattern::kDefault};
  // Each "(.*?)" is lazy, so a field ends at the first bar after it; "." does
  // not take a line feed, so a field holding one fails its group.
  Pattern nineFields{"(.*?)\\|(.*?)\\|(.*?)\\|(.*?)\\|(.*?)\\|(.*?)\\|(.*?)\\|(.*?)\\|(.*?)\\|",
                     Pattern::kDefault};
  Pattern eightFields{"(.*?)\\|(.*?)\\|(.*?)\\|(.*?)\\|(.*?)\\|(.*?)\\|(.*?)\\|(.*?)\\|",
                      Pattern::kDefault};
  Pattern tenFields{"(.*?)\\|(.*?)\\|(.*?)\\|(.*?)\\|(.*?)\\|(.*?)\\|(.*?)\\|(.*?)\\|(.*?)\\|(.*?)\\|",
                    Pattern::kDefault};
  Pattern lights{"(\\d)\\|(\\d)\\|(\\d)\\|(\\d)\\|(\\d)\\|", Pattern::kDefault};
};

const WirePatterns& patterns() {
  static const WirePatterns instance;
  return instance;
}

constexpr std::string_view kSeparator = "====";

// A buffer that holds no line end and has grown past the bound can only be
// one overlong line: its content goes, so that neither memory nor the
// connection is lost to it. The tail still to come is skipped as a malformed
// front when its line end arrives.
void dropOverlongLine(std::string& buffer) {
  if (buffer.size() > kMaxStreamBuffer && buffer.find(kSeparator) == std::string::npos) buffer.clear();
}

// The separator at the front of text ends after its four "=" and after up to
// three more that follow at once. Lines begin with a digit, so such "=" can
// only be the end of the line before: a payload "A=" is framed as "A=====",
// and it keeps its "=" rather than leaving it to spoil the next line.
size_t separatorLength(std::string_view text) {
  size_t length = kSeparator.size();
  while (length < 2 * kSeparator.size() - 1 && length < text.size() && text[length] == '=') ++length;
  return length;
}

std::string tokenMessage(int token, std::string_view tag, std::string_view text, std::string_view end) {
  std::string message;
  message.reserve(kMaxNumberText + tag.size() + text.size() + end.size());
  appendInteger(message, "", token);
  message.append(tag);
  message.append(text);
  message.append(end);
  return message;
}

char* writeBarReals(char* out, const float* values, int count) {
  for (int i = 0; i < count; ++i) {
    *out++ = '|';
    out = writeReal(out, values[i]);
  }
  return out;
}

}  // namespace

std::string buildLogin(int token, std::string_view userID, std::string_view digestHex) {
  std::string message = tokenMessage(token, "|Opening Connection|", userID, "|");
  message.append(digestHex);
  message.append("|\n");
  return message;
}

std::string loginDigest(int token, std::string_view userID, std::string_view password) {
  std::string input;
  appendInteger(input, "", token);
  input.append(userID);
  input.append(password);
  char hex[33];
  md5Hex(input.data(), static_cast<int>(input.size()), hex);
  return std::string(hex, 32);
}

std::string buildClosingNotice(int token) {
  return tokenMessage(token, "|Closing Connection\n", "", "");
}

std::string buildAircraftReport(int token, std::string_view aircraftPath) {
  return tokenMessage(token, "|PLANE|", aircraftPath, "\n");
}

std::string buildCallsignReport(int token, std::string_view callsign, int viewOnly) {
  return tokenMessage(token, viewOnly ? "|VOCALLSIGN|" : "|CALLSIGN|", callsign, "|\n");
}

std::string buildChatMessage(int token, std::string_view text) {
  return tokenMessage(token, "|MESSAGE|", text, "\n");
}

int buildPositionReport(char* out, int token, int viewOnly, const PositionSample& sample) {
  char* p = writeInteger(out, token);
  std::string_view tag = viewOnly ? "|VOLOC" : "|LOC";
  memcpy(p, tag.data(), tag.size());
  p += tag.size();
  p = writeBarReals(p, sample.reals, 17);
  p = writeBarReals(p, sample.gear, 10);
  for (int light : sample.lights) {
    *p++ = '|';
    p = writeInteger(p, light);
  }
  p = writeBarReals(p, sample.throttle, 8);
  p = writeBarReals(p, sample.ticks, 2);
  return static_cast<int>(p - out);
}

bool recognisePositionDatagram(const char* data, int length, PositionDatagram* datagram) {
  if (length <= 0) return false;
  std::string_view text(data, strnlen(data, static_cast<size_t>(length)));
  const WirePatterns& pattern = patterns();
  PositionDatagram taken;
  std::string_view type;
  if (!pattern.header.consume(text, {&taken.slot, &type}) || type != "l") return false;
  std::string_view* f = taken.fields;
  bool matched =
      pattern.nineFields.consume(text, {&f[0], &f[1], &f[2], &f[3], &f[4], &f[5], &f[6], &f[7], &f[8]}) &&
      pattern.eightFields.consume(text, {&f[9], &f[10], &f[11], &f[12], &f[13], &f[14], &f[15], &f[16]}) &&
      pattern.tenFields.consume(
          text, {&f[17], &f[18], &f[19], &f[20], &f[21], &f[22], &f[23], &f[24], &f[25], &f[26]}) &&
      pattern.lights.consume(text, {&f[27], &f[28], &f[29], &f[30], &f[31]}) &&
      pattern.eightFields.consume(text, {&f[32], &f[33], &f[34], &f[35], &f[36], &f[37], &f[38], &f[39]});
  // What follows the fortieth bar (the two tick fields, or nothing) is not read.
  if (!matched) return false;
  *datagram = taken;
  return true;
}

// The stream is framed by hand rather than with the patterns "[\n\r]+"
// (replaced by the separator) and "(\d+)\|(\w)\|(.*?)(====)": a read holds
// a hundred short lines, and a pattern match per line costs several times
// the scan itself. The code below gives exactly the patterns' results.

void appendStreamBytes(std::string& buffer, const char* data, int length) {
  // Runs already in the buffer were replaced when they arrived, so
  // replacing within the new bytes alone gives the whole buffer's result.
  const char* p = data;
  const char* end = length > 0 ? data + length : data;
  while (p != end) {
    const char* text = p;
    while (p != end && *p != '\r' && *p != '\n' && *p != '\0') ++p;
    buffer.append(text, p);
    if (p == end || *p == '\0') break;
    buffer.append(kSeparator);
    while (p != end && (*p == '\r' || *p == '\n')) ++p;
  }
  dropOverlongLine(buffer);
}

namespace {

bool isWordCharacter(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}

// Matches "(\d+)\|(\w)\|" at the front of text, the slot within 32 bits;
// returns where the payload starts, or npos.
size_t lineHeader(std::string_view text, StreamLine* line) {
  size_t at = 0;
  long long slot = 0;
  for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at)
    if (slot <= INT_MAX) slot = slot * 10 + (text[at] - '0');
  if (at == 0 || slot > INT_MAX || text.size() - at < 3 || text[at] != '|' ||
      !isWordCharacter(text[at + 1]) || text[at + 2] != '|')
    return std::string_view::npos;
  line->slot = static_cast<int>(slot);
  line->type = text[at + 1];
  return at + 3;
}

}  // namespace

void takeStreamLines(std::string& buffer, StreamLineHandler handler, void* context) {
  std::string_view rest(buffer);
  for (;;) {
    StreamLine taken;
    size_t payloadStart = lineHeader(rest, &taken);
    bool isLine = payloadStart != std::string_view::npos;
    // The payload is the shortest text up to a separator. A front that is
    // not a line is skipped with its separator; without a separator it may
    // be a line still arriving, and waits.
    size_t separator = rest.find(kSeparator, isLine ? payloadStart : 0);
    if (separator == std::string_view::npos) break;
    size_t end = separator + separatorLength(rest.substr(separator));
    if (isLine) {
      taken.payload = rest.substr(payloadStart, end - kSeparator.size() - payloadStart);
      handler(taken, context);
    }
    rest.remove_prefix(end);
  }
  buffer.erase(0, rest.data() - buffer.data());
  dropOverlongLine(buffer);
}
