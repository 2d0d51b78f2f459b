// The stand-in simulator: what a test drives and reads.
//
// One simulator per process (the simulator's C functions are global), reached
// as simhost::simulator(). It loads a module file with dlopen, as the real
// simulator does, and implements in-process every function of src/host/
// except the module's own sockets and tick count: data references,
// multiplayer aircraft, flight loops, draw callbacks, key sniffers, windows
// with keyboard focus and mouse routing, menus, the widget library with its
// standard widgets' behaviour, the 2-D drawing calls and four OpenGL calls.
// It records what a test needs to see and never paces itself to the wall
// clock unless asked.
//
// Not covered: 3-D drawing and aircraft physics (the user's aircraft flies
// a straight line at constant speed and height), scenery, commands,
// inter-plug-in messages, widget drawing and mouse clicks on widgets at
// pixel positions (use clickWidget), text measurement, window layering
// changes on click (windows stay in creation order).
//
// Threading: the module's thread only. The socket record counts calls made
// on the thread inside a module entry point or callback, so a test's own
// server thread is never counted.
#pragma once

#include <stdint.h>

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "host/xp_widgets.h"
#include "host/xplm_display.h"
#include "host/xplm_menus.h"
#include "host/xplm_planes.h"
#include "host/xplm_processing.h"

namespace simhost {

// Multiplayer aircraft the simulator offers, numbered 1 to this.
constexpr int kMultiplayerAircraft = 19;

// ---- Configuration (set before loading; reset() restores these defaults).
struct Config {
  std::string rootFolder = ".";        // the simulator's working folder
  int fps = 60;                        // frames per simulated second
  bool pacedToWallClock = false;       // sleep so frames match real time
  int screenWidth = 1024;              // pixels
  int screenHeight = 768;
  std::string directorySeparator = "/";  // "/", "\\" or ":"
  // The user's model, relative to rootFolder (or absolute).
  std::string aircraftPath = "Aircraft/Laminar Research/Cessna 172SP/Cessna_172SP.acf";
  double startLatitude = 47.4638;      // degrees
  double startLongitude = -122.3081;   // degrees
  double startElevation = 130.0;       // metres
  double headingDegrees = 0.0;         // true heading the user flies
  double speedMetresPerSecond = 0.0;
  bool modernRenderer = false;         // draw phases 0 to 30 never run
  bool echoLogToStderr = false;        // also print the module's log lines
};

// ---- Records a test reads.
enum class DataType { Int, Float, Double, FloatArray, IntArray };

struct DataWrite {  // one write the module made through a data reference
  std::string name;
  int offset;                   // first element written (0 for scalars)
  std::vector<double> values;   // the values, converted to double
};

struct ModelChange {  // one XPLMSetAircraftModel call
  int index;
  std::string path;
};

struct FlightLoopInfo {
  XPLMFlightLoop_f callback;
  void* ref;
  float interval;                // current: >0 seconds, <0 frames, 0 inactive
  double nextDue;                // simulated seconds; negative when inactive
  int callCount;
  std::vector<double> callTimes; // simulated seconds of every call
};

struct DrawCallbackInfo {
  XPLMDrawCallback_f callback;
  int phase;
  bool before;
  void* ref;
  int callCount;
};

struct KeySnifferInfo {
  XPLMKeySniffer_f callback;
  bool beforeWindows;
  void* ref;
};

struct WindowInfo {
  XPLMWindowID id;
  int left, top, right, bottom;  // screen pixels, top > bottom
  bool visible;
  int creationIndex;             // 0 for the module's first window
  bool destroyed;
  XPLMDrawWindow_f draw;
  XPLMHandleKey_f key;
  XPLMHandleMouseClick_f mouse;
  void* ref;
};

struct MenuItemInfo {
  std::string text;
  void* itemRef;
  XPLMMenuID subMenu;  // the menu created on this item, or null
};

struct MenuInfo {
  XPLMMenuID id;
  std::string name;
  XPLMMenuID parent;   // null for the plug-ins menu
  int parentItem;
  XPLMMenuHandler_f handler;
  void* menuRef;
  std::vector<MenuItemInfo> items;
  bool destroyed;
};

struct WidgetInfo {
  XPWidgetID id;
  int left, top, right, bottom;
  bool visible;                  // its own flag (containers not considered)
  std::string descriptor;
  bool isRoot;
  XPWidgetID container;          // null when none
  int widgetClass;
  std::map<int, intptr_t> properties;
  std::vector<XPWidgetFunc_t> callbacks;  // in the order they were added
  std::vector<XPWidgetID> children;       // in creation order
  bool destroyed;
  int creationIndex;
};

// The drawing of one frame. Every record carries `order`, its place in the
// frame's sequence of drawing calls, so a renderer can replay them in order.
// `window` is the window whose draw callback was running, or null.
struct DrawnString {
  int order;
  XPLMWindowID window;
  int x, y;
  float rgb[3];
  std::string text;
  std::optional<int> wrapWidth;  // pixels; none when drawn without wrap
  int font;
};

struct DarkBox {
  int order;
  XPLMWindowID window;
  int left, top, right, bottom;
};

struct GraphicsState {
  int order;
  XPLMWindowID window;
  int fog, textureUnits, lighting, alphaTesting, alphaBlending, depthTesting, depthWriting;
};

struct GlVertex {
  float x, y;
  float red, green, blue, alpha;  // the colour current at this vertex
};

struct GlPrimitive {
  int order;
  XPLMWindowID window;
  unsigned mode;                  // GL_LINES or GL_QUADS
  std::vector<GlVertex> vertices;
};

struct FrameDrawing {
  std::vector<DrawnString> strings;
  std::vector<DarkBox> darkBoxes;
  std::vector<GraphicsState> graphicsStates;
  std::vector<GlPrimitive> primitives;
};

// The module's socket calls.
enum class SocketOp { Socket, Bind, Connect, Send, SendTo, Recv, RecvFrom, Close };

class Simulator {
 public:
  // ---- Set-up
  Config& config();                     // edit before load; read any time
  // Back to the defaults: unloads a loaded module (without calling its entry
  // points), clears every record and restores every data reference's
  // value. Data reference handles stay valid.
  void reset();

