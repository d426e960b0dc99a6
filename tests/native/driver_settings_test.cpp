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

using Call = MemoryRegistry::Call;

const char kProduct[] = "HKLM\\Software\\Tachymark";
const char kNT4Device0[] = "HKLM\\SYSTEM\\CurrentControlSet\\Services\\Voodoo3\\Device0";
const char kNT5Device0[] = "HKLM\\SYSTEM\\CurrentControlSet\\Services\\3dfxvs\\Device0";
const char kNTGlide[] = "HKLM\\SYSTEM\\CurrentControlSet\\Services\\3Dfx\\Device0\\Glide";
const WindowHandle kOwner = 0x5150;

std::string Adapter(int n, const char* suffix) {
  char digits[8];
  snprintf(digits, sizeof digits, "%04d", n);
  return std::string("HKLM\\System\\CurrentControlSet\\Services\\Class\\Display\\") +
         digits + suffix;
}
std::string Default(int n) { return Adapter(n, "\\DEFAULT"); }
std::string Glide(int n) { return Adapter(n, "\\Glide"); }
std::string D3D(int n) { return Adapter(n, "\\D3D"); }

std::string BelowMessage(int clock, int limit) {
  return "The Graphics Clock in presently set to " + std::to_string(clock) +
         " Mhz which is below the Lower Limit of " + std::to_string(limit) +
         " Mhz and will be reset to the Lower Limit now. You will need to restart "
         "Windows after exiting Display Properties.";
}
std::string AboveMessage(int clock, int limit) {
  return "The Graphics Clock in presently set to " + std::to_string(clock) +
         " Mhz which is above the Upper Limit of " + std::to_string(limit) +
         " Mhz and will be reset to the Upper Limit now. You will need to restart "
         "Windows after exiting Display Properties.";
}

// A REG_SZ whose data is the text and its terminator.
void ExpectSz(const MemoryRegistry& reg, const std::string& path, const char* name,
              const std::string& text) {
  MemoryRegistry::Value v;
  ASSERT_TRUE(reg.GetValue(path, name, &v)) << path << " " << name;
  EXPECT_EQ(v.type, kRegSz) << path << " " << name;
  std::vector<unsigned char> data(text.begin(), text.end());
  data.push_back(0);
  EXPECT_EQ(v.data, data) << path << " " << name;
}

void ExpectDword(const MemoryRegistry& reg, const std::string& path, const char* name,
                 uint32_t number) {
  MemoryRegistry::Value v;
  ASSERT_TRUE(reg.GetValue(path, name, &v)) << path << " " << name;
  EXPECT_EQ(v.type, kRegDword);
  EXPECT_EQ(v.data, (std::vector<unsigned char>{
                        static_cast<unsigned char>(number), static_cast<unsigned char>(number >> 8),
                        static_cast<unsigned char>(number >> 16),
                        static_cast<unsigned char>(number >> 24)}));
}

size_t CountCalls(const MemoryRegistry& reg, unsigned ops) {
  size_t n = 0;
  for (const Call& c : reg.Calls())
    if (c.op & ops) ++n;
  return n;
}

// The page's state around the record: registry, messages, platform, list.
struct Page {
  MemoryRegistry reg;
  RecordingMessageSink sink;
  AdapterList list;
  DriverSettings settings;
  PlatformKind kind = kPlatform9x;

  Page() {
    ClearAdapterList(&list);
    // Garbage everywhere the page does not initialise itself.
    settings.lowerLimit = settings.upperLimit = settings.currentClock =
        settings.defaultClock = 0x7777;
    for (char& c : settings.model) c = '#';
    settings.glideVsyncOff = settings.d3dVsyncOff = settings.enableClock = 0;
  }
  SettingsContext Context() { return SettingsContext{&reg, &sink, kOwner, kind, &list}; }
  void AddVoodoo(int n) { reg.PutText(Adapter(n, ""), "DriverDesc", "3Dfx Voodoo3 3000"); }
  bool Load() {
    if (kind == kPlatform9x) BuildAdapterList(reg, &list);
    reg.ResetCalls();
    bool saved = LoadSettings(Context(), &settings);
    EXPECT_EQ(reg.OpenHandleCount(), 0u);
    return saved;
  }
  bool Apply(int mode = 1) {
    reg.ResetCalls();
    bool ok = ApplySettings(Context(), &settings, mode);
    EXPECT_EQ(reg.OpenHandleCount(), 0u);
    return ok;
  }
};

