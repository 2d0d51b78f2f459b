// quillsky-server as a child process on 127.0.0.1:49556, driven by raw
// client sockets: logins, relay, identity lines, chat, leaving, idle
// players, the 19 nearest, crew slot 0, malformed and over-long input.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "net/wire.h"
#include "support/server_harness.h"

using testsupport::positionReport;
using testsupport::RawClient;
using testsupport::relayedFieldsOf;
using testsupport::ServerProcess;

using namespace std::string_literals;

namespace {

constexpr double kDeadline = 10.0;  // seconds; generous for a busy machine

class ServerTest : public ::testing::Test {
 protected:
  void startServer(const std::vector<std::string>& options) {
    std::string error;
    ASSERT_TRUE(server.start(options, &error)) << error;
  }

  // Logs in with a call sign and an aircraft, and sends one report from
  // the given place so the server learns the client's UDP address.
  std::unique_ptr<RawClient> join(int token, const std::string& callsign, double latitude,
                                  double longitude) {
    auto client = std::make_unique<RawClient>();
    std::string identity = std::to_string(token) + "|CALLSIGN|" + callsign + "|\n" +
                           std::to_string(token) + "|PLANE|/sim/Aircraft/" + callsign + "/" +
                           callsign + ".acf\n";
    int loginsBefore = loginsLogged(token);
    EXPECT_TRUE(client->login(token, "user" + std::to_string(token), "", identity));
    // A report that overtakes its own login is not matched to anyone (a
    // real client sends the next one a frame later): let the login land.
    waitForLogin(token, loginsBefore);
    client->sendDatagram(positionReport(token, latitude, longitude, 500, false));
    return client;
  }

  // How often the server has logged the login of user<token>.
  int loginsLogged(int token) {
    std::string entry = "user" + std::to_string(token) + " login (token " + std::to_string(token) + ")";
    std::string log = server.log();
    int count = 0;
    for (size_t at = log.find(entry); at != std::string::npos; at = log.find(entry, at + 1)) ++count;
    return count;
  }
  // Waits, without reading the client's lines, until the server took one
  // more login of user<token>.
  void waitForLogin(int token, int loginsBefore) {
    EXPECT_TRUE(testsupport::waitUntil([&] { return loginsLogged(token) > loginsBefore; }, kDeadline));
  }

  // Sends a chat line and waits for its echo: every line the server queued
  // for this client before has then been read.
  void sync(RawClient& client, const std::string& callsign) {
    std::string text = "sync " + std::to_string(++syncCount);
    client.sendTcp(std::to_string(client.token()) + "|MESSAGE|" + text + "\n");
    ASSERT_TRUE(client.waitForLine("0|m|" + callsign + ": " + text, kDeadline));
  }

  // The slot in which client was told about callsign, from its lines; -1 if none.
  static int slotOf(const RawClient& client, const std::string& callsign) {
    int slot = -1;
    for (const std::string& line : client.lines()) {
      size_t bar = line.find('|');
      std::string rest = line.substr(bar + 1);
      if (rest == "c|" + callsign) slot = std::stoi(line.substr(0, bar));
      if (rest == "c|BLANK" && std::stoi(line.substr(0, bar)) == slot) slot = -1;
    }
    return slot;
  }

  static bool sawLineEndingWith(const RawClient& client, const std::string& end) {
    for (const std::string& line : client.lines())
      if (line.size() >= end.size() && line.compare(line.size() - end.size(), end.size(), end) == 0)
        return true;
    return false;
  }

  void TearDown() override {
    if (HasFailure()) ADD_FAILURE() << "server log:\n" << server.log();
  }

  ServerProcess server;
  int syncCount = 0;
};

TEST_F(ServerTest, LoginsAreCheckedAgainstTheUsersFile) {
  testsupport::writeWholeFile(server.folder() + "/users.txt",
                              "# user password\nalice secret\nbob\n");
  startServer({"--users", server.folder() + "/users.txt"});
  struct Case {
    std::string userID, password;
    bool accepted;
  } cases[] = {
      {"alice", "secret", true},
      {"alice", "wrong", false},
      {"bob", "", true},        // a user without a password
      {"mallory", "", false},   // not in the file
  };
  int token = 100;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.userID + "/" + c.password);
    RawClient client;
    ASSERT_TRUE(client.login(++token, c.userID, c.password, ""));
    if (c.accepted) {
      // Without a call sign yet, chat goes out under the user ID.
      client.sendTcp(std::to_string(token) + "|MESSAGE|hi\n");
      EXPECT_TRUE(client.waitForLine("0|m|" + c.userID + ": hi", kDeadline));
    } else {
      EXPECT_TRUE(client.waitForLine("0|m|Login refused for " + c.userID, kDeadline));
      EXPECT_TRUE(client.waitForClose(kDeadline));
    }
  }
  EXPECT_NE(server.log().find("login refused"), std::string::npos);
}

