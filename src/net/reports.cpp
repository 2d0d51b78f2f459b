// Outgoing reports: who the user is, every 10 s over TCP, and where the
// aircraft is, every frame over UDP.
#include "net/reports.h"

#include <string.h>

#include "host/sockets.h"
#include "host/ticks.h"
#include "host/xplm_data.h"
#include "host/xplm_planes.h"
#include "net/connection.h"
#include "net/wire.h"
#include "shell/client_state.h"

namespace {

constexpr float kIdentityInterval = 10.0f;  // seconds, while connected
constexpr float kIdentityPoll = 1.0f;       // seconds, until a connection is up
constexpr int kGearCount = 10;
constexpr int kThrottleCount = 8;

// The float values of a report, in the order they are sampled.
XPLMDataRef OwnAircraftRefs::* const kRealRefs[17] = {
    &OwnAircraftRefs::localX,          &OwnAircraftRefs::localY,
    &OwnAircraftRefs::localZ,          &OwnAircraftRefs::latitude,
    &OwnAircraftRefs::longitude,       &OwnAircraftRefs::elevation,
    &OwnAircraftRefs::theta,           &OwnAircraftRefs::phi,
    &OwnAircraftRefs::psi,             &OwnAircraftRefs::flapRatio,
    &OwnAircraftRefs::flap2Ratio,      &OwnAircraftRefs::speedbrakeRatio,
    &OwnAircraftRefs::slatRatio,       &OwnAircraftRefs::wingSweep,
    &OwnAircraftRefs::yokePitch,       &OwnAircraftRefs::yokeRoll,
    &OwnAircraftRefs::yokeHeading,
};

XPLMDataRef OwnAircraftRefs::* const kLightRefs[5] = {
    &OwnAircraftRefs::beaconLights, &OwnAircraftRefs::landingLights,
    &OwnAircraftRefs::strobeLights, &OwnAircraftRefs::navLights,
    &OwnAircraftRefs::taxiLight,
};

static_assert(sizeof(PositionSample::reals) / sizeof(float) == 17);
static_assert(sizeof(PositionSample::gear) / sizeof(float) == kGearCount);
static_assert(sizeof(PositionSample::throttle) / sizeof(float) == kThrottleCount);

}  // namespace

float identityReportTimer(float, float, int, void*) {
  if (client.connected == 0) return kIdentityPoll;
  if (client.viewOnly != 1) {
    char fileName[kAircraftFileNameSize] = {};
    char path[kAircraftPathSize] = {};
    XPLMGetNthAircraftModel(0, fileName, path);
    // A host that fills the whole buffer must not carry the read past it.
    path[kAircraftPathSize - 1] = '\0';
    sendStreamMessage(buildAircraftReport(client.clientToken, path));
  }
  sendStreamMessage(buildCallsignReport(client.clientToken, client.callsign, client.viewOnly));
  return kIdentityInterval;
}

void sendPositionReport() {
  if (client.connected == 0) return;
  const OwnAircraftRefs& refs = client.ownAircraftRefs;
  PositionSample sample;
  for (int i = 0; i < 17; ++i) sample.reals[i] = XPLMGetDataf(refs.*kRealRefs[i]);
  // Elements the aircraft does not supply go out as 0.
  memset(sample.gear, 0, sizeof sample.gear);
  XPLMGetDatavf(refs.gearDeploy, sample.gear, 0, kGearCount);
  memset(sample.throttle, 0, sizeof sample.throttle);
  XPLMGetDatavf(refs.throttle, sample.throttle, 0, kThrottleCount);
  for (int i = 0; i < 5; ++i) sample.lights[i] = XPLMGetDatai(refs.*kLightRefs[i]);
  // A float holds the millisecond count exactly only up to 2^24 ms (about
  // 4.7 hours of system uptime); beyond that it is rounded to 2, 4, ... ms.
  sample.ticks[0] = (float)tickCountMilliseconds();
  sample.ticks[1] = (float)tickCountMilliseconds();

  char report[kMaxPositionReport];
  int length = buildPositionReport(report, client.clientToken, client.viewOnly, sample);
  client.udpTxIndicator = "Ux";
  sendToAddress(client.udpSocket, report, length, &client.serverAddress);
}

int positionReportCallback(int, int, void*) {
  // Tells the frame fallback that the draw phases run on this renderer.
  client.frameDrawSeen = 1;
  sendPositionReport();
  return 1;
}
