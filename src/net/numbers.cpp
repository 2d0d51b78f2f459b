// Placeholder.
#include "net/numbers.h"

#include <stdio.h>
#include <stdlib.h>

char* writeInteger(char* out, int value) { return out + sprintf(out, "%d", value); }
char* writeReal(char* out, float value) { return out + sprintf(out, "%.9g", (double)value); }
void appendInteger(std::string& message, std::string_view prefix, int value) {
  char text[kMaxNumberText + 1];
  message.append(prefix);
  message.append(text, writeInteger(text, value));
}
void appendReal(std::string& message, std::string_view prefix, float value) {
  char text[kMaxNumberText + 1];
  message.append(prefix);
  message.append(text, writeReal(text, value));
}
float parseReal(std::string_view text) { return (float)atof(std::string(text).c_str()); }
