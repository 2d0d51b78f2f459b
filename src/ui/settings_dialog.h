// The plug-in menu's handler and the settings dialog.
#pragma once

#include <stdint.h>

#include "host/xplm_defs.h"

// Item references of the plug-in menu.
extern const char kMenuItemSettings[];    // "1": "Control & Settings"
extern const char kMenuItemPlaneList[];   // "2": "Toggle Plane List"

void menuHandler(void* menuRef, void* itemRef);
void createSettingsDialog(int width, int height);
void refreshSettingsDialog();
int settingsDialogHandler(int message, XPWidgetID widget, intptr_t param1, intptr_t param2);
