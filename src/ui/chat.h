// Chat entry from the keyboard.
#pragma once

#include "host/xplm_defs.h"

// Tab opens the message window ready for typing, and closes it again.
int keySniffer(char key, int flags, char virtualKey, void* ref);
// Edits and sends the chat line while the message window holds the focus.
void handleWindowKey(XPLMWindowID window, char key, int flags, char virtualKey, void* ref,
                     int losingFocus);
