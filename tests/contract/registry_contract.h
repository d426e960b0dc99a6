// What the system relies on from the registry, run natively against
// MemoryRegistry and under Wine against the real registry (Win32Registry):
// where they differ, the in-memory one is wrong. Includers define the two
// hooks below. Cases work below Software\TachyContract of HKCU and HKLM (and
// HKCR\TachyContractClass), removed before and after each case.
#pragma once

#include <gtest/gtest.h>

#include <stdint.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

#include "settings/regapi.h"

namespace tachy {
namespace contract {

Registry& ContractRegistry();
// Called before each case, after the scratch keys are removed: a fresh
// in-memory registry, or nothing for the real one.
void ResetContractRegistry();

constexpr const char* kScratch = "Software\\TachyContract";
constexpr const char* kRootValue = "TachyContractRootValue";
// NT's answer to a key path that starts with a backslash.
constexpr long kErrorBadPathname = 161;
constexpr const char* kClassScratch = "TachyContractClass";

inline std::string Path(const std::string& sub) {
  return std::string(kScratch) + (sub.empty() ? "" : "\\" + sub);
}

inline void RemoveScratch(Registry& reg) {
  // Every key the cases create, deepest first.
  for (RegKey root : {kHkeyCurrentUser, kHkeyLocalMachine})
    for (const char* sub : {"A\\B\\C", "A\\B", "A", "Parent\\Child", "Parent", "MixedCase",
                            "Values", "Gone", ""})
      reg.DeleteKey(root, Path(sub).c_str());
  reg.DeleteKey(kHkeyClassesRoot, "TachyContractClass\\Sub");
  reg.DeleteKey(kHkeyClassesRoot, kClassScratch);
  reg.DeleteValue(kHkeyCurrentUser, kRootValue);
  reg.DeleteValue(kHkeyLocalMachine, kRootValue);
}

using Data = std::vector<unsigned char>;
inline Data Bytes(const std::string& s) { return Data(s.begin(), s.end()); }

// What reading a whole value gives: the result code, the type, the bytes.
using Stored = std::tuple<long, uint32_t, Data>;

class RegistryContract : public ::testing::TestWithParam<RegKey> {
 protected:
  void SetUp() override {
    RemoveScratch(ContractRegistry());
    ResetContractRegistry();
  }
  void TearDown() override {
    for (RegKey key : open_) reg().CloseKey(key);
    RemoveScratch(ContractRegistry());
  }

  Registry& reg() { return ContractRegistry(); }
  RegKey root() const { return GetParam(); }

  // Keys made or opened here are closed at the end of the case.
  long CreateAt(RegKey parent, const std::string& path, const char* cls, RegKey* key = nullptr) {
    RegKey made = 0;
    const long r = reg().CreateKey(parent, path.c_str(), cls, kKeyAllAccess, &made);
    return Keep(r, made, key);
  }
  long OpenAt(RegKey parent, const std::string& path, uint32_t access, RegKey* key = nullptr) {
    RegKey opened = 0;
    const long r = reg().OpenKey(parent, path.c_str(), access, &opened);
    return Keep(r, opened, key);
  }
  // root\Software\TachyContract\<sub> with all access.
  RegKey Create(const std::string& sub) {
    RegKey key = 0;
    EXPECT_EQ(kErrorSuccess, CreateAt(root(), Path(sub), nullptr, &key)) << sub;
    return key;
  }
  long Open(const std::string& sub, RegKey* key = nullptr) {
    return OpenAt(root(), Path(sub), kKeyAllAccess, key);
  }

  // Stores exactly `data`: the byte after it is not zero, so text without
  // a terminator is not completed (see TextWithoutItsTerminator...).
  long Set(RegKey key, const char* name, uint32_t type, const Data& data) {
    Data guarded(data);
    guarded.push_back('X');
    return reg().SetValue(key, name, type, data.empty() ? nullptr : guarded.data(),
                          static_cast<uint32_t>(data.size()));
  }

