#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "refresh/refresh_layout.h"
#include "test_fakes.h"

namespace tachy {
namespace {

using fault::ModeKey;
using regtest::Adapters;
using regtest::DisplayKey;
const std::string kProduct = regtest::kProduct;

std::string DefaultPath(int instance) { return DisplayKey(instance, "\\DEFAULT"); }

class RefreshStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InitModeTable(&table);
    SetWords(english, "Adapter", "Default", "Optimal");
  }
  std::vector<std::string> CallsOf(MemoryRegistry::Op op) const {
    std::vector<std::string> out;
    for (const auto& c : regtest::CallsOf(reg, op)) out.push_back(c.path + "|" + c.value);
    return out;
  }
  bool AnyCreate() const { return !CallsOf(MemoryRegistry::kOpCreate).empty(); }
  static std::string Row(int32_t key, const std::string& rates, const std::string& choice) {
    return "key " + std::to_string(key) + " [" + rates + "] [" + choice + "]";
  }
  static std::string Row(const ModeRow& r) { return Row(r.keyExists, r.rateList, r.choiceText); }
  void Save(std::vector<int32_t> adapters, int32_t depth, int32_t link, AdapterRefreshSetting s) {
    SaveChoices(reg, Adapters(adapters), depth, link, s, english, source, &table);
  }
  void WriteDepth(std::vector<int32_t> adapters, int32_t depth) {
    WriteDepthChoices(reg, Adapters(adapters), depth, english, source, &table);
  }

  MemoryRegistry reg;
  ModeTable table;
  ChoiceWords english;
  TableSource source;
};

// The list ids do not run in row order, and the last mode is 2046 (not 2048) wide.
TEST_F(RefreshStoreTest, ModeTableStartsEmptyAndBuildsKeyPaths) {
  const ModeRowSpec rows[kModeRowCount] = {
      {"640x480", "640,480", 1024, 1035},       {"800x600", "800,600", 1025, 1036},
      {"960x720", "960,720", 1019, 1037},       {"1024x768", "1024,768", 1020, 1038},
      {"1152x864", "1152,864", 1021, 1039},     {"1280x960", "1280,960", 1022, 1040},
      {"1280x1024", "1280,1024", 1023, 1041},   {"1600x1024", "1600,1024", 1011, 1042},
      {"1600x1200", "1600,1200", 1018, 1043},   {"1792x1344", "1792,1344", 1013, 1044},
      {"1856x1392", "1856,1392", 1012, 1045},   {"1920x1080", "1920,1080", 1014, 1046},
      {"1920x1200", "1920,1200", 1015, 1047},   {"1920x1440", "1920,1440", 1016, 1048},
      {"2046x1536", "2046,1536", 1017, 1049},
  };
  auto fields = [](const ModeRowSpec& r) {
    return std::string(r.labelText) + " " + r.modeKey + " " + std::to_string(r.listId) + " " +
           std::to_string(r.labelId);
  };
  for (int i = 0; i < kModeRowCount; ++i) {
    const ModeRow& row = table.rows[i];
    EXPECT_EQ(fields(kModeRowSpecs[i]), fields(rows[i])) << i;
    EXPECT_EQ(fields({rows[i].labelText, row.modeKey, row.listId, row.labelId}), fields(rows[i]));
    EXPECT_EQ(Row(row), Row(false, "", ""));
  }
  char path[192];
  FormatModeKeyPath(path, sizeof path, 3, 16, "640,480");
  EXPECT_STREQ(path, "System\\CurrentControlSet\\Services\\Class\\Display\\0003\\MODES\\16\\640,480");
  FormatDefaultKeyPath(path, sizeof path, 12);
  EXPECT_STREQ(path, "System\\CurrentControlSet\\Services\\Class\\Display\\0012\\DEFAULT");
}