// ---------------------------------------------------------------------------
// The product values.

TEST(LoadSettings, EmptyRegistryGivesDefaultsAndWritesNothing) {
  for (PlatformKind kind : {kPlatform9x, kPlatformNT4, kPlatformNT5}) {
    Page page;
    page.kind = kind;
    if (kind == kPlatform9x) page.AddVoodoo(0);
    EXPECT_TRUE(page.Load());  // nothing to write counts as saved
    EXPECT_EQ(page.settings.lowerLimit, 120);
    EXPECT_EQ(page.settings.upperLimit, 220);
    EXPECT_EQ(page.settings.defaultClock, 143);
    EXPECT_EQ(page.settings.enableClock, 0);
    EXPECT_STREQ(page.settings.model, "Voodoo3 2000");
    EXPECT_EQ(page.settings.currentClock, 143);  // no driver clock value
    EXPECT_EQ(page.settings.glideVsyncOff, 0);
    EXPECT_EQ(page.settings.d3dVsyncOff, 0);
    EXPECT_TRUE(page.sink.messages.empty());
    EXPECT_EQ(CountCalls(page.reg, MemoryRegistry::kOpWrites), 0u);
    EXPECT_FALSE(page.reg.KeyExists(kProduct));
  }
}

TEST(LoadSettings, LimitsAreClampedAndWrittenBack) {
  const char* kNone = nullptr;
  struct Case {
    const char* lower;  // stored text, null: absent
    const char* upper;
    int32_t lowerLoaded;
    int32_t upperLoaded;
    const char* lowerWritten;  // null: not written
    const char* upperWritten;
  } cases[] = {
      {"90", "220", 100, 220, "100", kNone},
      {"150", "220", 140, 220, "140", kNone},
      {"120", "180", 120, 200, kNone, "200"},
      {"120", "250", 120, 240, kNone, "240"},
      {"120", "abc", 120, 200, kNone, "200"},
      {"abc", "abc", 100, 200, "100", "200"},
      {"-5", "99999", 100, 240, "100", "240"},
      {"100", "240", 100, 240, kNone, kNone},
      {"140", "200", 140, 200, kNone, kNone},
      {" 130 MHz", "\t210", 130, 210, kNone, kNone},
      {kNone, kNone, 120, 220, kNone, kNone},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.lower ? c.lower : "-") + " / " + (c.upper ? c.upper : "-"));
    Page page;  // 9x, no adapter: only the product key is involved
    page.reg.AddKey(kProduct);
    if (c.lower) page.reg.PutText(kProduct, "LowerLimit", c.lower);
    if (c.upper) page.reg.PutText(kProduct, "UpperLimit", c.upper);
    page.Load();
    EXPECT_EQ(page.settings.lowerLimit, c.lowerLoaded);
    EXPECT_EQ(page.settings.upperLimit, c.upperLoaded);
    std::vector<std::string> sets;
    for (const Call& call : page.reg.Calls())
      if (call.op == MemoryRegistry::kOpSet) {
        sets.push_back(call.value);
        EXPECT_EQ(call.path, kProduct);
      }
    std::vector<std::string> expectedSets;
    if (c.lowerWritten) {
      expectedSets.push_back("LowerLimit");
      ExpectSz(page.reg, kProduct, "LowerLimit", c.lowerWritten);
    }
    if (c.upperWritten) {
      expectedSets.push_back("UpperLimit");
      ExpectSz(page.reg, kProduct, "UpperLimit", c.upperWritten);
    }
    EXPECT_EQ(sets, expectedSets);
    EXPECT_EQ(CountCalls(page.reg, MemoryRegistry::kOpCreate | MemoryRegistry::kOpDeleteValue |
                                       MemoryRegistry::kOpDeleteKey),
              0u);
    EXPECT_TRUE(page.sink.messages.empty());
  }
}

