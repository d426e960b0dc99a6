// Small fakes of the system services for native tests.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

#include "settings/sysapi.h"

namespace tachy {

// GetVersionExA and GetSystemDefaultLangID with settable answers.
class FakeSystemInfo : public SystemInfo {
 public:
  OsVersion version{4, 0, 1381, kVerPlatformWin32Nt};
  bool versionFails = false;
  uint16_t languageId = 0x0409;  // English (United States)
  int versionCalls = 0;

  static FakeSystemInfo Windows98() {
    FakeSystemInfo s;
    s.version = OsVersion{4, 10, 0x040A07CEu, kVerPlatformWin32Windows};
    return s;
  }
  static FakeSystemInfo NT(uint32_t major, uint32_t minor = 0) {
    FakeSystemInfo s;
    s.version = OsVersion{major, minor, 1381, kVerPlatformWin32Nt};
    return s;
  }

  bool GetVersion(OsVersion* out) override {
    ++versionCalls;
    if (versionFails) return false;
    *out = version;
    return true;
  }
  uint16_t GetSystemDefaultLangId() override { return languageId; }
};

// Records every message box and answers IDOK.
class RecordingMessageSink : public MessageSink {
 public:
  struct Message {
    WindowHandle owner;
    std::string text;
    std::string caption;
    uint32_t type;
  };
  std::vector<Message> messages;

  int Show(WindowHandle owner, const char* text, const char* caption,
           uint32_t type) override {
    messages.push_back(Message{owner, text ? text : "", caption ? caption : "",
                               type});
    return 1;  // IDOK
  }
};

}  // namespace tachy
