// Shared pieces of the page's Wine tests: registry set-up and inspection,
// loading the page module the way the Display control panel does (handler
// key + COM + the shell's extension array), a modeless property sheet that
// the tests drive between messages, a catcher for message boxes, and
// re-running the test program as another Windows version or language.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <memory>
#include <string>
#include <vector>

#include "gui.h"
#include "tools/standin/prop_ext_loader.h"

namespace pagetest {

using namespace gui;

constexpr char kClsid[] = "{7A41C3E2-5B19-11D2-A4C7-0060B0D4E91F}";
constexpr char kHandlerKey[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Controls Folder\\Display"
    "\\shellex\\PropertySheetHandlers\\Tachymark";
constexpr char kProduct[] = "Software\\Tachymark";
constexpr char kDisplayClass[] = "System\\CurrentControlSet\\Services\\Class\\Display";
constexpr char kAdapter0[] = "System\\CurrentControlSet\\Services\\Class\\Display\\0000";
constexpr char kNt4Device[] = "SYSTEM\\CurrentControlSet\\Services\\Voodoo3\\Device0";
constexpr char kNt5Device[] = "SYSTEM\\CurrentControlSet\\Services\\3dfxvs\\Device0";
constexpr char kNtGlide[] = "SYSTEM\\CurrentControlSet\\Services\\3Dfx\\Device0\\Glide";
constexpr int kApplyButton = 0x3021;

inline std::string Env(const char* name) {
  const char* v = getenv(name);
  return v ? v : "";
}

// --- Registry --------------------------------------------------------------

inline bool Exists(const std::string& key, const char* name) {
  return ReadValue(HKEY_LOCAL_MACHINE, key, name, nullptr);
}

// A clean machine with one Voodoo3 3000 board at display-class instance 0
// and no product key.
inline void ResetMachine() {
  DeleteTree(kProduct);
  DeleteTree(kDisplayClass);
  DeleteTree("SYSTEM\\CurrentControlSet\\Services\\Voodoo3");
  DeleteTree("SYSTEM\\CurrentControlSet\\Services\\3dfxvs");
  DeleteTree("SYSTEM\\CurrentControlSet\\Services\\3Dfx");
  PutText(kAdapter0, "DriverDesc", "3dfx Voodoo3 3000");
}

// The product key as the installer leaves it.
inline void InstallProductKey(const char* lower = "120", const char* upper = "220",
                              const char* model = "Voodoo3 3000",
                              const char* defaultClock = "166",
                              const char* enableClock = "0") {
  PutText(kProduct, "LowerLimit", lower);
  PutText(kProduct, "UpperLimit", upper);
  PutText(kProduct, "Model", model);
  PutText(kProduct, "DefaultClock", defaultClock);
  PutText(kProduct, "EnableClock", enableClock);
}

// --- The page module -------------------------------------------------------

inline HMODULE PageModule() {
  static HMODULE module = nullptr;
  if (!module) {
    const std::string path = Env("TACHY_PAGE_DLL");
    module = LoadLibraryA(path.c_str());
  }
  return module;
}

template <typename F>
F PageExport(const char* name) {
  return reinterpret_cast<F>(GetProcAddress(PageModule(), name));
}

inline HRESULT CanUnloadNow() {
  auto f = PageExport<HRESULT(WINAPI*)()>("DllCanUnloadNow");
  return f ? f() : E_FAIL;
}

// Self-registration plus the handler key the installer writes.
inline void RegisterPageModule() {
  ASSERT_NE(PageModule(), nullptr) << "TACHY_PAGE_DLL=" << Env("TACHY_PAGE_DLL");
  auto reg = PageExport<HRESULT(WINAPI*)()>("DllRegisterServer");
  ASSERT_NE(reg, nullptr);
  ASSERT_EQ(reg(), S_OK);
  PutText(kHandlerKey, "", kClsid);
}

// --- Message boxes ---------------------------------------------------------

struct Box {
  std::string caption;
  std::string text;      // as the ANSI code page gives it
  std::string textUtf8;  // the same characters in UTF-8
  HWND owner;
};

// Records every message box of this thread and presses its OK button.
class BoxCatcher {
 public:
  BoxCatcher() {
    current_ = this;
    hook_ = SetWindowsHookExA(WH_CBT, &BoxCatcher::Hook, nullptr, GetCurrentThreadId());
  }
  ~BoxCatcher() {
    UnhookWindowsHookEx(hook_);
    current_ = nullptr;
  }
  std::vector<Box> boxes;
  std::vector<std::string> cancel;  // captions of dialogs to cancel

 private:
  static LRESULT CALLBACK Hook(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_ACTIVATE && current_) {
      HWND w = reinterpret_cast<HWND>(wParam);
      char cls[32] = {};
      GetClassNameA(w, cls, sizeof cls);
      HWND label = GetDlgItem(w, 0xFFFF);  // a message box's text
      if (!strcmp(cls, "#32770") && label) {
        Box box;
        char buffer[1024] = {};
        GetWindowTextA(w, buffer, sizeof buffer);
        box.caption = buffer;
        GetWindowTextA(label, buffer, sizeof buffer);
        box.text = buffer;
        box.textUtf8 = Utf8(label);
        box.owner = GetWindow(w, GW_OWNER);
        current_->boxes.push_back(box);
        PostMessageA(w, WM_COMMAND, IDOK, 0);
      } else if (!strcmp(cls, "#32770")) {
        // Other dialogs named in `cancel` are recorded and cancelled.
        char caption[256] = {};
        GetWindowTextA(w, caption, sizeof caption);
        for (const std::string& name : current_->cancel) {
          if (name == caption) {
            Box box;
            box.caption = caption;
            box.owner = GetWindow(w, GW_OWNER);
            current_->boxes.push_back(box);
            PostMessageA(w, WM_COMMAND, IDCANCEL, 0);
          }
        }
      }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
  }
  static BoxCatcher* current_;
  HHOOK hook_;
};
inline BoxCatcher* BoxCatcher::current_ = nullptr;

// --- The sheet -------------------------------------------------------------

// A modeless "Display Properties" sheet holding the stand-in's own page and
// the pages of the registered Display handlers; the Tachymark page is
// selected. Counts the PSM_CHANGED and PSM_UNCHANGED the sheet receives.
class Sheet {
 public:
  Sheet() = default;
  Sheet(const Sheet&) = delete;
  Sheet& operator=(const Sheet&) = delete;
  ~Sheet() { Close(); }

  // Returns the number of handler pages. `throughShell`: the handlers are
  // loaded by the shell's SHCreatePropSheetExtArray; otherwise the
  // Tachymark class is created here with COM the same way (create for
  // IShellExtInit, Initialize, query IShellPropSheetExt, release the first
  // interface, AddPages) and released on Close. Wine 8's
  // SHCreatePropSheetExtArray keeps one reference of every handler it
  // creates, so only the second way can show the extension object's end.
  UINT Open(bool throughShell = true) {
    own_.reset(new standin::OwnPage("Settings"));
    handlers_.reset(new standin::HandlerPages());
    UINT added = 0;
    std::vector<HPROPSHEETPAGE> pages;
    pages.push_back(own_->Create());
    if (throughShell) {
      added = handlers_->Load();
      pages.insert(pages.end(), handlers_->pages.begin(), handlers_->pages.end());
    } else {
      added = LoadDirect(&pages);
    }
    PROPSHEETHEADERA header = {};
    header.dwSize = sizeof header;
    header.dwFlags = PSH_MODELESS;
    header.hInstance = GetModuleHandleA(nullptr);
    header.pszCaption = "Display Properties";
    header.nPages = static_cast<UINT>(pages.size());
    header.nStartPage = added ? 1 : 0;
    header.phpage = pages.data();
    sheet = reinterpret_cast<HWND>(PropertySheetA(&header));
    if (sheet) {
      SetPropA(sheet, "pagetest", this);
      previous_ = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(
          sheet, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Sheet::Spy)));
      page = reinterpret_cast<HWND>(SendMessageA(sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
    }
    Pump();
    return added;
  }

  HWND Item(int id) const { return GetDlgItem(page, id); }
  bool ApplyEnabled() const { return IsWindowEnabled(GetDlgItem(sheet, kApplyButton)) != FALSE; }
  bool Checked(int id) const { return SendMessageA(Item(id), BM_GETCHECK, 0, 0) == BST_CHECKED; }
  bool Enabled(int id) const { return IsWindowEnabled(Item(id)) != FALSE; }
  std::string TextOf(int id) const {
    char buffer[512] = {};
    GetWindowTextA(Item(id), buffer, sizeof buffer);
    return buffer;
  }
  LRESULT Trackbar(UINT message, WPARAM w = 0, LPARAM l = 0) const {
    return SendMessageA(Item(1001), message, w, l);
  }

  // The user drags the trackbar's thumb to `position`.
  void Drag(int position) {
    EXPECT_TRUE(DragThumb(Item(1001), position)) << "thumb to " << position;
  }
  // A click on the page's control `id`, and what it leads to.
  void Click(int id) {
    gui::Click(Item(id));
    Settle(page);
  }
  // A key to the focused control of the sheet; Alt with a letter.
  void Type(WORD vk) {
    Foreground(sheet);
    Key(vk);
    Settle(page);
  }
  void Mnemonic(char letter) {
    Foreground(sheet);
    Alt(letter);
    Settle(page);
  }
  // The letter after the '&' of control `id`'s text.
  char MnemonicOf(int id) const {
    const std::string t = TextOf(id);
    const size_t amp = t.find('&');
    return amp + 1 < t.size() ? static_cast<char>(tolower(t[amp + 1])) : '?';
  }
  // The trackbar's range, and a tick mark every 2 MHz between the limits.
  void ExpectTrackbar(int lower, int upper) const {
    EXPECT_EQ(Trackbar(TBM_GETRANGEMIN), lower);
    EXPECT_EQ(Trackbar(TBM_GETRANGEMAX), upper);
    const int range = upper - lower, inner = range / 2 - (range % 2 == 0);
    ASSERT_EQ(Trackbar(TBM_GETNUMTICS), inner + 2);  // with both ends
    EXPECT_EQ(Trackbar(TBM_GETTIC, 0), lower + 2);
    EXPECT_EQ(Trackbar(TBM_GETTIC, inner - 1), lower + 2 * inner);
  }
  // Apply, OK or Cancel of the sheet, clicked.
  void Press(int button) {
    const int id = button == PSBTN_OK ? IDOK : button == PSBTN_CANCEL ? IDCANCEL : kApplyButton;
    gui::Click(GetDlgItem(sheet, id));
    Settle(sheet);
  }
  // Whether the sheet has finished (after OK or Cancel).
  bool Finished() const {
    return SendMessageA(sheet, PSM_GETCURRENTPAGEHWND, 0, 0) == 0;
  }
  void Close() {
    if (sheet) {
      DestroyWindow(sheet);
      sheet = nullptr;
      page = nullptr;
      Pump();
    }
    if (handlers_) handlers_->Release();
    handlers_.reset();
    if (direct_) direct_->Release();
    direct_ = nullptr;
    own_.reset();
  }

  HWND sheet = nullptr;
  HWND page = nullptr;
  int changed = 0;    // PSM_CHANGED received
  int unchanged = 0;  // PSM_UNCHANGED received

 private:
  static LRESULT CALLBACK Spy(HWND w, UINT message, WPARAM wParam, LPARAM lParam) {
    Sheet* self = static_cast<Sheet*>(GetPropA(w, "pagetest"));
    if (message == PSM_CHANGED) ++self->changed;
    if (message == PSM_UNCHANGED) ++self->unchanged;
    return CallWindowProcA(self->previous_, w, message, wParam, lParam);
  }
  UINT LoadDirect(std::vector<HPROPSHEETPAGE>* pages) {
    CLSID clsid;
    wchar_t text[64];
    MultiByteToWideChar(CP_ACP, 0, kClsid, -1, text, 64);
    CLSIDFromString(text, &clsid);
    IShellExtInit* init = nullptr;
    if (FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IShellExtInit, reinterpret_cast<void**>(&init))))
      return 0;
    init->Initialize(nullptr, nullptr, nullptr);
    init->QueryInterface(IID_IShellPropSheetExt, reinterpret_cast<void**>(&direct_));
    init->Release();
    if (!direct_) return 0;
    const size_t before = pages->size();
    direct_->AddPages(&Sheet::AddPage, reinterpret_cast<LPARAM>(pages));
    return static_cast<UINT>(pages->size() - before);
  }
  static BOOL CALLBACK AddPage(HPROPSHEETPAGE page, LPARAM lParam) {
    reinterpret_cast<std::vector<HPROPSHEETPAGE>*>(lParam)->push_back(page);
    return TRUE;
  }
  IShellPropSheetExt* direct_ = nullptr;
  std::unique_ptr<standin::OwnPage> own_;
  std::unique_ptr<standin::HandlerPages> handlers_;
  WNDPROC previous_ = nullptr;
};

