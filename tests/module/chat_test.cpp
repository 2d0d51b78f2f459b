// Chat entry from the keyboard, without a server: Tab, typing, editing,
// Return while not connected, and the keys that must be ignored.
#include <string>

#include <gtest/gtest.h>

#include "host/xplm_display.h"
#include "support/window_fixture.h"

namespace {

class ChatTest : public OverlayFixture {
 protected:
  // The typed text of the active input line after one more frame.
  std::string lineNow() {
    sim.runFrames(1);
    return typedLine();
  }
};

TEST_F(ChatTest, TabOpensTheWindowReadyForTypingAndTypingFillsTheLine) {
  sim.pressKey('\t', 0);
  EXPECT_EQ(sim.keyboardFocus(), messages());
  ASSERT_TRUE(runUntilAlpha(0.69f));
  EXPECT_TRUE(sim.window(messages())->visible);
  EXPECT_EQ(inputLine(), "|");  // active, cursor shown at once

  sim.typeText("Hello, World! ~{}");
  EXPECT_EQ(lineNow(), "Hello, World! ~{}");
}

TEST_F(ChatTest, BackspaceAndDeleteRemoveTheLastCharacterAndStopAtEmpty) {
  openChat();
  sim.typeText("abc");
  sim.pressKey(8, 0);
  EXPECT_EQ(lineNow(), "ab");
  sim.pressKey(127, 0);
  EXPECT_EQ(lineNow(), "a");
  for (int i = 0; i < 3; ++i) sim.pressKey(i % 2 ? 127 : 8, 0);
  EXPECT_EQ(lineNow(), "");
  sim.typeText("z");
  EXPECT_EQ(lineNow(), "z");
}

// Every character code but Tab, Backspace, Return and Delete, in order:
// only 32 to 126 reach the line; control codes and 128 to 255 (negative as
// signed characters) do not. Modifier flags do not matter; key-up events
// change nothing.
TEST_F(ChatTest, OnlyPrintableCodesAreAddedAndOnlyOnKeyDown) {
  openChat();
  std::string expected;
  for (int code = 0; code < 256; ++code) {
    if (code == 8 || code == 9 || code == 13 || code == 127) continue;
    sim.pressKey((char)code, xplm_ShiftFlag | xplm_ControlFlag);
    if (code >= 32 && code <= 126) expected += (char)code;
  }
  EXPECT_EQ(lineNow(), expected);

  sim.keyEvent('x', xplm_UpFlag, 0);
  sim.keyEvent('\b', xplm_UpFlag, 0);
  sim.keyEvent('\t', xplm_UpFlag, 0);
  EXPECT_EQ(lineNow(), expected);
  EXPECT_EQ(sim.keyboardFocus(), messages());
}

TEST_F(ChatTest, TabLetsGoOfTheKeyboardThenTabClosesAndTheLineIsKept) {
  sim.pressKey('\t', 0);
  sim.typeText("keep me");
  sim.pressKey('\t', 0);
  EXPECT_EQ(sim.keyboardFocus(), nullptr);
  sim.runSeconds(1.0);
  EXPECT_TRUE(sim.window(messages())->visible);  // still open, without the cursor
  EXPECT_EQ(inputLine(), "keep me");

  sim.typeText("x");  // with the focus gone, keys go to the simulator
  sim.pressKey('\t', 0);
  EXPECT_TRUE(sim.runUntil([&] { return !sim.window(messages())->visible; }, 60.0));
  sim.runSeconds(1.0);
  EXPECT_FALSE(sim.window(messages())->visible);

  sim.pressKey('\t', 0);
  ASSERT_TRUE(runUntilAlpha(0.69f));
  EXPECT_EQ(typedLine(), "keep me");
}

TEST_F(ChatTest, ReturnWhileNotConnectedSendsNothingAndKeepsTheLine) {
  openChat();
  sim.typeText("not yet");
  sim.pressKey('\r', 0);
  EXPECT_EQ(sim.socketCalls(simhost::SocketOp::SendTo), 0);
  EXPECT_EQ(sim.socketCalls(simhost::SocketOp::Send), 0);
  EXPECT_EQ(sim.keyboardFocus(), messages());
  EXPECT_EQ(lineNow(), "not yet");
  sim.typeText("!");
  EXPECT_EQ(lineNow(), "not yet!");

  // The countdown it started keeps the window up after Tab, Tab closes it.
  sim.pressKey('\t', 0);
  sim.pressKey('\t', 0);
  sim.runSeconds(5.0);
  EXPECT_TRUE(sim.window(messages())->visible);
}

}  // namespace