TEST_F(ServerTest, PositionReportIsRelayedWithTheSendersSlotAndFortyFields) {
  startServer({});
  auto alpha = join(100, "ALPHA", 47.25, 8.5);
  auto bravo = join(200, "BRAVO", 47.75, 8.5);
  ASSERT_TRUE(bravo->waitForLine("1|c|ALPHA", kDeadline));
  alpha->sendDatagram(positionReport(100, 47.5, 8.25, 1234.5, false));
  std::optional<std::string> datagram = bravo->nextDatagram(kDeadline);
  ASSERT_TRUE(datagram);
  EXPECT_EQ(*datagram, "1|l|" + relayedFieldsOf(47.5, 8.25, 1234.5));
  // Alpha gets only Bravo's positions, never its own.
  while (std::optional<std::string> own = alpha->nextDatagram(0.5))
    EXPECT_EQ(*own, "1|l|" + relayedFieldsOf(47.75, 8.5, 500));
}

TEST_F(ServerTest, IdentityLinesReachTheOthersWithTheAircraftPathMadeRelative) {
  startServer({});
  auto alpha = join(100, "ALPHA", 47.25, 8.5);
  // A client that arrives later is told at once what is known.
  RawClient bravo;
  ASSERT_TRUE(bravo.login(200, "bravo", "", ""));
  ASSERT_EQ(bravo.nextLine(kDeadline), "1|c|ALPHA");
  ASSERT_EQ(bravo.nextLine(kDeadline), "1|p|Aircraft/ALPHA/ALPHA.acf");

  struct Case {
    std::string sent, relayed;
  } cases[] = {
      {"/home/pat/X-Plane 12/Aircraft/Trainer/Trainer.acf", "Aircraft/Trainer/Trainer.acf"},
      {"C:\\X-Plane 12\\Aircraft\\Jet\\Jet.acf", "Aircraft/Jet/Jet.acf"},
      {"Macintosh HD:X-Plane:Aircraft:Glider:Glider.ACF", "Aircraft/Glider/Glider.ACF"},
      {"/opt/planes/Kite/Kite.acf", "/opt/planes/Kite/Kite.acf"},       // no Aircraft folder
      {"/opt/MyAircraft/Box/Box.acf", "/opt/MyAircraft/Box/Box.acf"},   // only a whole folder name counts
  };
  for (const Case& c : cases) {
    // The unchanged call sign is not sent again; the new path is.
    alpha->sendTcp("100|CALLSIGN|ALPHA|\n100|PLANE|" + c.sent + "\n");
    EXPECT_EQ(bravo.nextLine(kDeadline), "1|p|" + c.relayed) << c.sent;
  }
  alpha->sendTcp("100|CALLSIGN|ALPHA 2|\n");
  EXPECT_EQ(bravo.nextLine(kDeadline), "1|c|ALPHA 2");
}

TEST_F(ServerTest, ChatReachesEveryClientIncludingTheSender) {
  startServer({});
  auto alpha = join(100, "ALPHA", 47.25, 8.5);
  auto bravo = join(200, "BRAVO", 47.75, 8.5);
  ASSERT_TRUE(bravo->waitForLine("1|c|ALPHA", kDeadline));
  // Bars pass unchanged; a NUL, a carriage return and the client's "===="
  // line separator would break the receivers' framing and are defused.
  alpha->sendTcp("100|MESSAGE|hello | world\n100|MESSAGE|a\0b\rc=====d\n"s);
  for (RawClient* client : {alpha.get(), bravo.get()}) {
    EXPECT_TRUE(client->waitForLine("0|m|ALPHA: hello | world", kDeadline));
    EXPECT_EQ(client->nextLine(kDeadline), "0|m|ALPHA: ab c===d");
  }
}

TEST_F(ServerTest, PlayerThatLeavesIsBlankedInTheOthersSlots) {
  startServer({});
  auto bravo = join(200, "BRAVO", 47.75, 8.5);
  for (bool notice : {true, false}) {
    SCOPED_TRACE(notice ? "closing notice" : "connection closed");
    auto alpha = join(100, "ALPHA", 47.25, 8.5);
    // The slot freed by the previous round is used again.
    ASSERT_TRUE(bravo->waitForLine("1|c|ALPHA", kDeadline));
    if (notice) alpha->sendTcp("100|Closing Connection\n");
    else alpha->closeTcp();
    EXPECT_TRUE(bravo->waitForLine("1|c|BLANK", kDeadline));
    EXPECT_EQ(bravo->nextLine(kDeadline), "1|p|BLANK");
  }
}

