// Each user action once more for every registry call k it makes, with call k
// failing (opens also with "not found"): no key left open, nothing written
// outside what it owns, failure reported exactly when a write failed.
#include <gtest/gtest.h>

#include <functional>
#include <iostream>
#include <set>
#include <string>

#include "installer/actions.h"
#include "installer/startup.h"
#include "settings/driver_settings.h"
#include "scripted_ui.h"
#include "test_fakes.h"

namespace tachy {
namespace {

using fault::AdapterKey;
using fault::ModeKey;
using Named = std::pair<const char*, const char*>;

// `setup` may run fault-free steps before the action; `check` judges one
// run, `k` the failing call (0: none).
void Sweep(const std::string& name, const std::function<void(MemoryRegistry&)>& setup,
           const std::function<void(MemoryRegistry&)>& action,
           const std::function<void(MemoryRegistry&, size_t k)>& check) {
  MemoryRegistry clean;
  setup(clean);
  clean.ResetCalls();
  action(clean);
  const std::vector<MemoryRegistry::Call> plan = clean.Calls();
  EXPECT_GT(plan.size(), 0u) << name;
  {
    SCOPED_TRACE(name + ", no fault");
    check(clean, 0);
  }
  size_t runs = 0;
  for (size_t k = 1; k <= plan.size(); ++k) {
    std::vector<long> errors = {kErrorAccessDenied};
    if (plan[k - 1].op == MemoryRegistry::kOpOpen) errors.push_back(kErrorFileNotFound);
    for (long error : errors) {
      MemoryRegistry reg;
      setup(reg);
      reg.ResetCalls();
      reg.FailCallNumber(k, error);
      action(reg);
      SCOPED_TRACE(name + ": call " + std::to_string(k) + " (" + plan[k - 1].path + " \"" +
                   plan[k - 1].value + "\") fails with " + std::to_string(error));
      check(reg, k);
      ++runs;
    }
  }
  std::cout << "[  SWEEP   ] " << name << ": " << plan.size() << " calls, " << runs
            << " faulted runs" << std::endl;
}

void ExpectClean(const MemoryRegistry& reg, const fault::WritePolicy& policy) {
  EXPECT_EQ(fault::CheckHandles(reg), "");
  EXPECT_EQ(policy.Check(reg), "");
}

void ExpectTruthfulResult(const MemoryRegistry& reg, bool ok) {
  std::string which;
  const bool failed = fault::AnyWriteFailed(reg, &which);
  EXPECT_EQ(ok, !failed) << (failed ? "unreported failed write: " + which
                                    : std::string("failure reported without a failed write"));
}

// LoadSettings answers only for the clock value of its write-through: the
// value's set or delete, and the first create of a DEFAULT or Device0 key
// (the clock's; NT creates Device0 again for a swap interval).
bool ClockNotStored(const MemoryRegistry& reg) {
  std::set<std::string> created;
  auto endsWith = [](const std::string& s, const std::string& end) {
    return s.size() >= end.size() && s.compare(s.size() - end.size(), end.size(), end) == 0;
  };
  for (const MemoryRegistry::Call& c : reg.Calls()) {
    const bool clockKey = c.op == MemoryRegistry::kOpCreate && created.insert(c.path).second &&
                          (endsWith(c.path, "\\DEFAULT") || endsWith(c.path, "\\Device0"));
    const bool clockValue =
        (c.op == MemoryRegistry::kOpSet ||
         (c.op == MemoryRegistry::kOpDeleteValue && c.result != kErrorFileNotFound)) &&
        (c.value == "Grxclock" || c.value == "GraphicsClocking");
    if (c.result != kErrorSuccess && (clockKey || clockValue)) return true;
  }
  return false;
}

// Windows 98, Voodoo3 boards at 0000 and 0002, a LowerLimit to clamp, the last
// board's clock above the upper limit (a limit message and a write-through).
void Seed9x(MemoryRegistry& reg) {
  const Named product[] = {{"LowerLimit", "90"},  {"UpperLimit", "220"},
                           {"Model", "Voodoo3 3000"}, {"DefaultClock", "166"},
                           {"EnableClock", "1"},  {"ColorDepth", "16"},
                           {"LinkAllColorDepths", "0"}};
  for (const Named& v : product) reg.PutText(fault::kProductPath, v.first, v.second);
  const char* descriptions[] = {"3dfx Voodoo3 3000 AGP", "Some other board", "Voodoo3 2000 PCI"};
  for (int n = 0; n < 3; ++n) reg.PutText(AdapterKey(n, ""), "DriverDesc", descriptions[n]);
  for (int n : {0, 2}) {
    reg.PutText(AdapterKey(n, "\\DEFAULT"), "Grxclock", n == 2 ? "250" : "170");
    reg.PutText(AdapterKey(n, "\\DEFAULT"), "RefreshRate", "-1");
    reg.PutText(AdapterKey(n, "\\Glide"), "FX_GLIDE_SWAPINTERVAL", "0");
    reg.AddKey(AdapterKey(n, "\\D3D"));
    for (int depth : {8, 16}) {
      const Named lists[] = {
          {"640,480", "60,72,75,85"}, {"800,600", "56,60,72"}, {"1024,768", "60,70,75,85,100"}};
      for (const Named& m : lists) reg.PutText(ModeKey(n, depth, m.first), "", m.second);
      reg.PutText(ModeKey(n, depth, "640,480"), "RefreshRate", "75");
      reg.PutText(ModeKey(n, depth, "1024,768"), "RefreshRate", "0");
    }
  }
}

// NT 4: Device0 clock above the UpperLimit 250 (clamped to 240).
void SeedNT4(MemoryRegistry& reg) {
  regtest::PutValues(reg, {{fault::kProductPath, "LowerLimit", "120"},
                           {fault::kProductPath, "UpperLimit", "250"},
                           {fault::kProductPath, "EnableClock", "1"},
                           {fault::kNTGlide, "FX_GLIDE_SWAPINTERVAL", "0"}});
  reg.PutDword(fault::kNT4Device0, "GraphicsClocking", 260);
}

// NT 4 forced to NT 5; clock below the limit with EnableClock 0 (deleted).
void SeedNT5(MemoryRegistry& reg) {
  regtest::PutValues(reg, {{fault::kProductPath, "ForceNT5", "1"},
                           {fault::kProductPath, "EnableClock", "0"},
                           {fault::kNT5Device0, "SSTH3_SWAPINTERVAL", "0"}});
  reg.PutDword(fault::kNT5Device0, "GraphicsClocking", 90);
}

struct PageScenario { const char* name; void (*seed)(MemoryRegistry&); FakeSystemInfo system; };

const PageScenario kPageScenarios[] = {{"9x", Seed9x, FakeSystemInfo::Windows98()},
                                       {"NT4", SeedNT4, FakeSystemInfo::NT(4)},
                                       {"NT5", SeedNT5, FakeSystemInfo::NT(4)}};

struct Page {
  PlatformKind kind = kPlatform9x;
  AdapterList adapters;
  DriverSettings settings;
  RecordingMessageSink messages;
  bool saved = false;  // what LoadSettings answered

