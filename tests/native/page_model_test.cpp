// The settings page's reactions, through a recording view and the real core.
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

  // "name=value" checks what the page shows; anything else is done to it.
  void Steps(std::initializer_list<const char*> steps) {
    for (const std::string step : steps) {
      SCOPED_TRACE(step);
      const size_t eq = step.find('=');
      const std::string name = step.substr(0, eq), value = step.substr(eq + 1);
      const DriverSettings& s = model.settings;
      auto box = [&](int32_t record, int id) {
        return std::to_string(record) + "/" + std::to_string(view.checks[id]);
      };
      if (eq == std::string::npos) Do(step);
      else if (name == "clock") EXPECT_EQ(std::to_string(s.currentClock), value);
      else if (name == "label") EXPECT_EQ(view.texts[kIdClockLabel], value);
      else if (name == "controls") EXPECT_EQ(view.Clock(), value);
      else if (name == "modified") EXPECT_EQ(std::to_string(model.modifiedSent), value);
      else if (name == "glide") EXPECT_EQ(box(s.glideVsyncOff, kIdGlideVsync), value + "/" + value);
      else if (name == "d3d") EXPECT_EQ(box(s.d3dVsyncOff, kIdD3DVsync), value + "/" + value);
      else if (name == "enable") EXPECT_EQ(box(s.enableClock, kIdEnableClock), value + "/" + value);
      else if (name == "sheet") {  // + PSM_CHANGED, - PSM_UNCHANGED
        std::string sent;
        for (bool changed : view.sheet) sent += changed ? '+' : '-';
        EXPECT_EQ(sent, value);
      } else ADD_FAILURE() << "unknown check";
    }
  }
  void Do(const std::string& action) {
    if (action == "init") model.OnInitDialog();
    else if (action == "scroll") model.OnHScroll(true);
    else if (action == "other scroll") model.OnHScroll(false);
    else if (action == "glide") model.OnGlideVsync();
    else if (action == "d3d") model.OnD3DVsync();
    else if (action == "enable") model.OnEnableClock();
    else if (action == "defaults") model.OnFactoryDefaults();
    else if (action == "apply") EXPECT_TRUE(model.OnApply());
    else if (action == "failed apply") EXPECT_FALSE(model.OnApply());
    else if (action == "cancel") model.OnCancel();
    else if (action == "refresh rates") model.OnRefreshRates();
    else if (action == "blank label") view.texts[kIdClockLabel] = "";
    else if (action.rfind("pos ", 0) == 0) view.pos = std::stoi(action.substr(4));
    else ADD_FAILURE() << "unknown action";
  }
};

TEST(PageModel, InitFillsTheControlsFromTheRegistry) {
  Page p;
  p.Steps({"init", "controls=120..220 at 180 ticks 2 shows 180 limits 120/220 box 1 enabled 111111",
           "sheet="});
  EXPECT_EQ(p.model.platformKind, kPlatform9x);
  EXPECT_EQ(p.view.texts[kIdModelLabel], "Voodoo3 3000");
  EXPECT_TRUE(p.view.enabled[kIdD3DVsync]);
  EXPECT_EQ(p.view.enabled.count(kIdRefreshRates), 0u);  // left as created
  EXPECT_EQ(p.view.layout, kPageLayoutEnglish);
}

TEST(PageModel, NtDisablesDirect3DAndRefreshRates) {
  for (uint32_t major : {4u, 5u}) {
    Page p;
    p.sys = FakeSystemInfo::NT(major);
    p.reg.PutText(regtest::kNTGlide, "FX_GLIDE_SWAPINTERVAL", "0");
    p.Steps({"init", "d3d=0", "glide=1"});
    EXPECT_EQ(p.model.platformKind, major == 4 ? kPlatformNT4 : kPlatformNT5);
    EXPECT_FALSE(p.view.enabled[kIdD3DVsync]);
    EXPECT_FALSE(p.view.enabled[kIdRefreshRates]);
    // Factory Defaults still unchecks 1007.
    p.view.checks[kIdD3DVsync] = 1;
    p.Steps({"defaults", "d3d=0"});
  }
}

TEST(PageModel, NoAdapterStartsFromTheStockClock) {
  Page p;
  p.reg.RemoveKeyTree(kClass0);
  p.Steps({"init", "clock=166", "label=166"});
}

TEST(PageModel, TrackbarChangesMarkModifiedOnce) {
  // A notification that leaves the thumb where it was counts as a first
  // change; later changes send nothing more.
  Page p;
  p.Steps({"init", "blank label", "scroll", "clock=180", "label=180", "sheet=+", "pos 200",
           "scroll", "clock=200", "label=200", "glide", "sheet=+"});
  // Another scroll bar's notification only refreshes the label.
  Page q;
  q.Steps({"init", "pos 150", "blank label", "other scroll", "clock=180", "label=180", "sheet="});
}

TEST(PageModel, VsyncBoxesToggle) {
  Page p;
  p.Steps({"init", "glide", "d3d", "glide=1", "d3d=1", "glide", "glide=0", "d3d=1"});
}

