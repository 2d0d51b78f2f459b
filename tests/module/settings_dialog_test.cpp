// The settings dialog of the real module, used through the stand-in as a
// person would: the plug-in menu, typing into fields, clicks. Settings are
// seen where a user sees them: in the dialog's fields and in the file saved.
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "host/xp_widgets.h"
#include "support/dialog_user.h"
#include "support/sim_fixture.h"

namespace {

constexpr const char kPrefs[] = "Resources/plugins/qsprefs.txt";
const char* const kCrewWidgets[] = {"Crew ID:", "Pilot", "Co-Pilot", "Navigator",
                                    "Flight Engineer", "Position:"};

class SettingsDialogTest : public SimFixture {
 protected:
  // Puts a preferences file in place and has the module read it, as it does
  // at every enable.
  void loadSettings(const std::string& content) {
    writeRootFile(kPrefs, content);
    sim.disable();
    sim.enable();
  }
  bool dialogShown() { return user.shown("Control & Settings"); }
  // Every crew widget (the crew ID field too) has this visibility.
  void expectCrewWidgetsShown(bool expected) {
    for (const char* name : kCrewWidgets) EXPECT_EQ(user.shown(name), expected) << name;
    EXPECT_EQ(sim.isWidgetShown(user.field("Crew ID:")), expected);
  }
  std::string savedFile() { return readRootFile(kPrefs); }

