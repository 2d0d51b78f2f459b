// Data references and the user's aircraft.
//
// Sections: the table of every name the module uses; the user's aircraft
// (start, straight-line flight, the local projection); the C functions.
// Types are strict as in the simulator: an int reference reads 0 through the
// float calls and the other way round; a double reference also answers the
// float calls.
#include <math.h>
#include <stdio.h>

#include <algorithm>
#include <filesystem>

#include "host/xplm_data.h"
#include "host/xplm_graphics.h"
#include "simhost/state.h"

namespace simhost {

namespace {

constexpr double kEarthRadius = 6378137.0;  // metres
constexpr double kRadiansPerDegree = M_PI / 180.0;

void addRef(State& s, const std::string& name, DataType type, int size, bool readOnly) {
  s.dataRefIndex[name] = (int)s.dataRefs.size();
  s.dataRefs.push_back({name, type, readOnly, std::vector<double>(size, 0.0)});
}

void buildTable(State& s) {
  const std::string position = "sim/flightmodel/position/";
  for (const char* axis : {"local_x", "local_y", "local_z"}) addRef(s, position + axis, DataType::Double, 1, false);
  for (const char* place : {"latitude", "longitude", "elevation"}) addRef(s, position + place, DataType::Double, 1, true);
  for (const char* angle : {"theta", "phi", "psi"}) addRef(s, position + angle, DataType::Float, 1, false);
  for (const char* control : {"flaprat", "flap2rat", "sbrkrat", "slatrat", "swdi", "lspdef", "elv_trim",
                              "ail_trim", "rud_trim"})
    addRef(s, std::string("sim/flightmodel/controls/") + control, DataType::Float, 1, false);
  for (const char* axis : {"FC_ptch", "FC_roll", "FC_hdng"})
    addRef(s, std::string("sim/joystick/") + axis, DataType::Float, 1, false);
  addRef(s, "sim/aircraft/parts/acf_gear_deploy", DataType::FloatArray, 10, false);
  addRef(s, "sim/flightmodel/ENGN_thro", DataType::FloatArray, 8, false);
  const char* lights[] = {"beacon_lights_on", "landing_lights_on", "nav_lights_on", "strobe_lights_on",
                          "taxi_light_on"};
  for (const char* light : lights) addRef(s, std::string("sim/cockpit/electrical/") + light, DataType::Int, 1, false);

  for (int n = 1; n <= kMultiplayerAircraft; ++n) {
    const std::string plane = "sim/multiplayer/position/plane" + std::to_string(n) + "_";
    for (const char* axis : {"x", "y", "z"}) addRef(s, plane + axis, DataType::Double, 1, false);
    for (const char* place : {"lat", "lon", "el"}) addRef(s, plane + place, DataType::Double, 1, true);
    for (const char* value : {"the", "phi", "psi", "flap_ratio", "flap_ratio2", "spoiler_ratio",
                              "speedbrake_ratio", "slat_ratio", "wing_sweep", "yolk_pitch", "yolk_roll",
                              "yolk_yaw"})
      addRef(s, plane + value, DataType::Float, 1, false);
    addRef(s, plane + "gear_deploy", DataType::FloatArray, 10, false);
    addRef(s, plane + "throttle", DataType::FloatArray, 16, false);
    for (const char* light : lights) addRef(s, plane + light, DataType::Int, 1, false);
  }

  addRef(s, "sim/graphics/view/view_type", DataType::Int, 1, true);
  addRef(s, "sim/graphics/view/pilots_head_x", DataType::Float, 1, false);
  addRef(s, "sim/operation/override/override_planepath", DataType::IntArray, 20, false);
  addRef(s, "sim/operation/override/override_flightcontrol", DataType::Int, 1, false);
}

double& scalar(State& s, const char* name) { return s.dataRefs[s.dataRefIndex.at(name)].values[0]; }

// The reference point of the local frame: the south-west corner of the
// whole-degree cell the user starts in, so two stand-ins started in the same
// cell agree on local coordinates.
void referencePoint(const State& s, double* latitude, double* longitude) {
  *latitude = floor(s.config.startLatitude);
  *longitude = floor(s.config.startLongitude);
}

// x east, y up, z south, metres; an equirectangular projection, exact
// enough within one cell.
void worldToLocal(const State& s, double latitude, double longitude, double elevation, double* x, double* y,
                  double* z) {
  double refLatitude, refLongitude;
  referencePoint(s, &refLatitude, &refLongitude);
  *x = (longitude - refLongitude) * kRadiansPerDegree * kEarthRadius * cos(latitude * kRadiansPerDegree);
  *y = elevation;
  *z = -(latitude - refLatitude) * kRadiansPerDegree * kEarthRadius;
}

void localToWorld(const State& s, double x, double y, double z, double* latitude, double* longitude,
                  double* elevation) {
  double refLatitude, refLongitude;
  referencePoint(s, &refLatitude, &refLongitude);
  *latitude = refLatitude - z / (kRadiansPerDegree * kEarthRadius);
  *longitude = refLongitude + x / (kRadiansPerDegree * kEarthRadius * cos(*latitude * kRadiansPerDegree));
  *elevation = y;
}

void setWorldPosition(State& s, double latitude, double longitude, double elevation) {
  scalar(s, "sim/flightmodel/position/latitude") = latitude;
  scalar(s, "sim/flightmodel/position/longitude") = longitude;
  scalar(s, "sim/flightmodel/position/elevation") = elevation;
  worldToLocal(s, latitude, longitude, elevation, &scalar(s, "sim/flightmodel/position/local_x"),
               &scalar(s, "sim/flightmodel/position/local_y"), &scalar(s, "sim/flightmodel/position/local_z"));
}

bool isUserPlace(const std::string& name) {
  return name == "sim/flightmodel/position/latitude" || name == "sim/flightmodel/position/longitude" ||
         name == "sim/flightmodel/position/elevation";
}

bool isUserLocal(const std::string& name) {
  return name == "sim/flightmodel/position/local_x" || name == "sim/flightmodel/position/local_y" ||
         name == "sim/flightmodel/position/local_z";
}

// Keeps the user's two positions in step after one of them was written;
// a position set from outside ends the automatic flight.
void afterWrite(State& s, const DataRefEntry& entry) {
  if (isUserPlace(entry.name)) {
    s.userMoving = false;
    setWorldPosition(s, scalar(s, "sim/flightmodel/position/latitude"),
                     scalar(s, "sim/flightmodel/position/longitude"),
                     scalar(s, "sim/flightmodel/position/elevation"));
  } else if (isUserLocal(entry.name)) {
    s.userMoving = false;
    localToWorld(s, scalar(s, "sim/flightmodel/position/local_x"), scalar(s, "sim/flightmodel/position/local_y"),
                 scalar(s, "sim/flightmodel/position/local_z"), &scalar(s, "sim/flightmodel/position/latitude"),
                 &scalar(s, "sim/flightmodel/position/longitude"),
                 &scalar(s, "sim/flightmodel/position/elevation"));
  }
}

// ---- The C functions' common path.

DataRefEntry* entryOf(XPLMDataRef ref) {
  long index = handleIndex(kDataRefHandle, ref);
  State& s = state();
  if (index < 0 || index >= (long)s.dataRefs.size()) {
    if (ref) diagnose("data access through an invalid handle");
    return nullptr;
  }
  return &s.dataRefs[index];
}

// The entry when its type is one of the two given, else null (with a
// diagnostic when the handle was valid).
DataRefEntry* typed(XPLMDataRef ref, DataType type, DataType alsoAccepted, const char* call) {
  DataRefEntry* entry = entryOf(ref);
  if (entry && entry->type != type && entry->type != alsoAccepted) {
    diagnose(std::string(call) + " on " + entry->name + ", which has another type");
    return nullptr;
  }
  return entry;
}

template <typename T>
void moduleWrite(DataRefEntry* entry, int offset, const T* values, int count) {
  if (!entry || offset < 0 || count <= 0 || !values) return;
  State& s = state();
  DataWrite write = {entry->name, offset, {}};
  for (int i = 0; i < count; ++i) write.values.push_back((double)values[i]);
  // A long run writes millions of values: keep the latest ones only, so the
  // record cannot grow without bound.
  constexpr size_t kMaxDataWrites = 200000;
  if (s.dataWrites.size() >= kMaxDataWrites)
    s.dataWrites.erase(s.dataWrites.begin(), s.dataWrites.begin() + kMaxDataWrites / 2);
  s.dataWrites.push_back(write);
  if (entry->readOnly) {
    diagnose("the module wrote " + entry->name + ", which is read-only");
    return;
  }
  for (int i = 0; i < count && offset + i < (int)entry->values.size(); ++i) entry->values[offset + i] = values[i];
  afterWrite(s, *entry);
}

template <typename T>
int moduleRead(DataRefEntry* entry, T* out, int offset, int max) {
  if (!entry) return 0;
  int size = (int)entry->values.size();
  if (!out) return size;
  if (offset < 0 || offset >= size || max <= 0) return 0;
  int count = std::min(max, size - offset);
  for (int i = 0; i < count; ++i) out[i] = (T)entry->values[offset + i];
  return count;
}

double scalarValue(DataRefEntry* entry) { return entry ? entry->values[0] : 0.0; }

}  // namespace

// ---- Shared with the rest of the stand-in.

void resetDataRefs(State& s) {
  if (s.dataRefs.empty()) buildTable(s);
  for (DataRefEntry& entry : s.dataRefs) std::fill(entry.values.begin(), entry.values.end(), 0.0);
  s.dataWrites.clear();
}

DataRefEntry* dataRef(const std::string& name) {
  State& s = state();
  auto found = s.dataRefIndex.find(name);
  return found == s.dataRefIndex.end() ? nullptr : &s.dataRefs[found->second];
}

void placeUserAircraft(State& s) {
  s.userMoving = true;
  setWorldPosition(s, s.config.startLatitude, s.config.startLongitude, s.config.startElevation);
  scalar(s, "sim/flightmodel/position/psi") = (float)s.config.headingDegrees;
}

// Great-circle steps are not needed at these distances: a straight line on
// the local frame's tangent, metres converted to degrees at the current
// latitude.
void moveUserAircraft(State& s, double seconds) {
  if (!s.userMoving || s.config.speedMetresPerSecond == 0.0) return;
  double distance = s.config.speedMetresPerSecond * seconds;
  double heading = s.config.headingDegrees * kRadiansPerDegree;
  double latitude = scalar(s, "sim/flightmodel/position/latitude");
  double longitude = scalar(s, "sim/flightmodel/position/longitude");
  latitude += distance * cos(heading) / (kEarthRadius * kRadiansPerDegree);
  longitude += distance * sin(heading) / (kEarthRadius * kRadiansPerDegree * cos(latitude * kRadiansPerDegree));
  setWorldPosition(s, latitude, longitude, scalar(s, "sim/flightmodel/position/elevation"));
  scalar(s, "sim/flightmodel/position/psi") = (float)s.config.headingDegrees;
}

char separatorCharacter(const State& s) {
  return s.config.directorySeparator.empty() ? '/' : s.config.directorySeparator[0];
}

std::string userAircraftPath(const State& s) {
  auto model = s.models.find(0);
  std::string path;
  if (model != s.models.end()) {
    path = model->second;  // loaded by the module: reported as given
  } else {
    std::filesystem::path aircraft(s.config.aircraftPath);
    if (aircraft.is_relative()) aircraft = std::filesystem::absolute(s.config.rootFolder) / aircraft;
    path = aircraft.lexically_normal().string();
    // Other platforms' full paths: a drive or a volume name ahead of the
    // folders, their separator between them.
    char separator = separatorCharacter(s);
    if (separator != '/') {
      for (char& c : path)
        if (c == '/') c = separator;
      path = (separator == ':' ? "Macintosh HD" : "C:") + path;
    }
  }
  return path;
}

// ---- Test access (declared in simulator.h).

bool Simulator::hasDataRef(const std::string& name) const { return dataRef(name) != nullptr; }

DataType Simulator::dataRefType(const std::string& name) const {
  DataRefEntry* entry = dataRef(name);
  return entry ? entry->type : DataType::Int;
}

int Simulator::arraySize(const std::string& name) const {
  DataRefEntry* entry = dataRef(name);
  return entry ? (int)entry->values.size() : 0;
}

int Simulator::getInt(const std::string& name) const { return (int)scalarValue(dataRef(name)); }
float Simulator::getFloat(const std::string& name) const { return (float)scalarValue(dataRef(name)); }
double Simulator::getDouble(const std::string& name) const { return scalarValue(dataRef(name)); }

std::vector<float> Simulator::getFloats(const std::string& name) const {
  DataRefEntry* entry = dataRef(name);
  return entry ? std::vector<float>(entry->values.begin(), entry->values.end()) : std::vector<float>();
}

std::vector<int> Simulator::getInts(const std::string& name) const {
  DataRefEntry* entry = dataRef(name);
  std::vector<int> values;
  if (entry)
    for (double value : entry->values) values.push_back((int)value);
  return values;
}

namespace {
template <typename T>
void testWrite(const std::string& name, int offset, const std::vector<T>& values) {
  DataRefEntry* entry = dataRef(name);
  if (!entry) {
    diagnose("a test set the unknown data reference " + name);
    return;
  }
  for (size_t i = 0; i < values.size() && offset >= 0 && offset + i < entry->values.size(); ++i)
    entry->values[offset + i] = values[i];
  afterWrite(state(), *entry);
}
}  // namespace

void Simulator::setInt(const std::string& name, int value) { testWrite(name, 0, std::vector<int>{value}); }
void Simulator::setFloat(const std::string& name, float value) { testWrite(name, 0, std::vector<float>{value}); }
void Simulator::setDouble(const std::string& name, double value) { testWrite(name, 0, std::vector<double>{value}); }
void Simulator::setFloats(const std::string& name, int offset, const std::vector<float>& values) {
  testWrite(name, offset, values);
}
void Simulator::setInts(const std::string& name, int offset, const std::vector<int>& values) {
  testWrite(name, offset, values);
}
const std::vector<DataWrite>& Simulator::dataWrites() const { return state().dataWrites; }
void Simulator::clearDataWrites() { state().dataWrites.clear(); }
bool Simulator::userAircraftMoving() const { return state().userMoving; }
std::string Simulator::userAircraftFullPath() const { return userAircraftPath(state()); }

}  // namespace simhost

