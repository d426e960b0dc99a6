#include "refresh/refresh_store.h"

#include "settings/product_key.h"
#include "settings/text.h"

namespace tachy {

namespace {

const char kDisplayClass[] = "System\\CurrentControlSet\\Services\\Class\\Display\\";
const char kRefreshRateValue[] = "RefreshRate";
const char kDefaultKeyName[] = "DEFAULT";
constexpr size_t kPathChars = 192;

// The depths written when all colour depths are linked, in write order.
const int32_t kLinkedDepths[4] = {8, 16, 24, 32};

// Copies a rate list into the row's field. A list that does not fit is cut
// after its last whole entry that does, so that no entry is shortened into
// a different rate ("100" must not become "10").
void StoreRateList(char* field, const char* text) {
  size_t length = TextLength(text);
  const size_t limit = kRateListChars - 1;
  if (length <= limit) {
    CopyText(field, kRateListChars, text);
    return;
  }
  size_t keep = limit;
  if (text[limit] != ',') {
    size_t p = limit;
    while (p > 0 && text[p - 1] != ',') --p;
    if (p > 0) keep = p - 1;  // up to, not including, that comma
  }
  CopyText(field, keep + 1, text);
}

// Writes one text (already the full selected or stored text) to the mode
// key, if the key exists.
void WriteModeText(Registry& reg, int32_t instance, int32_t depth,
                   const char* modeKey, const char* text,
                   const ChoiceWords& words) {
  char path[kPathChars];
  FormatModeKeyPath(path, sizeof path, instance, depth, modeKey);
  RegKey key = 0;
  if (reg.OpenKey(kHkeyLocalMachine, path, kKeySetValue, &key) != kErrorSuccess)
    return;
  char store[24];
  if (EncodeChoice(text, words, store, sizeof store))
    SetText(reg, key, kRefreshRateValue, store);
  else
    reg.DeleteValue(key, kRefreshRateValue);  // absent already is fine
  reg.CloseKey(key);
}

}  // namespace

const ModeRowSpec kModeRowSpecs[kModeRowCount] = {
    {"640x480", "640,480", 1024, 1035},
    {"800x600", "800,600", 1025, 1036},
    {"960x720", "960,720", 1019, 1037},
    {"1024x768", "1024,768", 1020, 1038},
    {"1152x864", "1152,864", 1021, 1039},
    {"1280x960", "1280,960", 1022, 1040},
    {"1280x1024", "1280,1024", 1023, 1041},
    {"1600x1024", "1600,1024", 1011, 1042},
    {"1600x1200", "1600,1200", 1018, 1043},
    {"1792x1344", "1792,1344", 1013, 1044},
    {"1856x1392", "1856,1392", 1012, 1045},
    {"1920x1080", "1920,1080", 1014, 1046},
    {"1920x1200", "1920,1200", 1015, 1047},
    {"1920x1440", "1920,1440", 1016, 1048},
    {"2046x1536", "2046,1536", 1017, 1049},
};

ModeTable gModeTable;

void InitModeTable(ModeTable* table) {
  for (int i = 0; i < kModeRowCount; ++i) {
    ModeRow& row = table->rows[i];
    CopyText(row.modeKey, kModeKeyChars, kModeRowSpecs[i].modeKey);
    row.listId = kModeRowSpecs[i].listId;
    row.labelId = kModeRowSpecs[i].labelId;
    ClearModeRow(&row);
  }
}

void FormatModeKeyPath(char* dest, size_t size, int32_t instance, int32_t depth,
                       const char* modeKey) {
  FormatText(dest, size, "%s%4.4i\\MODES\\%i\\%s", kDisplayClass,
             static_cast<int>(instance), static_cast<int>(depth), modeKey);
}

void FormatDefaultKeyPath(char* dest, size_t size, int32_t instance) {
  FormatText(dest, size, "%s%4.4i\\%s", kDisplayClass,
             static_cast<int>(instance), kDefaultKeyName);
}

void ClearModeRow(ModeRow* row) {
  row->keyExists = 0;
  row->rateList[0] = 0;
  row->choiceText[0] = 0;
}

void ReadModeRow(Registry& reg, int32_t instance, int32_t depth, ModeRow* row) {
  char path[kPathChars];
  FormatModeKeyPath(path, sizeof path, instance, depth, row->modeKey);
  RegKey key = 0;
  if (reg.OpenKey(kHkeyLocalMachine, path, kKeyQueryValue, &key) !=
      kErrorSuccess) {
    ClearModeRow(row);
    return;
  }
  row->keyExists = 1;
  char buffer[kModeValueBytes];
  if (QueryText(reg, key, nullptr, buffer, sizeof buffer) == kErrorSuccess)
    StoreRateList(row->rateList, buffer);
  else
    row->rateList[0] = 0;
  if (QueryText(reg, key, kRefreshRateValue, buffer, sizeof buffer) ==
      kErrorSuccess)
    CopyText(row->choiceText, kChoiceTextChars, buffer);
  else
    row->choiceText[0] = 0;
  reg.CloseKey(key);
}

void ReadAdapterRefreshSetting(Registry& reg, int32_t instance,
                               AdapterRefreshSetting* setting) {
  char path[kPathChars];
  FormatDefaultKeyPath(path, sizeof path, instance);
  RegKey key = 0;
  if (reg.OpenKey(kHkeyLocalMachine, path, kKeyQueryValue, &key) !=
      kErrorSuccess)
    return;
  char buffer[kModeValueBytes];
  bool optimal = QueryText(reg, key, kRefreshRateValue, buffer, sizeof buffer) ==
                     kErrorSuccess &&
                 TextEquals(buffer, "-1");
  *setting = optimal ? RefreshOptimal : RefreshDefault;
  reg.CloseKey(key);
}

ChoiceKind DecodeChoice(const char* choiceText) {
  if (!choiceText || !choiceText[0]) return ChoiceAdapter;
  int32_t value = ParseDecimal(choiceText);
  if (value == 0) return ChoiceDefault;
  if (value == -1) return ChoiceOptimal;
  return ChoiceRate;
}

const char* ChoiceSearchText(const char* choiceText, const ChoiceWords& words) {
  ChoiceKind kind = DecodeChoice(choiceText);
  if (kind == ChoiceRate) return choiceText;
  return words[kind];
}

bool EncodeChoice(const char* selectedText, const ChoiceWords& words,
                  char* storeText, size_t size) {
  if (TextEquals(selectedText, words[ChoiceAdapter])) return false;
  if (TextEquals(selectedText, words[ChoiceDefault])) {
    CopyText(storeText, size, "0");
    return true;
  }
  if (TextEquals(selectedText, words[ChoiceOptimal])) {
    CopyText(storeText, size, "-1");
    return true;
  }
  int32_t rate = ParseDecimal(selectedText);
  if (rate <= 40 || rate >= 180) rate = 60;
  FormatDecimal(storeText, size, rate);
  return true;
}

void WriteModeRow(Registry& reg, int32_t instance, int32_t depth,
                  const ModeRow& row, const ChoiceWords& words) {
  WriteModeText(reg, instance, depth, row.modeKey, row.choiceText, words);
}

void WriteDepthChoices(Registry& reg, const AdapterList& adapters,
                       int32_t depth, const ChoiceWords& words,
                       ChoiceSource& source, ModeTable* table) {
  for (int a = 0; a < kMaxAdapters && adapters.instances[a] != -1; ++a) {
    for (int i = 0; i < kModeRowCount; ++i) {
      ModeRow& row = table->rows[i];
      // The entry may be longer than the row's field: it is encoded whole
      // and only the copy kept in the row is cut.
      char selected[kModeValueBytes];
      if (source.SelectedText(i, selected, sizeof selected)) {
        selected[sizeof selected - 1] = 0;
        CopyText(row.choiceText, kChoiceTextChars, selected);
        WriteModeText(reg, adapters.instances[a], depth, row.modeKey, selected,
                      words);
      } else {
        WriteModeRow(reg, adapters.instances[a], depth, row, words);
      }
    }
  }
}

void WriteAllDepthChoices(Registry& reg, const AdapterList& adapters,
                          const ChoiceWords& words, ChoiceSource& source,
                          ModeTable* table) {
  for (int32_t depth : kLinkedDepths)
    WriteDepthChoices(reg, adapters, depth, words, source, table);
}

void WriteAdapterRefreshSetting(Registry& reg, const AdapterList& adapters,
                                AdapterRefreshSetting setting) {
  for (int a = 0; a < kMaxAdapters && adapters.instances[a] != -1; ++a) {
    char path[kPathChars];
    FormatDefaultKeyPath(path, sizeof path, adapters.instances[a]);
    RegKey key = 0;
    if (reg.OpenKey(kHkeyLocalMachine, path, kKeySetValue, &key) !=
        kErrorSuccess)
      continue;
    SetText(reg, key, kRefreshRateValue,
            setting == RefreshDefault ? "0" : "-1");
    reg.CloseKey(key);
  }
}

void LoadDialogPreferences(Registry& reg, int32_t* colorDepth,
                           int32_t* linkAllDepths) {
  *colorDepth = kDefaultColorDepth;
  *linkAllDepths = kDefaultLinkAllColorDepths;
  RegKey key = 0;
  if (reg.OpenKey(kHkeyLocalMachine, kProductKeyPath, kKeyQueryValue, &key) !=
      kErrorSuccess)
    return;
  char buffer[kPreferenceValueBytes];
  if (QueryText(reg, key, kValueColorDepth, buffer, sizeof buffer) ==
      kErrorSuccess)
    *colorDepth = ParseDecimal(buffer);
  if (QueryText(reg, key, kValueLinkAllColorDepths, buffer, sizeof buffer) ==
      kErrorSuccess)
    *linkAllDepths = ParseDecimal(buffer);
  reg.CloseKey(key);
}

void SaveDialogPreferences(Registry& reg, int32_t colorDepth,
                           int32_t linkAllDepths) {
  RegKey key = 0;
  if (reg.OpenKey(kHkeyLocalMachine, kProductKeyPath,
                  kKeySetValue | kKeyCreateSubKey, &key) != kErrorSuccess)
    return;
  SetDecimal(reg, key, kValueColorDepth, colorDepth);
  SetDecimal(reg, key, kValueLinkAllColorDepths, linkAllDepths);
  reg.CloseKey(key);
}

void SaveChoices(Registry& reg, const AdapterList& adapters, int32_t colorDepth,
                 int32_t linkAllDepths, AdapterRefreshSetting adapterSetting,
                 const ChoiceWords& words, ChoiceSource& source,
                 ModeTable* table) {
  SaveDialogPreferences(reg, colorDepth, linkAllDepths);
  WriteAdapterRefreshSetting(reg, adapters, adapterSetting);
  if (linkAllDepths != 0)
    WriteAllDepthChoices(reg, adapters, words, source, table);
  else
    WriteDepthChoices(reg, adapters, colorDepth, words, source, table);
}

void ForEachRateEntry(const char* rateList,
                      void (*add)(void* context, const char* entry),
                      void* context) {
  char work[kRateListChars];
  CopyText(work, sizeof work, rateList);
  char* start = work;
  for (char* p = work;; ++p) {
    if (*p == ',') {
      *p = 0;
      add(context, start);
      start = p + 1;
    } else if (*p == 0) {
      add(context, start);  // the last entry, even when empty
      return;
    }
  }
}

}  // namespace tachy
