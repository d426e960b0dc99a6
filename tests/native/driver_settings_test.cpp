#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "settings/driver_settings.h"
#include "settings/platform.h"
#include "test_fakes.h"

namespace tachy {
namespace {

using namespace regtest;
using Call = MemoryRegistry::Call;

const WindowHandle kOwner = 0x5150;

std::string Default(int n) { return DisplayKey(n, "\\DEFAULT"); }
std::string Glide(int n) { return DisplayKey(n, "\\Glide"); }
std::string D3D(int n) { return DisplayKey(n, "\\D3D"); }
const char* Device0(PlatformKind kind) { return kind == kPlatformNT4 ? kNT4Device0 : kNT5Device0; }

// side "below the Lower" / "above the Upper".
std::string LimitMessage(const char* side, int clock, int limit) {
  const std::string word = std::string(side).substr(10);
  return "The Graphics Clock in presently set to " + std::to_string(clock) + " Mhz which is " +
         side + " Limit of " + std::to_string(limit) + " Mhz and will be reset to the " + word +
         " Limit now. You will need to restart Windows after exiting Display Properties.";
}

std::string Record(const DriverSettings& s) {
  return std::to_string(s.lowerLimit) + ".." + std::to_string(s.upperLimit) + " clock " +
         std::to_string(s.currentClock) + " stock " + std::to_string(s.defaultClock) +
         " enable " + std::to_string(s.enableClock) + " glide " +
         std::to_string(s.glideVsyncOff) + " d3d " + std::to_string(s.d3dVsyncOff);
}

struct Page {
  MemoryRegistry reg;
  RecordingMessageSink sink;
  // A block of its own: reading past the list's end is caught under ASan.
  std::unique_ptr<AdapterList> listBlock{new AdapterList};
  AdapterList& list = *listBlock;
  DriverSettings settings;
  PlatformKind kind;

