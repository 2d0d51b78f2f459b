// The plug-in menu's handler and the settings dialog.
//
// Sections: the menu; building the dialog; putting the settings into it;
// its widget callback, which keeps the radio groups exclusive itself and
// takes the fields into the settings on Apply and Save & Close.
#include "ui/settings_dialog.h"

#include <string.h>

#include <string>

#include "host/xp_widgets.h"
#include "host/xplm_display.h"
#include "net/connection.h"
#include "shell/client_state.h"
#include "ui/preferences.h"

const char kMenuItemSettings[] = "1";
const char kMenuItemPlaneList[] = "2";

namespace {

// The most characters taken from each field into its setting; the fields
// themselves hold text of any length.
constexpr int kUserIDLength = 15;
constexpr int kPasswordLength = 25;
constexpr int kCallsignLength = 15;
constexpr int kCrewIDLength = 15;
constexpr int kRowHeight = 12;  // pixels, every widget but the window and the panel

// The widgets shown only while Crewed is on, in the order refresh and
// Crewed show them (and refresh hides them).
XPWidgetID* const kCrewWidgets[] = {
    &client.crewIDCaption, &client.crewIDField,     &client.positionCaption,
    &client.pilotButton,   &client.coPilotButton,   &client.navigatorButton,
    &client.flightEngineerButton};
// The order in which Solo hides them: the position group first.
XPWidgetID* const kCrewWidgetsSoloOrder[] = {
    &client.positionCaption, &client.pilotButton,   &client.coPilotButton,
    &client.navigatorButton, &client.flightEngineerButton, &client.crewIDCaption,
    &client.crewIDField};
// Indexed by cockpitPosition.
XPWidgetID* const kPositionButtons[] = {&client.pilotButton, &client.coPilotButton,
                                        &client.navigatorButton, &client.flightEngineerButton};
constexpr int kPositionCount = sizeof kPositionButtons / sizeof kPositionButtons[0];

void setVisible(XPWidgetID widget, bool visible) {
  if (visible) {
    XPShowWidget(widget);
  } else {
    XPHideWidget(widget);
  }
}

template <size_t N>
void setAllVisible(XPWidgetID* const (&widgets)[N], bool visible) {
  for (XPWidgetID* widget : widgets) setVisible(*widget, visible);
}

void setState(XPWidgetID button, int state) {
  XPSetWidgetProperty(button, xpProperty_ButtonState, state);
}

int stateOf(XPWidgetID button) {
  return (int)XPGetWidgetProperty(button, xpProperty_ButtonState, nullptr);
}

void selectFlightMode(int mode) {
  setState(client.soloButton, mode == 0 ? 1 : 0);
  setState(client.crewedButton, mode == 1 ? 1 : 0);
}

void selectPosition(int position) {
  for (int i = 0; i < kPositionCount; i++) setState(*kPositionButtons[i], i == position ? 1 : 0);
}

// Exactly one of Connect and Disconnect is shown: the one that fits.
void showConnectionButtons() {
  setVisible(client.connectButton, client.connected != 1);
  setVisible(client.disconnectButton, client.connected == 1);
}

// The descriptor call copies at most maxLength bytes and leaves a cut text
// unterminated, so the length kept is the smaller of the two.
std::string takeField(XPWidgetID field, int maxLength) {
  char text[kPasswordLength + 1] = {};
  int length = XPGetWidgetDescriptor(field, text, maxLength);
  if (length < 0) length = 0;
  if (length > maxLength) length = maxLength;
  return std::string(text, (size_t)length);
}

// A widget of the dialog: inside the main window, one row high, placed from
// the left and top edges.
XPWidgetID createRowWidget(int left, int top, int right, bool visible, const char* descriptor,
                           int widgetClass) {
  return XPCreateWidget(left, top, right, top - kRowHeight, visible ? 1 : 0, descriptor, 0,
                        client.settingsDialog, widgetClass);
}

XPWidgetID createButton(int left, int top, int right, bool visible, const char* descriptor,
                        int type, int behaviour) {
  XPWidgetID button = createRowWidget(left, top, right, visible, descriptor, xpWidgetClass_Button);
  XPSetWidgetProperty(button, xpProperty_ButtonType, type);
  XPSetWidgetProperty(button, xpProperty_ButtonBehavior, behaviour);
  return button;
}

XPWidgetID createRadio(int left, int top, bool visible, const char* descriptor) {
  return createButton(left, top, left + 10, visible, descriptor, xpRadioButton,
                      xpButtonBehaviorRadioButton);
}

XPWidgetID createPush(int left, int top, int right, bool visible, const char* descriptor) {
  return createButton(left, top, right, visible, descriptor, xpPushButton,
                      xpButtonBehaviorPushButton);
}

XPWidgetID createTextField(int left, int top, bool visible, const std::string& text) {
  XPWidgetID field = createRowWidget(left, top, left + 110, visible, text.c_str(),
                                     xpWidgetClass_TextField);
  XPSetWidgetProperty(field, xpProperty_TextFieldType, xpTextEntryField);
  return field;
}

XPWidgetID createCaption(int left, int top, bool visible, const char* text) {
  return createRowWidget(left, top, left + 100, visible, text, xpWidgetClass_Caption);
}

void hideDialog() {
  if (client.settingsDialogCreated == 1) XPHideWidget(client.settingsDialog);
}

// Apply and Save & Close: the fields into the settings, then the file.
void takeSettings() {
  client.userID = takeField(client.userIDField, kUserIDLength);
  client.password = takeField(client.passwordField, kPasswordLength);
  client.callsign = takeField(client.callsignField, kCallsignLength);
  client.crewID = takeField(client.crewIDField, kCrewIDLength);
  if (stateOf(client.soloButton) == 1) {
    client.flightMode = 0;
    client.cockpitPosition = 0;
  } else if (stateOf(client.crewedButton) == 1) {
    client.flightMode = 1;
    for (int i = 0; i < kPositionCount; i++) {
      if (stateOf(*kPositionButtons[i]) == 1) {
        client.cockpitPosition = i;
        break;
      }
    }
  }
  client.connectAtStartup = stateOf(client.connectAtStartupCheckBox);
  writePreferences();
}

int handleButtonTurnedOn(XPWidgetID button) {
  if (button == client.soloButton) {
    setAllVisible(kCrewWidgetsSoloOrder, false);
    selectFlightMode(0);
    return 1;
  }
  if (button == client.crewedButton) {
    setAllVisible(kCrewWidgets, true);
    selectFlightMode(1);
    return 1;
  }
  for (int i = 0; i < kPositionCount; i++) {
    if (button == *kPositionButtons[i]) {
      selectPosition(i);
      return 1;
    }
  }
  return 0;  // the check box: the widget library keeps its state
}

int handlePushButton(XPWidgetID button) {
  if (button == client.connectButton) {
    if (client.connected == 0) {
      connectToServer();
      if (client.connected == 1) showConnectionButtons();
    }
    return 0;
  }
  if (button == client.disconnectButton) {
    if (client.connected == 1) {
      disconnectFromServer();
      if (client.connected == 0) showConnectionButtons();
    }
    return 0;
  }
  if (button == client.cancelButton) {
    hideDialog();
    return 1;
  }
  if (button == client.applyButton || button == client.saveAndCloseButton) {
    takeSettings();
    if (button == client.saveAndCloseButton) hideDialog();
    return 1;
  }
  return 0;
}

}  // namespace

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

