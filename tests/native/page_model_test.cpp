// The settings page's reactions, driven through a recording view with the
// real settings core on an in-memory registry.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "native/test_fakes.h"
#include "page/page_model.h"

namespace tachy {
namespace {

using regtest::kProduct;
const std::string kClass0 = regtest::DisplayKey(0);

// The six controls usable only while clock adjustment is enabled.
const int kClockControls[] = {kIdClockTrackbar,   kIdClockLabel,      kIdMhzLabel,
                              kIdLowerLimitLabel, kIdUpperLimitLabel, kIdRestartNote};

using Boxes = std::vector<std::pair<std::string, std::string>>;

class FakeView : public PageView {
 public:
  std::map<int, int32_t> checks;
  std::map<int, bool> enabled;
  std::map<int, std::string> texts;
  std::vector<std::string> events;  // texts set, layout, version line, in order
  std::vector<bool> sheet;          // true PSM_CHANGED, false PSM_UNCHANGED
  Boxes boxes;  // text, caption
  std::vector<int32_t> loaded;      // string ids loaded, in order
  std::set<int> cursorOver;
  const ControlLayoutRow* layout = nullptr;
  int32_t rangeMin = 0, rangeMax = 100, pos = 0, ticks = 1;
  int refreshRuns = 0;

  intptr_t SendTrackbar(uint32_t message, uintptr_t wParam, intptr_t lParam) override {
    const int32_t v = static_cast<int32_t>(lParam);
    if (message == kTbmGetPos) return pos;
    if (message == kTbmClearTics) ticks = 0;
    if (message == kTbmSetTicFreq) ticks = static_cast<int32_t>(wParam);
    if (message == kTbmSetPos) pos = v;
    if (message == kTbmSetRangeMin) rangeMin = v;
    if (message == kTbmSetRangeMax) rangeMax = v;
    // The control keeps its thumb inside its range.
    pos = pos < rangeMin ? rangeMin : pos > rangeMax ? rangeMax : pos;
    return 0;
  }
  int32_t GetCheck(int id) override { return checks[id]; }
  void SetCheck(int id, int32_t state) override { checks[id] = state; }
  void Enable(int id, bool on) override { enabled[id] = on; }
  void SetUnsigned(int id, uint32_t v) override { texts[id] = std::to_string(v); }
  void SetSigned(int id, int32_t v) override { texts[id] = std::to_string(v); }
  void SetText(int id, const char* text) override {
    texts[id] = text;
    events.push_back("text " + std::to_string(id));
  }
  void NotifySheet(bool modified) override { sheet.push_back(modified); }
  int LoadText(int32_t id, char* buffer, int size) override {
    loaded.push_back(id);
    return snprintf(buffer, size, "S%d", static_cast<int>(id));
  }
  void MoveControls(const ControlLayoutRow* table, int rows) override {
    EXPECT_EQ(rows, kPageLayoutRows);
    layout = table;
    events.push_back("layout");
  }
  void SetVersionLine(const char* prefix, const char* suffix) override {
    texts[kIdVersionLine] = std::string(prefix) + "3.2" + suffix;
    events.push_back("version");
  }
  bool CursorOver(int id) override { return cursorOver.count(id) != 0; }
  void ShowMessage(const char* text, const char* caption, uint32_t) override {
    boxes.emplace_back(text, caption);
  }
  void RunRefreshRates() override { ++refreshRuns; }
  WindowHandle Owner() override { return 0x1234; }

  // The clock controls at a glance: the trackbar's range, thumb and tick
  // spacing, the three numbers, box 1009, and which of kClockControls are
  // enabled.
  std::string Clock() {
    std::string on;
    for (int id : kClockControls) on += enabled[id] ? '1' : '0';
    return std::to_string(rangeMin) + ".." + std::to_string(rangeMax) + " at " +
           std::to_string(pos) + " ticks " + std::to_string(ticks) + " shows " +
           texts[kIdClockLabel] + " limits " + texts[kIdLowerLimitLabel] + "/" +
           texts[kIdUpperLimitLabel] + " box " + std::to_string(checks[kIdEnableClock]) +
           " enabled " + on;
  }
};

struct Page {
  MemoryRegistry reg;
  FakeSystemInfo sys = FakeSystemInfo::Windows98();
  RecordingMessageSink sink;
  FakeView view;
  PageModel model{&view, PageServices{&reg, &sys, &sink}};

