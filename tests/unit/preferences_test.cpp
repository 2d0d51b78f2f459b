// The preferences file read and written on the client state directly, in a
// temporary working folder.
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "shell/client_state.h"
#include "support/files.h"
#include "ui/preferences.h"

namespace {

namespace fs = std::filesystem;

struct Settings {
  std::string callsign, userID, password;
  int flightMode, cockpitPosition;
  std::string crewID;
  int connectAtStartup;
};

void setSettings(const Settings& s) {
  client.callsign = s.callsign;
  client.userID = s.userID;
  client.password = s.password;
  client.flightMode = s.flightMode;
  client.cockpitPosition = s.cockpitPosition;
  client.crewID = s.crewID;
  client.connectAtStartup = s.connectAtStartup;
}

void expectSettings(const Settings& s) {
  EXPECT_EQ(client.callsign, s.callsign);
  EXPECT_EQ(client.userID, s.userID);
  EXPECT_EQ(client.password, s.password);
  EXPECT_EQ(client.flightMode, s.flightMode);
  EXPECT_EQ(client.cockpitPosition, s.cockpitPosition);
  EXPECT_EQ(client.crewID, s.crewID);
  EXPECT_EQ(client.connectAtStartup, s.connectAtStartup);
}

const Settings kDefaults = {"", "", "", 0, 0, "", 0};
// Values no file below names, to see which settings a read left alone.
const Settings kBefore = {"OLDCS", "olduser", "oldpass", 7, 9, "oldcrew", 5};

class PreferencesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder = testsupport::makeTemporaryFolder("quillsky-prefs");
    ASSERT_FALSE(folder.empty());
    fs::create_directories(folder / "Resources/plugins");
    previous = fs::current_path();
    fs::current_path(folder);
    setSettings(kDefaults);
  }
  void TearDown() override {
    fs::current_path(previous);
    std::error_code ignored;
    fs::permissions(folder / "Resources/plugins", fs::perms::owner_all, ignored);
    testsupport::removeFolder(folder);
    setSettings(kDefaults);
  }

  void writeFile(const std::string& content) { testsupport::writeWholeFile(kPreferencesPath, content); }
  std::string readFile() { return testsupport::readWholeFile(kPreferencesPath); }
  // Every entry of the plugins folder but the preferences file itself.
  std::vector<std::string> strayFiles() {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder / "Resources/plugins")) {
      if (entry.path().filename() != "qsprefs.txt") names.push_back(entry.path().filename());
    }
    return names;
  }

  fs::path folder, previous;
};

TEST_F(PreferencesTest, MissingFileKeepsEverySetting) {
  setSettings(kBefore);
  readPreferences();
  expectSettings(kBefore);
}

TEST_F(PreferencesTest, DefaultsAreSavedAsSevenEmptyOrZeroEntries) {
  writePreferences();
  EXPECT_EQ(readFile(),
            "callsign=;userID=;password=;flightMode=0;cockpitPosition=0;crewID=;"
            "connectAtStartup=0;");
}

TEST_F(PreferencesTest, SavedSettingsReadBackUnchanged) {
  const Settings cases[] = {
      {"N123AB", "pilot42", "s3cret", 1, 3, "crew7", 1},
      // The separator, the escape character, line breaks and "=" in text values.
      {"A;B", "user;id", "p%a;ss=w;rd", 0, 0, "c\r\nrew", 0},
      {"%3B", "%25", "%%;;%", 1, 1, "50%", 1},
      {"", "", "", 0, 2, "", 0},
  };
  for (const Settings& saved : cases) {
    SCOPED_TRACE(saved.password);
    setSettings(saved);
    writePreferences();
    std::string content = readFile();
    EXPECT_EQ(content.find('\n'), std::string::npos) << content;
    setSettings(kBefore);
    readPreferences();
    expectSettings(saved);
  }
}

TEST_F(PreferencesTest, SpecialCharactersAreEscapedInTheFile) {
  setSettings({"A;B", "u", "50%;x\r\n", 0, 0, "", 0});
  writePreferences();
  EXPECT_EQ(readFile(),
            "callsign=A%3BB;userID=u;password=50%25%3Bx%0D%0A;flightMode=0;cockpitPosition=0;"
            "crewID=;connectAtStartup=0;");
}

TEST_F(PreferencesTest, FlightModeIsSavedAsZeroOrOnePositionAsItIs) {
  setSettings({"", "", "", 2, 3, "", 1});
  writePreferences();
  std::string content = readFile();
  EXPECT_NE(content.find(";flightMode=1;"), std::string::npos) << content;
  EXPECT_NE(content.find(";cockpitPosition=3;"), std::string::npos) << content;
  EXPECT_NE(content.find(";connectAtStartup=1;"), std::string::npos) << content;
}

struct ReadCase {
  const char* name;
  std::string content;
  Settings expected;  // starting from kBefore
};

