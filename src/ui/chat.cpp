// Placeholder.
#include "ui/chat.h"

int keySniffer(char, int, char, void*) { return 1; }
void handleWindowKey(XPLMWindowID, char, int, char, void*, int) {}
