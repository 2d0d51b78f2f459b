// The plug-in's life as the server sees it: enable connects when the
// preferences say so (read again at every enable), disable says goodbye,
// the token stays for the module's lifetime, and the position report goes
// out once per frame whether or not the simulator draws phases 0 and 25.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/server_fixture.h"

namespace {

constexpr double kWait = 10.0;  // seconds of wall time for anything to arrive

std::string tokenOf(const std::string& line) { return line.substr(0, line.find('|')); }

class ShellNetTest : public ServerFixture {
 protected:
  std::vector<std::string> waitForLines(size_t count) {
    server->waitForTcpBytes(
        [&](const std::string& bytes) { return splitLines(bytes).size() >= count; }, kWait);
    return splitLines(server->tcpBytes());
  }
};

TEST_F(ShellNetTest, DisableAndEnableReadThePreferencesAgainAndKeepTheToken) {
  std::vector<std::string> lines = waitForLines(1);
  ASSERT_EQ(lines.size(), 1u);
  std::string token = tokenOf(lines[0]);
  EXPECT_EQ(lines[0].rfind(token + "|Opening Connection|pilot|", 0), 0u) << lines[0];

  // Disabled, the user turns connecting at start-up off: the next enable
  // must not touch the network.
  sim.disable();
  lines = waitForLines(2);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[1], token + "|Closing Connection");
  writeRootFile("Resources/plugins/qsprefs.txt", "connectAtStartup=0;");
  sim.resetSocketRecord();
  sim.enable();
  sim.runSeconds(0.5);
  EXPECT_EQ(sim.socketCalls(simhost::SocketOp::Connect), 0);

  // Turned on again: the next enable logs in anew with the same token.
  sim.disable();
  writeRootFile("Resources/plugins/qsprefs.txt", "userID=pilot;connectAtStartup=1;");
  sim.enable();
  ASSERT_TRUE(server->waitForConnections(2, kWait));
  lines = waitForLines(3);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(tokenOf(lines[2]), token);
  EXPECT_NE(lines[2].find("|Opening Connection|pilot|"), std::string::npos);
}

// One position report per frame, with the simulator drawing phase 25 or
// (modern renderer) never drawing it.
class FrameReportTest : public ShellNetTest, public ::testing::WithParamInterface<bool> {
  void prepareRoot() override {
    sim.config().modernRenderer = GetParam();
    ShellNetTest::prepareRoot();
  }
};

TEST_P(FrameReportTest, OnePositionReportPerFrame) {
  ASSERT_TRUE(server->waitForConnections(1, kWait));
  sim.runFrames(5);  // the fallback arms itself on its first frame
  ASSERT_TRUE(server->flushDatagrams(kWait));
  server->clearRecords();
  for (int round = 0; round < 4; ++round) {
    sim.runFrames(30);
    ASSERT_TRUE(server->flushDatagrams(kWait));
  }
  EXPECT_EQ(server->datagramCount(), 120u);
  for (const auto& datagram : server->datagrams())
    ASSERT_NE(datagram.bytes.find("|LOC|"), std::string::npos) << datagram.bytes;
}

INSTANTIATE_TEST_SUITE_P(Renderers, FrameReportTest, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Modern" : "Classic"; });

}  // namespace
