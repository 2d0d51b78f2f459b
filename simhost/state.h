// The stand-in's inner state, shared by its source files; tests use
// simulator.h instead.
//
// One record, made on first use and never destroyed, so the module's code
// may call the simulator's functions before main() (static initialisation
// of a test program that links the module's code) and after other statics
// are gone.
#pragma once

#include <chrono>
#include <map>
#include <string>
#include <vector>

#include "simhost/simulator.h"

namespace simhost {

struct DataRefEntry {
  std::string name;
  DataType type;
  bool readOnly;                 // for the module; tests may still set it
  std::vector<double> values;    // every type held as double: exact for int and float
};

struct FlightLoopEntry {
  FlightLoopInfo info;
  long nextDueFrame;             // for intervals in frames
  double lastCallTime;           // or the registration time
  bool removed;
};

struct DrawEntry {
  DrawCallbackInfo info;
  bool removed;
};

struct SnifferEntry {
  KeySnifferInfo info;
  bool removed;
};

struct ModuleEntryPoints {
  int (*start)(char*, char*, char*);
  void (*stop)();
  int (*enable)();
  void (*disable)();
  void (*receiveMessage)(int, int, void*);
};

struct State {
  Config config;

  // The module
  void* module = nullptr;        // dlopen handle
  std::string modulePath;
  ModuleEntryPoints entry = {};
  std::string pluginName, pluginSignature, pluginDescription;
  size_t firstWindowOfLoad = 0;  // windows index where the latest load began

  // Time
  double now = 0;                // simulated seconds
  long frames = 0;
  double lastFlightLoopTime = 0;
  int flightLoopCounter = 0;
  bool pacing = false;
  std::chrono::steady_clock::time_point pacingStart;
  double pacingStartSimTime = 0;

  // Data references: built once; handles are indexes and stay valid.
  std::vector<DataRefEntry> dataRefs;
  std::map<std::string, int> dataRefIndex;
  std::vector<DataWrite> dataWrites;
  bool userMoving = true;

  // Aircraft
  int activeAircraft = 0;
  bool planesAcquired = false;
  std::vector<bool> aiDisabled;
  std::map<int, std::string> models;
  std::vector<ModelChange> modelChanges;
  char separator[8] = "/";

  // Callbacks
  std::vector<FlightLoopEntry> flightLoops;
  std::vector<DrawEntry> drawCallbacks;
  std::vector<SnifferEntry> sniffers;

  // Windows and input
  std::vector<WindowInfo> windows;
  XPLMWindowID focus = nullptr;
  XPLMWindowID mouseTarget = nullptr;
  XPLMWindowID drawingWindow = nullptr;  // whose draw callback is running

  // Menus: the plug-ins menu first
  std::vector<MenuInfo> menus;

  // Widgets
  std::vector<WidgetInfo> widgets;

  // Drawing
  FrameDrawing current, last;
  int drawOrder = 0;
  bool glOpen = false;
  GlPrimitive glPrimitive = {};
  float glColour[4] = {1, 1, 1, 1};

  // Logs
  std::vector<std::string> debugLog, diagnostics;
};

State& state();
// Builds the data reference table (once) and restores its values.
void resetDataRefs(State& s);
// Puts the user's aircraft at the configured start.
void placeUserAircraft(State& s);
void moveUserAircraft(State& s, double seconds);
// Sets a flight loop's interval and its next due time from now.
void scheduleFlightLoop(State& s, FlightLoopEntry& e, float interval);
void diagnose(const std::string& text);
std::string userAircraftPath(const State& s);
// The configured directory separator's character ('/' when none is set).
char separatorCharacter(const State& s);

// Handles: a kind in the top bits and index + 1 below, so null is never a
// valid handle and a handle of one kind is never taken for another.
enum HandleKind : uintptr_t { kDataRefHandle = 1, kWindowHandle = 2, kMenuHandle = 3, kWidgetHandle = 4 };
void* makeHandle(HandleKind kind, size_t index);
// The index, or -1 when the handle is not of that kind.
long handleIndex(HandleKind kind, const void* handle);

// The record a handle names in its table, or null; destroyed records only
// when includeDestroyed.
template <typename Record>
Record* recordOf(std::vector<Record>& table, HandleKind kind, const void* handle, bool includeDestroyed) {
  long index = handleIndex(kind, handle);
  if (index < 0 || index >= (long)table.size()) return nullptr;
  if (!includeDestroyed && table[index].destroyed) return nullptr;
  return &table[index];
}

// The infos of the registrations that were not removed.
template <typename Entry>
std::vector<decltype(Entry::info)> registeredInfos(const std::vector<Entry>& entries) {
  std::vector<decltype(Entry::info)> infos;
  for (const Entry& e : entries)
    if (!e.removed) infos.push_back(e.info);
  return infos;
}

DataRefEntry* dataRef(const std::string& name);
WindowInfo* liveWindow(XPLMWindowID id);
MenuInfo* liveMenu(XPLMMenuID id);
WidgetInfo* liveWidget(XPWidgetID id);
// The live window or widget, else null with a diagnostic naming the call.
template <typename Record>
Record* checked(Record* found, const char* call, const char* kind) {
  if (!found) diagnose(std::string(call) + ": not a live " + kind);
  return found;
}
inline WindowInfo* checkedWindow(XPLMWindowID id, const char* call) { return checked(liveWindow(id), call, "window"); }
inline WidgetInfo* checkedWidget(XPWidgetID id, const char* call) { return checked(liveWidget(id), call, "widget"); }

// Marks the current thread as inside a call into the module for the life of
// the object; the socket record counts only such calls.
class ModuleCall {
 public:
  ModuleCall();
  ~ModuleCall();
  ModuleCall(const ModuleCall&) = delete;
  ModuleCall& operator=(const ModuleCall&) = delete;
};

// Clears the socket counts and pending failures.
void resetSocketShim();

}  // namespace simhost
