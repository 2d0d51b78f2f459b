#include "text/pattern.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

TEST(PatternConsume, StoresTypedCapturesAndAdvancesPastTheMatch) {
  Pattern header("(\\d+)\\|(\\w)\\|", Pattern::kDefault);
  std::string_view input = "17|c|Alice";
  int slot = -1;
  std::string type;
  ASSERT_TRUE(header.consume(input, {&slot, &type}));
  EXPECT_EQ(slot, 17);
  EXPECT_EQ(type, "c");
  EXPECT_EQ(input, "Alice");

  // A view points into the subject itself.
  Pattern word("(\\w+)", Pattern::kDefault);
  std::string_view view;
  ASSERT_TRUE(word.consume(input, {&view}));
  EXPECT_EQ(view, "Alice");
  EXPECT_EQ(view.data(), input.data() - 5);
  EXPECT_TRUE(input.empty());
}

TEST(PatternConsume, MatchesOnlyAtTheStart) {
  Pattern number("(\\d+)\\|", Pattern::kDefault);
  std::string_view input = "x12|";
  int value = 5;
  EXPECT_FALSE(number.consume(input, {&value}));
  EXPECT_EQ(input, "x12|");
  EXPECT_EQ(value, 5);
}

TEST(PatternConsume, IntCaptureMustFitThirtyTwoBitsElseNothingIsStoredOrConsumed) {
  Pattern header("(\\d+)\\|(\\w)\\|", Pattern::kDefault);
  struct Case {
    const char* input;
    bool matches;
    int slot;
  } cases[] = {
      {"0|l|", true, 0},
      {"2147483647|l|", true, 2147483647},
      {"00000000000000000000000000000000000000019|l|", true, 19},
      {"2147483648|l|", false, 0},
      {"99999999999999999999|l|", false, 0},
  };
  for (const Case& c : cases) {
    std::string_view input = c.input;
    int slot = -7;
    std::string type = "unchanged";
    EXPECT_EQ(header.consume(input, {&slot, &type}), c.matches) << c.input;
    if (c.matches) {
      EXPECT_EQ(slot, c.slot) << c.input;
      EXPECT_TRUE(input.empty()) << c.input;
    } else {
      EXPECT_EQ(slot, -7) << c.input;
      EXPECT_EQ(type, "unchanged") << c.input;
      EXPECT_EQ(input, c.input);
    }
  }
}

TEST(PatternConsume, IntCaptureTakesASignButNoSpaceOrEmptyText) {
  Pattern any("(.*?)\\|", Pattern::kDefault);
  struct Case {
    const char* input;
    bool matches;
    int value;
  } cases[] = {{"-5|", true, -5}, {"+5|", true, 5}, {"-2147483648|", true, -2147483647 - 1},
               {" 5|", false, 0}, {"|", false, 0},   {"5x|", false, 0},
               {"+-5|", false, 0}};
  for (const Case& c : cases) {
    std::string_view input = c.input;
    int value = 99;
    EXPECT_EQ(any.consume(input, {&value}), c.matches) << c.input;
    EXPECT_EQ(value, c.matches ? c.value : 99) << c.input;
  }
}

TEST(PatternConsume, UnsetGroupCapturesEmptyTextAndSkipTargetsMatchUnstored) {
  Pattern optional("(a)?(b)(c)", Pattern::kDefault);
  std::string_view input = "bc!";
  std::string first = "old", third;
  ASSERT_TRUE(optional.consume(input, {&first, nullptr, &third}));
  EXPECT_EQ(first, "");
  EXPECT_EQ(third, "c");
  EXPECT_EQ(input, "!");
}

TEST(PatternConsume, MoreTargetsThanGroupsFails) {
  Pattern one("(a)", Pattern::kDefault);
  std::string_view input = "a";
  std::string x, y;
  EXPECT_FALSE(one.consume(input, {&x, &y}));
  EXPECT_EQ(input, "a");
}

TEST(PatternConsume, MultilineDotAllTakesEverythingAndDefaultStopsAtLineFeed) {
  std::string text;
  std::string_view input = "a\nb====c\r";
  Pattern all("(.*)", Pattern::kMultiline | Pattern::kDotAll);
  ASSERT_TRUE(all.consume(input, {&text}));
  EXPECT_EQ(text, "a\nb====c\r");

  input = "a\nb";
  Pattern line("(.*)", Pattern::kDefault);
  ASSERT_TRUE(line.consume(input, {&text}));
  EXPECT_EQ(text, "a");
  EXPECT_EQ(input, "\nb");
}

