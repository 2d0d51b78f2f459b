// Placeholder for the settings dialog; the menu handler is complete.
#include "ui/settings_dialog.h"

#include <string.h>

#include "host/xp_widgets.h"
#include "host/xplm_display.h"
#include "shell/client_state.h"

const char kMenuItemSettings[] = "1";
const char kMenuItemPlaneList[] = "2";

void menuHandler(void*, void* itemRef) {
  const char* item = (const char*)itemRef;
  if (item == nullptr) return;
  if (strcmp(item, kMenuItemSettings) == 0) {
    if (client.settingsDialogCreated == 0) {
      createSettingsDialog(300, 300);
      client.settingsDialogCreated = 1;
    } else if (!XPIsWidgetVisible(client.settingsDialog)) {
      refreshSettingsDialog();
      XPShowWidget(client.settingsDialog);
    }
  } else if (strcmp(item, kMenuItemPlaneList) == 0) {
    client.planeListVisible = 1 - client.planeListVisible;
    XPLMSetWindowIsVisible(client.planeListWindow, client.planeListVisible);
  }
}

void createSettingsDialog(int, int) {}
void refreshSettingsDialog() {}
int settingsDialogHandler(int, XPWidgetID, intptr_t, intptr_t) { return 0; }