TEST_F(RefreshStoreTest, DecodeChoiceTable) {
  struct Case { const char* text; ChoiceKind kind; const char* search; } cases[] = {
      {"", ChoiceAdapter, "Adapter"},   {"0", ChoiceDefault, "Default"},
      {"00", ChoiceDefault, "Default"}, {"abc", ChoiceDefault, "Default"},
      {" 0x", ChoiceDefault, "Default"}, {"-1", ChoiceOptimal, "Optimal"},
      {" -1", ChoiceOptimal, "Optimal"}, {"-1Hz", ChoiceOptimal, "Optimal"},
      {"72", ChoiceRate, "72"},         {"7", ChoiceRate, "7"},
      {" 75", ChoiceRate, " 75"},       {"-2", ChoiceRate, "-2"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DecodeChoice(c.text), c.kind) << c.text;
    EXPECT_STREQ(ChoiceSearchText(c.text, english), c.search) << c.text;
  }
  EXPECT_EQ(DecodeChoice(nullptr), ChoiceAdapter);
}

TEST_F(RefreshStoreTest, EncodeChoiceTable) {
  ChoiceWords french;
  SetWords(french, "Adaptateur", "Par d\xe9" "faut", "Optimale");
  struct Case { const ChoiceWords* words; const char* selected; bool store; const char* text; }
  cases[] = {
      {&english, "Adapter", false, ""},      {&english, "Default", true, "0"},
      {&english, "Optimal", true, "-1"},     {&english, "adapter", true, "60"},
      {&english, "Optimal ", true, "60"},    {&english, "41", true, "41"},
      {&english, "179", true, "179"},        {&english, "40", true, "60"},
      {&english, "180", true, "60"},         {&english, "72 Hz", true, "72"},
      {&english, "", true, "60"},            {&english, "-1", true, "60"},
      {&english, "0", true, "60"},           {&english, "100", true, "100"},
      {&english, "200", true, "60"},         {&english, "Adaptateur", true, "60"},
      {&french, "Adaptateur", false, ""},    {&french, "Par d\xe9" "faut", true, "0"},
      {&french, "Optimale", true, "-1"},     {&french, "Optimal", true, "60"},
  };
  for (const Case& c : cases) {
    char out[24] = "junk";
    EXPECT_EQ(EncodeChoice(c.selected, *c.words, out, sizeof out), c.store) << c.selected;
    if (c.store) EXPECT_STREQ(out, c.text) << c.selected;
  }
}

TEST_F(RefreshStoreTest, RateEntriesSplitAtCommasKeepingTheTrailingEmptyOne) {
  struct Case { const char* list; std::vector<std::string> entries; } cases[] = {
      {"60,72,75", {"60", "72", "75"}}, {"60,72,", {"60", "72", ""}}, {"", {""}},
      {"85", {"85"}}, {",60", {"", "60"}}, {" 60 , 72", {" 60 ", " 72"}},
      {"60,,75", {"60", "", "75"}},
  };
  for (const Case& c : cases) {
    std::vector<std::string> got;
    ForEachRateEntry(
        c.list,
        [](void* ctx, const char* e) { static_cast<std::vector<std::string>*>(ctx)->push_back(e); },
        &got);
    EXPECT_EQ(got, c.entries) << c.list;
  }
}