  explicit Page(PlatformKind k = kPlatform9x) : kind(k) {
    ClearAdapterList(&list);
    settings.lowerLimit = settings.upperLimit = settings.currentClock =
        settings.defaultClock = 0x7777;
    for (char& c : settings.model) c = '#';
    settings.glideVsyncOff = settings.d3dVsyncOff = settings.enableClock = 0;
  }
  SettingsContext Context() { return SettingsContext{&reg, &sink, kOwner, kind, &list}; }
  void AddVoodoo(const std::vector<int>& ns) {
    for (int n : ns) reg.PutText(DisplayKey(n), "DriverDesc", "3Dfx Voodoo3 3000");
  }
  void Put(const char* name, const char* text) { reg.PutText(kProduct, name, text); }
  bool Load() {
    if (kind == kPlatform9x) BuildAdapterList(reg, &list);
    reg.ResetCalls();
    bool saved = LoadSettings(Context(), &settings);
    EXPECT_EQ(reg.OpenHandleCount(), 0u);
    return saved;
  }
  void Controls(int32_t enable, int32_t clock, int32_t glide, int32_t d3d) {
    settings.enableClock = enable;
    settings.currentClock = clock;
    settings.glideVsyncOff = glide;
    settings.d3dVsyncOff = d3d;
  }
  bool Apply(int mode = 1) {
    reg.ResetCalls();
    bool ok = ApplySettings(Context(), &settings, mode) == 0;
    EXPECT_EQ(reg.OpenHandleCount(), 0u);
    return ok;
  }
  void ExpectMessage(const std::string& text) {
    ASSERT_EQ(sink.messages.size(), 1u);
    const RecordingMessageSink::Message& m = sink.messages[0];
    EXPECT_EQ(m.text, text);
    EXPECT_EQ(m.caption, "Tachy");
    EXPECT_EQ(m.owner, kOwner);
    EXPECT_EQ(m.type, kMbOk);
  }
};

TEST(LoadSettings, EmptyRegistryGivesDefaultsAndWritesNothing) {
  for (PlatformKind kind : {kPlatform9x, kPlatformNT4, kPlatformNT5}) {
    Page page(kind);
    if (kind == kPlatform9x) page.AddVoodoo({0});
    EXPECT_TRUE(page.Load());  // nothing to write counts as saved
    EXPECT_EQ(Record(page.settings), "120..220 clock 143 stock 143 enable 0 glide 0 d3d 0");
    EXPECT_STREQ(page.settings.model, "Voodoo3 2000");
    EXPECT_TRUE(page.sink.messages.empty());
    EXPECT_EQ(CountCalls(page.reg, MemoryRegistry::kOpWrites), 0u);
    EXPECT_FALSE(page.reg.KeyExists(kProduct));
  }
}

// A driver clock exactly at a limit (after the clamp) is inside: no message, no write.
TEST(LoadSettings, LimitsAreClampedAndWrittenBack) {
  const char* kNone = nullptr;
  // Texts null when absent or not written; the driver's clock 0: 9x without an adapter.
  struct Case { const char *lower, *upper; int32_t lowerLoaded, upperLoaded;
                const char *lowerWritten, *upperWritten; int32_t clock; } cases[] = {
      {"90", "220", 100, 220, "100", kNone, 0},   {"150", "220", 140, 220, "140", kNone, 0},
      {"120", "180", 120, 200, kNone, "200", 0},  {"120", "250", 120, 240, kNone, "240", 0},
      {"120", "abc", 120, 200, kNone, "200", 0},  {"abc", "abc", 100, 200, "100", "200", 0},
      {"-5", "99999", 100, 240, "100", "240", 0}, {"100", "240", 100, 240, kNone, kNone, 0},
      {"140", "200", 140, 200, kNone, kNone, 0},  {kNone, kNone, 120, 220, kNone, kNone, 0},
      {" 130 MHz", "\t210", 130, 210, kNone, kNone, 0},
      {"\f135", "\r\v205", 135, 205, kNone, kNone, 0},  // the other white space
      {"120", "220", 120, 220, kNone, kNone, 120}, {"120", "220", 120, 220, kNone, kNone, 220},
      {kNone, kNone, 120, 220, kNone, kNone, 120}, {"100", "240", 100, 240, kNone, kNone, 100},
      {"100", "240", 100, 240, kNone, kNone, 240}, {"140", "200", 140, 200, kNone, kNone, 140},
      {"140", "200", 140, 200, kNone, kNone, 200}, {"90", "250", 100, 240, "100", "240", 100},
      {"150", "180", 140, 200, "140", "200", 200},
  };
  for (const Case& c : cases) {
    for (PlatformKind kind : {kPlatform9x, kPlatformNT4}) {
      if (!c.clock && kind != kPlatform9x) continue;
      SCOPED_TRACE(std::string(c.lower ? c.lower : "-") + " / " + (c.upper ? c.upper : "-") +
                   " clock " + std::to_string(c.clock) + " kind " + std::to_string(kind));
      Page page(kind);
      page.Put("EnableClock", "1");
      if (c.lower) page.Put("LowerLimit", c.lower);
      if (c.upper) page.Put("UpperLimit", c.upper);
      if (c.clock && kind == kPlatform9x) {
        page.AddVoodoo({0});
        page.reg.PutText(Default(0), "Grxclock", std::to_string(c.clock));
      } else if (c.clock) {
        page.reg.PutDword(kNT4Device0, "GraphicsClocking", static_cast<uint32_t>(c.clock));
      }
      page.Load();
      EXPECT_EQ(page.settings.lowerLimit, c.lowerLoaded);
      EXPECT_EQ(page.settings.upperLimit, c.upperLoaded);
      if (c.clock) EXPECT_EQ(page.settings.currentClock, c.clock);
      std::vector<std::string> writes, expected;
      for (const Call& call : CallsOf(page.reg, MemoryRegistry::kOpWrites))
        writes.push_back(call.path + " " + call.value);
      if (c.lowerWritten) expected.push_back(std::string(kProduct) + " LowerLimit");
      if (c.upperWritten) expected.push_back(std::string(kProduct) + " UpperLimit");
      EXPECT_EQ(writes, expected);
      ExpectValues(page.reg, {{kProduct, "LowerLimit", c.lowerWritten ? c.lowerWritten : c.lower},
                              {kProduct, "UpperLimit", c.upperWritten ? c.upperWritten : c.upper}});
      EXPECT_TRUE(page.sink.messages.empty());
    }
  }
}

TEST(LoadSettings, ClampWithReadOnlyProductKeyIsSilent) {
  Page page;
  page.Put("LowerLimit", "90");
  page.reg.MakeReadOnly(kProduct);
  page.Load();
  EXPECT_EQ(page.settings.lowerLimit, 100);
  EXPECT_EQ(page.reg.Text(kProduct, "LowerLimit"), "90");
  EXPECT_TRUE(page.sink.messages.empty());
}

TEST(LoadSettings, ModelDefaultClockAndEnableClock) {
  const std::string k79(79, 'm'), k80(80, 'n'), k255(255, 'o'), k256(256, 'p');
  struct Case { const char* name; std::string model, expected; } cases[] = {
      {"ordinary", "Voodoo3 3500", "Voodoo3 3500"}, {"79 characters", k79, k79}, {"empty", "", ""},
      {"80 characters are cut", k80, std::string(79, 'n')},
      {"255 characters are cut", k255, std::string(79, 'o')},
      {"256 characters do not fit the buffer", k256, "Voodoo3 2000"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Page page;
    PutValues(page.reg, {{kProduct, "Model", c.model.c_str()}, {kProduct, "DefaultClock", "183"},
                         {kProduct, "EnableClock", "1"}});
    page.Load();
    EXPECT_EQ(std::string(page.settings.model), c.expected);
    EXPECT_EQ(Record(page.settings), "120..220 clock 183 stock 183 enable 1 glide 0 d3d 0");
  }
}

TEST(LoadSettings, ValuesTooLargeForTheBufferCountAsMissing) {
  Page page;
  page.reg.PutText(kProduct, "LowerLimit", "130" + std::string(252, ' '));  // 255: fits
  page.reg.PutText(kProduct, "UpperLimit", "230" + std::string(253, ' '));  // 256: does not
  page.reg.PutText(kProduct, "DefaultClock", "166" + std::string(300, ' '));
  page.reg.PutText(kProduct, "EnableClock", "1" + std::string(255, ' '));
  page.Load();
  EXPECT_EQ(Record(page.settings), "130..220 clock 143 stock 143 enable 0 glide 0 d3d 0");
  EXPECT_EQ(CountCalls(page.reg, MemoryRegistry::kOpWrites), 0u);
}

TEST(LoadSettings, NoAdapterOn9xStartsFromTheStockClock) {
  struct Case { const char* defaultClock; int32_t current; } cases[] = {
      {"166", 166}, {nullptr, 143}, {"90", 120}, {"300", 220}};
  for (const Case& c : cases) {
    Page page;
    if (c.defaultClock) page.Put("DefaultClock", c.defaultClock);
    // A non-Voodoo3 board is not consulted; the switches start off.
    PutValues(page.reg, {{DisplayKey(0), "DriverDesc", "S3 Trio64"}, {Default(0), "Grxclock", "50"},
                         {Glide(0), "FX_GLIDE_SWAPINTERVAL", "0"}, {D3D(0), "SSTH3_SWAPINTERVAL", "0"}});
    page.settings.glideVsyncOff = page.settings.d3dVsyncOff = 1;
    EXPECT_TRUE(page.Load());  // nothing had to be written: saved
    EXPECT_EQ(Record(page.settings), "120..220 clock " + std::to_string(c.current) + " stock " +
                                         (c.defaultClock ? c.defaultClock : "143") +
                                         " enable 0 glide 0 d3d 0");
    EXPECT_TRUE(page.sink.messages.empty());
    for (const Call& call : page.reg.Calls()) EXPECT_EQ(call.path, kProduct);
  }
}

TEST(LoadSettings, NineXClockAndSwitchesComeFromTheLastAdapter) {
  Page page;
  page.AddVoodoo({0, 1});
  PutValues(page.reg, {{Default(0), "Grxclock", "150"}, {Default(1), "Grxclock", " 175MHz"},
                       {Glide(0), "FX_GLIDE_SWAPINTERVAL", "0"},
                       {D3D(1), "SSTH3_SWAPINTERVAL", "7"}});  // content does not count
  page.Load();
  EXPECT_EQ(Record(page.settings), "120..220 clock 175 stock 143 enable 0 glide 0 d3d 1");
  for (const Call& call : page.reg.Calls()) {
    EXPECT_EQ(call.path.find("\\0000"), std::string::npos) << call.path;
    if (call.op == MemoryRegistry::kOpOpen) EXPECT_EQ(call.access, kKeyQueryValue);
  }
  EXPECT_EQ(CountCalls(page.reg, MemoryRegistry::kOpWrites), 0u);
}

TEST(LoadSettings, NTClockIsTheFirstFourBytesWhateverTheType) {
  std::vector<unsigned char> big(256, 0), tooBig(257, 0);
  big[0] = tooBig[0] = 170;
  struct Case { const char* name; uint32_t type; std::vector<unsigned char> data; int32_t clock; }
  cases[] = {
      {"REG_DWORD", kRegDword, {200, 0, 0, 0}, 200}, {"REG_SZ bytes", kRegSz, {0xA0, 0, 0, 0}, 160},
      {"REG_BINARY with more bytes", kRegBinary, {0xB4, 0, 0, 0, 9, 9}, 180},
      {"256 bytes", kRegBinary, big, 170}, {"257 bytes do not fit", kRegBinary, tooBig, 143},
      {"three bytes are unreadable", kRegBinary, {200, 0, 0}, 143},
      {"no data", kRegDword, {}, 143}};
  for (PlatformKind kind : {kPlatformNT4, kPlatformNT5}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(c.name);
      Page page(kind);
      page.reg.PutRaw(Device0(kind), "GraphicsClocking", c.type, c.data);
      page.Load();
      EXPECT_EQ(page.settings.currentClock, c.clock);
      EXPECT_TRUE(page.sink.messages.empty());
      EXPECT_EQ(CountCalls(page.reg, MemoryRegistry::kOpWrites), 0u);
    }
  }
}

TEST(LoadSettings, NTSwitchesComeFromTheGlideKeyOnly) {
  for (PlatformKind kind : {kPlatformNT4, kPlatformNT5}) {
    Page page(kind);
    page.reg.PutText(kNTGlide, "FX_GLIDE_SWAPINTERVAL", "1");
    // Direct3D has no value on NT: none of these is read.
    page.reg.PutText(Device0(kind), "SSTH3_SWAPINTERVAL", "0");
    page.AddVoodoo({0});
    page.reg.PutText(D3D(0), "SSTH3_SWAPINTERVAL", "0");
    page.settings.d3dVsyncOff = 1;
    page.Load();
    EXPECT_EQ(Record(page.settings), "120..220 clock 143 stock 143 enable 0 glide 1 d3d 0");
    for (const Call& call : page.reg.Calls()) {
      EXPECT_NE(call.value, "SSTH3_SWAPINTERVAL");
      EXPECT_EQ(call.path.find("Class"), std::string::npos) << call.path;
    }
    // The next Apply rewrites the stored "1" as "0".
    EXPECT_TRUE(page.Apply());
    ExpectSz(page.reg, kNTGlide, "FX_GLIDE_SWAPINTERVAL", "0");
  }
}

TEST(LoadSettings, NT4ClockAboveTheLimitIsResetAndWrittenThrough) {
  // A key refusing writes: what a user without administrator rights meets.
  // Only a clock that was not stored is reported; the Glide switch, on here,
  // is only rewritten as it was loaded.
  const char* kNone = nullptr;
  struct Case { const char* enable; const char* refused; } cases[] = {
      {"1", kNone}, {"0", kNone}, {"1", kNT4Device0}, {"1", kNTGlide}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.enable) + " refused " + (c.refused ? c.refused : "-"));
    const bool glide = c.refused == kNTGlide;
    Page page(kPlatformNT4);
    PutValues(page.reg, {{kProduct, "UpperLimit", "220"}, {kProduct, "EnableClock", c.enable}});
    page.reg.PutDword(kNT4Device0, "GraphicsClocking", 250);
    if (glide) page.reg.PutText(kNTGlide, "FX_GLIDE_SWAPINTERVAL", "1");
    if (c.refused) page.reg.MakeReadOnly(c.refused);
    EXPECT_EQ(page.Load(), c.refused != kNT4Device0);
    page.ExpectMessage(LimitMessage("above the Upper", 250, 220));
    EXPECT_EQ(page.settings.currentClock, 220);
    if (c.refused == kNT4Device0) {
      ExpectDword(page.reg, kNT4Device0, "GraphicsClocking", 250);
      continue;
    }
    if (*c.enable == '1')
      ExpectDword(page.reg, kNT4Device0, "GraphicsClocking", 220);
    else
      EXPECT_FALSE(page.reg.ValueExists(kNT4Device0, "GraphicsClocking"));
    // The write-through leaves the product key and NT 5's keys alone.
    ExpectValues(page.reg, {{kNTGlide, "FX_GLIDE_SWAPINTERVAL", glide ? "1" : nullptr},
                            {kNT4Device0, "SSTH3_SWAPINTERVAL", glide ? "0" : nullptr},
                            {kProduct, "EnableClock", c.enable}});
    EXPECT_EQ(page.settings.glideVsyncOff, glide ? 1 : 0);
    for (const Call& call : CallsOf(page.reg, MemoryRegistry::kOpWrites)) {
      EXPECT_NE(call.path, kProduct);
      EXPECT_EQ(call.path.find("3dfxvs"), std::string::npos);
      // The refused rewrite was tried.
      if (glide && call.path == kNTGlide) EXPECT_NE(call.result, kErrorSuccess);
    }
  }
}

