// Files and scratch folders for tests.
#pragma once

#include <string>

namespace testsupport {

// The whole content of a file ("" when missing).
std::string readWholeFile(const std::string& path);
// Writes a file, creating its folders.
void writeWholeFile(const std::string& path, const std::string& content);
// A new empty folder /tmp/PREFIX-XXXXXX; "" when it cannot be made.
// removeFolder takes it away again with all it holds.
std::string makeTemporaryFolder(const std::string& prefix);
void removeFolder(const std::string& path);

}  // namespace testsupport
