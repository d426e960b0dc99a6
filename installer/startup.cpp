#include "installer/startup.h"

#include "installer/options.h"
#include "installer/platform_detect.h"
#include "installer/strings.h"
#include "settings/product_key.h"
#include "settings/text.h"

namespace tachy {

void InitInstallerState(InstallerState* state) {
  // No C runtime: clear field by field through a byte loop.
  unsigned char* bytes = reinterpret_cast<unsigned char*>(state);
  for (size_t i = 0; i < sizeof *state; ++i) bytes[i] = 0;
  state->PlatformKind = kPlatform9x;
  state->LowerLimit = kDefaultLowerLimit;
  state->UpperLimit = kDefaultUpperLimit;
  ClearAdapterList(&state->AdapterList);
  state->language.cycleRequested = 0;
  state->language.cycleLanguage = kInstLangEnglish;
  state->language.stringBase = 0;
}

int32_t InstallerStringBase(uint16_t language) {
  if (language == kInstLangGerman) return 2 * kInstallerBlockSize;
  if (language == kInstLangFrench) return kInstallerBlockSize;
  return 0;
}

int32_t FailureStringId(int32_t stringBase, ActionFailure which) {
  int32_t block = stringBase / kInstallerBlockSize;
  if (block < 0 || block > 2) block = 0;
  if (which == kRemovableSource) return kRemovableSourceFirstId + block;
  return kFailureStringFirstId + 2 * block + which;
}

void SelectLanguage(InstallerState* state, uint16_t language) {
  state->language.stringBase = InstallerStringBase(language);
}

uint16_t SystemLanguage(SystemInfo& sys) {
  return static_cast<uint16_t>(sys.GetSystemDefaultLangId() & 0x3FF);
}

uint16_t PickDialogLanguage(InstallerState* state, uint16_t systemLanguage) {
  uint16_t language = systemLanguage;
  InstallerState::LanguageState& ls = state->language;
  if (ls.cycleRequested == 1) {
    ls.cycleRequested = 0;
    if (ls.cycleLanguage == kInstLangEnglish) {
      ls.cycleLanguage = kInstLangFrench;
    } else if (ls.cycleLanguage == kInstLangFrench) {
      ls.cycleLanguage = kInstLangGerman;
    } else if (ls.cycleLanguage == kInstLangGerman) {
      ls.cycleLanguage = kInstLangEnglish;
    }
    language = ls.cycleLanguage;
  }
  return language;
}

bool BuildPageModulePath(const char* ownPath, const char* fileName,
                         char* out, size_t size) {
  if (!out || size == 0) return false;
  out[0] = 0;
  if (!ownPath || !*ownPath || !fileName) return false;

  // Drive and directory: everything up to the last separator (or the drive
  // colon when there is no separator).
  size_t dirLength = 0;
  for (size_t i = 0; ownPath[i]; ++i) {
    char c = ownPath[i];
    if (c == '\\' || c == '/' || c == ':') dirLength = i + 1;
  }
  // Base name and extension of the module's file name.
  const char* name = fileName;
  for (const char* p = fileName; *p; ++p) {
    if (*p == '\\' || *p == '/' || *p == ':') name = p + 1;
  }
  size_t nameLength = TextLength(name);
  if (nameLength == 0 || dirLength + nameLength + 1 > size) return false;

  for (size_t i = 0; i < dirLength; ++i) out[i] = ownPath[i];
  CopyText(out + dirLength, size - dirLength, name);
  return true;
}

bool DriveRootOf(const char* path, char* root, size_t size) {
  if (!root || size == 0) return false;
  root[0] = 0;
  if (!path) return false;
  auto separator = [](char c) { return c == '\\' || c == '/'; };
  size_t length = 0;  // of the root without its closing backslash
  if (path[0] && path[1] == ':') {
    length = 2;
  } else if (separator(path[0]) && separator(path[1])) {
    // \\server\share: up to the separator after the share name.
    int separators = 0;
    for (length = 2; path[length]; ++length) {
      if (separator(path[length]) && ++separators == 2) break;
    }
    if (separators != 2) return false;
  } else {
    return false;
  }
  if (length + 2 > size) return false;
  for (size_t i = 0; i < length; ++i) root[i] = path[i];
  root[length] = '\\';
  root[length + 1] = 0;
  return true;
}

void CheckInstallSource(DriveInfo& drives, InstallerState* state) {
  char root[sizeof state->InstallerPath];
  uint32_t type = DriveRootOf(state->InstallerPath, root, sizeof root)
                      ? drives.DriveType(root)
                      : kDriveUnknown;
  state->RemovableSource =
      type == kDriveRemovable || type == kDriveCdrom || type == kDriveRamdisk;
}

void PrepareInstallerState(Registry& reg, SystemInfo& sys,
                           const char* commandLine, InstallerState* state) {
  DetectInstallerPlatform(sys, state);
  ApplyPlatformOptions(commandLine, state);
  ClearAdapterList(&state->AdapterList);
  if (state->PlatformKind == kPlatform9x) {
    BuildAdapterList(reg, &state->AdapterList, kKeyRead, 256);
  }
  ApplyLimitOptions(commandLine, state);
  ClampLimits(state);
}

void FormatVersionLine(char* out, size_t size, const char* prefix,
                       uint32_t fileVersionMS, const char* suffix) {
  FormatText(out, size, "%s%d.%d%s", prefix ? prefix : "",
             static_cast<int>(fileVersionMS >> 16),
             static_cast<int>(fileVersionMS & 0xFFFFu), suffix ? suffix : "");
}

void CentredOrigin(int32_t w, int32_t h, int32_t cx, int32_t cy, int32_t* x,
                   int32_t* y) {
  *x = (cx - w) / 2;
  *y = (cy - h) / 2;
}

}  // namespace tachy