TEST(LoadSettings, ClockBelowTheLowerLimit) {
  Page page;
  page.AddVoodoo({0});
  PutValues(page.reg, {{kProduct, "DefaultClock", "90"}, {kProduct, "LowerLimit", "120"},
                       {kProduct, "EnableClock", "1"}});
  page.Load();
  page.ExpectMessage(LimitMessage("below the Lower", 90, 120));
  EXPECT_EQ(page.settings.currentClock, 120);
  ExpectSz(page.reg, Default(0), "Grxclock", "120");
  // Keys opened for deleting only are created too.
  EXPECT_TRUE(page.reg.KeyExists(Glide(0)));
  EXPECT_TRUE(page.reg.KeyExists(D3D(0)));
}

TEST(LoadSettings, ClampWriteThroughKeepsTheVsyncValues) {
  for (PlatformKind kind : {kPlatformNT4, kPlatform9x}) {
    const bool nt = kind == kPlatformNT4;
    const std::string glide = nt ? kNTGlide : Glide(2), swap = nt ? kNT4Device0 : D3D(2);
    Page page(kind);
    page.AddVoodoo({2});
    PutValues(page.reg, {{kProduct, "EnableClock", "1"},
                         {glide, "FX_GLIDE_SWAPINTERVAL", "0"},
                         {swap, "SSTH3_SWAPINTERVAL", "0"}});
    if (nt)
      page.reg.PutDword(kNT4Device0, "GraphicsClocking", 250);
    else
      page.reg.PutText(Default(2), "Grxclock", "95");
    page.Load();
    EXPECT_EQ(page.sink.messages.size(), 1u);
    EXPECT_EQ(Record(page.settings), nt ? "120..220 clock 220 stock 143 enable 1 glide 1 d3d 0"
                                        : "120..220 clock 120 stock 143 enable 1 glide 1 d3d 1");
    if (nt)
      ExpectDword(page.reg, kNT4Device0, "GraphicsClocking", 220);
    else
      ExpectSz(page.reg, Default(2), "Grxclock", "120");
    ExpectValues(page.reg, {{glide, "FX_GLIDE_SWAPINTERVAL", "0"}, {swap, "SSTH3_SWAPINTERVAL", "0"}});
  }
}