  // ---- The module
  bool load(const std::string& path, std::string* error);  // dlopen
  // dlclose; false (with the reason) when the module stays mapped.
  bool unload(std::string* error);
  bool isLoaded() const;
  int start();                          // XPluginStart; its result
  int enable();                         // XPluginEnable; its result
  void disable();                       // XPluginDisable
  void stop();                          // XPluginStop
  void receiveMessage(int fromPlugin, int message, void* param);
  // load + start + enable; false with the reason when any step fails.
  bool loadAndStart(const std::string& path, std::string* error);
  // disable + stop + unload, the mirror of loadAndStart.
  bool stopAndUnload(std::string* error);
  const std::string& pluginName() const;        // from XPluginStart
  const std::string& pluginSignature() const;
  const std::string& pluginDescription() const;

  // ---- Time
  void runFrames(int count);
  void runSeconds(double seconds);      // as many frames as that takes
  // Frames until condition() holds or wallSeconds of real time have passed;
  // whether it held. For waiting on sockets without a fixed sleep.
  bool runUntil(const std::function<bool()>& condition, double wallSeconds);
  double now() const;                   // simulated seconds since reset
  long frameCount() const;

  // ---- Data references
  bool hasDataRef(const std::string& name) const;
  DataType dataRefType(const std::string& name) const;  // Int when unknown
  int arraySize(const std::string& name) const;         // 1 for scalars
  int getInt(const std::string& name) const;
  float getFloat(const std::string& name) const;
  double getDouble(const std::string& name) const;
  std::vector<float> getFloats(const std::string& name) const;
  std::vector<int> getInts(const std::string& name) const;
  // Test writes: allowed on read-only references, never logged as the
  // module's writes. Setting the user's position stops its automatic motion.
  void setInt(const std::string& name, int value);
  void setFloat(const std::string& name, float value);
  void setDouble(const std::string& name, double value);
  void setFloats(const std::string& name, int offset, const std::vector<float>& values);
  void setInts(const std::string& name, int offset, const std::vector<int>& values);
  // The module's, in order; the latest 100,000 to 200,000 in a long run.
  const std::vector<DataWrite>& dataWrites() const;
  void clearDataWrites();

