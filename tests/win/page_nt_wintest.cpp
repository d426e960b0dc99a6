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

TEST_F(NtTab, RefusedResetIsReportedAfterTheLimitMessage) {
  PutDword(KeyOf("device"), "GraphicsClocking", 250);
  DenyWrites(KeyOf("device"), true);  // a user without administrator rights
  s.Open();
  DenyWrites(KeyOf("device"), false);
  ExpectBoxes({{"Tachy", kAboveLimit, s.sheet}, {"Tachymark", kApplyFailed, s.sheet}});
  // The page keeps the limit: an Apply that may write stores it.
  s.Steps({"dword device/GraphicsClocking=250", "text 1005=220", "click 1006", "press apply",
           "dword device/GraphicsClocking=220", "boxes=2"});
}

}  // namespace
}  // namespace pagetest

int main(int argc, char** argv) {
  return pagetest::Main(argc, argv, {{"nt40", ""}, {"win2k", ""}});
}