TEST(LoadSettings, ClampWithReadOnlyProductKeyIsSilent) {
  Page page;
  page.reg.PutText(kProduct, "LowerLimit", "90");
  page.reg.MakeReadOnly(kProduct);
  page.Load();
  EXPECT_EQ(page.settings.lowerLimit, 100);
  EXPECT_EQ(page.reg.Text(kProduct, "LowerLimit"), "90");
  EXPECT_TRUE(page.sink.messages.empty());
}

TEST(LoadSettings, ModelDefaultClockAndEnableClock) {
  const std::string k79(79, 'm'), k80(80, 'n'), k255(255, 'o'), k256(256, 'p');
  struct Case {
    const char* name;
    std::string model;
    std::string expected;
  } cases[] = {
      {"ordinary", "Voodoo3 3500", "Voodoo3 3500"},
      {"79 characters", k79, k79},
      {"80 characters are cut", k80, std::string(79, 'n')},
      {"255 characters are cut", k255, std::string(79, 'o')},
      {"256 characters do not fit the buffer", k256, "Voodoo3 2000"},
      {"empty", "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Page page;
    page.reg.PutText(kProduct, "Model", c.model);
    page.reg.PutText(kProduct, "DefaultClock", "183");
    page.reg.PutText(kProduct, "EnableClock", "1");
    page.Load();
    EXPECT_EQ(std::string(page.settings.model), c.expected);
    EXPECT_EQ(page.settings.defaultClock, 183);
    EXPECT_EQ(page.settings.enableClock, 1);
  }
}

TEST(LoadSettings, ValuesTooLargeForTheBufferCountAsMissing) {
  Page page;
  page.reg.PutText(kProduct, "LowerLimit", "130" + std::string(252, ' '));  // 255: fits
  page.reg.PutText(kProduct, "UpperLimit", "230" + std::string(253, ' '));  // 256: does not
  page.reg.PutText(kProduct, "DefaultClock", "166" + std::string(300, ' '));
  page.reg.PutText(kProduct, "EnableClock", "1" + std::string(255, ' '));
  page.Load();
  EXPECT_EQ(page.settings.lowerLimit, 130);
  EXPECT_EQ(page.settings.upperLimit, 220);
  EXPECT_EQ(page.settings.defaultClock, 143);
  EXPECT_EQ(page.settings.enableClock, 0);
  EXPECT_EQ(CountCalls(page.reg, MemoryRegistry::kOpWrites), 0u);
}

// ---------------------------------------------------------------------------
// The driver's clock and switches.

TEST(LoadSettings, NoAdapterOn9xStartsFromTheStockClock) {
  struct Case {
    const char* defaultClock;
    int32_t current;
  } cases[] = {{"166", 166}, {nullptr, 143}, {"90", 120}, {"300", 220}};
  for (const Case& c : cases) {
    Page page;
    if (c.defaultClock) page.reg.PutText(kProduct, "DefaultClock", c.defaultClock);
    // A non-Voodoo3 board with values of its own is not consulted.
    page.reg.PutText(Adapter(0, ""), "DriverDesc", "S3 Trio64");
    page.reg.PutText(Default(0), "Grxclock", "50");
    page.reg.PutText(Glide(0), "FX_GLIDE_SWAPINTERVAL", "0");
    page.Load();
    EXPECT_EQ(page.settings.currentClock, c.current);
    EXPECT_EQ(page.settings.glideVsyncOff, 0);
    EXPECT_EQ(page.settings.d3dVsyncOff, 0);
    EXPECT_TRUE(page.sink.messages.empty());
    for (const Call& call : page.reg.Calls()) EXPECT_EQ(call.path, kProduct);
  }
}

TEST(LoadSettings, NineXClockAndSwitchesComeFromTheLastAdapter) {
  Page page;
  page.AddVoodoo(0);
  page.AddVoodoo(1);
  page.reg.PutText(Default(0), "Grxclock", "150");
  page.reg.PutText(Default(1), "Grxclock", " 175MHz");
  page.reg.PutText(Glide(0), "FX_GLIDE_SWAPINTERVAL", "0");
  page.reg.PutText(D3D(1), "SSTH3_SWAPINTERVAL", "7");  // content does not count
  page.Load();
  EXPECT_EQ(page.settings.currentClock, 175);
  EXPECT_EQ(page.settings.glideVsyncOff, 0);
  EXPECT_EQ(page.settings.d3dVsyncOff, 1);
  for (const Call& call : page.reg.Calls()) {
    EXPECT_EQ(call.path.find("\\0000"), std::string::npos) << call.path;
    if (call.op == MemoryRegistry::kOpOpen) EXPECT_EQ(call.access, kKeyQueryValue);
  }
  EXPECT_EQ(CountCalls(page.reg, MemoryRegistry::kOpWrites), 0u);
}

TEST(LoadSettings, NTClockIsTheFirstFourBytesWhateverTheType) {
  std::vector<unsigned char> big(256, 0), tooBig(257, 0);
  big[0] = 170;
  tooBig[0] = 170;
  struct Case {
    const char* name;
    uint32_t type;
    std::vector<unsigned char> data;
    int32_t clock;
  } cases[] = {
      {"REG_DWORD", kRegDword, {200, 0, 0, 0}, 200},
      {"REG_BINARY with more bytes", kRegBinary, {0xB4, 0, 0, 0, 9, 9}, 180},
      {"REG_SZ bytes", kRegSz, {0xA0, 0, 0, 0}, 160},
      {"256 bytes", kRegBinary, big, 170},
      {"257 bytes do not fit", kRegBinary, tooBig, 143},
      {"three bytes are unreadable", kRegBinary, {200, 0, 0}, 143},
      {"no data", kRegDword, {}, 143},
  };
  for (PlatformKind kind : {kPlatformNT4, kPlatformNT5}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(c.name);
      Page page;
      page.kind = kind;
      page.reg.PutRaw(kind == kPlatformNT4 ? kNT4Device0 : kNT5Device0, "GraphicsClocking",
                      c.type, c.data);
      page.Load();
      EXPECT_EQ(page.settings.currentClock, c.clock);
      EXPECT_TRUE(page.sink.messages.empty());
      EXPECT_EQ(CountCalls(page.reg, MemoryRegistry::kOpWrites), 0u);
    }
  }
}

