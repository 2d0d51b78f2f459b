// Number formats against the C library in the "C" locale: parseReal against
// atof reduced to float, writeReal against "%.9g", writeInteger against "%d".
#include <math.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "net/numbers.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  float got = parseReal(text);
  float want = static_cast<float>(atof(text.c_str()));  // atof stops at a NUL, as a field never holds one
  if (text.find('\0') == std::string::npos) {
    if (isnan(want) ? !isnan(got) || signbit(got) != signbit(want) : memcmp(&got, &want, sizeof got) != 0)
      abort();
  }

  if (size >= 4) {
    float value;
    int integer;
    memcpy(&value, data, 4);
    memcpy(&integer, data, 4);
    char out[kMaxNumberText + 1], expected[64];
    *writeReal(out, value) = 0;
    snprintf(expected, sizeof expected, "%.9g", static_cast<double>(value));
    if (strcmp(out, expected) != 0) abort();
    // What goes out reads back as the same value.
    float back = parseReal(out);
    if (!isnan(value) && memcmp(&back, &value, 4) != 0) abort();
    *writeInteger(out, integer) = 0;
    snprintf(expected, sizeof expected, "%d", integer);
    if (strcmp(out, expected) != 0) abort();
  }
  return 0;
}
