// Plane slots: the lookup of a slot's 25 data references and the write of
// its values into the simulator.
#include "sim/plane_slots.h"

#include <stdio.h>

#include "host/xplm_data.h"

namespace {

// One reference of a slot: the name for the user's aircraft, and the name
// for multiplayer aircraft N with "%d" standing for N.
struct SlotRefName {
  XPLMDataRef PlaneSlot::*ref;
  const char* ownAircraft;
  const char* multiplayer;
};

// In lookup order.
const SlotRefName kSlotRefNames[] = {
    {&PlaneSlot::localXRef, "sim/flightmodel/position/local_x", "sim/multiplayer/position/plane%d_x"},
    {&PlaneSlot::localYRef, "sim/flightmodel/position/local_y", "sim/multiplayer/position/plane%d_y"},
    {&PlaneSlot::localZRef, "sim/flightmodel/position/local_z", "sim/multiplayer/position/plane%d_z"},
    {&PlaneSlot::latitudeRef, "sim/flightmodel/position/latitude", "sim/multiplayer/position/plane%d_lat"},
    {&PlaneSlot::longitudeRef, "sim/flightmodel/position/longitude", "sim/multiplayer/position/plane%d_lon"},
    {&PlaneSlot::elevationRef, "sim/flightmodel/position/elevation", "sim/multiplayer/position/plane%d_el"},
    {&PlaneSlot::thetaRef, "sim/flightmodel/position/theta", "sim/multiplayer/position/plane%d_the"},
    {&PlaneSlot::phiRef, "sim/flightmodel/position/phi", "sim/multiplayer/position/plane%d_phi"},
    {&PlaneSlot::psiRef, "sim/flightmodel/position/psi", "sim/multiplayer/position/plane%d_psi"},
    {&PlaneSlot::flapRatioRef, "sim/flightmodel/controls/flaprat", "sim/multiplayer/position/plane%d_flap_ratio"},
    {&PlaneSlot::flap2RatioRef, "sim/flightmodel/controls/flap2rat", "sim/multiplayer/position/plane%d_flap_ratio2"},
    // The user's aircraft takes spoiler and yoke values through the control
    // surfaces' trims, not the joystick references the report samples.
    {&PlaneSlot::spoilerRatioRef, "sim/flightmodel/controls/lspdef", "sim/multiplayer/position/plane%d_spoiler_ratio"},
    {&PlaneSlot::speedbrakeRatioRef, "sim/flightmodel/controls/sbrkrat", "sim/multiplayer/position/plane%d_speedbrake_ratio"},
    {&PlaneSlot::slatRatioRef, "sim/flightmodel/controls/slatrat", "sim/multiplayer/position/plane%d_slat_ratio"},
    {&PlaneSlot::wingSweepRef, "sim/flightmodel/controls/swdi", "sim/multiplayer/position/plane%d_wing_sweep"},
    {&PlaneSlot::yokePitchRef, "sim/flightmodel/controls/elv_trim", "sim/multiplayer/position/plane%d_yolk_pitch"},
    {&PlaneSlot::yokeRollRef, "sim/flightmodel/controls/ail_trim", "sim/multiplayer/position/plane%d_yolk_roll"},
    {&PlaneSlot::yokeYawRef, "sim/flightmodel/controls/rud_trim", "sim/multiplayer/position/plane%d_yolk_yaw"},
    {&PlaneSlot::gearDeployRef, "sim/aircraft/parts/acf_gear_deploy", "sim/multiplayer/position/plane%d_gear_deploy"},
    {&PlaneSlot::throttleRef, "sim/flightmodel/ENGN_thro", "sim/multiplayer/position/plane%d_throttle"},
    {&PlaneSlot::beaconLightsRef, "sim/cockpit/electrical/beacon_lights_on", "sim/multiplayer/position/plane%d_beacon_lights_on"},
    {&PlaneSlot::landingLightsRef, "sim/cockpit/electrical/landing_lights_on", "sim/multiplayer/position/plane%d_landing_lights_on"},
    {&PlaneSlot::navLightsRef, "sim/cockpit/electrical/nav_lights_on", "sim/multiplayer/position/plane%d_nav_lights_on"},
    {&PlaneSlot::strobeLightsRef, "sim/cockpit/electrical/strobe_lights_on", "sim/multiplayer/position/plane%d_strobe_lights_on"},
    {&PlaneSlot::taxiLightRef, "sim/cockpit/electrical/taxi_light_on", "sim/multiplayer/position/plane%d_taxi_light_on"},
};

// The float values with one reference each, in write order.
struct SlotFloat {
  XPLMDataRef PlaneSlot::*ref;
  float PlaneSlot::*value;
};

const SlotFloat kSlotFloats[] = {
    {&PlaneSlot::localXRef, &PlaneSlot::localX},
    {&PlaneSlot::localYRef, &PlaneSlot::localY},
    {&PlaneSlot::localZRef, &PlaneSlot::localZ},
    {&PlaneSlot::latitudeRef, &PlaneSlot::latitude},
    {&PlaneSlot::longitudeRef, &PlaneSlot::longitude},
    {&PlaneSlot::elevationRef, &PlaneSlot::elevation},
    {&PlaneSlot::thetaRef, &PlaneSlot::theta},
    {&PlaneSlot::phiRef, &PlaneSlot::phi},
    {&PlaneSlot::psiRef, &PlaneSlot::psi},
    {&PlaneSlot::flapRatioRef, &PlaneSlot::flapRatio},
    {&PlaneSlot::flap2RatioRef, &PlaneSlot::flap2Ratio},
    {&PlaneSlot::spoilerRatioRef, &PlaneSlot::spoilerRatio},
    {&PlaneSlot::speedbrakeRatioRef, &PlaneSlot::speedbrakeRatio},
    {&PlaneSlot::slatRatioRef, &PlaneSlot::slatRatio},
    {&PlaneSlot::wingSweepRef, &PlaneSlot::wingSweep},
    {&PlaneSlot::yokePitchRef, &PlaneSlot::yokePitch},
    {&PlaneSlot::yokeRollRef, &PlaneSlot::yokeRoll},
    {&PlaneSlot::yokeYawRef, &PlaneSlot::yokeYaw},
};

}  // namespace

void findDataRefs(PlaneSlot& slot, int slotNumber) {
  char name[128];
  for (const SlotRefName& entry : kSlotRefNames) {
    const char* text = entry.ownAircraft;
    if (slotNumber != 0) {
      snprintf(name, sizeof name, entry.multiplayer, slotNumber);
      text = name;
    }
    slot.*entry.ref = XPLMFindDataRef(text);
  }
}

void writeToSim(const PlaneSlot& slot) {
  for (const SlotFloat& entry : kSlotFloats) XPLMSetDataf(slot.*entry.ref, slot.*entry.value);
  // The simulator only reads the arrays it is given.
  XPLMSetDatavf(slot.gearDeployRef, const_cast<float*>(slot.gearDeploy), 0, kGearValuesWritten);
  XPLMSetDatavf(slot.throttleRef, const_cast<float*>(slot.throttle), 0, kThrottleValuesWritten);
  XPLMSetDatai(slot.beaconLightsRef, slot.beaconLights);
  XPLMSetDatai(slot.landingLightsRef, slot.landingLights);
  XPLMSetDatai(slot.navLightsRef, slot.navLights);
  XPLMSetDatai(slot.strobeLightsRef, slot.strobeLights);
  XPLMSetDatai(slot.taxiLightRef, slot.taxiLight);
}