TEST(LoadSettings, WriteThroughReachesEveryAdapter) {
  Page page;
  page.AddVoodoo({0, 3});
  PutValues(page.reg, {{kProduct, "EnableClock", "1"}, {Default(0), "Grxclock", "150"},
                       {Default(3), "Grxclock", "abc"}});  // parses as 0
  page.Load();
  page.ExpectMessage(LimitMessage("below the Lower", 0, 120));
  ExpectValues(page.reg, {{Default(0), "Grxclock", "120"}, {Default(3), "Grxclock", "120"}});
}

TEST(ApplySettings, NineXWritesEveryAdapter) {
  // Two boards, and sixteen: a full list, with no free slot to end it.
  std::vector<int> two = {0, 2}, full;
  for (int n = 0; n < kMaxAdapters; ++n) full.push_back(n);
  for (const std::vector<int>& boards : {two, full}) {
    SCOPED_TRACE(boards.size());
    Page page;
    page.AddVoodoo(boards);
    page.Put("Model", "Voodoo3 3000");
    page.reg.PutText(Default(boards.back()), "Grxclock", "166");
    page.Load();
    EXPECT_EQ(page.settings.currentClock, 166);
    page.Controls(1, 250, 1, 0);  // clock above 220, whatever set it
    page.reg.PutText(D3D(0), "SSTH3_SWAPINTERVAL", "0");
    EXPECT_TRUE(page.Apply());
    EXPECT_EQ(page.settings.currentClock, 220);
    ExpectSz(page.reg, kProduct, "EnableClock", "1");
    for (int n : boards) {
      ExpectValues(page.reg, {{Default(n), "Grxclock", "220"},
                              {Glide(n), "FX_GLIDE_SWAPINTERVAL", "0"},
                              {D3D(n), "SSTH3_SWAPINTERVAL", nullptr}});
      EXPECT_TRUE(page.reg.KeyExists(D3D(n)));
    }
    EXPECT_EQ(CountCalls(page.reg, MemoryRegistry::kOpCreate), 3 * boards.size());
    EXPECT_EQ(page.reg.KeyExists(DisplayKey(1)), boards.size() == 16);
    for (const Call& call : CallsOf(page.reg, MemoryRegistry::kOpCreate | MemoryRegistry::kOpOpen))
      EXPECT_EQ(call.access, kKeyCreateSubKey | kKeySetValue) << call.path;

    // Switching the adjustment off deletes the clock everywhere.
    page.Controls(0, 220, 0, 1);
    EXPECT_TRUE(page.Apply());
    ExpectSz(page.reg, kProduct, "EnableClock", "0");
    for (int n : boards)
      ExpectValues(page.reg, {{Default(n), "Grxclock", nullptr},
                              {Glide(n), "FX_GLIDE_SWAPINTERVAL", nullptr},
                              {D3D(n), "SSTH3_SWAPINTERVAL", "0"}});
  }
}