TEST(LoadSettings, NTSwitchesComeFromTheGlideKeyOnly) {
  Page page;
  page.kind = kPlatformNT5;
  page.reg.PutText(kNTGlide, "FX_GLIDE_SWAPINTERVAL", "1");
  page.reg.PutText(kNT5Device0, "SSTH3_SWAPINTERVAL", "0");  // never read back
  page.settings.d3dVsyncOff = 0;
  page.Load();
  EXPECT_EQ(page.settings.glideVsyncOff, 1);
  EXPECT_EQ(page.settings.d3dVsyncOff, 0);
  for (const Call& call : page.reg.Calls())
    if (call.op == MemoryRegistry::kOpQuery) EXPECT_NE(call.value, "SSTH3_SWAPINTERVAL");
  // The next Apply rewrites the stored "1" as "0".
  EXPECT_TRUE(page.Apply());
  ExpectSz(page.reg, kNTGlide, "FX_GLIDE_SWAPINTERVAL", "0");
}

// ---------------------------------------------------------------------------
// The clock outside the limits: message and write-through.

TEST(LoadSettings, NT4ClockAboveTheLimitIsResetAndWrittenThrough) {
  // Device0 refusing writes: what a user without administrator rights meets.
  struct Case {
    int enable;
    bool refused;
  } cases[] = {{1, false}, {0, false}, {1, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.enable) + (c.refused ? " refused" : ""));
    Page page;
    page.kind = kPlatformNT4;
    page.reg.PutText(kProduct, "UpperLimit", "220");
    page.reg.PutText(kProduct, "EnableClock", c.enable ? "1" : "0");
    page.reg.PutDword(kNT4Device0, "GraphicsClocking", 250);
    if (c.refused) page.reg.MakeReadOnly(kNT4Device0);
    // The caller is told whether the reset clock was stored.
    EXPECT_EQ(page.Load(), !c.refused);
    ASSERT_EQ(page.sink.messages.size(), 1u);
    const RecordingMessageSink::Message& m = page.sink.messages[0];
    EXPECT_EQ(m.text, AboveMessage(250, 220));
    EXPECT_EQ(m.caption, "Tachy");
    EXPECT_EQ(m.owner, kOwner);
    EXPECT_EQ(m.type, kMbOk);
    // The record holds the limit either way, for a later Apply.
    EXPECT_EQ(page.settings.currentClock, 220);
    if (c.refused) {
      ExpectDword(page.reg, kNT4Device0, "GraphicsClocking", 250);
      continue;
    }
    if (c.enable)
      ExpectDword(page.reg, kNT4Device0, "GraphicsClocking", 220);
    else
      EXPECT_FALSE(page.reg.ValueExists(kNT4Device0, "GraphicsClocking"));
    EXPECT_FALSE(page.reg.ValueExists(kNTGlide, "FX_GLIDE_SWAPINTERVAL"));
    EXPECT_FALSE(page.reg.ValueExists(kNT4Device0, "SSTH3_SWAPINTERVAL"));
    EXPECT_EQ(page.settings.glideVsyncOff, 0);
    // The write-through leaves the product key alone and never touches NT 5's keys.
    EXPECT_EQ(page.reg.Text(kProduct, "EnableClock"), c.enable ? "1" : "0");
    for (const Call& call : page.reg.Calls()) {
      if (call.op & MemoryRegistry::kOpWrites) {
        EXPECT_NE(call.path, kProduct);
        EXPECT_EQ(call.path.find("3dfxvs"), std::string::npos);
      }
    }
  }
}

