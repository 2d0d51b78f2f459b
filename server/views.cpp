// Slot assignment per receiving client, the identity lines that go with
// it, and the relay of positions to the slots.
#include "views.h"

#include <arpa/inet.h>
#include <sys/socket.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "messages.h"

namespace {

// The pilot a view-only crew member rides with: the first aircraft of the
// pilot's user ID; 0 when there is none.
int pilotFor(const Server& server, const Player& crew, Clock::time_point now) {
  if (!crew.viewOnly) return 0;
  auto pairing = server.options.crew.find(crew.userID);
  if (pairing == server.options.crew.end()) return 0;
  for (const auto& [id, player] : server.players)
    if (id != crew.id && player.userID == pairing->second && isAircraft(server, player, now))
      return id;
  return 0;
}

double squaredDistance(const Player& a, const Player& b) {
  double dx = a.x - b.x, dy = a.y - b.y, dz = a.z - b.z;
  return dx * dx + dy * dy + dz * dz;
}

// The players the receiver should see in slots 1 to 19: every other
// aircraft but its pilot, the nearest 19 when there are more. A receiver
// without a position yet sees those that came first.
std::vector<int> wantedPlayers(const Server& server, const Player& receiver, int pilot,
                               Clock::time_point now) {
  std::vector<const Player*> candidates;
  for (const auto& [id, player] : server.players)
    if (id != receiver.id && id != pilot && isAircraft(server, player, now))
      candidates.push_back(&player);
  if (candidates.size() > kSlotCount - 1 && receiver.hasPosition) {
    std::stable_sort(candidates.begin(), candidates.end(), [&](const Player* a, const Player* b) {
      return squaredDistance(receiver, *a) < squaredDistance(receiver, *b);
    });
  }
  if (candidates.size() > kSlotCount - 1) candidates.resize(kSlotCount - 1);
  std::vector<int> ids;
  for (const Player* player : candidates) ids.push_back(player->id);
  return ids;
}

void sendIfChanged(Server& server, Player& receiver, int slot, char type,
                   const std::optional<std::string>& value, std::optional<std::string>& sent) {
  if (!value || value == sent) return;
  queueOutput(server, receiver, slotLine(slot, type, *value));
  sent = value;
}

void clearSlot(Server& server, Player& receiver, int slot) {
  queueOutput(server, receiver, slotLine(slot, 'c', "BLANK"));
  queueOutput(server, receiver, slotLine(slot, 'p', "BLANK"));
  receiver.slots[slot] = SlotView{};
}

void updateView(Server& server, Player& receiver, Clock::time_point now) {
  int pilot = pilotFor(server, receiver, now);
  std::vector<int> wanted = wantedPlayers(server, receiver, pilot, now);
  auto isWanted = [&](int id) { return std::find(wanted.begin(), wanted.end(), id) != wanted.end(); };

  // Leavers first, so their slots are free for those who arrive.
  if (receiver.slots[0].player != 0 && receiver.slots[0].player != pilot) clearSlot(server, receiver, 0);
  for (int slot = 1; slot < kSlotCount; ++slot)
    if (receiver.slots[slot].player != 0 && !isWanted(receiver.slots[slot].player))
      clearSlot(server, receiver, slot);

  receiver.slots[0].player = pilot;
  for (int id : wanted) {
    auto shown = std::find_if(receiver.slots.begin() + 1, receiver.slots.end(),
                              [&](const SlotView& view) { return view.player == id; });
    if (shown != receiver.slots.end()) continue;
    auto free = std::find_if(receiver.slots.begin() + 1, receiver.slots.end(),
                             [](const SlotView& view) { return view.player == 0; });
    free->player = id;
  }

  for (int slot = 0; slot < kSlotCount; ++slot) {
    SlotView& view = receiver.slots[slot];
    if (view.player == 0) continue;
    const Player& shownPlayer = server.players.at(view.player);
    sendIfChanged(server, receiver, slot, 'c', shownPlayer.callsign, view.callsign);
    sendIfChanged(server, receiver, slot, 'p', shownPlayer.aircraft, view.aircraft);
  }
}

}  // namespace

void updateViews(Server& server, Clock::time_point now) {
  server.viewsDirty = false;
  for (auto& [id, player] : server.players) {
    bool aircraft = isAircraft(server, player, now);
    if (player.shown && !aircraft && player.loggedIn && !player.closing && !player.viewOnly)
      logLine(describePlayer(player) + " idle: no position for " +
              formatSeconds(server.options.idleTimeoutSeconds) + " s");
    player.shown = aircraft;
  }
  for (auto& [id, player] : server.players)
    if (player.loggedIn && !player.closing) updateView(server, player, now);
}

void relayPosition(Server& server, const Player& sender) {
  for (auto& [id, receiver] : server.players) {
    if (id == sender.id || !receiver.loggedIn || receiver.closing || !receiver.udpKnown) continue;
    for (int slot = 0; slot < kSlotCount; ++slot) {
      if (receiver.slots[slot].player != sender.id) continue;
      std::string datagram = positionDatagram(slot, sender.relayed);
      // A full send buffer drops the datagram, as the network may.
      sendto(server.udpFd, datagram.data(), datagram.size(), MSG_DONTWAIT,
             reinterpret_cast<const sockaddr*>(&receiver.udpAddress), sizeof receiver.udpAddress);
      ++server.relayedDatagrams;
      break;
    }
  }
}

void earthCentred(double latitude, double longitude, double elevation, double* x, double* y,
                  double* z) {
  // A sphere is close enough to tell near from far.
  const double kEarthRadius = 6371000.0;  // metres
  const double kRadians = M_PI / 180.0;
  double radius = kEarthRadius + elevation;
  *x = radius * std::cos(latitude * kRadians) * std::cos(longitude * kRadians);
  *y = radius * std::cos(latitude * kRadians) * std::sin(longitude * kRadians);
  *z = radius * std::sin(latitude * kRadians);
}
