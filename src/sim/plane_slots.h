// Binding plane slots to the simulator and writing them into it.
#pragma once

#include "sim/plane_slot.h"

// Looks up the slot's 25 references: the user's aircraft for 0, multiplayer
// aircraft n otherwise.
void findDataRefs(PlaneSlot& slot, int slotNumber);
// Writes the 18 floats, gear 0..8, throttle 0..7 and the five lights.
void writeToSim(const PlaneSlot& slot);

// The simulator takes 9 gear values; the 10th of a position message stays
// in the slot only.
constexpr int kGearValuesWritten = 9;
constexpr int kThrottleValuesWritten = 8;