TEST(ApplySettings, NTLayout) {
  for (PlatformKind kind : {kPlatformNT4, kPlatformNT5}) {
    SCOPED_TRACE(kind);
    const char* device0 = Device0(kind);
    Page page(kind);
    page.reg.AddKey(kProduct);
    page.Load();
    page.Controls(1, 183, 1, 1);  // Direct3D has no place on NT
    EXPECT_TRUE(page.Apply());
    ExpectDword(page.reg, device0, "GraphicsClocking", 183);
    ExpectValues(page.reg, {{kNTGlide, "FX_GLIDE_SWAPINTERVAL", "0"},
                            {device0, "SSTH3_SWAPINTERVAL", "0"}});
    EXPECT_FALSE(page.reg.KeyExists(Device0(kind == kPlatformNT4 ? kPlatformNT5 : kPlatformNT4)));
    EXPECT_FALSE(page.reg.KeyExists("HKLM\\System\\CurrentControlSet\\Services\\Class"));

    // The second swap interval follows the Glide switch, not Direct3D's.
    page.Controls(0, 183, 0, 1);
    EXPECT_TRUE(page.Apply(2));
    // Mode 2 leaves EnableClock as it was.
    ExpectValues(page.reg, {{device0, "SSTH3_SWAPINTERVAL", nullptr},
                            {kNTGlide, "FX_GLIDE_SWAPINTERVAL", nullptr},
                            {device0, "GraphicsClocking", nullptr},
                            {kProduct, "EnableClock", "1"}});
  }
}