TEST_F(RefreshStoreTest, ReadModeRowFromPresentAbsentAndOddValues) {
  const std::string base = ModeKey(2, 8, "640,480");
  std::string longList = "5,";  // then 45 entries "NNN,": 181 characters
  for (int i = 0; i < 45; ++i) longList += std::to_string(100 + i) + ",";
  longList.pop_back();
  // nullopt: value absent
  struct Case { const char* name; std::optional<std::string> rates, refresh; bool keyExists;
                std::string expectRates, expectChoice; } cases[] = {
      {"plain", "60,72,75", "72", true, "60,72,75", "72"},
      {"no values", std::nullopt, std::nullopt, true, "", ""},
      {"empty RefreshRate", "60", "", true, "60", ""},
      {"missing key", std::nullopt, std::nullopt, false, "", ""},
      // Cut after the last whole entry that fits in 127 characters: the
      // comma at 125 ends it ("5," and 30 entries "NNN,"), the comma goes too.
      {"long rate list", longList, "-1", true, longList.substr(0, 125), "-1"},
      {"long RefreshRate", "60", "1234567890abcdefghij", true, "60", "1234567890abcde"},
      {"255 characters fit", std::string(255, '7'), std::string(255, '8'), true,
       std::string(127, '7'), std::string(15, '8')},
      {"256 characters do not", std::string(256, '7'), std::string(256, '8'), true, "", ""},
  };
  for (const Case& c : cases) {
    MemoryRegistry r;
    if (c.keyExists) r.AddKey(base);
    if (c.rates) r.PutText(base, "", *c.rates);
    if (c.refresh) r.PutText(base, "RefreshRate", *c.refresh);
    ModeRow& row = table.rows[0];
    CopyText(row.rateList, sizeof row.rateList, "stale");
    CopyText(row.choiceText, sizeof row.choiceText, "stale");
    row.keyExists = c.keyExists ? 0 : 1;
    ReadModeRow(r, 2, 8, &row);
    EXPECT_EQ(Row(row), Row(c.keyExists, c.expectRates, c.expectChoice)) << c.name;
    EXPECT_EQ(r.OpenHandleCount(), 0u) << c.name;
    EXPECT_STREQ(row.modeKey, "640,480");
    for (const auto& call : regtest::CallsOf(r, MemoryRegistry::kOpOpen))
      EXPECT_EQ(call.access, kKeyQueryValue);
  }
}

TEST_F(RefreshStoreTest, RateListCutWithoutAnyCommaKeepsTheFirst127Characters) {
  const std::string base = ModeKey(0, 8, "800,600");
  reg.PutText(base, "", std::string(130, '6'));
  ReadModeRow(reg, 0, 8, &table.rows[1]);
  EXPECT_EQ(std::string(table.rows[1].rateList), std::string(127, '6'));
  // A comma right after the 127th character: all 127 are whole entries.
  std::string exact = std::string(126, '6') + "7,85";
  reg.PutText(base, "", exact);
  ReadModeRow(reg, 0, 8, &table.rows[1]);
  EXPECT_EQ(std::string(table.rows[1].rateList), exact.substr(0, 127));
}

TEST_F(RefreshStoreTest, AdapterRefreshSettingReadsOnlyMinusOneAsOptimal) {
  struct Case { std::optional<std::string> stored; AdapterRefreshSetting expected; } cases[] = {
      {"-1", RefreshOptimal}, {"0", RefreshDefault},      {"1", RefreshDefault},
      {" -1", RefreshDefault}, {"-1 ", RefreshDefault},   {std::nullopt, RefreshDefault},
      {std::string(256, '1'), RefreshDefault},
  };
  for (const Case& c : cases) {
    MemoryRegistry r;
    r.AddKey(DefaultPath(1));
    if (c.stored) r.PutText(DefaultPath(1), "RefreshRate", *c.stored);
    for (AdapterRefreshSetting start : {RefreshDefault, RefreshOptimal}) {
      AdapterRefreshSetting setting = start;
      ReadAdapterRefreshSetting(r, 1, &setting);
      EXPECT_EQ(setting, c.expected) << (c.stored ? *c.stored : "<absent>");
    }
    EXPECT_EQ(r.OpenHandleCount(), 0u);
  }
  for (AdapterRefreshSetting start : {RefreshDefault, RefreshOptimal}) {
    AdapterRefreshSetting setting = start;
    ReadAdapterRefreshSetting(reg, 5, &setting);
    EXPECT_EQ(setting, start);
  }
}

