// The Tachymark tab with Wine posing as Windows NT 4 and as Windows 2000:
// the program runs itself once as each.
#include "page_harness.h"

namespace pagetest {
namespace {

class NtTab : public PageTest {
 protected:
  void SetUp() override {
    PageTest::SetUp();
    Adjusting(nullptr);
  }
};

TEST_F(NtTab, Direct3DAndRefreshRatesAreDisabled) {
  InstallProductKey();
  PutText(kNtGlide, "FX_GLIDE_SWAPINTERVAL", "0");
  PutText(KeyOf("D3D"), "SSTH3_SWAPINTERVAL", "0");  // 9x layout: not looked at on NT
  ASSERT_EQ(s.Open(), 1u);
  s.Steps({"checked 1006", "unchecked 1007", "off 1007", "off 1026", "on 1006",
           "text 1054=Version 3.2 English", "click 1002", "unchecked 1006", "unchecked 1007",
           "off 1007", "apply on"});
}

TEST_F(NtTab, ApplyWritesTheNtValues) {
  s.Open();
  s.Steps({"drag 200", "click 1006", "press apply"});
  // The keys were created here, with their class strings. Device0 is
  // created or opened twice (clock, then SSTH3_SWAPINTERVAL); Wine's
  // registry gives the key the class of the last such call.
  ExpectStored(KeyOf("device"), "SSTH3_SWAPINTERVAL", "GraphicsClocking", REG_DWORD,
               std::string("\xC8\0\0\0", 4));
  ExpectStored(kNtGlide, "FX_GLIDE_SWAPINTERVAL", "FX_GLIDE_SWAPINTERVAL", REG_SZ, Sz("0"));
  ExpectStored(KeyOf("device"), "SSTH3_SWAPINTERVAL", "SSTH3_SWAPINTERVAL", REG_SZ, Sz("0"));
  // The other NT layout and the 9x layout stay untouched.
  EXPECT_FALSE(KeyExists(KeyOf("device") == kNt4Device ? kNt5Device : kNt4Device));
  EXPECT_FALSE(KeyExists(KeyOf("DEFAULT")));
  EXPECT_FALSE(KeyExists(KeyOf("D3D")));
  // Adjustment off: the clock value goes.
  s.Steps({"click 1006", "click 1009", "press apply", "reg device/GraphicsClocking=<absent>",
           "reg ntglide/FX_GLIDE_SWAPINTERVAL=<absent>", "reg device/SSTH3_SWAPINTERVAL=<absent>",
           "reg product/EnableClock=0"});
}

TEST_F(NtTab, ClockAboveTheLimitIsResetAndWrittenThrough) {
  PutDword(KeyOf("device"), "GraphicsClocking", 250);
  s.Open();
  ExpectBoxes({{"Tachy", kAboveLimit, s.sheet}});
  s.Steps({"dword device/GraphicsClocking=220", "text 1005=220"});
}

// A user without administrator rights: the driver's keys refuse writes.
void DenyDriverKeys(bool deny) {
  for (const char* key : {"device", "ntglide"}) DenyWrites(KeyOf(key), deny);
}

TEST_F(NtTab, UntouchedOkClosesWithoutAdministratorRights) {
  PutDword(KeyOf("device"), "GraphicsClocking", 175);
  PutText(kNtGlide, "FX_GLIDE_SWAPINTERVAL", "1");
  DenyDriverKeys(true);
  s.Open();
  // The refused rewrite of what the tab loaded loses nothing: no box, the sheet closes.
  s.Steps({"text 1005=175", "checked 1006", "press ok", "finished", "boxes=0",
           "dword device/GraphicsClocking=175", "reg ntglide/FX_GLIDE_SWAPINTERVAL=1"});
  DenyDriverKeys(false);
}

TEST_F(NtTab, RefusedResetIsReportedAfterTheLimitMessage) {
  PutDword(KeyOf("device"), "GraphicsClocking", 250);
  PutText(kNtGlide, "FX_GLIDE_SWAPINTERVAL", "0");
  DenyDriverKeys(true);
  s.Open();
  ExpectBoxes({{"Tachy", kAboveLimit, s.sheet}, {"Tachymark", kApplyFailed, s.sheet}});
  // Told once: OK on the untouched tab closes the sheet.
  s.Steps({"press ok", "finished", "boxes=2", "dword device/GraphicsClocking=250"});
  // A change that cannot be saved is told and keeps the sheet open.
  s.Open();
  s.Steps({"boxes=4", "checked 1006", "click 1006", "press ok", "open", "apply on", "boxes=5"});
  DenyDriverKeys(false);
  // The page keeps the limit: an Apply that may write stores it.
  s.Steps({"dword device/GraphicsClocking=250", "text 1005=220", "press apply",
           "dword device/GraphicsClocking=220", "reg ntglide/FX_GLIDE_SWAPINTERVAL=<absent>",
           "boxes=5"});
}

}  // namespace
}  // namespace pagetest

int main(int argc, char** argv) {
  return pagetest::Main(argc, argv, {{"nt40", ""}, {"win2k", ""}});
}
