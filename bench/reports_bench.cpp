// The per-frame cost of the position report: the whole report (sampling
// 24 data references through the stand-in, building the text, one sendto
// on loopback) beside its two parts measured alone, a bare sendto of a
// datagram of the same size to the same address and the formatting of the
// 42 values. The whole should cost no more than about 1.2 times the bare
// send plus the formatting.
//
// The report is the real module's draw callback, with the module loaded
// into the stand-in and connected to a listener on 127.0.0.1:49556. The program holds UDP 49556 itself and
// never reads it: once its buffer is full the kernel drops the datagrams
// at the end of the same send path, for the report and the bare send alike.
#include <arpa/inet.h>
#include <sys/socket.h>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "host/sockets.h"
#include "net/wire.h"
#include "simhost/simulator.h"
#include "support/files.h"
#include "support/test_server.h"

namespace {

// A sample with full-length values everywhere, as in flight.
PositionSample typicalSample() {
  PositionSample sample{};
  for (int i = 0; i < 17; ++i) sample.reals[i] = -12345.6789f / (float)(i + 3);
  for (int i = 0; i < 10; ++i) sample.gear[i] = 0.123456789f * (float)i;
  for (int i = 0; i < 5; ++i) sample.lights[i] = i % 2;
  for (int i = 0; i < 8; ++i) sample.throttle[i] = 0.87654321f / (float)(i + 1);
  sample.ticks[0] = sample.ticks[1] = 123456789.0f;
  return sample;
}

// The stand-in's aircraft holds the same kind of values.
void setTypicalAircraft(const PositionSample& sample) {
  simhost::Simulator& sim = simhost::simulator();
  const char* names[17] = {
      "sim/flightmodel/position/local_x",   "sim/flightmodel/position/local_y",
      "sim/flightmodel/position/local_z",   "sim/flightmodel/position/latitude",
      "sim/flightmodel/position/longitude", "sim/flightmodel/position/elevation",
      "sim/flightmodel/position/theta",     "sim/flightmodel/position/phi",
      "sim/flightmodel/position/psi",       "sim/flightmodel/controls/flaprat",
      "sim/flightmodel/controls/flap2rat",  "sim/flightmodel/controls/sbrkrat",
      "sim/flightmodel/controls/slatrat",   "sim/flightmodel/controls/swdi",
      "sim/joystick/FC_ptch",               "sim/joystick/FC_roll",
      "sim/joystick/FC_hdng"};
  for (int i = 0; i < 17; ++i) {
    if (sim.dataRefType(names[i]) == simhost::DataType::Double)
      sim.setDouble(names[i], sample.reals[i]);
    else
      sim.setFloat(names[i], sample.reals[i]);
  }
  sim.setFloats("sim/aircraft/parts/acf_gear_deploy", 0,
                std::vector<float>(sample.gear, sample.gear + 10));
  sim.setFloats("sim/flightmodel/ENGN_thro", 0,
                std::vector<float>(sample.throttle, sample.throttle + 8));
}

// The listener, the unread UDP port and the real module, loaded into the
// stand-in and connected at start-up, made once.
struct Session {
  testsupport::TestServer listener{testsupport::ServerMode::Accept, false};
  int udpSink = -1;
  std::string root;
  int (*positionReportCallback)(int, int, void*) = nullptr;  // the module's

  Session() {
    simhost::Simulator& sim = simhost::simulator();
    udpSink = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in address = testsupport::testServerAddress();
    if (!listener.ok() || bind(udpSink, (const sockaddr*)&address, sizeof address) != 0) return;

    root = testsupport::makeTemporaryFolder("quillsky-bench");
    if (root.empty()) return;
    testsupport::writeWholeFile(root + "/Resources/plugins/qsprefs.txt", "connectAtStartup=1;");
    if (chdir(root.c_str()) != 0) return;
    sim.reset();
    sim.config().rootFolder = root;
    std::string error;
    if (!sim.loadAndStart(QUILLSKY_MODULE_PATH, &error)) return;
    if (!listener.waitForConnections(1, 10.0)) return;
    setTypicalAircraft(typicalSample());
    for (const simhost::DrawCallbackInfo& info : sim.drawCallbacks())
      if (info.phase == xplm_Phase_Airplanes) positionReportCallback = info.callback;
  }
  ~Session() {
    std::string error;
    simhost::simulator().stopAndUnload(&error);
    close(udpSink);
    testsupport::removeFolder(root);
  }
};

Session& session() {
  static Session instance;
  return instance;
}

int typicalReportLength() {
  char report[kMaxPositionReport];
  return buildPositionReport(report, 12345, 0, typicalSample());
}

void positionReport(benchmark::State& state) {
  auto callback = session().positionReportCallback;
  if (callback == nullptr) {
    state.SkipWithError("the module is not connected to 127.0.0.1:49556");
    return;
  }
  for (auto _ : state) benchmark::DoNotOptimize(callback(xplm_Phase_Airplanes, 0, nullptr));
}

void bareSendOfTheSameSize(benchmark::State& state) {
  if (session().positionReportCallback == nullptr) {
    state.SkipWithError("the module is not connected to 127.0.0.1:49556");
    return;
  }
  std::string datagram(typicalReportLength(), '7');
  SocketHandle socket = openDatagramSocket();
  sockaddr_in address = testsupport::testServerAddress();
  for (auto _ : state)
    benchmark::DoNotOptimize(sendToAddress(socket, datagram.data(), (int)datagram.size(), &address));
  closeSocket(socket);
  state.counters["bytes"] = (double)datagram.size();
}

void formattingAlone(benchmark::State& state) {
  PositionSample sample = typicalSample();
  char report[kMaxPositionReport];
  for (auto _ : state) {
    benchmark::DoNotOptimize(buildPositionReport(report, 12345, 0, sample));
    benchmark::ClobberMemory();
  }
}

BENCHMARK(positionReport);
BENCHMARK(bareSendOfTheSameSize);
BENCHMARK(formattingAlone);

}  // namespace

BENCHMARK_MAIN();
