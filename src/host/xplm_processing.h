// Flight loops: callbacks the simulator calls again after the interval they
// return (seconds when positive, frames when negative, never when 0).
#pragma once

#include "host/xplm_defs.h"

extern "C" {
typedef float (*XPLMFlightLoop_f)(float sinceLastCall, float sinceLastFlightLoop, int counter,
                                  void* ref);

QS_HOST_IMPORT void XPLMRegisterFlightLoopCallback(XPLMFlightLoop_f callback, float interval,
                                                   void* ref);
QS_HOST_IMPORT void XPLMUnregisterFlightLoopCallback(XPLMFlightLoop_f callback, void* ref);
}
