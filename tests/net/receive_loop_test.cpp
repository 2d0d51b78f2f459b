// The receive loop on the module's state, fed by a server played by the
// test on 127.0.0.1:49556: datagrams into plane slots, stream lines into
// call signs and message lines, the end of the connection.
#include "net/receive.h"

#include <errno.h>
#include <math.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <memory>

#include <gtest/gtest.h>

#include "host/xplm_data.h"
#include "host/xplm_graphics.h"
#include "net/wire.h"
#include "shell/client_state.h"
#include "sim/plane_slots.h"
#include "simhost/simulator.h"
#include "support/port_lock.h"
#include "support/position_datagram.h"
#include "support/sim_fixture.h"
#include "support/test_sockets.h"

namespace {

using testsupport::bindWhenFree;
using testsupport::DatagramFields;
using testsupport::loopback;
using testsupport::queuedMemory;
using testsupport::readable;
using testsupport::testServerAddress;


class ReceiveLoop : public ::testing::Test {
 protected:
  void SetUp() override {
    portLock = std::make_unique<testsupport::PortLock>();
    sim.reset();
    resetClientTexts();
    listener = socket(AF_INET, SOCK_STREAM, 0);
    int on = 1;
    setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in server = testServerAddress();
    ASSERT_TRUE(bindWhenFree(listener, server)) << "TCP port in use";
    ASSERT_EQ(listen(listener, 4), 0);
    connectClient();
    // The user flies in the cell 47, 8.
    client.ownAircraftRefs.latitude = XPLMFindDataRef("sim/flightmodel/position/latitude");
    client.ownAircraftRefs.longitude = XPLMFindDataRef("sim/flightmodel/position/longitude");
    sim.setDouble("sim/flightmodel/position/latitude", 47.9);
    sim.setDouble("sim/flightmodel/position/longitude", 8.1);
  }

  void TearDown() override {
    disconnectClient();
    if (listener >= 0) close(listener);
    client.ownAircraftRefs = OwnAircraftRefs{};
    resetClientTexts();
    sim.reset();
    portLock.reset();
  }

  static void resetClientTexts() {
    client.tcpReceiveBuffer.clear();
    client.statusText.clear();
    client.messageCountdown = 0;
    client.lastReceiveResult = 0;
    for (std::string& line : client.messageLines) line.clear();
    for (int n = 0; n < kPlaneSlotCount; ++n) {
      client.slotCallsigns[n].clear();
      client.slotModelNames[n] = "Plane " + std::to_string(n);
      PlaneSlot fresh{};
      findDataRefs(fresh, n);
      client.planeSlots[n] = fresh;
    }
  }

  // Plays the connection manager: both sockets open, non-blocking, connected.
  void connectClient() {
    client.tcpSocket = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in server = testServerAddress();
    ASSERT_EQ(connect(client.tcpSocket, (sockaddr*)&server, sizeof server), 0);
    serverStream = accept(listener, nullptr, nullptr);
    ASSERT_GE(serverStream, 0);
    setNonBlocking(client.tcpSocket);

    client.udpSocket = socket(AF_INET, SOCK_DGRAM, 0);
    int bufferSize = 4 << 20;
    setsockopt(client.udpSocket, SOL_SOCKET, SO_RCVBUF, &bufferSize, sizeof bufferSize);
    sockaddr_in local = loopback(0);
    ASSERT_EQ(bind(client.udpSocket, (sockaddr*)&local, sizeof local), 0);
    socklen_t length = sizeof local;
    getsockname(client.udpSocket, (sockaddr*)&local, &length);
    setNonBlocking(client.udpSocket);

    serverDatagrams = socket(AF_INET, SOCK_DGRAM, 0);
    int on = 1;
    setsockopt(serverDatagrams, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    ASSERT_TRUE(bindWhenFree(serverDatagrams, server)) << "UDP port in use";
    ASSERT_EQ(connect(serverDatagrams, (sockaddr*)&local, sizeof local), 0);
    client.connected = 1;
  }

  // Plays a disconnect, or cleans up after one the loop made.
  void disconnectClient() {
    if (client.connected) {
      close(client.tcpSocket);
      close(client.udpSocket);
    }
    client.connected = 0;
    client.tcpSocket = 0;
    client.udpSocket = 0;
    if (serverStream >= 0) close(serverStream);
    if (serverDatagrams >= 0) close(serverDatagrams);
    serverStream = serverDatagrams = -1;
  }

  void sendDatagram(const std::string& bytes) {
    ASSERT_EQ(send(serverDatagrams, bytes.data(), bytes.size(), 0), (ssize_t)bytes.size());
  }
  // Sends stream bytes and waits until they can be read.
  void sendStream(const std::string& bytes) {
    ASSERT_EQ(send(serverStream, bytes.data(), bytes.size(), 0), (ssize_t)bytes.size());
    ASSERT_TRUE(readable(client.tcpSocket, 10.0));
  }
  static float runLoop() { return receiveLoop(0.03f, 0.03f, 1, nullptr); }
  // Calls the loop until condition holds, for up to 10 s of real time.
  static bool loopUntil(const std::function<bool()>& condition) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!condition()) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      runLoop();
      if (!condition()) readable(client.udpSocket, 0.01);
    }
    return true;
  }

  // The values of the module's latest write through the reference name;
  // the simulator keeps none for its read-only references.
  std::vector<double> lastWritten(const std::string& name) { return lastWrittenValues(sim, name); }

  std::unique_ptr<testsupport::PortLock> portLock;
  simhost::Simulator& sim = simhost::simulator();
  int listener = -1;
  int serverStream = -1;
  int serverDatagrams = -1;
};

