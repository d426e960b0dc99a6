// Helpers for the Wine tests of TACHINST.EXE: a private copy of the program
// beside a TACHPAGE.DLL, starting it, finding its dialogs and message boxes,
// and the registry keys it writes. Registry access, waiting and real input
// come from gui.h.
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

using gui::KeyExists;
using gui::TextW;
using gui::WindowRect;

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
const char kNT4Device[] = "SYSTEM\\CurrentControlSet\\Services\\Voodoo3\\Device0";

inline std::string ReadText(HKEY root, const std::string& key, const char* name) {
  return gui::Text(root, key, name);
}
inline bool ValueExists(HKEY root, const std::string& key, const char* name) {
  return gui::ReadValue(root, key, name, nullptr);
}
inline void WriteText(HKEY root, const std::string& key, const char* name,
                      const std::string& text) {
  gui::PutText(root, key, name, text);
}

inline std::string InstanceKey(int n, const char* sub = "") {
  char key[128];
  wsprintfA(key, "%s%04d%s", kClass9x, n, sub);
  return key;
}

// Every key the installer writes, the legacy key and the driver keys that
// the tests seed.
inline void CleanRegistry() {
  for (const std::string& key : {std::string(kProduct), LegacyKey(), DisplayKey(), DeviceKey()})
    gui::DeleteTree(HKEY_LOCAL_MACHINE, key);
  gui::DeleteTree(HKEY_CLASSES_ROOT, ClassKey());
  for (int n = 0; n < 16; ++n) gui::DeleteTree(HKEY_LOCAL_MACHINE, InstanceKey(n));
  for (const char* service : {"Voodoo3", "3dfxvs", "3Dfx"})
    gui::DeleteTree(HKEY_LOCAL_MACHINE,
                    std::string("SYSTEM\\CurrentControlSet\\Services\\") + service);
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

  // A visible "#32770" window of this process that satisfies `match`.
  HWND WaitWindow(const std::function<bool(HWND)>& match, DWORD ms = 15000) {
    HWND found = nullptr;
    gui::WaitUntil(
        [&] {
          found = gui::FindTopWindow(pi_.dwProcessId, [&](HWND w) {
            char cls[16] = {};
            GetClassNameA(w, cls, sizeof cls);
            return lstrcmpA(cls, "#32770") == 0 && match(w);
          });
          return found != nullptr;
        },
        ms);
    return found;
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
          for (int id : {1013, 1006, 1015, 1017})
            if (GetDlgItem(w, id)) return false;
          return true;
        },
        ms);
  }

 private:
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

inline std::wstring ItemW(HWND dialog, int id) { return TextW(GetDlgItem(dialog, id)); }

// The cursor moved over `target` (a control, or a point of `w`) and the
// installer's thread done with the X pointer events of that move: handled
// later, a stale one puts Wine's cursor back where it was before, and the
// click lands there.
inline void Hover(HWND w, POINT target) {
  gui::Foreground(w);
  EXPECT_TRUE(gui::MoveCursorTo(target.x, target.y));
  gui::Settle(w);
}

// A real left click at the control's centre, handled by the installer
// before this returns (a click that opens a modal box returns too).
inline void Click(HWND dialog, int id) {
  HWND c = GetDlgItem(dialog, id);
  Hover(dialog, gui::Centre(c));
  gui::Click(c);
  gui::Settle(dialog);
}

inline bool Checked(HWND dialog, int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }

// The control that has the keyboard focus in the dialog's thread.
inline HWND Focus(HWND dialog) {
  GUITHREADINFO info = {};
  info.cbSize = sizeof info;
  GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &info);
  return info.hwndFocus;
}

// Waits until the window is gone (or hidden).
inline bool WaitGone(HWND w, DWORD ms = 10000) {
  return gui::WaitUntil([w] { return !IsWindow(w) || !IsWindowVisible(w); }, ms);
}

// The text of a message box: the longest static text in it, without the
// carriage returns the box may show.
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
  std::wstring plain;
  for (wchar_t ch : best)
    if (ch != L'\r') plain += ch;
  return plain;
}

// Clicks the message box's only button (OK).
inline void DismissMessageBox(HWND box) {
  Click(box, IDOK);
  EXPECT_TRUE(WaitGone(box));
}

}  // namespace insttest
}  // namespace tachy
