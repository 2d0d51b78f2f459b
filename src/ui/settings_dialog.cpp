// Placeholder.
#include "ui/settings_dialog.h"

const char kMenuItemSettings[] = "1";
const char kMenuItemPlaneList[] = "2";

void menuHandler(void*, void*) {}
void createSettingsDialog(int, int) {}
void refreshSettingsDialog() {}
int settingsDialogHandler(int, XPWidgetID, intptr_t, intptr_t) { return 0; }
