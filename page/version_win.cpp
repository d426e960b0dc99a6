// The About box's version line: the module's file version between a prefix
// and a suffix.
#include "page/page_win.h"

#include "settings/text.h"

namespace tachy {

bool ReadModuleVersion(const char* path, DWORD* mostSignificant,
                       DWORD* leastSignificant) {
  DWORD handle = 0;
  const DWORD size = GetFileVersionInfoSizeA(path, &handle);
  if (size == 0) return false;
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, size);
  if (!block) return false;
  void* data = GlobalLock(block);
  if (!data) {
    GlobalFree(block);
    return false;
  }
  bool ok = false;
  VS_FIXEDFILEINFO* info = nullptr;
  UINT infoSize = 0;
  char root[] = "\\";
  if (GetFileVersionInfoA(path, handle, size, data) &&
      VerQueryValueA(data, root, reinterpret_cast<void**>(&info), &infoSize) &&
      info && infoSize >= sizeof(VS_FIXEDFILEINFO)) {
    *mostSignificant = info->dwFileVersionMS;
    *leastSignificant = info->dwFileVersionLS;
    ok = true;
  }
  GlobalUnlock(block);
  GlobalFree(block);
  return ok;
}

void SetVersionLine(HINSTANCE instance, HWND control, const char* prefix,
                    const char* suffix) {
  DWORD mostSignificant = 0;
  DWORD leastSignificant = 0;
  char line[64];
  line[0] = '\0';
  char path[260];
  if (GetModuleFileNameA(instance, path, sizeof path) != 0) {
    path[sizeof path - 1] = '\0';
    ReadModuleVersion(path, &mostSignificant, &leastSignificant);
    char version[32];
    FormatText(version, sizeof version, "%d.%d",
               static_cast<int>(HIWORD(mostSignificant)),
               static_cast<int>(LOWORD(mostSignificant)));
    if (prefix) CopyText(line, sizeof line, prefix);
    AppendText(line, sizeof line, version);
    if (suffix) AppendText(line, sizeof line, suffix);
  }
  SetWindowTextA(control, line);
}

}  // namespace tachy
