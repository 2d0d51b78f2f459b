// The preferences file: the seven settings, one line of key=value; entries.
#pragma once

#include <string>
#include <string_view>

// Relative to the simulator's working folder.
constexpr const char* kPreferencesPath = "Resources/plugins/qsprefs.txt";
// The most of the file that is read; the rest is ignored.
constexpr int kPreferencesReadLimit = 999;

// Loads the entries the file holds; settings without one keep their values.
void readPreferences();
// Replaces the file with the seven entries of the current settings. The new
// content goes to a temporary file beside it that is renamed into place, so a
// failed write keeps the old file whole. Owner-only: it holds the password.
void writePreferences();

// A text value as stored: "%", ";", CR and LF as %25, %3B, %0D, %0A, so the
// value can hold the entry separator and line breaks.
std::string encodePreferenceText(std::string_view value);
// The inverse: exactly those four escapes are decoded; any other "%" is kept,
// so files written without escapes read as they always did.
std::string decodePreferenceText(std::string_view stored);
// atoi without locale: leading white space, optional sign, decimal digits up
// to the first other character; no digits gives 0; clamped to the int range.
int parsePreferenceInteger(std::string_view text);
