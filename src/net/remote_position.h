// Where a remote aircraft is shown: the sender's local coordinates when both
// aircraft share a whole-degree cell, else its converted geographic position.
#pragma once

#include <string_view>

struct LocalPosition {
  double x, y, z;  // metres, scene frame
};

// The text before the first "." that follows a digit; empty when none.
std::string_view wholeDegreePart(std::string_view number);
LocalPosition resolveLocalPosition(float ownLatitude, float ownLongitude,
                                   std::string_view latitudeText, std::string_view longitudeText,
                                   std::string_view elevationText, std::string_view xText,
                                   std::string_view yText, std::string_view zText);
