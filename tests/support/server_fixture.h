// The real module in the stand-in, talking to the test server on
// 127.0.0.1:49556. The server, the preferences file and the view-only
// marker are in place before the module loads, so a fixture whose
// preferences say connectAtStartup=1 is connected when the test begins.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "support/sim_fixture.h"
#include "support/test_server.h"

class ServerFixture : public SimFixture {
 protected:
  // Set these in a derived fixture's constructor; they act at SetUp.
  testsupport::ServerMode serverMode = testsupport::ServerMode::Accept;
  std::string preferences = "callsign=QS7;userID=pilot;password=secret;connectAtStartup=1;";
  bool viewOnlyMarker = false;

  std::unique_ptr<testsupport::TestServer> server;

  void prepareRoot() override {
    server = std::make_unique<testsupport::TestServer>(serverMode);
    ASSERT_TRUE(server->ok()) << server->error();
    writeRootFile("Resources/plugins/qsprefs.txt", preferences);
    if (viewOnlyMarker) writeRootFile("Resources/plugins/viewonly.txt", "");
  }

  void TearDown() override {
    SimFixture::TearDown();  // disconnects while the server still listens
    server.reset();
  }

  // Connects now, as the user's "connect at start-up" does at the next
  // enable: the preferences gain connectAtStartup=1, then the module is
  // disabled and enabled.
  void connectNow() {
    writeRootFile("Resources/plugins/qsprefs.txt", preferences + "connectAtStartup=1;");
    sim.disable();
    sim.enable();
  }

  // The plane list's first line as drawn by one more frame: the status
  // text, a blank, and the four two-letter traffic indicators. Shows the
  // plane list the first time.
  struct StatusLine {
    std::string text;
    std::string indicators;  // Tx Tr Ux Ur or blanks, 8 characters
  };
  StatusLine statusLine() {
    const simhost::WindowInfo* list = sim.nthWindow(0);
    if (list == nullptr) return {};
    if (!list->visible) sim.chooseMenuItem("Toggle Plane List");
    sim.runFrames(1);
    std::vector<std::string> lines = sim.stringsDrawnIn(list->id);
    if (lines.empty() || lines.front().size() < 9) return {};
    const std::string& line = lines.front();
    return {line.substr(0, line.size() - 9), line.substr(line.size() - 8)};
  }
};

// The complete lines of a stream, without their line feeds.
inline std::vector<std::string> splitLines(const std::string& bytes) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t end; (end = bytes.find('\n', start)) != std::string::npos; start = end + 1)
    lines.push_back(bytes.substr(start, end - start));
  return lines;
}

// The fields of a message split at every bar.
inline std::vector<std::string> splitFields(const std::string& text) {
  std::vector<std::string> fields;
  size_t start = 0;
  for (size_t end; (end = text.find('|', start)) != std::string::npos; start = end + 1)
    fields.push_back(text.substr(start, end - start));
  fields.push_back(text.substr(start));
  return fields;
}
