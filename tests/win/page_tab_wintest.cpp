// The Tachymark tab on the Windows 9x family, reached as the Display
// control panel reaches it (handler key, COM, the shell's extension array),
// driven on its real controls in a modeless property sheet.
#include "page_harness.h"

namespace pagetest {
namespace {

const char kAboveLimit[] =
    "The Graphics Clock in presently set to 250 Mhz which is above the Upper Limit "
    "of 220 Mhz and will be reset to the Upper Limit now. You will need to restart "
    "Windows after exiting Display Properties.";
const char kBelowLimit[] =
    "The Graphics Clock in presently set to 90 Mhz which is below the Lower Limit "
    "of 120 Mhz and will be reset to the Lower Limit now. You will need to restart "
    "Windows after exiting Display Properties.";
const char kCredits[] =
    "Don't be fooled by cheap imitations ask for the original\nTachymark written by "
    "Quillon. I'd like to\nsay hi to all my friends on the 3dfx Voodoo3 Newsgroup.";
const char kApplyFailed[] =
    "The settings could not be saved. Changing them may need administrator rights.";

const std::string kDefaultKey = std::string(kAdapter0) + "\\DEFAULT";
const std::string kGlideKey = std::string(kAdapter0) + "\\Glide";
const std::string kD3DKey = std::string(kAdapter0) + "\\D3D";
const int kClockControls[] = {1001, 1005, 1010, 1004, 1003, 1027};

class Tab : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetMachine();
    RegisterPageModule();
  }
  void TearDown() override {
    DeleteTree(kDisplayClass);
    DeleteTree(kProduct);
  }
  BoxCatcher boxes;
};

std::string TabTitle(HWND sheet, int index) {
  HWND tabs = reinterpret_cast<HWND>(SendMessageA(sheet, PSM_GETTABCONTROL, 0, 0));
  char text[64] = {};
  TCITEMA item = {};
  item.mask = TCIF_TEXT;
  item.pszText = text;
  item.cchTextMax = sizeof text;
  SendMessageA(tabs, TCM_GETITEMA, index, reinterpret_cast<LPARAM>(&item));
  return text;
}

// First of the suite: Wine's shell keeps a reference of every handler it
// loads, so only before any sheet opened through it can the module's end
// show.
TEST_F(Tab, TwoSheetsInOneProcessEachHaveTheirPage) {
  InstallProductKey("120", "220", "Voodoo3 3000", "166", "1");
  PutText(kDefaultKey, "Grxclock", "180");
  Sheet a, b;
  a.Open(false);  // the direct way, so that the objects' end shows
  b.Open(false);
  ASSERT_NE(a.page, nullptr);
  ASSERT_NE(b.page, nullptr);
  ASSERT_NE(a.page, b.page);
  a.Drag(200);
  EXPECT_EQ(a.TextOf(1005), "200");
  EXPECT_EQ(b.TextOf(1005), "180");
  EXPECT_TRUE(a.ApplyEnabled());
  EXPECT_FALSE(b.ApplyEnabled());
  a.Press(PSBTN_OK);
  EXPECT_TRUE(a.Finished());
  a.Close();
  EXPECT_EQ(Text(kDefaultKey, "Grxclock"), "200");
  // The second page still works after the first sheet went away.
  b.Click(1006);
  EXPECT_TRUE(b.Checked(1006));
  b.Press(PSBTN_APPLYNOW);
  EXPECT_EQ(Text(kGlideKey, "FX_GLIDE_SWAPINTERVAL"), "0");
  EXPECT_EQ(Text(kDefaultKey, "Grxclock"), "180");
  EXPECT_EQ(CanUnloadNow(), S_FALSE);  // b's page and object still live
  b.Close();
  EXPECT_EQ(CanUnloadNow(), S_OK);
}