TEST_F(RefreshStoreTest, WritesOnlyOpenExistingModeKeysAndNeverCreate) {
  for (int n : {0, 2}) reg.AddKey(ModeKey(n, 16, "640,480"));
  reg.AddKey(ModeKey(0, 16, "800,600"));
  reg.PutText(ModeKey(2, 16, "640,480"), "RefreshRate", "85");
  source.SelectAll("Adapter");
  source.selected[0] = "75";
  source.selected[1] = "Optimal";
  WriteDepth({0, 2}, 16);
  EXPECT_FALSE(AnyCreate());
  EXPECT_FALSE(reg.KeyExists(ModeKey(2, 16, "800,600")));
  EXPECT_FALSE(reg.KeyExists(ModeKey(0, 16, "960,720")));
  regtest::ExpectValues(reg, {{ModeKey(0, 16, "640,480"), "RefreshRate", "75"},
                             {ModeKey(2, 16, "640,480"), "RefreshRate", "75"},
                             {ModeKey(0, 16, "800,600"), "RefreshRate", "-1"}});
  EXPECT_EQ(reg.OpenHandleCount(), 0u);
  for (const auto& call : regtest::CallsOf(reg, MemoryRegistry::kOpOpen))
    EXPECT_EQ(call.access, kKeySetValue);
  // The selection is fetched again for every adapter.
  for (int i = 0; i < kModeRowCount; ++i) EXPECT_EQ(source.asked[i], 2) << i;
  // Adapter where the value is absent: a harmless delete.
  source.selected[1] = "Adapter";
  WriteDepth({0, 2}, 16);
  EXPECT_FALSE(reg.ValueExists(ModeKey(0, 16, "800,600"), "RefreshRate"));
  WriteDepth({0, 2}, 16);
  EXPECT_FALSE(reg.ValueExists(ModeKey(0, 16, "800,600"), "RefreshRate"));
  EXPECT_EQ(reg.OpenHandleCount(), 0u);
}

// A row without selection writes back what was read, encoded as a selection.
TEST_F(RefreshStoreTest, RowsWithoutSelectionWriteBackTheStoredTextEncoded) {
  const std::optional<std::string> kDeleted;
  struct Case { std::optional<std::string> stored, written; } cases[] = {  // nullopt: absent
      {"100", "100"}, {"200", "60"},          {"0", "60"},       {"72", "72"},
      {"Adapter", kDeleted}, {"Default", "0"}, {"Optimal", "-1"}, {"", "60"}, {kDeleted, "60"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.stored ? *c.stored : "<absent>");
    MemoryRegistry r;
    const std::string path = ModeKey(0, 8, "640,480");
    r.PutText(path, "", "60,72,75");
    if (c.stored) r.PutText(path, "RefreshRate", *c.stored);
    ModeTable t;
    InitModeTable(&t);
    ReadModeRow(r, 0, 8, &t.rows[0]);
    TableSource none;  // no list has a selection
    WriteDepthChoices(r, Adapters({0}), 8, english, none, &t);
    EXPECT_EQ(r.ValueExists(path, "RefreshRate"), c.written.has_value());
    if (c.written) EXPECT_EQ(r.Text(path, "RefreshRate"), *c.written);
    EXPECT_EQ(std::string(t.rows[0].choiceText), c.stored.value_or(""));
  }
}

TEST_F(RefreshStoreTest, ALongSelectedEntryIsEncodedWholeAndCutInTheRow) {
  // Words longer than the row's 15 characters must still be recognised.
  ChoiceWords words;
  SetWords(words, "Adapter setting used", "Driver default rate", "Optimal rate");
  const std::string path = ModeKey(0, 8, "640,480");
  reg.PutText(path, "RefreshRate", "85");
  auto save = [&](const std::string& selected) {
    source.selected[0] = selected;
    WriteDepthChoices(reg, Adapters({0}), 8, words, source, &table);
  };
  save("Adapter setting used");
  EXPECT_FALSE(reg.ValueExists(path, "RefreshRate"));
  EXPECT_STREQ(table.rows[0].choiceText, "Adapter setting");
  save("Driver default rate");
  EXPECT_EQ(reg.Text(path, "RefreshRate"), "0");
  save(std::string(300, '9'));  // longer than any buffer
  EXPECT_EQ(reg.Text(path, "RefreshRate"), "60");
}

