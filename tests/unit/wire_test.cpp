#include "net/wire.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cstdio>
#include <string>
#include <tuple>
#include <vector>

// ---- Messages from the client.

TEST(WireBuilders, ExactBytes) {
  struct Case {
    std::string built;
    const char* expected;
  } cases[] = {
      {buildLogin(1234, "pilot7", "0123456789abcdef0123456789abcdef"),
       "1234|Opening Connection|pilot7|0123456789abcdef0123456789abcdef|\n"},
      {buildLogin(0, "", ""), "0|Opening Connection|||\n"},
      {buildClosingNotice(32767), "32767|Closing Connection\n"},
      {buildAircraftReport(5, "/sim/Aircraft/Trainer/Trainer_A.acf"), "5|PLANE|/sim/Aircraft/Trainer/Trainer_A.acf\n"},
      {buildCallsignReport(5, "Red|One", 0), "5|CALLSIGN|Red|One|\n"},
      {buildCallsignReport(5, "Red One", 1), "5|VOCALLSIGN|Red One|\n"},
      {buildChatMessage(42, "hello | world"), "42|MESSAGE|hello | world\n"},
      {buildChatMessage(42, ""), "42|MESSAGE|\n"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.built, c.expected);
}

namespace {

PositionSample sampleWith(float base) {
  PositionSample sample;
  for (int i = 0; i < 17; ++i) sample.reals[i] = base * (i + 1) - 0.1f * i;
  sample.reals[3] = 47.0f;  // a whole latitude
  sample.reals[9] = 0.0f;   // flaps up
  sample.reals[10] = 1e-5f;
  for (int i = 0; i < 10; ++i) sample.gear[i] = i % 2 ? 1.0f : 0.25f;
  for (int i = 0; i < 5; ++i) sample.lights[i] = i % 2;
  for (int i = 0; i < 8; ++i) sample.throttle[i] = 0.125f * i;
  sample.ticks[0] = 86400123.0f;
  sample.ticks[1] = 86400124.0f;
  return sample;
}

// The same report as printf would write it.
std::string printfReport(int token, const char* tag, const PositionSample& s) {
  std::string text = std::to_string(token) + tag;
  char field[64];
  auto real = [&](float v) { snprintf(field, sizeof field, "|%.9g", static_cast<double>(v)); text += field; };
  for (float v : s.reals) real(v);
  for (float v : s.gear) real(v);
  for (int v : s.lights) { snprintf(field, sizeof field, "|%d", v); text += field; }
  for (float v : s.throttle) real(v);
  for (float v : s.ticks) real(v);
  return text;
}

std::string report(int token, int viewOnly, const PositionSample& sample) {
  char out[kMaxPositionReport];
  return std::string(out, buildPositionReport(out, token, viewOnly, sample));
}

}  // namespace

TEST(PositionReport, FortyTwoFieldsAsPrintfWritesThem) {
  PositionSample sample = sampleWith(-1234.5678f);
  std::string built = report(32767, 0, sample);
  EXPECT_EQ(built, printfReport(32767, "|LOC", sample));
  EXPECT_EQ(built.compare(0, 6, "32767|"), 0);
  EXPECT_NE(built.find("|47|"), std::string::npos);
  EXPECT_NE(built.back(), '|');
  EXPECT_EQ(std::count(built.begin(), built.end(), '|'), 1 + kPositionFieldCount);
  EXPECT_EQ(report(7, 1, sample), printfReport(7, "|VOLOC", sample));
}

TEST(PositionReport, LongestValuesFitTheBound) {
  PositionSample sample;
  for (float& v : sample.reals) v = -1.17549421e-38f;  // 15 characters each, the longest
  for (float& v : sample.gear) v = -1.17549421e-38f;
  for (float& v : sample.throttle) v = -1.17549421e-38f;
  for (float& v : sample.ticks) v = -1.17549421e-38f;
  for (int& v : sample.lights) v = -2147483647 - 1;
  std::string built = report(-2147483647 - 1, 1, sample);
  EXPECT_EQ(built, printfReport(-2147483647 - 1, "|VOLOC", sample));
  EXPECT_LE(built.size(), static_cast<size_t>(kMaxPositionReport));
}

// ---- Position datagrams.

namespace {

// Fields 1 to 40, each followed by a bar.
std::string fieldsText(const std::vector<std::string>& fields) {
  std::string text;
  for (const std::string& f : fields) text += f + "|";
  return text;
}

std::vector<std::string> goodFields() {
  std::vector<std::string> fields;
  for (int i = 1; i <= 40; ++i) fields.push_back(std::to_string(i) + ".5");
  for (int i = 28; i <= 32; ++i) fields[i - 1] = std::to_string(i % 2);
  return fields;
}

std::string datagramText(const std::string& header, const std::vector<std::string>& fields) {
  return header + fieldsText(fields);
}

bool recognise(const std::string& text, PositionDatagram* datagram) {
  return recognisePositionDatagram(text.data(), static_cast<int>(text.size()), datagram);
}

}  // namespace

TEST(PositionDatagram, TakesSlotAndFortyFieldsAsViews) {
  std::vector<std::string> fields = goodFields();
  fields[0] = "-12.5";
  fields[4] = "";  // an empty real field is still a field
  for (const char* tail : {"", "86400123|86400124", "anything|at all"}) {
    std::string text = datagramText("7|l|", fields) + tail;
    PositionDatagram datagram;
    ASSERT_TRUE(recognise(text, &datagram)) << tail;
    EXPECT_EQ(datagram.slot, 7);
    for (int i = 0; i < kDatagramFieldCount; ++i) EXPECT_EQ(datagram.fields[i], fields[i]) << i;
    EXPECT_GE(datagram.fields[0].data(), text.data());
    EXPECT_LT(datagram.fields[39].data(), text.data() + text.size());
  }
}

TEST(PositionDatagram, ReportRoundTripsThroughTheDatagramForm) {
  PositionSample sample = sampleWith(3.3f);
  std::string sent = report(99, 0, sample);
  std::string received = "4|l|" + sent.substr(sent.find("|LOC|") + 5);  // as the server relays it
  PositionDatagram datagram;
  ASSERT_TRUE(recognise(received, &datagram));
  for (int i = 0; i < 17; ++i) EXPECT_EQ(parseReal(datagram.fields[i]), sample.reals[i]) << i;
  for (int i = 0; i < 10; ++i) EXPECT_EQ(parseReal(datagram.fields[17 + i]), sample.gear[i]) << i;
  for (int i = 0; i < 5; ++i) EXPECT_EQ(datagram.fields[27 + i], std::to_string(sample.lights[i])) << i;
  for (int i = 0; i < 8; ++i) EXPECT_EQ(parseReal(datagram.fields[32 + i]), sample.throttle[i]) << i;
}

TEST(PositionDatagram, SlotNumbersWithinThirtyTwoBits) {
  struct Case {
    const char* slot;
    bool taken;
    int value;
  } cases[] = {{"0", true, 0},   {"19", true, 19}, {"20", true, 20},  // the range is the receiver's test
               {"2147483647", true, 2147483647}, {"2147483648", false, 0}, {"-1", false, 0},
               {"", false, 0}};
  for (const Case& c : cases) {
    PositionDatagram datagram;
    datagram.slot = -99;
    EXPECT_EQ(recognise(datagramText(std::string(c.slot) + "|l|", goodFields()), &datagram), c.taken) << c.slot;
    EXPECT_EQ(datagram.slot, c.taken ? c.value : -99) << c.slot;
  }
}

TEST(PositionDatagram, EachMalformedPartDropsTheDatagramAndTheNextGoodOneIsTaken) {
  auto with = [](int field, const std::string& value) {
    std::vector<std::string> fields = goodFields();
    fields[field - 1] = value;
    return datagramText("3|l|", fields);
  };
  std::string good = datagramText("3|l|", goodFields());
  struct Case {
    const char* what;
    std::string text;
  } cases[] = {
      {"type c", datagramText("3|c|", goodFields())},
      {"type of two letters", datagramText("3|ll|", goodFields())},
      {"no slot", datagramText("x|l|", goodFields())},
      {"line feed in fields 1-9", with(3, "1\n2")},
      {"line feed in fields 10-17", with(12, "\n")},
      {"line feed in fields 18-27", with(20, "0.5\n")},
      {"two-digit beacon", with(28, "10")},
      {"letter as a light", with(30, "x")},
      {"empty light", with(32, "")},
      {"line feed in fields 33-40", with(40, "\n1")},
      {"cut in fields 1-9", good.substr(0, good.find("9.5|"))},
      {"cut in fields 10-17", good.substr(0, good.find("17.5|"))},
      {"cut in fields 18-27", good.substr(0, good.find("27.5|"))},
      {"cut in the lights", good.substr(0, good.find("|0|1|") + 3)},
      {"no bar after field 40", good.substr(0, good.size() - 1)},
      {"empty", ""},
  };
  for (const Case& c : cases) {
    PositionDatagram datagram;
    datagram.slot = -99;
    EXPECT_FALSE(recognise(c.text, &datagram)) << c.what;
    EXPECT_EQ(datagram.slot, -99) << c.what;
    ASSERT_TRUE(recognise(good, &datagram)) << "after " << c.what;
    EXPECT_EQ(datagram.slot, 3);
  }
}

TEST(PositionDatagram, LightsOfOneDigitEach) {
  std::vector<std::string> fields = goodFields();
  fields[27] = "1";
  fields[28] = "0";
  std::string text = datagramText("2|l|", fields);
  PositionDatagram datagram;
  ASSERT_TRUE(recognise(text, &datagram));
  EXPECT_EQ(datagram.fields[27], "1");
  EXPECT_EQ(datagram.fields[28], "0");
}

TEST(PositionDatagram, TextEndsAtTheFirstNulAndAtTheLength) {
  std::string good = datagramText("3|l|", goodFields());
  PositionDatagram datagram;
  std::string nulInside = good;
  nulInside[good.find("20.5")] = '\0';
  EXPECT_FALSE(recognise(nulInside, &datagram));
  std::string nulAfter = good + std::string(1, '\0') + "garbage";
  EXPECT_TRUE(recognise(nulAfter, &datagram));
  // A length short of the last bar cuts the datagram, whatever lies beyond.
  EXPECT_FALSE(recognisePositionDatagram(good.data(), static_cast<int>(good.size()) - 1, &datagram));
  EXPECT_FALSE(recognisePositionDatagram(good.data(), 0, &datagram));
  EXPECT_FALSE(recognisePositionDatagram(good.data(), -1, &datagram));
}

// ---- Stream framing.

namespace {

typedef std::tuple<int, char, std::string> Line;

void collect(const StreamLine& line, void* context) {
  static_cast<std::vector<Line>*>(context)->emplace_back(line.slot, line.type, std::string(line.payload));
}

// Feeds the reads one after the other, taking lines after each.
std::vector<Line> feed(std::string& buffer, const std::vector<std::string>& reads) {
  std::vector<Line> lines;
  for (const std::string& read : reads) {
    appendStreamBytes(buffer, read.data(), static_cast<int>(read.size()));
    takeStreamLines(buffer, collect, &lines);
  }
  return lines;
}

}  // namespace

TEST(StreamFraming, LinesFromReads) {
  struct Case {
    const char* what;
    std::vector<std::string> reads;
    std::vector<Line> lines;
    std::string rest;
  } cases[] = {
      {"CR LF", {"3|c|Alice\r\n"}, {{3, 'c', "Alice"}}, ""},
      {"blank lines after a line", {"3|c|A\n\n\r\n\n4|p|a/b.acf\r\n"}, {{3, 'c', "A"}, {4, 'p', "a/b.acf"}}, ""},
      {"two lines in one read", {"1|c|A\n2|m|hi\n"}, {{1, 'c', "A"}, {2, 'm', "hi"}}, ""},
      {"a line in three reads", {"12|m|hel", "lo wor", "ld\n"}, {{12, 'm', "hello world"}}, ""},
      {"a partial line waits", {"1|c|A\n2|c|B"}, {{1, 'c', "A"}}, "2|c|B"},
      {"CR LF split between reads", {"3|c|A\r", "\n4|c|B\r\n"}, {{3, 'c', "A"}, {4, 'c', "B"}}, ""},
      {"bars in the payload", {"0|m|a|b||c|\n"}, {{0, 'm', "a|b||c|"}}, ""},
      {"empty payload", {"3|c|\n"}, {{3, 'c', ""}}, ""},
      {"payload ending in =", {"3|m|2+2=\n4|m|x===\n5|c|B\n"},
       {{3, 'm', "2+2="}, {4, 'm', "x==="}, {5, 'c', "B"}}, ""},
      {"other type letters", {"7|l|x\n8|_|y\n"}, {{7, 'l', "x"}, {8, '_', "y"}}, ""},
      {"bytes after a NUL are not read", {std::string("3|c|A\n\0" "4|c|B\n", 12)}, {{3, 'c', "A"}}, ""},
      // A front that is not a line is skipped to its separator, and the
      // lines behind it are still taken in the same pass.
      {"garbage line", {"garbage\n5|c|B\n"}, {{5, 'c', "B"}}, ""},
      {"slot too long for an int", {"99999999999|c|A\n5|c|B\n"}, {{5, 'c', "B"}}, ""},
      {"type of two letters", {"5|cc|A\n6|c|B\n"}, {{6, 'c', "B"}}, ""},
      {"no type", {"5||A\n6|c|B\n"}, {{6, 'c', "B"}}, ""},
      {"garbage ending in =", {"junk=\n6|c|B\n"}, {{6, 'c', "B"}}, ""},
      {"garbage without a line end waits", {"1|c|A\njunk"}, {{1, 'c', "A"}}, "junk"},
  };
  for (const Case& c : cases) {
    std::string buffer;
    EXPECT_EQ(feed(buffer, c.reads), c.lines) << c.what;
    EXPECT_EQ(buffer, c.rest) << c.what;
  }
}

TEST(StreamFraming, BufferWithoutALineEndIsBoundedAndTheNextLineStillComes) {
  std::string buffer;
  std::string chunk(kReadChunkSize, 'x');
  std::vector<Line> lines;
  for (int i = 0; i < 100; ++i) {
    lines = feed(buffer, {chunk});
    EXPECT_TRUE(lines.empty());
    ASSERT_LE(buffer.size(), kMaxStreamBuffer);
  }
  // The tail of the overlong line is skipped; the line after it is whole.
  EXPECT_EQ(feed(buffer, {"tail\n5|c|B\n"}), std::vector<Line>{Line(5, 'c', "B")});
  EXPECT_TRUE(buffer.empty());
}

TEST(StreamFraming, LongLineWithinTheBoundIsTaken) {
  std::string buffer;
  std::string payload(kMaxStreamBuffer - 100, 'y');
  std::string text = "9|m|" + payload + "\r\n";
  std::vector<Line> lines;
  for (size_t at = 0; at < text.size(); at += kReadChunkSize)
    for (const Line& line : feed(buffer, {text.substr(at, kReadChunkSize)})) lines.push_back(line);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(std::get<2>(lines[0]), payload);
}

TEST(StreamFraming, SeparatorKeepsTheBufferUntilItsLinesAreTaken) {
  // Past the bound but holding a line end: the line is taken, then the
  // overlong rest goes.
  std::string buffer = "1|c|A====" + std::string(kMaxStreamBuffer, 'z');
  appendStreamBytes(buffer, "zz", 2);
  EXPECT_EQ(buffer.size(), 9 + kMaxStreamBuffer + 2);
  std::vector<Line> lines;
  takeStreamLines(buffer, collect, &lines);
  EXPECT_EQ(lines, std::vector<Line>{Line(1, 'c', "A")});
  EXPECT_TRUE(buffer.empty());
}
