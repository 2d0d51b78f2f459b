// The screen of the last frame as a PNG file: the windows' drawing from
// simulator().lastFrame() over an empty scene, at the configured screen size.
#pragma once

#include <string>

namespace simhost {

// Writes the picture to path; false with the reason in *error on failure.
bool writeScreenshot(const std::string& path, std::string* error);

}  // namespace simhost