TEST_F(RefreshStoreTest, LinkedSaveWritesDepthThenAdapterThenRow) {
  for (int inst : {0, 2})
    for (int depth : {8, 16, 24, 32})
      for (const ModeRowSpec& mode : kModeRowSpecs) reg.AddKey(ModeKey(inst, depth, mode.modeKey));
  for (const std::string& key : {DefaultPath(0), DefaultPath(2), kProduct}) reg.AddKey(key);
  for (int i = 0; i < kModeRowCount; ++i) source.selected[i] = std::to_string(60 + i);
  reg.ResetCalls();
  Save({0, 2}, 16, 1, RefreshOptimal);

  std::vector<std::string> expected = {kProduct + "|ColorDepth", kProduct + "|LinkAllColorDepths",
                                       DefaultPath(0) + "|RefreshRate",
                                       DefaultPath(2) + "|RefreshRate"};
  for (int depth : {8, 16, 24, 32})
    for (int inst : {0, 2})
      for (const ModeRowSpec& mode : kModeRowSpecs)
        expected.push_back(ModeKey(inst, depth, mode.modeKey) + "|RefreshRate");
  EXPECT_EQ(CallsOf(MemoryRegistry::kOpSet), expected);
  regtest::ExpectValues(reg, {{kProduct, "ColorDepth", "16"}, {kProduct, "LinkAllColorDepths", "1"},
                             {DefaultPath(2), "RefreshRate", "-1"},
                             {ModeKey(2, 32, "2046,1536"), "RefreshRate", "74"}});
  EXPECT_EQ(reg.OpenHandleCount(), 0u);
  EXPECT_FALSE(AnyCreate());

  reg.ResetCalls();
  Save({0, 2}, 24, 0, RefreshOptimal);
  auto sets = CallsOf(MemoryRegistry::kOpSet);
  ASSERT_EQ(sets.size(), 4u + 2 * kModeRowCount);
  for (size_t i = 4; i < sets.size(); ++i) EXPECT_NE(sets[i].find("\\MODES\\24\\"), std::string::npos);
}

TEST_F(RefreshStoreTest, AdapterSettingDefaultWritesZeroAndNeverDeletes) {
  reg.AddKey(DefaultPath(0));
  reg.PutText(DefaultPath(3), "RefreshRate", "-1");
  // Adapter 5 has no DEFAULT key: skipped, not created.
  WriteAdapterRefreshSetting(reg, Adapters({0, 3, 5}), RefreshDefault);
  regtest::ExpectValues(reg, {{DefaultPath(0), "RefreshRate", "0"}, {DefaultPath(3), "RefreshRate", "0"}});
  EXPECT_FALSE(reg.KeyExists(DefaultPath(5)));
  EXPECT_TRUE(CallsOf(MemoryRegistry::kOpDeleteValue).empty());
  WriteAdapterRefreshSetting(reg, Adapters({0, 3, 5}), RefreshOptimal);
  regtest::ExpectSz(reg, DefaultPath(0), "RefreshRate", "-1");  // REG_SZ, terminator counted
  EXPECT_FALSE(AnyCreate());
  EXPECT_EQ(reg.OpenHandleCount(), 0u);
}

