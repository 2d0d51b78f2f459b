// View-only crew mode and the co-pilot's head-position fix.
#pragma once

// Relative to the simulator's working folder; only its presence matters.
constexpr const char* kViewOnlyMarkerPath = "Resources/plugins/viewonly.txt";

// Sets viewOnly when the marker file can be opened; never clears it.
void detectViewOnly();
// A crew member's aircraft is flown by the pilot's positions in slot 0: keep
// the simulator's own flight model and path from fighting them.
void holdFlightOverrides();
// Hands the user's aircraft back to the simulator.
void releaseFlightOverrides();
// Draw callback, phase 0: the head fix once per frame.
int headPositionCallback(int phase, int isBefore, void* ref);
// The head fix's per-frame work, shared with the frame fallback.
void runHeadFix();
