// Aircraft names and models of the plane slots: the base name shown in the
// plane list, the wire path in the simulator's own form, and the model load.
#include "sim/aircraft_models.h"

#include <stdio.h>
#include <sys/stat.h>

#include "host/xplm_planes.h"
#include "host/xplm_utilities.h"
#include "shell/client_state.h"
#include "text/pattern.h"

namespace {

// More separators than this are left as "/".
constexpr int kMaxSeparatorReplacements = 50;

// Whether path names a regular file that can be opened for reading. A
// folder opens for reading on POSIX systems too, but is no model.
bool modelFileExists(const std::string& path) {
  FILE* file = fopen(path.c_str(), "rb");
  if (!file) return false;
  struct stat status;
  bool regular = fstat(fileno(file), &status) == 0 && (status.st_mode & S_IFMT) == S_IFREG;
  fclose(file);
  return regular;
}

}  // namespace

std::string modelBaseName(std::string_view path) {
  // The greedy head backs off to the last "/" after which a lazy name and
  // ".acf" (any case) follow; what comes after the extension is ignored.
  static const Pattern baseName("^.*\\/(.*?)\\.[aA][cC][fF]", Pattern::kDefault);
  std::string name;
  if (!baseName.consume(path, {&name})) return {};
  return name;
}

std::string nativeModelPath(std::string_view path) {
  const char* separator = XPLMGetDirectorySeparator();
  std::string result(path);
  if (!separator || separator[0] == '/') return result;
  std::string_view separatorText(separator);
  // Search on after each inserted separator, so that one containing "/"
  // itself is never taken apart again.
  size_t from = 0;
  for (int replaced = 0; replaced < kMaxSeparatorReplacements; ++replaced) {
    size_t slash = result.find('/', from);
    if (slash == std::string::npos) break;
    result.replace(slash, 1, separatorText);
    from = slash + separatorText.size();
  }
  return result;
}

void updateSlotAircraft(int slot, const std::string& path) {
  std::string& shownName = client.slotModelNames[slot];
  // "BLANK" clears only the name; the loaded model stays.
  if (path == "BLANK") {
    shownName.clear();
    return;
  }
  std::string baseName = modelBaseName(path);
  // The model follows the name: a line whose file was missing still sets
  // the name, and the same line again loads nothing.
  bool changed = baseName != shownName;
  if (changed) shownName = baseName;
  std::string nativePath = nativeModelPath(path);
  if (modelFileExists(nativePath) && changed) XPLMSetAircraftModel(slot, nativePath.c_str());
}