TEST_F(Tab, OpensFilledFromTheRegistry) {
  InstallProductKey("110", "230", "Voodoo3 3500", "183", "1");
  PutText(kDefaultKey, "Grxclock", "200");
  PutText(kGlideKey, "FX_GLIDE_SWAPINTERVAL", "1");
  Sheet s;
  ASSERT_EQ(s.Open(), 1u);
  ASSERT_NE(s.page, nullptr);
  EXPECT_EQ(TabTitle(s.sheet, 1), "Tachymark");
  s.ExpectTrackbar(110, 230);
  EXPECT_EQ(s.Trackbar(TBM_GETPOS), 200);
  EXPECT_EQ(s.TextOf(1005), "200");
  EXPECT_EQ(s.TextOf(1004), "110");
  EXPECT_EQ(s.TextOf(1003), "230");
  EXPECT_EQ(s.TextOf(1008), "Voodoo3 3500");
  EXPECT_EQ(s.TextOf(1054), "Version 3.2 English");
  EXPECT_EQ(s.TextOf(1062), "Voodoo3 Settings");
  EXPECT_TRUE(s.Checked(1006));
  EXPECT_FALSE(s.Checked(1007));
  EXPECT_TRUE(s.Enabled(1007));
  EXPECT_TRUE(s.Checked(1009));
  for (int id : kClockControls) EXPECT_TRUE(s.Enabled(id)) << id;
  EXPECT_TRUE(s.Enabled(1026));
  EXPECT_FALSE(s.ApplyEnabled());
  EXPECT_EQ(s.changed, 0);
  EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(Tab, WithoutARegisteredHandlerOnlyTheOwnPageShows) {
  DeleteTree(kHandlerKey);
  Sheet s;
  EXPECT_EQ(s.Open(), 0u);
  ASSERT_NE(s.sheet, nullptr);
  HWND tabs = reinterpret_cast<HWND>(SendMessageA(s.sheet, PSM_GETTABCONTROL, 0, 0));
  EXPECT_EQ(SendMessageA(tabs, TCM_GETITEMCOUNT, 0, 0), 1);
  EXPECT_EQ(TabTitle(s.sheet, 0), "Settings");
}

TEST_F(Tab, EmptyRegistryShowsTheDefaults) {
  Sheet s;
  s.Open();
  EXPECT_EQ(s.TextOf(1008), "Voodoo3 2000");
  EXPECT_EQ(s.TextOf(1005), "143");
  EXPECT_EQ(s.TextOf(1004), "120");
  EXPECT_EQ(s.TextOf(1003), "220");
  EXPECT_FALSE(s.Checked(1009));
  for (int id : kClockControls) EXPECT_FALSE(s.Enabled(id)) << id;
  s.ExpectTrackbar(120, 220);
  // Apply without a product key stores nothing there and creates no key.
  s.Click(1006);
  s.Press(PSBTN_APPLYNOW);
  EXPECT_FALSE(KeyExists(kProduct));
  EXPECT_EQ(s.unchanged, 1);
}

TEST_F(Tab, ClockAdjustmentOffAndOn) {
  InstallProductKey("120", "220", "Voodoo3 3000", "166", "1");
  PutText(kDefaultKey, "Grxclock", "200");
  Sheet s;
  s.Open();
  s.Click(1009);
  EXPECT_FALSE(s.Checked(1009));
  EXPECT_EQ(s.Trackbar(TBM_GETPOS), 166);
  EXPECT_EQ(s.TextOf(1005), "166");
  for (int id : kClockControls) EXPECT_FALSE(s.Enabled(id)) << id;
  s.ExpectTrackbar(120, 220);
  EXPECT_TRUE(s.ApplyEnabled());
  s.Press(PSBTN_APPLYNOW);
  EXPECT_EQ(Text(kDefaultKey, "Grxclock"), "<absent>");
  EXPECT_EQ(Text(kProduct, "EnableClock"), "0");

  s.Click(1009);
  EXPECT_TRUE(s.Checked(1009));
  EXPECT_EQ(s.Trackbar(TBM_GETPOS), 166);  // stays at the stock clock
  s.ExpectTrackbar(120, 220);
  for (int id : kClockControls) EXPECT_TRUE(s.Enabled(id)) << id;
  s.Press(PSBTN_APPLYNOW);
  EXPECT_EQ(Text(kDefaultKey, "Grxclock"), "166");
  EXPECT_EQ(Text(kProduct, "EnableClock"), "1");
  EXPECT_EQ(s.changed, 2);
  EXPECT_EQ(s.unchanged, 2);
  EXPECT_FALSE(s.ApplyEnabled());
}

TEST_F(Tab, TrackbarChangesSendOneChangedUntilApplied) {
  InstallProductKey("120", "220", "Voodoo3 3000", "166", "1");
  PutText(kDefaultKey, "Grxclock", "180");
  Sheet s;
  s.Open();
  // A press on the thumb released where it was counts as a change.
  s.Drag(180);
  EXPECT_TRUE(s.ApplyEnabled());
  EXPECT_EQ(s.changed, 1);
  EXPECT_EQ(s.TextOf(1005), "180");
  s.Drag(205);
  s.Drag(207);
  s.Click(1006);
  EXPECT_EQ(s.changed, 1);
  EXPECT_EQ(s.TextOf(1005), "207");
  s.Press(PSBTN_APPLYNOW);
  EXPECT_EQ(Text(kDefaultKey, "Grxclock"), "207");
  EXPECT_EQ(Text(kGlideKey, "FX_GLIDE_SWAPINTERVAL"), "0");
  EXPECT_FALSE(s.ApplyEnabled());
  EXPECT_EQ(s.unchanged, 1);
  // The next change is announced again.
  s.Drag(150);
  EXPECT_EQ(s.changed, 2);
  EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(Tab, KeyboardReachesEveryControl) {
  InstallProductKey("120", "220", "Voodoo3 3000", "166", "1");
  PutText(kDefaultKey, "Grxclock", "180");
  boxes.cancel.push_back("Refresh Rates");
  Sheet s;
  s.Open();
  SetFocus(s.Item(1026));  // Tab goes in template order
  for (int id : {1006, 1007, 1009, 1001, 1002}) {
    s.Type(VK_TAB);
    EXPECT_EQ(GetFocus(), s.Item(id)) << id;
  }
  SetFocus(s.Item(1001));
  const int page = static_cast<int>(s.Trackbar(TBM_GETPAGESIZE));
  struct Step {
    WORD vk;
    int to;  // position afterwards
  } steps[] = {{VK_RIGHT, 181},        {VK_NEXT, 181 + page}, {VK_LEFT, 180 + page},
               {VK_PRIOR, 180},        {VK_END, 220},         {VK_HOME, 120}};
  for (const Step& step : steps) {
    s.Type(step.vk);
    EXPECT_EQ(s.Trackbar(TBM_GETPOS), step.to) << step.vk;
    EXPECT_EQ(s.TextOf(1005), std::to_string(step.to)) << step.vk;
  }
  EXPECT_EQ(s.changed, 1);
  // Alt with each mnemonic of the template.
  s.Mnemonic('g');
  s.Mnemonic('d');
  EXPECT_TRUE(s.Checked(1006) && s.Checked(1007));
  s.Mnemonic('e');
  EXPECT_FALSE(s.Checked(1009));
  EXPECT_FALSE(s.Enabled(1001));
  s.Mnemonic('f');  // Factory Defaults
  EXPECT_FALSE(s.Checked(1006) || s.Checked(1007));
  s.Mnemonic('e');
  EXPECT_TRUE(s.Checked(1009));
  EXPECT_TRUE(boxes.boxes.empty());
  s.Mnemonic('r');
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].caption, "Refresh Rates");
  s.Type(VK_RETURN);  // OK
  EXPECT_TRUE(s.Finished());
  EXPECT_EQ(Text(kDefaultKey, "Grxclock"), "166");
  EXPECT_FALSE(Exists(kGlideKey, "FX_GLIDE_SWAPINTERVAL"));
}

