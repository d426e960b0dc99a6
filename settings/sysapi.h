// The few other platform services the core decides on: the Windows version,
// the system language, message boxes, and the kind of a drive. Thin Windows implementations live
// beside the windows that use them; tests use recording fakes.
#pragma once

#include <stdint.h>

namespace tachy {

constexpr uint32_t kVerPlatformWin32s = 0;
constexpr uint32_t kVerPlatformWin32Windows = 1;
constexpr uint32_t kVerPlatformWin32Nt = 2;

// What GetVersionExA reports (OSVERSIONINFOA, dwOSVersionInfoSize 148).
struct OsVersion {
  uint32_t majorVersion;
  uint32_t minorVersion;
  uint32_t buildNumber;  // on the 9x family the high word carries major.minor
  uint32_t platformId;
};

class SystemInfo {
 public:
  // GetVersionExA; false when the call fails.
  virtual bool GetVersion(OsVersion* version) = 0;
  // GetSystemDefaultLangID.
  virtual uint16_t GetSystemDefaultLangId() = 0;

 protected:
  ~SystemInfo() = default;
};

// Message box type bits used by the system.
constexpr uint32_t kMbOk = 0x00000000;
constexpr uint32_t kMbIconError = 0x00000010;

// An owner window, as the platform's HWND value (0 for none).
typedef uintptr_t WindowHandle;

class MessageSink {
 public:
  // MessageBoxA(owner, text, caption, type); returns the button pressed.
  virtual int Show(WindowHandle owner, const char* text, const char* caption,
                   uint32_t type) = 0;

 protected:
  ~MessageSink() = default;
};

// What GetDriveTypeA answers.
constexpr uint32_t kDriveUnknown = 0;
constexpr uint32_t kDriveNoRootDir = 1;
constexpr uint32_t kDriveRemovable = 2;
constexpr uint32_t kDriveFixed = 3;
constexpr uint32_t kDriveRemote = 4;
constexpr uint32_t kDriveCdrom = 5;
constexpr uint32_t kDriveRamdisk = 6;

class DriveInfo {
 public:
  // GetDriveTypeA(root), root as "A:\" or "\\server\share\".
  virtual uint32_t DriveType(const char* root) = 0;

 protected:
  ~DriveInfo() = default;
};

}  // namespace tachy