  testsupport::DialogUser user{sim};
};

struct WidgetRow {
  int widgetClass;
  const char* descriptor;
  int left, top, right, bottom;  // relative to L and T
  bool visible;
  std::vector<std::pair<int, intptr_t>> properties;
};

TEST_F(SettingsDialogTest, FirstOpeningBuildsTheDialogWithTheSettings) {
  // Not connectAtStartup: this test has no server.
  loadSettings("callsign=QS1;userID=alice;password=pw;crewID=crew9;");
  user.chooseSettings();

  const int L = sim.screenWidth() - 610, T = sim.screenHeight() - 360;
  auto kind = [](int type, int behaviour) {
    return std::vector<std::pair<int, intptr_t>>{{xpProperty_ButtonType, type},
                                                 {xpProperty_ButtonBehavior, behaviour}};
  };
  auto radioButton = kind(xpRadioButton, xpButtonBehaviorRadioButton);
  auto pushButton = kind(xpPushButton, xpButtonBehaviorPushButton);
  auto checkBox = kind(xpRadioButton, xpButtonBehaviorCheckBox);
  checkBox.push_back({xpProperty_ButtonState, 0});
  const std::vector<std::pair<int, intptr_t>> entry = {{xpProperty_TextFieldType, xpTextEntryField}};
  auto password = entry;
  password.push_back({xpProperty_PasswordMode, 1});
  const int C = xpWidgetClass_Caption, F = xpWidgetClass_TextField, B = xpWidgetClass_Button;
  const WidgetRow rows[] = {
      {xpWidgetClass_MainWindow, "Control & Settings", 0, 0, 300, -300, true,
       {{xpProperty_MainWindowHasCloseBoxes, 0}}},
      {xpWidgetClass_SubWindow, "", 20, -40, 280, -280, true,
       {{xpProperty_SubWindowType, xpSubWindowStyle_SubWindow}}},
      {C, "User ID:", 40, -50, 140, -62, true, {}},
      {F, "alice", 145, -50, 255, -62, true, entry},
      {C, "Password:", 40, -70, 140, -82, true, {}},
      {F, "pw", 145, -70, 255, -82, true, password},
      {C, "Call/Nickname:", 40, -90, 140, -102, true, {}},
      {F, "QS1", 145, -90, 255, -102, true, entry},
      {C, "Flight Mode:", 40, -110, 140, -122, true, {}},
      {B, "Solo", 145, -110, 155, -122, true, radioButton},
      {B, "Crewed", 190, -110, 200, -122, true, radioButton},
      {C, "Crew ID:", 40, -130, 140, -142, false, {}},
      {F, "crew9", 145, -130, 255, -142, false, entry},
      {C, "Position:", 40, -150, 140, -162, false, {}},
      {B, "Pilot", 145, -150, 155, -162, false, radioButton},
      {B, "Co-Pilot", 145, -170, 155, -182, false, radioButton},
      {B, "Navigator", 145, -190, 155, -202, false, radioButton},
      {B, "Flight Engineer", 145, -210, 155, -222, false, radioButton},
      {B, "Connect", 40, -240, 110, -252, true, pushButton},
      {B, "Disconnect", 40, -240, 110, -252, false, pushButton},
      {B, "Connect at startup", 145, -240, 155, -252, true, checkBox},
      {B, "Cancel", 65, -260, 120, -272, true, pushButton},
      {B, "Apply", 125, -260, 170, -272, true, pushButton},
      {B, "Save & Close", 175, -260, 255, -272, true, pushButton},
  };

  std::vector<const simhost::WidgetInfo*> created;
  for (const simhost::WidgetInfo& w : sim.widgets()) {
    if (!w.destroyed) created.push_back(&w);
  }
  ASSERT_EQ(created.size(), std::size(rows));
  XPWidgetID dialog = created[0]->id;
  EXPECT_TRUE(created[0]->isRoot);
  EXPECT_EQ(created[0]->callbacks.size(), 1u);
  for (size_t i = 0; i < created.size(); i++) {
    const simhost::WidgetInfo& w = *created[i];
    const WidgetRow& row = rows[i];
    SCOPED_TRACE(row.descriptor);
    EXPECT_EQ(w.widgetClass, row.widgetClass);
    EXPECT_EQ(w.descriptor, row.descriptor);
    EXPECT_EQ(w.left, L + row.left);
    EXPECT_EQ(w.top, T + row.top);
    EXPECT_EQ(w.right, L + row.right);
    EXPECT_EQ(w.bottom, T + row.bottom);
    EXPECT_EQ(w.visible, row.visible);
    if (i > 0) {
      EXPECT_FALSE(w.isRoot);
      EXPECT_EQ(w.container, dialog);
    }
    for (const auto& [property, value] : row.properties) {
      auto found = w.properties.find(property);
      ASSERT_NE(found, w.properties.end()) << "property " << property;
      EXPECT_EQ(found->second, value) << "property " << property;
    }
  }
  EXPECT_EQ(user.state("Solo"), 1);
  EXPECT_EQ(user.state("Crewed"), 0);
  EXPECT_EQ(user.state("Pilot"), 1);
  EXPECT_EQ(user.state("Navigator"), 0);
}

TEST_F(SettingsDialogTest, CrewedSettingsShowTheCrewWidgetsAndPosition) {
  loadSettings("flightMode=1;cockpitPosition=2;crewID=C1;");
  user.chooseSettings();
  EXPECT_EQ(user.state("Crewed"), 1);
  EXPECT_EQ(user.state("Solo"), 0);
  expectCrewWidgetsShown(true);
  EXPECT_EQ(user.state("Navigator"), 1);
  EXPECT_EQ(user.state("Pilot"), 0);
  EXPECT_EQ(user.fieldText("Crew ID:"), "C1");
}

TEST_F(SettingsDialogTest, CrewedShowsTheCrewWidgetsAndCancelKeepsTheSettings) {
  user.chooseSettings();
  expectCrewWidgetsShown(false);
  user.click("Crewed");
  expectCrewWidgetsShown(true);
  EXPECT_EQ(user.state("Solo"), 0);
  user.click("Solo");
  expectCrewWidgetsShown(false);
  EXPECT_EQ(user.state("Crewed"), 0);
  user.click("Crewed");
  user.click("Cancel");
  EXPECT_FALSE(dialogShown());
  EXPECT_FALSE(std::filesystem::exists(root + "/" + kPrefs));

  user.chooseSettings();
  EXPECT_TRUE(dialogShown());
  EXPECT_EQ(user.state("Solo"), 1);
  EXPECT_EQ(user.state("Crewed"), 0);
  expectCrewWidgetsShown(false);
}

TEST_F(SettingsDialogTest, ApplyWithCrewedAndNavigatorSavesAndStaysOpen) {
  user.chooseSettings();
  user.click("Crewed");
  user.click("Pilot");
  user.click("Navigator");
  EXPECT_EQ(user.state("Pilot"), 0);  // the group stays exclusive
  EXPECT_EQ(user.state("Navigator"), 1);
  user.type("Crew ID:", "crew5");
  user.click("Apply");
  EXPECT_TRUE(dialogShown());
  EXPECT_EQ(savedFile(),
            "callsign=;userID=;password=;flightMode=1;cockpitPosition=2;crewID=crew5;"
            "connectAtStartup=0;");

  user.click("Flight Engineer");
  user.click("Save & Close");
  EXPECT_FALSE(dialogShown());
  EXPECT_NE(savedFile().find(";cockpitPosition=3;"), std::string::npos) << savedFile();

  // Reopened, it shows what was saved.
  user.chooseSettings();
  EXPECT_EQ(user.state("Crewed"), 1);
  EXPECT_EQ(user.state("Flight Engineer"), 1);
  expectCrewWidgetsShown(true);
}

TEST_F(SettingsDialogTest, SoloSavesPilotWhateverPositionIsOn) {
  loadSettings("flightMode=1;cockpitPosition=3;");
  user.chooseSettings();
  user.click("Solo");
  user.click("Apply");
  EXPECT_NE(savedFile().find(";flightMode=0;cockpitPosition=0;"), std::string::npos) << savedFile();
}

TEST_F(SettingsDialogTest, PositionOutsideTheFourIsKeptUnlessOneIsChosen) {
  loadSettings("flightMode=1;cockpitPosition=7;");
  user.chooseSettings();
  for (const char* name : {"Pilot", "Co-Pilot", "Navigator", "Flight Engineer"}) {
    EXPECT_EQ(user.state(name), 0) << name;
  }
  user.click("Apply");
  EXPECT_NE(savedFile().find(";cockpitPosition=7;"), std::string::npos) << savedFile();
  user.click("Co-Pilot");
  user.click("Apply");
  EXPECT_NE(savedFile().find(";cockpitPosition=1;"), std::string::npos) << savedFile();
}

TEST_F(SettingsDialogTest, LongTextsAreCutWhenTaken) {
  user.chooseSettings();
  user.click("Crewed");
  user.type("User ID:", "ABCDEFGHIJKLMNOPQRST");                      // 20
  user.type("Password:", "abcdefghijklmnopqrstuvwxyz0123");           // 30
  user.type("Call/Nickname:", "CALLSIGN-TOO-LONG-X");                  // 19
  user.type("Crew ID:", "0123456789abcdef");                          // 16
  user.click("Apply");
  EXPECT_EQ(savedFile(),
            "callsign=CALLSIGN-TOO-LO;userID=ABCDEFGHIJKLMNO;password=abcdefghijklmnopqrstuvwxy;"
            "flightMode=1;cockpitPosition=0;crewID=0123456789abcde;connectAtStartup=0;");
  // The fields keep what was typed; the next opening shows the settings.
  EXPECT_EQ(user.fieldText("User ID:"), "ABCDEFGHIJKLMNOPQRST");
  user.click("Cancel");
  user.chooseSettings();
  EXPECT_EQ(user.fieldText("User ID:"), "ABCDEFGHIJKLMNO");
  EXPECT_EQ(user.fieldText("Password:"), "abcdefghijklmnopqrstuvwxy");
}

TEST_F(SettingsDialogTest, TextsWithTheSeparatorSurviveASave) {
  user.chooseSettings();
  user.type("Password:", "pa;ss%3B=1");
  user.type("Call/Nickname:", "A;B");
  user.type("User ID:", "me");
  user.click("Save & Close");
  loadSettings(savedFile());  // the next enable reads the file back
  user.chooseSettings();
  EXPECT_EQ(user.fieldText("Password:"), "pa;ss%3B=1");
  EXPECT_EQ(user.fieldText("Call/Nickname:"), "A;B");
  EXPECT_EQ(user.fieldText("User ID:"), "me");
}

TEST_F(SettingsDialogTest, MenuWhileShownKeepsEditsWhileHiddenDiscardsThem) {
  loadSettings("userID=kept;");
  user.chooseSettings();
  user.type("User ID:", "edited");
  user.click("Connect at startup");
  EXPECT_EQ(user.state("Connect at startup"), 1);
  user.chooseSettings();
  EXPECT_EQ(user.fieldText("User ID:"), "edited");
  EXPECT_EQ(user.state("Connect at startup"), 1);

  user.click("Cancel");
  user.chooseSettings();
  EXPECT_TRUE(dialogShown());
  EXPECT_EQ(user.fieldText("User ID:"), "kept");
  EXPECT_EQ(user.state("Connect at startup"), 0);
  EXPECT_EQ(savedFile(), "userID=kept;");
}

TEST_F(SettingsDialogTest, ConnectAtStartupIsTakenOnlyByApply) {
  user.chooseSettings();
  user.click("Connect at startup");
  user.click("Cancel");
  loadSettings("");  // an enable with an empty file: nothing was saved
  user.chooseSettings();
  EXPECT_EQ(user.state("Connect at startup"), 0);
  user.click("Connect at startup");
  user.click("Save & Close");
  EXPECT_NE(savedFile().find(";connectAtStartup=1;"), std::string::npos) << savedFile();  user.chooseSettings();
  EXPECT_EQ(user.state("Connect at startup"), 1);
}

TEST_F(SettingsDialogTest, CloseMessageHidesTheDialog) {
  user.chooseSettings();
  EXPECT_TRUE(sim.clickCloseBox(user.widget("Control & Settings")));
  EXPECT_FALSE(dialogShown());
}

// The stand-in's script actions drive the dialog end to end in a run of
// quillsky-sim, a separate process with its own root folder.
TEST_F(SettingsDialogTest, ScriptedRunSavesTheSettings) {
  const std::string scripted = root + "/scripted";
  std::filesystem::create_directories(scripted + "/Resources/plugins");
  const std::string script = scripted + "/settings.script";
  std::ofstream(script) << "# open, edit, save\n"
                           "0.1 menu Control & Settings\n"
                           "0.2 set-field \"User ID:\" scripted\n"
                           "0.2 set-field \"Call/Nickname:\" QS 9\n"
                           "0.3 click Crewed\n"
                           "0.4 click Co-Pilot\n"
                           "0.5 click \"Save & Close\"\n";
  const std::string command = std::string("'") + QUILLSKY_SIM_PATH + "' --plugin '" +
                              QUILLSKY_MODULE_PATH + "' --root '" + scripted +
                              "' --seconds 1 --fast --script '" + script + "' >/dev/null 2>&1";
  ASSERT_EQ(system(command.c_str()), 0) << command;
  EXPECT_EQ(readRootFile("scripted/Resources/plugins/qsprefs.txt"),
            "callsign=QS 9;userID=scripted;password=;flightMode=1;cockpitPosition=1;crewID=;"
            "connectAtStartup=0;");
}

}  // namespace
