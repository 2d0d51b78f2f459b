// Chat entry: Tab opens and closes the message window; while the message
// window holds the keyboard focus, keys edit the chat line and Return sends
// it to the server on the TCP connection.
//
// Keys are told apart by their character code as a signed 8-bit value (the
// virtual key code is not used), and only on the key-down event; modifier
// flags are not examined. Codes 128 to 255 are negative here and ignored.
#include "ui/chat.h"

#include <string>

#include "host/sockets.h"
#include "host/xplm_display.h"
#include "net/wire.h"
#include "shell/client_state.h"

namespace {

constexpr signed char kBackspace = 8;
constexpr signed char kTab = 9;
constexpr signed char kReturn = 13;
constexpr signed char kDelete = 127;
constexpr signed char kFirstPrintable = 32;

bool isKeyDown(int flags) { return (flags & xplm_DownFlag) != 0; }

// Sends the chat line while connected. A send that fails outright leaves
// the line as typed, so that the next Return tries again instead of losing
// it; a short send has its rest sent at once, so that no fragment of a line
// is left on the stream to run into the next message.
void sendChatLine() {
  std::string message = buildChatMessage(client.clientToken, client.chatLine);
  client.messageCountdown = kMessageCountdownSeconds;
  if (!client.connected) return;

  const char* data = message.data();
  int remaining = (int)message.size();
  int result = sendToAddress(client.tcpSocket, data, remaining, &client.serverAddress);
  client.lastSocketResult = result;
  if (result < 0) return;
  client.tcpTxIndicator = "Tx";
  while (result > 0 && result < remaining) {
    data += result;
    remaining -= result;
    result = sendToAddress(client.tcpSocket, data, remaining, &client.serverAddress);
    client.lastSocketResult = result;
  }
  client.chatLine.clear();
}

}  // namespace

int keySniffer(char key, int flags, char, void*) {
  if ((signed char)key != kTab || !isKeyDown(flags)) return 1;
  if (client.messageWindowOpen == 0) {
    client.messageWindowOpen = 1;
    XPLMTakeKeyboardFocus(client.messageWindow);
    client.chatActive = 1;
    client.cursorBlink = 1;
  } else {
    // Focus and cursor stay as they are; the window fades out.
    client.messageWindowOpen = 0;
  }
  return 0;
}

void handleWindowKey(XPLMWindowID window, char key, int flags, char, void*, int losingFocus) {
  if (window != client.messageWindow) {
    client.chatActive = 0;
    client.cursorBlink = 0;
    return;
  }
  if (losingFocus || !isKeyDown(flags)) return;

  // The cursor shows at once at every key-down.
  client.chatActive = 1;
  client.cursorBlink = 1;

  signed char code = (signed char)key;
  if (code == kBackspace || code == kDelete) {
    if (!client.chatLine.empty()) client.chatLine.pop_back();
  } else if (code == kTab) {
    // Let go of the keyboard; the window stays up until the next Tab, which
    // the sniffer then sees.
    XPLMTakeKeyboardFocus(nullptr);
    client.cursorBlink = 0;
    client.chatActive = 0;
  } else if (code == kReturn) {
    sendChatLine();
  } else if (code >= kFirstPrintable) {
    client.chatLine += (char)code;
  }
}