TEST(ApplySettings, MissingProductKeyIsNeverCreated) {
  Page page;
  page.AddVoodoo({0});
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
  EXPECT_FALSE(none.reg.KeyExists(DisplayKey(0)));
}

TEST(ApplySettings, FailedWritesAreReportedAndTheOthersStillRun) {
  const unsigned kSet = MemoryRegistry::kOpSet, kDel = MemoryRegistry::kOpDeleteValue,
                 kCreate = MemoryRegistry::kOpCreate;
  struct Case { const char* name; PlatformKind kind; std::string path; bool readOnly;
                unsigned ops; bool ok; } cases[] = {
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
    Page page(c.kind);
    page.Put("EnableClock", "0");
    if (c.kind == kPlatform9x) page.AddVoodoo({0, 2});
    page.Load();
    for (int n : {0, 2}) page.reg.PutText(Default(n), "Grxclock", "150");
    page.reg.PutDword(kNT4Device0, "GraphicsClocking", 150);
    page.reg.PutDword(kNT5Device0, "GraphicsClocking", 150);
    page.Controls(0, 180, 1, 1);
    if (c.readOnly && !c.path.empty())
      page.reg.MakeReadOnly(c.path);
    else if (!c.path.empty())
      page.reg.FailKey(c.path, kErrorAccessDenied, c.ops);
    EXPECT_EQ(page.Apply(), c.ok);
    auto untouched = [&](const std::string& p) {
      return c.path.empty() || !(p == c.path || (c.readOnly && p.rfind(c.path + "\\", 0) == 0));
    };
    if (untouched(kProduct)) ExpectSz(page.reg, kProduct, "EnableClock", "0");
    // The clock deleted (adjustment off), both switches written as "0".
    for (const fault::ValueRef& v : fault::DriverValues(c.kind, page.list, false)) {
      const std::string name = v.second;
      const bool clock = name == "Grxclock" || name == "GraphicsClocking";
      if (untouched(v.first)) ExpectValues(page.reg, {{v.first, v.second, clock ? nullptr : "0"}});
    }
    if (!c.path.empty() && c.path != "HKLM") {
      bool attempted = false;
      for (const Call& call : page.reg.Calls())
        attempted = attempted || (call.path == c.path && call.result != kErrorSuccess);
      EXPECT_TRUE(attempted);
    }
  }
}

TEST(ApplySettings, FailedOpenOfTheProductKeyOtherThanMissingIsReported) {
  Page page(kPlatformNT4);
  page.reg.AddKey(kProduct);
  page.Load();
  page.reg.FailKey(kProduct, kErrorAccessDenied, MemoryRegistry::kOpOpen);
  EXPECT_FALSE(page.Apply());
  page.reg.ClearFaults();
  EXPECT_TRUE(page.Apply());
}

TEST(ApplySettings, DeletingAbsentValuesIsSuccess) {
  Page page(kPlatformNT5);
  page.Load();  // nothing stored anywhere, adjustment and switches off
  EXPECT_TRUE(page.Apply());
  EXPECT_EQ(CountCalls(page.reg, MemoryRegistry::kOpDeleteValue), 3u);
  EXPECT_TRUE(page.reg.KeyExists(kNT5Device0));
  EXPECT_TRUE(page.reg.KeyExists(kNTGlide));
}

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
  for (const Call& call : CallsOf(reg, MemoryRegistry::kOpOpen))
    EXPECT_EQ(call.access, kKeyCreateSubKey | kKeySetValue);
  EXPECT_EQ(reg.OpenHandleCount(), 0u);
}

}  // namespace
}  // namespace tachy
