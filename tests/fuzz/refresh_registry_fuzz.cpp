// The refresh-rate store over a registry built from the input: the dialog's
// start and Save/OK with list selections from the input, now and then with a
// failing call. No key may be created, nothing written but the two
// preferences, the adapters' DEFAULT\RefreshRate and the RefreshRate of their
// mode keys at the depths being saved.
#include "fuzz_support.h"
#include "refresh/refresh_store.h"

using namespace tachy;
using fuzz::Require;

namespace {

// The list's selection as the dialog hands it over: none, one of the three
// words, a rate, any text, or a buffer filled to its end without terminator.
struct FuzzSource : ChoiceSource {
  FuzzSource(FuzzedDataProvider& fdp, const ChoiceWords& words) : fdp_(fdp), words_(words) {}
  bool SelectedText(int row, char* buf, size_t size) override {
    Require(row >= 0 && row < kModeRowCount, "row out of range");
    Require(buf != nullptr && size > 0, "no buffer for the selection");
    switch (fdp_.ConsumeIntegralInRange<int>(0, 5)) {
      case 0: return false;
      case 1: CopyText(buf, size, words_[fdp_.ConsumeIntegralInRange<int>(0, 2)]); return true;
      case 2:
        CopyText(buf, size, std::to_string(fdp_.ConsumeIntegralInRange<int>(-5, 250)).c_str());
        return true;
      case 3: std::memset(buf, '7', size); return true;
      default: CopyText(buf, size, fuzz::Text(fdp_, 300).c_str()); return true;
    }
  }
  FuzzedDataProvider& fdp_;
  const ChoiceWords& words_;
};

void RequireRow(const ModeRow& row, const char* when) {
  std::string w = std::string(" ") + when;
  Require(fault::Terminated(row.modeKey, sizeof row.modeKey), "modeKey not terminated" + w);
  Require(fault::Terminated(row.rateList, sizeof row.rateList), "rateList not terminated" + w);
  Require(fault::Terminated(row.choiceText, sizeof row.choiceText),
          "choiceText not terminated" + w);
  Require(row.keyExists == 0 || row.keyExists == 1, "keyExists not 0/1" + w);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider fdp(data, size);
  MemoryRegistry reg;
  const bool faults = fuzz::BuildRegistry(fdp, reg);

  // The dialog's adapters: from the probe, or any list.
  AdapterList list;
  ClearAdapterList(&list);
  if (fdp.ConsumeBool()) {
    BuildAdapterList(reg, &list);
  } else {
    for (int n = 0; n < 16; ++n)
      if (fdp.ConsumeIntegralInRange<int>(0, 7) == 0) list.instances[list.count++] = n;
    list.selected = list.count - 1;
  }
  fuzz::RequireValidList(list);

  // Start of the dialog.
  int32_t depth = -7, link = -7;
  LoadDialogPreferences(reg, &depth, &link);
  if (!faults)
    Require(depth == fuzz::ReferenceNumber(reg, "ColorDepth", 64, 8) &&
                link == fuzz::ReferenceNumber(reg, "LinkAllColorDepths", 64, 0),
            "dialog preferences differ from the stored ones");

  static ModeTable table;  // as the module's one table: never cleared between runs
  std::memset(&table, 'Q', sizeof table);
  InitModeTable(&table);
  AdapterRefreshSetting setting = RefreshDefault;
  if (list.selected != -1) {
    const int instance = list.instances[list.selected];
    for (ModeRow& row : table.rows) {
      ReadModeRow(reg, instance, depth, &row);
      RequireRow(row, "after ReadModeRow");
      if (faults) continue;
      const std::string key = fault::ModeKey(instance, depth, row.modeKey);
      Require(row.keyExists == (reg.KeyExists(key) ? 1 : 0), "keyExists differs");
      fuzz::RequireRowAsStored(reg, key, row);
    }
    ReadAdapterRefreshSetting(reg, instance, &setting);
    if (!faults) {
      std::string text;
      const std::string key = fault::AdapterKey(instance, "\\DEFAULT");
      bool optimal = fuzz::ReferenceText(reg, key, "RefreshRate", 256, &text) && text == "-1";
      Require(setting == (optimal ? RefreshOptimal : RefreshDefault),
              "adapter setting differs from DEFAULT\\RefreshRate");
    }
  }
  Require(setting == RefreshDefault || setting == RefreshOptimal, "adapter setting");
  fuzz::RequireClean(reg, "dialog start");

  ChoiceWords words;
  static const char* const kEnglish[3] = {"Adapter", "Default", "Optimal"};
  for (int i = 0; i < 3; ++i)
    CopyText(words[i], sizeof words[i],
             fdp.ConsumeBool() ? kEnglish[i] : fuzz::Text(fdp, 70).c_str());
  for (const ModeRow& row : table.rows) {
    const char* search = ChoiceSearchText(row.choiceText, words);
    Require(search && fault::Terminated(search, 256), "search text");
  }

  // The user's changes, then Save or OK.
  if (fdp.ConsumeBool()) depth = fdp.PickValueInArray({8, 16, 24, 32, 15});
  if (fdp.ConsumeBool()) link = fdp.ConsumeIntegral<int32_t>();
  if (fdp.ConsumeBool()) setting = fdp.ConsumeBool() ? RefreshOptimal : RefreshDefault;
  const bool callFault = fdp.ConsumeBool();
  if (callFault)
    reg.FailCallNumber(fdp.ConsumeIntegralInRange<size_t>(1, 400),
                       fdp.ConsumeBool() ? kErrorAccessDenied : kErrorFileNotFound);
  FuzzSource source(fdp, words);
  std::vector<std::string> modeKeys;
  for (const ModeRow& row : table.rows) modeKeys.push_back(row.modeKey);
  std::vector<int> depths = link ? std::vector<int>{8, 16, 24, 32} : std::vector<int>{depth};

  reg.ResetCalls();
  SaveChoices(reg, list, depth, link, setting, words, source, &table);
  for (const ModeRow& row : table.rows) RequireRow(row, "after SaveChoices");
  fuzz::RequireClean(reg, "SaveChoices", fault::RefreshPolicy(list, depths, modeKeys));
  if (!faults && !callFault) {
    // Nothing failed: the preferences are stored where the key exists, and
    // every adapter's DEFAULT key holds the adapter setting.
    if (reg.KeyExists(fault::kProductPath))
      Require(reg.Text(fault::kProductPath, "ColorDepth") == std::to_string(depth) &&
                  reg.Text(fault::kProductPath, "LinkAllColorDepths") == std::to_string(link),
              "dialog preferences not stored");
    for (int n : fault::Instances(list)) {
      const std::string key = fault::AdapterKey(n, "\\DEFAULT");
      if (reg.KeyExists(key))
        Require(reg.Text(key, "RefreshRate") == (setting == RefreshDefault ? "0" : "-1"),
                "adapter setting not stored in " + key);
    }
  }
  return 0;
}
