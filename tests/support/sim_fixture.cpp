#include "support/sim_fixture.h"

#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

void SimFixture::SetUp() {
  char pattern[] = "/tmp/quillsky-root-XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  root = pattern;
  std::filesystem::create_directories(root + "/Resources/plugins");
  previousWorkingFolder = std::filesystem::current_path().string();
  ASSERT_EQ(chdir(root.c_str()), 0);
  sim.reset();
  sim.config().rootFolder = root;
  prepareRoot();
  std::string error;
  ASSERT_TRUE(sim.loadAndStart(QUILLSKY_MODULE_PATH, &error)) << error;
}

void SimFixture::TearDown() {
  if (sim.isLoaded()) {
    std::string error;
    EXPECT_TRUE(sim.stopAndUnload(&error)) << error;
  }
  sim.reset();
  if (!previousWorkingFolder.empty()) (void)chdir(previousWorkingFolder.c_str());
  if (!root.empty()) {
    std::error_code ignored;
    std::filesystem::remove_all(root, ignored);
  }
}

void SimFixture::writeRootFile(const std::string& relativePath, const std::string& content) {
  std::filesystem::path path = std::filesystem::path(root) / relativePath;
  std::filesystem::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary);
  out << content;
}

std::string SimFixture::readRootFile(const std::string& relativePath) {
  std::ifstream in(std::filesystem::path(root) / relativePath, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

std::vector<double> lastWrittenValues(const simhost::Simulator& sim, const std::string& name) {
  std::vector<double> values;
  for (const simhost::DataWrite& write : sim.dataWrites())
    if (write.name == name) values = write.values;
  return values;
}

int writesStartingWith(const simhost::Simulator& sim, const std::string& prefix) {
  int count = 0;
  for (const simhost::DataWrite& write : sim.dataWrites())
    if (write.name.compare(0, prefix.size(), prefix) == 0) ++count;
  return count;
}
