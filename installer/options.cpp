#include "installer/options.h"

#include "settings/product_key.h"
#include "settings/text.h"

namespace tachy {

const Keyword kKeywordForceLang = {"FORCELANG", "forcelang"};
const Keyword kKeywordForce95 = {"FORCE95", "force95"};
const Keyword kKeywordForce98 = {"FORCE98", "force98"};
const Keyword kKeywordForceNT4 = {"FORCENT4", "forcent4"};
const Keyword kKeywordForceNT5 = {"FORCENT5", "forcent5"};
const Keyword kKeywordLowerLimit = {"LOWERLIMIT", "lowerlimit"};
const Keyword kKeywordUpperLimit = {"UPPERLIMIT", "upperlimit"};

const char* FindKeyword(const char* commandLine, const Keyword& keyword) {
  if (!commandLine) return nullptr;
  const char* found = FindText(commandLine, keyword.upper);
  if (!found) found = FindText(commandLine, keyword.lower);
  return found;
}

bool ScanOptionArgument(const char* commandLine, const Keyword& keyword,
                        char* argument, size_t argumentSize) {
  if (argument && argumentSize > 0) argument[0] = 0;
  const char* start = FindKeyword(commandLine, keyword);
  if (!start) return false;

  char work[kOptionWorkingBytes];
  CopyText(work, sizeof work, start);

  char* open = const_cast<char*>(FindChar(work, '('));
  if (!open) return false;
  char* close = const_cast<char*>(FindChar(open + 1, ')'));
  if (!close) return false;
  *close = 0;
  if (argument) CopyText(argument, argumentSize, open + 1);
  return true;
}

bool ForcedLanguage(const char* commandLine, uint16_t* language) {
  if (!FindKeyword(commandLine, kKeywordForceLang)) return false;
  char argument[kOptionWorkingBytes];
  uint16_t chosen = kInstLangEnglish;
  if (ScanOptionArgument(commandLine, kKeywordForceLang, argument,
                         sizeof argument)) {
    if (TextEqualsNoCase(argument, "FRENCH")) {
      chosen = kInstLangFrench;
    } else if (TextEqualsNoCase(argument, "GERMAN")) {
      chosen = kInstLangGerman;
    }
  }
  if (language) *language = chosen;
  return true;
}

uint16_t StartupLanguage(const char* commandLine, uint16_t systemLanguage) {
  uint16_t language = systemLanguage;
  ForcedLanguage(commandLine, &language);
  return language;
}

namespace {

struct PlatformRow {
  const Keyword* keyword;
  int32_t InstallerState::*ownFlag;
  int32_t force95, force98, forceNT4, forceNT5, isWin98;
  PlatformKind kind;
};

const PlatformRow kPlatformRows[] = {
    {&kKeywordForce95, &InstallerState::Force95, 1, 0, 0, 0, 0, kPlatform9x},
    {&kKeywordForce98, &InstallerState::Force98, 0, 1, 0, 0, 1, kPlatform9x},
    {&kKeywordForceNT4, &InstallerState::ForceNT4, 0, 0, 1, 0, 0, kPlatformNT4},
    {&kKeywordForceNT5, &InstallerState::ForceNT5, 0, 0, 0, 1, 0, kPlatformNT5},
};

}  // namespace

void ApplyPlatformOptions(const char* commandLine, InstallerState* state) {
  for (const PlatformRow& row : kPlatformRows) {
    if (!FindKeyword(commandLine, *row.keyword)) {
      state->*row.ownFlag = 0;
      continue;
    }
    state->Force95 = row.force95;
    state->Force98 = row.force98;
    state->ForceNT4 = row.forceNT4;
    state->ForceNT5 = row.forceNT5;
    state->IsWin98 = row.isWin98;
    state->PlatformKind = row.kind;
  }
}

void ApplyLimitOptions(const char* commandLine, InstallerState* state) {
  char argument[kOptionWorkingBytes];
  if (ScanOptionArgument(commandLine, kKeywordLowerLimit, argument,
                         sizeof argument)) {
    state->LowerLimit = ParseDecimal(argument);
  }
  if (ScanOptionArgument(commandLine, kKeywordUpperLimit, argument,
                         sizeof argument)) {
    state->UpperLimit = ParseDecimal(argument);
  }
}

void ClampLimits(InstallerState* state) {
  if (state->LowerLimit < kLowerLimitMin) {
    state->LowerLimit = kLowerLimitMin;
  } else if (state->LowerLimit > kLowerLimitMax) {
    state->LowerLimit = kLowerLimitMax;
  }
  if (state->UpperLimit < kUpperLimitMin) {
    state->UpperLimit = kUpperLimitMin;
  } else if (state->UpperLimit > kUpperLimitMax) {
    state->UpperLimit = kUpperLimitMax;
  }
}

}  // namespace tachy