  // The text of a value read into a buffer of 16 bytes, "<error n>" when it
  // cannot be read.
  std::string Text(RegKey key, const char* name) {
    char text[16];
    std::fill(text, text + sizeof text, 'x');  // a text left from before cannot pass
    long r = QueryText(reg(), key, name, text, sizeof text);
    return r == kErrorSuccess ? std::string(text) : "<error " + std::to_string(r) + ">";
  }

  Stored Read(RegKey key, const char* name) {
    uint32_t size = 0, type = 99;
    long r = reg().QueryValue(key, name, nullptr, nullptr, &size);
    if (r != kErrorSuccess) return Stored(r, type, {});
    Data data(size + 16, 0xCD);
    uint32_t got = size + 16;
    r = reg().QueryValue(key, name, &type, data.data(), &got);
    data.resize(r == kErrorSuccess ? got : 0);
    return Stored(r, type, data);
  }

  long DeleteKey(const std::string& sub) { return reg().DeleteKey(root(), Path(sub).c_str()); }

 private:
  long Keep(long result, RegKey opened, RegKey* key) {
    if (result == kErrorSuccess && opened) open_.push_back(opened);
    if (key) *key = opened;
    return result;
  }
  std::vector<RegKey> open_;
};

TEST_P(RegistryContract, OpeningAMissingKeyIsFileNotFound) {
  EXPECT_EQ(kErrorFileNotFound, Open("A"));
  Create("");
  EXPECT_EQ(kErrorFileNotFound, Open("A\\B"));
  EXPECT_EQ(kErrorFileNotFound, Open("A"));
}

TEST_P(RegistryContract, CreatingMakesEveryMissingKeyAbove) {
  RegKey deep = Create("A\\B\\C");
  ASSERT_NE(0u, deep);
  for (const char* sub : {"A", "A\\B", "A\\B\\C"}) EXPECT_EQ(kErrorSuccess, Open(sub)) << sub;
  // Creating an existing key opens it: its values stay.
  ASSERT_EQ(kErrorSuccess, SetText(reg(), deep, "Kept", "yes"));
  RegKey again = Create("A\\B\\C");
  EXPECT_EQ("yes", Text(again, "Kept"));
}

TEST_P(RegistryContract, CreatingBelowAnOpenKeyUsesItAsTheRoot) {
  RegKey top = Create("");
  RegKey child = 0;
  ASSERT_EQ(kErrorSuccess, CreateAt(top, "Parent\\Child", "Tachymark", &child));
  ASSERT_NE(0u, child);
  EXPECT_EQ(kErrorSuccess, Open("Parent\\Child"));
  EXPECT_EQ(kErrorSuccess, OpenAt(top, "Parent", kKeyRead));
}

TEST_P(RegistryContract, KeyAndValueNamesIgnoreCase) {
  RegKey key = Create("MixedCase");
  ASSERT_EQ(kErrorSuccess, SetText(reg(), key, "Grxclock", "143"));
  RegKey upper;
  ASSERT_EQ(kErrorSuccess, Open("MIXEDCASE", &upper));
  EXPECT_EQ("143", Text(upper, "GRXCLOCK"));
  // Setting under another case replaces the value rather than adding one.
  ASSERT_EQ(kErrorSuccess, SetText(reg(), upper, "grxCLOCK", "150"));
  EXPECT_EQ("150", Text(key, "Grxclock"));
  EXPECT_EQ(kErrorSuccess, reg().DeleteValue(key, "GRXclock"));
  EXPECT_EQ(kErrorFileNotFound, reg().DeleteValue(key, "Grxclock"));
  EXPECT_EQ(kErrorSuccess, DeleteKey("mixedcase"));
}

TEST_P(RegistryContract, ATooSmallBufferGivesMoreDataAndTheNeededSize) {
  RegKey key = Create("Values");
  ASSERT_EQ(kErrorSuccess, SetText(reg(), key, "Text", "12345"));
  struct Case { uint32_t bufferSize; long result; };
  const Case cases[] = {{0, kErrorMoreData}, {1, kErrorMoreData},
                        {5, kErrorMoreData}, {6, kErrorSuccess},
                        {64, kErrorSuccess}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.bufferSize);
    std::vector<unsigned char> buf(c.bufferSize + 8, 0xCC);
    uint32_t size = c.bufferSize, type = 99;
    EXPECT_EQ(c.result, reg().QueryValue(key, "Text", &type, buf.data(), &size));
    EXPECT_EQ(6u, size);  // always the stored size
    EXPECT_EQ(kRegSz, type);
    for (size_t i = c.bufferSize; i < buf.size(); ++i)
      ASSERT_EQ(0xCC, buf[i]) << "written past the buffer at " << i;
  }
  // No data buffer: only the size.
  uint32_t size = 0;
  EXPECT_EQ(kErrorSuccess, reg().QueryValue(key, "Text", nullptr, nullptr, &size));
  EXPECT_EQ(6u, size);
}

TEST_P(RegistryContract, StoredTypesAndBytesAreKept) {
  RegKey key = Create("Values");
  struct Case { const char* name; uint32_t type; Data data; };
  const Case cases[] = {
      {"Sz", kRegSz, Bytes(std::string("Voodoo3 3000", 13))},
      {"Dword", kRegDword, {0x8F, 0, 0, 0}},
      {"Binary", kRegBinary, {0, 1, 2, 0xFF, 0}},
      {"EmptyBinary", kRegBinary, {}},
      {"DwordAsText", kRegSz, Bytes(std::string("143", 4))},
  };
  for (const Case& c : cases) ASSERT_EQ(kErrorSuccess, Set(key, c.name, c.type, c.data)) << c.name;
  for (const Case& c : cases)
    EXPECT_EQ(Stored(kErrorSuccess, c.type, c.data), Read(key, c.name)) << c.name;
}

TEST_P(RegistryContract, TextSizesCountTheTerminator) {
  RegKey key = Create("Values");
  for (const char* text : {"", "0", "Voodoo3 3500"}) {
    ASSERT_EQ(kErrorSuccess, SetText(reg(), key, "T", text));
    EXPECT_EQ(Stored(kErrorSuccess, kRegSz, Bytes(std::string(text) + '\0')), Read(key, "T"));
  }
}

TEST_P(RegistryContract, TheDefaultValueHasNoNameOrAnEmptyOne) {
  RegKey key = Create("Values");
  uint32_t size = 0;
  EXPECT_EQ(kErrorFileNotFound, reg().QueryValue(key, nullptr, nullptr, nullptr, &size));
  ASSERT_EQ(kErrorSuccess, SetText(reg(), key, nullptr, "{7A41C3E2}"));
  EXPECT_EQ("{7A41C3E2}", Text(key, ""));
  ASSERT_EQ(kErrorSuccess, SetText(reg(), key, "", "second"));
  EXPECT_EQ("second", Text(key, nullptr));
  // An empty text is a value all the same.
  ASSERT_EQ(kErrorSuccess, SetText(reg(), key, "Empty", ""));
  EXPECT_EQ("", Text(key, "Empty"));
  EXPECT_EQ(kErrorSuccess, reg().DeleteValue(key, nullptr));
  EXPECT_EQ(kErrorFileNotFound, reg().QueryValue(key, "", nullptr, nullptr, &size));
}

TEST_P(RegistryContract, DeletingValuesAndKeys) {
  RegKey values = Create("Values");
  EXPECT_EQ(kErrorFileNotFound, reg().DeleteValue(values, "Absent"));
  ASSERT_EQ(kErrorSuccess, SetText(reg(), values, "Present", "0"));
  EXPECT_EQ(kErrorSuccess, reg().DeleteValue(values, "Present"));
  EXPECT_EQ(kErrorFileNotFound, reg().DeleteValue(values, "Present"));

  EXPECT_EQ(kErrorFileNotFound, DeleteKey("Gone"));
  EXPECT_EQ(kErrorFileNotFound, DeleteKey("Gone\\Deeper"));

  Create("Parent\\Child");
  // A key with subkeys is refused (Windows NT; Windows 95 would delete the
  // whole tree) and stays as it was.
  EXPECT_EQ(kErrorAccessDenied, DeleteKey("Parent"));
  EXPECT_EQ(kErrorSuccess, Open("Parent\\Child"));
  EXPECT_EQ(kErrorSuccess, DeleteKey("Parent\\Child"));
  EXPECT_EQ(kErrorSuccess, DeleteKey("Parent"));
  EXPECT_EQ(kErrorFileNotFound, Open("Parent"));
}

TEST_P(RegistryContract, AHandleToADeletedKeyNoLongerWorks) {
  RegKey gone = Create("Gone");
  ASSERT_EQ(kErrorSuccess, DeleteKey("Gone"));
  uint32_t size = 0;
  EXPECT_EQ(kErrorKeyDeleted, reg().QueryValue(gone, "X", nullptr, nullptr, &size));
  EXPECT_EQ(kErrorKeyDeleted, SetText(reg(), gone, "X", "1"));
  EXPECT_EQ(kErrorFileNotFound, Open("Gone"));
}

// Storing text whose length leaves out the terminator: NT looks at the byte
// after the given length and, when it is zero, stores the terminator too.
// Reading text stored without a terminator puts one after it when the
// buffer has room, but reports the stored size.
TEST_P(RegistryContract, TextWithoutItsTerminatorIsCompletedWhenItCan) {
  RegKey key = Create("Values");
  const unsigned char zeroAfter[] = {'a', 'b', 0};
  const unsigned char otherAfter[] = {'a', 'b', 'X'};
  struct Case { const char* label; uint32_t type; const unsigned char* data;
                uint32_t size, stored; };
  const Case cases[] = {
      {"text, zero after", kRegSz, zeroAfter, 2, 3},
      {"expandable text, zero after", kRegExpandSz, zeroAfter, 2, 3},
      {"text, no zero after", kRegSz, otherAfter, 2, 2},
      {"binary, zero after", kRegBinary, zeroAfter, 2, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    ASSERT_EQ(kErrorSuccess, reg().SetValue(key, "V", c.type, c.data, c.size));
    uint32_t size = 0;
    ASSERT_EQ(kErrorSuccess, reg().QueryValue(key, "V", nullptr, nullptr, &size));
    EXPECT_EQ(c.stored, size);
    unsigned char buf[8];
    std::fill(buf, buf + sizeof buf, 0xCC);
    size = sizeof buf;
    ASSERT_EQ(kErrorSuccess, reg().QueryValue(key, "V", nullptr, buf, &size));
    EXPECT_EQ(c.stored, size);
    EXPECT_EQ("ab", std::string(buf, buf + 2));
    EXPECT_EQ(c.type != kRegBinary || c.stored == 3 ? 0 : 0xCC, buf[2]);
    // Exactly the stored size: nothing is written after it.
    std::fill(buf, buf + sizeof buf, 0xCC);
    size = c.stored;
    ASSERT_EQ(kErrorSuccess, reg().QueryValue(key, "V", nullptr, buf, &size));
    EXPECT_EQ(0xCC, buf[c.stored]);
  }
}

TEST_P(RegistryContract, PathsStartingWithABackslashAreRefused) {
  Create("A");
  std::string path = std::string("\\") + kScratch + "\\A";
  EXPECT_EQ(kErrorBadPathname, OpenAt(root(), path, kKeyRead));
  EXPECT_EQ(kErrorBadPathname, CreateAt(root(), path + "\\B", nullptr));
  EXPECT_EQ(kErrorBadPathname, reg().DeleteKey(root(), path.c_str()));
  // A trailing backslash or a doubled one inside is harmless.
  EXPECT_EQ(kErrorSuccess, OpenAt(root(), Path("A\\"), kKeyRead));
  EXPECT_EQ(kErrorSuccess, OpenAt(root(), std::string(kScratch) + "\\\\A", kKeyRead));
}

// The predefined roots are open handles themselves.
TEST_P(RegistryContract, RootsWorkAsOpenKeys) {
  ASSERT_EQ(kErrorSuccess, SetText(reg(), root(), kRootValue, "1"));
  EXPECT_EQ("1", Text(root(), kRootValue));
  EXPECT_EQ(kErrorSuccess, reg().DeleteValue(root(), kRootValue));
  EXPECT_EQ(kErrorFileNotFound, reg().DeleteValue(root(), kRootValue));
  EXPECT_EQ(kErrorSuccess, reg().CloseKey(root()));
  // Still usable after "closing".
  Create("");
  EXPECT_EQ(kErrorSuccess, OpenAt(root(), kScratch, kKeyRead));
  // A root is never deleted; a null name is a mistake.
  EXPECT_EQ(kErrorAccessDenied, reg().DeleteKey(root(), ""));
  EXPECT_EQ(kErrorInvalidParameter, reg().DeleteKey(root(), nullptr));
}

// A handle allows what it was opened for: the page opens driver keys for
// reading first and only writes through handles opened for writing.
TEST_P(RegistryContract, AHandleAllowsOnlyWhatItWasOpenedFor) {
  RegKey writable = Create("Values"), reader = 0, writer = 0;
  ASSERT_EQ(kErrorSuccess, SetText(reg(), writable, "Grxclock", "143"));
  ASSERT_EQ(kErrorSuccess, OpenAt(root(), Path("Values"), kKeyRead, &reader));
  EXPECT_EQ("143", Text(reader, "Grxclock"));
  EXPECT_EQ(kErrorAccessDenied, SetText(reg(), reader, "Grxclock", "150"));
  EXPECT_EQ(kErrorAccessDenied, reg().DeleteValue(reader, "Grxclock"));
  ASSERT_EQ(kErrorSuccess, OpenAt(root(), Path("Values"), kKeySetValue, &writer));
  uint32_t size = 0;
  EXPECT_EQ(kErrorAccessDenied, reg().QueryValue(writer, "Grxclock", nullptr, nullptr, &size));
  EXPECT_EQ(kErrorSuccess, SetText(reg(), writer, "Grxclock", "150"));
  EXPECT_EQ("150", Text(writable, "Grxclock"));
}

TEST_P(RegistryContract, ClosingAndDeletingThroughHandles) {
  RegKey top = Create("");
  RegKey child = 0;
  ASSERT_EQ(kErrorSuccess, reg().CreateKey(top, "Gone", nullptr, kKeyAllAccess, &child));
  EXPECT_EQ(kErrorSuccess, reg().CloseKey(child));
  // The key named relative to an open key is deleted.
  EXPECT_EQ(kErrorSuccess, reg().DeleteKey(top, "Gone"));
  EXPECT_EQ(kErrorFileNotFound, Open("Gone"));
  // An empty name deletes the open key itself, once it has no subkeys.
  RegKey parent = Create("Parent\\Child");
  ASSERT_EQ(kErrorSuccess, Open("Parent", &parent));
  EXPECT_EQ(kErrorAccessDenied, reg().DeleteKey(parent, ""));
  ASSERT_EQ(kErrorSuccess, DeleteKey("Parent\\Child"));
  EXPECT_EQ(kErrorSuccess, reg().DeleteKey(parent, ""));
  EXPECT_EQ(kErrorFileNotFound, Open("Parent"));
  // A handle that was never opened is refused.
  EXPECT_EQ(kErrorInvalidHandle, reg().CloseKey(static_cast<RegKey>(0x7FFF0000u)));
}

// QueryText never reads or writes past the buffer and always ends the text
// inside it, whatever the stored data looks like.
TEST_P(RegistryContract, QueryTextKeepsInsideTheBuffer) {
  RegKey key = Create("Values");
  struct Case { const char* label; uint32_t type; Data data; uint32_t bufSize; long result;
                std::string text; };
  const std::vector<Case> cases = {
      {"terminated text", kRegSz, Bytes(std::string("abc", 4)), 8, kErrorSuccess, "abc"},
      {"text without terminator", kRegSz, Bytes("abc"), 8, kErrorSuccess, "abc"},
      {"binary without terminator", kRegBinary, Bytes("abc"), 8, kErrorSuccess, "abc"},
      {"terminated text filling the buffer", kRegSz, Bytes(std::string("abc", 4)), 4,
       kErrorSuccess, "abc"},
      {"unterminated data filling the buffer", kRegBinary, Bytes("abcd"), 4,
       kErrorMoreData, ""},
      {"text one longer than the buffer", kRegSz, Bytes(std::string("abcd", 5)), 4,
       kErrorMoreData, ""},
      {"binary with a zero inside", kRegBinary, {'1', '2', 0, '3'}, 8, kErrorSuccess, "12"},
      {"dword read as text", kRegDword, {'1', '2', '3', 0}, 8, kErrorSuccess, "123"},
      {"empty data", kRegBinary, {}, 4, kErrorSuccess, ""},
      {"empty text in a one-byte buffer", kRegSz, {0}, 1, kErrorSuccess, ""},
      {"one byte in a one-byte buffer", kRegBinary, {'x'}, 1, kErrorMoreData, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    ASSERT_EQ(kErrorSuccess, Set(key, "V", c.type, c.data));
    std::vector<char> buf(c.bufSize + 8, '\x7E');
    EXPECT_EQ(c.result, QueryText(reg(), key, "V", buf.data(), c.bufSize));
    EXPECT_EQ(c.text, std::string(buf.data()));
    for (size_t i = c.bufSize; i < buf.size(); ++i)
      ASSERT_EQ('\x7E', buf[i]) << "written past the buffer at " << i;
  }
  char buf[4] = {'x', 'x', 'x', 'x'};
  EXPECT_EQ(kErrorFileNotFound, QueryText(reg(), key, "Missing", buf, sizeof buf));
  EXPECT_STREQ("", buf);
}

TEST_P(RegistryContract, SetDecimalAndSetDwordStoreTheirForms) {
  RegKey key = Create("Values");
  struct Case { long number; const char* text; };
  const Case cases[] = {{0, "0"},           {143, "143"},
                        {-5, "-5"},         {2147483647L, "2147483647"},
                        {-2147483647L - 1, "-2147483648"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    ASSERT_EQ(kErrorSuccess, SetDecimal(reg(), key, "Number", c.number));
    EXPECT_EQ(Stored(kErrorSuccess, kRegSz, Bytes(std::string(c.text) + '\0')),
              Read(key, "Number"));
  }
  ASSERT_EQ(kErrorSuccess, SetDword(reg(), key, "GraphicsClocking", 0x12345678u));
  EXPECT_EQ(Stored(kErrorSuccess, kRegDword, Data{0x78, 0x56, 0x34, 0x12}),
            Read(key, "GraphicsClocking"));
}

// HKEY_CLASSES_ROOT writes land in HKLM\Software\Classes, where the
// installer's class keys are looked for.
TEST_P(RegistryContract, ClassesRootIsMachineClasses) {
  RegKey cls = 0;
  ASSERT_EQ(kErrorSuccess,
            CreateAt(kHkeyClassesRoot, "TachyContractClass\\Sub", "Tachymark", &cls));
  ASSERT_EQ(kErrorSuccess, SetText(reg(), cls, nullptr, "TACHPAGE.DLL"));
  RegKey machine = 0;
  ASSERT_EQ(kErrorSuccess, OpenAt(kHkeyLocalMachine, "Software\\Classes\\TachyContractClass\\Sub",
                                  kKeyRead, &machine));
  EXPECT_EQ("TACHPAGE.DLL", Text(machine, nullptr));
}

INSTANTIATE_TEST_SUITE_P(Roots, RegistryContract,
                         ::testing::Values(kHkeyCurrentUser, kHkeyLocalMachine),
                         [](const ::testing::TestParamInfo<RegKey>& info) {
                           return info.param == kHkeyLocalMachine ? "HKLM" : "HKCU";
                         });

}  // namespace contract
}  // namespace tachy
