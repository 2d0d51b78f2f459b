// The five entry points and the callback schedule.
//
// Sections: identity and menu; own-aircraft references; the frame fallback;
// the entry points (start and stop mirror each other, as do enable and
// disable).
#include <stdio.h>
#include <time.h>

#include <random>

#include "host/xplm_data.h"
#include "host/xplm_display.h"
#include "host/xplm_menus.h"
#include "host/xplm_planes.h"
#include "host/xplm_processing.h"
#include "host/xp_widgets.h"
#include "net/connection.h"
#include "net/receive.h"
#include "net/reports.h"
#include "shell/client_state.h"
#include "sim/crew.h"
#include "ui/chat.h"
#include "ui/overlay.h"
#include "ui/preferences.h"
#include "ui/settings_dialog.h"

namespace {

const char kPluginName[] = "Quillsky";
const char kPluginSignature[] = "org.quillsky.client";
const char kPluginDescription[] = "A plugin that provides for high-res network play. (Alpha releases)";
// The simulator's buffers hold 256 bytes each.
constexpr size_t kEntryBufferSize = 256;

constexpr int kMultiplayerAircraft = 19;
constexpr int kActiveAircraft = kMultiplayerAircraft + 1;

void copyIdentity(char* out, const char* text) { snprintf(out, kEntryBufferSize, "%s", text); }

void buildMenu() {
  XPLMMenuID pluginsMenu = XPLMFindPluginsMenu();
  int item = XPLMAppendMenuItem(pluginsMenu, "Quillsky", nullptr, 1);
  client.pluginMenu = XPLMCreateMenu("Plane Window", pluginsMenu, item, menuHandler, nullptr);
  XPLMAppendMenuItem(client.pluginMenu, "Control & Settings", (void*)kMenuItemSettings, 1);
  XPLMAppendMenuItem(client.pluginMenu, "Toggle Plane List", (void*)kMenuItemPlaneList, 1);
}

void lookUpOwnAircraftRefs(OwnAircraftRefs& refs) {
  refs.localX = XPLMFindDataRef("sim/flightmodel/position/local_x");
  refs.localY = XPLMFindDataRef("sim/flightmodel/position/local_y");
  refs.localZ = XPLMFindDataRef("sim/flightmodel/position/local_z");
  refs.latitude = XPLMFindDataRef("sim/flightmodel/position/latitude");
  refs.longitude = XPLMFindDataRef("sim/flightmodel/position/longitude");
  refs.elevation = XPLMFindDataRef("sim/flightmodel/position/elevation");
  refs.theta = XPLMFindDataRef("sim/flightmodel/position/theta");
  refs.phi = XPLMFindDataRef("sim/flightmodel/position/phi");
  refs.psi = XPLMFindDataRef("sim/flightmodel/position/psi");
  refs.flapRatio = XPLMFindDataRef("sim/flightmodel/controls/flaprat");
  refs.flap2Ratio = XPLMFindDataRef("sim/flightmodel/controls/flap2rat");
  refs.speedbrakeRatio = XPLMFindDataRef("sim/flightmodel/controls/sbrkrat");
  refs.slatRatio = XPLMFindDataRef("sim/flightmodel/controls/slatrat");
  refs.wingSweep = XPLMFindDataRef("sim/flightmodel/controls/swdi");
  refs.yokePitch = XPLMFindDataRef("sim/joystick/FC_ptch");
  refs.yokeRoll = XPLMFindDataRef("sim/joystick/FC_roll");
  refs.yokeHeading = XPLMFindDataRef("sim/joystick/FC_hdng");
  refs.gearDeploy = XPLMFindDataRef("sim/aircraft/parts/acf_gear_deploy");
  refs.throttle = XPLMFindDataRef("sim/flightmodel/ENGN_thro");
  refs.beaconLights = XPLMFindDataRef("sim/cockpit/electrical/beacon_lights_on");
  refs.landingLights = XPLMFindDataRef("sim/cockpit/electrical/landing_lights_on");
  refs.strobeLights = XPLMFindDataRef("sim/cockpit/electrical/strobe_lights_on");
  refs.navLights = XPLMFindDataRef("sim/cockpit/electrical/nav_lights_on");
  refs.taxiLight = XPLMFindDataRef("sim/cockpit/electrical/taxi_light_on");
}

// A token from 0 to 32767, seeded with the time in seconds. A generator of
// our own leaves the process-wide rand() sequence of the simulator alone.
int drawClientToken() {
  std::minstd_rand generator((uint32_t)time(nullptr));
  return (int)(generator() % 32768u);
}

void createOverlayWindows() {
  int width = 0, height = 0;
  XPLMGetScreenSize(&width, &height);
  int listLeft = width - client.windowMargin - client.planeListWidth;
  int listTop = height - client.windowMargin - client.messageWindowHeight - client.windowMargin;
  client.planeListWindow =
      XPLMCreateWindow(listLeft, listTop, width - client.windowMargin,
                       listTop - client.planeListHeight, client.planeListVisible,
                       drawOverlayWindow, handleWindowKey, handleWindowClick, nullptr);
  client.messageWindow = XPLMCreateWindow(
      width - client.windowMargin - client.messageWindowWidth, height - client.windowMargin,
      width - client.windowMargin, height - client.windowMargin - client.messageWindowHeight,
      client.messageWindowOpen, drawOverlayWindow, handleWindowKey, handleWindowClick, nullptr);
}

// Renderers that never draw phases 0 and 25 (Vulkan and Metal) would never
// run the two per-frame draw callbacks. This loop runs every frame and does
// their work itself whenever neither of them ran since its previous call;
// where they do run, it does nothing. Its first call only arms it.
float frameFallbackLoop(float, float, int, void*) {
  if (client.frameFallbackPrimed && !client.frameDrawSeen) {
    sendPositionReport();
    runHeadFix();
  }
  client.frameFallbackPrimed = 1;
  client.frameDrawSeen = 0;
  return -1.0f;
}

// First calls of the flight loops, seconds after registration.
constexpr float kReceiveLoopFirst = 0.03f;
constexpr float kIdentityReportFirst = 10.0f;
constexpr float kCursorBlinkFirst = 1.0f;
constexpr float kMessageCountdownFirst = 1.0f;
constexpr float kMessageFadeFirst = 0.1f;
constexpr float kEveryFrame = -1.0f;

void registerCallbacks() {
  XPLMRegisterDrawCallback(positionReportCallback, xplm_Phase_Airplanes, 0, nullptr);
  XPLMRegisterDrawCallback(headPositionCallback, xplm_Phase_FirstScene, 0, nullptr);
  XPLMRegisterKeySniffer(keySniffer, 0, nullptr);
  XPLMRegisterFlightLoopCallback(receiveLoop, kReceiveLoopFirst, nullptr);
  XPLMRegisterFlightLoopCallback(identityReportTimer, kIdentityReportFirst, nullptr);
  XPLMRegisterFlightLoopCallback(cursorBlinkTimer, kCursorBlinkFirst, nullptr);
  XPLMRegisterFlightLoopCallback(messageCountdownTimer, kMessageCountdownFirst, nullptr);
  XPLMRegisterFlightLoopCallback(messageFadeTimer, kMessageFadeFirst, nullptr);
  XPLMRegisterFlightLoopCallback(frameFallbackLoop, kEveryFrame, nullptr);
}

void unregisterCallbacks() {
  XPLMUnregisterDrawCallback(positionReportCallback, xplm_Phase_Airplanes, 0, nullptr);
  XPLMUnregisterDrawCallback(headPositionCallback, xplm_Phase_FirstScene, 0, nullptr);
  XPLMUnregisterKeySniffer(keySniffer, 0, nullptr);
  XPLMUnregisterFlightLoopCallback(receiveLoop, nullptr);
  XPLMUnregisterFlightLoopCallback(identityReportTimer, nullptr);
  XPLMUnregisterFlightLoopCallback(cursorBlinkTimer, nullptr);
  XPLMUnregisterFlightLoopCallback(messageCountdownTimer, nullptr);
  XPLMUnregisterFlightLoopCallback(messageFadeTimer, nullptr);
  XPLMUnregisterFlightLoopCallback(frameFallbackLoop, nullptr);
}

}  // namespace

