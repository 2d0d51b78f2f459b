#include "messages.h"

#include <charconv>

namespace {

// Leading decimal token and its bar; the rest of the line after the bar.
bool takeToken(std::string_view* text, int* token) {
  size_t bar = text->find('|');
  if (bar == 0 || bar == std::string_view::npos || bar > 9) return false;
  for (size_t i = 0; i < bar; ++i)
    if ((*text)[i] < '0' || (*text)[i] > '9') return false;
  std::from_chars(text->data(), text->data() + bar, *token);
  text->remove_prefix(bar + 1);
  return true;
}

bool takePrefix(std::string_view* text, std::string_view prefix) {
  if (text->substr(0, prefix.size()) != prefix) return false;
  text->remove_prefix(prefix.size());
  return true;
}

bool isHexDigest(std::string_view text) {
  if (text.size() != 32) return false;
  for (char c : text)
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'))) return false;
  return true;
}

}  // namespace

bool parseClientLine(std::string_view line, ClientLine* out) {
  *out = ClientLine{};
  if (!takeToken(&line, &out->token)) return false;
  // User IDs and call signs go out as typed, bars and all, so the fields
  // after them are found from the end of the line.
  if (takePrefix(&line, "Opening Connection|")) {
    // USERID|DIGEST|
    if (line.size() < 34 || line.back() != '|' || line[line.size() - 34] != '|') return false;
    out->kind = ClientMessageKind::Login;
    out->digest = line.substr(line.size() - 33, 32);
    out->userID = line.substr(0, line.size() - 34);
    return isHexDigest(out->digest);
  }
  if (line == "Closing Connection") {
    out->kind = ClientMessageKind::Closing;
    return true;
  }
  // The aircraft path and the chat text run to the end of the line.
  bool aircraft = takePrefix(&line, "PLANE|");
  if (aircraft || takePrefix(&line, "MESSAGE|")) {
    out->kind = aircraft ? ClientMessageKind::Aircraft : ClientMessageKind::Chat;
    out->text = line;
    return true;
  }
  bool viewOnly = takePrefix(&line, "VOCALLSIGN|");
  if (viewOnly || takePrefix(&line, "CALLSIGN|")) {
    if (line.empty() || line.back() != '|') return false;
    out->kind = viewOnly ? ClientMessageKind::ViewOnlyCallsign : ClientMessageKind::Callsign;
    out->text = line.substr(0, line.size() - 1);
    return true;
  }
  return false;
}

bool parsePositionReport(std::string_view datagram, PositionReport* out) {
  if (datagram.size() > kMaxReportSize || datagram.find('\0') != std::string_view::npos) return false;
  if (!takeToken(&datagram, &out->token)) return false;
  out->viewOnly = takePrefix(&datagram, "VOLOC|");
  if (!out->viewOnly && !takePrefix(&datagram, "LOC|")) return false;
  int count = 0;
  size_t start = 0;
  while (true) {
    size_t bar = datagram.find('|', start);
    std::string_view field = datagram.substr(start, bar == std::string_view::npos ? bar : bar - start);
    if (count < kRelayedFieldCount) out->fields[count] = field;
    ++count;
    if (bar == std::string_view::npos) break;
    start = bar + 1;
  }
  return count >= kRelayedFieldCount && count <= kRelayedFieldCount + 2;
}

std::string relayedFields(const PositionReport& report) {
  std::string text;
  text.reserve(kMaxReportSize);
  for (std::string_view field : report.fields) {
    text += field;
    text += '|';
  }
  return text;
}

std::string positionDatagram(int slot, std::string_view relayed) {
  std::string datagram = std::to_string(slot);
  datagram += "|l|";
  datagram += relayed;
  return datagram;
}

std::string slotLine(int slot, char type, std::string_view payload) {
  std::string line = std::to_string(slot);
  line += '|';
  line += type;
  line += '|';
  line += payload;
  line += '\n';
  return line;
}

std::string relativeAircraftPath(std::string_view path) {
  std::string converted(path);
  for (char& c : converted)
    if (c == '\\' || c == ':') c = '/';
  // Only a whole folder name counts: "MyAircraft/" is not the folder.
  for (size_t at = converted.find("Aircraft/"); at != std::string::npos;
       at = converted.find("Aircraft/", at + 1)) {
    if (at == 0 || converted[at - 1] == '/') return converted.substr(at);
  }
  return converted;
}

std::string cleanPayload(std::string_view text) {
  std::string clean;
  clean.reserve(text.size());
  int equalsRun = 0;
  for (char c : text) {
    if (c == '\0') continue;
    if (c == '\r') c = ' ';
    equalsRun = c == '=' ? equalsRun + 1 : 0;
    if (equalsRun > 3) continue;
    clean += c;
  }
  return clean;
}
