// Data references: named simulator values read and written by handle.
// An unknown name yields a null handle; reads through it give 0 and
// writes through it do nothing.
#pragma once

#include "host/xplm_defs.h"

extern "C" {
QS_HOST_IMPORT XPLMDataRef XPLMFindDataRef(const char* name);
QS_HOST_IMPORT int XPLMGetDatai(XPLMDataRef ref);
QS_HOST_IMPORT void XPLMSetDatai(XPLMDataRef ref, int value);
QS_HOST_IMPORT float XPLMGetDataf(XPLMDataRef ref);
QS_HOST_IMPORT void XPLMSetDataf(XPLMDataRef ref, float value);
QS_HOST_IMPORT double XPLMGetDatad(XPLMDataRef ref);
QS_HOST_IMPORT void XPLMSetDatad(XPLMDataRef ref, double value);
// Array access: copies up to max elements from offset; with out null,
// returns the array's size.
QS_HOST_IMPORT int XPLMGetDatavf(XPLMDataRef ref, float* out, int offset, int max);
QS_HOST_IMPORT void XPLMSetDatavf(XPLMDataRef ref, float* values, int offset, int count);
QS_HOST_IMPORT int XPLMGetDatavi(XPLMDataRef ref, int* out, int offset, int max);
QS_HOST_IMPORT void XPLMSetDatavi(XPLMDataRef ref, int* values, int offset, int count);
}
