// The plane-list and message windows, driven as a user would: the menu,
// Tab and Return, clicks and drags; asserted on what the simulator drew.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "host/opengl.h"
#include "support/window_fixture.h"

namespace {

using simhost::DrawnString;
using simhost::GlPrimitive;

class OverlayTest : public OverlayFixture {};

TEST_F(OverlayTest, MenuTogglesThePlaneListAndNeitherWindowShowsAtStart) {
  sim.runSeconds(0.5);
  EXPECT_FALSE(sim.window(planeList())->visible);
  EXPECT_FALSE(sim.window(messages())->visible);
  EXPECT_TRUE(stringsOf(planeList()).empty());

  ASSERT_TRUE(sim.chooseMenuItem("Toggle Plane List"));
  sim.runFrames(1);
  EXPECT_TRUE(sim.window(planeList())->visible);
  EXPECT_EQ(stringsOf(planeList()).size(), 20u);

  ASSERT_TRUE(sim.chooseMenuItem("Toggle Plane List"));
  sim.runFrames(1);
  EXPECT_FALSE(sim.window(planeList())->visible);
  EXPECT_TRUE(stringsOf(planeList()).empty());
}

TEST_F(OverlayTest, PlaneListBeforeTrafficShowsIdleStatusAndNineteenSlots) {
  ASSERT_TRUE(sim.chooseMenuItem("Toggle Plane List"));
  sim.runFrames(1);
  // 1024 x 768: the plane list spans 734..1004 across and 408 down to 88.
  const simhost::FrameDrawing& frame = sim.lastFrame();
  ASSERT_EQ(frame.darkBoxes.size(), 1u);
  const simhost::DarkBox& box = frame.darkBoxes[0];
  EXPECT_EQ(box.window, planeList());
  EXPECT_EQ(std::vector<int>({box.left, box.top, box.right, box.bottom}),
            std::vector<int>({734, 408, 1004, 88}));

  std::vector<DrawnString> strings = stringsOf(planeList());
  ASSERT_EQ(strings.size(), 20u);
  std::vector<std::string> expected = {"Network Traffic:" + std::string(9, ' ')};
  for (int i = 1; i <= 19; ++i)
    expected.push_back(std::to_string(i) + ":  Plane " + std::to_string(i));
  for (size_t n = 0; n < strings.size(); ++n) {
    SCOPED_TRACE(n);
    EXPECT_EQ(strings[n].text, expected[n]);
    EXPECT_EQ(strings[n].x, 739);
    EXPECT_EQ(strings[n].y, n == 0 ? 388 : 408 - 34 - 14 * (int)n);
    EXPECT_EQ(colourOf(strings[n]), kWhite);
    EXPECT_FALSE(strings[n].wrapWidth.has_value());  // plane-list lines never wrap
    EXPECT_EQ(strings[n].font, 0);
  }
  // What `print window plane-list` reports: the same lines, top to bottom.
  EXPECT_EQ(sim.stringsDrawnIn(planeList()), expected);
}

TEST_F(OverlayTest, OpenMessageWindowDrawsLinesInputAndFrame) {
  sim.pressKey('\t', 0);
  sim.typeText("hi");
  ASSERT_TRUE(runUntilAlpha(0.69f));

  std::vector<DrawnString> strings = stringsOf(messages());
  ASSERT_EQ(strings.size(), 15u);  // 14 message lines, the input line, no countdown
  for (int j = 0; j < 14; ++j) {
    SCOPED_TRACE(j);
    EXPECT_EQ(strings[j].text, "");
    EXPECT_EQ(strings[j].x, 509);
    EXPECT_EQ(strings[j].y, 428 + 300 - 20 * j);
    EXPECT_EQ(colourOf(strings[j]), kLightGreen);
    EXPECT_EQ(strings[j].wrapWidth, 500);
  }
  EXPECT_EQ(strings[14].text, "hi|");
  EXPECT_EQ(strings[14].x, 509);
  EXPECT_EQ(strings[14].y, 448);
  EXPECT_EQ(colourOf(strings[14]), kYellow);
  EXPECT_EQ(strings[14].wrapWidth, 500);

  // Fill, then a white outline (the input line is active): corners in the
  // order right-bottom, left-bottom, left-top, right-top.
  const GlPrimitive* quad = primitiveOf(messages(), GL_QUADS);
  const GlPrimitive* lines = primitiveOf(messages(), GL_LINES);
  ASSERT_TRUE(quad && lines);
  EXPECT_LT(quad->order, lines->order);
  EXPECT_EQ(cornersOf(*quad), Corners({{1004, 428}, {504, 428}, {504, 748}, {1004, 748}}));
  EXPECT_EQ(cornersOf(*lines), Corners({{1004, 428}, {504, 428}, {504, 428}, {504, 748},
                                        {504, 748}, {1004, 748}, {1004, 748}, {1004, 428}}));
  EXPECT_EQ(colourOf(quad->vertices[0]), Rgba({0.1f, 0.1f, 0.1f, 0.69f}));
  EXPECT_EQ(colourOf(lines->vertices[0]), Rgba({1.0f, 1.0f, 1.0f, 0.69f * 0.5f + 0.5f}));
  const simhost::GraphicsState* found = nullptr;
  for (const simhost::GraphicsState& s : sim.lastFrame().graphicsStates)
    if (s.window == messages()) found = &s;
  ASSERT_TRUE(found);
  const simhost::GraphicsState& state = *found;
  EXPECT_EQ(std::vector<int>({state.fog, state.textureUnits, state.lighting, state.alphaTesting,
                              state.alphaBlending, state.depthTesting, state.depthWriting}),
            std::vector<int>({0, 0, 1, 0, 1, 0, 0}));
}

// The fade runs every 0.01 s: ten steps of 0.69 / 10 in double precision,
// each stored as a float, reach exactly 0.69f; ten down end just below 0,
// which hides the window, and the next fade-in starts from there.
TEST_F(OverlayTest, FadeTakesTenStepsEachWayAndHidesJustBelowZero) {
  auto step = [](float alpha, int sign) { return (float)(alpha + sign * (0.69 / 10)); };
  std::vector<float> up, down;
  float alpha = 0.0f;
  for (int i = 0; i < 10; ++i) up.push_back(alpha = step(alpha, +1));
  for (int i = 0; i < 10; ++i) down.push_back(alpha = step(alpha, -1));
  ASSERT_EQ(up.back(), 0.69f);
  ASSERT_LT(down.back(), 0.0f);
  ASSERT_GT(down.back(), -1e-7f);
  float reopened = step(down.back(), +1);

  sim.pressKey('\t', 0);
  std::vector<float> seen = alphasUntil([&] { return frameAlpha() == 0.69f; });
  EXPECT_EQ(seen, up);
  sim.runSeconds(0.2);
  EXPECT_EQ(frameAlpha(), 0.69f);  // stays at the limit while open
  EXPECT_TRUE(sim.window(messages())->visible);

  sim.pressKey('\t', 0);  // the focus is the window's: this Tab only lets go
  sim.pressKey('\t', 0);  // and this one, seen by the sniffer, closes
  seen = alphasUntil([&] { return !sim.window(messages())->visible; });
  std::vector<float> downDrawn(down.begin(), down.end() - 1);  // the last is not drawn
  EXPECT_EQ(seen, downDrawn);
  sim.runSeconds(0.2);
  EXPECT_FALSE(sim.window(messages())->visible);

  sim.pressKey('\t', 0);
  seen = alphasUntil([&] { return frameAlpha() > 0; });
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0], reopened);
}

