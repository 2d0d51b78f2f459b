// End to end: quillsky-server and quillsky-sim processes, each simulator
// with its own root folder, preferences and aircraft file, running the
// real module. What the users would see is read from the simulators'
// print actions.
#include <gtest/gtest.h>
#include <time.h>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "support/server_harness.h"

using testsupport::ChildProcess;
using testsupport::ServerProcess;

namespace {

constexpr double kRunDeadline = 120.0;  // seconds for one simulator run on a busy machine

struct Settings {
  std::string callsign, userID, password;
  int cockpitPosition = 0;
  bool connect = true;
  bool viewOnly = false;  // a crew member's marker file
};

class EndToEndTest : public ::testing::Test {
 protected:
  void SetUp() override { folder = testsupport::makeTemporaryFolder("quillsky-e2e"); }
  void TearDown() override {
    for (auto& sim : sims) sim->stop(5.0);
    if (HasFailure()) ADD_FAILURE() << "server log:\n" << server.log();
    testsupport::removeFolder(folder);
  }

  void startServer(const std::vector<std::string>& options) {
    std::string error;
    ASSERT_TRUE(server.start(options, &error)) << error;
  }

  // A simulator folder with the preferences and the aircraft every player has.
  std::string makeRoot(const std::string& name, const Settings& settings) {
    std::string root = folder + "/" + name;
    testsupport::writeWholeFile(
        root + "/Resources/plugins/qsprefs.txt",
        "callsign=" + settings.callsign + ";userID=" + settings.userID + ";password=" + settings.password +
            ";flightMode=0;cockpitPosition=" + std::to_string(settings.cockpitPosition) +
            ";crewID=;connectAtStartup=" + (settings.connect ? "1" : "0") + ";\n");
    testsupport::writeWholeFile(root + "/Aircraft/Trainer/Trainer.acf", "A\n1100 version\n");
    if (settings.viewOnly) testsupport::writeWholeFile(root + "/Resources/plugins/viewonly.txt", "");
    return root;
  }

  // Starts quillsky-sim in root with the script; each one in a later second
  // than the one before, since the clients' tokens are seeded with the time
  // in seconds.
  ChildProcess* startSim(const std::string& root, const std::vector<std::string>& options,
                         const std::string& script) {
    EXPECT_TRUE(testsupport::waitUntil([&] { return time(nullptr) > lastStart; }, 5.0));
    lastStart = time(nullptr);
    testsupport::writeWholeFile(root + "/script.txt", script);
    std::vector<std::string> argv = {QUILLSKY_SIM_PATH, "--root", root, "--script", root + "/script.txt",
                                     "--aircraft", "Aircraft/Trainer/Trainer.acf"};
    argv.insert(argv.end(), options.begin(), options.end());
    sims.push_back(std::make_unique<ChildProcess>());
    std::string error;
    EXPECT_TRUE(sims.back()->start(argv, root + "/stdout.txt", root + "/stderr.txt", root, &error)) << error;
    return sims.back().get();
  }

  // Waits for the run to end and gives its standard output, one entry a line.
  std::vector<std::string> finish(ChildProcess* sim, const std::string& root) {
    EXPECT_TRUE(sim->waitForExit(kRunDeadline)) << root;
    EXPECT_EQ(sim->exitCode(), 0) << testsupport::readWholeFile(root + "/stderr.txt");
    std::vector<std::string> lines;
    std::istringstream in(testsupport::readWholeFile(root + "/stdout.txt"));
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }

  static bool contains(const std::vector<std::string>& lines, const std::string& text) {
    for (const std::string& line : lines)
      if (line.find(text) != std::string::npos) return true;
    return false;
  }

  // The plane-list lines of slot 1, one per print, in order.
  static std::vector<std::string> slotOneLines(const std::vector<std::string>& lines) {
    std::vector<std::string> found;
    for (const std::string& line : lines)
      if (line.rfind("1:", 0) == 0) found.push_back(line);
    return found;
  }

