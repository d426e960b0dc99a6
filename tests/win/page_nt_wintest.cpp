// The Tachymark tab with Wine posing as Windows NT 4 and as Windows 2000:
// the program runs itself once as each.
#include "page_harness.h"

namespace pagetest {
namespace {

const char kAbove[] = "presently set to 250 Mhz which is above the Upper Limit of 220 Mhz";

class NtTab : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetMachine();
    RegisterPageModule();
    InstallProductKey("120", "220", "Voodoo3 3000", "166", "1");
  }
  void TearDown() override {
    DeleteTree(kDisplayClass);
    DeleteTree(kProduct);
  }
  BoxCatcher boxes;
};

TEST_F(NtTab, Direct3DAndRefreshRatesAreDisabled) {
  InstallProductKey();
  PutText(kNtGlide, "FX_GLIDE_SWAPINTERVAL", "0");
  // A Direct3D value of the 9x layout is not looked at on NT.
  PutText(KeyOf("D3D"), "SSTH3_SWAPINTERVAL", "0");
  Sheet s;
  ASSERT_EQ(s.Open(), 1u);
  s.Steps({"checked 1006", "unchecked 1007", "off 1007", "off 1026", "on 1006",
           "text 1054=Version 3.2 English", "click 1002", "unchecked 1006", "unchecked 1007",
           "off 1007", "apply on"});
}

TEST_F(NtTab, ApplyWritesTheNtValues) {
  Sheet s;
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
  Sheet s;
  s.Open();
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].caption, "Tachy");
  EXPECT_NE(boxes.boxes[0].text.find(kAbove), std::string::npos);
  s.Steps({"dword device/GraphicsClocking=220", "text 1005=220"});
}

TEST_F(NtTab, RefusedResetIsReportedAfterTheLimitMessage) {
  PutDword(KeyOf("device"), "GraphicsClocking", 250);
  DenyWrites(KeyOf("device"), true);  // a user without administrator rights
  Sheet s;
  s.Open();
  DenyWrites(KeyOf("device"), false);
  ASSERT_EQ(boxes.boxes.size(), 2u);
  EXPECT_EQ(boxes.boxes[0].caption, "Tachy");
  EXPECT_NE(boxes.boxes[0].text.find(kAbove), std::string::npos);
  EXPECT_EQ(boxes.boxes[1].caption, "Tachymark");
  EXPECT_EQ(boxes.boxes[1].text,
            "The settings could not be saved. Changing them may need administrator rights.");
  for (const Box& box : boxes.boxes) EXPECT_EQ(box.owner, s.sheet);
  // The page keeps the limit: an Apply that may write stores it.
  s.Steps({"dword device/GraphicsClocking=250", "text 1005=220", "click 1006", "press apply",
           "dword device/GraphicsClocking=220"});
  EXPECT_EQ(boxes.boxes.size(), 2u);
}

}  // namespace
}  // namespace pagetest

int main(int argc, char** argv) {
  using namespace pagetest;
  if (!IsChild()) return RunChildren({{"nt40", ""}, {"win2k", ""}});
  return PosesAsAsked() ? RunTests(argc, argv) : ChildExit(1);
}
