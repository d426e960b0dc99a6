// An in-memory registry for tests: behaves as Windows NT's registry wherever
// the system relies on it, records every call, and injects faults.
//
// Native and Windows test programs only (it uses the C++ standard library);
// never linked into a deliverable.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "regapi.h"

namespace tachy {

class MemoryRegistry : public Registry {
 public:
  enum Op : unsigned {
    kOpOpen = 1u << 0,
    kOpCreate = 1u << 1,
    kOpQuery = 1u << 2,
    kOpSet = 1u << 3,
    kOpDeleteValue = 1u << 4,
    kOpDeleteKey = 1u << 5,
    kOpClose = 1u << 6,
    kOpAll = 0x7Fu,
    kOpWrites = kOpCreate | kOpSet | kOpDeleteValue | kOpDeleteKey,
  };

  struct Call {
    Op op;
    std::string path;   // full key path, e.g. "HKLM\Software\Tachymark"
    std::string value;  // value name for value operations
    uint32_t access;    // for open and create
    long result;
  };

  struct Value {
    uint32_t type = kRegSz;
    std::vector<unsigned char> data;
  };

  MemoryRegistry();
  ~MemoryRegistry();
  MemoryRegistry(const MemoryRegistry&) = delete;
  MemoryRegistry& operator=(const MemoryRegistry&) = delete;

  // Registry
  long OpenKey(RegKey root, const char* subKey, uint32_t access,
               RegKey* result) override;
  long CreateKey(RegKey root, const char* subKey, const char* className,
                 uint32_t access, RegKey* result) override;
  long QueryValue(RegKey key, const char* name, uint32_t* type, void* data,
                  uint32_t* size) override;
  long SetValue(RegKey key, const char* name, uint32_t type, const void* data,
                uint32_t size) override;
  long DeleteValue(RegKey key, const char* name) override;
  long DeleteKey(RegKey root, const char* subKey) override;
  long CloseKey(RegKey key) override;

  // --- Seeding and inspection. Paths start with a root name: "HKLM\...",
  // "HKCU\..." or "HKCR\..." (HKCR is HKLM\Software\Classes, as on
  // Windows). Names are case-insensitive. None of these are counted as calls
  // or subject to faults.
  void AddKey(const std::string& path);
  void PutText(const std::string& path, const std::string& name,
               const std::string& text);  // REG_SZ, terminator counted
  void PutRaw(const std::string& path, const std::string& name, uint32_t type,
              const std::vector<unsigned char>& data);
  void PutDword(const std::string& path, const std::string& name,
                uint32_t number);
  bool KeyExists(const std::string& path) const;
  bool ValueExists(const std::string& path, const std::string& name) const;
  // The value's bytes up to its first zero; "" when absent.
  std::string Text(const std::string& path, const std::string& name) const;
  bool GetValue(const std::string& path, const std::string& name,
                Value* out) const;
  void RemoveKeyTree(const std::string& path);
  // Every key and value as sorted lines, for comparing whole states.
  std::string Dump() const;

  // --- Faults.
  // Call number n (1-based, counted over all calls since the last
  // ResetCalls) fails with `error`; no effect takes place.
  void FailCallNumber(size_t n, long error);
  // Every call of the given kinds on the key at `path` (and, with
  // `subtree`, on every key below it) fails with `error`. For value
  // operations and close the key is the one the handle refers to; for
  // open, create and delete the key named by the call.
  void FailKey(const std::string& path, long error, unsigned ops = kOpAll,
               bool subtree = false);
  // As a non-administrator on NT meets HKLM: opening with any write access,
  // creating, setting, deleting values and deleting keys are denied at or
  // below `path`; reading works.
  void MakeReadOnly(const std::string& path, bool subtree = true);
  void ClearFaults();

  // --- Call log.
  const std::vector<Call>& Calls() const { return calls_; }
  size_t CallCount() const { return calls_.size(); }
  void ResetCalls() { calls_.clear(); }
  size_t OpenHandleCount() const { return handles_.size(); }

 private:
  struct Key;
  struct Fault {
    std::string path;  // lower-case full path
    long error;
    unsigned ops;
    bool subtree;
    bool readOnly;
  };

  Key* Find(const std::string& lowerPath) const;
  Key* Ensure(const std::string& lowerPath, const std::string& displayPath);
  bool ResolvePath(RegKey root, const char* subKey, std::string* lower,
                   std::string* display) const;
  long Check(Op op, const std::string& lowerPath, uint32_t access) const;
  bool LookUpHandle(RegKey key, std::string* lower, uint32_t* access) const;
  long Record(Op op, const std::string& path, const char* value,
              uint32_t access, long result);
  long PreCall();
  std::string DisplayOf(const std::string& lowerPath) const;

  std::unique_ptr<Key> root_;
  std::map<RegKey, std::pair<std::string, uint32_t>> handles_;
  RegKey nextHandle_ = 0x1000;
  std::vector<Call> calls_;
  std::vector<Fault> faults_;
  size_t failCallNumber_ = 0;
  long failCallError_ = 0;
};

}  // namespace tachy
