// The plane-list and message windows.
//
// Sections: drawing (plane list, message window, frame); the mouse; the
// three timers (cursor blink, message countdown, fade).
#include "ui/overlay.h"

#include <string>

#include "host/opengl.h"
#include "host/xplm_display.h"
#include "host/xplm_graphics.h"
#include "net/numbers.h"
#include "shell/client_state.h"

namespace {

float kWhite[3] = {1.0f, 1.0f, 1.0f};
float kLightGreen[3] = {0.5f, 1.0f, 0.5f};
float kYellow[3] = {1.0f, 1.0f, 0.3f};

// Opacity the message window fades to, and the change per fade run: ten
// runs of 0.01 s from hidden to fully up. The limit is compared as a float;
// each step is taken in double precision and stored back as a float, so ten
// steps up land exactly on 0.69f and ten down end a hair below 0.
constexpr float kFullAlpha = 0.69f;
constexpr double kFadeStep = 0.69 / 10;

// Text offsets from the window edges, pixels.
constexpr int kTextIndent = 5;
constexpr int kStatusLineDrop = 20;     // below the plane list's top
constexpr int kSlotLineDrop = 34;       // slot i sits kSlotLineDrop + kSlotLineSpacing * i down
constexpr int kSlotLineSpacing = 14;
constexpr int kFirstMessageRise = 300;  // message line 0 above the bottom
constexpr int kMessageLineSpacing = 20;
constexpr int kInputLineRise = 20;
constexpr int kCountdownInset = 15;     // from the right edge
constexpr int kCountdownRise = 14;

constexpr int kFirstListedSlot = 1;     // slot 0 is the user's own aircraft

// One line of text being put together, kept between frames so that drawing
// does not allocate once it has grown to the longest line.
std::string lineBuffer;

void drawText(float* rgb, int x, int y, const std::string& text, int* wrapWidth) {
  XPLMDrawString(rgb, x, y, text.c_str(), wrapWidth, xplmFont_Basic);
}

void drawPlaneList(int left, int top, int right, int bottom) {
  XPLMDrawTranslucentDarkBox(left, top, right, bottom);
  int x = left + kTextIndent;

  lineBuffer.assign(client.statusText);
  lineBuffer += ' ';
  lineBuffer += client.tcpTxIndicator;
  lineBuffer += client.tcpRxIndicator;
  lineBuffer += client.udpTxIndicator;
  lineBuffer += client.udpRxIndicator;
  drawText(kWhite, x, top - kStatusLineDrop, lineBuffer, nullptr);

  for (int i = kFirstListedSlot; i < kPlaneSlotCount; ++i) {
    lineBuffer.clear();
    appendInteger(lineBuffer, "", i);
    lineBuffer += ": ";
    lineBuffer += client.slotCallsigns[i];
    lineBuffer += ' ';
    lineBuffer += client.slotModelNames[i];
    drawText(kWhite, x, top - kSlotLineDrop - kSlotLineSpacing * i, lineBuffer, nullptr);
  }
}

void drawMessageWindow(int left, int top, int right, int bottom) {
  drawWindowFrame(left, top, right, bottom, client.chatActive, client.messageWindowAlpha);
  // While fading out, neither flag is set and only the frame shows.
  if (!client.messageWindowOpen && !client.messageCountdownActive) return;

  int x = left + kTextIndent;
  int wrapWidth = right - left;
  for (int j = 0; j < kMessageLineCount; ++j)
    drawText(kLightGreen, x, bottom + kFirstMessageRise - kMessageLineSpacing * j,
             client.messageLines[j], &wrapWidth);

  lineBuffer.assign(client.chatLine);
  if (client.chatActive) lineBuffer += client.cursorBlink ? '|' : ' ';
  drawText(kYellow, x, bottom + kInputLineRise, lineBuffer, &wrapWidth);

  // Seconds left before a message-raised window fades out, 9 down to 1.
  if (!client.messageWindowOpen) {
    lineBuffer.clear();
    appendInteger(lineBuffer, "", client.messageCountdown + 1);
    drawText(kYellow, right - kCountdownInset, bottom + kCountdownRise, lineBuffer, nullptr);
  }
}

}  // namespace