// A message keeps the closed window up for nine seconds with the seconds
// left in its corner, then it fades out showing only its frame.
TEST_F(OverlayTest, MessageCountdownShowsNineToOneThenFadesWithoutText) {
  // Return while not connected sends nothing but starts the countdown; the
  // two Tabs let go of the keyboard and close the window at once.
  sim.pressKey('\t', 0);
  sim.pressKey('\r', 0);
  sim.pressKey('\t', 0);
  sim.pressKey('\t', 0);

  struct Shown {
    std::string number;
    double since;
  };
  std::vector<Shown> shown;
  bool fadingSeen = false, fadingText = false;
  double deadline = sim.now() + 15.0;
  while (sim.now() < deadline && !(fadingSeen && !sim.window(messages())->visible)) {
    sim.runFrames(1);
    const DrawnString* number = nullptr;
    for (const DrawnString& s : sim.lastFrame().strings)
      if (s.window == messages() && s.x == 1004 - 15 && s.y == 428 + 14) number = &s;
    if (number) {
      EXPECT_EQ(colourOf(*number), kYellow);
      EXPECT_FALSE(number->wrapWidth.has_value());
      if (shown.empty() || shown.back().number != number->text)
        shown.push_back({number->text, sim.now()});
    } else if (!shown.empty() && frameAlpha() > 0) {
      fadingSeen = true;
      fadingText = fadingText || !stringsOf(messages()).empty();
    }
  }
  ASSERT_EQ(shown.size(), 9u);
  for (int n = 0; n < 9; ++n) {
    SCOPED_TRACE(n);
    EXPECT_EQ(shown[n].number, std::to_string(9 - n));
    if (n > 0) {
      EXPECT_NEAR(shown[n].since - shown[n - 1].since, 1.0, 0.05);
    }
  }
  EXPECT_TRUE(fadingSeen);
  EXPECT_FALSE(fadingText) << "text was drawn while the window faded out";
  EXPECT_FALSE(sim.window(messages())->visible);
}

