// The receive loop: drains the datagram socket into the plane slots and the
// stream into call signs, aircraft and message lines.
//
// Sections: position datagrams; stream lines; the loop.
#include "net/receive.h"

#include <math.h>
#include <string.h>

#include <string_view>

#include "host/sockets.h"
#include "host/xplm_data.h"
#include "net/connection.h"
#include "net/remote_position.h"
#include "net/wire.h"
#include "shell/client_state.h"
#include "sim/aircraft_models.h"
#include "sim/plane_slots.h"

namespace {

const char kBlankIndicator[] = "  ";

// ---- Position datagrams.

// Field numbers (1-based) of a position datagram.
constexpr int kFirstGearField = 18;
constexpr int kFirstLightField = 28;
constexpr int kFirstThrottleField = 33;

std::string_view field(const PositionDatagram& datagram, int number) {
  return datagram.fields[number - 1];
}

// A light switch: exactly one ASCII digit, as the datagram's pattern ensures.
int parseSwitch(std::string_view text) { return text[0] - '0'; }

bool allFinite(const float* values, int count) {
  for (int i = 0; i < count; ++i)
    if (!isfinite(values[i])) return false;
  return true;
}

// Fills the slot's values from the datagram, own latitude and longitude in
// degrees. False, with the slot untouched, when any value that would reach
// the simulator is not a finite number ("nan", "inf", or a magnitude beyond
// single precision): it would throw the aircraft out of the scene.
bool fillSlot(PlaneSlot& slot, const PositionDatagram& datagram, float ownLatitude,
              float ownLongitude) {
  LocalPosition local = resolveLocalPosition(ownLatitude, ownLongitude, field(datagram, 4),
                                             field(datagram, 5), field(datagram, 6),
                                             field(datagram, 1), field(datagram, 2),
                                             field(datagram, 3));
  PlaneSlot next = slot;
  next.localX = (float)local.x;
  next.localY = (float)local.y;
  next.localZ = (float)local.z;
  next.latitude = parseReal(field(datagram, 4));
  next.longitude = parseReal(field(datagram, 5));
  next.elevation = parseReal(field(datagram, 6));
  next.theta = parseReal(field(datagram, 7));
  next.phi = parseReal(field(datagram, 8));
  next.psi = parseReal(field(datagram, 9));
  next.flapRatio = parseReal(field(datagram, 10));
  next.flap2Ratio = parseReal(field(datagram, 11));
  next.speedbrakeRatio = parseReal(field(datagram, 12));
  next.slatRatio = parseReal(field(datagram, 13));
  next.wingSweep = parseReal(field(datagram, 14));
  next.yokePitch = parseReal(field(datagram, 15));
  next.yokeRoll = parseReal(field(datagram, 16));
  next.yokeYaw = parseReal(field(datagram, 17));
  // The spoiler ratio is not carried and keeps its value.
  next.beaconLights = parseSwitch(field(datagram, kFirstLightField));
  next.landingLights = parseSwitch(field(datagram, kFirstLightField + 1));
  next.strobeLights = parseSwitch(field(datagram, kFirstLightField + 2));
  next.navLights = parseSwitch(field(datagram, kFirstLightField + 3));
  next.taxiLight = parseSwitch(field(datagram, kFirstLightField + 4));
  for (int i = 0; i < 10; ++i) next.gearDeploy[i] = parseReal(field(datagram, kFirstGearField + i));
  for (int i = 0; i < 8; ++i) next.throttle[i] = parseReal(field(datagram, kFirstThrottleField + i));

  const float scalars[] = {next.localX, next.localY, next.localZ, next.latitude,
                           next.longitude, next.elevation, next.theta, next.phi, next.psi,
                           next.flapRatio, next.flap2Ratio, next.speedbrakeRatio,
                           next.slatRatio, next.wingSweep, next.yokePitch, next.yokeRoll,
                           next.yokeYaw};
  if (!allFinite(scalars, sizeof scalars / sizeof scalars[0]) ||
      !allFinite(next.gearDeploy, kGearValuesWritten) ||
      !allFinite(next.throttle, kThrottleValuesWritten))
    return false;
  slot = next;
  return true;
}

// One received datagram of length bytes (its whole length, which may exceed
// the buffer's capacity).
void handleDatagram(const char* data, int length, float ownLatitude, float ownLongitude) {
  // A datagram longer than the buffer was cut by the read; what is left of
  // it must not pass for a whole one.
  if (length > kMaxDatagramSize) return;
  PositionDatagram datagram;
  if (!recognisePositionDatagram(data, length, &datagram)) return;
  if (datagram.slot < 0 || datagram.slot >= kPlaneSlotCount) return;
  PlaneSlot& slot = client.planeSlots[datagram.slot];
  if (fillSlot(slot, datagram, ownLatitude, ownLongitude)) writeToSim(slot);
}

// ---- Stream lines.

void showMessageLine(std::string_view text) {
  client.messageCountdown = kMessageCountdownSeconds;
  // Move every line up by one; the oldest one's storage takes the new text.
  for (int i = 0; i + 1 < kMessageLineCount; ++i)
    client.messageLines[i].swap(client.messageLines[i + 1]);
  client.messageLines[kMessageLineCount - 1].assign(text);
}

void dispatchLine(const StreamLine& line, void*) {
  bool slotInRange = line.slot >= 0 && line.slot < kPlaneSlotCount;
  switch (line.type) {
    case 'c':
      if (!slotInRange) break;
      client.slotCallsigns[line.slot].assign(line.payload);
      if (line.payload == "BLANK") client.slotCallsigns[line.slot].clear();
      break;
    case 'm':
      showMessageLine(line.payload);
      break;
    case 'p':
      if (slotInRange) updateSlotAircraft(line.slot, std::string(line.payload));
      break;
    default:
      break;  // other types are consumed without effect
  }
}

// Whether the stream read's result means the server ended the connection:
// 0 is an orderly close, a reset is an abortive one. Sets the status text
// that dropConnection shows.
bool streamEnded(int result, const char** statusText) {
  if (result == 0) {
    *statusText = "TCP Conn Closed by Server";
    return true;
  }
  if (result < 0 && socketLastError() == kErrConnectionReset) {
    *statusText = "TCP Conn Reset";
    return true;
  }
  return false;
}

// One read's worth of bytes, zeroed before every read.
char readBuffer[kReadChunkSize];

void drainDatagrams(float ownLatitude, float ownLongitude) {
  for (int attempt = 0; attempt < kDatagramReadsPerCall; ++attempt) {
    memset(readBuffer, 0, sizeof readBuffer);
    int result = receiveDatagram(client.udpSocket, readBuffer, kReadChunkSize);
    client.lastReceiveResult = result;
    if (result <= 0) continue;
    client.udpRxIndicator = "Ur";
    handleDatagram(readBuffer, result, ownLatitude, ownLongitude);
  }
}

void drainStream() {
  for (int attempt = 0; attempt < kStreamReadsPerCall; ++attempt) {
    memset(readBuffer, 0, sizeof readBuffer);
    int result = receiveStream(client.tcpSocket, readBuffer, kReadChunkSize);
    client.lastReceiveResult = result;
    if (result > 0) {
      client.tcpRxIndicator = "Tr";
      appendStreamBytes(client.tcpReceiveBuffer, readBuffer, result);
    }
    takeStreamLines(client.tcpReceiveBuffer, dispatchLine, nullptr);
    // The socket is gone after a drop; nothing more to read from it.
    const char* statusText = nullptr;
    if (streamEnded(result, &statusText)) {
      dropConnection(statusText);
      break;
    }
  }
}

}  // namespace

float receiveLoop(float, float, int, void*) {
  // The user's position serves every datagram of this call.
  float ownLatitude = XPLMGetDataf(client.ownAircraftRefs.latitude);
  float ownLongitude = XPLMGetDataf(client.ownAircraftRefs.longitude);
  // The sockets are open exactly while connected; otherwise they are
  // closed handles, never to be read.
  bool socketsOpen = client.connected != 0;

  client.udpTxIndicator = kBlankIndicator;
  client.udpRxIndicator = kBlankIndicator;
  if (socketsOpen) drainDatagrams(ownLatitude, ownLongitude);

  client.tcpRxIndicator = kBlankIndicator;
  client.tcpTxIndicator = kBlankIndicator;
  if (socketsOpen) drainStream();
  return 0.03f;
}