  SettingsContext Context(MemoryRegistry& reg) {
    return SettingsContext{&reg, &messages, 0x77, kind, &adapters};
  }
  void Load(MemoryRegistry& reg, FakeSystemInfo system) {
    messages.messages.clear();
    kind = DetectPlatformKind(reg, system);
    ClearAdapterList(&adapters);
    if (kind == kPlatform9x) BuildAdapterList(reg, &adapters);
    settings = DriverSettings{};
    CopyText(settings.model, sizeof settings.model, "garbage");
    saved = LoadSettings(Context(reg), &settings);
  }
};

void ExpectRecordInRange(const Page& page) {
  const DriverSettings& s = page.settings;
  EXPECT_TRUE(s.lowerLimit >= 100 && s.lowerLimit <= 140) << s.lowerLimit;
  EXPECT_TRUE(s.upperLimit >= 200 && s.upperLimit <= 240) << s.upperLimit;
  EXPECT_TRUE(s.currentClock >= s.lowerLimit && s.currentClock <= s.upperLimit) << s.currentClock;
  EXPECT_TRUE(fault::Terminated(s.model, sizeof s.model));
}

TEST(FaultSweep, PageLoad) {
  for (const PageScenario& scenario : kPageScenarios) {
    Page page;
    Sweep(
        std::string("page load ") + scenario.name, scenario.seed,
        [&](MemoryRegistry& reg) { page.Load(reg, scenario.system); },
        [&](MemoryRegistry& reg, size_t k) {
          ExpectRecordInRange(page);
          // The fault-free run shows the limit message.
          if (k == 0) EXPECT_EQ(page.messages.messages.size(), 1u);
          EXPECT_LE(page.messages.messages.size(), 1u);
          // The limits written back to the product key and the switches
          // rewritten as loaded may fail silently.
          EXPECT_EQ(page.saved, !ClockNotStored(reg));
          ExpectClean(reg, fault::PagePolicy(page.kind, page.adapters));
        });
  }
}

// Only Apply meets the failing call; the load before it runs fault-free.
void SweepApply(const PageScenario& scenario, bool factoryDefaults) {
  Page page;
  auto setup = [&](MemoryRegistry& reg) {
    scenario.seed(reg);
    page.Load(reg, scenario.system);
    DriverSettings& s = page.settings;
    if (factoryDefaults) {  // as the page's button resets the record
      s.currentClock = s.defaultClock;
      s.enableClock = s.glideVsyncOff = s.d3dVsyncOff = 0;
    } else {  // the user moves the slider and flips both switches
      s.currentClock = s.lowerLimit + 7;
      s.enableClock = 1;
      s.glideVsyncOff = !s.glideVsyncOff;
      if (page.kind == kPlatform9x) s.d3dVsyncOff = !s.d3dVsyncOff;
    }
  };
  bool ok = false;
  std::string name = std::string(factoryDefaults ? "factory defaults + apply " : "apply ") +
                     scenario.name;
  Sweep(
      name, setup,
      [&](MemoryRegistry& reg) { ok = ApplySettings(page.Context(reg), &page.settings, 1) == 0; },
      [&](MemoryRegistry& reg, size_t k) {
        ExpectTruthfulResult(reg, ok);
        if (k == 0) EXPECT_TRUE(ok);
        if (ok) EXPECT_EQ(fault::CheckDriverValues(reg, page.kind, page.adapters, page.settings), "");
        ExpectRecordInRange(page);
        ExpectClean(reg, fault::PagePolicy(page.kind, page.adapters));
      });
}

TEST(FaultSweep, PageApply) {
  for (const PageScenario& scenario : kPageScenarios) SweepApply(scenario, false);
}

TEST(FaultSweep, PageFactoryDefaultsThenApply) {
  for (const PageScenario& scenario : kPageScenarios) SweepApply(scenario, true);
}

struct RefreshDialog {
  AdapterList adapters;
  int32_t depth = 0, link = 0;
  AdapterRefreshSetting setting = RefreshDefault;
  ModeTable table;
  ChoiceWords words;

