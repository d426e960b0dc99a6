// Helpers for the Wine tests of TACHINST.EXE: a private copy of the program
// beside a TACHPAGE.DLL, starting it, finding its windows, reading and
// clicking controls, and the registry keys it writes.
#pragma once

#include <windows.h>

#include "gui.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

namespace tachy {
namespace insttest {

inline std::string Env(const char* name) {
  const char* v = std::getenv(name);
  return v ? v : "";
}

inline std::string InstallerExe() { return Env("TACHY_INST_EXE"); }

// ---------------------------------------------------------------------------
// Registry.

const char kProduct[] = "Software\\Tachymark";
const char kHandlers[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Controls Folder\\";
inline std::string LegacyKey() {
  return std::string(kHandlers) + "Display\\Shellex\\PropertySheetHandlers\\Velomark";
}
inline std::string DisplayKey() {
  return std::string(kHandlers) + "Display\\Shellex\\PropertySheetHandlers\\Tachymark";
}
inline std::string DeviceKey() {
  return std::string(kHandlers) + "Device\\Shellex\\PropertySheetHandlers\\Tachymark";
}
const char kClsidText[] = "{7A41C3E2-5B19-11d2-A4C7-0060B0D4E91F}";
inline std::string ClassKey() { return std::string("CLSID\\") + kClsidText; }
inline std::string ServerKey() { return ClassKey() + "\\InProcServer32"; }
const char kClass9x[] = "System\\CurrentControlSet\\Services\\Class\\Display\\";

inline bool KeyExists(HKEY root, const std::string& path) {
  HKEY k;
  if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS) return false;
  RegCloseKey(k);
  return true;
}

// The value as text; `found` says whether it exists.
inline std::string ReadText(HKEY root, const std::string& path, const char* name,
                            bool* found = nullptr, DWORD* type = nullptr) {
  if (found) *found = false;
  HKEY k;
  if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS) return "";
  char buf[1024] = {};
  DWORD size = sizeof buf - 1;
  DWORD t = 0;
  LONG r = RegQueryValueExA(k, name, nullptr, &t, reinterpret_cast<BYTE*>(buf), &size);
  RegCloseKey(k);
  if (r != ERROR_SUCCESS) return "";
  if (found) *found = true;
  if (type) *type = t;
  if (t == REG_DWORD) return std::to_string(*reinterpret_cast<DWORD*>(buf));
  return std::string(buf);
}

// The value's bytes as stored (a REG_SZ with its terminating zero).
inline bool ReadValue(HKEY root, const std::string& path, const char* name, std::string* data,
                      DWORD* type = nullptr) {
  HKEY k;
  if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS) return false;
  char buf[1024];
  DWORD size = sizeof buf, t = 0;
  LONG r = RegQueryValueExA(k, name, nullptr, &t, reinterpret_cast<BYTE*>(buf), &size);
  RegCloseKey(k);
  if (r != ERROR_SUCCESS) return false;
  data->assign(buf, size);
  if (type) *type = t;
  return true;
}

// The class string the key was created with.
inline std::string KeyClass(HKEY root, const std::string& path) {
  HKEY k;
  if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS) return "<absent>";
  char cls[256] = {};
  DWORD len = sizeof cls;
  LONG r = RegQueryInfoKeyA(k, cls, &len, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                            nullptr, nullptr, nullptr);
  RegCloseKey(k);
  return r == ERROR_SUCCESS ? std::string(cls, len) : "<error>";
}

inline bool ValueExists(HKEY root, const std::string& path, const char* name) {
  bool found;
  ReadText(root, path, name, &found);
  return found;
}

inline void WriteText(HKEY root, const std::string& path, const char* name,
                      const std::string& text) {
  HKEY k;
  ASSERT_EQ(RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                            &k, nullptr),
            ERROR_SUCCESS)
      << path;
  RegSetValueExA(k, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                 static_cast<DWORD>(text.size() + 1));
  RegCloseKey(k);
}

inline void WriteDword(HKEY root, const std::string& path, const char* name, DWORD v) {
  HKEY k;
  ASSERT_EQ(RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                            &k, nullptr),
            ERROR_SUCCESS);
  RegSetValueExA(k, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&v), sizeof v);
  RegCloseKey(k);
}


