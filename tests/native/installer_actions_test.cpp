#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "installer/actions.h"
#include "installer/startup.h"
#include "scripted_ui.h"
#include "test_fakes.h"

namespace tachy {
namespace {

const std::string kProduct = fault::kProductPath, kLegacy = fault::kLegacyHandler;
const std::string kDisplay = fault::kDisplayHandler, kDevice = fault::kDeviceHandler;
const std::string kHandlers =
    "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Controls Folder\\";
// The installer writes the class below HKCR, which is HKLM\Software\Classes.
const std::string kClsid = "HKCR\\CLSID\\{7A41C3E2-5B19-11d2-A4C7-0060B0D4E91F}";
const std::string kServer = kClsid + "\\InProcServer32";
const std::string kProgIdKey = "HKCR\\PROPERTY.PROPERTYINTERFACE";
const std::string kProgIdClsidKey = kProgIdKey + "\\CLSID";
using fault::kClsidText;
const char kClsidUpper[] = "{7A41C3E2-5B19-11D2-A4C7-0060B0D4E91F}";  // StringFromCLSID
const char kModule[] = "D:\\Setup\\TACHPAGE.DLL";
const char kInstaller[] = "D:\\Setup\\TACHINST.EXE";
const std::string kUninstall = fault::kUninstallEntry;
const std::string kClass9x = fault::kClassPrefix;
const std::string kNT4Device = fault::kNT4Device0, kNT5Device = fault::kNT5Device0;
using fault::kNTD3D;
using fault::kNTGlide;

InstallerState State(PlatformKind kind, int32_t advanced = 0,
                     const std::vector<int32_t>& adapters = {}) {
  InstallerState s;
  InitInstallerState(&s);
  s.PlatformKind = kind;
  s.AdvancedPanelOption = advanced;
  s.AdapterList = regtest::Adapters(adapters);
  CopyText(s.InstallerPath, sizeof s.InstallerPath, kInstaller);
  s.FileVersionMS = 0x00030002;
  CopyText(s.CompanyName, sizeof s.CompanyName, "Tachymark");
  return s;
}

using regtest::ExpectSz;
using regtest::ExpectValues;

// The page's driver values, and neighbours that must survive a removal.
void SeedDriver9x(MemoryRegistry& reg, const std::vector<int32_t>& instances) {
  for (int n : instances) {
    const std::string base = fault::AdapterKey(n, "");
    regtest::PutValues(reg, {{base, "DriverDesc", "3dfx Voodoo3 3000"},
                             {base + "\\DEFAULT", "Grxclock", "166"},
                             {base + "\\DEFAULT", "drv", "3dfxvs.drv"},
                             {base + "\\Glide", "FX_GLIDE_SWAPINTERVAL", "0"},
                             {base + "\\D3D", "SSTH3_SWAPINTERVAL", "0"},
                             {base + "\\D3D", "Other", "x"}});
  }
}

void SeedDriverNT(MemoryRegistry& reg, const std::string& device) {
  reg.PutDword(device, "GraphicsClocking", 166);
  regtest::PutValues(reg, {{device, "SSTH3_SWAPINTERVAL", "0"},
                           {device, "InstalledDisplayDrivers", "3dfxvs"},
                           {kNTGlide, "FX_GLIDE_SWAPINTERVAL", "0"},
                           {kNTD3D, "SSTH3_SWAPINTERVAL", "0"}});
}

TEST(InstallerActions, DetectInstalledKeys) {
  struct Case { std::vector<std::string> keys; uint32_t expected; } cases[] = {
      {{}, 0}, {{kLegacy}, 1}, {{kProduct}, 4}, {{kDisplay}, 8}, {{kDevice}, 16}, {{kClsid}, 32},
      {{kServer}, 32},  // the class key exists above it
      {{kUninstall}, 64},
      {{kLegacy, kProduct, kDisplay, kDevice, kServer, kUninstall}, 125},
      {{kHandlers + "Display\\Shellex\\PropertySheetHandlers"}, 0},
  };
  for (const Case& c : cases) {
    MemoryRegistry reg;
    for (const std::string& k : c.keys) reg.AddKey(k);
    EXPECT_EQ(DetectInstalledKeys(reg), c.expected);
    for (const MemoryRegistry::Call& call : regtest::CallsOf(reg, MemoryRegistry::kOpOpen))
      EXPECT_EQ(call.access, kKeyRead);
    EXPECT_EQ(reg.OpenHandleCount(), 0u);
  }
  // A key that exists but cannot be opened for reading counts as absent.
  MemoryRegistry reg;
  for (const std::string& k : {kProduct, kDisplay}) reg.AddKey(k);
  reg.FailKey(kProduct, kErrorAccessDenied, MemoryRegistry::kOpOpen);
  EXPECT_EQ(DetectInstalledKeys(reg), 8u);
}

TEST(InstallerActions, InstallWritesEveryKeyPerPlatform) {
  struct Case { const char* name; PlatformKind kind; int32_t advanced;
                std::vector<std::string> before, present, absent; } cases[] = {
      {"9x Display panel", 1, 0, {kDevice}, {kDisplay}, {kDevice}},
      {"9x Advanced panel", 1, 1, {kDisplay}, {kDevice}, {kDisplay}},
      {"9x Advanced panel, clean", 1, 1, {}, {kDevice}, {kDisplay}},
      {"NT 4 ignores the option", 2, 1, {kDevice}, {kDisplay, kDevice}, {}},
      {"NT 5", 3, 0, {}, {kDisplay}, {kDevice}},
  };
  for (const Case& c : cases) {
    MemoryRegistry reg;
    for (const std::string& k : c.before) reg.AddKey(k);
    InstallerState s = State(c.kind, c.advanced);
    EXPECT_TRUE(InstallExtension(reg, s, kModule, 120, 220, kModel2000)) << c.name;
    for (const std::string& k : c.present) EXPECT_TRUE(reg.KeyExists(k)) << c.name << " " << k;
    for (const std::string& k : c.absent) EXPECT_FALSE(reg.KeyExists(k)) << c.name << " " << k;
    for (const std::string& k : {kDisplay, kDevice})
      if (reg.KeyExists(k) && std::find(c.before.begin(), c.before.end(), k) == c.before.end())
        ExpectSz(reg, k, "", kClsidText);
    EXPECT_FALSE(reg.KeyExists(kLegacy));
    ExpectSz(reg, kServer, "", kModule);
    ExpectSz(reg, kUninstall, "UninstallString", kInstaller);
    ExpectSz(reg, kServer, "ThreadingModel", "Apartment");
    ExpectValues(reg, {{kProduct, "LowerLimit", "120"}, {kProduct, "UpperLimit", "220"},
                       {kProduct, "Model", "Voodoo3 2000"}, {kProduct, "DefaultClock", "143"},
                       {kProduct, "EnableClock", "0"}, {kProduct, "ColorDepth", "8"},
                       {kProduct, "LinkAllColorDepths", "0"}});
    EXPECT_EQ(reg.OpenHandleCount(), 0u);
    for (const MemoryRegistry::Call& call : reg.Calls()) {
      if (call.op == MemoryRegistry::kOpCreate)
        EXPECT_EQ(call.access, kKeyCreateSubKey | kKeySetValue) << call.path;
      // Install never touches driver values.
      EXPECT_EQ(call.path.find("CurrentControlSet"), std::string::npos) << call.path;
    }
  }
}

TEST(InstallerActions, ProductValuesPerModelLimitsAndForceFlag) {
  // force 0: none, 1..4: Force95, Force98, ForceNT4, ForceNT5
  struct Case { int32_t model, lower, upper; int force; const char *modelName, *clock; } cases[] = {
      {kModel2000, 120, 220, 0, "Voodoo3 2000", "143"},
      {kModel3000, 100, 240, 1, "Voodoo3 3000", "166"},
      {kModel3500, 140, 200, 2, "Voodoo3 3500", "183"},
      {kModel3000, 133, 211, 3, "Voodoo3 3000", "166"},
      {kModel3500, 120, 220, 4, "Voodoo3 3500", "183"},
  };
  const char* forceNames[] = {"Force95", "Force98", "ForceNT4", "ForceNT5"};
  for (const Case& c : cases) {
    MemoryRegistry reg;
    InstallerState s = State(1);
    int32_t* flags[] = {&s.Force95, &s.Force98, &s.ForceNT4, &s.ForceNT5};
    for (int i = 0; i < 4; ++i) *flags[i] = c.force == i + 1;
    EXPECT_TRUE(WriteProductValues(reg, s, c.lower, c.upper, c.model));
    const std::string lower = std::to_string(c.lower), upper = std::to_string(c.upper);
    ExpectValues(reg, {{kProduct, "LowerLimit", lower.c_str()},
                       {kProduct, "UpperLimit", upper.c_str()}, {kProduct, "Model", c.modelName},
                       {kProduct, "DefaultClock", c.clock}});
    for (int i = 0; i < 4; ++i)
      ExpectValues(reg, {{kProduct, forceNames[i], c.force == i + 1 ? "1" : nullptr}});
    std::vector<std::string> order;
    for (const MemoryRegistry::Call& call : regtest::CallsOf(reg, MemoryRegistry::kOpSet))
      order.push_back(call.value);
    std::vector<std::string> expected = {"LowerLimit",  "UpperLimit", "Model", "DefaultClock",
                                         "EnableClock", "ColorDepth", "LinkAllColorDepths"};
    if (c.force) expected.push_back(forceNames[c.force - 1]);
    EXPECT_EQ(order, expected);
  }
}

TEST(InstallerActions, UninstallEntry) {
  // A path with a blank is quoted whole, the longest one too; an unread
  // version block gives "0.0" and no publisher.
  const std::string longest = "C:\\Program Files\\" + std::string(255 - 30, 'd') + "\\TACHINST.EXE";
  struct Case { std::string path; uint32_t versionMS; const char *company, *version;
                std::string command; } cases[] = {
      {kInstaller, 0x00030002, "Tachymark", "3.2", kInstaller},
      {"C:\\Program Files\\Tachymark\\TACHINST.EXE", 0x000A000C, "Tachymark", "10.12",
       "\"C:\\Program Files\\Tachymark\\TACHINST.EXE\""},
      {"A:\\TACHINST.EXE", 0, "", "0.0", "A:\\TACHINST.EXE"},
      {longest, 0x00030002, "Tachymark", "3.2", '"' + longest + '"'},
  };
  ASSERT_EQ(longest.size(), 255u);
  for (const Case& c : cases) {
    MemoryRegistry reg;
    InstallerState s = State(1);
    CopyText(s.InstallerPath, sizeof s.InstallerPath, c.path.c_str());
    s.FileVersionMS = c.versionMS;
    CopyText(s.CompanyName, sizeof s.CompanyName, c.company);
    EXPECT_TRUE(WriteUninstallEntry(reg, s)) << c.path;
    ExpectValues(reg, {{kUninstall, "DisplayName", "Tachymark"},
                       {kUninstall, "DisplayVersion", c.version},
                       {kUninstall, "Publisher", c.company},
                       {kUninstall, "DisplayIcon", (c.path + ",0").c_str()},
                       {kUninstall, "UninstallString", c.command.c_str()}});
    EXPECT_EQ(regtest::CallsOf(reg, MemoryRegistry::kOpCreate).at(0).access,
              kKeyCreateSubKey | kKeySetValue);
    EXPECT_EQ(reg.OpenHandleCount(), 0u);
  }
}

// Each call failing in turn: failure unless only RegCloseKey failed, and
// every step after a failing one still runs.
TEST(InstallerActions, InstallReportsEveryFailingCall) {
  for (PlatformKind kind : {1, 3}) {
    MemoryRegistry probe;
    InstallerState s = State(kind);
    s.ForceNT5 = kind == 3;
    ASSERT_TRUE(InstallExtension(probe, s, kModule, 120, 220, kModel3000));
    std::vector<MemoryRegistry::Call> calls = probe.Calls();
    for (size_t n = 1; n <= calls.size(); ++n) {
      MemoryRegistry reg;
      reg.FailCallNumber(n, kErrorAccessDenied);
      bool ok = InstallExtension(reg, s, kModule, 120, 220, kModel3000);
      bool closeFailed = calls[n - 1].op == MemoryRegistry::kOpClose;
      EXPECT_EQ(ok, closeFailed) << "call " << n << " " << calls[n - 1].path << " "
                                 << calls[n - 1].value;
      // The class key is written unless its own calls failed.
      if (calls[n - 1].path.find("{7A41C3E2") == std::string::npos)
        ExpectSz(reg, kServer, "", kModule);
      EXPECT_EQ(reg.OpenHandleCount(), 0u);
    }
  }
}

template <typename Action>
size_t CallNumberOf(Action action, const char* value) {
  MemoryRegistry probe;
  action(probe);
  size_t number = 0;
  for (size_t i = 0; i < probe.Calls().size(); ++i)
    if (probe.Calls()[i].value == value) number = i + 1;
  return number;
}

TEST(InstallerActions, InstallStepsEachRunAfterAFailure) {
  // The product key cannot be created: handler and class key still written.
  MemoryRegistry reg;
  reg.FailKey(kProduct, kErrorAccessDenied, MemoryRegistry::kOpCreate);
  EXPECT_FALSE(InstallExtension(reg, State(1), kModule, 120, 220, kModel2000));
  EXPECT_FALSE(reg.KeyExists(kProduct));
  ExpectSz(reg, kDisplay, "", kClsidText);
  ExpectSz(reg, kServer, "", kModule);

  // The third product value fails: the first two stay, the rest is missing.
  MemoryRegistry reg2;
  InstallerState s = State(1);
  const size_t modelCall =
      CallNumberOf([&](MemoryRegistry& r) { WriteProductValues(r, s, 120, 220, kModel2000); },
                   "Model");
  ASSERT_NE(modelCall, 0u);
  reg2.FailCallNumber(modelCall, kErrorAccessDenied);
  EXPECT_FALSE(WriteProductValues(reg2, s, 120, 220, kModel2000));
  ExpectValues(reg2, {{kProduct, "LowerLimit", "120"}, {kProduct, "UpperLimit", "220"}});
  for (const char* v : {"Model", "DefaultClock", "EnableClock", "ColorDepth", "LinkAllColorDepths"})
    EXPECT_FALSE(reg2.ValueExists(kProduct, v)) << v;
  EXPECT_EQ(reg2.OpenHandleCount(), 0u);

  // ThreadingModel fails after the path was written.
  MemoryRegistry reg3;
  reg3.FailCallNumber(CallNumberOf([](MemoryRegistry& r) { WriteClsidKey(r, kModule); },
                                   "ThreadingModel"),
                      kErrorAccessDenied);
  EXPECT_FALSE(WriteClsidKey(reg3, kModule));
  ExpectSz(reg3, kServer, "", kModule);
  EXPECT_FALSE(reg3.ValueExists(kServer, "ThreadingModel"));
}

TEST(InstallerActions, NonAdministratorGetsFailureAndNoChange) {
  for (PlatformKind kind : {1, 2, 3}) {
    MemoryRegistry reg;
    reg.AddKey(kDevice);  // an old Advanced-panel handler key
    reg.MakeReadOnly("HKLM");
    std::string before = reg.Dump();
    InstallerState s = State(kind);
    EXPECT_FALSE(InstallExtension(reg, s, kModule, 120, 220, kModel2000)) << kind;
    EXPECT_EQ(reg.Dump(), before);
  }
}

TEST(InstallerActions, DeleteKeyIfPresent) {
  struct Case { const char* name; bool present; long openFault, deleteFault;
                bool subkey, ok, remains; } cases[] = {
      {"absent", false, 0, 0, false, true, false},
      {"present", true, 0, 0, false, true, false},
      {"cannot be opened for writing", true, kErrorAccessDenied, 0, false, false, true},
      {"deletion refused", true, 0, kErrorAccessDenied, false, false, true},
      {"has a subkey (NT refuses)", true, 0, 0, true, false, true},
  };
  for (const Case& c : cases) {
    MemoryRegistry reg;
    if (c.present) reg.AddKey(kDisplay);
    if (c.subkey) reg.AddKey(kDisplay + "\\Sub");
    if (c.openFault) reg.FailKey(kDisplay, c.openFault, MemoryRegistry::kOpOpen);
    if (c.deleteFault) reg.FailKey(kDisplay, c.deleteFault, MemoryRegistry::kOpDeleteKey);
    EXPECT_EQ(DeleteKeyIfPresent(reg, kDisplay.substr(5).c_str()), c.ok) << c.name;
    EXPECT_EQ(reg.KeyExists(kDisplay), c.remains) << c.name;
    EXPECT_EQ(reg.OpenHandleCount(), 0u);
  }
}

// With `progIdClass`, regsvr32 ran too and its ProgID key names that class.
void SeedInstalled9x(MemoryRegistry& reg, const char* progIdClass) {
  InstallerState s = State(1);
  ASSERT_TRUE(InstallExtension(reg, s, kModule, 120, 220, kModel3000));
  for (const std::string& k : {kLegacy, kDevice}) reg.AddKey(k);
  if (progIdClass) {
    for (const std::string& k : {kClsid, kClsid + "\\ProgID", kProgIdKey})
      reg.PutText(k, "", "PROPERTY.PROPERTYINTERFACE");
    reg.PutText(kProgIdClsidKey, "", progIdClass);
  }
  SeedDriver9x(reg, {0, 2});
  reg.ResetCalls();
}

TEST(InstallerActions, RemoveDeletesEverythingAndTheDriverValues) {
  // regsvr32 not run; its ProgID key naming this class; naming another.
  const char* progIdClasses[] = {nullptr, kClsidUpper, "{0000031A-0000-0000-C000-000000000046}"};
  for (const char* progIdClass : progIdClasses) {
    const bool own = progIdClass == kClsidUpper;
    MemoryRegistry reg;
    SeedInstalled9x(reg, progIdClass);
    uint32_t set = DetectInstalledKeys(reg);
    EXPECT_EQ(set, 125u);
    EXPECT_TRUE(RemoveExtension(reg, State(1, 0, {0, 2}), set));
    for (const std::string& k : {kLegacy, kProduct, kDisplay, kDevice, kClsid})
      EXPECT_FALSE(reg.KeyExists(k)) << k;
    EXPECT_EQ(reg.KeyExists(kProgIdClsidKey), progIdClass && !own);
    for (const char* n : {"0000", "0002"}) {
      const std::string base = kClass9x + n;
      ExpectValues(reg, {{base + "\\DEFAULT", "Grxclock", nullptr},
                         {base + "\\DEFAULT", "drv", "3dfxvs.drv"},
                         {base + "\\Glide", "FX_GLIDE_SWAPINTERVAL", nullptr},
                         {base + "\\D3D", "SSTH3_SWAPINTERVAL", nullptr},
                         {base + "\\D3D", "Other", "x"}});
      EXPECT_TRUE(reg.KeyExists(base + "\\Glide"));  // values deleted, keys kept
    }
    // Driver values first; each subkey before its parent; the entry last.
    std::vector<std::string> deleted;
    for (const MemoryRegistry::Call& call : reg.Calls()) {
      if (call.op == MemoryRegistry::kOpDeleteKey) deleted.push_back(call.path);
      if (call.op == MemoryRegistry::kOpDeleteValue) EXPECT_TRUE(deleted.empty()) << call.value;
    }
    std::vector<std::string> expected = {kLegacy, kDisplay, kDevice};
    const std::string progIdKey = fault::kProgIdKey;  // as the log names it, below HKLM
    if (own) expected.insert(expected.end(), {progIdKey + "\\CLSID", progIdKey});
    for (const char* sub : {"\\ProgID", "\\InProcServer32", ""})
      expected.push_back(fault::kClassKey + std::string(sub));
    expected.insert(expected.end(), {kProduct, kUninstall});
    EXPECT_EQ(deleted, expected);
    EXPECT_EQ(reg.OpenHandleCount(), 0u);
  }
}

TEST(InstallerActions, RemoveTouchesOnlyTheAdaptersFound) {
  // 15 is the last slot; with no adapter found nothing but the product key
  // goes; a full list (all sixteen) and not one slot more.
  const std::vector<int32_t> all = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
  struct Case { std::vector<int32_t> seeded, found; } cases[] = {
      {{0, 1, 2}, {0, 2}}, {{0}, {}}, {{15, 3}, {15}}, {all, all}};
  for (const Case& c : cases) {
    MemoryRegistry reg;
    SeedDriver9x(reg, c.seeded);
    const std::string before = reg.Dump();
    reg.AddKey(kProduct);
    EXPECT_TRUE(RemoveExtension(reg, State(1, 0, c.found), kKeyProduct));
    if (c.found.empty()) EXPECT_EQ(reg.Dump(), before);
    for (int n : c.seeded) {
      const bool found = std::find(c.found.begin(), c.found.end(), n) != c.found.end();
      EXPECT_EQ(reg.ValueExists(fault::AdapterKey(n, "\\DEFAULT"), "Grxclock"), !found) << n;
    }
    std::vector<std::string> opened, expected;  // each found adapter's keys, once, in order
    for (const auto& call : reg.Calls())
      if (call.op == MemoryRegistry::kOpOpen) opened.push_back(call.path);
    for (int n : c.found)
      for (const char* sub : {"\\DEFAULT", "\\Glide", "\\D3D"})
        expected.push_back(fault::AdapterKey(n, sub));
    EXPECT_EQ(opened, expected);
  }
}

TEST(InstallerActions, RemoveOnNT) {
  struct Case { PlatformKind kind; std::string device; } cases[] = {
      {2, kNT4Device}, {3, kNT5Device}};
  for (const Case& c : cases) {
    MemoryRegistry reg;
    for (const std::string& device : {kNT4Device, kNT5Device}) SeedDriverNT(reg, device);
    const std::string& other = c.kind == 2 ? kNT5Device : kNT4Device;
    for (const std::string& k : {kProduct, kDisplay}) reg.AddKey(k);
    reg.AddKey(kDevice);  // left from a 9x-style install: removal deletes it
    EXPECT_TRUE(RemoveExtension(reg, State(c.kind), kKeyProduct | kKeyDisplayHandler |
                                                        kKeyDeviceHandler));
    EXPECT_FALSE(reg.KeyExists(kDevice));
    ExpectValues(reg, {{c.device, "GraphicsClocking", nullptr},
                       {c.device, "SSTH3_SWAPINTERVAL", nullptr},
                       {c.device, "InstalledDisplayDrivers", "3dfxvs"},
                       {kNTGlide, "FX_GLIDE_SWAPINTERVAL", nullptr},
                       {kNTD3D, "SSTH3_SWAPINTERVAL", nullptr}});
    regtest::ExpectDword(reg, other, "GraphicsClocking", 166);
  }
  // Missing driver keys and values are no failure.
  MemoryRegistry empty;
  EXPECT_TRUE(RemoveExtension(empty, State(3), 0));
  EXPECT_TRUE(ResetDriverValues(empty, 1, 0));
}

TEST(InstallerActions, RemovalStopsAtTheFirstFailingStep) {
  // In removal order, the driver's key first: the keys before the failing
  // step are gone, the entry stays for another removal.
  const std::string driver = kClass9x + "0000\\DEFAULT";
  const std::string order[] = {driver,  kLegacy,  kDisplay, kDevice, kProgIdClsidKey, kProgIdKey,
                               kClsid + "\\ProgID", kServer, kClsid,  kProduct, kUninstall};
  for (const std::string& failing : order) {
    MemoryRegistry reg;
    SeedInstalled9x(reg, kClsidUpper);
    reg.FailKey(failing, kErrorAccessDenied,
                failing == driver ? MemoryRegistry::kOpDeleteValue : MemoryRegistry::kOpDeleteKey);
    EXPECT_FALSE(RemoveExtension(reg, State(1, 0, {0, 2}), 125)) << failing;
    bool reached = false;
    for (const std::string& k : order) {
      reached = reached || k == failing;
      EXPECT_EQ(reg.KeyExists(k), reached || k == driver) << failing << " " << k;
    }
    EXPECT_EQ(reg.ValueExists(driver, "Grxclock"), failing == driver) << failing;
    EXPECT_FALSE(reg.ValueExists(kClass9x + "0002\\Glide", "FX_GLIDE_SWAPINTERVAL"));
    EXPECT_TRUE(DetectInstalledKeys(reg) & kKeyUninstall) << failing;
  }
  // The same for a non-administrator on NT: nothing at all changes.
  MemoryRegistry reg;
  SeedInstalled9x(reg, nullptr);
  SeedDriverNT(reg, kNT5Device);
  reg.MakeReadOnly("HKLM");
  std::string before = reg.Dump();
  EXPECT_FALSE(RemoveExtension(reg, State(3), DetectInstalledKeys(reg)));
  EXPECT_EQ(reg.Dump(), before);
}

TEST(InstallerActions, KeysThatVanishedSinceStartUpAreNoFailure) {
  // The set says every key is there, but most were deleted meanwhile.
  MemoryRegistry reg;
  reg.AddKey(kDisplay);
  SeedDriver9x(reg, {0});
  EXPECT_TRUE(RemoveExtension(reg, State(1, 0, {0}), 125));
  EXPECT_FALSE(reg.KeyExists(kDisplay));
  EXPECT_FALSE(reg.ValueExists(kClass9x + "0000\\DEFAULT", "Grxclock"));
}

TEST(InstallerActions, LegacyKeyAloneIsRemovedWithTheDriverValues) {
  MemoryRegistry reg;
  reg.AddKey(kLegacy);
  SeedDriver9x(reg, {1});
  uint32_t set = DetectInstalledKeys(reg);
  EXPECT_EQ(set, 1u);
  EXPECT_TRUE(RemoveExtension(reg, State(1, 0, {1}), set));
  EXPECT_FALSE(reg.KeyExists(kLegacy));
  EXPECT_FALSE(reg.ValueExists(kClass9x + "0001\\DEFAULT", "Grxclock"));
  // Only the Velomark key went; its parent stays.
  EXPECT_TRUE(reg.KeyExists(kHandlers + "Display\\Shellex\\PropertySheetHandlers"));
}

TEST(InstallerActions, DriverValueFailures) {
  struct Case { const char* name; unsigned ops; long error; bool ok; } cases[] = {
      {"key cannot be opened for writing", MemoryRegistry::kOpOpen, kErrorAccessDenied, false},
      {"value deletion refused", MemoryRegistry::kOpDeleteValue, kErrorAccessDenied, false},
      {"key missing", MemoryRegistry::kOpOpen, kErrorFileNotFound, true},
  };
  for (const Case& c : cases) {
    MemoryRegistry reg;
    SeedDriver9x(reg, {0, 2});
    reg.FailKey(kClass9x + "0000\\DEFAULT", c.error, c.ops);
    EXPECT_EQ(RemoveExtension(reg, State(1, 0, {0, 2}), 0), c.ok) << c.name;
    EXPECT_FALSE(reg.ValueExists(kClass9x + "0000\\Glide", "FX_GLIDE_SWAPINTERVAL")) << c.name;
    EXPECT_FALSE(reg.ValueExists(kClass9x + "0002\\DEFAULT", "Grxclock")) << c.name;
    EXPECT_EQ(reg.OpenHandleCount(), 0u);
  }
}

TEST(InstallerFlow, DialogSequences) {
  struct Case { const char* name; bool installed, readOnly; std::vector<int32_t> answers, shown;
                std::vector<ActionFailure> failures; bool installedAfter, changed; int32_t exit;
                bool removable = false; } cases[] = {
      {"fresh install", false, false, {kDialogOk, kDialogOk}, {503, 505}, {}, true, true, 0},
      {"cancel", false, false, {kDialogCancel}, {503}, {}, false, false, 0},
      {"closed", false, false, {kDialogClosed}, {503}, {}, false, false, 0},
      {"install refused", false, true, {kDialogOk}, {503}, {kInstallFailed}, false, false, 3},
      {"remove", true, false, {kDialogRemove, kDialogOk}, {504, 506}, {}, false, true, 0},
      {"remove refused", true, true, {kDialogRemove}, {504}, {kRemoveFailed}, true, false, 4},
      {"reinstall", true, false, {kDialogReinstall, kDialogOk, kDialogOk}, {504, 503, 505},
       {}, true, true, 0},
      {"reinstall then cancel", true, false, {kDialogReinstall, kDialogCancel},
       {504, 503}, {}, true, false, 0},
      // The removal before the install fails: nothing is installed over it.
      {"reinstall refused", true, true, {kDialogReinstall, kDialogOk}, {504, 503},
       {kRemoveFailed}, true, false, 4},
      {"reinstall-remove cancelled", true, false, {kDialogCancel}, {504}, {}, true, false, 0},
      {"reinstall-remove closed", true, false, {kDialogClosed}, {504}, {}, true, false, 0},
      {"from removable media", false, false, {}, {}, {kRemovableSource}, false, false, 1, true},
      {"reinstall from removable media", true, false, {kDialogReinstall}, {504},
       {kRemovableSource}, true, false, 1, true},
      {"no dialog", false, false, {-1}, {503}, {}, false, false, 5},
      {"no reinstall-remove dialog", true, false, {-1}, {504}, {}, true, false, 5},
  };
  for (const Case& c : cases) {
    MemoryRegistry reg;
    SeedDriver9x(reg, {0});
    if (c.installed) {
      InstallerState old = State(1);
      ASSERT_TRUE(InstallExtension(reg, old, kModule, 130, 230, kModel2000));
      regtest::PutValues(reg, {{kProduct, "EnableClock", "1"}, {kProduct, "ColorDepth", "16"},
                               {kProduct, "LinkAllColorDepths", "1"}});
    }
    if (c.readOnly) reg.MakeReadOnly("HKLM");
    std::string before = reg.Dump();
    InstallerState s = State(1, 0, {0});
    CopyText(s.PageModulePath, sizeof s.PageModulePath, kModule);
    s.InstalledKeySet = DetectInstalledKeys(reg);
    s.RemovableSource = c.removable;
    ScriptedUi ui(&s, c.answers);
    EXPECT_EQ(RunInstallerFlow(reg, &s, ui), c.exit) << c.name;
    EXPECT_EQ(ui.shown, c.shown) << c.name;
    EXPECT_EQ(ui.failures, c.failures) << c.name;
    EXPECT_EQ(reg.KeyExists(kProduct), c.installedAfter) << c.name;
    EXPECT_EQ(reg.KeyExists(kUninstall), c.installedAfter) << c.name;
    EXPECT_EQ(reg.Dump() != before, c.changed) << c.name;
    // A new install writes its values whatever was there before.
    if (c.installedAfter && c.changed)
      ExpectValues(reg, {{kProduct, "Model", "Voodoo3 3500"}, {kProduct, "LowerLimit", "120"},
                         {kProduct, "EnableClock", "0"}, {kProduct, "ColorDepth", "8"},
                         {kProduct, "LinkAllColorDepths", "0"}});
    // Removal (also before a reinstall) clears the driver values.
    if (c.changed && c.installed)
      EXPECT_FALSE(reg.ValueExists(kClass9x + "0000\\DEFAULT", "Grxclock")) << c.name;
  }
}

}  // namespace
}  // namespace tachy
