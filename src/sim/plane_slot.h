// One aircraft of the simulator bound to its 25 data references, with one
// value for each. Slot 0 is the user's own aircraft; slots 1 to 19 are the
// simulator's multiplayer aircraft 1 to 19.
#pragma once

#include "host/xplm_defs.h"

constexpr int kPlaneSlotCount = 20;

struct PlaneSlot {
  // Handles, in lookup order.
  XPLMDataRef localXRef, localYRef, localZRef;
  XPLMDataRef latitudeRef, longitudeRef, elevationRef;
  XPLMDataRef thetaRef, phiRef, psiRef;
  XPLMDataRef flapRatioRef, flap2RatioRef, spoilerRatioRef, speedbrakeRatioRef, slatRatioRef;
  XPLMDataRef wingSweepRef, yokePitchRef, yokeRollRef, yokeYawRef;
  XPLMDataRef gearDeployRef, throttleRef;
  XPLMDataRef beaconLightsRef, landingLightsRef, navLightsRef, strobeLightsRef, taxiLightRef;

  // Values; positions travel as float whatever the reference's own type.
  float localX, localY, localZ;     // metres, scene frame (x east, y up, z south)
  float latitude, longitude;        // degrees
  float elevation;                  // metres
  float theta, phi, psi;            // degrees
  float flapRatio, flap2Ratio, spoilerRatio, speedbrakeRatio, slatRatio, wingSweep;
  float yokePitch, yokeRoll, yokeYaw;
  float gearDeploy[10];  // a write moves elements 0 to 8 only
  float throttle[8];
  int beaconLights, landingLights, strobeLights, navLights, taxiLight;  // 0 off
};