// Every key the installer writes, the legacy key and the driver keys that
// the tests seed.
inline void CleanRegistry() {
  gui::DeleteTree(HKEY_LOCAL_MACHINE, kProduct);
  gui::DeleteTree(HKEY_LOCAL_MACHINE, LegacyKey());
  gui::DeleteTree(HKEY_LOCAL_MACHINE, DisplayKey());
  gui::DeleteTree(HKEY_LOCAL_MACHINE, DeviceKey());
  gui::DeleteTree(HKEY_CLASSES_ROOT, ClassKey());
  for (int n = 0; n < 16; ++n) {
    char key[128];
    wsprintfA(key, "%s%04d", kClass9x, n);
    gui::DeleteTree(HKEY_LOCAL_MACHINE, key);
  }
  gui::DeleteTree(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Services\\Voodoo3");
  gui::DeleteTree(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Services\\3dfxvs");
  gui::DeleteTree(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Services\\3Dfx");
}

// The Windows version Wine poses as for TACHINST.EXE only (the test
// program keeps its own): win95, win98, nt40, win2k; "" for the prefix's.
inline void SetInstallerVersion(const std::string& version) {
  const char key[] = "Software\\Wine\\AppDefaults\\TACHINST.EXE";
  if (version.empty()) {
    HKEY k;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, key, 0, KEY_ALL_ACCESS, &k) == ERROR_SUCCESS) {
      RegDeleteValueA(k, "Version");
      RegCloseKey(k);
    }
    return;
  }
  WriteText(HKEY_CURRENT_USER, key, "Version", version);
}

// ---------------------------------------------------------------------------
// Files.

inline std::string TempFolder(const std::string& name) {
  char temp[MAX_PATH];
  GetTempPathA(sizeof temp, temp);
  std::string folder = std::string(temp) + name;
  CreateDirectoryA(folder.c_str(), nullptr);
  return folder;
}

// A folder holding a copy of TACHINST.EXE and, when `withModule`, a
// TACHPAGE.DLL (the real one when the build has it; the installer only
// checks that the file is there).
inline std::string PrepareFolder(const std::string& folder, bool withModule) {
  CreateDirectoryA(folder.c_str(), nullptr);
  std::string exe = folder + "\\TACHINST.EXE";
  EXPECT_TRUE(CopyFileA(InstallerExe().c_str(), exe.c_str(), FALSE))
      << InstallerExe() << " -> " << exe;
  std::string dll = folder + "\\TACHPAGE.DLL";
  if (withModule) {
    std::string page = Env("TACHY_PAGE_DLL");
    if (page.empty() || !CopyFileA(page.c_str(), dll.c_str(), FALSE)) {
      HANDLE f = CreateFileA(dll.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0,
                             nullptr);
      DWORD written;
      WriteFile(f, "MZ", 2, &written, nullptr);
      CloseHandle(f);
    }
  } else {
    DeleteFileA(dll.c_str());
  }
  return exe;
}

// ---------------------------------------------------------------------------
// The running installer.

class Installer {
 public:
  Installer() = default;
  Installer(const Installer&) = delete;
  ~Installer() { Kill(); }

  bool Start(const std::string& exe, const std::string& args = "") {
    std::string line = "\"" + exe + "\"";
    if (!args.empty()) line += " " + args;
    std::vector<char> buf(line.begin(), line.end());
    buf.push_back(0);
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    std::string folder = exe.substr(0, exe.find_last_of('\\'));
    if (!CreateProcessA(exe.c_str(), buf.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        folder.c_str(), &si, &pi_)) {
      return false;
    }
    running_ = true;
    return true;
  }

  DWORD Pid() const { return pi_.dwProcessId; }

  // Waits for the end of the process; false on timeout.
  bool WaitExit(DWORD ms, DWORD* code) {
    if (!running_) return false;
    if (WaitForSingleObject(pi_.hProcess, ms) != WAIT_OBJECT_0) return false;
    GetExitCodeProcess(pi_.hProcess, code);
    Close();
    return true;
  }

  bool Running() {
    return running_ && WaitForSingleObject(pi_.hProcess, 0) == WAIT_TIMEOUT;
  }

  void Kill() {
    if (!running_) return;
    if (WaitForSingleObject(pi_.hProcess, 0) == WAIT_TIMEOUT) {
      TerminateProcess(pi_.hProcess, 99);
      WaitForSingleObject(pi_.hProcess, 5000);
    }
    Close();
  }

  // The visible top-level windows of class "#32770" of this process that
  // satisfy `match`, polled until `ms` run out.
  HWND WaitWindow(const std::function<bool(HWND)>& match, DWORD ms = 15000) {
    DWORD start = GetTickCount();
    do {
      HWND found = FindWindowOf(match);
      if (found) return found;
      Sleep(30);
    } while (GetTickCount() - start < ms);
    return nullptr;
  }

  // A dialog of the installer, told apart by one of its controls.
  HWND WaitDialog(int controlId, DWORD ms = 15000) {
    return WaitWindow([controlId](HWND w) { return GetDlgItem(w, controlId) != nullptr; },
                      ms);
  }

  // A message box (a "#32770" without any of the dialogs' controls).
  HWND WaitMessageBox(DWORD ms = 15000) {
    return WaitWindow(
        [](HWND w) {
          for (int id : {1013, 1006, 1015, 1017}) {
            if (GetDlgItem(w, id)) return false;
          }
          return true;
        },
        ms);
  }

 private:
  struct Search {
    DWORD pid;
    const std::function<bool(HWND)>* match;
    HWND found;
  };
  static BOOL CALLBACK EnumProc(HWND w, LPARAM lp) {
    Search* s = reinterpret_cast<Search*>(lp);
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    if (pid != s->pid || !IsWindowVisible(w)) return TRUE;
    char cls[64];
    GetClassNameA(w, cls, sizeof cls);
    if (lstrcmpA(cls, "#32770") != 0) return TRUE;
    if ((*s->match)(w)) {
      s->found = w;
      return FALSE;
    }
    return TRUE;
  }
  HWND FindWindowOf(const std::function<bool(HWND)>& match) {
    Search s{pi_.dwProcessId, &match, nullptr};
    EnumWindows(EnumProc, reinterpret_cast<LPARAM>(&s));
    return s.found;
  }
  void Close() {
    CloseHandle(pi_.hThread);
    CloseHandle(pi_.hProcess);
    running_ = false;
  }

  PROCESS_INFORMATION pi_ = {};
  bool running_ = false;
};

// ---------------------------------------------------------------------------
// Controls.

inline std::wstring TextW(HWND w) {
  wchar_t buf[1024] = {};
  GetWindowTextW(w, buf, 1024);
  return buf;
}
inline std::wstring ItemW(HWND dialog, int id) { return TextW(GetDlgItem(dialog, id)); }
inline std::string ItemA(HWND dialog, int id) {
  char buf[1024] = {};
  GetDlgItemTextA(dialog, id, buf, sizeof buf);
  return buf;
}

// A click as the user makes it, without waiting for what it starts (a
// modal message box would block a sent message).
inline void Click(HWND dialog, int id) {
  PostMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0);
}

