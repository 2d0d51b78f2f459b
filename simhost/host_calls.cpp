// The simulator's functions other than data references and widgets, with
// the test access to what they record.
//
// Sections: flight loops; draw callbacks and key sniffers; windows, keyboard
// focus, keys and mouse; drawing and OpenGL; menus; aircraft; utilities.
#include <string.h>

#include <algorithm>

#include "host/opengl.h"
#include "host/xplm_graphics.h"
#include "host/xplm_utilities.h"
#include "simhost/state.h"

namespace simhost {

WindowInfo* liveWindow(XPLMWindowID id) { return recordOf(state().windows, kWindowHandle, id, false); }
MenuInfo* liveMenu(XPLMMenuID id) { return recordOf(state().menus, kMenuHandle, id, false); }

namespace {

// Snapshot loop over registrations that callbacks may add to or remove from.
template <typename Entry, typename Visit>
void forEachLive(std::vector<Entry>& entries, Visit visit) {
  size_t count = entries.size();
  for (size_t i = 0; i < count; ++i) {
    if (entries[i].removed) continue;
    Entry copy = entries[i];
    if (!visit(copy)) return;
  }
}

// Calls the sniffers of one side in registration order; false when one
// took the key.
bool sniff(State& s, bool beforeWindows, char key, int flags, char virtualKey) {
  bool passed = true;
  forEachLive(s.sniffers, [&](const SnifferEntry& e) {
    if (e.info.beforeWindows != beforeWindows) return true;
    ModuleCall call;
    passed = e.info.callback(key, flags, virtualKey, e.info.ref) != 0;
    return passed;
  });
  return passed;
}

// The simulator's virtual key codes for the keys a test presses.
char virtualKeyFor(char key) {
  if (key >= 'a' && key <= 'z') return (char)(key - 'a' + 'A');
  if ((key >= 'A' && key <= 'Z') || (key >= '0' && key <= '9')) return key;
  switch (key) {
    case 8: return 0x08;
    case 9: return 0x09;
    case 13: return 0x0D;
    case 127: return 0x2E;
    case ' ': return 0x20;
    default: return 0;
  }
}

bool needsShift(char key) { return (key >= 'A' && key <= 'Z') || strchr("~!@#$%^&*()_+{}|:\"<>?", key); }

bool mouseEvent(XPLMWindowID target, int x, int y, int status) {
  WindowInfo* w = liveWindow(target);
  if (!w || !w->mouse) return false;
  WindowInfo copy = *w;
  ModuleCall call;
  return copy.mouse(copy.id, x, y, status, copy.ref) != 0;
}

void copyText(char* out, size_t size, const std::string& text) {
  if (out) snprintf(out, size, "%s", text.c_str());
}

}  // namespace

// ---- Test access

std::vector<FlightLoopInfo> Simulator::flightLoops() const { return registeredInfos(state().flightLoops); }

const FlightLoopInfo* Simulator::findFlightLoop(XPLMFlightLoop_f callback) const {
  for (const FlightLoopEntry& e : state().flightLoops)
    if (!e.removed && e.info.callback == callback) return &e.info;
  return nullptr;
}

std::vector<DrawCallbackInfo> Simulator::drawCallbacks() const { return registeredInfos(state().drawCallbacks); }
std::vector<KeySnifferInfo> Simulator::keySniffers() const { return registeredInfos(state().sniffers); }

const std::vector<WindowInfo>& Simulator::windows() const { return state().windows; }

const WindowInfo* Simulator::window(XPLMWindowID id) const {
  return recordOf(state().windows, kWindowHandle, id, true);
}

const WindowInfo* Simulator::nthWindow(int n) const {
  const State& s = state();
  size_t index = s.firstWindowOfLoad + (size_t)n;
  return n < 0 || index >= s.windows.size() ? nullptr : &s.windows[index];
}

XPLMWindowID Simulator::keyboardFocus() const { return state().focus; }

void Simulator::keyEvent(char key, int flags, char virtualKey) {
  State& s = state();
  if (!sniff(s, true, key, flags, virtualKey)) return;
  if (WindowInfo* w = liveWindow(s.focus)) {
    WindowInfo copy = *w;
    if (copy.key) {
      ModuleCall call;
      copy.key(copy.id, key, flags, virtualKey, copy.ref, 0);
    }
    return;
  }
  sniff(s, false, key, flags, virtualKey);
}

void Simulator::pressKey(char key, int flags) {
  char virtualKey = virtualKeyFor(key);
  keyEvent(key, flags | xplm_DownFlag, virtualKey);
  keyEvent(key, flags | xplm_UpFlag, virtualKey);
}

void Simulator::typeText(const std::string& text) {
  for (char c : text) pressKey(c, needsShift(c) ? xplm_ShiftFlag : 0);
}

bool Simulator::mouseDown(int x, int y) {
  State& s = state();
  s.mouseTarget = nullptr;
  // The last created window lies on top.
  for (size_t i = s.windows.size(); i-- > 0;) {
    const WindowInfo& w = s.windows[i];
    if (!w.destroyed && w.visible && x >= w.left && x <= w.right && y <= w.top && y >= w.bottom) {
      s.mouseTarget = w.id;
      break;
    }
  }
  return mouseEvent(s.mouseTarget, x, y, xplm_MouseDown);
}

bool Simulator::mouseDrag(int x, int y) { return mouseEvent(state().mouseTarget, x, y, xplm_MouseDrag); }

bool Simulator::mouseUp(int x, int y) {
  XPLMWindowID target = state().mouseTarget;
  state().mouseTarget = nullptr;
  return mouseEvent(target, x, y, xplm_MouseUp);
}

XPLMMenuID Simulator::pluginsMenu() const { return state().menus[0].id; }
const std::vector<MenuInfo>& Simulator::menus() const { return state().menus; }

const MenuInfo* Simulator::menu(XPLMMenuID id) const { return recordOf(state().menus, kMenuHandle, id, true); }

bool Simulator::chooseMenuItem(const std::string& text) {
  for (const MenuInfo& m : state().menus) {
    if (m.destroyed || !m.handler) continue;
    for (const MenuItemInfo& item : m.items) {
      if (item.text != text || item.subMenu) continue;
      XPLMMenuHandler_f handler = m.handler;
      void* menuRef = m.menuRef;
      void* itemRef = item.itemRef;
      ModuleCall call;
      handler(menuRef, itemRef);
      return true;
    }
  }
  return false;
}

const FrameDrawing& Simulator::lastFrame() const { return state().last; }

std::vector<std::string> Simulator::stringsDrawnIn(XPLMWindowID window) const {
  std::vector<DrawnString> drawn;
  for (const DrawnString& d : state().last.strings)
    if (d.window == window) drawn.push_back(d);
  std::stable_sort(drawn.begin(), drawn.end(), [](const DrawnString& a, const DrawnString& b) {
    return a.y != b.y ? a.y > b.y : a.x < b.x;
  });
  std::vector<std::string> texts;
  for (const DrawnString& d : drawn) texts.push_back(d.text);
  return texts;
}

int Simulator::screenWidth() const { return state().config.screenWidth; }
int Simulator::screenHeight() const { return state().config.screenHeight; }

int Simulator::activeAircraftCount() const { return state().activeAircraft; }
bool Simulator::planesAcquired() const { return state().planesAcquired; }

bool Simulator::aiDisabled(int index) const {
  const State& s = state();
  return index >= 0 && index < (int)s.aiDisabled.size() && s.aiDisabled[index];
}

std::string Simulator::aircraftModel(int index) const {
  auto found = state().models.find(index);
  return found == state().models.end() ? "" : found->second;
}

const std::vector<ModelChange>& Simulator::modelChanges() const { return state().modelChanges; }

}  // namespace simhost

