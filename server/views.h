// Who each client sees in which slot, and what it is told about them.
#pragma once

#include "server.h"

// Brings every logged-in client's slots up to date: players that appear get
// a free slot and their call-sign and aircraft lines, players that left get
// "BLANK" lines, changed identities are sent again, and with more than 19
// others each client keeps the 19 nearest. A crew member's pilot sits in
// slot 0.
void updateViews(Server& server, Clock::time_point now);
// Sends a player's latest position to every client that shows it.
void relayPosition(Server& server, const Player& sender);
// Earth-centred coordinates in metres of a latitude, longitude (degrees)
// and elevation (metres).
void earthCentred(double latitude, double longitude, double elevation, double* x, double* y,
                  double* z);
