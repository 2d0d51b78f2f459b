// The simulator's life: the one state record, handles, loading the module,
// its entry points, and the frame loop (time, the user's flight, flight
// loops, draw phases, windows).
#include "simhost/simulator.h"

#include <dlfcn.h>
#include <math.h>
#include <stdio.h>

#include <algorithm>
#include <thread>

#include "simhost/state.h"

// The leak checker's switches, present only in sanitizer builds.
extern "C" void __lsan_disable() __attribute__((weak));
extern "C" void __lsan_enable() __attribute__((weak));

namespace simhost {

State& state() {
  // Never destroyed: the module may call in during static destruction.
  static State* s = [] {
    State* made = new State;
    resetDataRefs(*made);
    made->menus.push_back({makeHandle(kMenuHandle, 0), "Plugins", nullptr, -1, nullptr, nullptr, {}, false});
    placeUserAircraft(*made);
    return made;
  }();
  return *s;
}

Simulator& simulator() {
  static Simulator* sim = new Simulator;
  return *sim;
}

void* makeHandle(HandleKind kind, size_t index) { return (void*)((kind << 28) | (index + 1)); }

long handleIndex(HandleKind kind, const void* handle) {
  uintptr_t value = (uintptr_t)handle;
  if ((value >> 28) != kind || (value & 0x0fffffff) == 0) return -1;
  return (long)(value & 0x0fffffff) - 1;
}

void diagnose(const std::string& text) {
  State& s = state();
  // Bounded: a module that repeats a mistake every frame must not fill memory.
  constexpr size_t kMaxDiagnostics = 1000;
  if (s.diagnostics.size() > kMaxDiagnostics) return;
  s.diagnostics.push_back(s.diagnostics.size() < kMaxDiagnostics ? text : "further diagnostics dropped");
  if (s.config.echoLogToStderr) fprintf(stderr, "quillsky-sim: %s\n", text.c_str());
}

namespace {

// Whether a function's code lies in the loaded module file (not in the
// program, which may carry a copy of the module's code).
bool inModule(const State& s, const void* function) {
  Dl_info target, module;
  if (!s.module || !function || !s.entry.start) return false;
  if (!dladdr(function, &target) || !dladdr((const void*)s.entry.start, &module)) return false;
  return target.dli_fbase == module.dli_fbase;
}

// Removes the entries whose callback is the module's; the number of those
// the module had not unregistered.
template <typename Entry, typename Pointer>
int dropModuleEntries(const State& s, std::vector<Entry>& entries, Pointer function) {
  int left = 0;
  std::erase_if(entries, [&](const Entry& e) {
    bool owned = inModule(s, (const void*)function(e));
    if (owned && !e.removed) ++left;
    return owned;
  });
  return left;
}

// What the simulator does when it unloads a plug-in that left things behind:
// nothing of the module may be called once its code is gone.
void forgetModuleCallbacks(State& s) {
  int loops = dropModuleEntries(s, s.flightLoops, [](const FlightLoopEntry& e) { return e.info.callback; });
  int draws = dropModuleEntries(s, s.drawCallbacks, [](const DrawEntry& e) { return e.info.callback; });
  int sniffers = dropModuleEntries(s, s.sniffers, [](const SnifferEntry& e) { return e.info.callback; });
  int windows = 0, menus = 0, widgets = 0;
  for (WindowInfo& w : s.windows)
    if (!w.destroyed && inModule(s, (const void*)w.draw)) w.destroyed = true, ++windows;
  for (MenuInfo& m : s.menus)
    if (!m.destroyed && m.handler && inModule(s, (const void*)m.handler)) m.destroyed = true, ++menus;
  s.menus[0].items.clear();
  for (WidgetInfo& w : s.widgets) {
    bool owned = std::any_of(w.callbacks.begin(), w.callbacks.end(),
                             [&](XPWidgetFunc_t f) { return inModule(s, (const void*)f); });
    if (!w.destroyed && owned) w.destroyed = true, ++widgets;
  }
  if (s.focus && !liveWindow(s.focus)) s.focus = nullptr;
  if (loops + draws + sniffers + windows + menus + widgets > 0)
    diagnose("module unloaded with registrations left: " + std::to_string(loops) + " flight loops, " +
             std::to_string(draws) + " draw callbacks, " + std::to_string(sniffers) + " key sniffers, " +
             std::to_string(windows) + " windows, " + std::to_string(menus) + " menus, " +
             std::to_string(widgets) + " widgets");
}

bool moduleMissing(const char* call) {
  if (state().module) return false;
  diagnose(std::string(call) + " without a loaded module");
  return true;
}

void callFlightLoops(State& s) {
  double sinceLastLoop = s.now - s.lastFlightLoopTime;
  s.lastFlightLoopTime = s.now;
  ++s.flightLoopCounter;
  // Loops registered during this pass wait for the next frame.
  size_t count = s.flightLoops.size();
  for (size_t i = 0; i < count; ++i) {
    FlightLoopEntry* e = &s.flightLoops[i];
    if (e->removed || e->info.interval == 0) continue;
    bool due = e->info.interval < 0 ? s.frames >= e->nextDueFrame : s.now + 1e-9 >= e->info.nextDue;
    if (!due) continue;
    float sinceLastCall = (float)(s.now - e->lastCallTime);
    e->lastCallTime = s.now;
    e->info.callCount++;
    e->info.callTimes.push_back(s.now);
    float next;
    {
      ModuleCall call;
      next = e->info.callback(sinceLastCall, (float)sinceLastLoop, s.flightLoopCounter, e->info.ref);
    }
    e = &s.flightLoops[i];  // the callback may have registered others
    if (!e->removed) scheduleFlightLoop(s, *e, next);
  }
  std::erase_if(s.flightLoops, [](const FlightLoopEntry& e) { return e.removed; });
}

void callDrawPhase(State& s, int phase) {
  for (int before = 1; before >= 0; --before) {
    size_t count = s.drawCallbacks.size();
    for (size_t i = 0; i < count; ++i) {
      DrawEntry& e = s.drawCallbacks[i];
      if (e.removed || e.info.phase != phase || e.info.before != (before == 1)) continue;
      e.info.callCount++;
      XPLMDrawCallback_f callback = e.info.callback;
      void* ref = e.info.ref;
      ModuleCall call;
      callback(phase, before, ref);
    }
  }
}

void drawWindows(State& s) {
  size_t count = s.windows.size();
  for (size_t i = 0; i < count; ++i) {
    WindowInfo w = s.windows[i];
    if (w.destroyed || !w.visible || !w.draw) continue;
    s.drawingWindow = w.id;
    ModuleCall call;
    w.draw(w.id, w.ref);
  }
  s.drawingWindow = nullptr;
}

void pace(State& s) {
  if (!s.config.pacedToWallClock) {
    s.pacing = false;
    return;
  }
  if (!s.pacing) {
    s.pacing = true;
    s.pacingStart = std::chrono::steady_clock::now();
    s.pacingStartSimTime = s.now;
  }
  std::this_thread::sleep_until(s.pacingStart +
                                std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                                    std::chrono::duration<double>(s.now - s.pacingStartSimTime)));
}

void runOneFrame(State& s) {
  double frameSeconds = 1.0 / std::max(1, s.config.fps);
  ++s.frames;
  s.now += frameSeconds;
  s.current = FrameDrawing();
  s.drawOrder = 0;
  moveUserAircraft(s, frameSeconds);
  callFlightLoops(s);
  if (!s.config.modernRenderer) {
    callDrawPhase(s, xplm_Phase_FirstScene);
    callDrawPhase(s, xplm_Phase_Airplanes);
  }
  drawWindows(s);
  s.last = std::move(s.current);
  s.current = FrameDrawing();
  std::erase_if(s.drawCallbacks, [](const DrawEntry& e) { return e.removed; });
  std::erase_if(s.sniffers, [](const SnifferEntry& e) { return e.removed; });
  pace(s);
}

}  // namespace

