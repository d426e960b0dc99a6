// The Tachymark tab with Wine posing as Windows NT 4 and as Windows 2000:
// the program runs itself once as each.
#include "page_harness.h"

namespace pagetest {
namespace {

bool IsNt4() {
  OSVERSIONINFOA v = {};
  v.dwOSVersionInfoSize = sizeof v;
  GetVersionExA(&v);
  return v.dwMajorVersion == 4;
}

std::string DeviceKey() { return IsNt4() ? kNt4Device : kNt5Device; }

DWORD Dword(const std::string& key, const char* name, DWORD* type) {
  std::string data;
  if (!ReadValue(HKEY_LOCAL_MACHINE, key, name, &data, type) || data.size() < 4) return 0xFFFFFFFF;
  DWORD v;
  memcpy(&v, data.data(), 4);
  return v;
}

class NtTab : public ::testing::Test {
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

TEST_F(NtTab, Direct3DAndRefreshRatesAreDisabled) {
  InstallProductKey();
  PutText(kNtGlide, "FX_GLIDE_SWAPINTERVAL", "0");
  // A Direct3D value of the 9x layout is not looked at on NT.
  PutText(std::string(kAdapter0) + "\\D3D", "SSTH3_SWAPINTERVAL", "0");
  Sheet s;
  ASSERT_EQ(s.Open(), 1u);
  EXPECT_TRUE(s.Checked(1006));
  EXPECT_FALSE(s.Checked(1007));
  EXPECT_FALSE(s.Enabled(1007));
  EXPECT_FALSE(s.Enabled(1026));
  EXPECT_TRUE(s.Enabled(1006));
  EXPECT_EQ(s.TextOf(1054), "Version 3.2 English");
  s.Click(1002);  // Factory Defaults
  EXPECT_FALSE(s.Checked(1006));
  EXPECT_FALSE(s.Checked(1007));
  EXPECT_FALSE(s.Enabled(1007));
  EXPECT_TRUE(s.ApplyEnabled());
}

TEST_F(NtTab, ApplyWritesTheNtValues) {
  InstallProductKey("120", "220", "Voodoo3 3000", "166", "1");
  Sheet s;
  s.Open();
  s.Drag(200);
  s.Click(1006);
  s.Press(PSBTN_APPLYNOW);
  DWORD type = 0;
  EXPECT_EQ(Dword(DeviceKey(), "GraphicsClocking", &type), 200u);
  EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
  EXPECT_EQ(Text(kNtGlide, "FX_GLIDE_SWAPINTERVAL"), "0");
  EXPECT_EQ(Text(DeviceKey(), "SSTH3_SWAPINTERVAL"), "0");
  // The other NT layout and the 9x layout stay untouched.
  EXPECT_FALSE(KeyExists(IsNt4() ? kNt5Device : kNt4Device));
  EXPECT_FALSE(KeyExists(std::string(kAdapter0) + "\\DEFAULT"));
  EXPECT_FALSE(KeyExists(std::string(kAdapter0) + "\\D3D"));

  s.Click(1006);
  s.Click(1009);  // adjustment off: the clock value goes
  s.Press(PSBTN_APPLYNOW);
  EXPECT_FALSE(Exists(DeviceKey(), "GraphicsClocking"));
  EXPECT_FALSE(Exists(kNtGlide, "FX_GLIDE_SWAPINTERVAL"));
  EXPECT_FALSE(Exists(DeviceKey(), "SSTH3_SWAPINTERVAL"));
  EXPECT_EQ(Text(kProduct, "EnableClock"), "0");
}

TEST_F(NtTab, ClockAboveTheLimitIsResetAndWrittenThrough) {
  InstallProductKey("120", "220", "Voodoo3 3000", "166", "1");
  PutDword(DeviceKey(), "GraphicsClocking", 250);
  Sheet s;
  s.Open();
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].caption, "Tachy");
  EXPECT_NE(boxes.boxes[0].text.find("presently set to 250 Mhz which is above the Upper "
                                     "Limit of 220 Mhz"), std::string::npos);
  DWORD type = 0;
  EXPECT_EQ(Dword(DeviceKey(), "GraphicsClocking", &type), 220u);
  EXPECT_EQ(s.TextOf(1005), "220");
}

TEST_F(NtTab, RefusedResetIsReportedAfterTheLimitMessage) {
  InstallProductKey("120", "220", "Voodoo3 3000", "166", "1");
  PutDword(DeviceKey(), "GraphicsClocking", 250);
  DenyWrites(DeviceKey(), true);  // a user without administrator rights
  Sheet s;
  s.Open();
  DenyWrites(DeviceKey(), false);
  ASSERT_EQ(boxes.boxes.size(), 2u);
  EXPECT_EQ(boxes.boxes[0].caption, "Tachy");
  EXPECT_NE(boxes.boxes[0].text.find("presently set to 250 Mhz which is above the Upper "
                                     "Limit of 220 Mhz"), std::string::npos);
  EXPECT_EQ(boxes.boxes[1].caption, "Tachymark");
  EXPECT_EQ(boxes.boxes[1].text,
            "The settings could not be saved. Changing them may need administrator rights.");
  for (const Box& box : boxes.boxes) EXPECT_EQ(box.owner, s.sheet);
  DWORD type = 0;
  EXPECT_EQ(Dword(DeviceKey(), "GraphicsClocking", &type), 250u);
  // The page keeps the limit: an Apply that may write stores it.
  EXPECT_EQ(s.TextOf(1005), "220");
  s.Click(1006);
  s.Press(PSBTN_APPLYNOW);
  EXPECT_EQ(boxes.boxes.size(), 2u);
  EXPECT_EQ(Dword(DeviceKey(), "GraphicsClocking", &type), 220u);
}

}  // namespace
}  // namespace pagetest

int main(int argc, char** argv) {
  if (!pagetest::IsChild()) {
    pagetest::MachineLock lock;
    int failed = 0;
    for (const char* version : {"nt40", "win2k"}) {
      printf("=== Wine posing as %s\n", version);
      fflush(stdout);
      if (pagetest::RunChild(version) != 0) ++failed;
    }
    return failed;
  }
  OSVERSIONINFOA v = {};
  v.dwOSVersionInfoSize = sizeof v;
  GetVersionExA(&v);
  const std::string want = pagetest::Env("PAGETEST_CHILD");
  if (v.dwPlatformId != VER_PLATFORM_WIN32_NT ||
      v.dwMajorVersion != (want == "nt40" ? 4u : 5u)) {
    fprintf(stderr, "Wine does not pose as %s here\n", want.c_str());
    return 1;
  }
  ::testing::InitGoogleTest(&argc, argv);
  InitCommonControls();
  CoInitialize(nullptr);
  return RUN_ALL_TESTS();
}
