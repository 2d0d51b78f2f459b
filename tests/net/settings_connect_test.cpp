// Connect and Disconnect in the settings dialog of the real module, against
// the test server on 127.0.0.1:49556: what goes on the wire and which of the
// two buttons is shown.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "net/md5.h"
#include "support/dialog_user.h"
#include "support/server_fixture.h"

namespace {

constexpr double kDeadlineSeconds = 30.0;  // generous: the machine is shared

std::string md5Of(const std::string& text) {
  char hex[33];
  md5Hex(text.data(), (int)text.size(), hex);
  return hex;
}

bool hasLines(const std::string& bytes, size_t count) { return splitLines(bytes).size() >= count; }

class SettingsConnectTest : public ServerFixture {
 protected:
  SettingsConnectTest() { preferences = "callsign=QS7;userID=pilot;password=secret;"; }

  // The fields of the n-th line the server received, once it is there.
  std::vector<std::string> lineFields(size_t n) {
    EXPECT_TRUE(server->waitForTcpBytes([&](const std::string& b) { return hasLines(b, n + 1); },
                                        kDeadlineSeconds))
        << server->tcpBytes();
    std::vector<std::string> lines = splitLines(server->tcpBytes());
    return lines.size() > n ? splitFields(lines[n]) : std::vector<std::string>{};
  }
  void expectLogin(const std::vector<std::string>& fields, const std::string& userID,
                   const std::string& password) {
    ASSERT_EQ(fields.size(), 5u);
    EXPECT_EQ(fields[1], "Opening Connection");
    EXPECT_EQ(fields[2], userID);
    EXPECT_EQ(fields[3], md5Of(fields[0] + userID + password));
    EXPECT_EQ(fields[4], "");
  }

  testsupport::DialogUser user{sim};
};

TEST_F(SettingsConnectTest, ConnectUsesTheSettingsInForceNotTheEdits) {
  user.chooseSettings();
  user.type("User ID:", "newpilot");
  user.click("Connect");
  expectLogin(lineFields(0), "pilot", "secret");
  EXPECT_FALSE(user.shown("Connect"));
  EXPECT_TRUE(user.shown("Disconnect"));

  user.click("Disconnect");
  std::vector<std::string> goodbye = lineFields(1);
  ASSERT_EQ(goodbye.size(), 2u);
  EXPECT_EQ(goodbye[1], "Closing Connection");
  EXPECT_TRUE(user.shown("Connect"));
  EXPECT_FALSE(user.shown("Disconnect"));

  // Once applied, the new user ID is the one that logs in.
  user.click("Apply");
  user.click("Connect");
  expectLogin(lineFields(2), "newpilot", "secret");
}

class RefusedConnectTest : public SettingsConnectTest {
 protected:
  RefusedConnectTest() { serverMode = testsupport::ServerMode::Refuse; }
};

TEST_F(RefusedConnectTest, RefusedConnectKeepsTheConnectButton) {
  user.chooseSettings();
  user.click("Connect");
  EXPECT_TRUE(user.shown("Connect"));
  EXPECT_FALSE(user.shown("Disconnect"));
  user.click("Disconnect");  // hidden and out of place: nothing happens
  EXPECT_TRUE(user.shown("Connect"));
}

}  // namespace