void scheduleFlightLoop(State& s, FlightLoopEntry& e, float interval) {
  e.info.interval = interval;
  if (interval > 0) {
    e.info.nextDue = s.now + interval;
  } else if (interval < 0) {
    long frames = std::max(1L, lround(-interval));
    e.nextDueFrame = s.frames + frames;
    e.info.nextDue = s.now + frames / (double)std::max(1, s.config.fps);
  } else {
    e.info.nextDue = -1;
  }
}

// ---- Set-up

Config& Simulator::config() { return state().config; }

void Simulator::reset() {
  State& s = state();
  if (s.module) {
    dlclose(s.module);
    s.module = nullptr;
  }
  Config defaults;
  s.config = defaults;
  s.modulePath.clear();
  s.entry = {};
  s.pluginName.clear();
  s.pluginSignature.clear();
  s.pluginDescription.clear();
  s.firstWindowOfLoad = 0;
  s.now = 0;
  s.frames = 0;
  s.lastFlightLoopTime = 0;
  s.flightLoopCounter = 0;
  s.pacing = false;
  resetDataRefs(s);
  s.activeAircraft = 0;
  s.planesAcquired = false;
  s.aiDisabled.clear();
  s.models.clear();
  s.modelChanges.clear();
  s.flightLoops.clear();
  s.drawCallbacks.clear();
  s.sniffers.clear();
  s.windows.clear();
  s.focus = s.mouseTarget = s.drawingWindow = nullptr;
  s.menus.resize(1);
  s.menus[0].items.clear();
  s.widgets.clear();
  s.current = s.last = FrameDrawing();
  s.drawOrder = 0;
  s.glOpen = false;
  s.debugLog.clear();
  s.diagnostics.clear();
  resetSocketShim();
  placeUserAircraft(s);
}