using simhost::State;
using simhost::state;

extern "C" {

// ---- Flight loops

void XPLMRegisterFlightLoopCallback(XPLMFlightLoop_f callback, float interval, void* ref) {
  if (!callback) return;
  State& s = state();
  simhost::FlightLoopEntry e = {{callback, ref, 0, -1, 0, {}}, 0, s.now, false};
  simhost::scheduleFlightLoop(s, e, interval);
  s.flightLoops.push_back(e);
}

void XPLMUnregisterFlightLoopCallback(XPLMFlightLoop_f callback, void* ref) {
  for (simhost::FlightLoopEntry& e : state().flightLoops)
    if (!e.removed && e.info.callback == callback && e.info.ref == ref) {
      e.removed = true;
      return;
    }
  simhost::diagnose("XPLMUnregisterFlightLoopCallback: not registered");
}

// ---- Draw callbacks and key sniffers

int XPLMRegisterDrawCallback(XPLMDrawCallback_f callback, int phase, int wantsBefore, void* ref) {
  if (!callback) return 0;
  state().drawCallbacks.push_back({{callback, phase, wantsBefore != 0, ref, 0}, false});
  return 1;
}

int XPLMUnregisterDrawCallback(XPLMDrawCallback_f callback, int phase, int wantsBefore, void* ref) {
  State& s = state();
  for (size_t i = 0; i < s.drawCallbacks.size(); ++i) {
    simhost::DrawEntry& e = s.drawCallbacks[i];
    if (!e.removed && e.info.callback == callback && e.info.phase == phase &&
        e.info.before == (wantsBefore != 0) && e.info.ref == ref) {
      e.removed = true;  // dropped after the frame: a phase may be running
      return 1;
    }
  }
  simhost::diagnose("XPLMUnregisterDrawCallback: not registered");
  return 0;
}

int XPLMRegisterKeySniffer(XPLMKeySniffer_f callback, int beforeWindows, void* ref) {
  if (!callback) return 0;
  state().sniffers.push_back({{callback, beforeWindows != 0, ref}, false});
  return 1;
}

int XPLMUnregisterKeySniffer(XPLMKeySniffer_f callback, int beforeWindows, void* ref) {
  State& s = state();
  for (size_t i = 0; i < s.sniffers.size(); ++i) {
    simhost::SnifferEntry& e = s.sniffers[i];
    if (!e.removed && e.info.callback == callback && e.info.beforeWindows == (beforeWindows != 0) &&
        e.info.ref == ref) {
      e.removed = true;  // dropped after the frame: a key may be on its way
      return 1;
    }
  }
  simhost::diagnose("XPLMUnregisterKeySniffer: not registered");
  return 0;
}

// ---- Windows and keyboard focus

void XPLMGetScreenSize(int* width, int* height) {
  if (width) *width = state().config.screenWidth;
  if (height) *height = state().config.screenHeight;
}

XPLMWindowID XPLMCreateWindow(int left, int top, int right, int bottom, int visible, XPLMDrawWindow_f draw,
                              XPLMHandleKey_f key, XPLMHandleMouseClick_f mouse, void* ref) {
  State& s = state();
  int index = (int)s.windows.size();
  XPLMWindowID id = simhost::makeHandle(simhost::kWindowHandle, index);
  s.windows.push_back({id, left, top, right, bottom, visible != 0, index, false, draw, key, mouse, ref});
  return id;
}

void XPLMDestroyWindow(XPLMWindowID window) {
  simhost::WindowInfo* w = simhost::checkedWindow(window, "XPLMDestroyWindow");
  if (!w) return;
  w->destroyed = true;
  State& s = state();
  if (s.focus == window) s.focus = nullptr;
  if (s.mouseTarget == window) s.mouseTarget = nullptr;
}

void XPLMGetWindowGeometry(XPLMWindowID window, int* left, int* top, int* right, int* bottom) {
  simhost::WindowInfo* w = simhost::checkedWindow(window, "XPLMGetWindowGeometry");
  if (left) *left = w ? w->left : 0;
  if (top) *top = w ? w->top : 0;
  if (right) *right = w ? w->right : 0;
  if (bottom) *bottom = w ? w->bottom : 0;
}

void XPLMSetWindowGeometry(XPLMWindowID window, int left, int top, int right, int bottom) {
  simhost::WindowInfo* w = simhost::checkedWindow(window, "XPLMSetWindowGeometry");
  if (!w) return;
  w->left = left;
  w->top = top;
  w->right = right;
  w->bottom = bottom;
}

void XPLMSetWindowIsVisible(XPLMWindowID window, int visible) {
  simhost::WindowInfo* w = simhost::checkedWindow(window, "XPLMSetWindowIsVisible");
  if (w) w->visible = visible != 0;
}

// The window that loses the focus hears of it through its key callback.
void XPLMTakeKeyboardFocus(XPLMWindowID window) {
  State& s = state();
  if (window && !simhost::checkedWindow(window, "XPLMTakeKeyboardFocus")) return;
  if (s.focus == window) return;
  simhost::WindowInfo* previous = simhost::liveWindow(s.focus);
  s.focus = window;
  if (previous && previous->key) {
    simhost::WindowInfo copy = *previous;
    simhost::ModuleCall call;
    copy.key(copy.id, 0, 0, 0, copy.ref, 1);
  }
}

// ---- Drawing

void XPLMSetGraphicsState(int fog, int textureUnits, int lighting, int alphaTesting, int alphaBlending,
                          int depthTesting, int depthWriting) {
  State& s = state();
  s.current.graphicsStates.push_back({s.drawOrder++, s.drawingWindow, fog, textureUnits, lighting, alphaTesting,
                                      alphaBlending, depthTesting, depthWriting});
}

void XPLMDrawTranslucentDarkBox(int left, int top, int right, int bottom) {
  State& s = state();
  s.current.darkBoxes.push_back({s.drawOrder++, s.drawingWindow, left, top, right, bottom});
}

void XPLMDrawString(float* rgb, int x, int y, const char* text, int* wrapWidth, int font) {
  State& s = state();
  simhost::DrawnString d = {s.drawOrder++, s.drawingWindow, x, y, {1, 1, 1}, text ? text : "", std::nullopt, font};
  if (rgb) std::copy(rgb, rgb + 3, d.rgb);
  if (wrapWidth) d.wrapWidth = *wrapWidth;
  s.current.strings.push_back(d);
}

void glColor4f(float red, float green, float blue, float alpha) {
  float* colour = state().glColour;
  colour[0] = red;
  colour[1] = green;
  colour[2] = blue;
  colour[3] = alpha;
}

void glBegin(unsigned mode) {
  State& s = state();
  if (s.glOpen) simhost::diagnose("glBegin inside glBegin");
  s.glOpen = true;
  s.glPrimitive = {0, s.drawingWindow, mode, {}};
}

void glVertex2f(float x, float y) {
  State& s = state();
  if (!s.glOpen) {
    simhost::diagnose("glVertex2f outside glBegin");
    return;
  }
  const float* c = s.glColour;
  s.glPrimitive.vertices.push_back({x, y, c[0], c[1], c[2], c[3]});
}

void glEnd(void) {
  State& s = state();
  if (!s.glOpen) {
    simhost::diagnose("glEnd without glBegin");
    return;
  }
  s.glOpen = false;
  s.glPrimitive.order = s.drawOrder++;
  s.current.primitives.push_back(s.glPrimitive);
}

// ---- Menus

XPLMMenuID XPLMFindPluginsMenu(void) { return state().menus[0].id; }

XPLMMenuID XPLMCreateMenu(const char* name, XPLMMenuID parent, int parentItem, XPLMMenuHandler_f handler,
                          void* menuRef) {
  State& s = state();
  XPLMMenuID id = simhost::makeHandle(simhost::kMenuHandle, s.menus.size());
  simhost::MenuInfo* parentMenu = simhost::liveMenu(parent);
  if (parent && !parentMenu) simhost::diagnose("XPLMCreateMenu: the parent is not a live menu");
  if (parentMenu) {
    if (parentItem >= 0 && parentItem < (int)parentMenu->items.size())
      parentMenu->items[parentItem].subMenu = id;
    else
      simhost::diagnose("XPLMCreateMenu: the parent has no item " + std::to_string(parentItem));
  }
  s.menus.push_back({id, name ? name : "", parent, parentItem, handler, menuRef, {}, false});
  return id;
}

int XPLMAppendMenuItem(XPLMMenuID menu, const char* name, void* itemRef, int) {
  simhost::MenuInfo* m = simhost::liveMenu(menu);
  if (!m) {
    simhost::diagnose("XPLMAppendMenuItem: not a live menu");
    return -1;
  }
  m->items.push_back({name ? name : "", itemRef, nullptr});
  return (int)m->items.size() - 1;
}

void XPLMDestroyMenu(XPLMMenuID menu) {
  simhost::MenuInfo* m = simhost::liveMenu(menu);
  if (!m || menu == state().menus[0].id) {
    simhost::diagnose("XPLMDestroyMenu: not a live menu of the plug-in");
    return;
  }
  m->destroyed = true;
  for (simhost::MenuInfo& other : state().menus)
    for (simhost::MenuItemInfo& item : other.items)
      if (item.subMenu == menu) item.subMenu = nullptr;
}

// ---- Aircraft

void XPLMSetActiveAircraftCount(int count) { state().activeAircraft = count; }

int XPLMAcquirePlanes(char**, XPLMPlanesAvailable_f, void*) {
  state().planesAcquired = true;
  return 1;
}

void XPLMReleasePlanes(void) { state().planesAcquired = false; }

void XPLMDisableAIForPlane(int index) {
  State& s = state();
  if (index < 0) return;
  if ((int)s.aiDisabled.size() <= index) s.aiDisabled.resize(index + 1);
  s.aiDisabled[index] = true;
}

void XPLMSetAircraftModel(int index, const char* path) {
  State& s = state();
  std::string model = path ? path : "";
  s.models[index] = model;
  s.modelChanges.push_back({index, model});
}

void XPLMGetNthAircraftModel(int index, char* fileName, char* path) {
  State& s = state();
  std::string full = index == 0 ? simhost::userAircraftPath(s) : simhost::simulator().aircraftModel(index);
  char separator = simhost::separatorCharacter(s);
  size_t last = full.find_last_of(separator);
  simhost::copyText(fileName, kAircraftFileNameSize, last == std::string::npos ? full : full.substr(last + 1));
  simhost::copyText(path, kAircraftPathSize, full);
}

// ---- Utilities

const char* XPLMGetDirectorySeparator(void) {
  State& s = state();
  snprintf(s.separator, sizeof s.separator, "%s", s.config.directorySeparator.c_str());
  return s.separator;
}

void XPLMDebugString(const char* text) {
  State& s = state();
  std::string line = text ? text : "";
  s.debugLog.push_back(line);
  if (s.config.echoLogToStderr) fputs(line.c_str(), stderr);
}

}  // extern "C"