  // ---- Aircraft
  int activeAircraftCount() const;
  bool planesAcquired() const;
  bool aiDisabled(int index) const;
  std::string aircraftModel(int index) const;  // path last loaded; "" if none
  const std::vector<ModelChange>& modelChanges() const;
  std::string userAircraftFullPath() const;    // as XPLMGetNthAircraftModel(0)
  // Move the user's aircraft along its heading each frame (on by default;
  // off once a test or the module sets its position).
  bool userAircraftMoving() const;

  // ---- Callbacks
  std::vector<FlightLoopInfo> flightLoops() const;
  const FlightLoopInfo* findFlightLoop(XPLMFlightLoop_f callback) const;  // null if none
  std::vector<DrawCallbackInfo> drawCallbacks() const;
  std::vector<KeySnifferInfo> keySniffers() const;

  // ---- Windows, keyboard, mouse
  const std::vector<WindowInfo>& windows() const;  // creation order, destroyed too
  const WindowInfo* window(XPLMWindowID id) const; // null for unknown handles
  // The n-th window the module created (0 the first), or null.
  const WindowInfo* nthWindow(int n) const;
  XPLMWindowID keyboardFocus() const;              // null: the simulator's
  // One key event: to before-windows sniffers, then the focus window, else
  // the after-windows sniffers in registration order until one returns 0.
  void keyEvent(char key, int flags, char virtualKey);
  // A key-down event (flags | xplm_DownFlag) followed by its key-up event.
  void pressKey(char key, int flags);
  void typeText(const std::string& text);          // pressKey per character
  // To the top visible window under the point; drag and up go to the window
  // that got the down. Whether a window took the event.
  bool mouseDown(int x, int y);
  bool mouseDrag(int x, int y);
  bool mouseUp(int x, int y);

  // ---- Menus
  XPLMMenuID pluginsMenu() const;
  const std::vector<MenuInfo>& menus() const;      // plug-ins menu first
  const MenuInfo* menu(XPLMMenuID id) const;
  // Calls the handler of the live menu holding an item with this text with
  // (menuRef, itemRef); false when no such item has a handler.
  bool chooseMenuItem(const std::string& text);

  // ---- Widgets
  const std::vector<WidgetInfo>& widgets() const;  // creation order, destroyed too
  const WidgetInfo* widget(XPWidgetID id) const;
  bool isWidgetShown(XPWidgetID id) const;         // it and all its containers
  // The first live widget with this descriptor, or null.
  XPWidgetID findWidget(const std::string& descriptor) const;
  // The live text field whose top edge is level with the caption's, or null.
  XPWidgetID findFieldByCaption(const std::string& caption) const;
  // As a person clicks: push button -> xpMsg_PushButtonPressed(button);
  // radio -> state 1 and xpMsg_ButtonStateChanged(button, 1) unless already
  // on; check box -> toggled and xpMsg_ButtonStateChanged(button, state).
  // False when the widget is not a live button.
  bool clickWidget(XPWidgetID id);
  // The close box of a main window: xpMessage_CloseButtonPushed.
  bool clickCloseBox(XPWidgetID id);
  // Replaces a text field's text, as typing over its selected content.
  bool setFieldText(XPWidgetID id, const std::string& text);
  // A message from the widget up through its containers; the widget that
  // handled it, or null.
  XPWidgetID sendWidgetMessage(XPWidgetID id, int message, intptr_t param1, intptr_t param2);

  // ---- Drawing
  const FrameDrawing& lastFrame() const;
  // The strings a window drew in the last frame, top to bottom (y falling),
  // left to right on a line.
  std::vector<std::string> stringsDrawnIn(XPLMWindowID window) const;
  int screenWidth() const;
  int screenHeight() const;

  // ---- Log and diagnostics
  const std::vector<std::string>& debugLog() const;     // XPLMDebugString texts
  // The stand-in's complaints: bad handles, unknown names looked up,
  // callbacks into an unloaded module.
  // The first 1000, then one line saying further ones were dropped.
  const std::vector<std::string>& diagnostics() const;

  // ---- Sockets
  int socketCalls(SocketOp op) const;   // counted calls since reset
  // The next `count` counted calls of op fail with errno `error`.
  void failNextSocketCalls(SocketOp op, int count, int error);
  void resetSocketRecord();
};

Simulator& simulator();

}  // namespace simhost
