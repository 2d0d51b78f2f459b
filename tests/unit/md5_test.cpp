#include "net/md5.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string hexOf(const unsigned char digest[16]) {
  static const char kDigits[] = "0123456789abcdef";
  std::string hex;
  for (int i = 0; i < 16; ++i) {
    hex += kDigits[digest[i] >> 4];
    hex += kDigits[digest[i] & 15];
  }
  return hex;
}

std::string md5HexOf(const std::string& text) {
  char hex[33];
  md5Hex(text.data(), static_cast<int>(text.size()), hex);
  return hex;
}

}  // namespace

TEST(Md5, RfcExampleDigestsAndPaddingEdges) {
  struct Case {
    std::string text;
    const char* digest;
  } cases[] = {
      {"", "d41d8cd98f00b204e9800998ecf8427e"},
      {"a", "0cc175b9c0f1b6a831c399e269772661"},
      {"abc", "900150983cd24fb0d6963f7d28e17f72"},
      {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
      {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
      {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
       "d174ab98d277d9f5a5611c2c9f419d9f"},
      {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
       "57edf4a22be3c955ac49da2e2107b67a"},
      // Lengths around the point where the bit count no longer fits the
      // block it ends in.
      {std::string(55, 'a'), "ef1772b6dff9a122358552954ad0df65"},
      {std::string(56, 'a'), "3b0c8ac703f828b04c6c197006d17218"},
      {std::string(63, 'a'), "b06521f39153d618550606be297466d5"},
      {std::string(64, 'a'), "014842d480b571495a4a0363793f7367"},
      {std::string(65, 'a'), "c743a45e0d2e6a95cb859adae0248435"},
      {std::string(119, 'a'), "8a7bd0732ed6a28ce75f6dabc90e1613"},
      {std::string(120, 'a'), "5f61c0ccad4cac44c75ff505e1f1e537"},
      {std::string(1000, 'a'), "cabe45dcc9ae5b66ba86600cca6b8ba8"},
  };
  for (const Case& c : cases) EXPECT_EQ(md5HexOf(c.text), c.digest) << c.text.size() << " bytes";
}

TEST(Md5, SplitUpdatesGiveTheSameDigestAtEveryBoundary) {
  std::string text;
  for (int i = 0; i < 200; ++i) text += static_cast<char>('!' + (i * 37) % 90);
  const std::string whole = md5HexOf(text);
  const unsigned char* bytes = reinterpret_cast<const unsigned char*>(text.data());
  for (int split = 0; split <= static_cast<int>(text.size()); ++split) {
    Md5State state;
    unsigned char digest[16];
    md5Init(&state);
    md5Update(&state, bytes, split);
    md5Update(&state, bytes + split, static_cast<int>(text.size()) - split);
    md5Final(&state, digest);
    EXPECT_EQ(hexOf(digest), whole) << "split at " << split;
  }
  // One byte at a time, with empty and negative updates between that change nothing.
  Md5State state;
  unsigned char digest[16];
  md5Init(&state);
  for (size_t i = 0; i < text.size(); ++i) {
    md5Update(&state, bytes + i, 1);
    md5Update(&state, bytes, 0);
    md5Update(&state, bytes, -5);
  }
  md5Final(&state, digest);
  EXPECT_EQ(hexOf(digest), whole);
}
