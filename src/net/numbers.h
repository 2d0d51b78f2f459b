// Numbers on the wire, independent of the process locale.
#pragma once

#include <string>
#include <string_view>

// Longest text writeReal or writeInteger produces, without terminator.
constexpr int kMaxNumberText = 24;

// Writes value as "%d" at out; returns the end of the text (no terminator).
char* writeInteger(char* out, int value);
// Writes the single-precision value widened to double as "%.9g".
char* writeReal(char* out, float value);
// Appends prefix, then the integer as "%d".
void appendInteger(std::string& message, std::string_view prefix, int value);
// Appends prefix, then the real as "%.9g".
void appendReal(std::string& message, std::string_view prefix, float value);
// atof of the text, reduced to single precision: leading white space, sign,
// the longest numeric prefix; empty or non-numeric text gives 0.
float parseReal(std::string_view text);
