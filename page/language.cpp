// Language choice and the settings page's layout tables.
#include "page/language.h"

namespace tachy {

void ResetLanguageState(LanguageState* state) {
  state->cycleRequested = 0;
  state->cycleLanguage = kLangEnglish;
  state->stringBase = 0;
}

uint16_t PickLanguage(LanguageState* state, uint16_t systemLangId) {
  uint16_t language = static_cast<uint16_t>(systemLangId & 0x3FF);
  if (state->cycleRequested) {
    state->cycleRequested = 0;
    switch (state->cycleLanguage) {
      case kLangEnglish: state->cycleLanguage = kLangFrench; break;
      case kLangFrench: state->cycleLanguage = kLangGerman; break;
      case kLangGerman: state->cycleLanguage = kLangEnglish; break;
      default: break;  // not reachable from a reset state: left as it is
    }
    language = state->cycleLanguage;
  }
  return language;
}

uint16_t PickLanguage(LanguageState* state, SystemInfo& sys) {
  return PickLanguage(state, sys.GetSystemDefaultLangId());
}

int32_t StringBaseFor(uint16_t language) {
  if (language == kLangGerman) return kGermanStringBase;
  if (language == kLangFrench) return kFrenchStringBase;
  return 0;
}

int32_t ApplyFailedStringFor(int32_t stringBase) {
  if (stringBase == kGermanStringBase) return kStrApplyFailedGerman;
  if (stringBase == kFrenchStringBase) return kStrApplyFailedFrench;
  return kStrApplyFailedEnglish;
}

const ControlLayoutRow kPageLayoutEnglish[kPageLayoutRows] = {
    {1062, 9, 10, 236, 201},   {1055, 18, 25, 218, 42},
    {1006, 27, 38, 205, 10},   {1007, 27, 51, 205, 10},
    {1056, 18, 78, 218, 60},   {1009, 27, 91, 130, 10},
    {1005, 190, 91, 19, 10},   {1010, 211, 91, 19, 10},
    {1001, 24, 103, 207, 20},  {1004, 23, 125, 19, 8},
    {1027, 44, 125, 167, 8},   {1003, 212, 125, 19, 8},
    {1057, 17, 149, 44, 8},    {1008, 64, 149, 54, 8},
    {1002, 22, 160, 90, 15},   {1026, 22, 178, 90, 15},
    {1058, 132, 148, 104, 44}, {1052, 137, 158, 95, 9},
    {1053, 137, 168, 95, 9},   {1054, 137, 178, 95, 9},
};

const ControlLayoutRow kPageLayoutOther[kPageLayoutRows] = {
    {1062, 4, 10, 246, 201},   {1055, 10, 25, 234, 42},
    {1006, 17, 38, 224, 10},   {1007, 17, 51, 224, 10},
    {1056, 10, 78, 234, 60},   {1009, 17, 91, 172, 10},
    {1005, 197, 91, 19, 10},   {1010, 218, 91, 19, 10},
    {1001, 14, 103, 225, 20},  {1004, 14, 125, 18, 8},
    {1027, 34, 125, 185, 8},   {1003, 221, 125, 18, 8},
    {1057, 15, 149, 48, 8},    {1008, 66, 149, 58, 8},
    {1002, 22, 160, 91, 15},   {1026, 22, 178, 91, 15},
    {1058, 138, 148, 106, 44}, {1052, 143, 158, 95, 9},
    {1053, 143, 168, 95, 9},   {1054, 143, 178, 95, 9},
};

const ControlLayoutRow* PageLayoutFor(uint16_t language) {
  return UsesEnglishLayout(language) ? kPageLayoutEnglish : kPageLayoutOther;
}

}  // namespace tachy
