#include "sim/crew.h"

#include <stdio.h>

#include "host/xplm_data.h"
#include "shell/client_state.h"

namespace {

constexpr int kCoPilot = 1;

void writeFlightOverrides(int value) {
  XPLMDataRef planePath = XPLMFindDataRef("sim/operation/override/override_planepath");
  XPLMDataRef flightControl = XPLMFindDataRef("sim/operation/override/override_flightcontrol");
  XPLMSetDatavi(planePath, &value, 0, 1);
  XPLMSetDatai(flightControl, value);
}

}  // namespace

void detectViewOnly() {
  FILE* marker = fopen(kViewOnlyMarkerPath, "r");
  if (marker == nullptr) return;
  client.viewOnly = 1;
  fclose(marker);
}

void holdFlightOverrides() { writeFlightOverrides(1); }

void releaseFlightOverrides() { writeFlightOverrides(0); }

void runHeadFix() {
  // Looked up at every call: the handles are not kept.
  XPLMDataRef viewTypeRef = XPLMFindDataRef("sim/graphics/view/view_type");
  XPLMDataRef headXRef = XPLMFindDataRef("sim/graphics/view/pilots_head_x");
  int viewType = XPLMGetDatai(viewTypeRef);
  // A co-pilot's head starts on the pilot's (negative, left) side of the
  // centre line; mirror it to the right seat once per change of view.
  if (viewType != client.lastViewType && client.cockpitPosition == kCoPilot &&
      XPLMGetDataf(headXRef) < 0.0f) {
    XPLMSetDataf(headXRef, XPLMGetDataf(headXRef) * -1.0f);
  }
  client.lastViewType = viewType;
}

int headPositionCallback(int, int, void*) {
  client.frameDrawSeen = 1;
  runHeadFix();
  return 1;
}
