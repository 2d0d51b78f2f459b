// The plane-list and message windows: drawing, dragging and their timers.
#pragma once

#include "host/xplm_defs.h"

void drawOverlayWindow(XPLMWindowID window, void* ref);
void drawWindowFrame(int left, int top, int right, int bottom, int active, float alpha);
int handleWindowClick(XPLMWindowID window, int x, int y, int mouseStatus, void* ref);
float cursorBlinkTimer(float sinceLastCall, float sinceLastFlightLoop, int counter, void* ref);
float messageCountdownTimer(float sinceLastCall, float sinceLastFlightLoop, int counter,
                            void* ref);
float messageFadeTimer(float sinceLastCall, float sinceLastFlightLoop, int counter, void* ref);