// A click handled before this returns: only for controls whose click
// cannot open a modal box (radio buttons, the check box).
inline void ClickNow(HWND dialog, int id) {
  SendMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0);
}

// Waits until the window is gone (or hidden).
inline bool WaitGone(HWND w, DWORD ms = 10000) {
  DWORD start = GetTickCount();
  while (IsWindow(w) && IsWindowVisible(w)) {
    if (GetTickCount() - start > ms) return false;
    Sleep(30);
  }
  return true;
}

// Lets a posted click be handled before the state is read.
inline void Settle(HWND w) {
  DWORD_PTR result;
  SendMessageTimeoutA(w, WM_NULL, 0, 0, SMTO_BLOCK, 5000, &result);
}

// The text of a message box: the longest static text in it.
inline std::wstring MessageText(HWND box) {
  std::wstring best;
  for (HWND c = GetWindow(box, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
    char cls[32];
    GetClassNameA(c, cls, sizeof cls);
    if (lstrcmpiA(cls, "Static") == 0) {
      std::wstring t = TextW(c);
      if (t.size() > best.size()) best = t;
    }
  }
  return best;
}

// Presses the message box's only button (OK).
inline void DismissMessageBox(HWND box) {
  PostMessageA(box, WM_COMMAND, IDOK, 0);
  WaitGone(box);
}

inline RECT WindowRect(HWND w) {
  RECT r = {};
  GetWindowRect(w, &r);
  return r;
}

}  // namespace insttest
}  // namespace tachy