// The gesture with `held` over control `id` of the page (or over the
// page's corner, away from every control, when id is 0).
inline void RightClick(const Sheet& s, int id, WPARAM held) {
  Foreground(s.sheet);
  if (id) {
    Gesture(s.Item(id), held);
  } else {
    const RECT r = WindowRect(s.page);
    GestureAt({r.right - 3, r.bottom - 3}, held);
  }
  Settle(s.page);
}
constexpr WPARAM kGestureKeys = kGestureHeld;

// --- Running as another Windows version or system language ------------------

inline std::string ExeName() {
  char path[MAX_PATH];
  GetModuleFileNameA(nullptr, path, sizeof path);
  std::string p = path;
  const size_t slash = p.find_last_of("\\/");
  return slash == std::string::npos ? p : p.substr(slash + 1);
}

// Runs this program again as a child with Wine posing as `version` (win98,
// nt40, win2k...) through the per-program AppDefaults key, and with the
// given extra environment (e.g. "LC_ALL=fr_FR.UTF-8"). Returns the child's
// exit code.
inline int RunChild(const char* version, const std::vector<std::string>& env = {}) {
  const std::string appKey = "Software\\Wine\\AppDefaults\\" + ExeName();
  HKEY k;
  RegCreateKeyExA(HKEY_CURRENT_USER, appKey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                  nullptr, &k, nullptr);
  RegSetValueExA(k, "Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(version),
                 static_cast<DWORD>(strlen(version) + 1));
  RegCloseKey(k);
  std::vector<std::pair<std::string, std::string>> saved;
  SetEnvironmentVariableA("PAGETEST_CHILD", version);
  for (const std::string& e : env) {
    const size_t eq = e.find('=');
    SetEnvironmentVariableA(e.substr(0, eq).c_str(), e.substr(eq + 1).c_str());
  }
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  std::string cmd = GetCommandLineA();
  DWORD code = 99;
  if (CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                     &si, &pi)) {
    WaitForSingleObject(pi.hProcess, INFINITE);
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
  }
  SetEnvironmentVariableA("PAGETEST_CHILD", nullptr);
  return static_cast<int>(code);
}

