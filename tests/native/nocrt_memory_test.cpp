// settings/nocrt under other names, so that it does not replace the host's.
#define memcpy nocrt_memcpy
#define memmove nocrt_memmove
#define memset nocrt_memset
#define memcmp nocrt_memcmp
#define strlen nocrt_strlen
#include "settings/nocrt/nocrt_memory.cpp"
#undef memcpy
#undef memmove
#undef memset
#undef memcmp
#undef strlen

#include <gtest/gtest.h>

#include <string>

namespace {

std::string Bytes(const unsigned char* p, size_t n) {
  return std::string(reinterpret_cast<const char*>(p), n);
}

TEST(NoCrtMemory, MoveHandlesEveryOverlap) {
  struct Case { const char* label; size_t from, to, count; const char* expected; } cases[] = {
      {"forward overlap", 0, 2, 6, "ababcdefij"}, {"backward overlap", 2, 0, 6, "cdefghghij"},
      {"disjoint", 0, 6, 3, "abcdefabcj"},        {"same place", 3, 3, 4, "abcdefghij"},
      {"nothing", 1, 5, 0, "abcdefghij"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    unsigned char buf[10];
    for (int i = 0; i < 10; ++i) buf[i] = static_cast<unsigned char>('a' + i);
    EXPECT_EQ(buf + c.to, nocrt_memmove(buf + c.to, buf + c.from, c.count));
    EXPECT_EQ(c.expected, Bytes(buf, 10));
  }
}

TEST(NoCrtMemory, CopySetCompareLength) {
  unsigned char dest[8] = {0};
  const unsigned char src[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  EXPECT_EQ(dest, nocrt_memcpy(dest, src, 5));
  EXPECT_EQ(std::string("\1\2\3\4\5\0\0\0", 8), Bytes(dest, 8));
  EXPECT_EQ(dest + 1, nocrt_memset(dest + 1, 0x1FF, 3));  // only the low byte
  EXPECT_EQ(std::string("\1\xFF\xFF\xFF\5\0\0\0", 8), Bytes(dest, 8));

  // memcmp compares as unsigned bytes and stops at the count.
  const unsigned char low[3] = {1, 0x7F, 9};
  const unsigned char high[3] = {1, 0x80, 0};
  EXPECT_LT(nocrt_memcmp(low, high, 3), 0);
  EXPECT_GT(nocrt_memcmp(high, low, 3), 0);
  EXPECT_EQ(0, nocrt_memcmp(low, high, 1));
  EXPECT_EQ(0, nocrt_memcmp(low, high, 0));

  EXPECT_EQ(0u, nocrt_strlen(""));
  EXPECT_EQ(7u, nocrt_strlen("Voodoo3"));
}

}  // namespace