TEST_F(Tab, VsyncSwitchesAreWrittenAndRemoved) {
  InstallProductKey();
  Sheet s;
  s.Open();
  s.Click(1006);
  s.Click(1007);
  EXPECT_TRUE(s.Checked(1006));
  EXPECT_TRUE(s.Checked(1007));
  s.Press(PSBTN_APPLYNOW);
  EXPECT_EQ(Text(kGlideKey, "FX_GLIDE_SWAPINTERVAL"), "0");
  EXPECT_EQ(Text(kD3DKey, "SSTH3_SWAPINTERVAL"), "0");
  s.Click(1006);
  s.Click(1007);
  EXPECT_FALSE(s.Checked(1006));
  s.Press(PSBTN_APPLYNOW);
  EXPECT_FALSE(Exists(kGlideKey, "FX_GLIDE_SWAPINTERVAL"));
  EXPECT_FALSE(Exists(kD3DKey, "SSTH3_SWAPINTERVAL"));
}

TEST_F(Tab, FactoryDefaults) {
  // Nothing to change: still marks the page modified.
  InstallProductKey();
  {
    Sheet s;
    s.Open();
    s.Click(1002);
    EXPECT_TRUE(s.ApplyEnabled());
    EXPECT_EQ(s.changed, 1);
  }
  InstallProductKey("120", "220", "Voodoo3 3000", "166", "1");
  PutText(kDefaultKey, "Grxclock", "200");
  PutText(kGlideKey, "FX_GLIDE_SWAPINTERVAL", "0");
  PutText(kD3DKey, "SSTH3_SWAPINTERVAL", "0");
  Sheet s;
  s.Open();
  ASSERT_TRUE(s.Checked(1006));
  s.Click(1002);
  EXPECT_FALSE(s.Checked(1006));
  EXPECT_FALSE(s.Checked(1007));
  EXPECT_FALSE(s.Checked(1009));
  EXPECT_EQ(s.Trackbar(TBM_GETPOS), 166);
  EXPECT_EQ(s.TextOf(1005), "166");
  EXPECT_EQ(s.TextOf(1004), "120");
  for (int id : kClockControls) EXPECT_FALSE(s.Enabled(id)) << id;
  s.ExpectTrackbar(120, 220);
  // Nothing is written before the sheet applies.
  EXPECT_EQ(Text(kDefaultKey, "Grxclock"), "200");
  s.Press(PSBTN_OK);
  EXPECT_TRUE(s.Finished());
  EXPECT_FALSE(Exists(kDefaultKey, "Grxclock"));
  EXPECT_FALSE(Exists(kGlideKey, "FX_GLIDE_SWAPINTERVAL"));
  EXPECT_FALSE(Exists(kD3DKey, "SSTH3_SWAPINTERVAL"));
  EXPECT_EQ(Text(kProduct, "EnableClock"), "0");
  EXPECT_EQ(Text(kProduct, "LowerLimit"), "120");
}

