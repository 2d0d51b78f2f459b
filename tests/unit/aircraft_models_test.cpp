// Aircraft paths: base names, the simulator's separator, and the naming and
// loading of slot models on the module's state.
#include "sim/aircraft_models.h"

#include <unistd.h>

#include <filesystem>

#include <gtest/gtest.h>

#include "shell/client_state.h"
#include "simhost/simulator.h"
#include "support/files.h"

namespace {

struct BaseNameCase {
  const char* path;
  const char* name;
};

TEST(ModelBaseName, IsTheFileNameWithoutItsAcfExtension) {
  const BaseNameCase cases[] = {
      {"Aircraft/Trainer/Trainer_A.acf", "Trainer_A"},
      {"Aircraft/Trainer/Trainer_A.ACF", "Trainer_A"},
      {"Aircraft/Trainer/Trainer_A.AcF", "Trainer_A"},
      {"/home/pilot/X-Plane/Aircraft/Jet/Jet.acf", "Jet"},
      {"Aircraft/My Plane/My Plane v2.acf", "My Plane v2"},
      {"a/b.c.acf", "b.c"},       // the name runs to the ".acf", not to the first point
      {"a/b.acf.acf", "b"},       // ... but only to the first ".acf"
      {"a/b.acfx", "b"},          // nothing after the extension is looked at
      {"x/y.acf/z", "y"},         // the last "/" that a name and extension follow
      {"Trainer_A.acf", ""},      // no folder
      {"Aircraft/readme.txt", ""},
      {"Aircraft\\Trainer\\Trainer_A.acf", ""},
      {"", ""},
  };
  for (const BaseNameCase& c : cases)
    EXPECT_EQ(modelBaseName(c.path), c.name) << "path \"" << c.path << "\"";
}

struct SeparatorCase {
  const char* separator;
  std::string path;
  std::string native;
};

TEST(NativeModelPath, ReplacesEverySlashWithTheSimulatorsSeparator) {
  std::string manyFolders, manyFoldersNative;
  for (int i = 0; i < 52; ++i) {
    manyFolders += "d/";
    manyFoldersNative += i < 50 ? "d\\" : "d/";  // at most 50 are replaced
  }
  const SeparatorCase cases[] = {
      {"/", "Aircraft/Trainer/Trainer_A.acf", "Aircraft/Trainer/Trainer_A.acf"},
      {"\\", "a/b/c.acf", "a\\b\\c.acf"},
      {":", "a/b/c.acf", "a:b:c.acf"},
      {"\\", "/abs/c.acf", "\\abs\\c.acf"},
      {"\\", "c.acf", "c.acf"},
      {"::", "a/b", "a::b"},
      {"\\", manyFolders, manyFoldersNative},
  };
  for (const SeparatorCase& c : cases) {
    simhost::simulator().config().directorySeparator = c.separator;
    EXPECT_EQ(nativeModelPath(c.path), c.native)
        << "separator \"" << c.separator << "\", path \"" << c.path << "\"";
  }
  simhost::simulator().reset();
}

// updateSlotAircraft on the module's state, in a scratch working folder.
class SlotAircraft : public ::testing::Test {
 protected:
  void SetUp() override {
    folder = testsupport::makeTemporaryFolder("quillsky-models");
    ASSERT_FALSE(folder.empty());
    previous = std::filesystem::current_path();
    std::filesystem::current_path(folder);
    sim.reset();
    for (int n = 0; n < kPlaneSlotCount; ++n)
      client.slotModelNames[n] = "Plane " + std::to_string(n);
  }
  void TearDown() override {
    sim.reset();
    std::filesystem::current_path(previous);
    testsupport::removeFolder(folder);
  }
  void makeFile(const std::string& path) { testsupport::writeWholeFile(path, "A\n"); }
  int loads() const { return (int)sim.modelChanges().size(); }

