// Aircraft names and models of the plane slots, from aircraft lines.
#pragma once

#include <string>
#include <string_view>

// The file name of an aircraft path without its .acf extension; empty when
// the path has no "/" or no such extension after it.
std::string modelBaseName(std::string_view path);
// The wire path ("/" between folders) in the simulator's own form.
std::string nativeModelPath(std::string_view path);
// Sets the slot's aircraft name and loads the model when its file exists
// and the name changed; "BLANK" only clears the name.
void updateSlotAircraft(int slot, const std::string& path);
