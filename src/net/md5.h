// MD5 message digest (RFC 1321), incremental, without allocation.
#pragma once

#include <stdint.h>

struct Md5State {
  uint32_t bitCount[2];  // message bits fed so far, low word first
  uint32_t abcd[4];      // chaining words
  unsigned char buffer[64];  // part of a block not yet hashed
};

void md5Init(Md5State* state);
// Feeds length bytes; a length of 0 or less changes nothing.
void md5Update(Md5State* state, const unsigned char* data, int length);
// Pads, appends the bit count and writes the 16 digest bytes.
void md5Final(Md5State* state, unsigned char digest[16]);
// The digest of one text as 32 lowercase hexadecimal digits and a NUL.
void md5Hex(const char* data, int length, char hex[33]);