QS_ENTRY_POINT int XPluginStart(char* outName, char* outSignature, char* outDescription) {
  copyIdentity(outName, kPluginName);
  copyIdentity(outSignature, kPluginSignature);
  copyIdentity(outDescription, kPluginDescription);
  buildMenu();
  lookUpOwnAircraftRefs(client.ownAircraftRefs);
  client.clientToken = drawClientToken();
  readPreferences();
  createOverlayWindows();
  registerCallbacks();
  client.statusText = "Network Traffic:";
  client.tcpTxIndicator = "  ";
  client.tcpRxIndicator = "  ";
  client.udpTxIndicator = "  ";
  client.udpRxIndicator = "  ";
  return 1;
}

QS_ENTRY_POINT void XPluginStop(void) {
  XPLMDestroyWindow(client.planeListWindow);
  XPLMDestroyWindow(client.messageWindow);
  XPLMDestroyMenu(client.pluginMenu);
  if (client.settingsDialogCreated == 1) XPDestroyWidget(client.settingsDialog, 1);
  if (client.viewOnly == 1) releaseFlightOverrides();
  unregisterCallbacks();
  XPLMReleasePlanes();
}

QS_ENTRY_POINT int XPluginEnable(void) {
  detectViewOnly();
  readPreferences();
  XPLMSetActiveAircraftCount(kActiveAircraft);
  XPLMAcquirePlanes(nullptr, nullptr, nullptr);
  for (int i = 1; i <= kMultiplayerAircraft; ++i) XPLMDisableAIForPlane(i);
  if (client.viewOnly == 1) holdFlightOverrides();
  if (client.connectAtStartup != 0) connectToServer();
  return 1;
}

QS_ENTRY_POINT void XPluginDisable(void) {
  disconnectFromServer();
  if (client.viewOnly == 1) releaseFlightOverrides();
  XPLMSetActiveAircraftCount(0);
  XPLMReleasePlanes();
}

QS_ENTRY_POINT void XPluginReceiveMessage(int fromPlugin, int message, void* param) {
  (void)fromPlugin;
  (void)message;
  (void)param;
}
