// The main loop: drains both sockets and dispatches what arrived.
#pragma once

#include <string>

constexpr int kDatagramReadsPerCall = 90;
constexpr int kStreamReadsPerCall = 100;

// Flight loop every 0.03 s.
float receiveLoop(float sinceLastCall, float sinceLastFlightLoop, int counter, void* ref);
