// Position datagram recognition on arbitrary bytes, checked against a plain
// splitter that reads the same grammar: "(\d+)\|(\w)\|", 27 fields that hold
// no bar or line feed, five single digits, 8 more fields, each with its bar.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <string_view>

#include "net/wire.h"

namespace {

bool referenceRecognise(std::string_view text, PositionDatagram* datagram) {
  size_t at = 0;
  long long slot = 0;
  for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at)
    if (slot <= 2147483647LL) slot = slot * 10 + (text[at] - '0');
  if (at == 0 || slot > 2147483647LL) return false;
  if (text.substr(at, 3) != "|l|") return false;
  at += 3;
  for (int i = 0; i < kDatagramFieldCount; ++i) {
    size_t end = at;
    while (end < text.size() && text[end] != '|' && text[end] != '\n') ++end;
    if (end == text.size() || text[end] != '|') return false;
    bool light = i >= 27 && i < 32;
    if (light && (end - at != 1 || text[at] < '0' || text[at] > '9')) return false;
    datagram->fields[i] = text.substr(at, end - at);
    at = end + 1;
  }
  datagram->slot = static_cast<int>(slot);
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const char* text = reinterpret_cast<const char*>(data);
  int length = size > 4000 ? 4000 : static_cast<int>(size);
  PositionDatagram got, want;
  bool taken = recognisePositionDatagram(text, length, &got);
  bool expected = referenceRecognise(std::string_view(text, strnlen(text, length)), &want);
  if (taken != expected) abort();
  if (!taken) return 0;
  if (got.slot != want.slot) abort();
  for (int i = 0; i < kDatagramFieldCount; ++i) {
    if (got.fields[i].data() != want.fields[i].data() || got.fields[i].size() != want.fields[i].size()) abort();
    volatile float value = parseReal(got.fields[i]);
    (void)value;
  }
  return 0;
}
