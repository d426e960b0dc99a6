#include "settings/win32system_win.h"

#include <windows.h>

namespace tachy {

namespace {

// Stateless: constants, so that they need no initialised writable data.
const Win32SystemInfo systemInfo;
const Win32MessageSink systemMessages;

}  // namespace

bool Win32SystemInfo::GetVersion(OsVersion* version) {
  OSVERSIONINFOA info = {};
  info.dwOSVersionInfoSize = sizeof info;  // 148, what Windows 95 knows
  if (!GetVersionExA(&info)) return false;
  if (version) {
    version->majorVersion = info.dwMajorVersion;
    version->minorVersion = info.dwMinorVersion;
    version->buildNumber = info.dwBuildNumber;
    version->platformId = info.dwPlatformId;
  }
  return true;
}

uint16_t Win32SystemInfo::GetSystemDefaultLangId() {
  return GetSystemDefaultLangID();
}

int Win32MessageSink::Show(WindowHandle owner, const char* text,
                           const char* caption, uint32_t type) {
  return MessageBoxA(reinterpret_cast<HWND>(owner), text, caption, type);
}

SystemInfo& SystemInformation() {
  return const_cast<Win32SystemInfo&>(systemInfo);
}
MessageSink& SystemMessages() {
  return const_cast<Win32MessageSink&>(systemMessages);
}

}  // namespace tachy