void drawOverlayWindow(XPLMWindowID window, void*) {
  int left = 0, top = 0, right = 0, bottom = 0;
  XPLMGetWindowGeometry(window, &left, &top, &right, &bottom);
  if (window == client.planeListWindow && client.planeListVisible == 1)
    drawPlaneList(left, top, right, bottom);
  if (window == client.messageWindow && client.messageWindowAlpha > 0)
    drawMessageWindow(left, top, right, bottom);
}

void drawWindowFrame(int left, int top, int right, int bottom, int active, float alpha) {
  XPLMSetGraphicsState(0, 0, 1, 0, 1, 0, 0);
  float l = (float)left, t = (float)top, r = (float)right, b = (float)bottom;

  glColor4f(0.1f, 0.1f, 0.1f, alpha);
  glBegin(GL_QUADS);
  glVertex2f(r, b);
  glVertex2f(l, b);
  glVertex2f(l, t);
  glVertex2f(r, t);
  glEnd();

  if (active)
    glColor4f(1.0f, 1.0f, 1.0f, alpha * 0.5f + 0.5f);
  else
    glColor4f(0.0f, 0.0f, 0.0f, alpha);
  glBegin(GL_LINES);
  glVertex2f(r, b);
  glVertex2f(l, b);
  glVertex2f(l, b);
  glVertex2f(l, t);
  glVertex2f(l, t);
  glVertex2f(r, t);
  glVertex2f(r, t);
  glVertex2f(r, b);
  glEnd();
}

// One drag state serves both windows: a drag moves the window that got the
// mouse-down, keeping its size; there is no bound test against the screen.
int handleWindowClick(XPLMWindowID window, int x, int y, int mouseStatus, void*) {
  int left = 0, top = 0, right = 0, bottom = 0;
  XPLMGetWindowGeometry(window, &left, &top, &right, &bottom);
  switch (mouseStatus) {
    case xplm_MouseDown:
      if (window == client.messageWindow) {
        client.chatActive = 1;
        XPLMTakeKeyboardFocus(client.messageWindow);
      } else {
        client.chatActive = 0;
        client.cursorBlink = 0;
      }
      client.dragOffsetX = x - left;
      client.dragOffsetY = y - top;
      client.dragWidth = right - left;
      client.dragHeight = bottom - top;
      client.dragging = 1;
      break;
    case xplm_MouseDrag:
      if (client.dragging) {
        int newLeft = x - client.dragOffsetX;
        int newTop = y - client.dragOffsetY;
        XPLMSetWindowGeometry(window, newLeft, newTop, newLeft + client.dragWidth,
                              newTop + client.dragHeight);
      }
      break;
    case xplm_MouseUp:
      client.dragging = 0;
      break;
  }
  return 1;
}

float cursorBlinkTimer(float, float, int, void*) {
  if (client.chatActive) client.cursorBlink = 1 - client.cursorBlink;
  return 0.5f;
}

float messageCountdownTimer(float, float, int, void*) {
  if (client.messageCountdown > 0) {
    client.messageCountdown -= 1;
    client.messageCountdownActive = 1;
  } else {
    client.messageCountdownActive = 0;
  }
  return 1.0f;
}

float messageFadeTimer(float, float, int, void*) {
  bool wanted = client.messageWindowOpen == 1 || client.messageCountdownActive == 1;
  if (wanted && client.messageWindowAlpha < kFullAlpha)
    client.messageWindowAlpha = (float)(client.messageWindowAlpha + kFadeStep);
  else if (!wanted && client.messageWindowAlpha > 0)
    client.messageWindowAlpha = (float)(client.messageWindowAlpha - kFadeStep);
  XPLMSetWindowIsVisible(client.messageWindow, client.messageWindowAlpha > 0);
  return 0.01f;
}
