#include "shell/client_state.h"

#include "sim/plane_slots.h"

ClientState::ClientState() {
  for (int n = 0; n < kPlaneSlotCount; ++n) {
    slotModelNames[n] = "Plane " + std::to_string(n);
    planeSlots[n] = PlaneSlot{};
    findDataRefs(planeSlots[n], n);
  }
}

ClientState client;
