// Drawing phases, key sniffers, windows, mouse and keyboard focus.
// Window coordinates are screen pixels, origin bottom left, top > bottom.
#pragma once

#include "host/xplm_defs.h"

enum {
  xplm_Phase_FirstScene = 0,
  xplm_Phase_Airplanes = 25,
};

enum {
  xplm_ShiftFlag = 1,
  xplm_OptionAltFlag = 2,
  xplm_ControlFlag = 4,
  xplm_DownFlag = 8,
  xplm_UpFlag = 16,
};

enum {
  xplm_MouseDown = 1,
  xplm_MouseDrag = 2,
  xplm_MouseUp = 3,
};

extern "C" {
typedef int (*XPLMDrawCallback_f)(int phase, int isBefore, void* ref);
// Returns 1 to pass the key on, 0 when it took the key.
typedef int (*XPLMKeySniffer_f)(char key, int flags, char virtualKey, void* ref);
typedef void (*XPLMDrawWindow_f)(XPLMWindowID window, void* ref);
typedef void (*XPLMHandleKey_f)(XPLMWindowID window, char key, int flags, char virtualKey,
                                void* ref, int losingFocus);
// Returns 1 when the click was taken.
typedef int (*XPLMHandleMouseClick_f)(XPLMWindowID window, int x, int y, int mouseStatus,
                                      void* ref);

QS_HOST_IMPORT int XPLMRegisterDrawCallback(XPLMDrawCallback_f callback, int phase,
                                            int wantsBefore, void* ref);
QS_HOST_IMPORT int XPLMUnregisterDrawCallback(XPLMDrawCallback_f callback, int phase,
                                              int wantsBefore, void* ref);
QS_HOST_IMPORT int XPLMRegisterKeySniffer(XPLMKeySniffer_f callback, int beforeWindows,
                                          void* ref);
QS_HOST_IMPORT int XPLMUnregisterKeySniffer(XPLMKeySniffer_f callback, int beforeWindows,
                                            void* ref);

QS_HOST_IMPORT void XPLMGetScreenSize(int* width, int* height);
QS_HOST_IMPORT XPLMWindowID XPLMCreateWindow(int left, int top, int right, int bottom,
                                             int visible, XPLMDrawWindow_f draw,
                                             XPLMHandleKey_f key, XPLMHandleMouseClick_f mouse,
                                             void* ref);
QS_HOST_IMPORT void XPLMDestroyWindow(XPLMWindowID window);
QS_HOST_IMPORT void XPLMGetWindowGeometry(XPLMWindowID window, int* left, int* top, int* right,
                                          int* bottom);
QS_HOST_IMPORT void XPLMSetWindowGeometry(XPLMWindowID window, int left, int top, int right,
                                          int bottom);
QS_HOST_IMPORT void XPLMSetWindowIsVisible(XPLMWindowID window, int visible);
// A null window gives the focus back to the simulator.
QS_HOST_IMPORT void XPLMTakeKeyboardFocus(XPLMWindowID window);
}