TEST(LoadSettings, ClockBelowTheLowerLimit) {
  Page page;
  page.AddVoodoo(0);
  page.reg.PutText(kProduct, "DefaultClock", "90");
  page.reg.PutText(kProduct, "LowerLimit", "120");
  page.reg.PutText(kProduct, "EnableClock", "1");
  page.Load();
  ASSERT_EQ(page.sink.messages.size(), 1u);
  EXPECT_EQ(page.sink.messages[0].text, BelowMessage(90, 120));
  EXPECT_EQ(page.sink.messages[0].caption, "Tachy");
  EXPECT_EQ(page.sink.messages[0].owner, kOwner);
  EXPECT_EQ(page.settings.currentClock, 120);
  ExpectSz(page.reg, Default(0), "Grxclock", "120");
  // Keys opened for deleting only are created too.
  EXPECT_TRUE(page.reg.KeyExists(Glide(0)));
  EXPECT_TRUE(page.reg.KeyExists(D3D(0)));
}

TEST(LoadSettings, ClampWriteThroughKeepsTheVsyncValues) {
  {  // NT 4: both values survive the write-through.
    Page page;
    page.kind = kPlatformNT4;
    page.reg.PutText(kProduct, "EnableClock", "1");
    page.reg.PutDword(kNT4Device0, "GraphicsClocking", 250);
    page.reg.PutText(kNTGlide, "FX_GLIDE_SWAPINTERVAL", "0");
    page.reg.PutText(kNT4Device0, "SSTH3_SWAPINTERVAL", "0");
    page.Load();
    EXPECT_EQ(page.sink.messages.size(), 1u);
    EXPECT_EQ(page.settings.glideVsyncOff, 1);
    ExpectDword(page.reg, kNT4Device0, "GraphicsClocking", 220);
    ExpectSz(page.reg, kNTGlide, "FX_GLIDE_SWAPINTERVAL", "0");
    ExpectSz(page.reg, kNT4Device0, "SSTH3_SWAPINTERVAL", "0");
  }
  {  // 9x: both switches of the adapter survive, the clock is written.
    Page page;
    page.AddVoodoo(2);
    page.reg.PutText(kProduct, "EnableClock", "1");
    page.reg.PutText(Default(2), "Grxclock", "95");
    page.reg.PutText(Glide(2), "FX_GLIDE_SWAPINTERVAL", "0");
    page.reg.PutText(D3D(2), "SSTH3_SWAPINTERVAL", "0");
    page.Load();
    EXPECT_EQ(page.sink.messages.size(), 1u);
    EXPECT_EQ(page.settings.glideVsyncOff, 1);
    EXPECT_EQ(page.settings.d3dVsyncOff, 1);
    ExpectSz(page.reg, Default(2), "Grxclock", "120");
    ExpectSz(page.reg, Glide(2), "FX_GLIDE_SWAPINTERVAL", "0");
    ExpectSz(page.reg, D3D(2), "SSTH3_SWAPINTERVAL", "0");
  }
}

