// The cost of the receive loop, in-process on the module's state, with its
// sockets on 127.0.0.1 (ports of the kernel's choosing, so that no test on
// the server port is disturbed):
// - one call with nothing waiting, beside the 190 bare non-blocking reads
//   it makes on the same sockets: the loop's own work should stay within
//   about 1.2 times the reads;
// - one call with 90 datagrams and 100 reads' worth of stream lines
//   waiting, reported per datagram applied;
// - an hour of simulated traffic at the full rate (one call every 0.03 s,
//   90 datagrams each, a stream of call-sign, aircraft and message lines),
//   reporting the heap in use and the resident size before and after.
#include <arpa/inet.h>
#include <malloc.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include <fstream>
#include <string>

#include "host/sockets.h"
#include "host/xplm_data.h"
#include "net/receive.h"
#include "shell/client_state.h"
#include "simhost/simulator.h"
#include "support/position_datagram.h"
#include "support/test_sockets.h"

namespace {

using testsupport::loopback;
using testsupport::queuedMemory;


// The client's two sockets, open and non-blocking as after a connect, and
// the server's ends of them.
struct Link {
  int serverStream = -1;
  int serverDatagrams = -1;

  Link() {
    int listener = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = loopback(0);
    bind(listener, (sockaddr*)&address, sizeof address);
    listen(listener, 1);
    socklen_t length = sizeof address;
    getsockname(listener, (sockaddr*)&address, &length);
    client.tcpSocket = socket(AF_INET, SOCK_STREAM, 0);
    connect(client.tcpSocket, (sockaddr*)&address, sizeof address);
    serverStream = accept(listener, nullptr, nullptr);
    close(listener);
    int bufferSize = 8 << 20;
    setsockopt(client.tcpSocket, SOL_SOCKET, SO_RCVBUF, &bufferSize, sizeof bufferSize);
    setsockopt(serverStream, SOL_SOCKET, SO_SNDBUF, &bufferSize, sizeof bufferSize);

    client.udpSocket = socket(AF_INET, SOCK_DGRAM, 0);
    setsockopt(client.udpSocket, SOL_SOCKET, SO_RCVBUF, &bufferSize, sizeof bufferSize);
    address = loopback(0);
    bind(client.udpSocket, (sockaddr*)&address, sizeof address);
    length = sizeof address;
    getsockname(client.udpSocket, (sockaddr*)&address, &length);
    serverDatagrams = socket(AF_INET, SOCK_DGRAM, 0);
    connect(serverDatagrams, (sockaddr*)&address, sizeof address);
    setNonBlocking(client.tcpSocket);
    setNonBlocking(client.udpSocket);
    client.connected = 1;

    // The user flies in the remote aircraft's cell.
    client.ownAircraftRefs.latitude = XPLMFindDataRef("sim/flightmodel/position/latitude");
    client.ownAircraftRefs.longitude = XPLMFindDataRef("sim/flightmodel/position/longitude");
    simhost::simulator().setDouble("sim/flightmodel/position/latitude", 47.9);
    simhost::simulator().setDouble("sim/flightmodel/position/longitude", 8.1);
  }
  ~Link() {
    close(client.tcpSocket);
    close(client.udpSocket);
    client.connected = 0;
    client.tcpSocket = client.udpSocket = 0;
    close(serverStream);
    close(serverDatagrams);
  }

  static int streamQueued() {
    int bytes = 0;
    ioctl(client.tcpSocket, FIONREAD, &bytes);
    return bytes;
  }

