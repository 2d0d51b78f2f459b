// A test with the real module loaded in the stand-in simulator: each test
// gets a fresh temporary root folder with Resources/plugins/, made the
// working folder (the module opens its files relative to it), a reset
// simulator, and the built module loaded, started and enabled.
#pragma once

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "simhost/simulator.h"

// The values of the module's latest write through the reference name;
// empty when it wrote none (the simulator keeps no values of its read-only
// references, so this is how a test sees what went there).
std::vector<double> lastWrittenValues(const simhost::Simulator& sim, const std::string& name);
// How many writes the module made through references whose names start
// with prefix.
int writesStartingWith(const simhost::Simulator& sim, const std::string& prefix);

class SimFixture : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  // Runs before the module is loaded: write files into the root or change
  // simulator().config() here.
  virtual void prepareRoot() {}
  // Writes a file under the root folder, creating its folders.
  void writeRootFile(const std::string& relativePath, const std::string& content);
  // The whole content of a file under the root folder ("" when missing).
  std::string readRootFile(const std::string& relativePath);

  simhost::Simulator& sim = simhost::simulator();
  std::string root;  // absolute path of the temporary root folder

 private:
  std::string previousWorkingFolder;
};
