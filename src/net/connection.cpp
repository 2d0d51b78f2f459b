// Placeholder.
#include "net/connection.h"

int connectToServer() { return 0; }
int disconnectFromServer() { return 1; }
void dropConnection(const char*) {}