TEST_F(ServerTest, PlayerWithoutPositionsLeavesAfterTheIdleTimeoutAndComesBack) {
  startServer({"--idle-timeout", "1"});
  auto alpha = join(100, "ALPHA", 47.25, 8.5);
  RawClient bravo;
  ASSERT_TRUE(bravo.login(200, "bravo", "", ""));
  bravo.sendDatagram(positionReport(200, 47.75, 8.5, 500, false));
  ASSERT_TRUE(bravo.waitForLine("1|c|ALPHA", kDeadline));
  EXPECT_TRUE(bravo.waitForLine("1|c|BLANK", kDeadline));
  EXPECT_EQ(bravo.nextLine(kDeadline), "1|p|BLANK");
  alpha->sendDatagram(positionReport(100, 47.5, 8.5, 500, false));
  EXPECT_TRUE(bravo.waitForLine("1|c|ALPHA", kDeadline));
  EXPECT_TRUE(bravo.nextDatagram(kDeadline));
  // A connection that never logs in is closed after the same time.
  RawClient silent;
  ASSERT_TRUE(silent.connect());
  EXPECT_TRUE(silent.waitForClose(kDeadline));
}

TEST_F(ServerTest, WithTwentyOthersEachClientSeesTheNineteenNearest) {
  startServer({});
  auto receiver = join(1, "R", 47.0, 8.0);
  std::vector<std::unique_ptr<RawClient>> near;
  for (int k = 1; k <= 19; ++k) near.push_back(join(1 + k, "P" + std::to_string(k), 47.0 + 0.001 * k, 8.0));
  for (int k = 1; k <= 19; ++k)
    ASSERT_TRUE(receiver->waitForLine(std::to_string(k) + "|c|P" + std::to_string(k), kDeadline));

  // The 20th other is farther than all of them: it gets no slot. It sees
  // the 19 P's itself, R being the farthest from it; once it has P19, the
  // server has placed it.
  auto far = join(40, "FAR", 50.0, 8.0);
  ASSERT_TRUE(far->waitForLineEndingWith("|c|P19", kDeadline));
  sync(*receiver, "R");
  EXPECT_FALSE(sawLineEndingWith(*receiver, "|c|FAR"));
  EXPECT_EQ(slotOf(*far, "R"), -1);

  // It comes nearer than P19, which gives up its slot to it.
  int p19Slot = slotOf(*receiver, "P19");
  far->sendDatagram(positionReport(40, 47.0005, 8.0, 500, false));
  ASSERT_TRUE(receiver->waitForLine(std::to_string(p19Slot) + "|c|BLANK", kDeadline));
  EXPECT_EQ(receiver->nextLine(kDeadline), std::to_string(p19Slot) + "|p|BLANK");
  EXPECT_EQ(receiver->nextLine(kDeadline), std::to_string(p19Slot) + "|c|FAR");
}

TEST_F(ServerTest, CrewMemberRidesInItsPilotsSlotZeroAndIsShownToNobody) {
  startServer({"--crew", "user20=user10"});
  auto pilot = join(10, "PILOT", 47.0, 8.0);
  auto observer = join(30, "OBS", 47.1, 8.0);
  RawClient crew;
  ASSERT_TRUE(crew.login(20, "user20", "", "20|VOCALLSIGN|CREW|\n"));
  waitForLogin(20, 0);  // before the report that gives the crew's address
  crew.sendDatagram(positionReport(20, 33.25, 8.0, 500, true));
  ASSERT_TRUE(crew.waitForLine("0|p|Aircraft/PILOT/PILOT.acf", kDeadline));
  pilot->sendDatagram(positionReport(10, 47.01, 8.0, 600, false));
  std::optional<std::string> datagram = crew.nextDatagram(kDeadline);
  ASSERT_TRUE(datagram);
  EXPECT_EQ(*datagram, "0|l|" + relayedFieldsOf(47.01, 8.0, 600));

  sync(crew, "CREW");
  sync(*observer, "OBS");
  sync(*pilot, "PILOT");
  EXPECT_EQ(slotOf(crew, "PILOT"), 0);       // not also in one of its slots 1 to 19
  EXPECT_EQ(slotOf(crew, "OBS"), 1);
  EXPECT_EQ(slotOf(*observer, "PILOT"), 1);
  EXPECT_EQ(slotOf(*observer, "CREW"), -1);  // riding along, not an aircraft
  EXPECT_EQ(slotOf(*pilot, "CREW"), -1);
  // The observer gets the pilot's positions, never the crew member's.
  crew.sendDatagram(positionReport(20, 33.25, 8.0, 500, true));
  pilot->sendDatagram(positionReport(10, 47.02, 8.0, 600, false));
  int seen = 0;
  while (std::optional<std::string> datagram = observer->nextDatagram(0.5)) {
    EXPECT_EQ(datagram->find("|33.25|"), std::string::npos) << *datagram;
    ++seen;
  }
  EXPECT_GE(seen, 1);
}

