// Stream framing over arbitrary reads, checked against the same framing done
// with the line patterns over the whole buffer.
//
// Input: byte 0 holds the number of split points (low 4 bits) and whether
// each read is repeated 40 times (high bit), which carries the buffer past
// its bound; the split points follow, one byte each; the rest is the stream.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <string_view>
#include <vector>

#include "net/wire.h"
#include "text/pattern.h"

namespace {

struct Line {
  int slot;
  char type;
  std::string payload;
  bool operator==(const Line& other) const {
    return slot == other.slot && type == other.type && payload == other.payload;
  }
};

void collect(const StreamLine& line, void* context) {
  static_cast<std::vector<Line>*>(context)->push_back({line.slot, line.type, std::string(line.payload)});
}

bool hasSeparator(const std::string& text) { return text.find("====") != std::string::npos; }

void referenceAppend(std::string& buffer, std::string_view read) {
  static const Pattern lineEnds("[\\n\\r]+", Pattern::kDefault);
  buffer.append(read.substr(0, strnlen(read.data(), read.size())));
  lineEnds.globalReplace(buffer, "====");
  if (buffer.size() > kMaxStreamBuffer && !hasSeparator(buffer)) buffer.clear();
}

void referenceTake(std::string& buffer, std::vector<Line>* lines) {
  static const Pattern line("(\\d+)\\|(\\w)\\|(.*?)(====)", Pattern::kDefault);
  static const Pattern everything("(.*)", Pattern::kMultiline | Pattern::kDotAll);
  std::string_view rest = buffer;
  for (;;) {
    int slot;
    std::string type, payload;
    bool isLine = line.consume(rest, {&slot, &type, &payload});
    if (!isLine) {
      size_t at = rest.find("====");
      if (at == std::string_view::npos) break;
      rest.remove_prefix(at + 4);
    }
    // Up to three "=" right after the separator end the payload before it.
    for (int extra = 0; extra < 3 && !rest.empty() && rest[0] == '='; ++extra) {
      payload += '=';
      rest.remove_prefix(1);
    }
    if (isLine) lines->push_back({slot, type[0], payload});
  }
  everything.consume(rest, {&buffer});
  if (buffer.size() > kMaxStreamBuffer && !hasSeparator(buffer)) buffer.clear();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  size_t splits = data[0] & 15;
  int repeats = data[0] & 128 ? 40 : 1;
  if (size < 1 + splits) return 0;
  std::vector<size_t> readSizes(data + 1, data + 1 + splits);
  std::string_view stream(reinterpret_cast<const char*>(data) + 1 + splits, size - 1 - splits);

  std::string buffer, reference;
  std::vector<Line> lines, expected;
  for (size_t read = 0; read <= splits && !stream.empty(); ++read) {
    std::string_view bytes = stream.substr(0, read < splits ? readSizes[read] : stream.size());
    stream.remove_prefix(bytes.size());
    for (int r = 0; r < repeats; ++r) {
      appendStreamBytes(buffer, bytes.data(), static_cast<int>(bytes.size()));
      if (buffer.size() > kMaxStreamBuffer && !hasSeparator(buffer)) abort();
      if (buffer.find_first_of("\r\n") != std::string::npos) abort();
      size_t before = lines.size();
      takeStreamLines(buffer, collect, &lines);
      if (buffer.size() > kMaxStreamBuffer) abort();
      for (size_t i = before; i < lines.size(); ++i) {
        const std::string& payload = lines[i].payload;
        if (payload.find("====") != std::string::npos) abort();
        if (payload.find_first_of("\r\n") != std::string::npos) abort();
      }
      referenceAppend(reference, bytes);
      referenceTake(reference, &expected);
      if (buffer != reference || !(lines == expected)) abort();
    }
  }
  return 0;
}
