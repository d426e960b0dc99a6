// Every registry call the page makes while it opens and applies, in order:
// a call too many is a wineserver round trip (or a trip into the 9x registry)
// on every opening of the tab. scripts/bench.sh shows the printed counts.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "settings/driver_settings.h"
#include "settings/platform.h"
#include "test_fakes.h"

namespace tachy {
namespace {

using Reg = MemoryRegistry;
// "open <key>", "query <key> [<value>]"; keys without the "HKLM\" root.
using Sequence = std::vector<std::string>;

const char kProduct[] = "Software\\Tachymark";

std::string Instance(int n) { return regtest::DisplayKey(n).substr(5); }

std::string Line(const std::string& op, const std::string& path, const std::string& value = "") {
  return op + " " + path + (value.empty() ? "" : " [" + value + "]");
}

using fault::Lower;

// Without regard to case, as the registry compares names.
void ExpectSequence(const Reg& reg, const Sequence& expected) {
  static const char* const kOps[] = {"open", "create", "query", "set",
                                     "delete-value", "delete-key", "close"};
  std::string want, got;
  for (const std::string& e : expected) want += Lower(e) + "\n";
  for (const Reg::Call& c : reg.Calls())
    got += Lower(Line(kOps[__builtin_ctz(c.op)], c.path.substr(5), c.value)) + "\n";
  EXPECT_EQ(got, want) << "registry calls: " << reg.CallCount() << " made, " << expected.size()
                       << " required";
}

void AddRead(Sequence* e, const std::string& key, const char* value) {
  e->insert(e->end(), {Line("open", key), Line("query", key, value), Line("close", key)});
}
void AddWrite(Sequence* e, const std::string& key, const char* op, const char* value) {
  e->insert(e->end(), {Line("create", key), Line(op, key, value), Line("close", key)});
}

Sequence ForceFlags() {
  Sequence e;
  for (const char* name : {"ForceNT4", "ForceNT5"}) AddRead(&e, kProduct, name);
  return e;
}

void AddProductLoad(Sequence* e) {
  e->push_back(Line("open", kProduct));
  for (const char* name : {"LowerLimit", "UpperLimit", "DefaultClock", "Model", "EnableClock"})
    e->push_back(Line("query", kProduct, name));
  e->push_back(Line("close", kProduct));
}

Sequence ProductApply() {
  return {Line("open", kProduct), Line("set", kProduct, "EnableClock"), Line("close", kProduct)};
}

void SeedProduct(Reg& reg) {
  const std::string p = std::string("HKLM\\") + kProduct;
  regtest::PutValues(reg, {{p, "LowerLimit", "120"}, {p, "UpperLimit", "220"},
                           {p, "Model", "Voodoo3 3000"}, {p, "DefaultClock", "166"},
                           {p, "EnableClock", "1"}, {p, "ColorDepth", "8"},
                           {p, "LinkAllColorDepths", "0"}});
}

// Loads the stored clock 170 with the Glide switch off, applies 175 and on.
void LoadAndApply(Reg& reg, FakeSystemInfo sys, PlatformKind kind, const Sequence& load,
                  const Sequence& apply, const std::string& label) {
  RecordingMessageSink sink;
  int32_t f4 = 0, f5 = 0;
  ASSERT_EQ(DetectPlatformKind(reg, sys, &f4, &f5), kind);
  AdapterList adapters;
  ClearAdapterList(&adapters);
  if (kind == kPlatform9x) BuildAdapterList(reg, &adapters);
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
  EXPECT_EQ(reg.OpenHandleCount(), 0u);
  printf("registry-budget: %s: load %zu calls (required %zu), apply %zu calls (required %zu)\n",
         label.c_str(), loadCalls, load.size(), reg.CallCount(), apply.size());
}

TEST(RegistryBudget, Windows9xOneAdapterLoadAndApply) {
  Reg reg;
  SeedProduct(reg);
  const std::string a0 = Instance(0);
  reg.PutText("HKLM\\" + a0, "DriverDesc", "3Dfx Voodoo3 3000 AGP");
  reg.PutText("HKLM\\" + a0 + "\\DEFAULT", "Grxclock", "170");
  reg.AddKey("HKLM\\" + a0 + "\\Glide");
  reg.AddKey("HKLM\\" + a0 + "\\D3D");

  Sequence load = ForceFlags();
  AddRead(&load, a0, "DriverDesc");
  for (int n = 1; n < 16; ++n) load.push_back(Line("open", Instance(n)));
  AddProductLoad(&load);
  AddRead(&load, a0 + "\\DEFAULT", "Grxclock");
  AddRead(&load, a0 + "\\Glide", "FX_GLIDE_SWAPINTERVAL");
  AddRead(&load, a0 + "\\D3D", "SSTH3_SWAPINTERVAL");

  Sequence apply = ProductApply();
  AddWrite(&apply, a0 + "\\DEFAULT", "set", "Grxclock");
  AddWrite(&apply, a0 + "\\Glide", "set", "FX_GLIDE_SWAPINTERVAL");
  AddWrite(&apply, a0 + "\\D3D", "delete-value", "SSTH3_SWAPINTERVAL");

  LoadAndApply(reg, FakeSystemInfo::Windows98(), kPlatform9x, load, apply, "9x one adapter");
  EXPECT_EQ(reg.Text("HKLM\\" + a0 + "\\DEFAULT", "Grxclock"), "175");
  EXPECT_EQ(reg.Text("HKLM\\" + a0 + "\\Glide", "FX_GLIDE_SWAPINTERVAL"), "0");
}

TEST(RegistryBudget, WindowsNTLoadAndApply) {
  const std::string services = "SYSTEM\\CurrentControlSet\\Services\\";
  const std::string glide = services + "3Dfx\\Device0\\Glide";
  for (uint32_t major : {4u, 5u}) {
    SCOPED_TRACE("NT " + std::to_string(major));
    const std::string device0 = services + (major == 4 ? "Voodoo3" : "3dfxvs") + "\\Device0";
    Reg reg;
    SeedProduct(reg);
    reg.PutDword("HKLM\\" + device0, "GraphicsClocking", 170);
    reg.AddKey("HKLM\\" + glide);

    Sequence load = ForceFlags();
    AddProductLoad(&load);
    AddRead(&load, device0, "GraphicsClocking");
    AddRead(&load, glide, "FX_GLIDE_SWAPINTERVAL");

    Sequence apply = ProductApply();
    AddWrite(&apply, device0, "set", "GraphicsClocking");
    AddWrite(&apply, glide, "set", "FX_GLIDE_SWAPINTERVAL");
    AddWrite(&apply, device0, "set", "SSTH3_SWAPINTERVAL");

    LoadAndApply(reg, FakeSystemInfo::NT(major), major == 4 ? kPlatformNT4 : kPlatformNT5, load,
                 apply, "NT " + std::to_string(major));
    regtest::ExpectDword(reg, "HKLM\\" + device0, "GraphicsClocking", 175);
  }
}

}  // namespace
}  // namespace tachy
