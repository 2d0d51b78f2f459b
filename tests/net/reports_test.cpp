// The identity reports every 10 s and the position report every frame, as
// the test server receives them from the real module in the stand-in.
#include <stdio.h>
#include <stdlib.h>

#include <atomic>
#include <new>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "host/sockets.h"
#include "host/ticks.h"
#include "host/xplm_data.h"
#include "net/reports.h"
#include "shell/client_state.h"
#include "support/server_fixture.h"

// Allocations made on this program's heap while counting is on. The
// replacements pair malloc with free, which GCC cannot see through.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
// Only the counting thread's allocations: the test server's thread records
// the datagrams it receives meanwhile.
static thread_local bool countingAllocations = false;
static std::atomic<long> allocationCount{0};

void* operator new(size_t size) {
  if (countingAllocations) ++allocationCount;
  if (void* block = malloc(size ? size : 1)) return block;
  throw std::bad_alloc();
}
void operator delete(void* block) noexcept { free(block); }
void operator delete(void* block, size_t) noexcept { free(block); }

namespace {

using simhost::SocketOp;

constexpr double kWait = 10.0;  // seconds of wall time for anything to arrive

std::string asReal(double value) {
  char text[32];
  snprintf(text, sizeof text, "%.9g", (double)(float)value);
  return text;
}

class ReportsTest : public ServerFixture {
 protected:
  // Runs simulated time in short steps, so the server's receive buffer
  // never holds more than a few dozen datagrams, and returns every datagram
  // that arrived in that time.
  std::vector<testsupport::ReceivedDatagram> runAndCollect(double seconds) {
    for (double done = 0; done < seconds - 1e-9; done += 0.5) {
      sim.runSeconds(seconds - done < 0.5 ? seconds - done : 0.5);
      EXPECT_TRUE(server->flushDatagrams(kWait));
    }
    std::vector<testsupport::ReceivedDatagram> all = server->datagrams();
    std::vector<testsupport::ReceivedDatagram> collected(all.begin() + datagramsSeen, all.end());
    datagramsSeen = all.size();
    return collected;
  }
  size_t datagramsSeen = 0;

  // The stream's lines so far, once at least count of them are there.
  std::vector<std::string> waitForLines(size_t count) {
    server->waitForTcpBytes(
        [&](const std::string& bytes) { return splitLines(bytes).size() >= count; }, kWait);
    return splitLines(server->tcpBytes());
  }

