#include "support/sim_fixture.h"

#include <unistd.h>

#include <filesystem>

#include "support/files.h"

void SimFixture::SetUp() {
  root = testsupport::makeTemporaryFolder("quillsky-root");
  ASSERT_FALSE(root.empty());
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
  testsupport::removeFolder(root);
}

void SimFixture::writeRootFile(const std::string& relativePath, const std::string& content) {
  testsupport::writeWholeFile(root + "/" + relativePath, content);
}

std::string SimFixture::readRootFile(const std::string& relativePath) {
  return testsupport::readWholeFile(root + "/" + relativePath);
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
