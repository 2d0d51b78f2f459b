// Aircraft: the multiplayer aircraft the plug-in takes over and the models
// they are drawn with. Index 0 is the user's aircraft.
#pragma once

#include "host/xplm_defs.h"

extern "C" {
typedef void (*XPLMPlanesAvailable_f)(void* ref);

QS_HOST_IMPORT void XPLMSetActiveAircraftCount(int count);
// paths: null-terminated list or null. Returns 1 when access was granted.
QS_HOST_IMPORT int XPLMAcquirePlanes(char** paths, XPLMPlanesAvailable_f callback, void* ref);
QS_HOST_IMPORT void XPLMReleasePlanes(void);
QS_HOST_IMPORT void XPLMDisableAIForPlane(int index);
QS_HOST_IMPORT void XPLMSetAircraftModel(int index, const char* path);
// fileName must hold 256 bytes, path 512.
QS_HOST_IMPORT void XPLMGetNthAircraftModel(int index, char* fileName, char* path);
}

enum {
  kAircraftFileNameSize = 256,
  kAircraftPathSize = 512,
};