  std::string token() {
    std::string login = waitForLines(1).front();
    return login.substr(0, login.find('|'));
  }
};

TEST_F(ReportsTest, IdentityEveryTenSecondsAndOnePositionReportPerFrame) {
  std::string tok = token();
  long framesBefore = sim.frameCount();
  std::vector<testsupport::ReceivedDatagram> datagrams = runAndCollect(9.9);
  EXPECT_EQ(sim.socketCalls(SocketOp::Send), 1) << "only the login before the timer's first call";
  for (auto& datagram : runAndCollect(11.0)) datagrams.push_back(datagram);  // calls at 10 s, 20 s

  std::string plane = tok + "|PLANE|" + sim.userAircraftFullPath();
  std::string callsign = tok + "|CALLSIGN|QS7|";
  std::vector<std::string> lines = waitForLines(5);
  EXPECT_EQ(std::vector<std::string>(lines.begin() + 1, lines.end()),
            (std::vector<std::string>{plane, callsign, plane, callsign}));
  EXPECT_EQ(sim.socketCalls(SocketOp::Send), 5);

  // Every frame since the connection sent exactly one report of 42 fields.
  EXPECT_EQ(sim.socketCalls(SocketOp::SendTo), sim.frameCount() - framesBefore);
  ASSERT_FALSE(datagrams.empty());
  for (const auto& datagram : datagrams) {
    std::vector<std::string> fields = splitFields(datagram.bytes);
    ASSERT_EQ(fields.size(), 2u + 42u) << datagram.bytes;
    ASSERT_EQ(fields[0], tok);
    ASSERT_EQ(fields[1], "LOC");
  }
}

TEST_F(ReportsTest, PositionReportCarriesTheAircraftsValuesInFieldOrder) {
  std::string tok = token();
  const char* doubles[] = {"sim/flightmodel/position/local_x", "sim/flightmodel/position/local_y",
                           "sim/flightmodel/position/local_z", "sim/flightmodel/position/latitude",
                           "sim/flightmodel/position/longitude",
                           "sim/flightmodel/position/elevation"};
  const char* floats[] = {"sim/flightmodel/position/theta",   "sim/flightmodel/position/phi",
                          "sim/flightmodel/position/psi",     "sim/flightmodel/controls/flaprat",
                          "sim/flightmodel/controls/flap2rat", "sim/flightmodel/controls/sbrkrat",
                          "sim/flightmodel/controls/slatrat", "sim/flightmodel/controls/swdi",
                          "sim/joystick/FC_ptch",             "sim/joystick/FC_roll",
                          "sim/joystick/FC_hdng"};
  const char* lights[] = {"sim/cockpit/electrical/beacon_lights_on",
                          "sim/cockpit/electrical/landing_lights_on",
                          "sim/cockpit/electrical/strobe_lights_on",
                          "sim/cockpit/electrical/nav_lights_on",
                          "sim/cockpit/electrical/taxi_light_on"};
  // The stand-in keeps the local coordinates in step with the place, so
  // the expected values are read back from it after the frame; the values
  // set here only make every field differ from its neighbours.
  const double place[] = {47.4638123, -122.3081456, 130.5};
  for (int i = 0; i < 3; ++i) sim.setDouble(doubles[3 + i], place[i]);
  for (int i = 0; i < 11; ++i) sim.setFloat(floats[i], 0.1f * (float)(i + 1) - 0.35f);
  std::vector<float> gear, throttle;
  for (int i = 0; i < 10; ++i) gear.push_back(i % 3 == 0 ? 1.0f : 0.05f * (float)i);
  for (int i = 0; i < 8; ++i) throttle.push_back(0.125f * (float)i + 1e-5f);
  sim.setFloats("sim/aircraft/parts/acf_gear_deploy", 0, gear);
  sim.setFloats("sim/flightmodel/ENGN_thro", 0, throttle);
  for (int i = 0; i < 5; ++i) sim.setInt(lights[i], i % 2);

  server->clearRecords();
  uint32_t before = tickCountMilliseconds();
  sim.runFrames(1);
  uint32_t after = tickCountMilliseconds();
  ASSERT_TRUE(server->flushDatagrams(kWait));
  ASSERT_EQ(server->datagramCount(), 1u);
  std::vector<std::string> expected;
  for (const char* name : doubles) expected.push_back(asReal(sim.getDouble(name)));
  for (const char* name : floats) expected.push_back(asReal(sim.getFloat(name)));
  for (float value : sim.getFloats("sim/aircraft/parts/acf_gear_deploy"))
    expected.push_back(asReal(value));
  for (const char* name : lights) expected.push_back(std::to_string(sim.getInt(name)));
  std::vector<float> throttles = sim.getFloats("sim/flightmodel/ENGN_thro");
  for (int i = 0; i < 8; ++i) expected.push_back(asReal(i < (int)throttles.size() ? throttles[i] : 0));
  ASSERT_EQ(expected.size(), 40u);
  EXPECT_EQ(expected[3], asReal(place[0]));
  EXPECT_EQ(expected[6], asReal(0.1f - 0.35f));
  EXPECT_EQ(expected[28], "1");
  std::vector<std::string> fields = splitFields(server->datagrams()[0].bytes);
  ASSERT_EQ(fields.size(), 2u + 42u);
  EXPECT_EQ(fields[0], tok);
  EXPECT_EQ(fields[1], "LOC");
  EXPECT_EQ(std::vector<std::string>(fields.begin() + 2, fields.begin() + 42), expected);
  for (int tick = 42; tick < 44; ++tick) {
    double milliseconds = std::stod(fields[tick]);
    EXPECT_GE(milliseconds, (double)(float)before);
    EXPECT_LE(milliseconds, (double)(float)after);
  }
}

// The module's code linked into this program, with its own client state,
// so that the heap it uses is the one counted here.
TEST(PositionReportCost, AFrameReportAllocatesNothing) {
  testsupport::TestServer server;
  ASSERT_TRUE(server.ok()) << server.error();
  simhost::simulator().reset();
  OwnAircraftRefs& refs = client.ownAircraftRefs;
  refs.localX = XPLMFindDataRef("sim/flightmodel/position/local_x");
  refs.latitude = XPLMFindDataRef("sim/flightmodel/position/latitude");
  refs.theta = XPLMFindDataRef("sim/flightmodel/position/theta");
  refs.gearDeploy = XPLMFindDataRef("sim/aircraft/parts/acf_gear_deploy");
  refs.throttle = XPLMFindDataRef("sim/flightmodel/ENGN_thro");
  refs.beaconLights = XPLMFindDataRef("sim/cockpit/electrical/beacon_lights_on");
  client.udpSocket = openDatagramSocket();
  client.serverAddress = testsupport::testServerAddress();
  client.connected = 1;
  client.udpTxIndicator = "  ";

  countingAllocations = true;
  for (int frame = 0; frame < 100; ++frame) positionReportCallback(25, 0, nullptr);
  countingAllocations = false;

  client.connected = 0;
  closeSocket(client.udpSocket);
  client.udpSocket = kInvalidSocket;
  EXPECT_EQ(allocationCount.load(), 0);
  ASSERT_TRUE(server.flushDatagrams(kWait));
  EXPECT_EQ(server.datagramCount(), 100u);
}

class ViewOnlyReportsTest : public ReportsTest {
 protected:
  ViewOnlyReportsTest() {
    viewOnlyMarker = true;
    preferences = "callsign=;connectAtStartup=1;";
  }
};

TEST_F(ViewOnlyReportsTest, CrewMemberSendsOnlyTheViewOnlyCallsignAndViewOnlyPositions) {
  std::string tok = token();
  std::vector<testsupport::ReceivedDatagram> datagrams = runAndCollect(10.5);
  std::vector<std::string> lines = waitForLines(2);
  ASSERT_EQ(lines.size(), 2u) << "the login, then the call sign alone";
  EXPECT_EQ(lines[1], tok + "|VOCALLSIGN||");
  EXPECT_EQ(sim.socketCalls(SocketOp::Send), 2);
  ASSERT_FALSE(datagrams.empty());
  for (const auto& datagram : datagrams) {
    std::vector<std::string> fields = splitFields(datagram.bytes);
    ASSERT_EQ(fields.size(), 2u + 42u) << datagram.bytes;
    ASSERT_EQ(fields[1], "VOLOC");
  }
}

class NotConnectedReportsTest : public ReportsTest {
 protected:
  NotConnectedReportsTest() { preferences = "callsign=QS7;connectAtStartup=0;"; }
};

TEST_F(NotConnectedReportsTest, NothingLeavesTheClientWhileNotConnected) {
  sim.runSeconds(12.0);
  EXPECT_EQ(sim.socketCalls(SocketOp::Socket), 0);
  EXPECT_EQ(sim.socketCalls(SocketOp::Send), 0);
  EXPECT_EQ(sim.socketCalls(SocketOp::SendTo), 0);
  EXPECT_EQ(server->connectionCount(), 0);
  ASSERT_TRUE(server->flushDatagrams(kWait));
  EXPECT_EQ(server->datagramCount(), 0u);
}

TEST_F(NotConnectedReportsTest, ALateConnectionGetsItsIdentityWithinAboutASecond) {
  sim.runSeconds(15.0);
  connectNow();
  double connectedAt = sim.now();
  ASSERT_TRUE(sim.runUntil([&] { return sim.socketCalls(SocketOp::Send) >= 3; }, kWait));
  EXPECT_LE(sim.now() - connectedAt, 1.1);
  std::vector<std::string> lines = waitForLines(3);
  std::string tok = lines[0].substr(0, lines[0].find('|'));
  EXPECT_EQ(lines[1], tok + "|PLANE|" + sim.userAircraftFullPath());
  EXPECT_EQ(lines[2], tok + "|CALLSIGN|QS7|");
}

}  // namespace