TEST_F(RefreshStoreTest, PreferencesLoadDefaultsAndSaveOnlyIntoAnExistingKey) {
  const std::nullopt_t kAbsent = std::nullopt;
  struct Case { const char* name; bool key; std::optional<std::string> depth, link;
                int32_t expectDepth, expectLink; } cases[] = {
      {"no key", false, kAbsent, kAbsent, 8, 0}, {"empty key", true, kAbsent, kAbsent, 8, 0},
      {"16 linked", true, "16", "1", 16, 1},     {"15 and 2", true, "15", "2", 15, 2},
      {"letters", true, "abc", "yes", 0, 0},
      {"63 characters fit", true, std::string(61, ' ') + "24", std::string(62, ' ') + "1", 24, 1},
      {"64 do not", true, std::string(62, ' ') + "24", std::string(63, ' ') + "1", 8, 0},
  };
  for (const Case& c : cases) {
    MemoryRegistry r;
    if (c.key) r.AddKey(kProduct);
    if (c.depth) r.PutText(kProduct, "ColorDepth", *c.depth);
    if (c.link) r.PutText(kProduct, "LinkAllColorDepths", *c.link);
    int32_t depth = -5, link = -5;
    LoadDialogPreferences(r, &depth, &link);
    EXPECT_EQ(std::make_pair(depth, link), std::make_pair(c.expectDepth, c.expectLink)) << c.name;
    SaveDialogPreferences(r, depth, link);
    EXPECT_EQ(r.KeyExists(kProduct), c.key) << c.name;
    const std::string d = std::to_string(c.expectDepth), l = std::to_string(c.expectLink);
    if (c.key)
      regtest::ExpectValues(r, {{kProduct, "ColorDepth", d.c_str()},
                                {kProduct, "LinkAllColorDepths", l.c_str()}});
    EXPECT_EQ(r.OpenHandleCount(), 0u);
    // Opened for reading, then for setting values; never created.
    std::vector<std::string> opens;
    for (const auto& call : regtest::CallsOf(r, MemoryRegistry::kOpOpen | MemoryRegistry::kOpCreate))
      opens.push_back(call.path + " " + std::to_string(call.access));
    EXPECT_EQ(opens, (std::vector<std::string>{kProduct + " " + std::to_string(kKeyQueryValue),
                                               kProduct + " " + std::to_string(kKeySetValue | kKeyCreateSubKey)}));
  }
}

TEST_F(RefreshStoreTest, NoProductKeyStillWritesTheDisplayClass) {
  reg.PutText(ModeKey(1, 8, "640,480"), "", "60,72");
  reg.AddKey(DefaultPath(1));
  source.selected[0] = "72";
  Save({1}, 8, 0, RefreshDefault);
  EXPECT_FALSE(reg.KeyExists(kProduct));
  regtest::ExpectValues(reg, {{ModeKey(1, 8, "640,480"), "RefreshRate", "72"},
                              {DefaultPath(1), "RefreshRate", "0"}});
  EXPECT_EQ(reg.OpenHandleCount(), 0u);
}

TEST_F(RefreshStoreTest, ColorDepth15IsUsedUnchanged) {
  reg.PutText(kProduct, "ColorDepth", "15");
  for (int depth : {8, 16}) reg.AddKey(ModeKey(0, depth, "640,480"));
  reg.AddKey(ModeKey(0, 15, "800,600"));
  int32_t depth = 0, link = 0;
  LoadDialogPreferences(reg, &depth, &link);
  ASSERT_EQ(depth, 15);
  source.SelectAll("85");
  Save({0}, depth, link, RefreshDefault);
  EXPECT_EQ(reg.Text(kProduct, "ColorDepth"), "15");
  regtest::ExpectValues(reg, {{ModeKey(0, 15, "800,600"), "RefreshRate", "85"},
                             {ModeKey(0, 8, "640,480"), "RefreshRate", nullptr},
                             {ModeKey(0, 16, "640,480"), "RefreshRate", nullptr}});
  EXPECT_FALSE(AnyCreate());
}

TEST_F(RefreshStoreTest, EmptyAdapterListWritesOnlyThePreferences) {
  for (const std::string& key : {kProduct, ModeKey(0, 8, "640,480"), DefaultPath(0)})
    reg.AddKey(key);
  source.SelectAll("Optimal");
  for (int32_t link : {0, 1}) {
    reg.ResetCalls();
    Save({}, 8, link, RefreshOptimal);
    std::vector<std::string> expected = {kProduct + "|ColorDepth", kProduct + "|LinkAllColorDepths"};
    EXPECT_EQ(CallsOf(MemoryRegistry::kOpSet), expected);
    EXPECT_TRUE(CallsOf(MemoryRegistry::kOpDeleteValue).empty());
    for (const auto& call : reg.Calls()) EXPECT_EQ(call.path.find("\\Class\\"), std::string::npos);
  }
  EXPECT_EQ(reg.OpenHandleCount(), 0u);
}

