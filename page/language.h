// Language choice shared by the settings page and the refresh-rate dialog.
//
// All three languages lie side by side in the page module's string table,
// in blocks of 39 strings: ids 1..39 English, 40..78 French, 79..117
// German. A window picks a block by its string base and reads index n as
// string id stringBase + n. Each window also carries two tables of control
// rectangles (English, and every other language) and moves its controls by
// one of them before it sets the texts.
//
// Portable: no Windows header, no runtime.
#pragma once

#include <stdint.h>

#include "settings/sysapi.h"

namespace tachy {

// Primary language ids (GetSystemDefaultLangID() AND 0x3FF).
constexpr uint16_t kLangEnglish = 9;
constexpr uint16_t kLangFrench = 12;
constexpr uint16_t kLangGerman = 7;

constexpr int32_t kStringsPerLanguage = 39;
constexpr int32_t kFrenchStringBase = 39;
constexpr int32_t kGermanStringBase = 78;

// One per window (page, each refresh-rate dialog). The owner calls
// ResetLanguageState in its dialog initialisation before the first
// language application, so every opening starts in the system language.
struct LanguageState {
  int32_t cycleRequested;   // the next PickLanguage advances the cycle
  uint16_t cycleLanguage;   // 9 -> 12 -> 7 -> 9 ...; starts at 9
  int32_t stringBase;       // 0, 39 or 78
};

// cycleRequested 0, cycleLanguage 9, stringBase 0.
void ResetLanguageState(LanguageState* state);

// The language to use now. `systemLangId` is GetSystemDefaultLangID() as
// the system reports it (sublanguage bits included). Without a request the
// system's primary language is returned and the cycle is left alone; with
// one, the request is cleared, the cycle advances one step (9 -> 12 -> 7 ->
// 9) and the new cycle position is returned.
uint16_t PickLanguage(LanguageState* state, uint16_t systemLangId);
uint16_t PickLanguage(LanguageState* state, SystemInfo& sys);

// 78 for German (7), 39 for French (12), 0 for every other id.
int32_t StringBaseFor(uint16_t language);

// True when the English layout table applies (language 9 only; every other
// language, also one that falls back to the English texts, uses the wider
// other-language table).
inline bool UsesEnglishLayout(uint16_t language) {
  return language == kLangEnglish;
}

// One row of a ControlLayoutTable: a control id and its rectangle in
// dialog units of the owner's dialog font.
struct ControlLayoutRow {
  int32_t id;
  int32_t x;
  int32_t y;
  int32_t width;
  int32_t height;
};

// The settings page's two tables, 20 rows each, in the order the controls
// are moved. The English table equals the rectangles of template 501.
constexpr int kPageLayoutRows = 20;
extern const ControlLayoutRow kPageLayoutEnglish[kPageLayoutRows];
extern const ControlLayoutRow kPageLayoutOther[kPageLayoutRows];

// The page table for a language (English for 9, the other table else).
const ControlLayoutRow* PageLayoutFor(uint16_t language);

// String indexes within a block (add stringBase for the id).
enum PageStringIndex : int32_t {
  kStrTabCaption = 1,       // loaded only as id 1 in every language
  kStrVersionPrefix = 20,
  kStrVersionSuffix = 21,
};

// The failed-Apply message, one id per language, after the 117 strings of
// the three blocks.
constexpr int32_t kStrApplyFailedEnglish = 118;
constexpr int32_t kStrApplyFailedFrench = 119;
constexpr int32_t kStrApplyFailedGerman = 120;
int32_t ApplyFailedStringFor(int32_t stringBase);

}  // namespace tachy
