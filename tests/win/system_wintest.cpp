// The real system services under Wine: the version and language that the
// test rig sets (scripts/wine-version.sh --app, LC_ALL) arrive through
// Win32SystemInfo, and Win32MessageSink shows a real message box.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "settings/win32system_win.h"

namespace tachy {
namespace {

// "0x0407" etc.; -1 when the variable is not set.
long ExpectedNumber(const char* variable) {
  const char* text = std::getenv(variable);
  if (!text || !*text) return -1;
  return std::strtol(text, nullptr, 0);
}

TEST(SystemInfo, LanguageFollowsTheUnixLocale) {
  long expected = ExpectedNumber("TACHY_EXPECT_LANGID");
  if (expected < 0) GTEST_SKIP() << "run by ctest with LC_ALL and TACHY_EXPECT_LANGID";
  EXPECT_EQ(expected, SystemInformation().GetSystemDefaultLangId())
      << "LC_ALL=" << (std::getenv("LC_ALL") ? std::getenv("LC_ALL") : "");
}

TEST(SystemInfo, VersionIsWhatWinePosesAs) {
  // ctest sets this program's Wine version to win95 first.
  OsVersion v = {};
  ASSERT_TRUE(SystemInformation().GetVersion(&v));
  EXPECT_EQ(4u, v.majorVersion);
  EXPECT_EQ(0u, v.minorVersion);
  EXPECT_EQ(kVerPlatformWin32Windows, v.platformId);
  EXPECT_EQ(950u, v.buildNumber & 0xFFFF);
  // A null record is a caller's mistake, not a crash.
  EXPECT_TRUE(SystemInformation().GetVersion(nullptr));
}

struct BoxWatch {
  std::string caption;
  bool found = false;
  std::string text;
};

BOOL CALLBACK CollectText(HWND child, LPARAM param) {
  char text[128] = "";
  GetWindowTextA(child, text, sizeof text);
  *reinterpret_cast<std::string*>(param) += std::string(text) + "|";
  return TRUE;
}

DWORD WINAPI CloseBox(LPVOID param) {
  BoxWatch* watch = static_cast<BoxWatch*>(param);
  for (int i = 0; i < 200; ++i) {  // up to 10 s
    HWND box = FindWindowA("#32770", watch->caption.c_str());
    if (box) {
      watch->found = true;
      Sleep(100);  // let the box fill its controls
      EnumChildWindows(box, CollectText, reinterpret_cast<LPARAM>(&watch->text));
      PostMessageA(box, WM_COMMAND, IDOK, 0);
      return 0;
    }
    Sleep(50);
  }
  return 1;
}

TEST(MessageSink, ShowsAMessageBoxWithCaptionAndReturnsTheButton) {
  BoxWatch watch;
  watch.caption = "Tachymark test box";
  HANDLE thread = CreateThread(nullptr, 0, CloseBox, &watch, 0, nullptr);
  ASSERT_NE(nullptr, thread);
  int button = SystemMessages().Show(0, "Restart Windows.", watch.caption.c_str(),
                                     kMbOk | kMbIconError);
  WaitForSingleObject(thread, 15000);
  CloseHandle(thread);
  EXPECT_TRUE(watch.found);
  EXPECT_NE(std::string::npos, watch.text.find("Restart Windows.|")) << watch.text;
  EXPECT_EQ(IDOK, button);
}

}  // namespace
}  // namespace tachy