TEST_F(OverlayTest, CountdownNumberIsNotDrawnWhileTheUserKeepsTheWindowOpen) {
  sim.pressKey('\t', 0);
  sim.pressKey('\r', 0);  // countdown of 9, window held open by the Tab
  sim.runSeconds(3.0);
  std::vector<DrawnString> strings = stringsOf(messages());
  EXPECT_EQ(strings.size(), 15u);
  for (const DrawnString& s : strings) EXPECT_NE(s.x, 1004 - 15) << s.text;
}

TEST_F(OverlayTest, ClicksSetOutlineAndCursorBlinksOnlyWhileActive) {
  ASSERT_TRUE(sim.chooseMenuItem("Toggle Plane List"));
  sim.pressKey('\t', 0);
  sim.typeText("go");
  sim.pressKey('\t', 0);  // lets go of the keyboard: inactive, window stays up
  ASSERT_TRUE(runUntilAlpha(0.69f));
  EXPECT_EQ(outlineColour(), Rgba({0.0f, 0.0f, 0.0f, 0.69f}));
  EXPECT_EQ(inputLineChanges(1.2), std::vector<std::string>({"go"}));

  clickAt(700, 600);  // into the message window
  EXPECT_EQ(sim.keyboardFocus(), messages());
  sim.runFrames(1);
  EXPECT_EQ(outlineColour(), Rgba({1.0f, 1.0f, 1.0f, 0.69f * 0.5f + 0.5f}));
  std::vector<double> times;
  std::vector<std::string> phases = inputLineChanges(2.6, &times);
  ASSERT_GE(phases.size(), 5u);
  for (size_t n = 0; n < phases.size(); ++n) {
    SCOPED_TRACE(n);
    EXPECT_TRUE(phases[n] == "go|" || phases[n] == "go ") << phases[n];
    if (n > 0) {
      EXPECT_NE(phases[n], phases[n - 1]);
    }
    if (n > 1) {
      EXPECT_NEAR(times[n] - times[n - 1], 0.5, 0.05);
    }
  }

  clickAt(800, 300);  // into the plane list
  sim.runFrames(1);
  EXPECT_EQ(outlineColour(), Rgba({0.0f, 0.0f, 0.0f, 0.69f}));
  EXPECT_EQ(inputLineChanges(1.2), std::vector<std::string>({"go"}));
}

struct DragCase {
  const char* name;
  int window;  // 0 plane list, 1 message window
  int grabX, grabY;
  int dx, dy;
};

class OverlayDragTest : public OverlayFixture,
                        public ::testing::WithParamInterface<DragCase> {};

TEST_P(OverlayDragTest, DragMovesWithoutResizingAndAClickLeavesInPlace) {
  const DragCase& c = GetParam();
  ASSERT_TRUE(sim.chooseMenuItem("Toggle Plane List"));
  sim.pressKey('\t', 0);
  ASSERT_TRUE(runUntilAlpha(0.69f));
  const simhost::WindowInfo& window = *sim.nthWindow(c.window);
  Edges before = edgesOf(window);

  clickAt(c.grabX, c.grabY);
  EXPECT_EQ(edgesOf(window), before);

  ASSERT_TRUE(sim.mouseDown(c.grabX, c.grabY));
  sim.mouseDrag(c.grabX + c.dx / 2, c.grabY + c.dy / 2);
  sim.mouseDrag(c.grabX + c.dx, c.grabY + c.dy);
  sim.mouseUp(c.grabX + c.dx, c.grabY + c.dy);
  Edges expected = {before[0] + c.dx, before[1] + c.dy, before[2] + c.dx, before[3] + c.dy};
  EXPECT_EQ(edgesOf(window), expected);

  // After the mouse-up, further drag events move nothing.
  sim.mouseDrag(c.grabX, c.grabY);
  EXPECT_EQ(edgesOf(window), expected);

  // The drawing follows the window.
  sim.runFrames(1);
  std::vector<DrawnString> strings = stringsOf(window.id);
  ASSERT_FALSE(strings.empty());
  EXPECT_EQ(strings[0].x, expected[0] + 5);
}

INSTANTIATE_TEST_SUITE_P(
    BothWindows, OverlayDragTest,
    ::testing::Values(DragCase{"PlaneList", 0, 760, 400, -300, -60},
                      DragCase{"MessageWindow", 1, 520, 740, -200, -100},
                      DragCase{"PartlyOffScreen", 1, 900, 700, 400, 150}),
    [](const ::testing::TestParamInfo<DragCase>& info) { return std::string(info.param.name); });

}  // namespace
