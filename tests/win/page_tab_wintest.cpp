// The Tachymark tab on the Windows 9x family, reached as the Display control
// panel reaches it and driven on its real controls in a modeless sheet.
#include "page_harness.h"

namespace pagetest {
namespace {

const char kBelowLimit[] =
    "The Graphics Clock in presently set to 90 Mhz which is below the Lower Limit "
    "of 120 Mhz and will be reset to the Lower Limit now. You will need to restart "
    "Windows after exiting Display Properties.";
const char kCredits[] =
    "Don't be fooled by cheap imitations ask for the original\nTachymark written by "
    "Quillon. I'd like to\nsay hi to all my friends on the 3dfx Voodoo3 Newsgroup.";

using Tab = PageTest;

// First of the suite: Wine's shell keeps a reference of every handler it loads,
// so only before any sheet opened through it can the module's end show.
TEST_F(Tab, TwoSheetsInOneProcessEachHaveTheirPage) {
  Adjusting("180");
  Sheet a, b;
  a.Open(false);  // the direct way, so that the objects' end shows
  b.Open(false);
  ASSERT_NE(a.page, nullptr);
  ASSERT_NE(b.page, nullptr);
  ASSERT_NE(a.page, b.page);
  a.Steps({"drag 200", "text 1005=200", "apply on"});
  b.Steps({"text 1005=180", "apply off"});
  a.Steps({"press ok", "finished"});
  a.Close();
  // The second page still works after the first sheet went away.
  b.Steps({"reg DEFAULT/Grxclock=200", "click 1006", "checked 1006", "press apply",
           "reg Glide/FX_GLIDE_SWAPINTERVAL=0", "reg DEFAULT/Grxclock=180"});
  EXPECT_EQ(CanUnloadNow(), S_FALSE);  // b's page and object still live
  b.Close();
  EXPECT_EQ(CanUnloadNow(), S_OK);
}

TEST_F(Tab, OpensFilledFromTheRegistry) {
  InstallProductKey("110", "230", "Voodoo3 3500", "183", "1");
  PutText(KeyOf("DEFAULT"), "Grxclock", "200");
  PutText(KeyOf("Glide"), "FX_GLIDE_SWAPINTERVAL", "1");
  ASSERT_EQ(s.Open(), 1u);
  ASSERT_NE(s.page, nullptr);
  EXPECT_EQ(TabTitle(s.sheet, 1), "Tachymark");
  s.Steps({"ticks=110,230", "pos=200", "text 1005=200", "text 1004=110", "text 1003=230",
           "text 1008=Voodoo3 3500", "text 1054=Version 3.2 English",
           "text 1062=Voodoo3 Settings", "checked 1006", "unchecked 1007", "on 1007",
           "checked 1009", "clock on", "on 1026", "apply off", "changed=0", "boxes=0"});
}

TEST_F(Tab, WithoutARegisteredHandlerOnlyTheOwnPageShows) {
  DeleteTree(kHandlerKey);
  EXPECT_EQ(s.Open(), 0u);
  ASSERT_NE(s.sheet, nullptr);
  HWND tabs = reinterpret_cast<HWND>(SendMessageA(s.sheet, PSM_GETTABCONTROL, 0, 0));
  EXPECT_EQ(SendMessageA(tabs, TCM_GETITEMCOUNT, 0, 0), 1);
  EXPECT_EQ(TabTitle(s.sheet, 0), "Settings");
}

TEST_F(Tab, EmptyRegistryShowsTheDefaults) {
  s.Open();
  // Apply without a product key stores nothing there and creates no key.
  s.Steps({"text 1008=Voodoo3 2000", "text 1005=143", "text 1004=120", "text 1003=220",
           "unchecked 1009", "clock off", "ticks=120,220", "click 1006", "press apply",
           "unchanged=1"});
  EXPECT_FALSE(KeyExists(kProduct));
}

TEST_F(Tab, ClockAdjustmentOffAndOn) {
  Adjusting("200");
  s.Open();
  s.Steps({"click 1009", "unchecked 1009", "pos=166", "text 1005=166", "clock off",
           "ticks=120,220", "apply on", "press apply", "reg DEFAULT/Grxclock=<absent>",
           "reg product/EnableClock=0",
           // On again: it stays at the stock clock.
           "click 1009", "checked 1009", "pos=166", "ticks=120,220", "clock on", "press apply",
           "reg product/EnableClock=1", "changed=2", "unchanged=2", "apply off"});
  ExpectStored(KeyOf("DEFAULT"), "Grxclock", "Grxclock", REG_SZ, Sz("166"));
}

TEST_F(Tab, TrackbarChangesSendOneChangedUntilApplied) {
  Adjusting("180");
  s.Open();
  // A press on the thumb released where it was counts as a change; the
  // next change after Apply is announced again.
  s.Steps({"drag 180", "apply on", "changed=1", "text 1005=180", "drag 205", "drag 207",
           "click 1006", "changed=1", "text 1005=207", "press apply", "reg DEFAULT/Grxclock=207",
           "reg Glide/FX_GLIDE_SWAPINTERVAL=0", "apply off", "unchanged=1", "drag 150",
           "changed=2", "boxes=0"});
}

TEST_F(Tab, KeyboardReachesEveryControl) {
  Adjusting("180");
  s.Open();
  // The page opens with the focus on the template's first tab stop; Tab goes in
  // template order, Space toggles a check box.
  s.Steps({"focus 1026", "key tab", "focus 1006", "key space", "checked 1006", "key space",
           "unchecked 1006", "key tab", "focus 1007", "key tab", "focus 1009", "key tab",
           "focus 1001", "key tab", "focus 1002"});
  SetFocus(s.Item(1001));
  // Page Up and Down move by the trackbar's default page, a fifth of the range.
  s.Steps({"key right", "pos=181", "text 1005=181", "key next", "pos=201", "text 1005=201",
           "key left", "pos=200", "text 1005=200", "key prior", "pos=180", "text 1005=180",
           "key end", "pos=220", "text 1005=220", "key home", "pos=120", "text 1005=120",
           // Alt with each mnemonic of the template; f: Factory Defaults.
           "changed=1", "alt g", "alt d", "checked 1006", "checked 1007", "alt e",
           "unchecked 1009", "off 1001", "alt f", "unchecked 1006", "unchecked 1007", "alt e",
           "checked 1009", "boxes=0", "alt r"});
  ExpectBoxes({{"Refresh Rates", nullptr, nullptr}});
  s.Steps({"key return", "finished", "reg DEFAULT/Grxclock=166",  // OK
           "reg Glide/FX_GLIDE_SWAPINTERVAL=<absent>"});
  // Enter right after it opens: the sheet's default button, OK, which writes
  // what the page loaded (a stored "1" as "0"; Cancel would leave it).
  PutText(KeyOf("Glide"), "FX_GLIDE_SWAPINTERVAL", "1");
  s.Open();
  s.Steps({"key return", "finished", "reg Glide/FX_GLIDE_SWAPINTERVAL=0"});
}

TEST_F(Tab, VsyncSwitchesAreWrittenAndRemoved) {
  InstallProductKey();
  s.Open();
  s.Steps({"click 1006", "click 1007", "checked 1006", "checked 1007", "press apply"});
  // Apply created the three keys, each with its class string.
  ExpectStored(KeyOf("Glide"), "FX_GLIDE_SWAPINTERVAL", "FX_GLIDE_SWAPINTERVAL", REG_SZ, Sz("0"));
  ExpectStored(KeyOf("D3D"), "SSTH3_SWAPINTERVAL", "SSTH3_SWAPINTERVAL", REG_SZ, Sz("0"));
  EXPECT_EQ(KeyClass(HKEY_LOCAL_MACHINE, KeyOf("DEFAULT")), "Grxclock");
  s.Steps({"click 1006", "click 1007", "unchecked 1006", "press apply",
           "reg Glide/FX_GLIDE_SWAPINTERVAL=<absent>", "reg D3D/SSTH3_SWAPINTERVAL=<absent>"});
}

TEST_F(Tab, FactoryDefaults) {
  InstallProductKey();
  s.Open();  // nothing to change: still marks the page modified
  s.Steps({"click 1002", "apply on", "changed=1"});
  s.Close();
  Adjusting("200");
  PutText(KeyOf("Glide"), "FX_GLIDE_SWAPINTERVAL", "0");
  PutText(KeyOf("D3D"), "SSTH3_SWAPINTERVAL", "0");
  s.Open();
  ASSERT_TRUE(s.Checked(1006));
  // Nothing is written before the sheet applies.
  s.Steps({"click 1002", "unchecked 1006", "unchecked 1007", "unchecked 1009", "pos=166",
           "text 1005=166", "text 1004=120", "clock off", "ticks=120,220",
           "reg DEFAULT/Grxclock=200", "press ok", "finished", "reg DEFAULT/Grxclock=<absent>",
           "reg Glide/FX_GLIDE_SWAPINTERVAL=<absent>", "reg D3D/SSTH3_SWAPINTERVAL=<absent>",
           "reg product/EnableClock=0", "reg product/LowerLimit=120"});
}

TEST_F(Tab, CancelWritesNothingOkWrites) {
  InstallProductKey();
  s.Open();
  s.Steps({"click 1006", "press cancel", "finished", "unchanged=1",
           "reg Glide/FX_GLIDE_SWAPINTERVAL=<absent>"});
  s.Open();
  // Each opening starts from the registry.
  s.Steps({"unchecked 1006", "click 1006", "press ok", "finished", "unchanged=1",
           "reg Glide/FX_GLIDE_SWAPINTERVAL=0"});
}

TEST_F(Tab, ClockOutsideTheLimitsIsResetAndWrittenThrough) {
  // Grxclock (null: none), DefaultClock, EnableClock; the message, the clock
  // shown, Grxclock afterwards.
  const struct {
    const char *stored, *defaultClock, *enable, *message, *shown, *written;
  } cases[] = {
      {"250", "166", "1", kAboveLimit, "220", "220"},
      {"250", "166", "0", kAboveLimit, "220", "<absent>"},
      {nullptr, "90", "1", kBelowLimit, "120", "120"},
      {"220", "166", "1", nullptr, "220", "220"},  // at a limit: no message
      {"120", "166", "1", nullptr, "120", "120"},
  };
  for (const auto& c : cases) {
    ResetMachine();
    boxes.boxes.clear();
    InstallProductKey("120", "220", "Voodoo3 3000", c.defaultClock, c.enable);
    if (c.stored) PutText(KeyOf("DEFAULT"), "Grxclock", c.stored);
    PutText(KeyOf("Glide"), "FX_GLIDE_SWAPINTERVAL", "0");
    s.Open();
    c.message ? ExpectBoxes({{"Tachy", c.message, s.sheet}}) : ExpectBoxes({});
    EXPECT_EQ(s.TextOf(1005), c.shown);
    EXPECT_EQ(Text(KeyOf("DEFAULT"), "Grxclock"), c.written);
    // The write-through keeps the vsync switch as it was stored.
    s.Steps({"reg Glide/FX_GLIDE_SWAPINTERVAL=0", "checked 1006"});
  }
}

TEST_F(Tab, RefreshRatesRunsItsDialogAndLeavesThePageAsItWas) {
  Adjusting("180");
  s.Open();
  s.Steps({"click 1006", "on 1026", "click 1026"});
  ExpectBoxes({{"Refresh Rates", nullptr, nullptr}});  // no parent window
  s.Steps({"checked 1006", "checked 1009", "text 1005=180", "changed=1", "apply on"});
}

TEST_F(Tab, CreditsGesture) {
  InstallProductKey();
  s.Open();
  s.Steps({"gesture 1052"});
  ExpectBoxes({{"Tachymark", kCredits, s.sheet}});
  // Without all three held, or elsewhere: no box.
  s.Steps({"gesture 1052=lc", "boxes=1", "gesture 1052=cs", "boxes=1", "gesture 1052=",
           "boxes=1", "gesture 1053", "boxes=1", "gesture 0", "boxes=1",
           "text 1054=Version 3.2 English", "apply off"});
}

TEST_F(Tab, FailedApplyIsReportedAndKeepsTheSheetOpen) {
  Adjusting("180");
  s.Open();
  s.Steps({"drag 190"});
  DenyWrites(KeyOf("DEFAULT"), true);
  s.Steps({"press ok"});
  ExpectBoxes({{"Tachymark", kApplyFailed, s.sheet}});
  s.Steps({"open", "apply on", "reg DEFAULT/Grxclock=180", "unchanged=0"});
  DenyWrites(KeyOf("DEFAULT"), false);
  s.Steps({"press ok", "finished", "reg DEFAULT/Grxclock=190", "boxes=1"});
}

}  // namespace
}  // namespace pagetest

int main(int argc, char** argv) { return pagetest::Main(argc, argv, {{"win98", ""}}); }
