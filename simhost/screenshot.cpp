// Stand-in for the renderer: this build has no picture of the screen.
#include "simhost/screenshot.h"

namespace simhost {

bool writeScreenshot(const std::string& path, std::string* error) {
  (void)path;
  if (error) *error = "screenshot: not available in this build";
  return false;
}

}  // namespace simhost
