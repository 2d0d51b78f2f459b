// Shared C types of the simulator's interface: opaque handles and the
// linkage of every simulator function. All enumerations are plain ints.
#pragma once

#include <stdint.h>

#ifdef _WIN32
#define QS_HOST_IMPORT __declspec(dllimport)
#define QS_ENTRY_POINT extern "C" __declspec(dllexport)
#else
#define QS_HOST_IMPORT
#define QS_ENTRY_POINT extern "C" __attribute__((visibility("default")))
#endif

typedef void* XPLMDataRef;
typedef void* XPLMWindowID;
typedef void* XPLMMenuID;
typedef void* XPWidgetID;