// Left of the plane list at its start position, tops level, one margin
// between them; every row is placed from L and T alone.
void createSettingsDialog(int width, int height) {
  int screenWidth = 0, screenHeight = 0;
  XPLMGetScreenSize(&screenWidth, &screenHeight);
  const int margin = client.windowMargin;
  const int L = screenWidth - margin - client.planeListWidth - margin - width;
  const int T = screenHeight - margin - client.messageWindowHeight - margin;
  const int captions = L + 2 * margin;  // 100 wide
  const int fields = captions + 105;    // 110 wide; radio buttons and the check box 10 wide
  auto row = [&](double rows) { return T - (int)(margin * rows); };

  client.settingsDialog = XPCreateWidget(L, T, L + width, T - height, 1, "Control & Settings", 1,
                                         nullptr, xpWidgetClass_MainWindow);
  XPSetWidgetProperty(client.settingsDialog, xpProperty_MainWindowHasCloseBoxes, 0);

  client.settingsPanel = XPCreateWidget(L + margin, T - 2 * margin, L + width - margin,
                                        T - height + margin, 1, "", 0, client.settingsDialog,
                                        xpWidgetClass_SubWindow);
  XPSetWidgetProperty(client.settingsPanel, xpProperty_SubWindowType, xpSubWindowStyle_SubWindow);

  client.userIDCaption = createCaption(captions, row(2.5), true, "User ID:");
  client.userIDField = createTextField(fields, row(2.5), true, client.userID);
  client.passwordCaption = createCaption(captions, row(3.5), true, "Password:");
  client.passwordField = createTextField(fields, row(3.5), true, client.password);
  XPSetWidgetProperty(client.passwordField, xpProperty_PasswordMode, 1);
  client.callsignCaption = createCaption(captions, row(4.5), true, "Call/Nickname:");
  client.callsignField = createTextField(fields, row(4.5), true, client.callsign);
  client.flightModeCaption = createCaption(captions, row(5.5), true, "Flight Mode:");
  client.soloButton = createRadio(fields, row(5.5), true, "Solo");
  client.crewedButton = createRadio(L + 190, row(5.5), true, "Crewed");

  client.crewIDCaption = createCaption(captions, row(6.5), false, "Crew ID:");
  client.crewIDField = createTextField(fields, row(6.5), false, client.crewID);
  client.positionCaption = createCaption(captions, row(7.5), false, "Position:");
  client.pilotButton = createRadio(fields, row(7.5), false, "Pilot");
  client.coPilotButton = createRadio(fields, row(8.5), false, "Co-Pilot");
  client.navigatorButton = createRadio(fields, row(9.5), false, "Navigator");
  client.flightEngineerButton = createRadio(fields, row(10.5), false, "Flight Engineer");

  client.connectButton = createPush(captions, row(12), captions + 70, client.connected == 0,
                                    "Connect");
  client.disconnectButton = createPush(captions, row(12), captions + 70, client.connected == 1,
                                       "Disconnect");
  client.connectAtStartupCheckBox = createButton(fields, row(12), fields + 10, true,
                                                 "Connect at startup", xpRadioButton,
                                                 xpButtonBehaviorCheckBox);
  XPSetWidgetProperty(client.connectAtStartupCheckBox, xpProperty_ButtonState,
                      client.connectAtStartup);
  client.cancelButton = createPush(L + 65, row(13), L + 120, true, "Cancel");
  client.applyButton = createPush(L + 125, row(13), L + 170, true, "Apply");
  client.saveAndCloseButton = createPush(L + 175, row(13), L + 255, true, "Save & Close");

  refreshSettingsDialog();
  XPAddWidgetCallback(client.settingsDialog, settingsDialogHandler);
}

