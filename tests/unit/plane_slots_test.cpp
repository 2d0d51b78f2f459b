// Plane slots: the references each slot binds and the order, counts and
// values of a write.
#include "sim/plane_slots.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "simhost/simulator.h"

namespace {

// Write order: the 18 floats, gear, throttle, then the lights.
std::vector<std::string> expectedWriteNames(int slot) {
  if (slot == 0)
    return {"sim/flightmodel/position/local_x", "sim/flightmodel/position/local_y",
            "sim/flightmodel/position/local_z", "sim/flightmodel/position/latitude",
            "sim/flightmodel/position/longitude", "sim/flightmodel/position/elevation",
            "sim/flightmodel/position/theta", "sim/flightmodel/position/phi",
            "sim/flightmodel/position/psi", "sim/flightmodel/controls/flaprat",
            "sim/flightmodel/controls/flap2rat", "sim/flightmodel/controls/lspdef",
            "sim/flightmodel/controls/sbrkrat", "sim/flightmodel/controls/slatrat",
            "sim/flightmodel/controls/swdi", "sim/flightmodel/controls/elv_trim",
            "sim/flightmodel/controls/ail_trim", "sim/flightmodel/controls/rud_trim",
            "sim/aircraft/parts/acf_gear_deploy", "sim/flightmodel/ENGN_thro",
            "sim/cockpit/electrical/beacon_lights_on", "sim/cockpit/electrical/landing_lights_on",
            "sim/cockpit/electrical/nav_lights_on", "sim/cockpit/electrical/strobe_lights_on",
            "sim/cockpit/electrical/taxi_light_on"};
  std::vector<std::string> names;
  for (const char* suffix :
       {"x", "y", "z", "lat", "lon", "el", "the", "phi", "psi", "flap_ratio", "flap_ratio2",
        "spoiler_ratio", "speedbrake_ratio", "slat_ratio", "wing_sweep", "yolk_pitch",
        "yolk_roll", "yolk_yaw", "gear_deploy", "throttle", "beacon_lights_on",
        "landing_lights_on", "nav_lights_on", "strobe_lights_on", "taxi_light_on"})
    names.push_back("sim/multiplayer/position/plane" + std::to_string(slot) + "_" + suffix);
  return names;
}

PlaneSlot filledSlot(int slot) {
  PlaneSlot values{};
  findDataRefs(values, slot);
  float* reals[] = {&values.localX, &values.localY, &values.localZ, &values.latitude,
                    &values.longitude, &values.elevation, &values.theta, &values.phi,
                    &values.psi, &values.flapRatio, &values.flap2Ratio, &values.spoilerRatio,
                    &values.speedbrakeRatio, &values.slatRatio, &values.wingSweep,
                    &values.yokePitch, &values.yokeRoll, &values.yokeYaw};
  for (int i = 0; i < 18; ++i) *reals[i] = 0.25f + i;
  for (int i = 0; i < 10; ++i) values.gearDeploy[i] = 0.1f * (i + 1);
  for (int i = 0; i < 8; ++i) values.throttle[i] = 0.05f * (i + 1);
  values.beaconLights = 1;
  values.landingLights = 2;
  values.strobeLights = 3;
  values.navLights = 4;
  values.taxiLight = 5;
  return values;
}

TEST(PlaneSlot, AWriteMovesEveryValueToItsOwnReferenceInOrder) {
  simhost::Simulator& sim = simhost::simulator();
  for (int slot : {0, 1, 7, 19}) {
    SCOPED_TRACE(slot);
    sim.reset();
    PlaneSlot values = filledSlot(slot);
    writeToSim(values);

    const std::vector<simhost::DataWrite>& writes = sim.dataWrites();
    std::vector<std::string> names = expectedWriteNames(slot);
    ASSERT_EQ(writes.size(), names.size());  // 25 host calls
    for (size_t i = 0; i < names.size(); ++i) {
      EXPECT_EQ(writes[i].name, names[i]);
      EXPECT_EQ(writes[i].offset, 0);
    }
    for (int i = 0; i < 18; ++i) EXPECT_EQ(writes[i].values, std::vector<double>{0.25f + i});
    // Nine gear values, never the tenth; all eight throttles.
    ASSERT_EQ(writes[18].values.size(), 9u);
    for (int i = 0; i < 9; ++i) EXPECT_EQ(writes[18].values[i], (double)values.gearDeploy[i]);
    ASSERT_EQ(writes[19].values.size(), 8u);
    for (int i = 0; i < 8; ++i) EXPECT_EQ(writes[19].values[i], (double)values.throttle[i]);
    // Lights in write order: beacon, landing, nav, strobe, taxi.
    const double lights[] = {1, 2, 4, 3, 5};
    for (int i = 0; i < 5; ++i) EXPECT_EQ(writes[20 + i].values, std::vector<double>{lights[i]});
  }
  sim.reset();
}

}  // namespace