inline bool IsChild() { return !Env("PAGETEST_CHILD").empty(); }

// Wine takes the system language from the Unix locale of the process that
// started the Wine process tree, not from the Windows environment. To run
// as another system language the program is therefore started again from a
// Unix process: env LC_ALL=<lcAll> ... wine <this program>. Wine cannot wait
// for a Unix process, so the child writes its exit code into a file that the
// parent waits for. Returns the child's exit code (99 when it never ended).
inline int RunChildWithLocale(const char* version, const std::string& lcAll,
                              const std::vector<std::string>& env = {}) {
  const std::string appKey = "Software\\Wine\\AppDefaults\\" + ExeName();
  HKEY k;
  RegCreateKeyExA(HKEY_CURRENT_USER, appKey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                  nullptr, &k, nullptr);
  RegSetValueExA(k, "Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(version),
                 static_cast<DWORD>(strlen(version) + 1));
  RegCloseKey(k);

  const std::string prefix = Env("TACHY_WINEPREFIX");
  if (prefix.empty()) {
    fprintf(stderr, "TACHY_WINEPREFIX is not set\n");
    return 98;
  }
  char temp[MAX_PATH], done[MAX_PATH];
  GetTempPathA(sizeof temp, temp);
  GetTempFileNameA(temp, "pgt", 0, done);
  DeleteFileA(done);
  char self[MAX_PATH];
  GetModuleFileNameA(nullptr, self, sizeof self);
  const char* wine = GetFileAttributesA("Z:\\usr\\bin\\wine") != INVALID_FILE_ATTRIBUTES
                         ? "/usr/bin/wine" : "wine";
  std::string cmd = "/usr/bin/env LC_ALL=" + lcAll + " PAGETEST_CHILD=" + version +
                    " \"PAGETEST_DONE=" + done + "\" WINEPREFIX=" + prefix;
  for (const std::string& e : env) cmd += " " + e;
  cmd += std::string(" ") + wine + " \"" + self + "\"";
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  if (!CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                      &si, &pi)) {
    fprintf(stderr, "could not start %s (%lu)\n", cmd.c_str(), GetLastError());
    return 97;
  }
  CloseHandle(pi.hProcess);
  CloseHandle(pi.hThread);
  for (int waited = 0; waited < 280000; waited += 200) {
    FILE* f = fopen(done, "r");
    if (f) {
      int code = 99;
      const bool complete = fscanf(f, "%d", &code) == 1;
      fclose(f);
      if (complete) {
        DeleteFileA(done);
        return code;
      }
    }
    Sleep(200);
  }
  fprintf(stderr, "the child for LC_ALL=%s did not finish\n", lcAll.c_str());
  return 99;
}

// The child's end: hands its exit code to the waiting parent.
inline int ChildExit(int code) {
  const std::string done = Env("PAGETEST_DONE");
  if (!done.empty()) {
    const std::string partial = done + ".part";
    FILE* f = fopen(partial.c_str(), "w");
    if (f) {
      fprintf(f, "%d\n", code);
      fclose(f);
      MoveFileA(partial.c_str(), done.c_str());
    }
  }
  return code;
}

// Every page test program holds this while it runs, so that two of them
// never change the machine's keys at the same time.
class MachineLock {
 public:
  MachineLock() {
    mutex_ = CreateMutexA(nullptr, FALSE, "TachymarkPageTestMachine");
    WaitForSingleObject(mutex_, INFINITE);
  }
  ~MachineLock() {
    ReleaseMutex(mutex_);
    CloseHandle(mutex_);
  }

 private:
  HANDLE mutex_;
};

}  // namespace pagetest