TEST(LoadSettings, WriteThroughReachesEveryAdapter) {
  Page page;
  page.AddVoodoo(0);
  page.AddVoodoo(3);
  page.reg.PutText(kProduct, "EnableClock", "1");
  page.reg.PutText(Default(0), "Grxclock", "150");
  page.reg.PutText(Default(3), "Grxclock", "abc");  // parses as 0
  page.Load();
  ASSERT_EQ(page.sink.messages.size(), 1u);
  EXPECT_EQ(page.sink.messages[0].text, BelowMessage(0, 120));
  ExpectSz(page.reg, Default(0), "Grxclock", "120");
  ExpectSz(page.reg, Default(3), "Grxclock", "120");
}

// ---------------------------------------------------------------------------
// Apply.

TEST(ApplySettings, NineXWritesEveryAdapter) {
  Page page;
  page.AddVoodoo(0);
  page.AddVoodoo(2);
  page.reg.PutText(kProduct, "Model", "Voodoo3 3000");
  page.reg.PutText(Default(2), "Grxclock", "166");
  page.Load();
  page.settings.enableClock = 1;
  page.settings.currentClock = 250;  // above 220, whatever set it
  page.settings.glideVsyncOff = 1;
  page.settings.d3dVsyncOff = 0;
  page.reg.PutText(D3D(0), "SSTH3_SWAPINTERVAL", "0");
  EXPECT_TRUE(page.Apply());
  EXPECT_EQ(page.settings.currentClock, 220);
  ExpectSz(page.reg, kProduct, "EnableClock", "1");
  for (int n : {0, 2}) {
    ExpectSz(page.reg, Default(n), "Grxclock", "220");
    ExpectSz(page.reg, Glide(n), "FX_GLIDE_SWAPINTERVAL", "0");
    EXPECT_FALSE(page.reg.ValueExists(D3D(n), "SSTH3_SWAPINTERVAL"));
    EXPECT_TRUE(page.reg.KeyExists(D3D(n)));
  }
  EXPECT_FALSE(page.reg.KeyExists(Adapter(1, "")));
  // Keys are created with write access only.
  for (const Call& call : page.reg.Calls())
    if (call.op == MemoryRegistry::kOpCreate || call.op == MemoryRegistry::kOpOpen)
      EXPECT_EQ(call.access, kKeyCreateSubKey | kKeySetValue) << call.path;

  // Switching the adjustment off deletes the clock everywhere.
  page.settings.enableClock = 0;
  page.settings.glideVsyncOff = 0;
  page.settings.d3dVsyncOff = 1;
  EXPECT_TRUE(page.Apply());
  ExpectSz(page.reg, kProduct, "EnableClock", "0");
  for (int n : {0, 2}) {
    EXPECT_FALSE(page.reg.ValueExists(Default(n), "Grxclock"));
    EXPECT_FALSE(page.reg.ValueExists(Glide(n), "FX_GLIDE_SWAPINTERVAL"));
    ExpectSz(page.reg, D3D(n), "SSTH3_SWAPINTERVAL", "0");
  }
}