// ---- Position datagrams.

TEST_F(ReceiveLoop, AppliesDatagramsForSlots0To19AndDropsOthers) {
  DatagramFields fields;
  sendDatagram(DatagramFields().with(9, "100").datagram(0));
  sendDatagram(DatagramFields().with(9, "120").datagram(20));
  sendDatagram(DatagramFields().with(9, "130").datagram(5).replace(0, 4, "5|x|"));
  sendDatagram(fields.datagram(19, ""));  // nothing after the fortieth bar
  ASSERT_TRUE(loopUntil([] { return client.planeSlots[19].psi == 270.5f; }));

  EXPECT_EQ(client.planeSlots[0].psi, 100.0f);
  EXPECT_EQ(sim.getFloat("sim/flightmodel/position/psi"), 100.0f);
  EXPECT_EQ(client.planeSlots[5].psi, 0.0f);
  EXPECT_EQ(client.udpRxIndicator, "Ur");
  EXPECT_EQ(sim.dataWrites().size(), 2u * 25u);  // slot 0 and 19 only

  // Slot 19's references hold the received values; the user is in the
  // same cell, so the local position is the sent one.
  const std::string p = "sim/multiplayer/position/plane19_";
  const char* reals[] = {"x", "y", "z", "lat", "lon", "el", "the", "phi", "psi", "flap_ratio",
                         "flap_ratio2"};
  for (int i = 0; i < 11; ++i)
    EXPECT_EQ(lastWritten(p + reals[i]), std::vector<double>{(float)atof(fields.texts[i].c_str())})
        << reals[i];
  const char* controls[] = {"speedbrake_ratio", "slat_ratio", "wing_sweep", "yolk_pitch",
                            "yolk_roll", "yolk_yaw"};
  for (int i = 0; i < 6; ++i)
    EXPECT_EQ(sim.getFloat(p + controls[i]), (float)atof(fields.texts[11 + i].c_str())) << controls[i];
  EXPECT_EQ(sim.getFloat(p + "spoiler_ratio"), 0.0f);
  std::vector<float> gear = sim.getFloats(p + "gear_deploy");
  for (int i = 0; i < 9; ++i) EXPECT_EQ(gear[i], i + 0.5f) << "gear " << i;
  EXPECT_EQ(gear[9], 0.0f);  // the 10th value stays in the slot
  EXPECT_EQ(client.planeSlots[19].gearDeploy[9], 9.5f);
  std::vector<float> throttle = sim.getFloats(p + "throttle");
  for (int i = 0; i < 8; ++i) EXPECT_EQ(throttle[i], (float)atof(fields.texts[32 + i].c_str()));
  EXPECT_EQ(sim.getInt(p + "beacon_lights_on"), 1);
  EXPECT_EQ(sim.getInt(p + "landing_lights_on"), 0);
  EXPECT_EQ(sim.getInt(p + "strobe_lights_on"), 1);
  EXPECT_EQ(sim.getInt(p + "nav_lights_on"), 0);
  EXPECT_EQ(sim.getInt(p + "taxi_light_on"), 1);
}

