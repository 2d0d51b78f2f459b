// The wire's per-frame and per-read paths beside their floors: formatting
// the 42 numbers alone, converting the 40 field texts alone, and scanning a
// read for its line ends alone.
#include "net/wire.h"

#include <benchmark/benchmark.h>

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

PositionSample realisticSample() {
  PositionSample s;
  const float reals[17] = {-12873.4561f, 412.337128f, 20931.0859f, 47.4582291f, 8.54917431f,
                           1483.25195f,  2.45318437f, -0.78125f,  271.603241f, 0.5f,
                           0.5f,         0.0f,        0.25f,      0.0f,        -0.0327148438f,
                           0.0112304688f, 0.0f};
  for (int i = 0; i < 17; ++i) s.reals[i] = reals[i];
  for (float& g : s.gear) g = 1.0f;
  const int lights[5] = {1, 0, 1, 1, 0};
  for (int i = 0; i < 5; ++i) s.lights[i] = lights[i];
  for (int i = 0; i < 8; ++i) s.throttle[i] = i < 2 ? 0.812345684f : 0.0f;
  s.ticks[0] = 86403128.0f;
  s.ticks[1] = 86403128.0f;
  return s;
}

void BM_PositionReport(benchmark::State& state) {
  PositionSample sample = realisticSample();
  char out[kMaxPositionReport];
  for (auto _ : state) {
    benchmark::DoNotOptimize(sample);
    benchmark::DoNotOptimize(buildPositionReport(out, 12345, 0, sample));
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_PositionReport);

// Floor: the same 42 values through std::to_chars, nothing else.
void BM_PositionReportFloor_ToChars(benchmark::State& state) {
  PositionSample sample = realisticSample();
  char out[kMaxPositionReport];
  for (auto _ : state) {
    benchmark::DoNotOptimize(sample);
    char* p = out;
    char* end = out + sizeof out;
    auto real = [&](float v) { p = std::to_chars(p, end, static_cast<double>(v), std::chars_format::general, 9).ptr; };
    for (float v : sample.reals) real(v);
    for (float v : sample.gear) real(v);
    for (int v : sample.lights) p = std::to_chars(p, end, v).ptr;
    for (float v : sample.throttle) real(v);
    for (float v : sample.ticks) real(v);
    benchmark::DoNotOptimize(p);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_PositionReportFloor_ToChars);

// Reference: the report as snprintf would write it.
void BM_PositionReportReference_Snprintf(benchmark::State& state) {
  PositionSample sample = realisticSample();
  char out[kMaxPositionReport];
  for (auto _ : state) {
    benchmark::DoNotOptimize(sample);
    int n = snprintf(out, sizeof out, "%d|LOC", 12345);
    auto real = [&](float v) { n += snprintf(out + n, sizeof out - n, "|%.9g", static_cast<double>(v)); };
    for (float v : sample.reals) real(v);
    for (float v : sample.gear) real(v);
    for (int v : sample.lights) n += snprintf(out + n, sizeof out - n, "|%d", v);
    for (float v : sample.throttle) real(v);
    for (float v : sample.ticks) real(v);
    benchmark::DoNotOptimize(n);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_PositionReportReference_Snprintf);

// A datagram as the server relays a report: slot, type, then the fields.
std::string realisticDatagram() {
  char report[kMaxPositionReport];
  int length = buildPositionReport(report, 12345, 0, realisticSample());
  std::string sent(report, length);
  return "3|l|" + sent.substr(sent.find("|LOC|") + 5);
}

void BM_RecogniseDatagram(benchmark::State& state) {
  std::string text = realisticDatagram();
  PositionDatagram datagram;
  for (auto _ : state) {
    benchmark::DoNotOptimize(recognisePositionDatagram(text.data(), static_cast<int>(text.size()), &datagram));
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_RecogniseDatagram);

// Floor: converting the same 40 field texts with strtod alone.
void BM_RecogniseDatagramFloor_Strtod(benchmark::State& state) {
  std::string text = realisticDatagram();
  std::vector<std::string> fields;
  size_t at = text.find('|', text.find('|') + 1) + 1;
  for (int i = 0; i < kDatagramFieldCount; ++i) {
    size_t bar = text.find('|', at);
    fields.push_back(text.substr(at, bar - at));
    at = bar + 1;
  }
  for (auto _ : state) {
    double sum = 0;
    for (const std::string& field : fields) sum += strtod(field.c_str(), nullptr);
    benchmark::DoNotOptimize(sum);
  }
}
BENCHMARK(BM_RecogniseDatagramFloor_Strtod);

// One full read of complete call-sign lines.
std::string callsignRead() {
  std::string read;
  for (int slot = 1;; slot = slot % 19 + 1) {
    std::string line = std::to_string(slot) + "|c|Pilot" + std::to_string(slot * 37) + "\r\n";
    if (read.size() + line.size() > static_cast<size_t>(kReadChunkSize)) break;
    read += line;
  }
  return read;
}

void countLine(const StreamLine& line, void* context) {
  *static_cast<size_t*>(context) += line.payload.size();
}

void BM_FrameRead(benchmark::State& state) {
  std::string read = callsignRead();
  std::string buffer;
  buffer.reserve(4 * kReadChunkSize);
  size_t total = 0;
  for (auto _ : state) {
    appendStreamBytes(buffer, read.data(), static_cast<int>(read.size()));
    takeStreamLines(buffer, countLine, &total);
  }
  benchmark::DoNotOptimize(total);
  state.SetBytesProcessed(state.iterations() * read.size());
}
BENCHMARK(BM_FrameRead);

// Floor: finding each line end of the same read with memchr.
void BM_FrameReadFloor_Memchr(benchmark::State& state) {
  std::string read = callsignRead();
  for (auto _ : state) {
    const char* p = read.data();
    const char* end = p + read.size();
    size_t lines = 0;
    while (const char* lineEnd = static_cast<const char*>(memchr(p, '\n', end - p))) {
      ++lines;
      p = lineEnd + 1;
    }
    benchmark::DoNotOptimize(lines);
  }
  state.SetBytesProcessed(state.iterations() * read.size());
}
BENCHMARK(BM_FrameReadFloor_Memchr);

}  // namespace

BENCHMARK_MAIN();
