// The preferences file: the seven settings, one line of key=value; entries.
#pragma once

// Relative to the simulator's working folder.
constexpr const char* kPreferencesPath = "Resources/plugins/qsprefs.txt";

// Loads the entries the file holds; settings without one keep their values.
void readPreferences();
// Replaces the file with the seven entries of the current settings.
void writePreferences();