TEST(ApplySettings, NTLayout) {
  struct Case {
    PlatformKind kind;
    const char* device0;
    const char* other;
  } cases[] = {{kPlatformNT4, kNT4Device0, kNT5Device0},
               {kPlatformNT5, kNT5Device0, kNT4Device0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.kind);
    Page page;
    page.kind = c.kind;
    page.reg.AddKey(kProduct);
    page.Load();
    page.settings.enableClock = 1;
    page.settings.currentClock = 183;
    page.settings.glideVsyncOff = 1;
    page.settings.d3dVsyncOff = 1;  // has no place on NT
    EXPECT_TRUE(page.Apply());
    ExpectDword(page.reg, c.device0, "GraphicsClocking", 183);
    ExpectSz(page.reg, kNTGlide, "FX_GLIDE_SWAPINTERVAL", "0");
    ExpectSz(page.reg, c.device0, "SSTH3_SWAPINTERVAL", "0");
    EXPECT_FALSE(page.reg.KeyExists(c.other));
    EXPECT_FALSE(page.reg.KeyExists("HKLM\\System\\CurrentControlSet\\Services\\Class"));

    // The second swap interval follows the Glide switch, not Direct3D's.
    page.settings.glideVsyncOff = 0;
    page.settings.d3dVsyncOff = 1;
    page.settings.enableClock = 0;
    EXPECT_TRUE(page.Apply(2));
    EXPECT_FALSE(page.reg.ValueExists(c.device0, "SSTH3_SWAPINTERVAL"));
    EXPECT_FALSE(page.reg.ValueExists(kNTGlide, "FX_GLIDE_SWAPINTERVAL"));
    EXPECT_FALSE(page.reg.ValueExists(c.device0, "GraphicsClocking"));
    // Mode 2 leaves EnableClock as it was.
    ExpectSz(page.reg, kProduct, "EnableClock", "1");
  }
}

TEST(ApplySettings, MissingProductKeyIsNeverCreated) {
  Page page;
  page.AddVoodoo(0);
  page.Load();
  page.settings.enableClock = 1;
  EXPECT_TRUE(page.Apply());
  EXPECT_FALSE(page.reg.KeyExists(kProduct));
  ExpectSz(page.reg, Default(0), "Grxclock", "143");

  Page none;  // no adapter: nothing reaches the driver
  none.reg.AddKey(kProduct);
  none.Load();
  none.settings.enableClock = 1;
  EXPECT_TRUE(none.Apply());
  ExpectSz(none.reg, kProduct, "EnableClock", "1");
  EXPECT_EQ(CountCalls(none.reg, MemoryRegistry::kOpCreate), 0u);
  EXPECT_FALSE(none.reg.KeyExists(Adapter(0, "")));
}