  // Sends the datagrams and the stream text, and waits until the client's
  // sockets hold all of it.
  void load(const std::string* datagrams, int count, const std::string& stream) {
    unsigned before = queuedMemory(client.udpSocket);
    for (int i = 0; i < count; ++i) send(serverDatagrams, datagrams[i].data(), datagrams[i].size(), 0);
    size_t sent = 0;
    while (sent < stream.size()) {
      ssize_t n = send(serverStream, stream.data() + sent, stream.size() - sent, 0);
      if (n <= 0) break;
      sent += (size_t)n;
    }
    // Every datagram of a run costs the same queue memory as the first.
    static unsigned perDatagram = 0;
    for (int spins = 0; spins < 100000; ++spins) {
      unsigned queued = queuedMemory(client.udpSocket) - before;
      if (perDatagram == 0 && queued > 0 && count == 1) perDatagram = queued;
      bool datagramsIn = count == 0 || (perDatagram && queued >= perDatagram * count);
      if (datagramsIn && streamQueued() >= (int)stream.size()) return;
      pollfd entry = {client.udpSocket, POLLIN, 0};
      poll(&entry, 1, 1);
    }
  }
  // Reads whatever is left, so that the next round starts empty.
  void drain() {
    char buffer[2048];
    while (recv(client.udpSocket, buffer, sizeof buffer, 0) > 0) {
    }
    while (recv(client.tcpSocket, buffer, sizeof buffer, 0) > 0) {
    }
  }
};

std::string datagramFor(int slot, int serial) {
  return testsupport::DatagramFields().with(9, std::to_string(serial % 360)).datagram(slot);
}

// Call-sign and message lines, enough for `reads` full stream reads.
std::string streamLines(int reads) {
  std::string text;
  int n = 0;
  while ((int)text.size() < reads * 1400) {
    int slot = 1 + n % 19;
    if (n % 10 == 9)
      text += "0|m|Traffic report number " + std::to_string(n) + "\r\n";
    else
      text += std::to_string(slot) + "|c|Pilot" + std::to_string(n % 97) + "\n";
    ++n;
  }
  return text;
}

void BM_ReceiveLoopIdle(benchmark::State& state) {
  Link link;
  for (auto _ : state) receiveLoop(0.03f, 0.03f, 1, nullptr);
}
BENCHMARK(BM_ReceiveLoopIdle);

void BM_BareReads190(benchmark::State& state) {
  Link link;
  char buffer[1400];
  for (auto _ : state) {
    for (int i = 0; i < kDatagramReadsPerCall; ++i)
      benchmark::DoNotOptimize(receiveDatagram(client.udpSocket, buffer, sizeof buffer));
    for (int i = 0; i < kStreamReadsPerCall; ++i)
      benchmark::DoNotOptimize(receiveStream(client.tcpSocket, buffer, sizeof buffer));
  }
}
BENCHMARK(BM_BareReads190);

void BM_ReceiveLoopFull(benchmark::State& state) {
  Link link;
  std::string datagrams[kDatagramReadsPerCall];
  for (int i = 0; i < kDatagramReadsPerCall; ++i) datagrams[i] = datagramFor(1 + i % 19, i);
  std::string one[1] = {datagramFor(1, 0)};
  link.load(one, 1, "");  // measures one datagram's queue memory
  link.drain();
  std::string stream = streamLines(kStreamReadsPerCall);
  for (auto _ : state) {
    state.PauseTiming();
    link.load(datagrams, kDatagramReadsPerCall, stream);
    state.ResumeTiming();
    receiveLoop(0.03f, 0.03f, 1, nullptr);
    state.PauseTiming();
    link.drain();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * kDatagramReadsPerCall);
  state.counters["per_datagram"] = benchmark::Counter(
      (double)state.iterations() * kDatagramReadsPerCall,
      benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_ReceiveLoopFull)->Unit(benchmark::kMicrosecond);

long residentKilobytes() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.compare(0, 6, "VmRSS:") == 0) return atol(line.c_str() + 6);
  return 0;
}

// One hour at one call every 0.03 s.
constexpr int kCallsPerHour = 120000;

void BM_HourOfTrafficMemory(benchmark::State& state) {
  Link link;
  std::string datagrams[kDatagramReadsPerCall];
  for (int i = 0; i < kDatagramReadsPerCall; ++i) datagrams[i] = datagramFor(1 + i % 19, i);
  std::string one[1] = {datagramFor(1, 0)};
  link.load(one, 1, "");
  link.drain();
  // Per call: call signs, an aircraft line, a message line, and a line
  // split across two calls.
  const std::string lines[2] = {
      "3|c|Alpha\n4|c|Bravo\n5|p|Aircraft/Missing/Ghost.acf\n0|m|Hello there|all\n6|c|Cha",
      "rlie\n3|c|BLANK\n5|p|Aircraft/Missing/Other.acf\n0|m|Bye\n6|c|Del"};
  auto runCalls = [&](int calls) {
    for (int call = 0; call < calls; ++call) {
      for (int i = 0; i < kDatagramReadsPerCall; ++i)
        send(link.serverDatagrams, datagrams[i].data(), datagrams[i].size(), 0);
      send(link.serverStream, lines[call % 2].data(), lines[call % 2].size(), 0);
      receiveLoop(0.03f, 0.03f, 1, nullptr);
      // The stand-in logs every data reference write; an hour of them is
      // gigabytes of its own records, not the client's memory.
      simhost::simulator().clearDataWrites();
    }
  };
  runCalls(1000);  // warm: every text has grown to its size
  size_t heapBefore = mallinfo2().uordblks;
  long rssBefore = residentKilobytes();
  for (auto _ : state) runCalls(kCallsPerHour);
  state.counters["heap_before_bytes"] = (double)heapBefore;
  state.counters["heap_after_bytes"] = (double)mallinfo2().uordblks;
  state.counters["rss_before_kB"] = (double)rssBefore;
  state.counters["rss_after_kB"] = (double)residentKilobytes();
  state.counters["buffer_bytes"] = (double)client.tcpReceiveBuffer.size();
}
BENCHMARK(BM_HourOfTrafficMemory)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();
