// The installer's command line: FORCELANG(FRENCH|GERMAN), FORCE95, FORCE98,
// FORCENT4, FORCENT5, LOWERLIMIT(n), UPPERLIMIT(n).
//
// A keyword is searched as an exact, case-sensitive substring, first in
// capitals and only when that is absent in lower case; it counts anywhere,
// also inside a longer word. An argument is the text between the first "("
// after the keyword and the first ")" after that, as written.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "installer/state.h"

namespace tachy {

struct Keyword {
  const char* upper;  // "FORCE95"
  const char* lower;  // "force95"
};

extern const Keyword kKeywordForceLang;
extern const Keyword kKeywordForce95;
extern const Keyword kKeywordForce98;
extern const Keyword kKeywordForceNT4;
extern const Keyword kKeywordForceNT5;
extern const Keyword kKeywordLowerLimit;
extern const Keyword kKeywordUpperLimit;

// Size of the working copy that an argument is taken from; the copy is cut
// at its end (255 characters and the terminator).
constexpr size_t kOptionWorkingBytes = 256;

// The first occurrence of the keyword in the form that was found, or null.
// A null command line holds no keyword.
const char* FindKeyword(const char* commandLine, const Keyword& keyword);

// Copies the command line from the keyword's first occurrence into a
// 256-byte working buffer and takes the text between the first "(" and the
// first ")" after it. Returns false (and an empty `argument`) when the
// keyword or either parenthesis is missing. `argument` receives at most
// argumentSize-1 characters.
bool ScanOptionArgument(const char* commandLine, const Keyword& keyword,
                        char* argument, size_t argumentSize);

// FORCELANG: 12 for "FRENCH", 7 for "GERMAN" (either without regard to
// case), 9 for any other argument or none. Returns false when FORCELANG is
// not on the command line (the system language applies).
bool ForcedLanguage(const char* commandLine, uint16_t* language);

// The start-up language: FORCELANG's choice, else `systemLanguage`.
uint16_t StartupLanguage(const char* commandLine, uint16_t systemLanguage);

// FORCE95, FORCE98, FORCENT4, FORCENT5 in this order: a present option sets
// its whole row (the four flags, IsWin98 and PlatformKind), an absent one
// clears only its own flag. The last present one in this order wins.
void ApplyPlatformOptions(const char* commandLine, InstallerState* state);

// LOWERLIMIT, then UPPERLIMIT: an argument replaces the limit with its
// decimal value (the atoi rule); without one the limit stays.
void ApplyLimitOptions(const char* commandLine, InstallerState* state);

// LowerLimit into 100..140, UpperLimit into 200..240.
void ClampLimits(InstallerState* state);

}  // namespace tachy
