// Fakes and registry read-back checks the native tests share.
#pragma once

#include <gtest/gtest.h>
#include <stdint.h>

#include <optional>
#include <string>
#include <vector>

#include "fault_invariants.h"
#include "refresh/refresh_store.h"
#include "settings/memreg.h"
#include "settings/sysapi.h"
#include "settings/text.h"

namespace tachy {

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

class RecordingMessageSink : public MessageSink {
 public:
  struct Message { WindowHandle owner; std::string text, caption; uint32_t type; };
  std::vector<Message> messages;

  int Show(WindowHandle owner, const char* text, const char* caption, uint32_t type) override {
    messages.push_back(Message{owner, text ? text : "", caption ? caption : "", type});
    return 1;  // IDOK
  }
};

// The refresh-rate dialog's lists: a selected text per row, or none.
class TableSource : public ChoiceSource {
 public:
  std::optional<std::string> selected[kModeRowCount];
  int asked[kModeRowCount] = {};
  bool SelectedText(int row, char* buf, size_t size) override {
    ++asked[row];
    if (!selected[row]) return false;
    CopyText(buf, size, selected[row]->c_str());
    return true;
  }
  void SelectAll(const char* text) {
    for (auto& s : selected) s = text;
  }
};

inline void SetWords(ChoiceWords& words, const char* a, const char* d, const char* o) {
  CopyText(words[0], sizeof words[0], a);
  CopyText(words[1], sizeof words[1], d);
  CopyText(words[2], sizeof words[2], o);
}

// Apart, so that files with helpers of the same names are not disturbed.
namespace regtest {

inline const char* const kProduct = fault::kProductPath;
using fault::kNT4Device0;
using fault::kNT5Device0;
using fault::kNTGlide;

inline std::string DisplayKey(int n, const std::string& suffix = "") {
  return fault::AdapterKey(n, suffix.c_str());
}

inline void ExpectSz(const MemoryRegistry& reg, const std::string& path, const std::string& name,
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
  ASSERT_EQ(v.data.size(), 4u);
  EXPECT_EQ(fault::ReadDword(v), n);
}

// REG_SZ values to seed, or as they must stand (a null text: absent).
struct SzValue { std::string path; const char *name, *text; };
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

inline AdapterList Adapters(const std::vector<int32_t>& instances) {
  AdapterList list;
  ClearAdapterList(&list);
  for (size_t i = 0; i < instances.size(); ++i) list.instances[i] = instances[i];
  list.count = static_cast<int32_t>(instances.size());
  list.selected = list.count - 1;
  return list;
}

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