TEST(ApplySettings, FailedWritesAreReportedAndTheOthersStillRun) {
  const unsigned kSet = MemoryRegistry::kOpSet;
  const unsigned kDel = MemoryRegistry::kOpDeleteValue;
  const unsigned kCreate = MemoryRegistry::kOpCreate;
  struct Case {
    const char* name;
    PlatformKind kind;
    std::string path;  // "" with readOnly: nothing fails
    bool readOnly;
    unsigned ops;
    bool ok;
  } cases[] = {
      {"nothing fails", kPlatform9x, "", false, 0, true},
      {"product key read-only", kPlatform9x, kProduct, true, 0, false},
      {"EnableClock set fails", kPlatform9x, kProduct, false, kSet, false},
      {"DEFAULT cannot be created", kPlatform9x, Default(0), false, kCreate, false},
      {"Grxclock delete fails", kPlatform9x, Default(0), false, kDel, false},
      {"Glide set fails", kPlatform9x, Glide(2), false, kSet, false},
      {"D3D read-only", kPlatform9x, D3D(2), true, 0, false},
      {"whole machine read-only", kPlatform9x, "HKLM", true, 0, false},
      {"NT Device0 read-only", kPlatformNT4, kNT4Device0, true, 0, false},
      {"NT Glide cannot be created", kPlatformNT5, kNTGlide, false, kCreate, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Page page;
    page.kind = c.kind;
    page.reg.PutText(kProduct, "EnableClock", "0");
    if (c.kind == kPlatform9x) {
      page.AddVoodoo(0);
      page.AddVoodoo(2);
    }
    page.Load();
    // Values to delete exist, so a delete really is attempted.
    for (int n : {0, 2}) page.reg.PutText(Default(n), "Grxclock", "150");
    page.reg.PutDword(kNT4Device0, "GraphicsClocking", 150);
    page.reg.PutDword(kNT5Device0, "GraphicsClocking", 150);
    page.settings.enableClock = 0;
    page.settings.currentClock = 180;
    page.settings.glideVsyncOff = 1;
    page.settings.d3dVsyncOff = 1;
    if (!c.path.empty()) {
      if (c.readOnly)
        page.reg.MakeReadOnly(c.path);
      else
        page.reg.FailKey(c.path, kErrorAccessDenied, c.ops);
    }
    EXPECT_EQ(page.Apply(), c.ok);
    // Every write outside the failing place has happened.
    auto untouched = [&](const std::string& p) {
      return c.path.empty() || !(p == c.path || (c.readOnly && p.rfind(c.path + "\\", 0) == 0));
    };
    if (untouched(kProduct)) ExpectSz(page.reg, kProduct, "EnableClock", "0");
    if (c.kind == kPlatform9x) {
      for (int n : {0, 2}) {
        if (untouched(Default(n))) EXPECT_FALSE(page.reg.ValueExists(Default(n), "Grxclock"));
        if (untouched(Glide(n))) ExpectSz(page.reg, Glide(n), "FX_GLIDE_SWAPINTERVAL", "0");
        if (untouched(D3D(n))) ExpectSz(page.reg, D3D(n), "SSTH3_SWAPINTERVAL", "0");
      }
    } else {
      const char* device0 = c.kind == kPlatformNT4 ? kNT4Device0 : kNT5Device0;
      if (untouched(device0)) {
        EXPECT_FALSE(page.reg.ValueExists(device0, "GraphicsClocking"));
        ExpectSz(page.reg, device0, "SSTH3_SWAPINTERVAL", "0");
      }
      if (untouched(kNTGlide)) ExpectSz(page.reg, kNTGlide, "FX_GLIDE_SWAPINTERVAL", "0");
    }
    // The attempts at the failing place were made.
    if (!c.path.empty() && c.path != "HKLM") {
      bool attempted = false;
      for (const Call& call : page.reg.Calls())
        if (call.path == c.path && call.result != kErrorSuccess) attempted = true;
      EXPECT_TRUE(attempted);
    }
  }
}

TEST(ApplySettings, FailedOpenOfTheProductKeyOtherThanMissingIsReported) {
  Page page;
  page.kind = kPlatformNT4;
  page.reg.AddKey(kProduct);
  page.Load();
  page.reg.FailKey(kProduct, kErrorAccessDenied, MemoryRegistry::kOpOpen);
  EXPECT_FALSE(page.Apply());
  page.reg.ClearFaults();
  EXPECT_TRUE(page.Apply());
}

TEST(ApplySettings, DeletingAbsentValuesIsSuccess) {
  Page page;
  page.kind = kPlatformNT5;
  page.Load();  // nothing stored anywhere, adjustment and switches off
  EXPECT_TRUE(page.Apply());
  EXPECT_EQ(CountCalls(page.reg, MemoryRegistry::kOpDeleteValue), 3u);
  EXPECT_TRUE(page.reg.KeyExists(kNT5Device0));
  EXPECT_TRUE(page.reg.KeyExists(kNTGlide));
}

// ---------------------------------------------------------------------------
// The limit writers.

TEST(WriteLimits, OnlyIntoAnExistingProductKey) {
  MemoryRegistry reg;
  WriteLowerLimit(reg, 100);
  WriteUpperLimit(reg, 240);
  EXPECT_FALSE(reg.KeyExists(kProduct));
  EXPECT_EQ(CountCalls(reg, MemoryRegistry::kOpCreate), 0u);

  reg.AddKey(kProduct);
  reg.ResetCalls();
  WriteLowerLimit(reg, 135);
  WriteUpperLimit(reg, -7);
  ExpectSz(reg, kProduct, "LowerLimit", "135");
  ExpectSz(reg, kProduct, "UpperLimit", "-7");
  for (const Call& call : reg.Calls())
    if (call.op == MemoryRegistry::kOpOpen) EXPECT_EQ(call.access, kKeyCreateSubKey | kKeySetValue);
  EXPECT_EQ(reg.OpenHandleCount(), 0u);
}

}  // namespace
}  // namespace tachy
