#include "support/files.h"

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace testsupport {

std::string readWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

void writeWholeFile(const std::string& path, const std::string& content) {
  std::filesystem::path target(path);
  if (target.has_parent_path()) std::filesystem::create_directories(target.parent_path());
  std::ofstream out(target, std::ios::binary);
  out << content;
}

std::string makeTemporaryFolder(const std::string& prefix) {
  std::string pattern = "/tmp/" + prefix + "-XXXXXX";
  if (!mkdtemp(pattern.data())) return "";
  return pattern;
}

void removeFolder(const std::string& path) {
  std::error_code ignored;
  if (!path.empty()) std::filesystem::remove_all(path, ignored);
}

}  // namespace testsupport