TEST_F(ReceiveLoop, AnotherCellIsPlacedByItsGeographicPosition) {
  sendDatagram(DatagramFields().with(4, "46.5").datagram(3));
  ASSERT_TRUE(loopUntil([] { return client.planeSlots[3].latitude == 46.5f; }));
  double x, y, z;
  XPLMWorldToLocal(46.5, 8.5, 512.5, &x, &y, &z);
  EXPECT_EQ(client.planeSlots[3].localX, (float)x);
  EXPECT_EQ(client.planeSlots[3].localY, (float)y);
  EXPECT_EQ(client.planeSlots[3].localZ, (float)z);
}

struct BadDatagram {
  const char* what;
  std::string bytes;
};

TEST_F(ReceiveLoop, OversizedAndNonFiniteDatagramsAreDroppedWhole) {
  std::string fitting = DatagramFields().datagram(3, "");
  fitting += std::string(1400 - fitting.size(), 'x');
  const BadDatagram cases[] = {
      {"1401 bytes", fitting + "x"},
      {"nan heading", DatagramFields().with(9, "nan").datagram(3)},
      {"infinite gear", DatagramFields().with(18, "inf").datagram(3)},
      {"huge throttle", DatagramFields().with(40, "1e999").datagram(3)},
      {"x beyond single precision", DatagramFields().with(1, "1e39").datagram(3)},
      {"infinite latitude", DatagramFields().with(4, "-inf").datagram(3)},
      {"two-digit light", DatagramFields().with(28, "10").datagram(3)},
  };
  int marker = 0;
  for (const BadDatagram& bad : cases) {
    SCOPED_TRACE(bad.what);
    sendDatagram(bad.bytes);
    // The next good datagram still works.
    ++marker;
    sendDatagram(DatagramFields().with(9, std::to_string(marker)).datagram(3));
    ASSERT_TRUE(loopUntil([&] { return client.planeSlots[3].psi == (float)marker; }));
    EXPECT_EQ(sim.dataWrites().size(), 25u * marker);
    EXPECT_EQ(client.planeSlots[3].localX, -12.5f);
    EXPECT_EQ(client.planeSlots[3].gearDeploy[0], 0.5f);
  }
  for (const simhost::DataWrite& write : sim.dataWrites())
    for (double value : write.values) EXPECT_TRUE(isfinite(value)) << write.name;

  // Exactly 1400 bytes still fit.
  sendDatagram(fitting);
  ASSERT_TRUE(loopUntil([] { return client.planeSlots[3].psi == 270.5f; }));
}

TEST_F(ReceiveLoop, ReadsAtMost90DatagramsPerCall) {
  // One datagram's footprint in the queue, to know when all have arrived.
  sendDatagram(DatagramFields().datagram(2));
  ASSERT_TRUE(readable(client.udpSocket, 10.0));
  unsigned one = queuedMemory(client.udpSocket);
  runLoop();
  ASSERT_GT(one, 0u);

  for (int i = 1; i <= 200; ++i) sendDatagram(DatagramFields().with(9, std::to_string(i)).datagram(2));
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (queuedMemory(client.udpSocket) < 200 * one && std::chrono::steady_clock::now() < deadline)
    readable(client.udpSocket, 0.01);
  ASSERT_GE(queuedMemory(client.udpSocket), 200 * one);

  runLoop();
  EXPECT_EQ(client.planeSlots[2].psi, 90.0f);
  runLoop();
  EXPECT_EQ(client.planeSlots[2].psi, 180.0f);
  runLoop();
  EXPECT_EQ(client.planeSlots[2].psi, 200.0f);
}

// ---- Stream lines.

TEST_F(ReceiveLoop, CallSignLines) {
  client.slotCallsigns[7] = "Old";
  sendStream("3|c|Alpha\n5|c|BLANK \r\n7|c|BLANK\n\n\n20|c|Zulu\n8|c|Bars|in|it\n");
  runLoop();
  EXPECT_EQ(client.slotCallsigns[3], "Alpha");
  EXPECT_EQ(client.slotCallsigns[5], "BLANK ");  // only "BLANK" exactly clears
  EXPECT_EQ(client.slotCallsigns[7], "");
  EXPECT_EQ(client.slotCallsigns[8], "Bars|in|it");
  EXPECT_EQ(client.tcpRxIndicator, "Tr");
  EXPECT_EQ(client.tcpReceiveBuffer, "");
}

