// Outgoing reports: identity every 10 s, position every frame.
#pragma once

// Flight loop: aircraft and call-sign reports; 10 s while connected, 1 s not.
float identityReportTimer(float sinceLastCall, float sinceLastFlightLoop, int counter, void* ref);
// Draw callback, phase 25: one position report per frame.
int positionReportCallback(int phase, int isBefore, void* ref);
// The position report's per-frame work, shared with the frame fallback.
void sendPositionReport();
