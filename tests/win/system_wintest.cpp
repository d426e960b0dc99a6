// The real system services under Wine: the version and language that the
// test rig sets (scripts/wine-version.sh --app, LC_ALL) arrive through
// Win32SystemInfo, and Win32MessageSink shows a real message box.
#include <cstdlib>

#include "page_harness.h"
#include "settings/win32system_win.h"

namespace tachy {
namespace {

TEST(SystemInfo, LanguageFollowsTheUnixLocale) {
  const std::string expected = pagetest::Env("TACHY_EXPECT_LANGID");  // "0x0407" etc.
  if (expected.empty()) GTEST_SKIP() << "run by ctest with LC_ALL and TACHY_EXPECT_LANGID";
  EXPECT_EQ(std::strtol(expected.c_str(), nullptr, 0),
            SystemInformation().GetSystemDefaultLangId())
      << "LC_ALL=" << pagetest::Env("LC_ALL");
}

TEST(SystemInfo, VersionIsWhatWinePosesAs) {
  // ctest sets this program's Wine version to win95 first.
  OsVersion v = {};
  ASSERT_TRUE(SystemInformation().GetVersion(&v));
  EXPECT_EQ(4u, v.majorVersion);
  EXPECT_EQ(0u, v.minorVersion);
  EXPECT_EQ(kVerPlatformWin32Windows, v.platformId);
  EXPECT_EQ(950u, v.buildNumber & 0xFFFF);
  EXPECT_TRUE(SystemInformation().GetVersion(nullptr));  // a caller's mistake, not a crash
}

TEST(MessageSink, ShowsAMessageBoxWithCaptionAndReturnsTheButton) {
  pagetest::BoxCatcher catcher;  // presses the box's OK
  const int button = SystemMessages().Show(0, "Restart Windows.", "Tachymark test box",
                                           kMbOk | kMbIconError);
  ASSERT_EQ(catcher.boxes.size(), 1u);
  EXPECT_EQ(catcher.boxes[0].caption, "Tachymark test box");
  EXPECT_EQ(catcher.boxes[0].text, "Restart Windows.");
  EXPECT_EQ(IDOK, button);
}

}  // namespace
}  // namespace tachy
