// Placeholder.
#include "net/wire.h"

std::string buildLogin(int, std::string_view, std::string_view) { return {}; }
std::string buildClosingNotice(int) { return {}; }
std::string buildAircraftReport(int, std::string_view) { return {}; }
std::string buildCallsignReport(int, std::string_view, int) { return {}; }
std::string buildChatMessage(int, std::string_view) { return {}; }
int buildPositionReport(char*, int, int, const PositionSample&) { return 0; }
bool recognisePositionDatagram(const char*, int, PositionDatagram*) { return false; }
void appendStreamBytes(std::string&, const char*, int) {}
void takeStreamLines(std::string&, StreamLineHandler, void*) {}
