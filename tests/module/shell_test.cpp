// The plug-in's life in the simulator: what start and enable set up, the
// callback schedule as observed over time, disable/enable cycles, stop, and
// the frame fallback for renderers that never draw phases 0 and 25.
#include <string.h>

#include <cmath>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/sim_fixture.h"
#include "support/window_fixture.h"

namespace {

using simhost::FlightLoopInfo;
using simhost::MenuInfo;
using simhost::WindowInfo;

const simhost::MenuItemInfo* findItem(const MenuInfo* menu, const std::string& text) {
  if (menu == nullptr) return nullptr;
  for (const auto& item : menu->items)
    if (item.text == text) return &item;
  return nullptr;
}

class ShellTest : public SimFixture {};

TEST_F(ShellTest, StartNamesThePluginAndBuildsItsMenu) {
  EXPECT_EQ(sim.pluginName(), "Quillsky");
  EXPECT_EQ(sim.pluginDescription(),
            "A plugin that provides for high-res network play. (Alpha releases)");
  EXPECT_FALSE(sim.pluginSignature().empty());

  const simhost::MenuItemInfo* top = findItem(sim.menu(sim.pluginsMenu()), "Quillsky");
  ASSERT_NE(top, nullptr);
  EXPECT_EQ(top->itemRef, nullptr);
  const MenuInfo* sub = sim.menu(top->subMenu);
  ASSERT_NE(sub, nullptr);
  EXPECT_EQ(sub->name, "Plane Window");
  EXPECT_EQ(sub->menuRef, nullptr);
  ASSERT_EQ(sub->items.size(), 2u);
  EXPECT_EQ(sub->items[0].text, "Control & Settings");
  EXPECT_STREQ((const char*)sub->items[0].itemRef, "1");
  EXPECT_EQ(sub->items[1].text, "Toggle Plane List");
  EXPECT_STREQ((const char*)sub->items[1].itemRef, "2");
}

TEST_F(ShellTest, BothWindowsStartHiddenInTheTopRightCorner) {
  const WindowInfo* planeList = sim.nthWindow(0);
  const WindowInfo* messages = sim.nthWindow(1);
  ASSERT_NE(planeList, nullptr);
  ASSERT_NE(messages, nullptr);
  EXPECT_EQ(edgesOf(*messages), (Edges{504, 748, 1004, 428}));
  EXPECT_EQ(edgesOf(*planeList), (Edges{734, 408, 1004, 88}));
  sim.runSeconds(1.0);
  EXPECT_FALSE(planeList->visible);
  EXPECT_FALSE(messages->visible) << "the fade keeps it hidden while its opacity is 0";
}

class LowScreenShellTest : public SimFixture {
  void prepareRoot() override { sim.config().screenHeight = 600; }
};

TEST_F(LowScreenShellTest, ThePlaneListHangsBelowALowScreen) {
  EXPECT_EQ(edgesOf(*sim.nthWindow(0)), (Edges{734, 240, 1004, -80}));
  EXPECT_EQ(edgesOf(*sim.nthWindow(1)), (Edges{504, 580, 1004, 260}));
}

TEST_F(ShellTest, EnableTakesTheNineteenMultiplayerAircraft) {
  EXPECT_EQ(sim.activeAircraftCount(), 20);
  EXPECT_TRUE(sim.planesAcquired());
  EXPECT_FALSE(sim.aiDisabled(0));
  for (int i = 1; i <= 19; ++i) EXPECT_TRUE(sim.aiDisabled(i)) << "aircraft " << i;

  sim.disable();
  EXPECT_EQ(sim.activeAircraftCount(), 0);
  EXPECT_FALSE(sim.planesAcquired());
  sim.enable();
  EXPECT_EQ(sim.activeAircraftCount(), 20);
  EXPECT_TRUE(sim.planesAcquired());
}

// Gaps between successive calls, in simulated seconds.
std::vector<double> gaps(const FlightLoopInfo& loop) {
  std::vector<double> result;
  for (size_t i = 1; i < loop.callTimes.size(); ++i)
    result.push_back(loop.callTimes[i] - loop.callTimes[i - 1]);
  return result;
}

TEST_F(ShellTest, EveryCallbackRunsOnItsSchedule) {
  const double frame = 1.0 / sim.config().fps;
  sim.runSeconds(12.5);

  auto draws = sim.drawCallbacks();
  ASSERT_EQ(draws.size(), 2u);
  EXPECT_EQ(draws[0].phase, 25);
  EXPECT_EQ(draws[1].phase, 0);
  for (const auto& draw : draws) {
    EXPECT_FALSE(draw.before);
    EXPECT_EQ(draw.callCount, sim.frameCount()) << "phase " << draw.phase << " runs each frame";
  }
  auto sniffers = sim.keySniffers();
  ASSERT_EQ(sniffers.size(), 1u);
  EXPECT_FALSE(sniffers[0].beforeWindows);

  // In registration order: receive loop, identity report, cursor blink,
  // message countdown, message fade, then the frame fallback.
  struct Expected {
    const char* name;
    double first, every;
  };
  const Expected expected[] = {
      {"receive loop", 0.03, 0.03},  {"identity report (not connected)", 10.0, 1.0},
      {"cursor blink", 1.0, 0.5},    {"message countdown", 1.0, 1.0},
      {"message fade", 0.1, 0.01},   {"frame fallback", frame, frame},
  };
  auto loops = sim.flightLoops();
  ASSERT_EQ(loops.size(), std::size(expected));
  for (size_t i = 0; i < loops.size(); ++i) {
    SCOPED_TRACE(expected[i].name);
    ASSERT_FALSE(loops[i].callTimes.empty());
    // A loop runs at the first frame at or after it is due.
    EXPECT_NEAR(loops[i].callTimes.front(), expected[i].first, frame + 1e-6);
    for (double gap : gaps(loops[i])) {
      double every = std::max(expected[i].every, frame);
      ASSERT_NEAR(gap, every, frame + 1e-6);
    }
  }
  EXPECT_EQ(loops[1].callCount, 3) << "at 10, 11 and 12 s";
  EXPECT_EQ(loops[5].callCount, sim.frameCount());
}

TEST_F(ShellTest, StopLeavesNoCallbackWindowOrMenuBehind) {
  sim.runSeconds(0.5);
  sim.disable();
  sim.stop();
  EXPECT_TRUE(sim.drawCallbacks().empty());
  EXPECT_TRUE(sim.keySniffers().empty());
  EXPECT_TRUE(sim.flightLoops().empty());
  for (const auto& window : sim.windows()) EXPECT_TRUE(window.destroyed);
  int subMenus = 0;
  for (const auto& menu : sim.menus()) {
    if (menu.name != "Plane Window") continue;
    ++subMenus;
    EXPECT_TRUE(menu.destroyed);
  }
  EXPECT_EQ(subMenus, 1);
  for (const auto& write : sim.dataWrites())
    EXPECT_EQ(write.name.find("sim/operation/override/"), std::string::npos)
        << "a pilot's stop leaves the overrides alone";
  std::string error;
  EXPECT_TRUE(sim.unload(&error)) << error;
}

TEST_F(ShellTest, StopDestroysTheSettingsDialogOnceBuilt) {
  ASSERT_TRUE(sim.chooseMenuItem("Control & Settings"));
  XPWidgetID dialog = sim.findWidget("Control & Settings");
  ASSERT_NE(dialog, nullptr);
  sim.disable();
  sim.stop();
  for (const auto& widget : sim.widgets()) EXPECT_TRUE(widget.destroyed) << widget.descriptor;
  std::string error;
  EXPECT_TRUE(sim.unload(&error)) << error;
}

// The values the module wrote into a reference, in order.
std::vector<double> writesTo(const simhost::Simulator& sim, const std::string& name) {
  std::vector<double> values;
  for (const auto& write : sim.dataWrites())
    if (write.name == name) values.push_back(write.values.front());
  return values;
}

const char kPlanePath[] = "sim/operation/override/override_planepath";
const char kFlightControl[] = "sim/operation/override/override_flightcontrol";

class ViewOnlyShellTest : public SimFixture {
  void prepareRoot() override { writeRootFile("Resources/plugins/viewonly.txt", ""); }
};

TEST_F(ViewOnlyShellTest, ACrewMemberHoldsTheOverridesUntilDisableAndStop) {
  // The pilot's positions fly this aircraft through slot 0, so the
  // simulator's own flight model must not fight them while enabled.
  EXPECT_EQ(sim.getInts(kPlanePath).at(0), 1);
  EXPECT_EQ(sim.getInt(kFlightControl), 1);

  // The marker is gone at the next enable, but view-only mode stays.
  std::remove((root + "/Resources/plugins/viewonly.txt").c_str());
  sim.disable();
  EXPECT_EQ(sim.getInts(kPlanePath).at(0), 0);
  EXPECT_EQ(sim.getInt(kFlightControl), 0);
  sim.enable();
  EXPECT_EQ(sim.getInts(kPlanePath).at(0), 1);

  sim.clearDataWrites();
  sim.disable();
  sim.clearDataWrites();
  sim.stop();
  EXPECT_EQ(writesTo(sim, kPlanePath), std::vector<double>{0});
  EXPECT_EQ(writesTo(sim, kFlightControl), std::vector<double>{0});
  std::string error;
  EXPECT_TRUE(sim.unload(&error)) << error;
}

// The head fix, as a co-pilot sees it, with the simulator drawing phase 0
// or (modern renderer) never drawing it.
class HeadFixTest : public SimFixture, public ::testing::WithParamInterface<bool> {
  void prepareRoot() override {
    sim.config().modernRenderer = GetParam();
    writeRootFile("Resources/plugins/qsprefs.txt", "cockpitPosition=1;");
  }
};

TEST_P(HeadFixTest, ACoPilotsHeadIsMirroredOncePerViewChange) {
  const char kHeadX[] = "sim/graphics/view/pilots_head_x";
  const char kViewType[] = "sim/graphics/view/view_type";
  sim.runFrames(3);
  sim.clearDataWrites();
  sim.setFloat(kHeadX, -0.5f);
  sim.setInt(kViewType, 1026);
  sim.runFrames(10);
  EXPECT_FLOAT_EQ(sim.getFloat(kHeadX), 0.5f);
  EXPECT_EQ(writesTo(sim, kHeadX).size(), 1u) << "once per change, not once per frame";

  // A head already on the right side is left alone.
  sim.setInt(kViewType, 1000);
  sim.runFrames(5);
  EXPECT_EQ(writesTo(sim, kHeadX).size(), 1u);

  int drawn = 0;
  for (const auto& draw : sim.drawCallbacks()) drawn += draw.callCount;
  EXPECT_EQ(drawn == 0, GetParam()) << "the modern renderer never draws phases 0 and 25";
}

INSTANTIATE_TEST_SUITE_P(Renderers, HeadFixTest, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Modern" : "Classic"; });

TEST(ModuleReloadTest, ALoadedAgainModuleStartsFresh) {
  simhost::Simulator& sim = simhost::simulator();
  sim.reset();
  std::string error;
  ASSERT_TRUE(sim.loadAndStart(QUILLSKY_MODULE_PATH, &error)) << error;
  ASSERT_TRUE(sim.chooseMenuItem("Toggle Plane List"));
  ASSERT_TRUE(sim.stopAndUnload(&error)) << error;

  sim.reset();
  ASSERT_TRUE(sim.loadAndStart(QUILLSKY_MODULE_PATH, &error)) << error;
  sim.runFrames(2);
  EXPECT_FALSE(sim.nthWindow(0)->visible) << "the plane-list flag of the first load is gone";
  ASSERT_TRUE(sim.stopAndUnload(&error)) << error;
  sim.reset();
}

}  // namespace
