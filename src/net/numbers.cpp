// Numbers on the wire. std::to_chars and std::from_chars never look at the
// process locale, so a decimal comma set by the simulator or another plug-in
// cannot change what goes out or how a field reads.
#include "net/numbers.h"

#include <charconv>
#include <limits>

char* writeInteger(char* out, int value) {
  return std::to_chars(out, out + kMaxNumberText, value).ptr;
}

char* writeReal(char* out, float value) {
  // General format with precision 9 is "%.9g" to the byte: trailing zeros
  // dropped, no point for whole values, exponent form below 1e-4 and from 1e9.
  return std::to_chars(out, out + kMaxNumberText, static_cast<double>(value),
                       std::chars_format::general, 9).ptr;
}

void appendInteger(std::string& message, std::string_view prefix, int value) {
  char text[kMaxNumberText];
  message.append(prefix);
  message.append(text, writeInteger(text, value));
}

void appendReal(std::string& message, std::string_view prefix, float value) {
  char text[kMaxNumberText];
  message.append(prefix);
  message.append(text, writeReal(text, value));
}

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isHexDigit(char c) { return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }
bool isSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// For a numeral that from_chars found out of range: whether its magnitude is
// above one (an overflow, infinity) rather than below (an underflow, zero).
// The numeral's leading digit position plus its exponent decides; out of
// range lies hundreds of decades away from one, so the estimate is safe.
bool overflows(const char* p, const char* end, bool hex) {
  auto isMantissaDigit = hex ? isHexDigit : isDigit;
  long long position = 0;  // of the first non-zero digit, relative to the point
  bool seenNonZero = false, afterPoint = false;
  for (; p != end && (isMantissaDigit(*p) || (*p == '.' && !afterPoint)); ++p) {
    if (*p == '.') {
      afterPoint = true;
    } else if (*p != '0' && !seenNonZero) {
      seenNonZero = true;
      if (afterPoint) position -= 1;
    } else if (!seenNonZero && afterPoint) {
      position -= 1;
    } else if (seenNonZero && !afterPoint) {
      position += 1;
    }
  }
  long long exponent = 0;
  if (p != end && (*p == (hex ? 'p' : 'e') || *p == (hex ? 'P' : 'E'))) {
    ++p;
    bool negative = p != end && *p == '-';
    if (p != end && (*p == '-' || *p == '+')) ++p;
    for (; p != end && isDigit(*p); ++p)
      if (exponent < 1000000000) exponent = exponent * 10 + (*p - '0');
    if (negative) exponent = -exponent;
  }
  return (hex ? position * 4 : position) + exponent > 0;
}

// The end of the longest numeral at p: mantissa digits with at most one
// point, then an exponent only when a single sign at most and a digit follow
// its letter. Returns p when the mantissa has no digit (no numeral, or "inf"
// and "nan", which from_chars reads by itself). libstdc++'s hexadecimal
// from_chars takes "p+-1" as an exponent, which atof does not, so the range
// it sees ends here.
const char* numeralEnd(const char* p, const char* end, bool hex) {
  auto isMantissaDigit = hex ? isHexDigit : isDigit;
  const char* start = p;
  bool anyDigit = false, afterPoint = false;
  for (; p != end && (isMantissaDigit(*p) || (*p == '.' && !afterPoint)); ++p) {
    if (*p == '.') afterPoint = true;
    else anyDigit = true;
  }
  if (!anyDigit) return start;
  if (p != end && (*p == (hex ? 'p' : 'e') || *p == (hex ? 'P' : 'E'))) {
    const char* exponent = p + 1;
    if (exponent != end && (*exponent == '+' || *exponent == '-')) ++exponent;
    if (exponent != end && isDigit(*exponent)) {
      p = exponent;
      while (p != end && isDigit(*p)) ++p;
    }
  }
  return p;
}

}  // namespace

float parseReal(std::string_view text) {
  const char* p = text.data();
  const char* end = p + text.size();
  while (p != end && isSpace(*p)) ++p;
  bool negative = false;
  if (p != end && (*p == '+' || *p == '-')) {
    negative = *p == '-';
    ++p;
  }
  // from_chars takes neither a sign before "inf" or "nan" after a "+" nor a
  // "0x" prefix, so both are peeled off here and the sign applied after.
  bool hex = end - p >= 2 && p[0] == '0' && (p[1] == 'x' || p[1] == 'X');
  const char* digits = hex ? p + 2 : p;
  const char* numeral = numeralEnd(digits, end, hex);
  if (numeral != digits) end = numeral;
  double value = 0;
  auto result = std::from_chars(digits, end, value,
                                hex ? std::chars_format::hex : std::chars_format::general);
  // A second sign is no numeral for atof, though from_chars would take it;
  // nor is "inf" or "nan" after "0x".
  if (digits != end && (*digits == '-' || (hex && !isHexDigit(*digits) && *digits != '.')))
    result.ec = std::errc::invalid_argument;
  if (result.ec == std::errc::result_out_of_range) {
    value = overflows(digits, end, hex) ? std::numeric_limits<double>::infinity() : 0.0;
  } else if (result.ec != std::errc()) {
    // No numeral: a bare "0x" still reads as its 0, signed; anything else as
    // an unsigned 0, as atof gives when it converts nothing.
    if (!hex) return 0.0f;
    value = 0;
  }
  return static_cast<float>(negative ? -value : value);
}