TEST_F(ReceiveLoop, FifteenMessageLinesInOnePassKeepTheNewestFourteen) {
  std::string lines;
  for (int i = 1; i <= 15; ++i) lines += "0|m|line " + std::to_string(i) + "\n";
  sendStream(lines);
  runLoop();
  for (int i = 0; i < kMessageLineCount; ++i)
    EXPECT_EQ(client.messageLines[i], "line " + std::to_string(i + 2));
  EXPECT_EQ(client.messageCountdown, 9);
}

TEST_F(ReceiveLoop, AHalfLineWaitsForItsEnd) {
  sendStream("3|c|Alpha\n4|c|Bra");
  runLoop();
  EXPECT_EQ(client.slotCallsigns[3], "Alpha");
  EXPECT_EQ(client.slotCallsigns[4], "");
  EXPECT_EQ(client.tcpReceiveBuffer, "4|c|Bra");
  sendStream("vo\r\n");
  runLoop();
  EXPECT_EQ(client.slotCallsigns[4], "Bravo");
}

TEST_F(ReceiveLoop, TextLeftInTheBufferSurvivesAReconnect) {
  sendStream("6|c|Char");
  runLoop();
  disconnectClient();
  runLoop();
  EXPECT_EQ(client.tcpReceiveBuffer, "6|c|Char");
  connectClient();
  sendStream("lie\n");
  runLoop();
  EXPECT_EQ(client.slotCallsigns[6], "Charlie");
}

TEST_F(ReceiveLoop, OtherLineTypesAndSlotsAreConsumedWithoutEffect) {
  sendStream("4|l|whatever\n21|p|Aircraft/A/A.acf\n2|z|x\n2|c|Next\n");
  runLoop();
  EXPECT_EQ(client.slotCallsigns[2], "Next");
  EXPECT_EQ(client.slotCallsigns[4], "");
  EXPECT_EQ(client.tcpReceiveBuffer, "");
}

// ---- Indicators and the end of the connection.

TEST_F(ReceiveLoop, WithoutTrafficTheIndicatorsAreBlank) {
  client.udpTxIndicator = "Ux";
  client.tcpTxIndicator = "Tx";
  client.udpRxIndicator = "Ur";
  client.tcpRxIndicator = "Tr";
  EXPECT_FLOAT_EQ(runLoop(), 0.03f);
  for (const std::string* indicator : {&client.udpTxIndicator, &client.udpRxIndicator,
                                       &client.tcpTxIndicator, &client.tcpRxIndicator})
    EXPECT_EQ(*indicator, "  ");
  EXPECT_EQ(client.lastReceiveResult, -1);
  EXPECT_EQ(client.connected, 1);
}

TEST_F(ReceiveLoop, WithoutConnectionNothingIsRead) {
  int tcp = client.tcpSocket;
  client.connected = 0;
  sendStream("1|c|Unread\n");
  runLoop();
  EXPECT_EQ(client.slotCallsigns[1], "");
  EXPECT_EQ(client.lastReceiveResult, 0);
  EXPECT_TRUE(readable(tcp, 0.0));  // still waiting in the socket
  client.connected = 1;
}

struct StreamEnd {
  const char* what;
  bool reset;
  const char* status;
};

TEST_F(ReceiveLoop, TheServerEndingTheStreamDropsTheConnection) {
  const StreamEnd cases[] = {
      {"orderly close", false, "TCP Conn Closed by Server"},
      {"reset", true, "TCP Conn Reset"},
  };
  for (const StreamEnd& end : cases) {
    SCOPED_TRACE(end.what);
    if (!client.connected) connectClient();
    if (!end.reset) {
      sendStream("2|c|Last words\n");
    } else {
      linger hard = {1, 0};
      setsockopt(serverStream, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
    }
    close(serverStream);
    serverStream = -1;
    ASSERT_TRUE(loopUntil([] { return client.connected == 0; }));
    EXPECT_EQ(client.statusText, end.status);
    if (!end.reset) {
      EXPECT_EQ(client.slotCallsigns[2], "Last words");
    }
    close(serverDatagrams);
    serverDatagrams = -1;
  }
}

}  // namespace
