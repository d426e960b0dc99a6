// Small fakes of the system services for native tests, and the registry
// paths and read-back checks the settings, page and refresh tests share.
#pragma once

#include <gtest/gtest.h>
#include <stdint.h>

#include <cstdio>
#include <string>
#include <vector>

#include "settings/memreg.h"
#include "settings/sysapi.h"

namespace tachy {

// GetVersionExA and GetSystemDefaultLangID with settable answers.
class FakeSystemInfo : public SystemInfo {
 public:
  OsVersion version{4, 0, 1381, kVerPlatformWin32Nt};
  bool versionFails = false;
  uint16_t languageId = 0x0409;  // English (United States)
  int versionCalls = 0;

  static FakeSystemInfo With(OsVersion v) {
    FakeSystemInfo s;
    s.version = v;
    return s;
  }
  static FakeSystemInfo Windows98() {
    return With(OsVersion{4, 10, 0x040A07CEu, kVerPlatformWin32Windows});
  }
  static FakeSystemInfo NT(uint32_t major, uint32_t minor = 0) {
    return With(OsVersion{major, minor, 1381, kVerPlatformWin32Nt});
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
    std::string text, caption;
    uint32_t type;
  };
  std::vector<Message> messages;

  int Show(WindowHandle owner, const char* text, const char* caption, uint32_t type) override {
    messages.push_back(Message{owner, text ? text : "", caption ? caption : "", type});
    return 1;  // IDOK
  }
};

// Not found by argument-dependent lookup: files with helpers of their own
// under the same names are not disturbed.
namespace regtest {

const char kProduct[] = "HKLM\\Software\\Tachymark";

// HKLM\System\CurrentControlSet\Services\Class\Display\NNNN and a suffix.
inline std::string DisplayKey(int n, const std::string& suffix = "") {
  char digits[8];
  snprintf(digits, sizeof digits, "%04d", n);
  return "HKLM\\System\\CurrentControlSet\\Services\\Class\\Display\\" +
         std::string(digits) + suffix;
}

// A REG_SZ whose data is the text and its terminator.
inline void ExpectSz(const MemoryRegistry& reg, const std::string& path, const char* name,
                     const std::string& text) {
  MemoryRegistry::Value v;
  ASSERT_TRUE(reg.GetValue(path, name, &v)) << path << " " << name;
  EXPECT_EQ(v.type, kRegSz) << path << " " << name;
  EXPECT_EQ(std::string(v.data.begin(), v.data.end()), text + '\0') << path << " " << name;
}

inline void ExpectDword(const MemoryRegistry& reg, const std::string& path, const char* name,
                        uint32_t n) {
  MemoryRegistry::Value v;
  ASSERT_TRUE(reg.GetValue(path, name, &v)) << path << " " << name;
  EXPECT_EQ(v.type, kRegDword);
  EXPECT_EQ(v.data, (std::vector<unsigned char>{static_cast<unsigned char>(n),
                                                static_cast<unsigned char>(n >> 8),
                                                static_cast<unsigned char>(n >> 16),
                                                static_cast<unsigned char>(n >> 24)}));
}

// REG_SZ values to seed, or as they must stand (a null text: the value must
// be absent).
struct SzValue {
  std::string path;
  const char* name;
  const char* text;
};
inline void PutValues(MemoryRegistry& reg, const std::vector<SzValue>& values) {
  for (const SzValue& v : values) reg.PutText(v.path, v.name, v.text);
}
inline void ExpectValues(const MemoryRegistry& reg, const std::vector<SzValue>& values) {
  for (const SzValue& v : values) {
    if (v.text)
      ExpectSz(reg, v.path, v.name, v.text);
    else
      EXPECT_FALSE(reg.ValueExists(v.path, v.name)) << v.path << " " << v.name;
  }
}

// The calls of the given kinds (a mask of MemoryRegistry::Op).
inline std::vector<MemoryRegistry::Call> CallsOf(const MemoryRegistry& reg, unsigned ops) {
  std::vector<MemoryRegistry::Call> out;
  for (const MemoryRegistry::Call& c : reg.Calls())
    if (c.op & ops) out.push_back(c);
  return out;
}
inline size_t CountCalls(const MemoryRegistry& reg, unsigned ops) {
  return CallsOf(reg, ops).size();
}

}  // namespace regtest
}  // namespace tachy