  std::string folder;
  ServerProcess server;
  std::vector<std::unique_ptr<ChildProcess>> sims;
  time_t lastStart = 0;
};

TEST_F(EndToEndTest, LoginWithAWrongPasswordIsRefusedAndShownToTheUser) {
  testsupport::writeWholeFile(server.folder() + "/users.txt", "alice secret\n");
  startServer({"--users", server.folder() + "/users.txt"});
  std::string root = makeRoot("alice", {"ALICE", "alice", "wrong"});
  ChildProcess* sim = startSim(root, {"--seconds", "2.5"},
                               "0.1 menu Toggle Plane List\n"
                               "2 print window plane-list\n"
                               "2 print window messages\n");
  std::vector<std::string> out = finish(sim, root);
  EXPECT_TRUE(contains(out, "TCP Conn Closed by Server"));
  EXPECT_TRUE(contains(out, "Login refused for alice"));
}

// The identity reports go out 10 s after start, so this run needs real time.
TEST_F(EndToEndTest, PilotsSeeEachOtherChatAndALeaverIsClearedFromTheList) {
  startServer({});
  std::string alphaRoot = makeRoot("alpha", {"ALPHA", "alpha", ""});
  std::string bravoRoot = makeRoot("bravo", {"BRAVO", "bravo", ""});
  ChildProcess* alpha = startSim(alphaRoot, {"--seconds", "15", "--fps", "30", "--at", "47.40,8.50,1000"},
                                 "11 key Tab\n"
                                 "11.1 type Hello from ALPHA\n"
                                 "11.2 key Return\n");
  ChildProcess* bravo = startSim(bravoRoot, {"--seconds", "19", "--fps", "30", "--at", "47.41,8.50,1000"},
                                 "0.1 menu Toggle Plane List\n"
                                 "12 print window plane-list\n"
                                 "12 print window messages\n"
                                 "18 print window plane-list\n");
  finish(alpha, alphaRoot);
  std::vector<std::string> out = finish(bravo, bravoRoot);
  std::vector<std::string> slotOne = slotOneLines(out);
  ASSERT_EQ(slotOne.size(), 2u);
  EXPECT_NE(slotOne[0].find("ALPHA"), std::string::npos) << slotOne[0];
  EXPECT_NE(slotOne[0].find("Trainer"), std::string::npos) << slotOne[0];
  EXPECT_TRUE(contains(out, "ALPHA: Hello from ALPHA"));
  // After Alpha's goodbye the slot is empty: neither call sign nor aircraft.
  EXPECT_EQ(slotOne[1].find("ALPHA"), std::string::npos) << slotOne[1];
  EXPECT_EQ(slotOne[1].find("Trainer"), std::string::npos) << slotOne[1];
}

TEST_F(EndToEndTest, CrewMemberAnnouncesItselfAndFollowsThePilotThroughSlotZero) {
  startServer({"--crew", "crew=pilot"});
  std::string pilotRoot = makeRoot("pilot", {"PILOT", "pilot", ""});
  std::string crewRoot = makeRoot("crew", {"CREW", "crew", "", 0, true, true});
  ChildProcess* pilot = startSim(pilotRoot, {"--seconds", "7", "--at", "47.20,8.30,1200", "--heading", "90",
                                             "--speed", "80"},
                                 "");
  // The crew member starts elsewhere in the same one-degree cell, standing still.
  ChildProcess* crew = startSim(crewRoot, {"--seconds", "5", "--at", "47.70,8.70,500"},
                                "0.5 print dataref sim/flightmodel/position/latitude\n"
                                "4.5 print dataref sim/flightmodel/position/latitude\n"
                                "4.5 print dataref sim/flightmodel/position/longitude\n");
  std::vector<std::string> out = finish(crew, crewRoot);
  finish(pilot, pilotRoot);
  ASSERT_EQ(out.size(), 3u);
  double latitude = std::stod(out[1]), longitude = std::stod(out[2]);
  // Eastbound at 80 m/s from 8.30: a few hundredths of a degree in 4 to 6 s.
  EXPECT_NEAR(latitude, 47.20, 0.005);
  EXPECT_GT(longitude, 8.30);
  EXPECT_LT(longitude, 8.35);
  std::string log = server.log();
  EXPECT_NE(log.find("crew view-only: rides with pilot"), std::string::npos) << log;
}

TEST_F(EndToEndTest, CoPilotHeadIsMirroredOnAViewChangeOnly) {
  struct Case {
    int cockpitPosition;
    std::string headAfter;
  } cases[] = {{1, "0.5"}, {0, "-0.5"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.cockpitPosition);
    std::string root = makeRoot("seat" + std::to_string(c.cockpitPosition), {"SEAT", "seat", "", c.cockpitPosition, false});
    ChildProcess* sim = startSim(root, {"--seconds", "2", "--fast"},
                                 "0.5 set dataref sim/graphics/view/pilots_head_x -0.5\n"
                                 "0.8 print dataref sim/graphics/view/pilots_head_x\n"
                                 "1 set dataref sim/graphics/view/view_type 1026\n"
                                 "1.5 print dataref sim/graphics/view/pilots_head_x\n");
    std::vector<std::string> out = finish(sim, root);
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[0], "-0.5");  // no view change yet
    EXPECT_EQ(out[1], c.headAfter);
  }
}

}  // namespace
