// Deleting a registry key with everything below it, for test set-up and
// clean-up (RegDeleteKeyA refuses keys with subkeys on NT and Wine).
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace tachy {

inline void DeleteTree(HKEY root, const std::string& path) {
  HKEY k;
  if (RegOpenKeyExA(root, path.c_str(), 0, KEY_ALL_ACCESS, &k) == ERROR_SUCCESS) {
    std::vector<std::string> subs;
    char name[256];
    for (DWORD i = 0;; ++i) {
      DWORD len = sizeof name;
      if (RegEnumKeyExA(k, i, name, &len, nullptr, nullptr, nullptr, nullptr) !=
          ERROR_SUCCESS)
        break;
      subs.push_back(name);
    }
    RegCloseKey(k);
    for (const std::string& s : subs) DeleteTree(root, path + "\\" + s);
  }
  RegDeleteKeyA(root, path.c_str());
}

}  // namespace tachy
