// The installer's command line, of any length and bytes, through every option
// rule; argument and path buffers of any size.
#include "fuzz_support.h"
#include "installer/options.h"
#include "installer/startup.h"
#include "installer/state.h"

using namespace tachy;
using fuzz::Require;

namespace {

// The platform options are kKeywords[1..4], in the order of their flags.
const Keyword* const kKeywords[] = {&kKeywordForceLang, &kKeywordForce95, &kKeywordForce98,
                                    &kKeywordForceNT4,  &kKeywordForceNT5, &kKeywordLowerLimit,
                                    &kKeywordUpperLimit};

// Command lines made of option words, parentheses, arguments and noise, or
// any bytes.
std::string CommandLine(FuzzedDataProvider& fdp) {
  if (fdp.ConsumeBool()) return fuzz::Text(fdp, 3000);
  static const char* const kPieces[] = {
      "FORCELANG", "forcelang", "ForceLang", "FORCE95", "force95", "FORCE98", "force98",
      "FORCENT4", "forcent4", "FORCENT5", "forcent5", "LOWERLIMIT", "lowerlimit",
      "UPPERLIMIT", "upperlimit", "(", ")", " ", "  ", "FRENCH", "french", "GERMAN",
      "German", "SPANISH", " FRENCH", "90", "150", "-5", "x", "+110", "2147483648",
      "\t", "\"", "/", "-"};
  std::string line;
  int pieces = fdp.ConsumeIntegralInRange<int>(0, 40);
  for (int i = 0; i < pieces; ++i) {
    if (fdp.ConsumeIntegralInRange<int>(0, 5) == 0)
      line += fuzz::Text(fdp, 300);
    else
      line += fdp.PickValueInArray(kPieces);
  }
  return line;
}

size_t FindReference(const std::string& line, const Keyword& k) {
  size_t at = line.find(k.upper);
  return at != std::string::npos ? at : line.find(k.lower);
}

// The argument as the rule reads it: from the keyword, cut to 255
// characters, between the first "(" and the first ")" after it.
bool ArgumentReference(const std::string& line, const Keyword& k, std::string* argument) {
  argument->clear();
  size_t at = FindReference(line, k);
  if (at == std::string::npos) return false;
  std::string work = line.substr(at, kOptionWorkingBytes - 1);
  const size_t open = work.find('(');
  const size_t close = open == std::string::npos ? open : work.find(')', open + 1);
  if (close == std::string::npos) return false;
  *argument = work.substr(open + 1, close - open - 1);
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider fdp(data, size);
  const std::string line = CommandLine(fdp);
  const char* text = line.c_str();

  for (const Keyword* k : kKeywords) {
    size_t at = FindReference(line, *k);
    const char* found = FindKeyword(text, *k);
    Require(at == std::string::npos ? found == nullptr : found == text + at,
            std::string("FindKeyword ") + k->upper);

    std::string expected;
    bool expectFound = ArgumentReference(line, *k, &expected);
    fuzz::Buffer argument(fdp.ConsumeIntegralInRange<size_t>(1, 300), '#');
    bool got = ScanOptionArgument(text, *k, argument.data.get(), argument.size);
    Require(got == expectFound, std::string("ScanOptionArgument found ") + k->upper);
    Require(fault::Terminated(argument.data.get(), argument.size), "argument not terminated");
    Require(expected.substr(0, argument.size - 1) == argument.data.get(),
            std::string("ScanOptionArgument argument of ") + k->upper);
    Require(ScanOptionArgument(text, *k, nullptr, 0) == expectFound,
            "ScanOptionArgument without a buffer");
  }

  std::string argument;
  uint16_t language = 0x1234;
  bool forced = ForcedLanguage(text, &language);
  Require(forced == (FindReference(line, kKeywordForceLang) != std::string::npos),
          "FORCELANG presence");
  ArgumentReference(line, kKeywordForceLang, &argument);  // empty when there is none
  std::string word = argument;
  for (char& c : word)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  Require(language == (!forced ? 0x1234 : word == "FRENCH" ? 12 : word == "GERMAN" ? 7 : 9),
          "FORCELANG language (none: unchanged)");
  uint16_t system = fdp.ConsumeIntegral<uint16_t>();
  Require(StartupLanguage(text, system) == (forced ? language : system), "start-up language");

  // Platform options on any earlier state.
  InstallerState state;
  InitInstallerState(&state);
  state.PlatformKind = fdp.ConsumeIntegralInRange<int32_t>(1, 3);
  state.IsWin98 = fdp.ConsumeBool();
  state.Force95 = state.Force98 = state.ForceNT4 = state.ForceNT5 = 1;
  const PlatformKind kindBefore = state.PlatformKind;
  const int32_t win98Before = state.IsWin98;
  ApplyPlatformOptions(text, &state);
  int last = -1;
  for (int i = 0; i < 4; ++i)
    if (FindReference(line, *kKeywords[1 + i]) != std::string::npos) last = i;
  int32_t flags[4] = {state.Force95, state.Force98, state.ForceNT4, state.ForceNT5};
  for (int i = 0; i < 4; ++i)
    Require(flags[i] == (i == last ? 1 : 0), "platform flags: only the last option wins");
  static const PlatformKind kKinds[] = {1, 1, 2, 3};
  Require(state.PlatformKind == (last < 0 ? kindBefore : kKinds[last]) &&
              state.IsWin98 == (last < 0 ? win98Before : last == 1 ? 1 : 0),
          "platform and IsWin98: unchanged without an option, else the winning option's");

  ApplyLimitOptions(text, &state);
  int32_t lower = ArgumentReference(line, kKeywordLowerLimit, &argument)
                      ? ParseDecimal(argument.c_str()) : 120;
  int32_t upper = ArgumentReference(line, kKeywordUpperLimit, &argument)
                      ? ParseDecimal(argument.c_str()) : 220;
  Require(state.LowerLimit == lower && state.UpperLimit == upper, "limit options");
  ClampLimits(&state);
  Require(state.LowerLimit == (lower < 100 ? 100 : lower > 140 ? 140 : lower), "LowerLimit clamp");
  Require(state.UpperLimit == (upper < 200 ? 200 : upper > 240 ? 240 : upper), "UpperLimit clamp");

  // The page module's path from the installer's own path, into buffers of
  // any size: drive and directory of the one, file name of the other.
  const std::string own = fuzz::Text(fdp, 400);
  const std::string file = fdp.ConsumeBool() ? std::string("TACHPAGE.DLL") : fuzz::Text(fdp, 40);
  auto afterSeparator = [](const std::string& p) {
    size_t at = p.find_last_of("\\/:");
    return at == std::string::npos ? 0 : at + 1;
  };
  const std::string dir = own.substr(0, afterSeparator(own));
  const std::string name = file.substr(afterSeparator(file));
  fuzz::Buffer path(fdp.ConsumeIntegralInRange<size_t>(1, 300), '#');
  const bool built = BuildPageModulePath(own.c_str(), file.c_str(), path.data.get(), path.size);
  Require(fault::Terminated(path.data.get(), path.size), "module path not terminated");
  const bool fits = !own.empty() && !name.empty() && dir.size() + name.size() < path.size;
  Require(built == fits, "BuildPageModulePath result");
  Require(std::string(path.data.get()) == (fits ? dir + name : std::string()), "module path text");

  // The version line of the Select Model dialog.
  const std::string prefix = fuzz::Text(fdp, 80), suffix = fuzz::Text(fdp, 80);
  const uint32_t ms = fdp.ConsumeIntegral<uint32_t>();
  fuzz::Buffer version(fdp.ConsumeIntegralInRange<size_t>(1, 200), '#');
  FormatVersionLine(version.data.get(), version.size, prefix.c_str(), ms, suffix.c_str());
  const std::string full =
      prefix + std::to_string(ms >> 16) + "." + std::to_string(ms & 0xFFFF) + suffix;
  Require(full.substr(0, version.size - 1) == version.data.get(), "version line");
  return 0;
}
