// Placeholder.
#include "ui/overlay.h"

void drawOverlayWindow(XPLMWindowID, void*) {}
void drawWindowFrame(int, int, int, int, int, float) {}
int handleWindowClick(XPLMWindowID, int, int, int, void*) { return 1; }
float cursorBlinkTimer(float, float, int, void*) { return 0.5f; }
float messageCountdownTimer(float, float, int, void*) { return 1.0f; }
float messageFadeTimer(float, float, int, void*) { return 0.01f; }