  simhost::Simulator& sim = simhost::simulator();
  std::string folder;
  std::filesystem::path previous;
};

TEST_F(SlotAircraft, AnExistingModelIsNamedAndLoadedOnce) {
  makeFile("Aircraft/Trainer/Trainer_A.acf");
  updateSlotAircraft(4, "Aircraft/Trainer/Trainer_A.acf");
  EXPECT_EQ(client.slotModelNames[4], "Trainer_A");
  ASSERT_EQ(loads(), 1);
  EXPECT_EQ(sim.modelChanges()[0].index, 4);
  EXPECT_EQ(sim.modelChanges()[0].path, "Aircraft/Trainer/Trainer_A.acf");

  updateSlotAircraft(4, "Aircraft/Trainer/Trainer_A.acf");
  EXPECT_EQ(loads(), 1);
  // A capitalised extension names the same aircraft: no new load.
  updateSlotAircraft(4, "Aircraft/Trainer/Trainer_A.ACF");
  EXPECT_EQ(loads(), 1);
}

TEST_F(SlotAircraft, AMissingModelSetsTheNameAndIsNotLoadedWhenItAppears) {
  updateSlotAircraft(6, "Aircraft/Glider/Glider.acf");
  EXPECT_EQ(client.slotModelNames[6], "Glider");
  EXPECT_EQ(loads(), 0);
  makeFile("Aircraft/Glider/Glider.acf");
  updateSlotAircraft(6, "Aircraft/Glider/Glider.acf");  // the name did not change
  EXPECT_EQ(loads(), 0);
}

TEST_F(SlotAircraft, TheSameBaseNameInAnotherFolderIsNotLoaded) {
  makeFile("Aircraft/One/Trainer.acf");
  makeFile("Aircraft/Two/Trainer.acf");
  updateSlotAircraft(2, "Aircraft/One/Trainer.acf");
  updateSlotAircraft(2, "Aircraft/Two/Trainer.acf");
  ASSERT_EQ(loads(), 1);
  EXPECT_EQ(sim.aircraftModel(2), "Aircraft/One/Trainer.acf");
  // Another slot is another story.
  updateSlotAircraft(3, "Aircraft/Two/Trainer.acf");
  EXPECT_EQ(sim.aircraftModel(3), "Aircraft/Two/Trainer.acf");
}

TEST_F(SlotAircraft, APathWithoutFolderHasNoNameAndLoadsWhileTheNameChanges) {
  makeFile("Trainer.acf");
  updateSlotAircraft(5, "Trainer.acf");
  EXPECT_EQ(client.slotModelNames[5], "");
  EXPECT_EQ(loads(), 1);
  updateSlotAircraft(5, "Trainer.acf");
  EXPECT_EQ(loads(), 1);
}

TEST_F(SlotAircraft, BlankClearsOnlyTheName) {
  makeFile("Aircraft/Trainer/Trainer_A.acf");
  updateSlotAircraft(7, "Aircraft/Trainer/Trainer_A.acf");
  updateSlotAircraft(7, "BLANK");
  EXPECT_EQ(client.slotModelNames[7], "");
  EXPECT_EQ(loads(), 1);
  EXPECT_EQ(sim.aircraftModel(7), "Aircraft/Trainer/Trainer_A.acf");
  // The same aircraft again names it anew and loads it again.
  updateSlotAircraft(7, "Aircraft/Trainer/Trainer_A.acf");
  EXPECT_EQ(client.slotModelNames[7], "Trainer_A");
  EXPECT_EQ(loads(), 2);
}

TEST_F(SlotAircraft, TheExistenceTestAndTheLoadUseTheNativePath) {
  sim.config().directorySeparator = "\\";
  makeFile("a\\b\\c.acf");  // one file with backslashes in its name
  updateSlotAircraft(9, "a/b/c.acf");
  EXPECT_EQ(client.slotModelNames[9], "c");
  ASSERT_EQ(loads(), 1);
  EXPECT_EQ(sim.modelChanges()[0].path, "a\\b\\c.acf");
}

TEST_F(SlotAircraft, AFolderIsNoModel) {
  std::filesystem::create_directories("Aircraft/Folder.acf");
  updateSlotAircraft(8, "Aircraft/Folder.acf");
  EXPECT_EQ(client.slotModelNames[8], "Folder");
  EXPECT_EQ(loads(), 0);
}

}  // namespace
