// Simulator utilities: the directory separator and the simulator's log.
#pragma once

#include "host/xplm_defs.h"

extern "C" {
// "/" on most platforms; only its first character is meaningful as a test.
QS_HOST_IMPORT const char* XPLMGetDirectorySeparator(void);
QS_HOST_IMPORT void XPLMDebugString(const char* text);
}