TEST_F(RefreshStoreTest, ListEndsAtTheFirstFreeSlotOrAfterSixteen) {
  AdapterList list = Adapters({1});
  list.instances[2] = 4;  // beyond the first -1: never written
  for (int n : {1, 4}) reg.AddKey(DefaultPath(n));
  WriteAdapterRefreshSetting(reg, list, RefreshOptimal);
  EXPECT_EQ(reg.Text(DefaultPath(1), "RefreshRate"), "-1");
  EXPECT_FALSE(reg.ValueExists(DefaultPath(4), "RefreshRate"));

  // A full list: no free slot ends it. Save reaches each adapter once.
  for (int i = 0; i < kMaxAdapters; ++i) {
    reg.AddKey(DefaultPath(i));
    reg.AddKey(ModeKey(i, 16, "800,600"));
  }
  source.selected[1] = "72";
  reg.ResetCalls();
  Save({0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15}, 16, 0, RefreshDefault);
  EXPECT_EQ(CallsOf(MemoryRegistry::kOpSet).size(), 2u * kMaxAdapters);
  for (int i = 0; i < kMaxAdapters; ++i)
    regtest::ExpectValues(reg, {{DefaultPath(i), "RefreshRate", "0"},
                               {ModeKey(i, 16, "800,600"), "RefreshRate", "72"}});
}

TEST_F(RefreshStoreTest, RegistryFaultsFallBackSilently) {
  const std::string path = ModeKey(0, 8, "640,480");
  reg.PutText(path, "", "60,72");
  reg.PutText(path, "RefreshRate", "72");
  // A failed query of one value leaves that field empty.
  reg.FailKey(path, kErrorAccessDenied, MemoryRegistry::kOpQuery);
  ReadModeRow(reg, 0, 8, &table.rows[0]);
  EXPECT_EQ(Row(table.rows[0]), Row(true, "", ""));
  reg.ClearFaults();
  // A read-only registry: writes are skipped, nothing is left open.
  reg.MakeReadOnly("HKLM");
  source.selected[0] = "75";
  reg.AddKey(kProduct);
  Save({0}, 8, 1, RefreshOptimal);
  EXPECT_EQ(reg.Text(path, "RefreshRate"), "72");
  EXPECT_FALSE(reg.ValueExists(kProduct, "ColorDepth"));
  EXPECT_EQ(reg.OpenHandleCount(), 0u);
}

// Rows 0..7 left, 8..14 right, 14 units apart; each label, its list; link last.
TEST(RefreshLayout, TablesFollowTheModeTableAndTheTemplateGeometry) {
  auto rect = [](int id, int x, int y, int w, int h) {
    return std::to_string(id) + " " + std::to_string(x) + "," + std::to_string(y) + " " +
           std::to_string(w) + "x" + std::to_string(h);
  };
  auto row = [&](const ControlLayoutRow& r) { return rect(r.id, r.x, r.y, r.width, r.height); };
  struct Expect { const ControlLayoutRow* table; int rightShift, listWidth, linkX, linkWidth; }
  tables[] = {{kRefreshLayoutEnglish, 0, 44, 137, 92}, {kRefreshLayoutOther, -7, 51, 130, 100}};
  for (const Expect& e : tables) {
    for (int i = 0; i < kModeRowCount; ++i) {
      const int y = 14 * (i < 8 ? i : i - 8), x = i < 8 ? 0 : 116 + e.rightShift;
      EXPECT_EQ(row(e.table[2 * i]), rect(kModeRowSpecs[i].labelId, 20 + x, 20 + y, 40, 8));
      EXPECT_EQ(row(e.table[2 * i + 1]),
                rect(kModeRowSpecs[i].listId, 62 + x, 17 + y, e.listWidth, 12));
    }
    EXPECT_EQ(row(e.table[kRefreshLayoutRows - 1]), rect(1032, e.linkX, 119, e.linkWidth, 10));
  }
  EXPECT_EQ(RefreshLayoutFor(9), kRefreshLayoutEnglish);
  for (uint16_t other : {12, 7, 10, 0})
    EXPECT_EQ(RefreshLayoutFor(other), kRefreshLayoutOther) << other;
}

}  // namespace
}  // namespace tachy