// ---- The module

bool Simulator::load(const std::string& path, std::string* error) {
  State& s = state();
  if (s.module) {
    if (error) *error = "a module is already loaded: " + s.modulePath;
    return false;
  }
  // The module's static libstdc++ allocates its exception emergency pool
  // while loading and never frees it: unloading then leaves it unreachable
  // (about 70 KB a load). Allocations made while loading are not leaks of
  // the module's own behaviour, so the leak checker skips them.
  if (__lsan_disable) __lsan_disable();
  void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (__lsan_enable) __lsan_enable();
  if (!module) {
    if (error) *error = dlerror();
    return false;
  }
  ModuleEntryPoints entry = {
      (int (*)(char*, char*, char*))dlsym(module, "XPluginStart"), (void (*)())dlsym(module, "XPluginStop"),
      (int (*)())dlsym(module, "XPluginEnable"), (void (*)())dlsym(module, "XPluginDisable"),
      (void (*)(int, int, void*))dlsym(module, "XPluginReceiveMessage")};
  if (!entry.start || !entry.stop || !entry.enable || !entry.disable || !entry.receiveMessage) {
    dlclose(module);
    if (error) *error = path + ": not a plug-in (an entry point is missing)";
    return false;
  }
  s.module = module;
  s.modulePath = path;
  s.entry = entry;
  s.firstWindowOfLoad = s.windows.size();
  placeUserAircraft(s);
  return true;
}

bool Simulator::unload(std::string* error) {
  State& s = state();
  if (!s.module) return true;
  forgetModuleCallbacks(s);
  dlclose(s.module);
  s.module = nullptr;
  s.entry = {};
  // A module that stays mapped would keep its state for the next load.
  void* still = dlopen(s.modulePath.c_str(), RTLD_NOW | RTLD_NOLOAD);
  if (still) {
    dlclose(still);
    if (error) *error = s.modulePath + " stays in memory after unloading";
    diagnose(s.modulePath + " stays in memory after unloading");
    return false;
  }
  return true;
}

bool Simulator::isLoaded() const { return state().module != nullptr; }

int Simulator::start() {
  State& s = state();
  if (moduleMissing("XPluginStart")) return 0;
  char name[256] = {}, signature[256] = {}, description[256] = {};
  int result;
  {
    ModuleCall call;
    result = s.entry.start(name, signature, description);
  }
  name[255] = signature[255] = description[255] = 0;
  s.pluginName = name;
  s.pluginSignature = signature;
  s.pluginDescription = description;
  return result;
}

int Simulator::enable() {
  if (moduleMissing("XPluginEnable")) return 0;
  ModuleCall call;
  return state().entry.enable();
}

void Simulator::disable() {
  if (moduleMissing("XPluginDisable")) return;
  ModuleCall call;
  state().entry.disable();
}

void Simulator::stop() {
  if (moduleMissing("XPluginStop")) return;
  ModuleCall call;
  state().entry.stop();
}

void Simulator::receiveMessage(int fromPlugin, int message, void* param) {
  if (moduleMissing("XPluginReceiveMessage")) return;
  ModuleCall call;
  state().entry.receiveMessage(fromPlugin, message, param);
}

bool Simulator::loadAndStart(const std::string& path, std::string* error) {
  if (!load(path, error)) return false;
  if (start() != 1) {
    if (error) *error = "XPluginStart did not return 1";
    return false;
  }
  if (enable() != 1) {
    if (error) *error = "XPluginEnable did not return 1";
    return false;
  }
  return true;
}

bool Simulator::stopAndUnload(std::string* error) {
  disable();
  stop();
  return unload(error);
}

const std::string& Simulator::pluginName() const { return state().pluginName; }
const std::string& Simulator::pluginSignature() const { return state().pluginSignature; }
const std::string& Simulator::pluginDescription() const { return state().pluginDescription; }

// ---- Time

void Simulator::runFrames(int count) {
  for (int i = 0; i < count; ++i) runOneFrame(state());
}

void Simulator::runSeconds(double seconds) {
  State& s = state();
  double end = s.now + seconds - 1e-9;
  while (s.now < end) runOneFrame(s);
}

bool Simulator::runUntil(const std::function<bool()>& condition, double wallSeconds) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                                                          std::chrono::duration<double>(wallSeconds));
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    runOneFrame(state());
    std::this_thread::yield();  // let a server thread on a busy machine run
  }
  return true;
}

double Simulator::now() const { return state().now; }
long Simulator::frameCount() const { return state().frames; }

// ---- Log

const std::vector<std::string>& Simulator::debugLog() const { return state().debugLog; }
const std::vector<std::string>& Simulator::diagnostics() const { return state().diagnostics; }

}  // namespace simhost
