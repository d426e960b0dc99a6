#include <gtest/gtest.h>

#include "settings/text.h"

namespace tachy {
namespace {

TEST(ParseDecimal, FollowsTheAtoiRule) {
  struct Case { const char* text; int32_t expected; } cases[] = {
      {"143", 143},   {"  7", 7},      {"\t\n-1", -1}, {"+12x", 12},
      {"abc", 0},     {"", 0},         {"0", 0},       {"00", 0},
      {"- 5", 0},     {"--5", 0},      {"72Hz", 72},   {"2147483647", 2147483647},
      {"4294967296", 0},  // wraps instead of overflowing
  };
  for (const Case& c : cases) EXPECT_EQ(ParseDecimal(c.text), c.expected) << c.text;
  EXPECT_EQ(ParseDecimal(nullptr), 0);
}

TEST(Formatting, DecimalPad4AndPrintf) {
  char buf[64];
  struct Case { long n; const char *decimal, *pad4; } cases[] = {
      {0, "0", "0000"}, {3, "3", "0003"}, {15, "15", "0015"}, {12345, "12345", "12345"},
      {-3, "-3", "-0003"}, {-2147483647L - 1, "-2147483648", "-2147483648"}};
  for (const Case& c : cases) {
    FormatDecimal(buf, sizeof buf, c.n);
    EXPECT_STREQ(buf, c.decimal);
    FormatPad4(buf, sizeof buf, c.n);
    EXPECT_STREQ(buf, c.pad4);
  }
  FormatText(buf, sizeof buf, "Display\\%4.4i\\MODES\\%i\\%s %u%%", 2, 16, "640,480", 7u);
  EXPECT_STREQ(buf, "Display\\0002\\MODES\\16\\640,480 7%");
}

TEST(Formatting, UnknownConversionsStandAsTheyAre) {
  // Found by the text fuzzer: only %4.4i pads, and a lone l is no conversion.
  struct Case { const char *format, *expected; } cases[] = {
      {"%4.4d|%4.4ld|%4.4u", "%4.4d|%4.4ld|%4.4u"}, {"%l%%gd", "%l%gd"},
      {"%4.4i %ld %li %lu", "0007 -8 9 10"}, {"%x%", "%x%"}};
  char buf[64];
  for (const Case& c : cases) {
    FormatText(buf, sizeof buf, c.format, 7, -8L, 9L, 10UL);
    EXPECT_STREQ(buf, c.expected) << c.format;
  }
}

TEST(Formatting, CutsAtTheBufferEnd) {
  char buf[8];
  EXPECT_EQ(FormatText(buf, sizeof buf, "%s-%d", "abcdef", 12345), 7u);
  EXPECT_STREQ(buf, "abcdef-");
  EXPECT_EQ(CopyText(buf, sizeof buf, "0123456789"), 7u);
  EXPECT_STREQ(buf, "0123456");
  CopyText(buf, sizeof buf, "ab");
  AppendText(buf, sizeof buf, "cdefghij");
  EXPECT_STREQ(buf, "abcdefg");
  char one[1] = {'x'};
  EXPECT_EQ(CopyText(one, 1, "abc"), 0u);
  EXPECT_EQ(one[0], 0);
}

TEST(Search, CaseSensitiveSubstring) {
  EXPECT_NE(FindText("3dfx Voodoo3 3000", "Voodoo3"), nullptr);
  EXPECT_EQ(FindText("3DFX VOODOO3", "Voodoo3"), nullptr);
  EXPECT_EQ(FindText("Voodoo", "Voodoo3"), nullptr);
  EXPECT_STREQ(FindText("xxFORCE95", "FORCE95"), "FORCE95");
  EXPECT_TRUE(TextEqualsNoCase("french", "FRENCH"));
  EXPECT_FALSE(TextEqualsNoCase(" FRENCH", "FRENCH"));
  EXPECT_FALSE(TextEquals("Adapter", "adapter"));
}

}  // namespace
}  // namespace tachy
