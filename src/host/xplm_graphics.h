// 2-D drawing helpers of the simulator and the world-to-local projection.
#pragma once

#include "host/xplm_defs.h"

enum {
  xplmFont_Basic = 0,
};

extern "C" {
QS_HOST_IMPORT void XPLMSetGraphicsState(int fog, int textureUnits, int lighting,
                                         int alphaTesting, int alphaBlending, int depthTesting,
                                         int depthWriting);
QS_HOST_IMPORT void XPLMDrawTranslucentDarkBox(int left, int top, int right, int bottom);
// rgb: three values 0..1; wrapWidth: pixels, or null for no wrap.
QS_HOST_IMPORT void XPLMDrawString(float* rgb, int x, int y, const char* text, int* wrapWidth,
                                   int font);
// Degrees and metres to the scene's local frame: x east, y up, z south, metres.
QS_HOST_IMPORT void XPLMWorldToLocal(double latitude, double longitude, double elevation,
                                     double* x, double* y, double* z);
}