TEST_F(Tab, CancelWritesNothingOkWrites) {
  InstallProductKey();
  {
    Sheet s;
    s.Open();
    s.Click(1006);
    s.Press(PSBTN_CANCEL);
    EXPECT_TRUE(s.Finished());
    EXPECT_EQ(s.unchanged, 1);
    EXPECT_FALSE(Exists(kGlideKey, "FX_GLIDE_SWAPINTERVAL"));
  }
  Sheet s;
  s.Open();
  EXPECT_FALSE(s.Checked(1006));  // each opening starts from the registry
  s.Click(1006);
  s.Press(PSBTN_OK);
  EXPECT_TRUE(s.Finished());
  EXPECT_EQ(s.unchanged, 1);
  EXPECT_EQ(Text(kGlideKey, "FX_GLIDE_SWAPINTERVAL"), "0");
}

TEST_F(Tab, ClockOutsideTheLimitsIsResetAndWrittenThrough) {
  struct Case {
    const char* stored;       // Grxclock, or null for none
    const char* defaultClock;
    const char* enable;
    const char* message;
    const char* shown;
    const char* written;      // Grxclock afterwards
  } cases[] = {
      {"250", "166", "1", kAboveLimit, "220", "220"},
      {"250", "166", "0", kAboveLimit, "220", "<absent>"},
      {nullptr, "90", "1", kBelowLimit, "120", "120"},
  };
  for (const Case& c : cases) {
    ResetMachine();
    boxes.boxes.clear();
    InstallProductKey("120", "220", "Voodoo3 3000", c.defaultClock, c.enable);
    if (c.stored) PutText(kDefaultKey, "Grxclock", c.stored);
    PutText(kGlideKey, "FX_GLIDE_SWAPINTERVAL", "0");
    Sheet s;
    s.Open();
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].caption, "Tachy");
    EXPECT_EQ(boxes.boxes[0].text, c.message);
    EXPECT_EQ(boxes.boxes[0].owner, s.sheet);  // the page's top-level window
    EXPECT_EQ(s.TextOf(1005), c.shown);
    EXPECT_EQ(Text(kDefaultKey, "Grxclock"), c.written);
    // The write-through keeps the vsync switch as it was stored.
    EXPECT_EQ(Text(kGlideKey, "FX_GLIDE_SWAPINTERVAL"), "0");
    EXPECT_TRUE(s.Checked(1006));
  }
}