  Page() {
    regtest::PutValues(reg, {{kProduct, "LowerLimit", "120"}, {kProduct, "UpperLimit", "220"},
                             {kProduct, "DefaultClock", "166"}, {kProduct, "Model", "Voodoo3 3000"},
                             {kProduct, "EnableClock", "1"},
                             {kClass0, "DriverDesc", "3dfx Voodoo3 3000"},
                             {kClass0 + "\\DEFAULT", "Grxclock", "180"}});
  }
};

TEST(PageModel, InitFillsTheControlsFromTheRegistry) {
  Page p;
  p.model.OnInitDialog();
  EXPECT_EQ(p.model.platformKind, kPlatform9x);
  EXPECT_EQ(p.view.Clock(), "120..220 at 180 ticks 2 shows 180 limits 120/220 box 1 enabled 111111");
  EXPECT_EQ(p.view.texts[kIdModelLabel], "Voodoo3 3000");
  EXPECT_TRUE(p.view.enabled[kIdD3DVsync]);
  EXPECT_EQ(p.view.enabled.count(kIdRefreshRates), 0u);  // left as created
  EXPECT_TRUE(p.view.sheet.empty());
  EXPECT_EQ(p.view.layout, kPageLayoutEnglish);
}

TEST(PageModel, NtDisablesDirect3DAndRefreshRates) {
  for (uint32_t major : {4u, 5u}) {
    Page p;
    p.sys = FakeSystemInfo::NT(major);
    p.reg.PutText(regtest::kNTGlide, "FX_GLIDE_SWAPINTERVAL", "0");
    p.model.OnInitDialog();
    EXPECT_EQ(p.model.platformKind, major == 4 ? kPlatformNT4 : kPlatformNT5);
    EXPECT_EQ(p.view.checks[kIdD3DVsync], 0);
    EXPECT_FALSE(p.view.enabled[kIdD3DVsync]);
    EXPECT_FALSE(p.view.enabled[kIdRefreshRates]);
    EXPECT_EQ(p.view.checks[kIdGlideVsync], 1);
    // Factory Defaults still unchecks 1007.
    p.view.checks[kIdD3DVsync] = 1;
    p.model.OnFactoryDefaults();
    EXPECT_EQ(p.view.checks[kIdD3DVsync], 0);
  }
}

TEST(PageModel, NoAdapterStartsFromTheStockClock) {
  Page p;
  p.reg.RemoveKeyTree(kClass0);
  p.model.OnInitDialog();
  EXPECT_EQ(p.model.settings.currentClock, 166);
  EXPECT_EQ(p.view.texts[kIdClockLabel], "166");
}

TEST(PageModel, TrackbarChangesMarkModifiedOnce) {
  // A notification that leaves the thumb where it was counts as a change,
  // on a page that nothing has modified yet.
  Page p;
  p.model.OnInitDialog();
  p.view.texts[kIdClockLabel] = "";
  p.model.OnHScroll(true);
  EXPECT_EQ(p.model.settings.currentClock, 180);
  EXPECT_EQ(p.view.texts[kIdClockLabel], "180");
  EXPECT_EQ(p.view.sheet, (std::vector<bool>{true}));
  // Later changes send nothing more.
  p.view.pos = 200;
  p.model.OnHScroll(true);
  EXPECT_EQ(p.model.settings.currentClock, 200);
  EXPECT_EQ(p.view.texts[kIdClockLabel], "200");
  p.model.OnGlideVsync();
  EXPECT_EQ(p.view.sheet, (std::vector<bool>{true}));
  // Another scroll bar's notification only refreshes the label.
  Page q;
  q.model.OnInitDialog();
  q.view.pos = 150;
  q.view.texts[kIdClockLabel] = "";
  q.model.OnHScroll(false);
  EXPECT_EQ(q.model.settings.currentClock, 180);
  EXPECT_EQ(q.view.texts[kIdClockLabel], "180");
  EXPECT_TRUE(q.view.sheet.empty());
}

TEST(PageModel, VsyncBoxesToggle) {
  Page p;
  p.model.OnInitDialog();
  p.model.OnGlideVsync();
  p.model.OnD3DVsync();
  EXPECT_EQ(p.model.settings.glideVsyncOff, 1);
  EXPECT_EQ(p.model.settings.d3dVsyncOff, 1);
  EXPECT_EQ(p.view.checks[kIdGlideVsync], 1);
  p.model.OnGlideVsync();
  EXPECT_EQ(p.model.settings.glideVsyncOff, 0);
  EXPECT_EQ(p.view.checks[kIdGlideVsync], 0);
}

TEST(PageModel, ClockAdjustmentOffReturnsToTheStockClock) {
  Page p;
  p.model.OnInitDialog();
  p.model.OnEnableClock();  // checked -> off
  EXPECT_EQ(p.model.settings.enableClock, 0);
  EXPECT_EQ(p.model.settings.currentClock, 166);
  EXPECT_EQ(p.view.Clock(), "120..220 at 166 ticks 2 shows 166 limits 120/220 box 0 enabled 000000");
  p.model.OnEnableClock();  // on again: the clock stays
  EXPECT_EQ(p.model.settings.enableClock, 1);
  EXPECT_EQ(p.model.settings.currentClock, 166);
  EXPECT_EQ(p.view.Clock(), "120..220 at 166 ticks 2 shows 166 limits 120/220 box 1 enabled 111111");
  EXPECT_EQ(p.view.sheet, (std::vector<bool>{true}));
}

TEST(PageModel, FactoryDefaultsMarkModifiedEvenWithNothingToChange) {
  Page p;
  p.reg.PutText(kProduct, "EnableClock", "0");
  p.reg.RemoveKeyTree(kClass0 + "\\DEFAULT");
  p.model.OnInitDialog();
  EXPECT_EQ(p.model.settings.currentClock, 166);
  p.view.ticks = 7;
  p.model.OnFactoryDefaults();
  EXPECT_EQ(p.view.sheet, (std::vector<bool>{true}));
  // The clock controls are filled again; the limits are untouched.
  EXPECT_EQ(p.view.Clock(), "120..220 at 166 ticks 2 shows 166 limits 120/220 box 0 enabled 000000");
  EXPECT_EQ(p.model.settings.lowerLimit, 120);
}

TEST(PageModel, ApplyWritesAndClearsModified) {
  Page p;
  p.model.OnInitDialog();
  p.view.pos = 210;
  p.model.OnHScroll(true);
  p.model.OnGlideVsync();
  EXPECT_TRUE(p.model.OnApply());
  regtest::ExpectValues(p.reg, {{kClass0 + "\\DEFAULT", "Grxclock", "210"},
                               {kClass0 + "\\Glide", "FX_GLIDE_SWAPINTERVAL", "0"},
                               {kProduct, "EnableClock", "1"}});
  EXPECT_EQ(p.view.sheet, (std::vector<bool>{true, false}));
  EXPECT_EQ(p.model.modifiedSent, 0);
  // Apply and Cancel say "unchanged" even when nothing changed.
  EXPECT_TRUE(p.model.OnApply());
  p.model.OnCancel();
  EXPECT_EQ(p.view.sheet, (std::vector<bool>{true, false, false, false}));
  EXPECT_TRUE(p.view.boxes.empty());
}

TEST(PageModel, FailedApplyIsReportedAndKeepsThePageModified) {
  struct Case {
    uint16_t lang;
    int32_t messageId;
    bool changedFirst;
  } cases[] = {{0x0409, 118, true}, {0x040C, 119, false}, {0x0407, 120, true}};
  const std::string kDefault0 = std::string(kClass0) + "\\DEFAULT";
  for (const Case& c : cases) {
    // Loading a clock above the limit: the limit message, then the same
    // words when its reset cannot be stored; nothing more when it can.
    for (bool refused : {false, true}) {
      Page q;
      q.sys.languageId = c.lang;
      q.reg.PutText(kDefault0, "Grxclock", "250");
      if (refused) q.reg.MakeReadOnly(kDefault0);
      q.model.OnInitDialog();
      EXPECT_EQ(q.sink.messages.size(), 1u);
      const std::vector<std::pair<std::string, std::string>> notSaved = {
          {"S" + std::to_string(c.messageId), "Tachymark"}};
      EXPECT_EQ(q.view.boxes, refused ? notSaved : decltype(notSaved){});
      EXPECT_EQ(q.reg.Text(kDefault0, "Grxclock"), refused ? "250" : "220");
      EXPECT_EQ(q.model.settings.currentClock, 220);
    }
    Page p;
    p.sys.languageId = c.lang;
    p.model.OnInitDialog();
    if (c.changedFirst) p.model.OnGlideVsync();
    p.reg.MakeReadOnly("HKLM\\System\\CurrentControlSet\\Services\\Class\\Display");
    EXPECT_FALSE(p.model.OnApply());
    EXPECT_EQ(p.view.boxes, (Boxes{{"S" + std::to_string(c.messageId), "Tachymark"}}));
    EXPECT_EQ(p.model.modifiedSent, 1);
    // One PSM_CHANGED in all (from the change or from the failure), no
    // PSM_UNCHANGED.
    EXPECT_EQ(p.view.sheet, (std::vector<bool>{true}));
    // Once the registry is writable again the next Apply goes through.
    p.reg.ClearFaults();
    EXPECT_TRUE(p.model.OnApply());
    EXPECT_EQ(p.model.modifiedSent, 0);
  }
}

TEST(PageModel, GesturesNeedAllThreeKeysAndTheRightLabel) {
  const uint32_t all = kMkLButton | kMkControl | kMkShift;
  struct Case { uint32_t flags; std::set<int> over; bool credits; bool language; } cases[] = {
      {all, {kIdProductName}, true, false},
      {all | 0x0002, {kIdProductName}, true, false},  // right button flag too
      {all, {kIdVersionLine}, false, true},
      {all, {kIdAuthor}, false, false},
      {all, {}, false, false},
      {kMkLButton | kMkControl, {kIdProductName, kIdVersionLine}, false, false},
      {kMkControl | kMkShift, {kIdProductName, kIdVersionLine}, false, false},
      {kMkLButton | kMkShift, {kIdVersionLine}, false, false},
  };
  for (const Case& c : cases) {
    Page p;
    p.model.OnInitDialog();
    p.view.cursorOver = c.over;
    p.view.loaded.clear();
    p.model.OnRButtonDown(c.flags);
    EXPECT_EQ(p.view.boxes, (c.credits ? Boxes{{kCreditsText, "Tachymark"}} : Boxes{}));
    EXPECT_EQ(p.model.language.stringBase, c.language ? 39 : 0);
    EXPECT_EQ(p.view.loaded.empty(), !c.language);
    EXPECT_TRUE(p.view.sheet.empty());
  }
}

TEST(PageModel, LanguageSetsEveryTextInOrder) {
  Page p;
  p.sys.languageId = 0x0407;  // German
  p.model.OnInitDialog();
  EXPECT_EQ(p.model.language.stringBase, 78);
  EXPECT_EQ(p.view.layout, kPageLayoutOther);
  EXPECT_EQ(p.view.loaded,
            (std::vector<int32_t>{80, 81, 82, 83, 84, 85, 87, 89, 91, 93, 94, 95, 96, 97, 98, 99}));
  std::vector<std::string> expected = {"layout"};
  for (int id : {1062, 1055, 1006, 1007, 1056, 1009, 1005, 1010, 1027, 1057,
                 1008, 1002, 1026, 1058, 1052, 1053})
    expected.push_back("text " + std::to_string(id));
  expected.push_back("version");
  EXPECT_EQ(p.view.events, expected);
  EXPECT_EQ(p.view.texts[kIdVersionLine], "S983.2S99");
  EXPECT_EQ(p.view.texts[kIdClockLabel], "180");
  EXPECT_EQ(p.view.texts[kIdModelLabel], "Voodoo3 3000");

  // The gesture on a German system: French first. States are kept.
  p.model.OnD3DVsync();
  p.model.OnEnableClock();
  p.view.cursorOver = {kIdVersionLine};
  p.model.OnRButtonDown(kMkLButton | kMkControl | kMkShift);
  EXPECT_EQ(p.model.language.stringBase, 39);
  EXPECT_EQ(p.view.checks[kIdD3DVsync], 1);
  EXPECT_FALSE(p.view.enabled[kIdClockTrackbar]);
  EXPECT_EQ(p.view.texts[kIdClockLabel], "166");
  EXPECT_EQ(p.view.texts[kIdVersionLine], "S593.2S60");
}

TEST(PageModel, RefreshRatesRunsTheDialog) {
  Page p;
  p.model.OnInitDialog();
  p.model.OnRefreshRates();
  EXPECT_EQ(p.view.refreshRuns, 1);
  EXPECT_TRUE(p.view.sheet.empty());
}

}  // namespace
}  // namespace tachy
