// Placeholder.
#include "sim/plane_slots.h"

void findDataRefs(PlaneSlot&, int) {}
void writeToSim(const PlaneSlot&) {}