void refreshSettingsDialog() {
  if (client.flightMode == 0 || client.flightMode == 1) {
    selectFlightMode(client.flightMode);
    setAllVisible(kCrewWidgets, client.flightMode == 1);
  }
  showConnectionButtons();
  setState(client.connectAtStartupCheckBox, client.connectAtStartup);
  // A position outside the four, from a hand-edited file, leaves the buttons alone.
  if (client.cockpitPosition >= 0 && client.cockpitPosition < kPositionCount) {
    selectPosition(client.cockpitPosition);
  }
  XPSetWidgetDescriptor(client.userIDField, client.userID.c_str());
  XPSetWidgetDescriptor(client.passwordField, client.password.c_str());
  XPSetWidgetDescriptor(client.callsignField, client.callsign.c_str());
  XPSetWidgetDescriptor(client.crewIDField, client.crewID.c_str());
}

int settingsDialogHandler(int message, XPWidgetID, intptr_t param1, intptr_t param2) {
  if (message == xpMessage_CloseButtonPushed) {
    hideDialog();
    return 1;
  }
  if (message == xpMsg_ButtonStateChanged) {
    if (param2 != 1) return 0;
    return handleButtonTurnedOn((XPWidgetID)param1);
  }
  if (message == xpMsg_PushButtonPressed) return handlePushButton((XPWidgetID)param1);
  return 0;
}
