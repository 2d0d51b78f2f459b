// Chat over a real connection to the test server on 127.0.0.1:49556: lines
// typed and sent with Return, a failed send, and a message from the server
// raising the message window with its countdown.
#include <errno.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/server_fixture.h"
#include "support/window_fixture.h"

namespace {

constexpr double kWallDeadline = 60.0;  // seconds of real time; generous on a busy machine

class ChatNetTest : public WindowFixture<ServerFixture> {
 protected:
  void SetUp() override {
    WindowFixture<ServerFixture>::SetUp();
    if (HasFatalFailure()) return;
    ASSERT_TRUE(sim.runUntil([&] { return !splitLines(server->tcpBytes()).empty(); },
                             kWallDeadline))
        << "no login arrived";
    token = splitFields(splitLines(server->tcpBytes()).front()).front();
    ASSERT_FALSE(token.empty());
  }

  // Runs the module until the server has received this whole line.
  bool serverGets(const std::string& line) {
    return sim.runUntil(
        [&] { return server->tcpBytes().find("\n" + line + "\n") != std::string::npos; },
        kWallDeadline);
  }

  std::string token;  // the client's token, as its login began
};

TEST_F(ChatNetTest, ReturnSendsTheLineAfterTheTokenAndEmptiesIt) {
  openChat();
  sim.typeText("hello | there");
  sim.pressKey('\r', 0);
  ASSERT_TRUE(serverGets(token + "|MESSAGE|hello | there")) << server->tcpBytes();
  sim.runFrames(1);
  EXPECT_EQ(typedLine(), "");
  EXPECT_EQ(sim.keyboardFocus(), messages());  // ready for the next line at once

  // An empty line still goes out, with empty text.
  sim.pressKey('\r', 0);
  EXPECT_TRUE(serverGets(token + "|MESSAGE|")) << server->tcpBytes();
}

TEST_F(ChatNetTest, ASendThatFailsKeepsTheLineForTheNextReturn) {
  openChat();
  sim.typeText("second try");
  sim.failNextSocketCalls(simhost::SocketOp::SendTo, 1, EWOULDBLOCK);
  sim.pressKey('\r', 0);
  sim.runSeconds(0.5);
  EXPECT_EQ(typedLine(), "second try");
  EXPECT_EQ(server->tcpBytes().find("second try"), std::string::npos);

  sim.pressKey('\r', 0);
  EXPECT_TRUE(serverGets(token + "|MESSAGE|second try")) << server->tcpBytes();
  sim.runFrames(1);
  EXPECT_EQ(typedLine(), "");
}

TEST_F(ChatNetTest, AReceivedMessageShowsForNineSecondsWithItsCountdown) {
  ASSERT_TRUE(server->sendLine("0|m|hello"));
  auto cornerNumber = [&]() -> std::string {
    const simhost::WindowInfo& w = *sim.window(messages());
    for (const simhost::DrawnString& s : stringsOf(messages()))
      if (s.x == w.right - 15 && s.y == w.bottom + 14) return s.text;
    return "";
  };
  ASSERT_TRUE(sim.runUntil([&] { return cornerNumber() == "9"; }, kWallDeadline));
  std::vector<simhost::DrawnString> strings = stringsOf(messages());
  ASSERT_EQ(strings.size(), 16u);  // 14 message lines, the input line, the number
  EXPECT_EQ(strings[13].text, "hello");  // the newest line, at the bottom
  EXPECT_EQ(strings[13].y, 428 + 300 - 20 * 13);

  double start = sim.now();
  ASSERT_TRUE(sim.runUntil([&] { return cornerNumber() == "1"; }, kWallDeadline));
  EXPECT_NEAR(sim.now() - start, 8.0, 0.1);
  ASSERT_TRUE(sim.runUntil([&] { return !sim.window(messages())->visible; }, kWallDeadline));
  EXPECT_NEAR(sim.now() - start, 9.1, 0.15);  // one more second, then ten fade steps
}

}  // namespace
