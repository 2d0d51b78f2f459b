// Placing a remote aircraft in the user's scene frame.
//
// The simulator's local frame is centred on the scenery it has loaded, which
// is fixed by the whole-degree cell the user flies in. A sender in the same
// cell shares that frame, so its own local coordinates are exact; one in
// another cell has a different frame, and only its geographic position
// means anything here.
#include "net/remote_position.h"

#include "host/xplm_graphics.h"
#include "net/numbers.h"
#include "text/pattern.h"

std::string_view wholeDegreePart(std::string_view number) {
  // Lazy up to the first digit run that a point follows: the sign and the
  // whole degrees. A whole number prints without a point and has no part.
  static const Pattern wholeDegrees("(.*?\\d+)\\.", Pattern::kDefault);
  std::string_view part;
  if (!wholeDegrees.partialMatch(number, {&part})) return {};
  return part;
}

LocalPosition resolveLocalPosition(float ownLatitude, float ownLongitude,
                                   std::string_view latitudeText, std::string_view longitudeText,
                                   std::string_view elevationText, std::string_view xText,
                                   std::string_view yText, std::string_view zText) {
  // The user's position as a sender would write it, so that equal values
  // give equal texts.
  char ownLatitudeText[kMaxNumberText + 1];
  char ownLongitudeText[kMaxNumberText + 1];
  std::string_view ownLatitudeView(ownLatitudeText,
                                   writeReal(ownLatitudeText, ownLatitude) - ownLatitudeText);
  std::string_view ownLongitudeView(ownLongitudeText,
                                    writeReal(ownLongitudeText, ownLongitude) - ownLongitudeText);

  if (wholeDegreePart(ownLatitudeView) == wholeDegreePart(latitudeText) &&
      wholeDegreePart(ownLongitudeView) == wholeDegreePart(longitudeText)) {
    return {(double)parseReal(xText), (double)parseReal(yText), (double)parseReal(zText)};
  }
  LocalPosition position;
  XPLMWorldToLocal((double)parseReal(latitudeText), (double)parseReal(longitudeText),
                   (double)parseReal(elevationText), &position.x, &position.y, &position.z);
  return position;
}
