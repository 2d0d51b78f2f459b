// The receive loop of the real module in the stand-in, fed by the test
// server: remote aircraft in the plane slots, call signs, aircraft and
// message lines in the windows, the socket reads per call, and the end of
// the connection.
#include <math.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "host/xplm_graphics.h"
#include "support/position_datagram.h"
#include "support/server_fixture.h"

namespace {

using testsupport::DatagramFields;

constexpr double kWait = 30.0;  // real seconds for anything to arrive

class ReceiveFromServer : public ServerFixture {
 protected:
  void SetUp() override {
    ServerFixture::SetUp();
    if (HasFatalFailure()) return;
    // Datagrams go back to where the client's position reports come from.
    ASSERT_TRUE(sim.runUntil(
        [&] { return server->connectionCount() == 1 && server->datagramCount() > 0; }, kWait));
  }

  // The module's receive loop: the flight loop that runs every 0.03 s.
  const simhost::FlightLoopInfo* receiveLoop() {
    for (const simhost::FlightLoopInfo& loop : sim.flightLoops())
      if (fabsf(loop.interval - 0.03f) < 1e-6f) return sim.findFlightLoop(loop.callback);
    return nullptr;
  }
  // Module writes through references whose names start with prefix.
  int writesTo(const std::string& prefix) { return writesStartingWith(sim, prefix); }
  std::vector<double> lastWritten(const std::string& name) { return lastWrittenValues(sim, name); }
  bool waitForFloat(const std::string& name, float value) {
    return sim.runUntil([&] { return sim.getFloat(name) == value; }, kWait);
  }
  // The plane list's lines for slots 1 to 19, drawn by one more frame.
  std::vector<std::string> planeListSlots() {
    statusLine();  // shows the list and draws a frame
    std::vector<std::string> lines = sim.stringsDrawnIn(sim.nthWindow(0)->id);
    if (!lines.empty()) lines.erase(lines.begin());
    return lines;
  }
  bool waitForPlaneListLine(int slot, const std::string& line) {
    return sim.runUntil(
        [&] {
          std::vector<std::string> lines = planeListSlots();
          return (int)lines.size() >= slot && lines[slot - 1] == line;
        },
        kWait);
  }
};

const std::string kPlane = "sim/multiplayer/position/plane";

TEST_F(ReceiveFromServer, DatagramsForSlots0And19AreWrittenAndSlot20IsDropped) {
  sim.clearDataWrites();
  // The user flies at 47.46, -122.31: the same whole-degree cell.
  DatagramFields fields;
  fields.with(4, "47.9").with(5, "-122.9");
  ASSERT_TRUE(server->sendDatagram(DatagramFields(fields).with(9, "11").datagram(0)));
  ASSERT_TRUE(server->sendDatagram(DatagramFields(fields).with(9, "12").datagram(20)));
  ASSERT_TRUE(server->sendDatagram(fields.datagram(19)));
  ASSERT_TRUE(waitForFloat(kPlane + "19_psi", 270.5f));

  EXPECT_EQ(sim.getFloat("sim/flightmodel/position/psi"), 11.0f);
  EXPECT_EQ(sim.getFloat("sim/flightmodel/controls/rud_trim"), 0.875f);
  EXPECT_EQ(writesTo(kPlane), 25);  // slot 19 only; nothing for 20

  const char* reals[] = {"x", "y", "z", "lat", "lon", "el", "the", "phi", "psi",
                         "flap_ratio", "flap_ratio2", "speedbrake_ratio", "slat_ratio",
                         "wing_sweep", "yolk_pitch", "yolk_roll", "yolk_yaw"};
  for (int i = 0; i < 17; ++i)
    EXPECT_EQ(lastWritten(kPlane + "19_" + reals[i]),
              std::vector<double>{(float)atof(fields.texts[i].c_str())})
        << reals[i];
  std::vector<float> gear = sim.getFloats(kPlane + "19_gear_deploy");
  for (int i = 0; i < 9; ++i) EXPECT_EQ(gear[i], i + 0.5f);
  EXPECT_EQ(gear[9], 0.0f);
  std::vector<float> throttle = sim.getFloats(kPlane + "19_throttle");
  for (int i = 0; i < 8; ++i) EXPECT_EQ(throttle[i], (float)atof(fields.texts[32 + i].c_str()));
  const char* lights[] = {"beacon_lights_on", "landing_lights_on", "strobe_lights_on",
                          "nav_lights_on", "taxi_light_on"};
  for (int i = 0; i < 5; ++i)
    EXPECT_EQ(sim.getInt(kPlane + "19_" + lights[i]), i % 2 == 0 ? 1 : 0) << lights[i];
}

struct CellCase {
  const char* latitude;
  const char* longitude;
  bool sendersFrame;
};

TEST_F(ReceiveFromServer, TheSameCellKeepsTheSentFrameAnotherIsConverted) {
  // The user flies at 47.4638, -122.3081: parts "47" and "-122".
  const CellCase cases[] = {
      {"47.01", "-122.99", true},
      {"48.5", "-122.5", false},
      {"47.5", "122.5", false},   // the sign differs
      {"47", "-122.5", false},    // a whole number has no part
      {"47.5", "-121.5", false},
  };
  int slot = 1;
  for (const CellCase& c : cases) {
    SCOPED_TRACE(testing::Message() << c.latitude << ", " << c.longitude);
    std::string name = kPlane + std::to_string(slot);
    ASSERT_TRUE(server->sendDatagram(
        DatagramFields().with(4, c.latitude).with(5, c.longitude).datagram(slot)));
    ASSERT_TRUE(sim.runUntil(
        [&] { return lastWritten(name + "_lat") == std::vector<double>{(float)atof(c.latitude)}; },
        kWait));
    double x = -12.5, y = 310.25, z = 1024;
    if (!c.sendersFrame)
      XPLMWorldToLocal((float)atof(c.latitude), (float)atof(c.longitude), 512.5, &x, &y, &z);
    EXPECT_EQ(sim.getDouble(name + "_x"), (double)(float)x);
    EXPECT_EQ(sim.getDouble(name + "_y"), (double)(float)y);
    EXPECT_EQ(sim.getDouble(name + "_z"), (double)(float)z);
    ++slot;
  }
}

TEST_F(ReceiveFromServer, OversizedAndNonFiniteDatagramsAreDropped) {
  sim.clearDataWrites();
  std::string oversized = DatagramFields().with(9, "1").datagram(8);
  oversized += std::string(1401 - oversized.size(), '0');
  ASSERT_TRUE(server->sendDatagram(oversized));
  ASSERT_TRUE(server->sendDatagram(DatagramFields().with(9, "nan").datagram(8)));
  ASSERT_TRUE(server->sendDatagram(DatagramFields().with(7, "1e999").datagram(8)));
  ASSERT_TRUE(server->sendDatagram(DatagramFields().with(9, "3").datagram(8)));
  ASSERT_TRUE(waitForFloat(kPlane + "8_psi", 3.0f));
  EXPECT_EQ(writesTo(kPlane + "8_"), 25);
}

TEST_F(ReceiveFromServer, EveryCallReads90DatagramsAnd100TimesFromTheStream) {
  const simhost::FlightLoopInfo* loop = receiveLoop();
  ASSERT_NE(loop, nullptr);
  // No traffic, then a flood of 200 datagrams: the same reads per call.
  for (int flood : {0, 200}) {
    SCOPED_TRACE(flood);
    sim.resetSocketRecord();
    int callsBefore = loop->callCount;
    for (int i = 1; i <= flood; ++i)
      ASSERT_TRUE(server->sendDatagram(DatagramFields().with(9, std::to_string(i)).datagram(2)));
    if (flood) {
      ASSERT_TRUE(waitForFloat(kPlane + "2_psi", (float)flood));
    }
    sim.runSeconds(0.5);
    int calls = loop->callCount - callsBefore;
    ASSERT_GT(calls, 0);
    EXPECT_EQ(sim.socketCalls(simhost::SocketOp::Recv) + sim.socketCalls(simhost::SocketOp::RecvFrom),
              190 * calls);
  }
}

TEST_F(ReceiveFromServer, CallSignAndAircraftLinesFillThePlaneList) {
  writeRootFile("Aircraft/Trainer/Trainer_A.ACF", "A\n");
  writeRootFile("Aircraft/Other/Trainer_A.acf", "A\n");
  ASSERT_TRUE(server->sendTcp("4|c|Alpha\r\n4|p|Aircraft/Trainer/Trainer_A.ACF\n"
                              "5|c|BLANK \n5|p|Aircraft/Missing/Ghost.acf\n"
                              "6|c|Gone\n6|c|BLANK\n6|p|NoFolder.acf\n"
                              "7|p|BLANK\n"
                              "8|c|Hal"));
  ASSERT_TRUE(waitForPlaneListLine(7, "7:  "));
  ASSERT_TRUE(server->sendTcp("f\n"));
  ASSERT_TRUE(waitForPlaneListLine(8, "8: Half Plane 8"));
  std::vector<std::string> lines = planeListSlots();
  EXPECT_EQ(lines[3], "4: Alpha Trainer_A");
  EXPECT_EQ(lines[4], "5: BLANK  Ghost");
  EXPECT_EQ(lines[5], "6:  ");
  ASSERT_EQ(sim.modelChanges().size(), 1u);
  EXPECT_EQ(sim.aircraftModel(4), "Aircraft/Trainer/Trainer_A.ACF");

  // The same base name from another folder loads nothing.
  ASSERT_TRUE(server->sendTcp("4|p|Aircraft/Other/Trainer_A.acf\n9|c|Marker\n"));
  ASSERT_TRUE(waitForPlaneListLine(9, "9: Marker Plane 9"));
  EXPECT_EQ(sim.modelChanges().size(), 1u);
}

class ReceiveWithBackslashes : public ReceiveFromServer {
 protected:
  void prepareRoot() override {
    ReceiveFromServer::prepareRoot();
    sim.config().directorySeparator = "\\";
    writeRootFile("Aircraft\\Jet\\Jet.acf", "A\n");  // one file, backslashes in its name
  }
};

TEST_F(ReceiveWithBackslashes, TheModelPathUsesTheSimulatorsSeparator) {
  ASSERT_TRUE(server->sendLine("3|p|Aircraft/Jet/Jet.acf"));
  ASSERT_TRUE(sim.runUntil([&] { return !sim.modelChanges().empty(); }, kWait));
  EXPECT_EQ(sim.modelChanges()[0].index, 3);
  EXPECT_EQ(sim.modelChanges()[0].path, "Aircraft\\Jet\\Jet.acf");
}

TEST_F(ReceiveFromServer, FifteenMessageLinesShowTheNewestFourteen) {
  std::string lines;
  for (int i = 1; i <= 15; ++i) lines += "0|m|line " + std::to_string(i) + "|with|bars\n";
  ASSERT_TRUE(server->sendTcp(lines));
  const simhost::WindowInfo* messages = sim.nthWindow(1);
  ASSERT_NE(messages, nullptr);
  std::vector<std::string> shown;
  ASSERT_TRUE(sim.runUntil(
      [&] {
        shown.clear();
        for (const std::string& text : sim.stringsDrawnIn(messages->id))
          if (text.compare(0, 5, "line ") == 0) shown.push_back(text);
        return !shown.empty();
      },
      kWait));
  ASSERT_EQ(shown.size(), 14u);
  for (int i = 0; i < 14; ++i) EXPECT_EQ(shown[i], "line " + std::to_string(i + 2) + "|with|bars");
}

struct ServerEnd {
  bool reset;
  const char* status;
};

TEST_F(ReceiveFromServer, TheServerEndingTheStreamDropsTheConnectionAndTheReads) {
  const ServerEnd ends[] = {{false, "TCP Conn Closed by Server"}, {true, "TCP Conn Reset"}};
  for (const ServerEnd& end : ends) {
    SCOPED_TRACE(end.status);
    if (end.reset) {
      connectNow();
      ASSERT_TRUE(sim.runUntil([&] { return server->connectionCount() == 2; }, kWait));
      ASSERT_TRUE(sim.runUntil([&] { return statusLine().text == "TCP Conn Open"; }, kWait));
      server->resetClient();
    } else {
      server->closeClient();
    }
    ASSERT_TRUE(sim.runUntil([&] { return statusLine().text == end.status; }, kWait));
    // Without sockets the loop reads nothing, standard input included.
    sim.resetSocketRecord();
    sim.runSeconds(0.5);
    EXPECT_EQ(sim.socketCalls(simhost::SocketOp::Recv), 0);
  }
}

class ReceiveWithoutConnection : public ServerFixture {
 protected:
  ReceiveWithoutConnection() { preferences = "connectAtStartup=0;"; }
};

TEST_F(ReceiveWithoutConnection, NothingIsRead) {
  sim.resetSocketRecord();
  sim.runSeconds(1.0);
  EXPECT_EQ(sim.socketCalls(simhost::SocketOp::Recv), 0);
  EXPECT_EQ(sim.socketCalls(simhost::SocketOp::RecvFrom), 0);
}

}  // namespace
