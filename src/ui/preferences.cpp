// Placeholder.
#include "ui/preferences.h"

void readPreferences() {}
void writePreferences() {}
