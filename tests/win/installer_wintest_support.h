// Helpers for the Wine tests of TACHINST.EXE: a private copy of the program
// beside a TACHPAGE.DLL, starting it, finding its dialogs and message boxes,
// and the registry keys it writes. Registry access (HKLM unless a root is
// given), waiting and real input come from gui.h.
#pragma once

#include <windows.h>

#include "gui.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>

namespace tachy {
namespace insttest {

using gui::KeyExists;
using gui::PutText;
using gui::Text;
using gui::TextW;
using gui::WindowRect;

inline std::string Env(const char* name) {
  const char* v = std::getenv(name);
  return v ? v : "";
}
inline std::string InstallerExe() { return Env("TACHY_INST_EXE"); }

// --- Registry.

const char kProduct[] = "Software\\Tachymark";
#define TACHY_HANDLERS "Software\\Microsoft\\Windows\\CurrentVersion\\Controls Folder\\"
const char kLegacyKey[] = TACHY_HANDLERS "Display\\Shellex\\PropertySheetHandlers\\Velomark";
const char kDisplayKey[] = TACHY_HANDLERS "Display\\Shellex\\PropertySheetHandlers\\Tachymark";
const char kDeviceKey[] = TACHY_HANDLERS "Device\\Shellex\\PropertySheetHandlers\\Tachymark";
#undef TACHY_HANDLERS
const char kClsidText[] = "{7A41C3E2-5B19-11d2-A4C7-0060B0D4E91F}";
const std::string kClassKey = std::string("CLSID\\") + kClsidText;
const std::string kServerKey = kClassKey + "\\InProcServer32";
const char kNT4Device[] = "SYSTEM\\CurrentControlSet\\Services\\Voodoo3\\Device0";

inline bool Has(const std::string& key, const char* name, HKEY root = HKEY_LOCAL_MACHINE) {
  return gui::ReadValue(root, key, name, nullptr);
}

// Display-class instance n, or a subkey of it.
inline std::string InstanceKey(int n, const char* sub = "") {
  char key[128];
  wsprintfA(key, "System\\CurrentControlSet\\Services\\Class\\Display\\%04d%s", n, sub);
  return key;
}

// Every key the installer writes, the legacy key and the driver keys that
// the tests seed.
inline void CleanRegistry() {
  for (const char* key : {kProduct, kLegacyKey, kDisplayKey, kDeviceKey}) gui::DeleteTree(key);
  gui::DeleteTree(HKEY_CLASSES_ROOT, kClassKey);
  for (int n = 0; n < 16; ++n) gui::DeleteTree(InstanceKey(n));
  for (const char* service : {"Voodoo3", "3dfxvs", "3Dfx"})
    gui::DeleteTree(std::string("SYSTEM\\CurrentControlSet\\Services\\") + service);
}

// The Windows version Wine poses as for TACHINST.EXE only (the test
// program keeps its own): win95, win98, nt40, win2k; "" for the prefix's.
inline void SetInstallerVersion(const std::string& version) {
  const char key[] = "Software\\Wine\\AppDefaults\\TACHINST.EXE";
  HKEY k;
  if (!version.empty()) {
    PutText(HKEY_CURRENT_USER, key, "Version", version);
  } else if (RegOpenKeyExA(HKEY_CURRENT_USER, key, 0, KEY_ALL_ACCESS, &k) == ERROR_SUCCESS) {
    RegDeleteValueA(k, "Version");
    RegCloseKey(k);
  }
}

// --- Files.

inline std::string TempFolder(const std::string& name) {
  char temp[MAX_PATH];
  GetTempPathA(sizeof temp, temp);
  const std::string folder = temp + name;
  CreateDirectoryA(folder.c_str(), nullptr);
  return folder;
}

// A folder holding a copy of TACHINST.EXE and, when `withModule`, a
// TACHPAGE.DLL (the real one when the build has it; the installer only
// checks that the file is there).
inline std::string PrepareFolder(const std::string& folder, bool withModule) {
  CreateDirectoryA(folder.c_str(), nullptr);
  const std::string exe = folder + "\\TACHINST.EXE", dll = folder + "\\TACHPAGE.DLL";
  EXPECT_TRUE(CopyFileA(InstallerExe().c_str(), exe.c_str(), FALSE)) << exe;
  DeleteFileA(dll.c_str());
  const std::string page = Env("TACHY_PAGE_DLL");
  if (withModule && (page.empty() || !CopyFileA(page.c_str(), dll.c_str(), FALSE))) {
    HANDLE f = CreateFileA(dll.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written;
    WriteFile(f, "MZ", 2, &written, nullptr);
    CloseHandle(f);
  }
  return exe;
}

// --- The running installer.

class Installer {
 public:
  Installer() = default;
  Installer(const Installer&) = delete;
  ~Installer() { Kill(); }

  bool Start(const std::string& exe, const std::string& args = "") {
    Kill();
    std::string line = "\"" + exe + "\"" + (args.empty() ? "" : " " + args);
    const std::string folder = exe.substr(0, exe.find_last_of('\\'));
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    running_ = CreateProcessA(exe.c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr,
                              folder.c_str(), &si, &pi_) != 0;
    return running_;
  }

  // Waits for the end of the process; false on timeout.
  bool WaitExit(DWORD ms, DWORD* code) {
    if (!running_ || WaitForSingleObject(pi_.hProcess, ms) != WAIT_OBJECT_0) return false;
    GetExitCodeProcess(pi_.hProcess, code);
    Close();
    return true;
  }
  bool Running() { return running_ && WaitForSingleObject(pi_.hProcess, 0) == WAIT_TIMEOUT; }
  void Kill() {
    if (Running()) {
      TerminateProcess(pi_.hProcess, 99);
      WaitForSingleObject(pi_.hProcess, 5000);
    }
    if (running_) Close();
  }

  // A visible "#32770" window of this process that satisfies `match`.
  HWND WaitWindow(const std::function<bool(HWND)>& match, DWORD ms = 15000) {
    HWND found = nullptr;
    gui::WaitUntil([&] {
      found = gui::FindTopWindow(pi_.dwProcessId, [&](HWND w) {
        char cls[16] = {};
        GetClassNameA(w, cls, sizeof cls);
        return lstrcmpA(cls, "#32770") == 0 && match(w);
      });
      return found != nullptr;
    }, ms);
    return found;
  }
  // A dialog of the installer, told apart by one of its controls.
  HWND WaitDialog(int controlId, DWORD ms = 15000) {
    return WaitWindow([controlId](HWND w) { return GetDlgItem(w, controlId) != nullptr; }, ms);
  }
  // A message box (a "#32770" without any of the dialogs' controls).
  HWND WaitMessageBox(DWORD ms = 15000) {
    return WaitWindow([](HWND w) {
      for (int id : {1013, 1006, 1015, 1017})
        if (GetDlgItem(w, id)) return false;
      return true;
    }, ms);
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

// --- Controls.

inline std::wstring ItemW(HWND dialog, int id) { return TextW(GetDlgItem(dialog, id)); }
inline bool Checked(HWND dialog, int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }

// The cursor moved to `target` over `w` and the installer's thread done with
// the X pointer events of that move and of the windows it mapped: handled
// later, a stale one puts Wine's cursor back where it was before, and a
// click lands there. Moved again while one came in during the settling.
inline void Hover(HWND w, POINT target) {
  gui::Foreground(w);
  POINT now = {};
  for (int tries = 0; tries < 4; ++tries) {
    EXPECT_TRUE(gui::MoveCursorTo(target.x, target.y));
    gui::Settle(w);
    if (GetCursorPos(&now) && now.x == target.x && now.y == target.y) return;
  }
  ADD_FAILURE() << "the cursor does not stay at " << target.x << "," << target.y;
}

// A real left click at a point of `w`, handled by the installer before this
// returns (a click that opens a modal box returns too).
inline void ClickAt(HWND w, POINT p) {
  Hover(w, p);
  gui::Send({gui::Mouse(MOUSEEVENTF_LEFTDOWN), gui::Mouse(MOUSEEVENTF_LEFTUP)});
  gui::Settle(w);
}
inline void Click(HWND dialog, int id) { ClickAt(dialog, gui::Centre(GetDlgItem(dialog, id))); }

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
  std::wstring best, plain;
  for (HWND c = GetWindow(box, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
    char cls[32];
    GetClassNameA(c, cls, sizeof cls);
    if (lstrcmpiA(cls, "Static") == 0 && TextW(c).size() > best.size()) best = TextW(c);
  }
  for (wchar_t ch : best)
    if (ch != L'\r') plain += ch;
  return plain;
}

}  // namespace insttest
}  // namespace tachy