  void Open(MemoryRegistry& reg) {
    SetWords(words, "Adapter", "Default", "Optimal");
    BuildAdapterList(reg, &adapters);
    LoadDialogPreferences(reg, &depth, &link);
    InitModeTable(&table);
    setting = RefreshDefault;
    if (adapters.selected == -1) return;
    const int32_t instance = adapters.instances[adapters.selected];
    for (ModeRow& row : table.rows) ReadModeRow(reg, instance, depth, &row);
    ReadAdapterRefreshSetting(reg, instance, &setting);
  }
};

void ExpectRowsTerminated(const ModeTable& table) {
  for (const ModeRow& row : table.rows) {
    EXPECT_TRUE(fault::Terminated(row.rateList, sizeof row.rateList));
    EXPECT_TRUE(fault::Terminated(row.choiceText, sizeof row.choiceText));
  }
}

TEST(FaultSweep, RefreshDialogOpen) {
  RefreshDialog dialog;
  Sweep("refresh-rate dialog open", Seed9x, [&](MemoryRegistry& reg) { dialog.Open(reg); },
        [&](MemoryRegistry& reg, size_t k) {
          if (k == 0) {  // the seeded state as read without a fault
            EXPECT_EQ(dialog.depth, 16);
            EXPECT_EQ(dialog.setting, RefreshOptimal);
            EXPECT_STREQ(dialog.table.rows[0].choiceText, "75");
          }
          ExpectRowsTerminated(dialog.table);
          ExpectClean(reg, fault::WritePolicy());
        });
}

void SweepSave(bool linked) {
  RefreshDialog dialog;
  TableSource lists;
  lists.selected[0] = "Optimal";
  lists.selected[1] = "Adapter";
  lists.selected[3] = "85";  // rows 2 and 4.. keep what was read
  std::vector<std::string> modes;
  for (const ModeRowSpec& mode : kModeRowSpecs) modes.push_back(mode.modeKey);
  auto setup = [&](MemoryRegistry& reg) {
    Seed9x(reg);
    dialog.Open(reg);
    dialog.link = linked ? 1 : 0;
    dialog.setting = RefreshDefault;
  };
  Sweep(std::string("refresh-rate save") + (linked ? " linked" : ""), setup,
        [&](MemoryRegistry& reg) {
          SaveChoices(reg, dialog.adapters, dialog.depth, dialog.link, dialog.setting,
                      dialog.words, lists, &dialog.table);
        },
        [&](MemoryRegistry& reg, size_t k) {
          if (k == 0) {
            EXPECT_EQ(reg.Text(ModeKey(0, 16, "640,480"), "RefreshRate"), "-1");
            EXPECT_FALSE(reg.ValueExists(ModeKey(2, 16, "800,600"), "RefreshRate"));
            EXPECT_EQ(reg.Text(AdapterKey(2, "\\DEFAULT"), "RefreshRate"), "0");
          }
          ExpectRowsTerminated(dialog.table);
          std::vector<int> depths = linked ? std::vector<int>{8, 16, 24, 32}
                                           : std::vector<int>{dialog.depth};
          ExpectClean(reg, fault::RefreshPolicy(dialog.adapters, depths, modes));
        });
}

TEST(FaultSweep, RefreshSave) { SweepSave(false); }
TEST(FaultSweep, RefreshSaveLinked) { SweepSave(true); }

const char kModulePath[] = "C:\\WINDOWS\\DESKTOP\\TACHINST\\TACHPAGE.DLL";
const char kInstallerPath[] = "C:\\WINDOWS\\DESKTOP\\TACHINST\\TACHINST.EXE";

struct InstallScenario { const char* name; FakeSystemInfo system; const char* commandLine;
                         int32_t advancedPanel; };

const InstallScenario kInstallScenarios[] = {
    {"9x", FakeSystemInfo::Windows98(), "", 0},
    {"9x advanced panel", FakeSystemInfo::Windows98(), "", 1},
    {"NT4", FakeSystemInfo::NT(4), "LOWERLIMIT(110)", 0},
    {"NT5", FakeSystemInfo::NT(5), "FORCENT5", 0}};

// An earlier release installed (with regsvr32's keys) and the page used.
void SeedInstalled(MemoryRegistry& reg) {
  Seed9x(reg);
  reg.PutText(fault::kLegacyHandler, "", "{00000000-0000-0000-0000-000000000000}");
  reg.PutText(fault::kDisplayHandler, "", fault::kClsidText);
  reg.PutText(fault::kDeviceHandler, "", fault::kClsidText);
  reg.PutText(fault::kServerKey, "", "C:\\OLD\\TACHPAGE.DLL");
  reg.PutText(fault::kServerKey, "ThreadingModel", "Apartment");
  reg.PutText(fault::kUninstallEntry, "UninstallString", "C:\\OLD\\TACHINST.EXE");
  // What regsvr32 adds (the class id as StringFromCLSID renders it).
  for (const std::string& k : {std::string(fault::kClassKey), std::string(fault::kClassKey) +
                               "\\ProgID", std::string(fault::kProgIdKey)})
    reg.PutText(k, "", "PROPERTY.PROPERTYINTERFACE");
  reg.PutText(std::string(fault::kProgIdKey) + "\\CLSID", "", "{7A41C3E2-5B19-11D2-A4C7-0060B0D4E91F}");
  reg.PutText(AdapterKey(0, "\\D3D"), "SSTH3_SWAPINTERVAL", "0");
  for (const char* device0 : {fault::kNT4Device0, fault::kNT5Device0}) {
    reg.PutDword(device0, "GraphicsClocking", 200);
    reg.PutText(device0, "SSTH3_SWAPINTERVAL", "0");
  }
  reg.PutText(fault::kNTGlide, "FX_GLIDE_SWAPINTERVAL", "0");
  reg.PutText(fault::kNTD3D, "SSTH3_SWAPINTERVAL", "0");
}

// Handler keys left from before: the install on 9x deletes the other one.
void SeedClean(MemoryRegistry& reg) {
  Seed9x(reg);
  reg.RemoveKeyTree(fault::kProductPath);
  reg.PutText(fault::kDeviceHandler, "", fault::kClsidText);
  reg.PutText(fault::kDisplayHandler, "", fault::kClsidText);
}

struct Installer {
  InstallerState state;
  ScriptedUi ui{&state, {}};

