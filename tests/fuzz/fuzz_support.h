// Shared pieces of the fuzz targets: registry and system built from the input.
#pragma once

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "settings/memreg.h"
#include "settings/sysapi.h"
#include "settings/text.h"
#include "native/fault_invariants.h"

namespace tachy {
namespace fuzz {

// The registry whose calls are listed when an invariant breaks.
inline const MemoryRegistry* currentRegistry = nullptr;

// Reports a broken invariant and stops the run (libFuzzer saves the input).
[[noreturn]] inline void Fail(const std::string& what) {
  std::fprintf(stderr, "invariant broken: %s\n", what.c_str());
  if (const MemoryRegistry* reg = currentRegistry) {
    std::fprintf(stderr, "registry calls of the step (op path \"value\" access result):\n");
    for (const MemoryRegistry::Call& c : reg->Calls())
      std::fprintf(stderr, "  %u %s \"%s\" %#x %ld\n", static_cast<unsigned>(c.op),
                   c.path.c_str(), c.value.c_str(), c.access, c.result);
  }
  std::abort();
}
inline void Require(bool condition, const std::string& what) {
  if (!condition) Fail(what);
}
inline void RequireEmpty(const std::string& errors, const char* where) {
  if (!errors.empty()) Fail(std::string("in ") + where + ":\n" + errors);
}

// A heap block of exactly `size` bytes filled with `fill`, so that
// AddressSanitizer sees any write past the end.
struct Buffer {
  Buffer(size_t n, char fill) : size(n), data(new char[n ? n : 1]) {
    std::memset(data.get(), fill, n ? n : 1);
  }
  size_t size;
  std::unique_ptr<char[]> data;
};

// A text from the input, up to its first zero byte.
inline std::string Text(FuzzedDataProvider& fdp, size_t maxLength) {
  std::string s = fdp.ConsumeRandomLengthString(maxLength);
  size_t zero = s.find('\0');
  if (zero != std::string::npos) s.resize(zero);
  return s;
}

const char* const kModeKeys[] = {
    "640,480",   "800,600",   "960,720",   "1024,768",  "1152,864",
    "1280,960",  "1280,1024", "1600,1024", "1600,1200", "1792,1344",
    "1856,1392", "1920,1080", "1920,1200", "1920,1440", "2046,1536"};

const char* const kValueNames[] = {
    "LowerLimit", "UpperLimit", "Model", "DefaultClock", "EnableClock",
    "ColorDepth", "LinkAllColorDepths", "Force95", "Force98", "ForceNT4",
    "ForceNT5", "DriverDesc", "Grxclock", "GraphicsClocking",
    "FX_GLIDE_SWAPINTERVAL", "SSTH3_SWAPINTERVAL", "RefreshRate", "",
    "ThreadingModel", "lowerlimit", "DRIVERDESC"};

inline int PickDepth(FuzzedDataProvider& fdp) {
  static const int kDepths[] = {8, 16, 24, 32, 15, 0, -1};
  return fdp.PickValueInArray(kDepths);
}

// A key the product reads or writes, or one near it.
inline std::string PickKey(FuzzedDataProvider& fdp) {
  using namespace fault;
  int instance = fdp.ConsumeIntegralInRange<int>(0, 16);
  switch (fdp.ConsumeIntegralInRange<int>(0, 19)) {
    case 0: case 1: return kProductPath;
    case 2: case 3: return AdapterKey(instance, "");
    case 4: return AdapterKey(instance, "\\DEFAULT");
    case 5: return AdapterKey(instance, "\\Glide");
    case 6: return AdapterKey(instance, "\\D3D");
    case 7: case 8:
      return ModeKey(instance, PickDepth(fdp), fdp.PickValueInArray(kModeKeys));
    case 9: return kNT4Device0;
    case 10: return kNT5Device0;
    case 11: return kNTGlide;
    case 12: return kNTD3D;
    case 13: return kLegacyHandler;
    case 14: return kDisplayHandler;
    case 15: return kDeviceHandler;
    case 16: return kClassKey;
    case 17: return kServerKey;
    case 18: return std::string(kClassKey) + "\\ProgID";
    default: return AdapterKey(instance, "\\MODES\\") + std::to_string(PickDepth(fdp));
  }
}

// Value data of an interesting size: texts with and without terminator,
// numbers with blanks and signs, descriptions, rate lists, binary.
inline std::vector<unsigned char> PickData(FuzzedDataProvider& fdp) {
  static const size_t kSizes[] = {0, 1, 2, 3, 4, 5, 15, 16, 17, 63, 64, 65,
                                  127, 128, 129, 255, 256, 257, 300};
  size_t size = fdp.ConsumeBool() ? fdp.PickValueInArray(kSizes)
                                  : fdp.ConsumeIntegralInRange<size_t>(0, 600);
  std::string text;
  switch (fdp.ConsumeIntegralInRange<int>(0, 7)) {
    case 0:
      text = std::to_string(fdp.ConsumeIntegral<int32_t>());
      break;
    case 1:
      text = fdp.PickValueInArray({"90", "150", "180", "250", "-1", "0", "00", " 1", "\t-5",
                                   "+7", "abc", "2147483648", "-2147483649", "41", "179",
                                   "40", "143", "220"});
      break;
    case 2:
      text = fdp.PickValueInArray(
          {"3dfx Voodoo3", "voodoo3 2000 AGP", "VOODOO3", "Voodoo 3", "Voodoo3"});
      break;
    case 3: {
      text = std::to_string(fdp.ConsumeIntegralInRange<int>(40, 200));
      int entries = fdp.ConsumeIntegralInRange<int>(0, 60);
      for (int i = 0; i < entries; ++i)
        text += "," + std::to_string(fdp.ConsumeIntegralInRange<int>(0, 999));
      break;
    }
    default:
      text = fdp.ConsumeRandomLengthString(size + 1);
      break;
  }
  std::vector<unsigned char> data(text.begin(), text.end());
  // Pad or cut to the size; sometimes keep a terminator at the end.
  char fill = fdp.ConsumeBool() ? 0 : static_cast<char>(fdp.ConsumeIntegral<uint8_t>());
  data.resize(size, static_cast<unsigned char>(fill));
  if (size && fdp.ConsumeBool()) data[size - 1] = 0;
  return data;
}

// Fills `reg` from the input: keys, values of any type and size, and now
// and then a key that refuses some or all calls. True when it made one.
inline bool BuildRegistry(FuzzedDataProvider& fdp, MemoryRegistry& reg) {
  bool faults = false;
  currentRegistry = &reg;
  int records = fdp.ConsumeIntegralInRange<int>(0, 40);
  for (int i = 0; i < records && fdp.remaining_bytes() > 0; ++i) {
    std::string key = PickKey(fdp);
    int what = fdp.ConsumeIntegralInRange<int>(0, 15);
    if (what == 0) {
      reg.AddKey(key);
    } else if (what == 1) {
      static const long kErrors[] = {kErrorAccessDenied, kErrorFileNotFound,
                                     kErrorMoreData, kErrorInvalidHandle};
      reg.FailKey(key, fdp.PickValueInArray(kErrors),
                  fdp.ConsumeIntegralInRange<unsigned>(1, MemoryRegistry::kOpAll),
                  fdp.ConsumeBool());
      faults = true;
    } else if (what == 2) {
      reg.MakeReadOnly(key, fdp.ConsumeBool());
      faults = true;
    } else {
      std::string name = fdp.ConsumeBool() ? std::string(fdp.PickValueInArray(kValueNames))
                                           : Text(fdp, 12);
      static const uint32_t kTypes[] = {kRegSz, kRegSz, kRegDword, kRegBinary,
                                        kRegNone, kRegMultiSz, kRegExpandSz, 0x7777};
      uint32_t type = fdp.PickValueInArray(kTypes);
      reg.PutRaw(key, name, type, PickData(fdp));
    }
  }
  return faults;
}

// GetVersionExA answers from the input.
struct FuzzSystem : SystemInfo {
  explicit FuzzSystem(FuzzedDataProvider& fdp) {
    fails = fdp.ConsumeIntegralInRange<int>(0, 15) == 0;
    version.platformId = fdp.ConsumeIntegralInRange<uint32_t>(0, 3);
    version.majorVersion = fdp.ConsumeIntegralInRange<uint32_t>(3, 7);
    version.minorVersion = fdp.ConsumeIntegralInRange<uint32_t>(0, 90);
    version.buildNumber = fdp.ConsumeIntegral<uint32_t>();
    language = fdp.ConsumeIntegral<uint16_t>();
  }
  bool GetVersion(OsVersion* out) override {
    if (!fails) *out = version;
    return !fails;
  }
  uint16_t GetSystemDefaultLangId() override { return language; }
  bool fails;
  OsVersion version{};
  uint16_t language;
};

struct CountingMessages : MessageSink {
  int count = 0;
  int Show(WindowHandle, const char* text, const char* caption, uint32_t) override {
    ++count;
    Require(text && caption, "message without text or caption");
    return 1;
  }
};

// The adapter list invariants of BuildAdapterList.
inline void RequireValidList(const AdapterList& list) {
  Require(list.count >= 0 && list.count <= kMaxAdapters, "adapter count out of range");
  Require(list.selected == list.count - 1, "selected is not count - 1");
  for (int i = 0; i < kMaxAdapters; ++i) {
    const int n = list.instances[i], previous = i ? list.instances[i - 1] : -1;
    if (i < list.count)
      Require(n > previous && n <= 15, "instances not ascending within 0..15");
    else
      Require(n == -1, "slot after the last instance is not -1");
  }
}

// What reading a value as text into a buffer of `bufSize` bytes gives, from
// the stored bytes: false when the value is missing or does not fit as text.
inline bool ReferenceText(const MemoryRegistry& reg, const std::string& key,
                          const std::string& name, size_t bufSize, std::string* out) {
  MemoryRegistry::Value v;
  out->clear();
  if (!reg.GetValue(key, name, &v)) return false;
  if (v.data.size() > bufSize) return false;
  size_t zero = 0;
  while (zero < v.data.size() && v.data[zero] != 0) ++zero;
  if (v.data.size() == bufSize && zero == v.data.size()) return false;
  out->assign(v.data.begin(), v.data.begin() + zero);
  return true;
}

// The instances BuildAdapterList must find, from the stored descriptions.
inline std::vector<int> ReferenceAdapters(const MemoryRegistry& reg, size_t descriptionBytes) {
  std::vector<int> found;
  for (int n = 0; n < 16; ++n) {
    std::string text;
    if (!ReferenceText(reg, fault::AdapterKey(n, ""), "DriverDesc",
                       descriptionBytes, &text))
      continue;
    if (text.find("Voodoo3") != std::string::npos ||
        text.find("voodoo3") != std::string::npos)
      found.push_back(n);
  }
  return found;
}

// No key left open and nothing written outside `policy` (nothing at all
// when none is given).
inline void RequireClean(const MemoryRegistry& reg, const char* where,
                         const fault::WritePolicy& policy = fault::WritePolicy()) {
  RequireEmpty(fault::CheckHandles(reg), where);
  RequireEmpty(policy.Check(reg), where);
}

// The number stored as text in a product value (read into `bytes`), or
// `fallback` when it cannot be read.
inline int32_t ReferenceNumber(const MemoryRegistry& reg, const char* name, size_t bytes,
                               int32_t fallback) {
  std::string text;
  return ReferenceText(reg, fault::kProductPath, name, bytes, &text) ? ParseDecimal(text.c_str())
                                                                     : fallback;
}

// A row read from `key`: its texts end inside their fields, the choice is
// the stored RefreshRate cut to its field, the rate list the stored default
// value: all of it when it fits in 127 characters (the field holds 128 bytes
// with the terminator), else the longest part that ends before a comma (or
// the first 127 characters when there is no comma to cut at).
template <typename Row>
void RequireRowAsStored(const MemoryRegistry& reg, const std::string& key, const Row& row) {
  Require(fault::Terminated(row.rateList, sizeof row.rateList), "rateList not terminated");
  Require(fault::Terminated(row.choiceText, sizeof row.choiceText), "choiceText not terminated");
  std::string stored;
  const std::string kept = row.rateList;
  const size_t limit = 127;
  if (!ReferenceText(reg, key, "", 256, &stored)) {
    Require(kept.empty(), "rateList of an unreadable value not empty");
  } else if (stored.size() <= limit) {
    Require(kept == stored, "a rate list that fits was changed");
  } else {
    const size_t lastComma = stored.substr(0, limit + 1).rfind(',');
    Require(kept.size() <= limit && stored.compare(0, kept.size(), kept) == 0,
            "a cut rate list is not a prefix of the stored one");
    Require(kept.size() == (lastComma == std::string::npos ? limit : lastComma),
            "a rate list is not cut after its last whole entry (or at the field's end)");
  }
  if (!ReferenceText(reg, key, "RefreshRate", 256, &stored)) stored.clear();
  Require(stored.substr(0, sizeof row.choiceText - 1) == row.choiceText,
          "choiceText differs from the stored RefreshRate");
}

}  // namespace fuzz
}  // namespace tachy
