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
bool startsInfinityOrNan(char c) { return c == 'i' || c == 'I' || c == 'n' || c == 'N'; }

// The longest numeral at the front of a text, as atof reads it.
struct Numeral {
  const char* end;      // the start when the mantissa has no digit
  long long magnitude;  // > 0 when the value is above one (in bits for hex)
};

// Mantissa digits with at most one point, then an exponent only when a
// single sign at most and a digit follow its letter. libstdc++'s
// hexadecimal from_chars takes "p+-1" as an exponent, which atof does not,
// so from_chars is only ever given the range found here.
//
// The magnitude is the leading non-zero digit's place plus the exponent: it
// tells an overflow from an underflow when from_chars finds the value out
// of range, which lies hundreds of decades away from one either way.
Numeral scanNumeral(const char* p, const char* end, bool hex) {
  auto isMantissaDigit = hex ? isHexDigit : isDigit;
  const char* start = p;
  long long place = 0;  // of the first non-zero digit, relative to the point
  bool anyDigit = false, seenNonZero = false, afterPoint = false;
  for (; p != end && (isMantissaDigit(*p) || (*p == '.' && !afterPoint)); ++p) {
    if (*p == '.') {
      afterPoint = true;
      continue;
    }
    anyDigit = true;
    if (*p != '0' && !seenNonZero) {
      seenNonZero = true;
      if (afterPoint) place -= 1;
    } else if (!seenNonZero && afterPoint) {
      place -= 1;
    } else if (seenNonZero && !afterPoint) {
      place += 1;
    }
  }
  if (!anyDigit) return {start, 0};
  long long exponent = 0;
  if (p != end && (*p == (hex ? 'p' : 'e') || *p == (hex ? 'P' : 'E'))) {
    const char* q = p + 1;
    bool negative = q != end && *q == '-';
    if (q != end && (*q == '-' || *q == '+')) ++q;
    if (q != end && isDigit(*q)) {
      for (; q != end && isDigit(*q); ++q)
        if (exponent < 1000000000) exponent = exponent * 10 + (*q - '0');
      if (negative) exponent = -exponent;
      p = q;
    }
  }
  return {p, (hex ? place * 4 : place) + exponent};
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
  // from_chars takes no "0x" prefix, so it is peeled off here, as the sign
  // is, and the sign applied after.
  bool hex = end - p >= 2 && p[0] == '0' && (p[1] == 'x' || p[1] == 'X');
  const char* digits = hex ? p + 2 : p;
  Numeral numeral = scanNumeral(digits, end, hex);
  double value = 0;
  if (numeral.end != digits) {
    auto result = std::from_chars(digits, numeral.end, value,
                                  hex ? std::chars_format::hex : std::chars_format::general);
    if (result.ec == std::errc::result_out_of_range)
      value = numeral.magnitude > 0 ? std::numeric_limits<double>::infinity() : 0.0;
  } else if (!hex) {
    // No digits: "inf", "infinity" or "nan" (from_chars reads those), or no
    // numeral at all, which atof gives as an unsigned 0. A bare "0x" reads
    // as its 0, signed.
    if (digits == end || !startsInfinityOrNan(*digits)) return 0.0f;
    if (std::from_chars(digits, end, value).ec != std::errc()) return 0.0f;
  }
  return static_cast<float>(negative ? -value : value);
}