TEST_F(ServerTest, MalformedInputIsIgnoredAndCounted) {
  startServer({});
  auto alpha = join(100, "ALPHA", 47.25, 8.5);
  auto bravo = join(200, "BRAVO", 47.75, 8.5);
  ASSERT_TRUE(bravo->waitForLine("1|p|Aircraft/ALPHA/ALPHA.acf", kDeadline));
  const std::string report = positionReport(100, 47.5, 8.5, 500, false);

  const std::string badLines[] = {
      "garbage",
      "|MESSAGE|no token",
      "999|MESSAGE|another client's token",
      "12345678901|MESSAGE|token too long",
      "100|CALLSIGN|no closing bar",
      "100|WHAT|unknown tag",
      "100|Opening Connection|alpha|" + loginDigest(100, "alpha", "") + "|",  // a second login
  };
  int round = 0;
  for (const std::string& bad : badLines) {
    std::string good = "after " + std::to_string(++round);
    alpha->sendTcp(bad + "\n100|MESSAGE|" + good + "\n");
    EXPECT_EQ(bravo->nextLine(kDeadline), "0|m|ALPHA: " + good) << bad;
  }

  const std::string badDatagrams[] = {
      "100|LOC|1|2|3",                                   // too few fields
      "100|POS" + report.substr(7),                      // unknown tag
      report.substr(4),                                  // no token
      report + "|43|44|45",                              // too many fields
      report + std::string(1500, '0'),                   // longer than a client's report
      std::string(report).replace(20, 1, 1, '\0'),       // a NUL inside
  };
  for (const std::string& bad : badDatagrams) {
    double latitude = 40.0 + ++round;
    alpha->sendDatagram(bad);
    alpha->sendDatagram(positionReport(100, latitude, 8.5, 500, false));
    EXPECT_EQ(bravo->nextDatagram(kDeadline), "1|l|" + relayedFieldsOf(latitude, 8.5, 500)) << bad;
  }
  // Well formed, but no client has the token.
  alpha->sendDatagram(positionReport(777, 1, 2, 3, false));
  alpha->sendDatagram(report);
  EXPECT_EQ(bravo->nextDatagram(kDeadline), "1|l|" + relayedFieldsOf(47.5, 8.5, 500));

  ASSERT_TRUE(server.stop());
  EXPECT_NE(server.log().find("13 malformed messages ignored, 1 unmatched datagrams"), std::string::npos)
      << server.log();
}

TEST_F(ServerTest, OverLongLineClosesOnlyThatClient) {
  startServer({});
  auto alpha = join(100, "ALPHA", 47.25, 8.5);
  auto bravo = join(200, "BRAVO", 47.75, 8.5);
  ASSERT_TRUE(bravo->waitForLine("1|c|ALPHA", kDeadline));
  alpha->sendTcp("100|MESSAGE|" + std::string(70000, 'x'));
  EXPECT_TRUE(alpha->waitForClose(kDeadline));
  EXPECT_TRUE(bravo->waitForLine("1|c|BLANK", kDeadline));
  sync(*bravo, "BRAVO");
  EXPECT_NE(server.log().find("line longer than 65536 bytes"), std::string::npos);
}

TEST_F(ServerTest, ClientsWithTheSameTokenAreToldApartByTheirUdpAddress) {
  startServer({});
  auto observer = join(1, "OBS", 47.0, 8.0);
  // Two simulators on one host started in the same second draw one token.
  auto first = join(500, "FIRST", 47.1, 8.0);
  ASSERT_TRUE(observer->waitForLine("1|c|FIRST", kDeadline));
  auto second = join(500, "SECOND", 47.2, 8.0);
  ASSERT_TRUE(observer->waitForLine("2|c|SECOND", kDeadline));
  observer->drainDatagrams(0.3);
  for (int round = 1; round <= 3; ++round) {
    double offset = 0.001 * round;
    first->sendDatagram(positionReport(500, 47.1 + offset, 8.0, 500, false));
    EXPECT_EQ(observer->nextDatagram(kDeadline), "1|l|" + relayedFieldsOf(47.1 + offset, 8.0, 500));
    second->sendDatagram(positionReport(500, 47.2 + offset, 8.0, 500, false));
    EXPECT_EQ(observer->nextDatagram(kDeadline), "2|l|" + relayedFieldsOf(47.2 + offset, 8.0, 500));
  }
}

}  // namespace
