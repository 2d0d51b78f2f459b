// The whole-degree part of a coordinate text and the choice between the
// sender's local coordinates and its converted geographic position.
#include "net/remote_position.h"

#include <stdlib.h>

#include <gtest/gtest.h>

#include "host/xplm_graphics.h"
#include "simhost/simulator.h"

namespace {

struct PartCase {
  const char* number;
  const char* part;
};

TEST(WholeDegreePart, IsTheTextBeforeTheFirstPointAfterADigit) {
  const PartCase cases[] = {
      {"47.9", "47"},
      {"-0.5", "-0"},
      {"0.5", "0"},
      {"-122.308098", "-122"},
      {"1.5e-05", "1"},
      {" 12.5", " 12"},
      {"a.1.5", "a.1"},     // the first point after a digit, not the first point
      {"47", ""},           // a whole number prints without a point
      {"1e-05", ""},
      {".5", ""},           // no digit before the point
      {"nan", ""},
      {"", ""},
  };
  for (const PartCase& c : cases)
    EXPECT_EQ(wholeDegreePart(c.number), c.part) << "number \"" << c.number << "\"";
}

struct PositionCase {
  float ownLatitude, ownLongitude;
  const char* latitude;
  const char* longitude;
  bool sendersFrame;  // true: the sent local coordinates; false: converted
};

TEST(ResolveLocalPosition, UsesTheSendersFrameOnlyInTheSameWholeDegreeCell) {
  const PositionCase cases[] = {
      {47.9f, 8.1f, "47.2", "8.7", true},
      {47.9f, 8.9f, "47.2", "9.1", false},      // longitude cells differ
      {-0.5f, 8.1f, "0.5", "8.1", false},       // the sign makes the parts differ
      {0.5f, 8.1f, "0.5", "8.1", true},
      {47.4638f, -122.3081f, "47.9", "-122.99", true},
      {47.4638f, -122.3081f, "47.9", "-123.01", false},
      {47.0f, 8.1f, "47.5", "8.1", false},      // "47" has an empty part, "47.5" not
      {47.0f, 8.1f, "47", "8.1", true},         // two empty parts compare equal
      {47.9f, 8.1f, "47", "8.1", false},
      {47.9f, 8.1f, "north", "8.1", false},
  };
  for (const PositionCase& c : cases) {
    LocalPosition position = resolveLocalPosition(c.ownLatitude, c.ownLongitude, c.latitude,
                                                  c.longitude, "512.25", "-12.5", "300", "1e3");
    double x = -12.5, y = 300, z = 1000;
    if (!c.sendersFrame)
      XPLMWorldToLocal((double)(float)atof(c.latitude), (double)(float)atof(c.longitude),
                       (double)512.25f, &x, &y, &z);
    SCOPED_TRACE(testing::Message() << "own " << c.ownLatitude << "," << c.ownLongitude
                                    << " remote " << c.latitude << "," << c.longitude);
    EXPECT_EQ(position.x, x);
    EXPECT_EQ(position.y, y);
    EXPECT_EQ(position.z, z);
  }
}

TEST(ResolveLocalPosition, SendersCoordinatesGoThroughSinglePrecision) {
  LocalPosition position =
      resolveLocalPosition(47.9f, 8.1f, "47.2", "8.7", "0", "0.1", "", "junk");
  EXPECT_EQ(position.x, (double)0.1f);
  EXPECT_EQ(position.y, 0.0);  // empty and non-numeric texts read as 0
  EXPECT_EQ(position.z, 0.0);
}

}  // namespace
