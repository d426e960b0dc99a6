// The real system services: GetVersionExA, GetSystemDefaultLangID and
// MessageBoxA behind the SystemInfo and MessageSink interfaces.
#pragma once

#include "settings/sysapi.h"

namespace tachy {

class Win32SystemInfo : public SystemInfo {
 public:
  constexpr Win32SystemInfo() = default;
  bool GetVersion(OsVersion* version) override;
  uint16_t GetSystemDefaultLangId() override;
};

class Win32MessageSink : public MessageSink {
 public:
  constexpr Win32MessageSink() = default;
  int Show(WindowHandle owner, const char* text, const char* caption,
           uint32_t type) override;
};

// The process's instances (plain static data, no constructor runs).
SystemInfo& SystemInformation();
MessageSink& SystemMessages();

}  // namespace tachy
