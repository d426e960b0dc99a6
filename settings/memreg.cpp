#include "memreg.h"

#include <algorithm>
#include <cstring>
#include <sstream>

namespace tachy {

namespace {

std::string Lower(const std::string& s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

std::vector<std::string> Split(const std::string& path) {
  std::vector<std::string> parts;
  std::string part;
  for (char c : path) {
    if (c == '\\') {
      if (!part.empty()) parts.push_back(part);
      part.clear();
    } else {
      part += c;
    }
  }
  if (!part.empty()) parts.push_back(part);
  return parts;
}

// "HKCR\x" -> "HKLM\Software\Classes\x"; other roots as they are.
std::string Canonical(const std::string& path) {
  std::vector<std::string> parts = Split(path);
  if (parts.empty()) return std::string();
  std::string first = Lower(parts[0]);
  std::string out;
  if (first == "hkcr" || first == "hkey_classes_root") {
    out = "HKLM\\Software\\Classes";
  } else if (first == "hklm" || first == "hkey_local_machine") {
    out = "HKLM";
  } else if (first == "hkcu" || first == "hkey_current_user") {
    out = "HKCU";
  } else {
    out = parts[0];
  }
  for (size_t i = 1; i < parts.size(); ++i) out += "\\" + parts[i];
  return out;
}

// NT refuses key paths that start with a backslash.
constexpr long kErrorBadPathname = 161;

bool IsRootKey(RegKey key) {
  return key == kHkeyLocalMachine || key == kHkeyCurrentUser ||
         key == kHkeyClassesRoot;
}

bool IsStringType(uint32_t type) {
  return type == kRegSz || type == kRegExpandSz || type == kRegMultiSz;
}

bool IsUnder(const std::string& path, const std::string& top) {
  return path.size() > top.size() && path.compare(0, top.size(), top) == 0 &&
         path[top.size()] == '\\';
}

}  // namespace

struct MemoryRegistry::Key {
  std::string name;
  std::map<std::string, std::unique_ptr<Key>> subkeys;  // by lower name
  std::map<std::string, std::pair<std::string, Value>> values;  // lower name
};

MemoryRegistry::MemoryRegistry() : root_(new Key) {
  AddKey("HKLM\\Software\\Classes");
  AddKey("HKCU");
}

MemoryRegistry::~MemoryRegistry() = default;

MemoryRegistry::Key* MemoryRegistry::Find(const std::string& lowerPath) const {
  Key* key = root_.get();
  for (const std::string& part : Split(lowerPath)) {
    auto it = key->subkeys.find(part);
    if (it == key->subkeys.end()) return nullptr;
    key = it->second.get();
  }
  return key;
}

MemoryRegistry::Key* MemoryRegistry::Ensure(const std::string& lowerPath,
                                            const std::string& displayPath) {
  std::vector<std::string> lowerParts = Split(lowerPath);
  std::vector<std::string> displayParts = Split(displayPath);
  Key* key = root_.get();
  for (size_t i = 0; i < lowerParts.size(); ++i) {
    auto& slot = key->subkeys[lowerParts[i]];
    if (!slot) {
      slot.reset(new Key);
      slot->name = i < displayParts.size() ? displayParts[i] : lowerParts[i];
    }
    key = slot.get();
  }
  return key;
}

std::string MemoryRegistry::DisplayOf(const std::string& lowerPath) const {
  std::string out;
  const Key* key = root_.get();
  for (const std::string& part : Split(lowerPath)) {
    const Key* next = nullptr;
    if (key) {
      auto it = key->subkeys.find(part);
      if (it != key->subkeys.end()) next = it->second.get();
    }
    if (!out.empty()) out += "\\";
    out += next ? next->name : part;
    key = next;
  }
  return out;
}

bool MemoryRegistry::ResolvePath(RegKey root, const char* subKey,
                                 std::string* lower,
                                 std::string* display) const {
  std::string base;
  if (root == kHkeyLocalMachine) {
    base = "HKLM";
  } else if (root == kHkeyCurrentUser) {
    base = "HKCU";
  } else if (root == kHkeyClassesRoot) {
    base = "HKLM\\Software\\Classes";
  } else {
    auto it = handles_.find(root);
    if (it == handles_.end()) return false;
    base = DisplayOf(it->second.first);
  }
  std::string full = base;
  if (subKey && *subKey) full += std::string("\\") + subKey;
  full = Canonical(full);
  *display = full;
  *lower = Lower(full);
  return true;
}

long MemoryRegistry::PreCall() {
  size_t number = calls_.size() + 1;
  if (failCallNumber_ != 0 && number == failCallNumber_) return failCallError_;
  return kErrorSuccess;
}

long MemoryRegistry::Check(Op op, const std::string& lowerPath,
                           uint32_t access) const {
  const uint32_t writeBits = kKeySetValue | kKeyCreateSubKey | 0x00010000u |
                             0x00040000u | 0x00080000u;  // DELETE, WRITE_DAC..
  for (const Fault& f : faults_) {
    bool here = lowerPath == f.path || (f.subtree && IsUnder(lowerPath, f.path));
    if (!here) continue;
    if (f.readOnly) {
      bool denied = (op & kOpWrites) != 0 ||
                    (op == kOpOpen && (access & writeBits) != 0);
      if (denied) return kErrorAccessDenied;
    } else if (f.ops & op) {
      return f.error;
    }
  }
  return kErrorSuccess;
}

long MemoryRegistry::Record(Op op, const std::string& path, const char* value,
                            uint32_t access, long result) {
  calls_.push_back(Call{op, path, value ? value : "", access, result});
  return result;
}

long MemoryRegistry::OpenKey(RegKey root, const char* subKey, uint32_t access,
                             RegKey* result) {
  if (result) *result = 0;
  std::string lower, display;
  if (!ResolvePath(root, subKey, &lower, &display))
    return Record(kOpOpen, "?", nullptr, access, kErrorInvalidHandle);
  long r = PreCall();
  if (r == kErrorSuccess && subKey && subKey[0] == '\\') r = kErrorBadPathname;
  if (r == kErrorSuccess) r = Check(kOpOpen, lower, access);
  if (r == kErrorSuccess && !Find(lower)) r = kErrorFileNotFound;
  if (r == kErrorSuccess && !result) r = kErrorInvalidParameter;
  if (r == kErrorSuccess) {
    *result = nextHandle_;
    nextHandle_ += 4;
    handles_[*result] = {lower, access};
  }
  return Record(kOpOpen, display, nullptr, access, r);
}

long MemoryRegistry::CreateKey(RegKey root, const char* subKey,
                               const char* /*className*/, uint32_t access,
                               RegKey* result) {
  if (result) *result = 0;
  std::string lower, display;
  if (!ResolvePath(root, subKey, &lower, &display))
    return Record(kOpCreate, "?", nullptr, access, kErrorInvalidHandle);
  long r = PreCall();
  if (r == kErrorSuccess && subKey && subKey[0] == '\\') r = kErrorBadPathname;
  if (r == kErrorSuccess) r = Check(kOpCreate, lower, access);
  if (r == kErrorSuccess && Find(lower)) {
    // An existing key is opened: the open-time rules apply too.
    r = Check(kOpOpen, lower, access);
  }
  if (r == kErrorSuccess && !result) r = kErrorInvalidParameter;
  if (r == kErrorSuccess) {
    Ensure(lower, display);
    *result = nextHandle_;
    nextHandle_ += 4;
    handles_[*result] = {lower, access};
  }
  return Record(kOpCreate, display, nullptr, access, r);
}

bool MemoryRegistry::LookUpHandle(RegKey key, std::string* lower,
                                  uint32_t* access) const {
  // The predefined roots are open all the time, with full access.
  if (IsRootKey(key)) {
    std::string display;
    *access = kKeyAllAccess;
    return ResolvePath(key, nullptr, lower, &display);
  }
  auto it = handles_.find(key);
  if (it == handles_.end()) return false;
  *lower = it->second.first;
  *access = it->second.second;
  return true;
}

long MemoryRegistry::QueryValue(RegKey key, const char* name, uint32_t* type,
                                void* data, uint32_t* size) {
  std::string lower;
  uint32_t access = 0;
  if (!LookUpHandle(key, &lower, &access))
    return Record(kOpQuery, "?", name, 0, kErrorInvalidHandle);
  std::string display = DisplayOf(lower);
  long r = PreCall();
  if (r == kErrorSuccess) r = Check(kOpQuery, lower, 0);
  Key* k = r == kErrorSuccess ? Find(lower) : nullptr;
  if (r == kErrorSuccess && !k) r = kErrorKeyDeleted;
  if (r == kErrorSuccess && !(access & kKeyQueryValue))
    r = kErrorAccessDenied;
  if (r == kErrorSuccess) {
    auto v = k->values.find(Lower(name ? name : ""));
    if (v == k->values.end()) {
      r = kErrorFileNotFound;
    } else {
      const Value& value = v->second.second;
      uint32_t stored = static_cast<uint32_t>(value.data.size());
      if (type) *type = value.type;
      if (data && !size) {
        r = kErrorInvalidParameter;
      } else if (data && *size < stored) {
        *size = stored;
        r = kErrorMoreData;
      } else {
        if (data && stored) std::memcpy(data, value.data.data(), stored);
        // Text stored without its terminator gets one after the data when
        // the buffer has room (the size reported stays the stored one).
        if (data && IsStringType(value.type) && stored > 0 &&
            value.data[stored - 1] != 0 && stored < *size)
          static_cast<unsigned char*>(data)[stored] = 0;
        if (size) *size = stored;
      }
    }
  }
  return Record(kOpQuery, display, name, 0, r);
}

long MemoryRegistry::SetValue(RegKey key, const char* name, uint32_t type,
                              const void* data, uint32_t size) {
  std::string lower;
  uint32_t access = 0;
  if (!LookUpHandle(key, &lower, &access))
    return Record(kOpSet, "?", name, 0, kErrorInvalidHandle);
  std::string display = DisplayOf(lower);
  long r = PreCall();
  if (r == kErrorSuccess) r = Check(kOpSet, lower, 0);
  Key* k = r == kErrorSuccess ? Find(lower) : nullptr;
  if (r == kErrorSuccess && !k) r = kErrorKeyDeleted;
  if (r == kErrorSuccess && !(access & kKeySetValue))
    r = kErrorAccessDenied;
  if (r == kErrorSuccess && size && !data) r = kErrorInvalidParameter;
  if (r == kErrorSuccess) {
    Value value;
    value.type = type;
    const unsigned char* bytes = static_cast<const unsigned char*>(data);
    // Text whose length leaves out its terminator is stored with it: NT
    // looks at the byte after the given length (so does this, as a caller
    // that passes a short buffer reads past it on NT too).
    if (IsStringType(type) && size && bytes[size - 1] != 0 && bytes[size] == 0)
      ++size;
    if (size) value.data.assign(bytes, bytes + size);
    std::string shown = name ? name : "";
    k->values[Lower(shown)] = {shown, value};
  }
  return Record(kOpSet, display, name, 0, r);
}

long MemoryRegistry::DeleteValue(RegKey key, const char* name) {
  std::string lower;
  uint32_t access = 0;
  if (!LookUpHandle(key, &lower, &access))
    return Record(kOpDeleteValue, "?", name, 0, kErrorInvalidHandle);
  std::string display = DisplayOf(lower);
  long r = PreCall();
  if (r == kErrorSuccess) r = Check(kOpDeleteValue, lower, 0);
  Key* k = r == kErrorSuccess ? Find(lower) : nullptr;
  if (r == kErrorSuccess && !k) r = kErrorKeyDeleted;
  if (r == kErrorSuccess && !(access & kKeySetValue))
    r = kErrorAccessDenied;
  if (r == kErrorSuccess && !k->values.erase(Lower(name ? name : "")))
    r = kErrorFileNotFound;
  return Record(kOpDeleteValue, display, name, 0, r);
}

long MemoryRegistry::DeleteKey(RegKey root, const char* subKey) {
  std::string lower, display;
  if (!ResolvePath(root, subKey, &lower, &display))
    return Record(kOpDeleteKey, "?", nullptr, 0, kErrorInvalidHandle);
  long r = PreCall();
  if (r == kErrorSuccess && !subKey) r = kErrorInvalidParameter;
  if (r == kErrorSuccess && subKey[0] == '\\') r = kErrorBadPathname;
  if (r == kErrorSuccess) r = Check(kOpDeleteKey, lower, 0);
  // An empty name deletes the open key itself; a root cannot be deleted.
  if (r == kErrorSuccess && !*subKey && IsRootKey(root)) r = kErrorAccessDenied;
  Key* k = r == kErrorSuccess ? Find(lower) : nullptr;
  if (r == kErrorSuccess && !k) r = kErrorFileNotFound;
  if (r == kErrorSuccess && !k->subkeys.empty()) r = kErrorAccessDenied;
  // A handle to a root itself (opened with an empty name) is no way round.
  if (r == kErrorSuccess && Split(lower).size() < 2) r = kErrorAccessDenied;
  if (r == kErrorSuccess) {
    std::vector<std::string> parts = Split(lower);
    std::string last = parts.back();
    parts.pop_back();
    std::string parent;
    for (const std::string& p : parts) parent += (parent.empty() ? "" : "\\") + p;
    Find(parent)->subkeys.erase(last);
  }
  return Record(kOpDeleteKey, display, nullptr, 0, r);
}

long MemoryRegistry::CloseKey(RegKey key) {
  if (IsRootKey(key)) {
    std::string lower, display;
    ResolvePath(key, nullptr, &lower, &display);
    long r = PreCall();
    if (r == kErrorSuccess) r = Check(kOpClose, lower, 0);
    return Record(kOpClose, display, nullptr, 0, r);
  }
  auto it = handles_.find(key);
  if (it == handles_.end())
    return Record(kOpClose, "?", nullptr, 0, kErrorInvalidHandle);
  std::string display = DisplayOf(it->second.first);
  long r = PreCall();
  if (r == kErrorSuccess) r = Check(kOpClose, it->second.first, 0);
  // The handle is released whatever the result, as RegCloseKey does.
  handles_.erase(it);
  return Record(kOpClose, display, nullptr, 0, r);
}

// --- Seeding and inspection.

void MemoryRegistry::AddKey(const std::string& path) {
  std::string full = Canonical(path);
  Ensure(Lower(full), full);
}

void MemoryRegistry::PutRaw(const std::string& path, const std::string& name,
                            uint32_t type,
                            const std::vector<unsigned char>& data) {
  std::string full = Canonical(path);
  Key* k = Ensure(Lower(full), full);
  Value value;
  value.type = type;
  value.data = data;
  k->values[Lower(name)] = {name, value};
}

void MemoryRegistry::PutText(const std::string& path, const std::string& name,
                             const std::string& text) {
  std::vector<unsigned char> data(text.begin(), text.end());
  data.push_back(0);
  PutRaw(path, name, kRegSz, data);
}

void MemoryRegistry::PutDword(const std::string& path, const std::string& name,
                              uint32_t number) {
  PutRaw(path, name, kRegDword,
         {static_cast<unsigned char>(number), static_cast<unsigned char>(number >> 8),
          static_cast<unsigned char>(number >> 16),
          static_cast<unsigned char>(number >> 24)});
}

bool MemoryRegistry::KeyExists(const std::string& path) const {
  return Find(Lower(Canonical(path))) != nullptr;
}

bool MemoryRegistry::GetValue(const std::string& path, const std::string& name,
                              Value* out) const {
  Key* k = Find(Lower(Canonical(path)));
  if (!k) return false;
  auto it = k->values.find(Lower(name));
  if (it == k->values.end()) return false;
  if (out) *out = it->second.second;
  return true;
}

bool MemoryRegistry::ValueExists(const std::string& path,
                                 const std::string& name) const {
  return GetValue(path, name, nullptr);
}

std::string MemoryRegistry::Text(const std::string& path,
                                 const std::string& name) const {
  Value v;
  if (!GetValue(path, name, &v)) return std::string();
  std::string out;
  for (unsigned char c : v.data) {
    if (!c) break;
    out += static_cast<char>(c);
  }
  return out;
}

void MemoryRegistry::RemoveKeyTree(const std::string& path) {
  std::vector<std::string> parts = Split(Lower(Canonical(path)));
  if (parts.empty()) return;
  std::string last = parts.back();
  parts.pop_back();
  std::string parent;
  for (const std::string& p : parts) parent += (parent.empty() ? "" : "\\") + p;
  if (Key* k = Find(parent)) k->subkeys.erase(last);
}

std::string MemoryRegistry::Dump() const {
  std::vector<std::string> lines;
  struct Walker {
    static void Walk(const Key* key, const std::string& path,
                     std::vector<std::string>* lines) {
      lines->push_back("[" + path + "]");
      for (const auto& v : key->values) {
        std::ostringstream line;
        line << "[" << path << "] \"" << v.second.first << "\" type "
             << v.second.second.type << " =";
        for (unsigned char c : v.second.second.data) line << ' ' << int(c);
        lines->push_back(line.str());
      }
      for (const auto& s : key->subkeys)
        Walk(s.second.get(), path.empty() ? s.second->name
                                          : path + "\\" + s.second->name,
             lines);
    }
  };
  for (const auto& s : root_->subkeys) Walker::Walk(s.second.get(), s.second->name, &lines);
  std::sort(lines.begin(), lines.end(), [](const std::string& a, const std::string& b) {
    return Lower(a) < Lower(b);
  });
  std::string out;
  for (const std::string& l : lines) out += l + "\n";
  return out;
}

// --- Faults.

void MemoryRegistry::FailCallNumber(size_t n, long error) {
  failCallNumber_ = n;
  failCallError_ = error;
}

void MemoryRegistry::FailKey(const std::string& path, long error, unsigned ops,
                             bool subtree) {
  faults_.push_back(Fault{Lower(Canonical(path)), error, ops, subtree, false});
}

void MemoryRegistry::MakeReadOnly(const std::string& path, bool subtree) {
  faults_.push_back(
      Fault{Lower(Canonical(path)), kErrorAccessDenied, kOpWrites, subtree, true});
}

void MemoryRegistry::ClearFaults() {
  faults_.clear();
  failCallNumber_ = 0;
  failCallError_ = 0;
}

}  // namespace tachy
