// Placeholder.
#include "sim/aircraft_models.h"

std::string modelBaseName(std::string_view) { return {}; }
std::string nativeModelPath(std::string_view path) { return std::string(path); }
void updateSlotAircraft(int, const std::string&) {}