TEST(PatternConsume, AircraftBaseName) {
  Pattern baseName("^.*\\/(.*?)\\.[aA][cC][fF]", Pattern::kDefault);
  struct Case {
    const char* path;
    const char* name;  // nullptr: no match
  } cases[] = {
      {"Aircraft/Trainer/Trainer_A.acf", "Trainer_A"},
      {"Aircraft/Jet/JET.ACF", "JET"},
      {"/abs/dir.v2/model.x.AcF", "model.x"},
      {"a/x.acf/y.txt", "x"},  // the greedy part gives back to the last usable "/"
      {"Trainer.acf", nullptr},
      {"a/b/readme.txt", nullptr},
  };
  for (const Case& c : cases) {
    std::string_view input = c.path;
    std::string name = "unchanged";
    EXPECT_EQ(baseName.consume(input, {&name}), c.name != nullptr) << c.path;
    EXPECT_EQ(name, c.name ? c.name : "unchanged") << c.path;
  }
}

TEST(PatternConsume, KeyValueEntriesOneAfterAnother) {
  Pattern entry("(.*?)\\=(.*?)\\;", Pattern::kDefault);
  std::string_view input = "callsign=A;B;userID=u=v;x=1\ny=2;";
  std::string key, value;
  ASSERT_TRUE(entry.consume(input, {&key, &value}));
  EXPECT_EQ(key, "callsign");
  EXPECT_EQ(value, "A");
  ASSERT_TRUE(entry.consume(input, {&key, &value}));
  EXPECT_EQ(key, "B;userID");
  EXPECT_EQ(value, "u=v");
  EXPECT_FALSE(entry.consume(input, {&key, &value}));  // a line feed ends the entries
  EXPECT_EQ(input, "x=1\ny=2;");
}

TEST(PatternConsume, LongSubjectBeyondTheJitStackStillMatches) {
  Pattern line("(\\d+)\\|(\\w)\\|(.*?)(====)", Pattern::kDefault);
  std::string text = "3|m|" + std::string(200000, 'x') + "====rest";
  std::string_view input = text;
  std::string_view payload;
  ASSERT_TRUE(line.consume(input, {nullptr, nullptr, &payload}));
  EXPECT_EQ(payload.size(), 200000u);
  EXPECT_EQ(input, "rest");

  Pattern fields("(.*?)\\|(.*?)\\|", Pattern::kDefault);
  text = std::string(100000, 'a') + "|" + std::string(100000, 'b') + "|";
  input = text;
  std::string_view a, b;
  ASSERT_TRUE(fields.consume(input, {&a, &b}));
  EXPECT_EQ(b.size(), 100000u);
}

TEST(PatternPartialMatch, WholeDegreePart) {
  Pattern degrees("(.*?\\d+)\\.", Pattern::kDefault);
  struct Case {
    const char* text;
    const char* part;  // nullptr: no match
  } cases[] = {{"47.9", "47"},     {"-0.5", "-0"},   {"8.125", "8"}, {"-12.5", "-12"},
               {"x.5y7.2", "x.5y7"}, {"47", nullptr}, {"1e-05", nullptr}, {".5", nullptr},
               {"", nullptr}};
  for (const Case& c : cases) {
    std::string part = "unchanged";
    EXPECT_EQ(degrees.partialMatch(c.text, {&part}), c.part != nullptr) << c.text;
    EXPECT_EQ(part, c.part ? c.part : "unchanged") << c.text;
  }
}

TEST(PatternPartialMatch, FindsAMatchAnywhere) {
  Pattern number("(\\d+)", Pattern::kDefault);
  int value = 0;
  EXPECT_TRUE(number.partialMatch("abc 42 def", {&value}));
  EXPECT_EQ(value, 42);
  EXPECT_FALSE(number.partialMatch("none", {&value}));
}

TEST(PatternGlobalReplace, ReplacesEveryRunAndCountsThem) {
  Pattern lineEnds("[\\n\\r]+", Pattern::kDefault);
  struct Case {
    const char* text;
    const char* replaced;
    int count;
  } cases[] = {
      {"1|c|A\r\n2|c|B\n\n\n3|m|x\r", "1|c|A====2|c|B====3|m|x====", 3},
      {"\n\r\r\n", "====", 1},
      {"no line end", "no line end", 0},
      {"", "", 0},
  };
  for (const Case& c : cases) {
    std::string text = c.text;
    EXPECT_EQ(lineEnds.globalReplace(text, "===="), c.count) << c.text;
    EXPECT_EQ(text, c.replaced);
  }
}

TEST(PatternGlobalReplace, EmptyMatchesStepOverOneCharacter) {
  Pattern none("x*", Pattern::kDefault);
  std::string text = "abxc";
  EXPECT_EQ(none.globalReplace(text, "-"), 4);
  EXPECT_EQ(text, "-a-b-c-");
}

TEST(PatternAppendReplaced, AppendsToWhatIsThere) {
  Pattern lineEnds("[\\n\\r]+", Pattern::kDefault);
  std::string out = "kept";
  EXPECT_EQ(lineEnds.appendReplaced(out, "\nA\r\n", "===="), 2);
  EXPECT_EQ(out, "kept====A====");
}