  void Start(MemoryRegistry& reg, const InstallScenario& scenario,
             std::vector<int32_t> answers = {}) {
    FakeSystemInfo system = scenario.system;
    InitInstallerState(&state);
    CopyText(state.PageModulePath, sizeof state.PageModulePath, kModulePath);
    CopyText(state.InstallerPath, sizeof state.InstallerPath, kInstallerPath);
    state.FileVersionMS = 0x00030002;
    PrepareInstallerState(reg, system, scenario.commandLine, &state);
    state.InstalledKeySet = DetectInstalledKeys(reg);
    state.SelectedModel = kModel3000;
    state.AdvancedPanelOption = scenario.advancedPanel;
    ui = ScriptedUi(&state, std::move(answers), kModel3000);
  }
};

void ExpectInstallerRun(const MemoryRegistry& reg, const Installer& inst, bool ok) {
  ExpectTruthfulResult(reg, ok);
  ExpectClean(reg, fault::InstallerPolicy(inst.state.PlatformKind, inst.state.AdapterList,
                                          kModulePath, kInstallerPath));
}

void ExpectInstalled(const MemoryRegistry& reg, const Installer& inst) {
  EXPECT_EQ(fault::CheckInstalled(reg, inst.state.PlatformKind, inst.state.AdvancedPanelOption,
                                  kModulePath, kInstallerPath),
            "");
}

TEST(FaultSweep, Install) {
  for (const InstallScenario& scenario : kInstallScenarios) {
    Installer inst;
    bool ok = false;
    Sweep(std::string("install ") + scenario.name,
          [&](MemoryRegistry& reg) {
            SeedClean(reg);
            inst.Start(reg, scenario);
          },
          [&](MemoryRegistry& reg) {
            ok = InstallExtension(reg, inst.state, inst.state.PageModulePath,
                                  inst.state.LowerLimit, inst.state.UpperLimit,
                                  inst.state.SelectedModel);
          },
          [&](MemoryRegistry& reg, size_t k) {
            if (k == 0) EXPECT_TRUE(ok);
            ExpectInstallerRun(reg, inst, ok);
            if (ok) ExpectInstalled(reg, inst);
          });
  }
}

void SweepFlow(bool reinstall) {
  for (const InstallScenario& scenario : kInstallScenarios) {
    Installer inst;
    Sweep(std::string(reinstall ? "reinstall " : "remove ") + scenario.name,
          [&](MemoryRegistry& reg) {
            SeedInstalled(reg);
            inst.Start(reg, scenario, {reinstall ? kDialogReinstall : kDialogRemove});
          },
          [&](MemoryRegistry& reg) { RunInstallerFlow(reg, &inst.state, inst.ui); },
          [&](MemoryRegistry& reg, size_t k) {
            const bool reported = !inst.ui.failures.empty();
            const bool ok = inst.ui.Shown(reinstall ? IDD_INSTALLED : IDD_REMOVED);
            EXPECT_NE(ok, reported);
            if (k == 0) EXPECT_TRUE(ok);
            ExpectInstallerRun(reg, inst, ok);
            if (ok && reinstall) {
              ExpectInstalled(reg, inst);
              EXPECT_EQ(reg.Text(fault::kProductPath, "EnableClock"), "0");
            }
            // A failure leaves the product registered, so that the next run
            // offers the removal again (a reinstall may fail writing the entry).
            if (reported)
              EXPECT_TRUE(reg.KeyExists(fault::kUninstallEntry) ||
                          (reinstall && reg.KeyExists(fault::kProductPath)));
            // Whatever failed, a removal leaves no handler without its class.
            if (!reinstall || ok) EXPECT_EQ(fault::CheckNoDanglingHandler(reg), "");
            if (ok && !reinstall)
              EXPECT_EQ(fault::CheckRemoved(reg, inst.state.PlatformKind, inst.state.AdapterList,
                                            inst.state.InstalledKeySet),
                        "");
          });
  }
}

TEST(FaultSweep, Reinstall) { SweepFlow(true); }
TEST(FaultSweep, Remove) { SweepFlow(false); }

}  // namespace
}  // namespace tachy