TEST_F(PreferencesTest, ReadsWhatTheFileHolds) {
  const ReadCase cases[] = {
      {"entries in any order",
       "connectAtStartup=1;crewID=C;cockpitPosition=2;flightMode=1;password=P;userID=U;"
       "callsign=S;",
       {"S", "U", "P", 1, 2, "C", 1}},
      {"unknown and mis-cased keys are skipped",
       "Callsign=X;USERID=Y;color=red;password=P;",
       {"OLDCS", "olduser", "P", 7, 9, "oldcrew", 5}},
      {"a line feed ends the reading",
       "userID=U;\ncallsign=S;",
       {"OLDCS", "U", "oldpass", 7, 9, "oldcrew", 5}},
      {"a later entry overwrites an earlier one",
       "userID=first;userID=second;",
       {"OLDCS", "second", "oldpass", 7, 9, "oldcrew", 5}},
      {"only the first = separates",
       "password=a=b=c;",
       {"OLDCS", "olduser", "a=b=c", 7, 9, "oldcrew", 5}},
      {"stray text before the first entry joins its key",
       "junk;userID=U;password=P;",
       {"OLDCS", "olduser", "P", 7, 9, "oldcrew", 5}},
      {"an entry without its ; is not applied",
       "userID=U;password=P",
       {"OLDCS", "U", "oldpass", 7, 9, "oldcrew", 5}},
      {"atoi conversions",
       "flightMode=2;cockpitPosition= -3x;connectAtStartup=yes;",
       {"OLDCS", "olduser", "oldpass", 2, -3, "oldcrew", 0}},
      {"integers beyond int are clamped",
       "flightMode=99999999999;cockpitPosition=-99999999999;connectAtStartup=+1;",
       {"OLDCS", "olduser", "oldpass", INT_MAX, INT_MIN, "oldcrew", 1}},
      {"a % that is none of the four escapes reads as itself",
       "password=100%;callsign=%41%3b%2;crewID=%0A%3B%25;",
       {"%41%3b%2", "olduser", "100%", 7, 9, "\n;%", 5}},
      {"an empty file",
       "",
       {"OLDCS", "olduser", "oldpass", 7, 9, "oldcrew", 5}},
  };
  for (const ReadCase& c : cases) {
    SCOPED_TRACE(c.name);
    writeFile(c.content);
    setSettings(kBefore);
    readPreferences();
    expectSettings(c.expected);
  }
}

TEST_F(PreferencesTest, OnlyTheFirst999BytesCount) {
  // An entry whose ";" is byte 999 is applied; one cut there is not.
  std::string head = "userID=U;crewID=";
  std::string fits = head + std::string(999 - head.size() - 1, 'c') + ";";
  ASSERT_EQ(fits.size(), 999u);
  writeFile(fits + "password=P;");
  setSettings(kBefore);
  readPreferences();
  EXPECT_EQ(client.crewID, std::string(999 - head.size() - 1, 'c'));
  EXPECT_EQ(client.password, "oldpass");

  writeFile(head + std::string(999 - head.size(), 'c') + ";");
  setSettings(kBefore);
  readPreferences();
  EXPECT_EQ(client.userID, "U");
  EXPECT_EQ(client.crewID, "oldcrew");
}

TEST_F(PreferencesTest, FileIsOwnerOnlyEvenWhenItWasNot) {
  writeFile("password=old;");
  fs::permissions(kPreferencesPath, fs::perms::owner_read | fs::perms::owner_write |
                                        fs::perms::group_read | fs::perms::others_read);
  client.password = "secret";
  writePreferences();
  struct stat info {};
  ASSERT_EQ(stat(kPreferencesPath, &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
  EXPECT_TRUE(strayFiles().empty());
}

TEST_F(PreferencesTest, FailedWriteKeepsTheOldFileAndLeavesNoTemporary) {
  const std::string old =
      "callsign=OLD;userID=keep;password=mine;flightMode=0;cockpitPosition=0;crewID=;"
      "connectAtStartup=0;";
  writeFile(old);
  setSettings({std::string(200, 'N'), "new", "new", 1, 1, "new", 1});

  // A full disk: writes past a few bytes fail (EFBIG instead of a signal).
  struct rlimit saved {};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  sighandler_t previousHandler = signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = saved;
  small.rlim_cur = 16;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  writePreferences();
  setrlimit(RLIMIT_FSIZE, &saved);
  signal(SIGXFSZ, previousHandler);
  EXPECT_EQ(readFile(), old);
  EXPECT_TRUE(strayFiles().empty());

  // The file's place is taken by a folder, so the rename fails.
  fs::remove(kPreferencesPath);
  fs::create_directory(kPreferencesPath);
  writePreferences();
  EXPECT_TRUE(fs::is_directory(kPreferencesPath));
  EXPECT_TRUE(strayFiles().empty());

  // A folder that does not exist: nothing is written, nothing is reported.
  fs::remove_all(folder / "Resources");
  writePreferences();
  EXPECT_FALSE(fs::exists(kPreferencesPath));
}

TEST(PreferenceIntegerTest, ConvertsAsAtoiDoes) {
  const struct {
    const char* text;
    int value;
  } cases[] = {{"0", 0},   {"3", 3},     {"-7", -7},      {"+5", 5},   {" \t12", 12},
               {"42abc", 42}, {"yes", 0}, {"", 0},        {"- 1", 0},  {"1 2", 1},
               {"2147483647", INT_MAX},   {"-2147483648", INT_MIN}};
  for (const auto& c : cases) EXPECT_EQ(parsePreferenceInteger(c.text), c.value) << c.text;
}

}  // namespace
