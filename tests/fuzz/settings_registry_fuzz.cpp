// The page's whole load and apply path over a registry built from the input:
// DetectPlatformKind, BuildAdapterList, LoadSettings, an edit (or Factory
// Defaults), then ApplySettings, now and then with a failing call. The loaded
// values are checked against what is stored only when no fault is injected.
#include "fuzz_support.h"
#include "settings/driver_settings.h"
#include "settings/platform.h"

using namespace tachy;
using fuzz::Require;
using fuzz::RequireEmpty;

namespace {

int32_t Clamp(int32_t v, int32_t low, int32_t high) {
  return v < low ? low : v > high ? high : v;
}

struct Expected {
  int32_t lower, upper, defaultClock, rawClock;
  bool clockLoaded;
  std::string model;
  int32_t glide = 0, d3d = 0;
};

Expected ReferenceLoad(const MemoryRegistry& reg, PlatformKind kind, const AdapterList& list) {
  Expected e;
  e.lower = Clamp(fuzz::ReferenceNumber(reg, "LowerLimit", 256, 120), 100, 140);
  e.upper = Clamp(fuzz::ReferenceNumber(reg, "UpperLimit", 256, 220), 200, 240);
  e.defaultClock = fuzz::ReferenceNumber(reg, "DefaultClock", 256, 143);
  std::string model;
  e.model = fuzz::ReferenceText(reg, fault::kProductPath, "Model", 256, &model)
                ? model.substr(0, 79)
                : "Voodoo3 2000";
  e.rawClock = e.defaultClock;
  e.clockLoaded = fault::IsNT(kind) || list.selected != -1;
  if (!e.clockLoaded) return e;
  std::string clockKey, glideKey, d3dKey;
  if (fault::IsNT(kind)) {
    clockKey = kind == 2 ? fault::kNT4Device0 : fault::kNT5Device0;
    glideKey = fault::kNTGlide;
    MemoryRegistry::Value v;
    if (reg.GetValue(clockKey, "GraphicsClocking", &v) && v.data.size() >= 4 &&
        v.data.size() <= 256)
      e.rawClock = static_cast<int32_t>(fault::ReadDword(v));
  } else {
    int n = list.instances[list.selected];
    clockKey = fault::AdapterKey(n, "\\DEFAULT");
    glideKey = fault::AdapterKey(n, "\\Glide");
    d3dKey = fault::AdapterKey(n, "\\D3D");
    std::string text;
    if (fuzz::ReferenceText(reg, clockKey, "Grxclock", 256, &text))
      e.rawClock = ParseDecimal(text.c_str());
  }
  // A switch is on when its value can be read into 256 bytes.
  auto present = [&](const std::string& key, const char* name) {
    MemoryRegistry::Value v;
    return reg.GetValue(key, name, &v) && v.data.size() <= 256 ? 1 : 0;
  };
  e.glide = present(glideKey, "FX_GLIDE_SWAPINTERVAL");
  e.d3d = fault::IsNT(kind) ? 0 : present(d3dKey, "SSTH3_SWAPINTERVAL");
  return e;
}

// `clockClamped`: the step clamps the clock (loading always does; applying
// does when it writes to at least one adapter).
void RequireRecord(const DriverSettings& s, PlatformKind kind, const char* when,
                   bool clockClamped) {
  std::string w = std::string(" after ") + when;
  Require(s.lowerLimit >= 100 && s.lowerLimit <= 140, "lowerLimit out of range" + w);
  Require(s.upperLimit >= 200 && s.upperLimit <= 240, "upperLimit out of range" + w);
  if (clockClamped)
    Require(s.currentClock >= s.lowerLimit && s.currentClock <= s.upperLimit,
            "currentClock outside the limits" + w);
  Require(fault::Terminated(s.model, sizeof s.model), "model not terminated" + w);
  Require(s.glideVsyncOff == 0 || s.glideVsyncOff == 1, "glideVsyncOff not 0/1" + w);
  Require(s.d3dVsyncOff == 0 || s.d3dVsyncOff == 1, "d3dVsyncOff not 0/1" + w);
  if (fault::IsNT(kind)) Require(s.d3dVsyncOff == 0, "d3dVsyncOff set on NT" + w);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider fdp(data, size);
  MemoryRegistry reg;
  const bool faults = fuzz::BuildRegistry(fdp, reg);
  fuzz::FuzzSystem sys(fdp);

  int32_t forceNT4 = -7, forceNT5 = -7;
  PlatformKind kind = DetectPlatformKind(reg, sys, &forceNT4, &forceNT5);
  PlatformKind fromVersion = 1;
  if (!sys.fails && sys.version.platformId == kVerPlatformWin32Nt) {
    if (sys.version.majorVersion == 4) fromVersion = 2;
    if (sys.version.majorVersion == 5) fromVersion = 3;
  }
  Require(kind == (forceNT5 ? 3 : forceNT4 ? 2 : fromVersion), "platform rule");
  if (!faults)
    Require(forceNT4 == fuzz::ReferenceNumber(reg, "ForceNT4", 128, 0) &&
                forceNT5 == fuzz::ReferenceNumber(reg, "ForceNT5", 128, 0),
            "force values differ from the stored ones");
  fuzz::RequireClean(reg, "DetectPlatformKind");

  // Adapters: the page builds its list on the 9x family only; the other
  // probe variant (KEY_READ, 256 bytes) is the installer's.
  AdapterList list;
  ClearAdapterList(&list);
  if (kind == 1) {
    const bool installerProbe = fdp.ConsumeBool();
    const uint32_t bytes = installerProbe ? 256 : 128;
    int32_t count = BuildAdapterList(reg, &list, installerProbe ? kKeyRead : kKeyQueryValue, bytes);
    Require(count == list.count, "BuildAdapterList result differs from count");
    fuzz::RequireValidList(list);
    if (!faults)
      Require(fault::Instances(list) == fuzz::ReferenceAdapters(reg, bytes),
              "adapter list differs from the stored descriptions");
    fuzz::RequireClean(reg, "BuildAdapterList");
  }

  // Load. The record starts as the page leaves it: garbage except the three
  // fields it clears, and a model field without any terminator.
  DriverSettings s;
  std::memset(&s, 0x5A, sizeof s);
  s.currentClock = fdp.ConsumeIntegral<int32_t>();
  s.glideVsyncOff = s.d3dVsyncOff = s.enableClock = 0;
  Expected expected = ReferenceLoad(reg, kind, list);
  fuzz::CountingMessages messages;
  SettingsContext ctx{&reg, &messages, 0x1234, kind, &list};
  const fault::WritePolicy policy = fault::PagePolicy(kind, list);

  reg.ResetCalls();
  LoadSettings(ctx, &s);
  RequireRecord(s, kind, "LoadSettings", true);
  Require(messages.count <= 1, "more than one limit message");
  fuzz::RequireClean(reg, "LoadSettings", policy);
  if (!faults) {
    Require(s.lowerLimit == expected.lower && s.upperLimit == expected.upper,
            "limits differ from the stored ones");
    Require(s.defaultClock == expected.defaultClock, "defaultClock differs");
    Require(expected.model == s.model, "model differs from the stored one");
    if (expected.clockLoaded) {
      bool outside = expected.rawClock < s.lowerLimit || expected.rawClock > s.upperLimit;
      Require(messages.count == (outside ? 1 : 0), "limit message rule");
      Require(s.currentClock == Clamp(expected.rawClock, s.lowerLimit, s.upperLimit),
              "currentClock differs from the stored clock");
      Require(s.glideVsyncOff == expected.glide && s.d3dVsyncOff == expected.d3d,
              "switches differ from the stored values");
    } else {
      Require(messages.count == 0, "a limit message without any adapter");
    }
    // A clamp while loading was written through: the limits to the product
    // key (a missing key keeps its defaults, which lie in range), the clock
    // and the switches as loaded to the driver.
    Require(fuzz::ReferenceNumber(reg, "LowerLimit", 256, 120) == s.lowerLimit,
            "a clamped LowerLimit was not written back");
    Require(fuzz::ReferenceNumber(reg, "UpperLimit", 256, 220) == s.upperLimit,
            "a clamped UpperLimit was not written back");
    if (messages.count == 1)
      RequireEmpty(fault::CheckDriverValues(reg, kind, list, s),
                   "the write-through of LoadSettings");
  }

  // The user's change, or Factory Defaults.
  switch (fdp.ConsumeIntegralInRange<int>(0, 2)) {
    case 0:
      s.currentClock = fdp.ConsumeBool() ? fdp.ConsumeIntegral<int32_t>()
                                         : fdp.ConsumeIntegralInRange<int32_t>(s.lowerLimit,
                                                                               s.upperLimit);
      s.enableClock = fdp.ConsumeBool() ? fdp.ConsumeIntegral<int32_t>() : 1;
      s.glideVsyncOff = fdp.ConsumeBool() ? 1 : 0;
      if (kind == 1) s.d3dVsyncOff = fdp.ConsumeBool() ? 1 : 0;
      break;
    case 1:
      s.currentClock = s.defaultClock;
      s.enableClock = s.glideVsyncOff = s.d3dVsyncOff = 0;
      break;
  }
  static const int kModes[] = {1, 1, 2, 0, 7};
  const int mode = fdp.PickValueInArray(kModes);
  bool callFault = false;
  if (fdp.ConsumeBool()) {
    static const long kErrors[] = {kErrorAccessDenied, kErrorFileNotFound};
    reg.FailCallNumber(fdp.ConsumeIntegralInRange<size_t>(1, 64), fdp.PickValueInArray(kErrors));
    callFault = true;
  }
  const bool productKeyThere = reg.KeyExists(fault::kProductPath);

  reg.ResetCalls();
  const int32_t clockBefore = s.currentClock;
  bool ok = ApplySettings(ctx, &s, mode) == 0;
  const bool writes = fault::IsNT(kind) || list.selected != -1;
  RequireRecord(s, kind, "ApplySettings", writes);
  if (!writes) Require(s.currentClock == clockBefore, "clock changed without any adapter");
  fuzz::RequireClean(reg, "ApplySettings", policy);
  std::string which;
  bool failed = fault::AnyWriteFailed(reg, &which);
  Require(ok == !failed, ok ? "Apply reported success although a write failed: " + which
                            : std::string("Apply reported failure although every write succeeded"));
  if (ok) {
    RequireEmpty(fault::CheckDriverValues(reg, kind, list, s), "ApplySettings");
    if (mode == 1 && productKeyThere && !faults && !callFault)
      Require(reg.Text(fault::kProductPath, "EnableClock") == std::to_string(s.enableClock),
              "EnableClock not stored");
  }
  return 0;
}
