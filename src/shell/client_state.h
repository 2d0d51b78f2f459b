// The client's one state record.
//
// Exactly one instance, `client`, is built when the module is loaded (before
// XPluginStart) and destroyed when it is unloaded (after XPluginStop).
// Every field is touched only on the simulator's main thread, inside its
// callbacks, one at a time: nothing here is locked, copied or passed by
// value. Fields are grouped as settings, connection, host handles, window
// state, display texts and layout.
#pragma once

#include <string>

#include "host/sockets.h"
#include "host/xplm_defs.h"
#include "sim/plane_slot.h"

constexpr int kMessageLineCount = 14;
// Seconds a received or sent message keeps the message window up.
constexpr int kMessageCountdownSeconds = 9;

// Data references of the user's own aircraft, looked up at start.
struct OwnAircraftRefs {
  XPLMDataRef localX, localY, localZ;             // double, metres
  XPLMDataRef latitude, longitude, elevation;     // double, read-only
  XPLMDataRef theta, phi, psi;                    // float, degrees
  XPLMDataRef flapRatio, flap2Ratio, speedbrakeRatio, slatRatio, wingSweep;
  XPLMDataRef yokePitch, yokeRoll, yokeHeading;   // joystick, not the trims
  XPLMDataRef gearDeploy;                         // float[10]
  XPLMDataRef throttle;                           // float[8 or more]
  XPLMDataRef beaconLights, landingLights, strobeLights, navLights, taxiLight;  // int
};

struct ClientState {
  ClientState();

  // ---- Settings: edited in the dialog, persisted in the preferences file.
  std::string callsign;     // the user's call sign or nickname
  std::string userID;       // sent in the login
  std::string password;     // as typed; only its digest leaves the machine
  int flightMode = 0;       // 0 Solo, 1 Crewed; shown and stored only
  int cockpitPosition = 0;  // 0 Pilot, 1 Co-Pilot, 2 Navigator, 3 Flight Engineer
  std::string crewID;       // shown and stored only
  int connectAtStartup = 0; // 1: connect at every enable

  // ---- Connection and identity.
  int clientToken = 0;  // 0..32767, drawn once at start; leads every message sent
  int viewOnly = 0;     // crew member: the marker file existed at an enable; never cleared
  int connected = 0;    // the login went out on the latest sockets; cleared by a disconnect
  // kInvalidSocket (-1) whenever no connection owns them: before the first
  // connect and after a disconnect or a failed attempt. (0 would be standard
  // input on POSIX, an open descriptor a read must never touch.)
  SocketHandle tcpSocket = kInvalidSocket;
  SocketHandle udpSocket = kInvalidSocket;
  sockaddr_in serverAddress{};       // filled by each connect, zeroed by a disconnect
  SocketStartupRecord wsaData{};     // filled when the socket layer starts
  int lastSocketResult = 0;   // latest bind, connect or TCP send
  int lastReceiveResult = 0;  // latest read on either socket
  std::string tcpReceiveBuffer;  // stream text not yet taken as lines; CR/LF runs already "===="

  // ---- Host handles: null until assigned; not cleared after stop.
  XPLMMenuID pluginMenu = nullptr;
  XPLMWindowID planeListWindow = nullptr;
  XPLMWindowID messageWindow = nullptr;
  XPWidgetID settingsDialog = nullptr;  // the dialog's main window
  int settingsDialogCreated = 0;        // the dialog's widgets exist
  XPWidgetID settingsPanel = nullptr;
  XPWidgetID userIDCaption = nullptr, userIDField = nullptr;
  XPWidgetID passwordCaption = nullptr, passwordField = nullptr;
  XPWidgetID callsignCaption = nullptr, callsignField = nullptr;
  XPWidgetID flightModeCaption = nullptr, soloButton = nullptr, crewedButton = nullptr;
  XPWidgetID crewIDCaption = nullptr, crewIDField = nullptr;
  XPWidgetID positionCaption = nullptr, pilotButton = nullptr, coPilotButton = nullptr,
             navigatorButton = nullptr, flightEngineerButton = nullptr;
  XPWidgetID connectButton = nullptr, disconnectButton = nullptr;
  XPWidgetID connectAtStartupCheckBox = nullptr;
  XPWidgetID cancelButton = nullptr, applyButton = nullptr, saveAndCloseButton = nullptr;
  OwnAircraftRefs ownAircraftRefs{};
  PlaneSlot planeSlots[kPlaneSlotCount];  // bound to their references at load

  // ---- Window and interface state.
  int planeListVisible = 0;        // written by the menu
  int messageWindowOpen = 0;       // the user keeps the message window open (Tab)
  int chatActive = 0;              // the chat input line has the focus
  int cursorBlink = 0;             // phase of the blinking cursor
  int messageCountdown = 0;        // whole seconds a message keeps the window up
  int messageCountdownActive = 0;  // the countdown ran at its last tick
  float messageWindowAlpha = 0.0f; // 0..0.69; a hair below 0 after a fade-out
  int dragOffsetX = 0, dragOffsetY = 0;  // mouse minus the window's left and top at mouse-down
  int dragWidth = 0, dragHeight = 0;     // right - left, bottom - top (negative) at mouse-down
  int dragging = 0;
  int lastViewType = 0;            // view type seen by the previous head fix
  // Frame fallback for renderers that never draw phases 0 and 25.
  int frameDrawSeen = 0;           // a draw callback ran since the fallback's last call
  int frameFallbackPrimed = 0;     // the fallback has run at least once

  // ---- Display texts, written by the network code, read by the windows.
  std::string statusText;  // "Network Traffic:" from start
  std::string tcpTxIndicator, tcpRxIndicator;  // "Tx" / "Tr" or two blanks
  std::string udpTxIndicator, udpRxIndicator;  // "Ux" / "Ur" or two blanks
  std::string slotCallsigns[kPlaneSlotCount];
  std::string slotModelNames[kPlaneSlotCount];  // "Plane N" until an aircraft line
  std::string messageLines[kMessageLineCount];  // 0 oldest (top) .. 13 newest (bottom)
  std::string chatLine;                         // the text being typed

  // ---- Layout constants, screen pixels.
  const int windowMargin = 20;
  const int planeListWidth = 270;
  const int planeListHeight = 320;
  const int messageWindowWidth = 500;
  const int messageWindowHeight = 320;
};

extern ClientState client;
