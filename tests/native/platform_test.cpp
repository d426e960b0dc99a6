#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "settings/platform.h"
#include "test_fakes.h"

namespace tachy {
namespace {

using regtest::kProduct;
std::string InstanceKey(int n) { return regtest::DisplayKey(n); }

FakeSystemInfo Win98() { return FakeSystemInfo::Windows98(); }
FakeSystemInfo NT(uint32_t major, uint32_t minor = 0) { return FakeSystemInfo::NT(major, minor); }
FakeSystemInfo Win32s() {
  FakeSystemInfo f = FakeSystemInfo::NT(4);
  f.version.platformId = kVerPlatformWin32s;
  return f;
}
FakeSystemInfo VersionFails() {
  FakeSystemInfo f = FakeSystemInfo::NT(4);  // would say NT 4 if asked
  f.versionFails = true;
  return f;
}

TEST(DetectPlatformKind, VersionAndForceValues) {
  const char* kAbsent = nullptr;
  const std::string k127 = "1" + std::string(126, 'x');  // fits 128 bytes
  const std::string k128 = "1" + std::string(127, 'x');  // does not
  struct Case { const char* name; FakeSystemInfo system; const char *forceNT4, *forceNT5;
                int32_t kind, nt4, nt5; } cases[] = {
      {"NT 4", NT(4), kAbsent, kAbsent, kPlatformNT4, 0, 0},
      {"NT 5", NT(5), kAbsent, kAbsent, kPlatformNT5, 0, 0},
      {"NT 3.51", NT(3, 51), kAbsent, kAbsent, kPlatform9x, 0, 0},
      {"NT 6", NT(6), kAbsent, kAbsent, kPlatform9x, 0, 0},
      {"Windows 98", Win98(), kAbsent, kAbsent, kPlatform9x, 0, 0},
      {"Win32s with major 4", Win32s(), kAbsent, kAbsent, kPlatform9x, 0, 0},
      {"GetVersionExA fails", VersionFails(), kAbsent, kAbsent, kPlatform9x, 0, 0},
      {"NT 4 forced to NT 5", NT(4), kAbsent, "1", kPlatformNT5, 0, 1},
      {"98 with both: NT 5 wins", Win98(), "1", "1", kPlatformNT5, 1, 1},
      {"NT 5 forced to NT 4", NT(5), "1", kAbsent, kPlatformNT4, 1, 0},
      {"ForceNT4 0", Win98(), "0", kAbsent, kPlatform9x, 0, 0},
      {"ForceNT4 letters", Win98(), "yes", kAbsent, kPlatform9x, 0, 0},
      {"ForceNT4 empty", Win98(), "", kAbsent, kPlatform9x, 0, 0},
      {"ForceNT4 -1", Win98(), "-1", kAbsent, kPlatformNT4, -1, 0},
      {"ForceNT4 blanks then 7", Win98(), "  7", kAbsent, kPlatformNT4, 7, 0},
      {"ForceNT5 0 leaves NT 4 force", Win98(), "1", "0", kPlatformNT4, 1, 0},
      {"ForceNT4 of 127 characters", Win98(), k127.c_str(), kAbsent, kPlatformNT4, 1, 0},
      {"ForceNT4 of 128 characters", Win98(), k128.c_str(), kAbsent, kPlatform9x, 0, 0},
      {"ForceNT5 of 128 characters", NT(4), kAbsent, k128.c_str(), kPlatformNT4, 0, 0},
  };
  for (Case& c : cases) {
    SCOPED_TRACE(c.name);
    MemoryRegistry reg;
    reg.AddKey(kProduct);
    if (c.forceNT4) reg.PutText(kProduct, "ForceNT4", c.forceNT4);
    if (c.forceNT5) reg.PutText(kProduct, "ForceNT5", c.forceNT5);
    int32_t nt4 = 99, nt5 = 99;
    EXPECT_EQ(DetectPlatformKind(reg, c.system, &nt4, &nt5), c.kind);
    EXPECT_EQ(std::make_pair(nt4, nt5), std::make_pair(c.nt4, c.nt5));
    EXPECT_EQ(c.system.versionCalls, 1);
    EXPECT_EQ(reg.OpenHandleCount(), 0u);
    // Both force values are always read, NT 4 first, with query access only.
    std::vector<std::string> queried;
    for (const MemoryRegistry::Call& call : reg.Calls()) {
      if (call.op == MemoryRegistry::kOpQuery) queried.push_back(call.value);
      if (call.op == MemoryRegistry::kOpOpen) EXPECT_EQ(call.access, kKeyQueryValue);
      EXPECT_EQ(call.op & MemoryRegistry::kOpWrites, 0u);
    }
    EXPECT_EQ(queried, (std::vector<std::string>{"ForceNT4", "ForceNT5"}));
  }
}

TEST(DetectPlatformKind, ProductKeyMissingOrUnreadable) {
  const std::pair<FakeSystemInfo, PlatformKind> systems[] = {
      {NT(4), kPlatformNT4}, {NT(5), kPlatformNT5}, {Win98(), kPlatform9x}};
  for (auto s : systems) {
    MemoryRegistry reg;  // no product key at all
    EXPECT_EQ(DetectPlatformKind(reg, s.first), s.second);

    MemoryRegistry denied;
    denied.PutText(kProduct, "ForceNT5", "1");
    denied.FailKey(kProduct, kErrorAccessDenied, MemoryRegistry::kOpOpen);
    EXPECT_EQ(DetectPlatformKind(denied, s.first), s.second);
    EXPECT_EQ(denied.OpenHandleCount(), 0u);
  }
}

TEST(ReadForceFlag, TypeIsIgnoredAndDataIsReadAsText) {
  MemoryRegistry reg;
  // Unterminated text still parses; a REG_DWORD 1 is the text "\x01": no digits.
  reg.PutRaw(kProduct, "ForceNT4", kRegBinary, {'1'});
  reg.PutDword(kProduct, "ForceNT5", 1);
  EXPECT_EQ(ReadForceFlag(reg, "ForceNT4"), 1);
  EXPECT_EQ(ReadForceFlag(reg, "ForceNT5"), 0);
  // The page reads no other force value.
  FakeSystemInfo sys = FakeSystemInfo::NT(5);
  reg.RemoveKeyTree(kProduct);
  reg.PutText(kProduct, "Force95", "1");
  reg.PutText(kProduct, "Force98", "1");
  EXPECT_EQ(DetectPlatformKind(reg, sys), kPlatformNT5);
  EXPECT_EQ(reg.OpenHandleCount(), 0u);
}

TEST(ProbeAdapter, DescriptionsAndBuffers) {
  const std::string tail127 = std::string(120, 'a') + "Voodoo3";  // 127
  const std::string tail128 = std::string(121, 'a') + "Voodoo3";  // 128
  const std::string tail255 = std::string(248, 'a') + "voodoo3";  // 255
  const std::string tail256 = std::string(249, 'a') + "voodoo3";  // 256
  struct Case { const char* name; bool key; const char* description; uint32_t bytes;
                AdapterProbeResult result; } cases[] = {
      {"at the start", true, "Voodoo3 3000 AGP", 128, AdapterIsVoodoo3},
      {"in the middle", true, "3dfx Voodoo3 3500 TV", 128, AdapterIsVoodoo3},
      {"at the end", true, "3Dfx Interactive Voodoo3", 128, AdapterIsVoodoo3},
      {"lower case", true, "3dfx voodoo3", 128, AdapterIsVoodoo3},
      {"only the name", true, "Voodoo3", 128, AdapterIsVoodoo3},
      {"capitals", true, "3DFX VOODOO3 3000", 128, AdapterIsOther},
      {"mixed case", true, "VoOdOo3", 128, AdapterIsOther},
      {"Voodoo without 3", true, "3Dfx Voodoo Banshee", 128, AdapterIsOther},
      {"other board", true, "Matrox Millennium G200", 128, AdapterIsOther},
      {"empty description", true, "", 128, AdapterIsOther},
      {"no DriverDesc", true, nullptr, 128, AdapterNoDescription},
      {"no instance key", false, nullptr, 128, AdapterMissing},
      {"127 characters fit 128 bytes", true, tail127.c_str(), 128, AdapterIsVoodoo3},
      {"128 characters do not", true, tail128.c_str(), 128, AdapterNoDescription},
      {"128 characters fit 256 bytes", true, tail128.c_str(), 256, AdapterIsVoodoo3},
      {"255 characters fit 256 bytes", true, tail255.c_str(), 256, AdapterIsVoodoo3},
      {"256 characters do not", true, tail256.c_str(), 256, AdapterNoDescription},
      {"more than 256 bytes asked", true, tail256.c_str(), 4096, AdapterNoDescription},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MemoryRegistry reg;
    if (c.key) reg.AddKey(InstanceKey(3));
    if (c.description) reg.PutText(InstanceKey(3), "DriverDesc", c.description);
    reg.PutText(InstanceKey(2), "DriverDesc", "Voodoo3");  // a neighbour
    EXPECT_EQ(ProbeAdapter(reg, 3, kKeyQueryValue, c.bytes), c.result);
    EXPECT_EQ(reg.OpenHandleCount(), 0u);
    ASSERT_FALSE(reg.Calls().empty());
    EXPECT_EQ(reg.Calls()[0].path, InstanceKey(3));
  }
}

TEST(ProbeAdapter, DescriptionWithoutTerminatorOrWithEmbeddedZero) {
  MemoryRegistry reg;
  reg.PutRaw(InstanceKey(0), "DriverDesc", kRegBinary, {'V', 'o', 'o', 'd', 'o', 'o', '3'});
  reg.PutRaw(InstanceKey(1), "DriverDesc", kRegSz,
             {'3', 'd', 'f', 'x', 0, 'V', 'o', 'o', 'd', 'o', 'o', '3', 0});
  EXPECT_EQ(ProbeAdapter(reg, 0), AdapterIsVoodoo3);
  EXPECT_EQ(ProbeAdapter(reg, 1), AdapterIsOther);  // the text ends at the zero
  EXPECT_EQ(reg.OpenHandleCount(), 0u);
}

void ExpectList(const AdapterList& list, std::vector<int32_t> found) {
  EXPECT_EQ(list.count, static_cast<int32_t>(found.size()));
  EXPECT_EQ(list.selected, static_cast<int32_t>(found.size()) - 1);
  found.resize(kMaxAdapters, -1);
  EXPECT_EQ(std::vector<int32_t>(list.instances, list.instances + kMaxAdapters), found);
}

TEST(BuildAdapterList, GapsOtherBoardsAndTheLastInstance) {
  // Instances with a null description have a key but no DriverDesc.
  struct Case { const char* name; std::vector<std::pair<int, const char*>> instances;
                std::vector<int32_t> found; } cases[] = {
      {"none at all", {}, {}},
      {"0000 and 0002, 0001 missing", {{0, "Voodoo3 3000"}, {2, "3dfx Voodoo3"}}, {0, 2}},
      {"other boards left out",
       {{0, "Matrox"}, {1, "Voodoo3"}, {2, nullptr}, {3, "VOODOO3"}, {4, "voodoo3"}},
       {1, 4}},
      {"only 0015; 0016 never examined", {{15, "Voodoo3"}, {16, "Voodoo3"}}, {15}},
      {"no Voodoo3 among others", {{0, "S3 Trio"}, {1, nullptr}}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MemoryRegistry reg;
    for (const auto& i : c.instances) {
      reg.AddKey(InstanceKey(i.first));
      if (i.second) reg.PutText(InstanceKey(i.first), "DriverDesc", i.second);
    }
    AdapterList list;
    list.count = list.selected = 77;
    for (int32_t& slot : list.instances) slot = 77;
    EXPECT_EQ(BuildAdapterList(reg, &list), static_cast<int32_t>(c.found.size()));
    ExpectList(list, c.found);
    EXPECT_EQ(reg.OpenHandleCount(), 0u);
    // Every instance 0..15 is opened once (the scan never stops early), 16 never.
    std::vector<std::string> opened, expected;
    for (const auto& call : regtest::CallsOf(reg, MemoryRegistry::kOpOpen))
      opened.push_back(call.path + " " + std::to_string(call.access));
    for (int n = 0; n < 16; ++n) expected.push_back(InstanceKey(n) + " 1");  // KEY_QUERY_VALUE
    EXPECT_EQ(opened, expected);
  }
}

TEST(BuildAdapterList, SixteenBoardsFillTheList) {
  MemoryRegistry reg;
  for (int n = 0; n < 16; ++n) reg.PutText(InstanceKey(n), "DriverDesc", "Voodoo3 2000");
  AdapterList list;
  EXPECT_EQ(BuildAdapterList(reg, &list), 16);
  ExpectList(list, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15});
}

TEST(BuildAdapterList, PageVariantLeavesDescriptionsOver127CharactersOut) {
  MemoryRegistry reg;
  const std::string long200 = std::string(193, 'x') + "Voodoo3";  // 200 characters
  reg.PutText(InstanceKey(1), "DriverDesc", long200);
  reg.PutText(InstanceKey(5), "DriverDesc", "Voodoo3 3500 TV");
  AdapterList page;
  EXPECT_EQ(BuildAdapterList(reg, &page), 1);  // 128 bytes: instance 1 unreadable
  ExpectList(page, {5});
  // The installer's (KEY_READ, 256 bytes): InstallerStartup.PrepareRunsDiscoveryOnlyOn9x.
}

}  // namespace
}  // namespace tachy