TEST(PageModel, ClockAdjustmentOffReturnsToTheStockClock) {
  // Checked, then off, then on again: the clock stays.
  Page p;
  p.Steps({"init", "enable", "enable=0", "clock=166",
           "controls=120..220 at 166 ticks 2 shows 166 limits 120/220 box 0 enabled 000000",
           "enable", "enable=1", "clock=166",
           "controls=120..220 at 166 ticks 2 shows 166 limits 120/220 box 1 enabled 111111",
           "sheet=+"});
}

TEST(PageModel, FactoryDefaultsMarkModifiedEvenWithNothingToChange) {
  Page p;
  p.reg.PutText(kProduct, "EnableClock", "0");
  p.reg.RemoveKeyTree(kClass0 + "\\DEFAULT");
  p.Steps({"init", "clock=166"});
  p.view.ticks = 7;
  // The clock controls are filled again; the limits are untouched.
  p.Steps({"defaults", "sheet=+",
           "controls=120..220 at 166 ticks 2 shows 166 limits 120/220 box 0 enabled 000000"});
  EXPECT_EQ(p.model.settings.lowerLimit, 120);
}

TEST(PageModel, ApplyWritesAndClearsModified) {
  Page p;
  p.Steps({"init", "pos 210", "scroll", "glide", "apply"});
  regtest::ExpectValues(p.reg, {{kClass0 + "\\DEFAULT", "Grxclock", "210"},
                               {kClass0 + "\\Glide", "FX_GLIDE_SWAPINTERVAL", "0"},
                               {kProduct, "EnableClock", "1"}});
  // Apply and Cancel say "unchanged" even when nothing changed.
  p.Steps({"sheet=+-", "modified=0", "apply", "cancel", "sheet=+---"});
  EXPECT_TRUE(p.view.boxes.empty());
}

// A change that cannot be saved is told and keeps the page modified (the
// sheet stays open). A page untouched since it opened or since its last
// successful Apply writes all the same but, refused, has lost nothing: no
// box, and the sheet may close.
TEST(PageModel, FailedApplyIsReportedOnlyForAChange) {
  struct Case { uint16_t lang; int32_t messageId; bool changedFirst; } cases[] = {
      {0x0409, 118, true}, {0x040C, 119, false}, {0x0407, 120, true}};
  const std::string kDefault0 = std::string(kClass0) + "\\DEFAULT";
  const char* kDisplayClass = "HKLM\\System\\CurrentControlSet\\Services\\Class\\Display";
  for (const Case& c : cases) {
    const Boxes notSaved = {{"S" + std::to_string(c.messageId), "Tachymark"}};
    // A clock above the limit, then the Apply failure words if its reset is refused.
    for (bool refused : {false, true}) {
      Page q;
      q.sys.languageId = c.lang;
      q.reg.PutText(kDefault0, "Grxclock", "250");
      if (refused) q.reg.MakeReadOnly(kDefault0);
      q.model.OnInitDialog();
      EXPECT_EQ(q.sink.messages.size(), 1u);
      EXPECT_EQ(q.view.boxes, refused ? notSaved : Boxes{});
      EXPECT_EQ(q.reg.Text(kDefault0, "Grxclock"), refused ? "250" : "220");
      EXPECT_EQ(q.model.settings.currentClock, 220);
      if (!refused) continue;
      // That failure was told once; after a change the next one is told too.
      q.Steps({"apply", "sheet=-", "glide", "failed apply", "modified=1", "sheet=-+"});
      EXPECT_EQ(q.view.boxes, Boxes(2, notSaved[0]));
    }
    Page p;
    p.sys.languageId = c.lang;
    p.Steps({"init", c.changedFirst ? "glide" : "sheet="});
    p.reg.MakeReadOnly(kDisplayClass);
    if (c.changedFirst) {
      p.Steps({"failed apply", "modified=1", "sheet=+"});
      EXPECT_EQ(p.view.boxes, notSaved);
    } else {
      p.Steps({"apply", "modified=0", "sheet=-"});
      EXPECT_EQ(p.view.boxes, Boxes{});
    }
    EXPECT_NE(regtest::CountCalls(p.reg, MemoryRegistry::kOpCreate), 0u);  // tried all the same
    p.reg.ClearFaults();
    p.Steps({"apply", "modified=0"});
    // Untouched again since that Apply: a refusal now says nothing.
    p.reg.MakeReadOnly(kDisplayClass);
    p.Steps({"apply", "modified=0"});
    EXPECT_EQ(p.view.boxes.size(), c.changedFirst ? 1u : 0u);
  }
}

TEST(PageModel, GesturesNeedAllThreeKeysAndTheRightLabel) {
  const uint32_t all = kMkLButton | kMkControl | kMkShift;
  struct Case { uint32_t flags; std::set<int> over; bool credits; bool language; } cases[] = {
      {all, {kIdProductName}, true, false},
      {all | 0x0002, {kIdProductName}, true, false},  // right button flag too
      {all, {kIdVersionLine}, false, true},
      {all, {kIdAuthor}, false, false}, {all, {}, false, false},
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
  p.Steps({"init", "refresh rates", "sheet="});
  EXPECT_EQ(p.view.refreshRuns, 1);
}

}  // namespace
}  // namespace tachy