TEST_F(Tab, RefreshRatesRunsItsDialogAndLeavesThePageAsItWas) {
  InstallProductKey("120", "220", "Voodoo3 3000", "166", "1");
  PutText(kDefaultKey, "Grxclock", "180");
  boxes.cancel.push_back("Refresh Rates");
  Sheet s;
  s.Open();
  s.Click(1006);
  ASSERT_TRUE(s.Enabled(1026));
  s.Click(1026);
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].caption, "Refresh Rates");
  EXPECT_EQ(boxes.boxes[0].owner, nullptr);  // no parent window
  EXPECT_TRUE(s.Checked(1006));
  EXPECT_TRUE(s.Checked(1009));
  EXPECT_EQ(s.TextOf(1005), "180");
  EXPECT_EQ(s.changed, 1);
  EXPECT_TRUE(s.ApplyEnabled());
}

TEST_F(Tab, CreditsGesture) {
  InstallProductKey();
  Sheet s;
  s.Open();
  struct Case {
    int over;
    WPARAM keys;
    bool credits;
  } cases[] = {
      {1052, kGestureKeys, true},
      {1052, MK_LBUTTON | MK_CONTROL, false},
      {1052, MK_CONTROL | MK_SHIFT, false},
      {1052, 0, false},
      {1053, kGestureKeys, false},
      {0, kGestureKeys, false},
  };
  for (const Case& c : cases) {
    boxes.boxes.clear();
    RightClick(s, c.over, c.keys);
    if (c.credits) {
      ASSERT_EQ(boxes.boxes.size(), 1u) << c.over;
      EXPECT_EQ(boxes.boxes[0].caption, "Tachymark");
      EXPECT_EQ(boxes.boxes[0].text, kCredits);
      EXPECT_EQ(boxes.boxes[0].owner, s.sheet);  // the page's top-level window
    } else {
      EXPECT_TRUE(boxes.boxes.empty()) << c.over << " keys " << c.keys;
    }
  }
  EXPECT_EQ(s.TextOf(1054), "Version 3.2 English");
  EXPECT_FALSE(s.ApplyEnabled());
}

TEST_F(Tab, FailedApplyIsReportedAndKeepsTheSheetOpen) {
  InstallProductKey("120", "220", "Voodoo3 3000", "166", "1");
  PutText(kDefaultKey, "Grxclock", "180");
  Sheet s;
  s.Open();
  s.Drag(190);
  DenyWrites(kDefaultKey, true);
  s.Press(PSBTN_OK);
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].caption, "Tachymark");
  EXPECT_EQ(boxes.boxes[0].text, kApplyFailed);
  EXPECT_EQ(boxes.boxes[0].owner, s.sheet);  // the page's top-level window
  EXPECT_FALSE(s.Finished());
  EXPECT_TRUE(s.ApplyEnabled());
  EXPECT_EQ(Text(kDefaultKey, "Grxclock"), "180");
  EXPECT_EQ(s.unchanged, 0);

  DenyWrites(kDefaultKey, false);
  s.Press(PSBTN_OK);
  EXPECT_TRUE(s.Finished());
  EXPECT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(Text(kDefaultKey, "Grxclock"), "190");
}

}  // namespace
}  // namespace pagetest

int main(int argc, char** argv) {
  if (!pagetest::IsChild()) {
    pagetest::MachineLock lock;
    return pagetest::RunChild("win98");
  }
  ::testing::InitGoogleTest(&argc, argv);
  InitCommonControls();
  CoInitialize(nullptr);
  OSVERSIONINFOA v = {};
  v.dwOSVersionInfoSize = sizeof v;
  GetVersionExA(&v);
  if (v.dwPlatformId != VER_PLATFORM_WIN32_WINDOWS) {
    fprintf(stderr, "Wine does not pose as Windows 98 here\n");
    return 1;
  }
  const int rc = RUN_ALL_TESTS();
  CoUninitialize();
  return rc;
}
