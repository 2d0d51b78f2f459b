// The stand-in simulator's own contract, then the real module inside it and
// the quillsky-sim program.
#include <errno.h>
#include <stdio.h>
#include <string.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "host/opengl.h"
#include "host/xp_widgets.h"
#include "host/xplm_data.h"
#include "host/xplm_display.h"
#include "host/xplm_graphics.h"
#include "host/xplm_processing.h"
#include "simhost/script.h"
#include "simhost/simulator.h"
#include "support/process_runner.h"
#include "support/sim_fixture.h"

namespace {

using simhost::Simulator;

class StandIn : public ::testing::Test {
 protected:
  void SetUp() override { sim.reset(); }
  void TearDown() override { sim.reset(); }
  Simulator& sim = simhost::simulator();
};

// ---- Flight loops

std::vector<float> sinceLastCalls;
float everySecondAndAHalf(float sinceLastCall, float, int, void*) {
  sinceLastCalls.push_back(sinceLastCall);
  return 1.5f;
}
float everyThirdFrame(float, float, int, void*) { return -3.0f; }
float onceOnly(float, float, int, void*) { return 0.0f; }
float unregistersItself(float, float, int, void* ref) {
  XPLMUnregisterFlightLoopCallback(unregistersItself, ref);
  return 1.0f;
}

TEST_F(StandIn, FlightLoopsRunAfterTheIntervalTheyReturnInSecondsOrFrames) {
  sim.config().fps = 10;
  sinceLastCalls.clear();
  XPLMRegisterFlightLoopCallback(everySecondAndAHalf, 0.5f, nullptr);
  XPLMRegisterFlightLoopCallback(everyThirdFrame, -1.0f, nullptr);
  XPLMRegisterFlightLoopCallback(onceOnly, 0.2f, nullptr);
  XPLMRegisterFlightLoopCallback(unregistersItself, 0.1f, nullptr);
  XPLMRegisterFlightLoopCallback(onceOnly, 0.0f, (void*)1);  // inactive from the start
  sim.runSeconds(4.0);

  const simhost::FlightLoopInfo* seconds = sim.findFlightLoop(everySecondAndAHalf);
  ASSERT_NE(seconds, nullptr);
  ASSERT_EQ(seconds->callTimes.size(), 3u);
  EXPECT_NEAR(seconds->callTimes[0], 0.5, 1e-9);
  EXPECT_NEAR(seconds->callTimes[1], 2.0, 1e-9);
  EXPECT_NEAR(seconds->callTimes[2], 3.5, 1e-9);
  EXPECT_NEAR(seconds->nextDue, 5.0, 1e-9);
  EXPECT_NEAR(sinceLastCalls[0], 0.5f, 1e-5);  // since registration
  EXPECT_NEAR(sinceLastCalls[1], 1.5f, 1e-5);

  const simhost::FlightLoopInfo* frames = sim.findFlightLoop(everyThirdFrame);
  ASSERT_NE(frames, nullptr);
  EXPECT_NEAR(frames->callTimes.at(0), 0.1, 1e-9);  // -1: the next frame
  EXPECT_NEAR(frames->callTimes.at(1), 0.4, 1e-9);  // then every third
  EXPECT_EQ(frames->callCount, 14);

  int onceCalls = 0;
  for (const simhost::FlightLoopInfo& loop : sim.flightLoops())
    if (loop.callback == onceOnly) onceCalls += loop.callCount;
  EXPECT_EQ(onceCalls, 1);
  EXPECT_EQ(sim.findFlightLoop(unregistersItself), nullptr);
}

// ---- Keys and mouse

std::vector<std::string> events;
void windowKey(XPLMWindowID, char key, int flags, char, void* ref, int losingFocus) {
  events.push_back(std::string((const char*)ref) + (losingFocus ? " lost focus" : " key " + std::string(1, key)) +
                   ((flags & xplm_DownFlag) ? " down" : ""));
}
int windowMouse(XPLMWindowID, int x, int y, int status, void* ref) {
  events.push_back(std::string((const char*)ref) + " mouse " + std::to_string(status) + " " + std::to_string(x) +
                   "," + std::to_string(y));
  return 1;
}
void windowDraw(XPLMWindowID, void* ref) {
  float white[3] = {1, 1, 1};
  XPLMDrawString(white, 10, 10, (const char*)ref, nullptr, 0);
}
int passingSniffer(char key, int, char, void*) {
  events.push_back("passing " + std::string(1, key));
  return 1;
}
int takingSniffer(char key, int, char, void*) {
  events.push_back("taking " + std::string(1, key));
  return 0;
}
int beforeSniffer(char key, int, char, void*) {
  events.push_back("before " + std::string(1, key));
  return 1;
}

TEST_F(StandIn, KeysGoToTheFocusWindowElseToSniffersInOrderUntilOneTakesThem) {
  events.clear();
  XPLMWindowID a = XPLMCreateWindow(0, 100, 100, 0, 1, windowDraw, windowKey, windowMouse, (void*)"A");
  XPLMWindowID b = XPLMCreateWindow(50, 150, 150, 50, 1, windowDraw, windowKey, windowMouse, (void*)"B");
  XPLMRegisterKeySniffer(passingSniffer, 0, nullptr);
  XPLMRegisterKeySniffer(takingSniffer, 0, nullptr);
  XPLMRegisterKeySniffer(passingSniffer, 0, (void*)1);  // never reached: the one before takes keys
  XPLMRegisterKeySniffer(beforeSniffer, 1, nullptr);

  sim.keyEvent('x', xplm_DownFlag, 0);
  XPLMTakeKeyboardFocus(a);
  sim.keyEvent('y', xplm_DownFlag, 0);
  XPLMTakeKeyboardFocus(b);
  sim.pressKey('z', 0);
  XPLMTakeKeyboardFocus(nullptr);

  std::vector<std::string> expected = {"before x", "passing x", "taking x", "before y", "A key y down",
                                       "A lost focus", "before z", "B key z down", "before z", "B key z",
                                       "B lost focus"};
  EXPECT_EQ(events, expected);
  EXPECT_EQ(sim.keyboardFocus(), nullptr);
}

TEST_F(StandIn, MouseGoesToTheTopVisibleWindowAndStaysWithItUntilUp) {
  events.clear();
  XPLMWindowID a = XPLMCreateWindow(0, 100, 100, 0, 1, windowDraw, windowKey, windowMouse, (void*)"A");
  XPLMWindowID b = XPLMCreateWindow(50, 150, 150, 50, 1, windowDraw, windowKey, windowMouse, (void*)"B");
  EXPECT_TRUE(sim.mouseDown(60, 60));  // both hold it: B lies on top
  EXPECT_TRUE(sim.mouseDrag(500, 500));
  EXPECT_TRUE(sim.mouseUp(10, 10));
  XPLMSetWindowIsVisible(b, 0);
  EXPECT_TRUE(sim.mouseDown(60, 60));
  sim.mouseUp(60, 60);
  EXPECT_FALSE(sim.mouseDown(300, 300));
  EXPECT_FALSE(sim.mouseUp(300, 300));
  XPLMDestroyWindow(a);
  EXPECT_FALSE(sim.mouseDown(60, 60));

  std::vector<std::string> expected = {"B mouse 1 60,60", "B mouse 2 500,500", "B mouse 3 10,10", "A mouse 1 60,60",
                                       "A mouse 3 60,60"};
  EXPECT_EQ(events, expected);
  EXPECT_TRUE(sim.window(a)->destroyed);
}

// ---- Drawing

void drawsLines(XPLMWindowID, void*) {
  XPLMDrawTranslucentDarkBox(0, 100, 100, 0);
  glColor4f(1, 0, 0, 0.5f);
  glBegin(GL_LINES);
  glVertex2f(1, 2);
  glColor4f(0, 1, 0, 1);
  glVertex2f(3, 4);
  glEnd();
}

int phaseDraw(int phase, int, void*) {
  events.push_back("phase " + std::to_string(phase));
  return 1;
}

TEST_F(StandIn, AFrameDrawsPhasesThenVisibleWindowsUnlessTheRendererIsModern) {
  events.clear();
  XPLMRegisterDrawCallback(phaseDraw, xplm_Phase_Airplanes, 0, nullptr);
  XPLMRegisterDrawCallback(phaseDraw, xplm_Phase_FirstScene, 0, nullptr);
  XPLMWindowID shown = XPLMCreateWindow(0, 100, 100, 0, 1, windowDraw, windowKey, windowMouse, (void*)"shown");
  XPLMCreateWindow(0, 100, 100, 0, 0, windowDraw, windowKey, windowMouse, (void*)"hidden");
  sim.runFrames(1);
  EXPECT_EQ(events, (std::vector<std::string>{"phase 0", "phase 25"}));
  ASSERT_EQ(sim.lastFrame().strings.size(), 1u);
  EXPECT_EQ(sim.lastFrame().strings[0].window, shown);
  EXPECT_EQ(sim.stringsDrawnIn(shown), std::vector<std::string>{"shown"});

  sim.config().modernRenderer = true;
  sim.runFrames(2);
  EXPECT_EQ(events.size(), 2u);
  EXPECT_EQ(sim.lastFrame().strings.size(), 1u);

  XPLMWindowID lines = XPLMCreateWindow(0, 100, 100, 0, 1, drawsLines, windowKey, windowMouse, nullptr);
  sim.runFrames(1);
  const simhost::FrameDrawing& frame = sim.lastFrame();
  ASSERT_EQ(frame.primitives.size(), 1u);
  const simhost::GlPrimitive& line = frame.primitives[0];
  EXPECT_EQ(line.window, lines);
  EXPECT_EQ(line.mode, GL_LINES);
  ASSERT_EQ(line.vertices.size(), 2u);
  EXPECT_EQ(line.vertices[0].alpha, 0.5f);  // each vertex keeps the colour current at it
  EXPECT_EQ(line.vertices[1].green, 1.0f);
  ASSERT_EQ(frame.darkBoxes.size(), 1u);
  EXPECT_LT(frame.darkBoxes[0].order, line.order);
}

// ---- Widgets

std::vector<std::string> messages;
int recordingHandler(int message, XPWidgetID widget, intptr_t param1, intptr_t param2) {
  char descriptor[64] = {};
  XPGetWidgetDescriptor(widget, descriptor, sizeof descriptor - 1);
  messages.push_back(std::string(descriptor) + " " + std::to_string(message) + " " +
                     std::to_string(param1 != 0) + " " + std::to_string(param2));
  return 0;
}
int handlingHandler(int message, XPWidgetID widget, intptr_t param1, intptr_t param2) {
  recordingHandler(message, widget, param1, param2);
  messages.back() += " handled";
  return 1;
}

TEST_F(StandIn, WidgetClicksSendMessagesUpThroughContainersUntilHandled) {
  messages.clear();
  XPWidgetID dialog = XPCreateWidget(0, 300, 300, 0, 1, "Dialog", 1, nullptr, xpWidgetClass_MainWindow);
  XPWidgetID push = XPCreateWidget(10, 50, 60, 38, 1, "Push", 0, dialog, xpWidgetClass_Button);
  XPWidgetID radio = XPCreateWidget(10, 70, 60, 58, 1, "Radio", 0, dialog, xpWidgetClass_Button);
  XPWidgetID check = XPCreateWidget(10, 90, 60, 78, 1, "Check", 0, dialog, xpWidgetClass_Button);
  XPSetWidgetProperty(radio, xpProperty_ButtonBehavior, xpButtonBehaviorRadioButton);
  XPSetWidgetProperty(check, xpProperty_ButtonBehavior, xpButtonBehaviorCheckBox);
  XPAddWidgetCallback(dialog, handlingHandler);
  XPAddWidgetCallback(push, recordingHandler);
  XPAddWidgetCallback(check, handlingHandler);
  XPAddWidgetCallback(check, recordingHandler);  // added last: asked first

  EXPECT_EQ(sim.sendWidgetMessage(push, xpMsg_PushButtonPressed, (intptr_t)push, 0), dialog);
  messages.clear();
  EXPECT_TRUE(sim.clickWidget(push));
  EXPECT_TRUE(sim.clickWidget(radio));
  EXPECT_TRUE(sim.clickWidget(radio));  // already on: says nothing
  EXPECT_TRUE(sim.clickWidget(check));
  EXPECT_TRUE(sim.clickWidget(check));
  EXPECT_FALSE(sim.clickWidget(dialog));

  std::vector<std::string> expected = {"Push 1300 1 0",          "Dialog 1300 1 0 handled", "Dialog 1301 1 1 handled",
                                       "Check 1301 1 1",         "Check 1301 1 1 handled",  "Check 1301 1 0",
                                       "Check 1301 1 0 handled"};
  EXPECT_EQ(messages, expected);
  EXPECT_EQ(XPGetWidgetProperty(radio, xpProperty_ButtonState, nullptr), 1);
  EXPECT_EQ(XPGetWidgetProperty(check, xpProperty_ButtonState, nullptr), 0);

  // Visibility follows the containers; destroying the dialog takes its children.
  XPHideWidget(dialog);
  EXPECT_EQ(XPIsWidgetVisible(push), 0);
  XPDestroyWidget(dialog, 1);
  EXPECT_TRUE(sim.widget(push)->destroyed);
  EXPECT_EQ(sim.findWidget("Push"), nullptr);
}

TEST_F(StandIn, DescriptorsReportTheWholeLengthAndFieldsAreFoundByTheirCaption) {
  XPWidgetID dialog = XPCreateWidget(0, 300, 300, 0, 1, "Dialog", 1, nullptr, xpWidgetClass_MainWindow);
  XPCreateWidget(10, 250, 100, 238, 1, "Call Sign:", 0, dialog, xpWidgetClass_Caption);
  XPCreateWidget(110, 230, 200, 218, 1, "other row", 0, dialog, xpWidgetClass_TextField);
  XPWidgetID field = XPCreateWidget(110, 250, 200, 238, 1, "N123", 0, dialog, xpWidgetClass_TextField);
  EXPECT_EQ(sim.findFieldByCaption("Call Sign:"), field);
  EXPECT_EQ(sim.findFieldByCaption("User ID:"), nullptr);
  ASSERT_TRUE(sim.setFieldText(field, "Quill One"));

  char buffer[8];
  memset(buffer, '#', sizeof buffer);
  EXPECT_EQ(XPGetWidgetDescriptor(field, buffer, 5), 9);
  EXPECT_EQ(std::string(buffer, 6), "Quill#");  // cut, not terminated
  EXPECT_EQ(XPGetWidgetDescriptor(field, nullptr, 0), 9);
  EXPECT_EQ(XPGetWidgetDescriptor(dialog, buffer, sizeof buffer), 6);
  EXPECT_STREQ(buffer, "Dialog");
}

// ---- Data references

TEST_F(StandIn, DataReferencesKeepTheirTypesAndNullHandlesDoNothing) {
  EXPECT_EQ(XPLMFindDataRef("sim/no/such/thing"), nullptr);
  EXPECT_EQ(XPLMGetDatai(nullptr), 0);
  EXPECT_EQ(XPLMGetDataf(nullptr), 0.0f);
  EXPECT_EQ(XPLMGetDatavf(nullptr, nullptr, 0, 0), 0);
  XPLMSetDataf(nullptr, 1.0f);
  EXPECT_TRUE(sim.dataWrites().empty());

  XPLMDataRef x = XPLMFindDataRef("sim/multiplayer/position/plane3_x");
  XPLMDataRef lat = XPLMFindDataRef("sim/multiplayer/position/plane3_lat");
  XPLMDataRef beacon = XPLMFindDataRef("sim/cockpit/electrical/beacon_lights_on");
  XPLMDataRef throttle = XPLMFindDataRef("sim/multiplayer/position/plane19_throttle");
  XPLMDataRef planePath = XPLMFindDataRef("sim/operation/override/override_planepath");
  ASSERT_TRUE(x && lat && beacon && throttle && planePath);

  XPLMSetDataf(x, 12.5f);  // double through the float call
  EXPECT_EQ(XPLMGetDatad(x), 12.5);
  XPLMSetDatad(lat, 40.0);  // read-only for the module
  EXPECT_EQ(sim.getDouble("sim/multiplayer/position/plane3_lat"), 0.0);
  sim.setDouble("sim/multiplayer/position/plane3_lat", 41.0);
  EXPECT_EQ(XPLMGetDatad(lat), 41.0);
  XPLMSetDatai(beacon, 1);
  EXPECT_EQ(XPLMGetDataf(beacon), 0.0f);  // an int does not answer the float call

  EXPECT_EQ(XPLMGetDatavf(throttle, nullptr, 0, 0), 16);
  float levels[3] = {0.1f, 0.2f, 0.3f};
  XPLMSetDatavf(throttle, levels, 14, 3);  // the third is past the end
  std::vector<float> read = sim.getFloats("sim/multiplayer/position/plane19_throttle");
  EXPECT_EQ(read[14], 0.1f);
  EXPECT_EQ(read[15], 0.2f);
  float out[4] = {};
  EXPECT_EQ(XPLMGetDatavf(throttle, out, 14, 4), 2);
  int overrides[2] = {1, 1};
  XPLMSetDatavi(planePath, overrides, 1, 2);
  EXPECT_EQ(sim.getInts("sim/operation/override/override_planepath")[2], 1);

  ASSERT_EQ(sim.dataWrites().size(), 5u);
  EXPECT_EQ(sim.dataWrites()[1].name, "sim/multiplayer/position/plane3_lat");
  EXPECT_EQ(sim.dataWrites()[3].offset, 14);
  EXPECT_EQ(sim.dataWrites()[3].values.size(), 3u);
  for (int n = 1; n <= 19; ++n)
    for (const char* part : {"_x", "_el", "_psi", "_yolk_yaw", "_gear_deploy", "_taxi_light_on"})
      EXPECT_TRUE(sim.hasDataRef("sim/multiplayer/position/plane" + std::to_string(n) + part)) << n << part;
}

TEST_F(StandIn, TheUserFliesAndTheLocalFrameIsFixedByTheStartingCell) {
  sim.config().startLatitude = 47.9;
  sim.config().startLongitude = -122.1;
  double x1, y1, z1, x2, y2, z2;
  XPLMWorldToLocal(47.5, -122.5, 100, &x1, &y1, &z1);
  sim.config().startLatitude = 47.1;  // another place in the same cell
  sim.config().startLongitude = -122.9;
  XPLMWorldToLocal(47.5, -122.5, 100, &x2, &y2, &z2);
  EXPECT_EQ(x1, x2);
  EXPECT_EQ(z1, z2);
  EXPECT_EQ(y1, 100);
  XPLMWorldToLocal(48.0, -122.0, 0, &x1, &y1, &z1);
  EXPECT_GT(x1, 0);  // east of the cell's corner
  EXPECT_LT(z1, 0);  // north is negative z

  sim.reset();  // back at the default start
  sim.config().fps = 20;
  sim.config().speedMetresPerSecond = 100;  // due north
  double startZ = sim.getDouble("sim/flightmodel/position/local_z");
  double startLatitude = sim.getDouble("sim/flightmodel/position/latitude");
  sim.runSeconds(1);
  EXPECT_NEAR(sim.getDouble("sim/flightmodel/position/local_z"), startZ - 100, 0.01);
  EXPECT_GT(sim.getDouble("sim/flightmodel/position/latitude"), startLatitude);
  sim.setDouble("sim/flightmodel/position/local_z", 5.0);  // a position set from outside holds
  sim.runSeconds(1);
  EXPECT_EQ(sim.getDouble("sim/flightmodel/position/local_z"), 5.0);
  EXPECT_FALSE(sim.userAircraftMoving());
}

// ---- Sockets

float opensASocket(float, float, int, void* result) {
  *(int*)result = socket(AF_INET, SOCK_DGRAM, 0);
  *((int*)result + 1) = errno;
  return 0;
}

TEST_F(StandIn, OnlyTheModulesSocketCallsAreCountedAndFailedOnRequest) {
  int outside = socket(AF_INET, SOCK_DGRAM, 0);
  ASSERT_GE(outside, 0);
  close(outside);
  std::thread([] { close(socket(AF_INET, SOCK_DGRAM, 0)); }).join();
  EXPECT_EQ(sim.socketCalls(simhost::SocketOp::Socket), 0);

  int result[2] = {};
  sim.failNextSocketCalls(simhost::SocketOp::Socket, 1, EMFILE);
  XPLMRegisterFlightLoopCallback(opensASocket, -1, result);
  sim.runFrames(1);
  EXPECT_EQ(result[0], -1);
  EXPECT_EQ(result[1], EMFILE);
  XPLMRegisterFlightLoopCallback(opensASocket, -1, result);
  sim.runFrames(1);
  EXPECT_GE(result[0], 0);
  close(result[0]);
  EXPECT_EQ(sim.socketCalls(simhost::SocketOp::Socket), 2);
  EXPECT_EQ(sim.socketCalls(simhost::SocketOp::Close), 0);
}

// ---- Scripts

TEST(Script, BadLinesAreRejectedWithTheirLineNumber) {
  struct Case {
    const char* script;
    const char* error;
  } cases[] = {
      {"0.5 fly away", "line 1: unknown action fly"},
      {"# comment\n\nsoon menu Quillsky", "line 3: the line must start with a time in seconds, not soon"},
      {"1 menu", "line 1: a text is missing"},
      {"1 key Escape", "line 1: unknown key Escape"},
      {"1 mouse click 1 2", "line 1: mouse takes down, drag or up, not click"},
      {"1 mouse down 1", "line 1: an argument is missing"},
      {"1 print dataref sim/nothing", "line 1: unknown data reference sim/nothing"},
      {"1 set dataref sim/flightmodel/position/psi north", "line 1: not a number: north"},
      {"1 print window chat", "line 1: print window takes plane-list or messages, not chat"},
      {"1 set-field \"User ID", "line 1: a quote is not closed"},
      {"1 print", "line 1: an argument is missing"},
      {"-1 menu Quillsky", "line 1: the line must start with a time in seconds, not -1"},
  };
  for (const Case& c : cases) {
    std::vector<simhost::ScriptAction> actions;
    std::string error;
    EXPECT_FALSE(simhost::parseScript(c.script, &actions, &error)) << c.script;
    EXPECT_EQ(error.substr(0, strlen(c.error)), c.error) << c.script;
  }
}

TEST(Script, TextsRunToTheEndOfTheLineOrAreQuoted) {
  std::vector<simhost::ScriptAction> actions;
  std::string error;
  ASSERT_TRUE(simhost::parseScript("0 menu Control & Settings  # opens it\n"
                                   "1.5 set-field \"Call Sign:\" Quill \"One\"\n"
                                   "2 type \"# not a comment\"\n"
                                   "3 key Tab\n"
                                   "4 set dataref sim/flightmodel/ENGN_thro 0.5 1\n",
                                   &actions, &error))
      << error;
  ASSERT_EQ(actions.size(), 5u);
  EXPECT_EQ(actions[0].args, std::vector<std::string>{"Control & Settings"});
  EXPECT_EQ(actions[1].time, 1.5);
  EXPECT_EQ(actions[1].args, (std::vector<std::string>{"Call Sign:", "Quill \"One\""}));
  EXPECT_EQ(actions[2].args, std::vector<std::string>{"# not a comment"});
  EXPECT_EQ(actions[3].args, std::vector<std::string>{"\t"});
  EXPECT_EQ(actions[4].args.size(), 3u);
  EXPECT_EQ(actions[4].line, 5);
}

// ---- The real module

class RealModule : public SimFixture {};

TEST_F(RealModule, BuildsItsMenuWindowsAndCallbacks) {
  EXPECT_EQ(sim.pluginName(), "Quillsky");
  const simhost::MenuInfo* plugins = sim.menu(sim.pluginsMenu());
  ASSERT_EQ(plugins->items.size(), 1u);
  EXPECT_EQ(plugins->items[0].text, "Quillsky");
  const simhost::MenuInfo* sub = sim.menu(plugins->items[0].subMenu);
  ASSERT_NE(sub, nullptr);
  ASSERT_EQ(sub->items.size(), 2u);
  EXPECT_EQ(sub->items[1].text, "Toggle Plane List");
  EXPECT_EQ(sim.activeAircraftCount(), 20);
  EXPECT_TRUE(sim.planesAcquired());
  EXPECT_TRUE(sim.aiDisabled(19));
  EXPECT_EQ(sim.keySniffers().size(), 1u);
  EXPECT_EQ(sim.drawCallbacks().size(), 2u);

  const simhost::WindowInfo* planeList = sim.nthWindow(0);
  ASSERT_NE(planeList, nullptr);
  EXPECT_FALSE(planeList->visible);
  ASSERT_TRUE(sim.chooseMenuItem("Toggle Plane List"));
  sim.runFrames(2);
  EXPECT_TRUE(sim.nthWindow(0)->visible);
  EXPECT_FALSE(sim.stringsDrawnIn(sim.nthWindow(0)->id).empty());
  EXPECT_FALSE(sim.chooseMenuItem("No Such Item"));
}

TEST_F(RealModule, UnloadedAndLoadedAgainItStartsFresh) {
  ASSERT_TRUE(sim.chooseMenuItem("Toggle Plane List"));
  ASSERT_TRUE(sim.nthWindow(0)->visible);
  std::string error;
  ASSERT_TRUE(sim.stopAndUnload(&error)) << error;
  EXPECT_TRUE(sim.nthWindow(0)->destroyed);
  EXPECT_TRUE(sim.flightLoops().empty());
  EXPECT_FALSE(sim.planesAcquired());

  ASSERT_TRUE(sim.loadAndStart(QUILLSKY_MODULE_PATH, &error)) << error;
  ASSERT_NE(sim.nthWindow(0), nullptr);
  EXPECT_FALSE(sim.nthWindow(0)->destroyed);
  EXPECT_FALSE(sim.nthWindow(0)->visible);  // the toggle of the first run is gone
  EXPECT_EQ(sim.menu(sim.pluginsMenu())->items.size(), 1u);
  ASSERT_TRUE(sim.chooseMenuItem("Toggle Plane List"));
  EXPECT_TRUE(sim.nthWindow(0)->visible);
}

// ---- quillsky-sim

using testsupport::ProgramRun;
using testsupport::runSimProgram;

class SimProgram : public SimFixture {};

TEST_F(SimProgram, PrintsADataReferenceAndExitsZero) {
  writeRootFile("script.txt", "0.5 print dataref sim/multiplayer/position/plane1_x\n"
                              "0.5 menu Toggle Plane List\n"
                              "1 print window plane-list\n");
  ProgramRun run = runSimProgram("--root " + root + " --seconds 2 --fast --script " + root + "/script.txt");
  EXPECT_EQ(run.exitCode, 0);
  ASSERT_FALSE(run.output.empty());
  EXPECT_EQ(run.output.substr(0, 2), "0\n");
  EXPECT_NE(run.output.find("Plane 19"), std::string::npos);
}

TEST_F(SimProgram, AnUnknownActionFailsBeforeTheRunNamingTheLine) {
  writeRootFile("script.txt", "# first\n0.5 print dataref sim/multiplayer/position/plane1_x\n1 wave hello\n");
  ProgramRun run = runSimProgram("--root " + root + " --seconds 2 --fast --script " + root + "/script.txt",
                                 /*fromStandardError=*/true);
  EXPECT_GT(run.exitCode, 0);
  EXPECT_NE(run.output.find("line 3: unknown action wave"), std::string::npos) << run.output;
  EXPECT_EQ(runSimProgram("--root " + root + " --seconds 1 --fast --script " + root + "/script.txt").output, "");
}

}  // namespace
