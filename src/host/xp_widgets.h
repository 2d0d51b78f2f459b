// The simulator's widget library: widget trees, properties, descriptors and
// the messages its standard widgets send up through their containers.
#pragma once

#include <stdint.h>

#include "host/xplm_defs.h"

enum {
  xpWidgetClass_MainWindow = 1,
  xpWidgetClass_SubWindow = 2,
  xpWidgetClass_Button = 3,
  xpWidgetClass_TextField = 4,
  xpWidgetClass_Caption = 6,
};

enum {
  xpProperty_MainWindowHasCloseBoxes = 1200,
  xpProperty_SubWindowType = 1200,
  xpProperty_ButtonType = 1300,
  xpProperty_ButtonBehavior = 1301,
  xpProperty_ButtonState = 1302,
  xpProperty_TextFieldType = 1403,
  xpProperty_PasswordMode = 1404,
};

enum {
  xpMessage_CloseButtonPushed = 1200,
  xpMsg_PushButtonPressed = 1300,
  xpMsg_ButtonStateChanged = 1301,
};

enum {
  xpPushButton = 0,
  xpRadioButton = 1,
};

enum {
  xpButtonBehaviorPushButton = 0,
  xpButtonBehaviorCheckBox = 1,
  xpButtonBehaviorRadioButton = 2,
};

enum {
  xpTextEntryField = 0,
  xpSubWindowStyle_SubWindow = 0,
};

extern "C" {
// Returns 1 when the message was handled.
typedef int (*XPWidgetFunc_t)(int message, XPWidgetID widget, intptr_t param1, intptr_t param2);

QS_HOST_IMPORT XPWidgetID XPCreateWidget(int left, int top, int right, int bottom, int visible,
                                         const char* descriptor, int isRoot,
                                         XPWidgetID container, int widgetClass);
QS_HOST_IMPORT void XPDestroyWidget(XPWidgetID widget, int destroyChildren);
QS_HOST_IMPORT void XPAddWidgetCallback(XPWidgetID widget, XPWidgetFunc_t callback);
QS_HOST_IMPORT void XPSetWidgetProperty(XPWidgetID widget, int property, intptr_t value);
// 0 when the property is unset; exists may be null.
QS_HOST_IMPORT intptr_t XPGetWidgetProperty(XPWidgetID widget, int property, int* exists);
QS_HOST_IMPORT void XPSetWidgetDescriptor(XPWidgetID widget, const char* descriptor);
// Returns the whole length; copies at most maxLength bytes into out (may be
// null) and does not terminate a cut text.
QS_HOST_IMPORT int XPGetWidgetDescriptor(XPWidgetID widget, char* out, int maxLength);
QS_HOST_IMPORT void XPShowWidget(XPWidgetID widget);
QS_HOST_IMPORT void XPHideWidget(XPWidgetID widget);
QS_HOST_IMPORT int XPIsWidgetVisible(XPWidgetID widget);
}
