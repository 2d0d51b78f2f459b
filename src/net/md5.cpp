// MD5 (RFC 1321). Words are read and written little-endian byte by byte, so
// the digest is the same on any host byte order.
#include "net/md5.h"

#include <string.h>

namespace {

// The per-step shift amounts, four per round.
const int kShift[4][4] = {{7, 12, 17, 22}, {5, 9, 14, 20}, {4, 11, 16, 23}, {6, 10, 15, 21}};

// floor(abs(sin(i + 1)) * 2^32) for the 64 steps.
const uint32_t kSine[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391};

uint32_t rotateLeft(uint32_t x, int n) { return (x << n) | (x >> (32 - n)); }

void hashBlock(uint32_t abcd[4], const unsigned char block[64]) {
  uint32_t x[16];
  for (int i = 0; i < 16; ++i)
    x[i] = block[4 * i] | (block[4 * i + 1] << 8) | (block[4 * i + 2] << 16) |
           (static_cast<uint32_t>(block[4 * i + 3]) << 24);
  uint32_t a = abcd[0], b = abcd[1], c = abcd[2], d = abcd[3];
  for (int step = 0; step < 64; ++step) {
    int round = step / 16;
    uint32_t f;
    int word;
    switch (round) {
      case 0: f = (b & c) | (~b & d); word = step; break;
      case 1: f = (b & d) | (c & ~d); word = (5 * step + 1) % 16; break;
      case 2: f = b ^ c ^ d; word = (3 * step + 5) % 16; break;
      default: f = c ^ (b | ~d); word = (7 * step) % 16; break;
    }
    uint32_t next = b + rotateLeft(a + f + kSine[step] + x[word], kShift[round][step % 4]);
    a = d;
    d = c;
    c = b;
    b = next;
  }
  abcd[0] += a;
  abcd[1] += b;
  abcd[2] += c;
  abcd[3] += d;
}

void putLittleEndian(unsigned char* out, uint32_t word) {
  for (int i = 0; i < 4; ++i) out[i] = static_cast<unsigned char>(word >> (8 * i));
}

}  // namespace

void md5Init(Md5State* state) {
  state->bitCount[0] = 0;
  state->bitCount[1] = 0;
  state->abcd[0] = 0x67452301;
  state->abcd[1] = 0xefcdab89;
  state->abcd[2] = 0x98badcfe;
  state->abcd[3] = 0x10325476;
}

void md5Update(Md5State* state, const unsigned char* data, int length) {
  if (length <= 0) return;
  unsigned used = (state->bitCount[0] >> 3) & 63;  // bytes already in the buffer
  uint32_t bits = static_cast<uint32_t>(length) << 3;
  state->bitCount[1] += static_cast<uint32_t>(length) >> 29;
  state->bitCount[0] += bits;
  if (state->bitCount[0] < bits) ++state->bitCount[1];

  size_t left = static_cast<size_t>(length);
  if (used > 0) {
    size_t take = 64 - used < left ? 64 - used : left;
    memcpy(state->buffer + used, data, take);
    data += take;
    left -= take;
    if (used + take < 64) return;
    hashBlock(state->abcd, state->buffer);
  }
  for (; left >= 64; data += 64, left -= 64) hashBlock(state->abcd, data);
  memcpy(state->buffer, data, left);
}

void md5Final(Md5State* state, unsigned char digest[16]) {
  unsigned char count[8];
  putLittleEndian(count, state->bitCount[0]);
  putLittleEndian(count + 4, state->bitCount[1]);
  static const unsigned char kPadding[64] = {0x80};
  unsigned used = (state->bitCount[0] >> 3) & 63;
  md5Update(state, kPadding, static_cast<int>((55 + 64 - used) % 64) + 1);  // to 56 mod 64
  md5Update(state, count, 8);
  for (int i = 0; i < 4; ++i) putLittleEndian(digest + 4 * i, state->abcd[i]);
}

void md5Hex(const char* data, int length, char hex[33]) {
  static const char kDigits[] = "0123456789abcdef";
  Md5State state;
  unsigned char digest[16];
  md5Init(&state);
  md5Update(&state, reinterpret_cast<const unsigned char*>(data), length);
  md5Final(&state, digest);
  // The same text as "%02x" per byte, without going through printf.
  for (int i = 0; i < 16; ++i) {
    hex[2 * i] = kDigits[digest[i] >> 4];
    hex[2 * i + 1] = kDigits[digest[i] & 15];
  }
  hex[32] = 0;
}
