// The plug-ins menu, sub-menus and their items.
#pragma once

#include "host/xplm_defs.h"

extern "C" {
typedef void (*XPLMMenuHandler_f)(void* menuRef, void* itemRef);

QS_HOST_IMPORT XPLMMenuID XPLMFindPluginsMenu(void);
QS_HOST_IMPORT XPLMMenuID XPLMCreateMenu(const char* name, XPLMMenuID parent, int parentItem,
                                         XPLMMenuHandler_f handler, void* menuRef);
// Returns the new item's index; the last argument is ignored.
QS_HOST_IMPORT int XPLMAppendMenuItem(XPLMMenuID menu, const char* name, void* itemRef,
                                      int ignored);
QS_HOST_IMPORT void XPLMDestroyMenu(XPLMMenuID menu);
}
