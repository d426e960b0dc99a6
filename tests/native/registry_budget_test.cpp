// The registry calls the page makes while it opens and applies, against the
// sequence the load and apply rules require: every call is listed, in order,
// and no call beyond them is allowed. A call too many here is a wineserver
// round trip (or a trip into the 9x registry) on every opening of the tab.
//
// The counts are printed as "registry-budget:" lines; scripts/bench.sh shows
// them.

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "settings/driver_settings.h"
#include "settings/memreg.h"
#include "settings/platform.h"
#include "test_fakes.h"

namespace tachy {
namespace {

using Reg = MemoryRegistry;

struct Expected {
  Reg::Op op;
  std::string path;   // without the "HKLM\" root
  std::string value;  // value name for value operations, else ""
};

const char kProduct[] = "Software\\Tachymark";
const char kClassPrefix[] = "System\\CurrentControlSet\\Services\\Class\\Display\\";

std::string Instance(int n) {
  char digits[8];
  snprintf(digits, sizeof digits, "%04d", n);
  return std::string(kClassPrefix) + digits;
}

std::string Lower(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

const char* OpName(Reg::Op op) {
  switch (op) {
    case Reg::kOpOpen: return "open";
    case Reg::kOpCreate: return "create";
    case Reg::kOpQuery: return "query";
    case Reg::kOpSet: return "set";
    case Reg::kOpDeleteValue: return "delete-value";
    case Reg::kOpDeleteKey: return "delete-key";
    case Reg::kOpClose: return "close";
    default: return "?";
  }
}

std::string Describe(Reg::Op op, const std::string& path, const std::string& value) {
  std::string s = std::string(OpName(op)) + " " + path;
  if (!value.empty()) s += " [" + value + "]";
  return s;
}

// Compares the recorded calls with the expected ones (key paths and value
// names without regard to case, as the registry treats them) and lists both
// sequences when they differ.
void ExpectSequence(const Reg& reg, const std::vector<Expected>& expected) {
  std::vector<std::string> want, got;
  for (const Expected& e : expected)
    want.push_back(Lower(Describe(e.op, "HKLM\\" + e.path, e.value)));
  for (const Reg::Call& c : reg.Calls())
    got.push_back(Lower(Describe(c.op, c.path, c.value)));
  if (want == got) return;
  std::string text;
  size_t n = want.size() > got.size() ? want.size() : got.size();
  for (size_t i = 0; i < n; ++i) {
    const std::string& w = i < want.size() ? want[i] : std::string("-");
    const std::string& g = i < got.size() ? got[i] : std::string("-");
    text += (w == g ? "   " : "!! ") + std::to_string(i + 1) + ": want " + w +
            "\n      got  " + g + "\n";
  }
  ADD_FAILURE() << "registry calls differ (" << got.size() << " made, "
                << want.size() << " required):\n"
                << text;
}

// The calls of ReadForceFlag on an installed system without force values:
// the key opens, the value is missing, the key is closed.
void AddForceFlags(std::vector<Expected>* e) {
  for (const char* name : {"ForceNT4", "ForceNT5"}) {
    e->push_back({Reg::kOpOpen, kProduct, ""});
    e->push_back({Reg::kOpQuery, kProduct, name});
    e->push_back({Reg::kOpClose, kProduct, ""});
  }
}

void AddProductLoad(std::vector<Expected>* e) {
  e->push_back({Reg::kOpOpen, kProduct, ""});
  for (const char* name :
       {"LowerLimit", "UpperLimit", "DefaultClock", "Model", "EnableClock"})
    e->push_back({Reg::kOpQuery, kProduct, name});
  e->push_back({Reg::kOpClose, kProduct, ""});
}

void AddRead(std::vector<Expected>* e, const std::string& key, const char* value) {
  e->push_back({Reg::kOpOpen, key, ""});
  e->push_back({Reg::kOpQuery, key, value});
  e->push_back({Reg::kOpClose, key, ""});
}

void AddWrite(std::vector<Expected>* e, const std::string& key, Reg::Op op,
              const char* value) {
  e->push_back({Reg::kOpCreate, key, ""});
  e->push_back({op, key, value});
  e->push_back({Reg::kOpClose, key, ""});
}

void AddEnableClockStore(std::vector<Expected>* e) {
  e->push_back({Reg::kOpOpen, kProduct, ""});
  e->push_back({Reg::kOpSet, kProduct, "EnableClock"});
  e->push_back({Reg::kOpClose, kProduct, ""});
}

// A product key as the installer leaves it, after the user enabled the clock.
void SeedProduct(Reg& reg) {
  const std::string p = std::string("HKLM\\") + kProduct;
  reg.PutText(p, "LowerLimit", "120");
  reg.PutText(p, "UpperLimit", "220");
  reg.PutText(p, "Model", "Voodoo3 3000");
  reg.PutText(p, "DefaultClock", "166");
  reg.PutText(p, "EnableClock", "1");
  reg.PutText(p, "ColorDepth", "8");
  reg.PutText(p, "LinkAllColorDepths", "0");
}

TEST(RegistryBudget, Windows9xOneAdapterLoadAndApply) {
  Reg reg;
  SeedProduct(reg);
  const std::string a0 = Instance(0);
  reg.PutText("HKLM\\" + a0, "DriverDesc", "3Dfx Voodoo3 3000 AGP");
  reg.PutText("HKLM\\" + a0 + "\\DEFAULT", "Grxclock", "170");
  reg.AddKey("HKLM\\" + a0 + "\\Glide");
  reg.AddKey("HKLM\\" + a0 + "\\D3D");
  FakeSystemInfo sys = FakeSystemInfo::Windows98();

  // Load, checked call by call.
  std::vector<Expected> load;
  AddForceFlags(&load);
  AddRead(&load, a0, "DriverDesc");  // the one board
  for (int n = 1; n < 16; ++n) load.push_back({Reg::kOpOpen, Instance(n), ""});
  AddProductLoad(&load);
  AddRead(&load, a0 + "\\DEFAULT", "Grxclock");
  AddRead(&load, a0 + "\\Glide", "FX_GLIDE_SWAPINTERVAL");
  AddRead(&load, a0 + "\\D3D", "SSTH3_SWAPINTERVAL");

  std::vector<Expected> apply;
  AddEnableClockStore(&apply);
  AddWrite(&apply, a0 + "\\DEFAULT", Reg::kOpSet, "Grxclock");
  AddWrite(&apply, a0 + "\\Glide", Reg::kOpSet, "FX_GLIDE_SWAPINTERVAL");
  AddWrite(&apply, a0 + "\\D3D", Reg::kOpDeleteValue, "SSTH3_SWAPINTERVAL");

  RecordingMessageSink sink;
  int32_t f4 = 0, f5 = 0;
  PlatformKind kind = DetectPlatformKind(reg, sys, &f4, &f5);
  ASSERT_EQ(kind, kPlatform9x);
  AdapterList adapters;
  ClearAdapterList(&adapters);
  BuildAdapterList(reg, &adapters);
  DriverSettings s{};
  SettingsContext ctx{&reg, &sink, 0, kind, &adapters};
  LoadSettings(ctx, &s);
  EXPECT_EQ(s.currentClock, 170);
  EXPECT_EQ(s.glideVsyncOff, 0);
  EXPECT_TRUE(sink.messages.empty());
  ExpectSequence(reg, load);
  const size_t loadCalls = reg.CallCount();

  reg.ResetCalls();
  s.glideVsyncOff = 1;
  s.currentClock = 175;
  ApplySettings(ctx, &s, 1);
  ExpectSequence(reg, apply);
  const size_t applyCalls = reg.CallCount();
  EXPECT_EQ(reg.OpenHandleCount(), 0u);
  EXPECT_EQ(reg.Text("HKLM\\" + a0 + "\\DEFAULT", "Grxclock"), "175");
  EXPECT_EQ(reg.Text("HKLM\\" + a0 + "\\Glide", "FX_GLIDE_SWAPINTERVAL"), "0");

  printf("registry-budget: 9x one adapter: load %zu calls (required %zu), "
         "apply %zu calls (required %zu)\n",
         loadCalls, load.size(), applyCalls, apply.size());
}

// NT 4 and NT 5: no adapter scan, one Device0, no Direct3D read; Apply
// writes the clock, the Glide value and the second swap interval.
TEST(RegistryBudget, WindowsNTLoadAndApply) {
  struct Case {
    uint32_t major;
    PlatformKind kind;
    const char* device0;
  };
  const Case cases[] = {
      {4, kPlatformNT4, "SYSTEM\\CurrentControlSet\\Services\\Voodoo3\\Device0"},
      {5, kPlatformNT5, "SYSTEM\\CurrentControlSet\\Services\\3dfxvs\\Device0"},
  };
  const std::string glide = "SYSTEM\\CurrentControlSet\\Services\\3Dfx\\Device0\\Glide";
  for (const Case& c : cases) {
    SCOPED_TRACE("NT " + std::to_string(c.major));
    Reg reg;
    SeedProduct(reg);
    reg.PutDword(std::string("HKLM\\") + c.device0, "GraphicsClocking", 170);
    reg.AddKey("HKLM\\" + glide);
    FakeSystemInfo sys = FakeSystemInfo::NT(c.major);

    std::vector<Expected> load;
    AddForceFlags(&load);
    AddProductLoad(&load);
    AddRead(&load, c.device0, "GraphicsClocking");
    AddRead(&load, glide, "FX_GLIDE_SWAPINTERVAL");

    std::vector<Expected> apply;
    AddEnableClockStore(&apply);
    AddWrite(&apply, c.device0, Reg::kOpSet, "GraphicsClocking");
    AddWrite(&apply, glide, Reg::kOpSet, "FX_GLIDE_SWAPINTERVAL");
    AddWrite(&apply, c.device0, Reg::kOpSet, "SSTH3_SWAPINTERVAL");

    DriverSettings s{};
    RecordingMessageSink sink;
    int32_t f4 = 0, f5 = 0;
    PlatformKind kind = DetectPlatformKind(reg, sys, &f4, &f5);
    ASSERT_EQ(kind, c.kind);
    AdapterList adapters;
    ClearAdapterList(&adapters);
    SettingsContext ctx{&reg, &sink, 0, kind, &adapters};
    LoadSettings(ctx, &s);
    EXPECT_TRUE(sink.messages.empty());
    EXPECT_EQ(s.currentClock, 170);
    ExpectSequence(reg, load);
    const size_t loadCalls = reg.CallCount();

    reg.ResetCalls();
    s.glideVsyncOff = 1;
    s.currentClock = 175;
    ApplySettings(ctx, &s, 1);
    ExpectSequence(reg, apply);
    EXPECT_EQ(reg.OpenHandleCount(), 0u);
    printf("registry-budget: NT %u: load %zu calls (required %zu), "
           "apply %zu calls (required %zu)\n",
           c.major, loadCalls, load.size(), reg.CallCount(), apply.size());
  }
}

}  // namespace
}  // namespace tachy
