// The language rules, and the page's layout tables against template 501.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <regex>
#include <string>

#include "page/language.h"

namespace tachy {
namespace {

TEST(Language, StringBases) {
  const struct { uint16_t lang; int32_t base; } cases[] = {
      {9, 0}, {12, 39}, {7, 78}, {10, 0}, {0, 0}, {0x407, 0}, {0x40C, 0}, {0x3FF, 0}};
  for (const auto& c : cases) EXPECT_EQ(StringBaseFor(c.lang), c.base) << c.lang;
}

TEST(Language, SystemLanguageWithoutGesture) {
  const struct { uint16_t system, picked; } cases[] = {
      {0x0409, 9}, {0x0809, 9}, {0x040C, 12}, {0x0C0C, 12}, {0x080C, 12},
      {0x0407, 7}, {0x0807, 7}, {0x0C07, 7},  {0x0C0A, 10}, {0x0411, 0x11}};
  for (const auto& c : cases) {
    LanguageState s;
    ResetLanguageState(&s);
    EXPECT_EQ(PickLanguage(&s, c.system), c.picked) << std::hex << c.system;
    EXPECT_EQ(s.cycleLanguage, 9);  // untouched without a request
    EXPECT_EQ(PickLanguage(&s, c.system), c.picked);
  }
}

TEST(Language, GestureCycleStartsAtEnglishWhateverTheSystem) {
  for (uint16_t system : {0x0409, 0x040C, 0x0407, 0x0C0A}) {
    LanguageState s;
    ResetLanguageState(&s);
    EXPECT_EQ(s.stringBase, 0);
    PickLanguage(&s, system);  // the opening
    for (uint16_t want : {12, 7, 9, 12, 7}) {
      s.cycleRequested = 1;
      EXPECT_EQ(PickLanguage(&s, system), want) << system;
      EXPECT_EQ(s.cycleRequested, 0);
      EXPECT_EQ(s.cycleLanguage, want);
    }
    EXPECT_EQ(PickLanguage(&s, system), system & 0x3FF);
  }
}

TEST(Language, LayoutChoice) {
  EXPECT_EQ(PageLayoutFor(9), kPageLayoutEnglish);
  for (uint16_t lang : {12, 7, 10, 0}) EXPECT_EQ(PageLayoutFor(lang), kPageLayoutOther);
}

// The English table must equal the rectangles of template 501, and both
// tables must move the same controls in the same order.
TEST(Language, EnglishTableMatchesTemplate501) {
  std::string path = __FILE__;
  path = path.substr(0, path.rfind("tests/native/")) + "resources/tachpage.rc";
  std::ifstream in(path);
  ASSERT_TRUE(in) << path;
  const std::string rc{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  const size_t begin = rc.find("501 DIALOG");
  ASSERT_NE(begin, std::string::npos);
  const std::string dialog = rc.substr(begin, rc.find("\nEND", begin) - begin);
  std::regex control(
      R"re(CONTROL\s+"(?:[^"]|"")*",\s*(\d+),\s*"[^"]+",[^,]*,\s*(\d+),\s*(\d+),\s*(\d+),\s*(\d+))re");
  std::map<int, std::vector<int>> rects;
  for (auto it = std::sregex_iterator(dialog.begin(), dialog.end(), control);
       it != std::sregex_iterator(); ++it) {
    rects[std::stoi((*it)[1])] = {std::stoi((*it)[2]), std::stoi((*it)[3]),
                                  std::stoi((*it)[4]), std::stoi((*it)[5])};
  }
  ASSERT_EQ(rects.size(), 20u);
  for (int i = 0; i < kPageLayoutRows; ++i) {
    const ControlLayoutRow& e = kPageLayoutEnglish[i];
    ASSERT_EQ(rects.count(e.id), 1u) << e.id;
    EXPECT_EQ(rects[e.id], (std::vector<int>{e.x, e.y, e.width, e.height})) << e.id;
    EXPECT_EQ(kPageLayoutOther[i].id, e.id) << i;
    // The wider layout keeps every control inside the 253-unit page.
    EXPECT_LE(kPageLayoutOther[i].x + kPageLayoutOther[i].width, 253) << e.id;
  }
}

}  // namespace
}  // namespace tachy