using simhost::DataType;
using simhost::typed;

// ---- The simulator's functions.

extern "C" {

XPLMDataRef XPLMFindDataRef(const char* name) {
  if (!name) return nullptr;
  simhost::State& s = simhost::state();
  auto found = s.dataRefIndex.find(name);
  if (found == s.dataRefIndex.end()) {
    simhost::diagnose(std::string("XPLMFindDataRef: unknown name ") + name);
    return nullptr;
  }
  return simhost::makeHandle(simhost::kDataRefHandle, found->second);
}

int XPLMGetDatai(XPLMDataRef ref) {
  return (int)simhost::scalarValue(typed(ref, DataType::Int, DataType::Int, "XPLMGetDatai"));
}
float XPLMGetDataf(XPLMDataRef ref) {
  return (float)simhost::scalarValue(typed(ref, DataType::Float, DataType::Double, "XPLMGetDataf"));
}
double XPLMGetDatad(XPLMDataRef ref) {
  return simhost::scalarValue(typed(ref, DataType::Double, DataType::Double, "XPLMGetDatad"));
}

void XPLMSetDatai(XPLMDataRef ref, int value) {
  simhost::moduleWrite(typed(ref, DataType::Int, DataType::Int, "XPLMSetDatai"), 0, &value, 1);
}
void XPLMSetDataf(XPLMDataRef ref, float value) {
  simhost::moduleWrite(typed(ref, DataType::Float, DataType::Double, "XPLMSetDataf"), 0, &value, 1);
}
void XPLMSetDatad(XPLMDataRef ref, double value) {
  simhost::moduleWrite(typed(ref, DataType::Double, DataType::Double, "XPLMSetDatad"), 0, &value, 1);
}

int XPLMGetDatavf(XPLMDataRef ref, float* out, int offset, int max) {
  return simhost::moduleRead(typed(ref, DataType::FloatArray, DataType::FloatArray, "XPLMGetDatavf"), out,
                             offset, max);
}
void XPLMSetDatavf(XPLMDataRef ref, float* values, int offset, int count) {
  simhost::moduleWrite(typed(ref, DataType::FloatArray, DataType::FloatArray, "XPLMSetDatavf"), offset, values,
                       count);
}
int XPLMGetDatavi(XPLMDataRef ref, int* out, int offset, int max) {
  return simhost::moduleRead(typed(ref, DataType::IntArray, DataType::IntArray, "XPLMGetDatavi"), out, offset,
                             max);
}
void XPLMSetDatavi(XPLMDataRef ref, int* values, int offset, int count) {
  simhost::moduleWrite(typed(ref, DataType::IntArray, DataType::IntArray, "XPLMSetDatavi"), offset, values,
                       count);
}

void XPLMWorldToLocal(double latitude, double longitude, double elevation, double* x, double* y, double* z) {
  double localX, localY, localZ;
  simhost::worldToLocal(simhost::state(), latitude, longitude, elevation, &localX, &localY, &localZ);
  if (x) *x = localX;
  if (y) *y = localY;
  if (z) *z = localZ;
}

}  // extern "C"
