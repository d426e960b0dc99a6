// The mode table of the refresh-rate dialog and its registry store.
//
// The Voodoo3 display driver keeps, per adapter, colour depth and resolution,
// a mode key under the display class:
//   HKLM\System\CurrentControlSet\Services\Class\Display\NNNN\MODES\bpp\w,h
// whose default value lists the rates the driver offers ("60,72,75") and
// whose "RefreshRate" holds the chosen one (absent = adapter's choice,
// "0" = driver default, "-1" = optimal, otherwise Hz). Each adapter's
// DEFAULT key holds the adapter-wide "RefreshRate" ("-1" = optimal).
//
// The store only opens keys, it never creates one: a mode the driver does
// not offer for an adapter and depth is simply skipped.
//
// Portable: no C runtime, no standard library.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "settings/platform.h"
#include "settings/regapi.h"

namespace tachy {

constexpr int kModeRowCount = 15;
constexpr size_t kModeKeyChars = 16;     // with terminator
constexpr size_t kRateListChars = 128;   // with terminator
constexpr size_t kChoiceTextChars = 16;  // with terminator
constexpr uint32_t kModeValueBytes = 256;       // mode and DEFAULT values
constexpr uint32_t kPreferenceValueBytes = 64;  // ColorDepth, LinkAllColorDepths
constexpr size_t kChoiceWordChars = 64;  // with terminator

// One resolution of the dialog.
struct ModeRow {
  char modeKey[kModeKeyChars];        // "640,480"; fixed
  char rateList[kRateListChars];      // default value of the mode key
  char choiceText[kChoiceTextChars];  // RefreshRate, or the list's selection
  int32_t keyExists;                  // 1 when the mode key opened on read
  int32_t listId;                     // drop-down list control; fixed
  int32_t labelId;                    // resolution label control; fixed
};

struct ModeTable {
  ModeRow rows[kModeRowCount];
};

// The fixed part of a row, in table order.
struct ModeRowSpec {
  const char* labelText;  // "640x480"
  const char* modeKey;    // "640,480"
  int32_t listId;
  int32_t labelId;
};
extern const ModeRowSpec kModeRowSpecs[kModeRowCount];

// The module's one table.
extern ModeTable gModeTable;

// Sets the fixed fields from kModeRowSpecs and empties the changing ones.
void InitModeTable(ModeTable* table);

// The adapter-wide refresh policy (DEFAULT\RefreshRate).
enum AdapterRefreshSetting : int32_t {
  RefreshDefault = 1,
  RefreshOptimal = 2,
};

// What a stored RefreshRate text shows: one of the three fixed entries at the
// top of every list, or a rate. The first three double as indexes into the
// choice words.
enum ChoiceKind : int32_t {
  ChoiceAdapter = 0,  // RefreshRate absent
  ChoiceDefault = 1,  // "0"
  ChoiceOptimal = 2,  // "-1"
  ChoiceRate = 3,     // the text itself
};

// The three fixed words in the current language: Adapter, Default, Optimal.
typedef char ChoiceWords[3][kChoiceWordChars];

// Hands the store the text of the entry selected in a row's list. Returns
// false when the list has no selected entry. Asked again for every adapter.
class ChoiceSource {
 public:
  virtual bool SelectedText(int row, char* buf, size_t size) = 0;

 protected:
  ~ChoiceSource() = default;
};

// Key paths below HKEY_LOCAL_MACHINE.
void FormatModeKeyPath(char* dest, size_t size, int32_t instance, int32_t depth,
                       const char* modeKey);
void FormatDefaultKeyPath(char* dest, size_t size, int32_t instance);

// Fills the row's rateList, choiceText and keyExists from the mode key.
// A rate list longer than the field is cut after its last whole entry that
// fits; a longer RefreshRate is cut to the field.
void ReadModeRow(Registry& reg, int32_t instance, int32_t depth, ModeRow* row);

// Marks the row absent: keyExists 0, empty texts (used without any adapter).
void ClearModeRow(ModeRow* row);

// Sets *setting from the DEFAULT key's RefreshRate; unchanged when the key
// cannot be opened.
void ReadAdapterRefreshSetting(Registry& reg, int32_t instance,
                               AdapterRefreshSetting* setting);

// The kind of entry a stored text shows.
ChoiceKind DecodeChoice(const char* choiceText);

// The text the row's list is searched for: the matching choice word, or the
// stored text itself.
const char* ChoiceSearchText(const char* choiceText, const ChoiceWords& words);

// Maps a selected text to what is stored. Returns false when RefreshRate is
// to be deleted; otherwise the text to store is in storeText.
bool EncodeChoice(const char* selectedText, const ChoiceWords& words,
                  char* storeText, size_t size);

// Stores the row's choiceText in the adapter's mode key (only if it exists).
void WriteModeRow(Registry& reg, int32_t instance, int32_t depth,
                  const ModeRow& row, const ChoiceWords& words);

// For every adapter and row: fetch the row's selection into choiceText, then
// WriteModeRow.
void WriteDepthChoices(Registry& reg, const AdapterList& adapters,
                       int32_t depth, const ChoiceWords& words,
                       ChoiceSource& source, ModeTable* table);

// WriteDepthChoices for depths 8, 16, 24 and 32.
void WriteAllDepthChoices(Registry& reg, const AdapterList& adapters,
                          const ChoiceWords& words, ChoiceSource& source,
                          ModeTable* table);

// Every adapter's DEFAULT\RefreshRate: "0" for RefreshDefault, "-1" else.
void WriteAdapterRefreshSetting(Registry& reg, const AdapterList& adapters,
                                AdapterRefreshSetting setting);

// ColorDepth (default 8) and LinkAllColorDepths (default 0) from the product
// key; SaveDialogPreferences writes both, only when the key exists.
void LoadDialogPreferences(Registry& reg, int32_t* colorDepth,
                           int32_t* linkAllDepths);
void SaveDialogPreferences(Registry& reg, int32_t colorDepth,
                           int32_t linkAllDepths);

// The write sequence of Save and OK: preferences, adapter setting, then the
// rows at the shown depth, or at all four depths when linked.
void SaveChoices(Registry& reg, const AdapterList& adapters, int32_t colorDepth,
                 int32_t linkAllDepths, AdapterRefreshSetting adapterSetting,
                 const ChoiceWords& words, ChoiceSource& source,
                 ModeTable* table);

// Splits a rate list at its commas and hands each entry to `add`, the text
// after the last comma included even when empty (so "" gives one empty
// entry). Nothing is trimmed. Entries longer than the work buffer are cut.
void ForEachRateEntry(const char* rateList,
                      void (*add)(void* context, const char* entry),
                      void* context);

}  // namespace tachy
