// The page's Wine tests share: the machine's keys, the page module loaded as the Display
// control panel loads it, a modeless sheet driven by real input in steps, a catcher for
// message boxes, and re-running the program as another Windows version or language.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <initializer_list>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "gui.h"
#include "tools/standin/prop_ext_loader.h"

namespace pagetest {

using namespace gui;

constexpr char kClsid[] = "{7A41C3E2-5B19-11D2-A4C7-0060B0D4E91F}";
const CLSID kClass = {0x7A41C3E2, 0x5B19, 0x11d2,
                      {0xA4, 0xC7, 0x00, 0x60, 0xB0, 0xD4, 0xE9, 0x1F}};
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
// The clock controls: trackbar, value, unit, both limits, the restart note.
constexpr int kClockControls[] = {1001, 1005, 1010, 1004, 1003, 1027};
const char kAboveLimit[] =
    "The Graphics Clock in presently set to 250 Mhz which is above the Upper Limit "
    "of 220 Mhz and will be reset to the Upper Limit now. You will need to restart "
    "Windows after exiting Display Properties.";
const char kApplyFailed[] =
    "The settings could not be saved. Changing them may need administrator rights.";

inline std::string Env(const char* name) {
  const char* v = getenv(name);
  return v ? v : "";
}

// The value exactly as stored: type and bytes (a text with its terminator),
// and the class string its key was created with.
inline void ExpectStored(const std::string& key, const char* keyClass, const char* name,
                         DWORD type, const std::string& bytes) {
  std::string data;
  DWORD t = 0;
  ASSERT_TRUE(ReadValue(HKEY_LOCAL_MACHINE, key, name, &data, &t)) << key << " " << name;
  EXPECT_EQ(t, type) << name;
  EXPECT_EQ(data, bytes) << name;
  EXPECT_EQ(KeyClass(HKEY_LOCAL_MACHINE, key), keyClass) << key;
}
inline std::string Sz(const char* text) { return std::string(text, strlen(text) + 1); }

// A clean machine: one Voodoo3 3000 board, no product key.
inline void ResetMachine() {
  DeleteTree(kProduct);
  DeleteTree(kDisplayClass);
  for (const char* service : {"Voodoo3", "3dfxvs", "3Dfx"})
    DeleteTree(std::string("SYSTEM\\CurrentControlSet\\Services\\") + service);
  PutText(kAdapter0, "DriverDesc", "3dfx Voodoo3 3000");
}

inline OSVERSIONINFOA OsVersion() {
  OSVERSIONINFOA v = {};
  v.dwOSVersionInfoSize = sizeof v;
  GetVersionExA(&v);
  return v;
}
// The keys a scenario names: a subkey of adapter 0 (DEFAULT, Glide, D3D),
// product, ntglide, or device (Device0 of the NT version Wine poses as).
inline std::string KeyOf(const std::string& alias) {
  if (alias == "product") return kProduct;
  if (alias == "ntglide") return kNtGlide;
  if (alias == "device") return OsVersion().dwMajorVersion == 4 ? kNt4Device : kNt5Device;
  return std::string(kAdapter0) + "\\" + alias;
}

// The product key as the installer leaves it.
inline void InstallProductKey(const char* lower = "120", const char* upper = "220",
                              const char* model = "Voodoo3 3000", const char* defaultClock = "166",
                              const char* enableClock = "0") {
  const char* const values[][2] = {{"LowerLimit", lower}, {"UpperLimit", upper}, {"Model", model},
                                   {"DefaultClock", defaultClock}, {"EnableClock", enableClock}};
  for (const auto& v : values) PutText(kProduct, v[0], v[1]);
}

inline HMODULE PageModule() {
  static const HMODULE module = LoadLibraryA(Env("TACHY_PAGE_DLL").c_str());
  return module;
}
inline std::string ModulePath(HMODULE module) {
  char path[MAX_PATH] = "";
  GetModuleFileNameA(module, path, sizeof path);
  return path;
}

template <typename F>
F PageExport(const char* name) {
  return reinterpret_cast<F>(reinterpret_cast<void (*)()>(GetProcAddress(PageModule(), name)));
}

inline HRESULT CanUnloadNow() {
  auto f = PageExport<HRESULT(WINAPI*)()>("DllCanUnloadNow");
  return f ? f() : E_FAIL;
}

struct Box {
  std::string caption;
  std::string text;  // in UTF-8
  HWND owner;
};

// Records every message box of this thread and presses its OK button; other
// dialogs whose caption is in `cancel` are recorded and cancelled.
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
  std::vector<std::string> cancel;
  static size_t Caught() { return current_ ? current_->boxes.size() : 0; }

 private:
  static LRESULT CALLBACK Hook(int code, WPARAM wParam, LPARAM lParam) {
    HWND w = reinterpret_cast<HWND>(wParam);
    char cls[32] = {};
    if (code == HCBT_ACTIVATE && current_ && GetClassNameA(w, cls, sizeof cls) &&
        !strcmp(cls, "#32770")) {
      HWND label = GetDlgItem(w, 0xFFFF);  // a message box's text
      const Box box = {TextA(w), label ? Utf8(label) : "", GetWindow(w, GW_OWNER)};
      const std::vector<std::string>& names = current_->cancel;
      if (label || std::find(names.begin(), names.end(), box.caption) != names.end()) {
        current_->boxes.push_back(box);
        PostMessageA(w, WM_COMMAND, label ? IDOK : IDCANCEL, 0);
      }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
  }
  static BoxCatcher* current_;
  HHOOK hook_;
};
inline BoxCatcher* BoxCatcher::current_ = nullptr;

inline BOOL CALLBACK KeepPage(HPROPSHEETPAGE page, LPARAM lParam) {
  reinterpret_cast<std::vector<HPROPSHEETPAGE>*>(lParam)->push_back(page);
  return TRUE;
}

inline HWND ModelessSheet(std::vector<HPROPSHEETPAGE>* pages, UINT start) {
  PROPSHEETHEADERA header = {};
  header.dwSize = sizeof header;
  header.dwFlags = PSH_MODELESS;
  header.hInstance = GetModuleHandleA(nullptr);
  header.pszCaption = "Display Properties";
  header.nPages = static_cast<UINT>(pages->size());
  header.nStartPage = start;
  header.phpage = pages->data();
  return reinterpret_cast<HWND>(PropertySheetA(&header));
}

// A modeless "Display Properties" sheet holding the stand-in's own page and
// the pages of the registered Display handlers; the Tachymark page is
// selected. Counts the PSM_CHANGED and PSM_UNCHANGED the sheet receives.
class Sheet {
 public:
  ~Sheet() { Close(); }

  // Closes what was open, returns the number of handler pages. `throughShell`:
  // the shell's SHCreatePropSheetExtArray loads the handlers; else the class is
  // created here the same way and released on Close. Wine 8's shell keeps a
  // reference of every handler, so only the second way shows the object's end.
  UINT Open(bool throughShell = true) {
    Close();
    changed = unchanged = 0;
    own_.reset(new standin::OwnPage("Settings"));
    handlers_.reset(new standin::HandlerPages());
    std::vector<HPROPSHEETPAGE> pages = {own_->Create()};
    const UINT added = throughShell ? handlers_->Load() : LoadDirect(&pages);
    if (throughShell) pages.insert(pages.end(), handlers_->pages.begin(), handlers_->pages.end());
    sheet = ModelessSheet(&pages, added ? 1 : 0);
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
  std::string TextOf(int id) const { return TextA(Item(id)); }
  LRESULT Trackbar(UINT message, WPARAM w = 0, LPARAM l = 0) const {
    return SendMessageA(Item(1001), message, w, l);
  }
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
  bool Finished() const { return SendMessageA(sheet, PSM_GETCURRENTPAGEHWND, 0, 0) == 0; }

  // A scenario as steps "verb arg=value", done by real input. Acting: click ID; drag N (the
  //   thumb to N); key tab|left|right|prior|next|home|end|return|space; alt X (Alt with letter X,
  //   or with the mnemonic of control X); gesture ID=HELD (HELD of c, s, l: Ctrl, Shift, left
  //   button; no '=': all three; ID 0: the page's corner, away from every control);
  //   press apply|ok|cancel (the sheet's buttons).
  // Checking: checked/unchecked ID, on/off ID, clock on|off (every clock control), text
  //   ID=TEXT, pos=N, ticks=LOWER,UPPER, apply on|off, changed=N, unchanged=N, finished,
  //   open, reg KEY/NAME=TEXT (KEY for KeyOf), dword KEY/NAME=N (a REG_DWORD), focus ID,
  //   boxes=N (message boxes caught).
  void Steps(std::initializer_list<const char*> steps) {
    for (const std::string step : steps) {
      SCOPED_TRACE(step);
      const size_t eq = step.find('='), space = step.find(' ');
      const std::string verb = step.substr(0, std::min(eq, space));
      const std::string arg = space < eq ? step.substr(space + 1, eq - space - 1) : "";
      const std::string value = eq == std::string::npos ? "" : step.substr(eq + 1);
      const int id = atoi(arg.c_str()), number = atoi(value.c_str());
      if (verb == "click") Act(Item(id), [&] { gui::Click(Item(id)); });
      else if (verb == "drag") EXPECT_TRUE(DragThumb(Item(1001), id));
      else if (verb == "key") {
        static const std::map<std::string, WORD> keys = {
            {"tab", VK_TAB},   {"left", VK_LEFT}, {"right", VK_RIGHT}, {"prior", VK_PRIOR},
            {"next", VK_NEXT}, {"home", VK_HOME}, {"end", VK_END},     {"return", VK_RETURN},
            {"space", VK_SPACE}};
        EXPECT_EQ(keys.count(arg), 1u) << "unknown key";
        Act(sheet, [&] { Key(keys.count(arg) ? keys.at(arg) : 0); });
      }
      else if (verb == "alt") Act(sheet, [&] { Alt(id ? MnemonicOf(id) : arg[0]); });
      else if (verb == "gesture") Gesture(id, eq == std::string::npos ? kGestureHeld : Held(value));
      else if (verb == "press") {
        const int button = arg == "ok" ? IDOK : arg == "cancel" ? IDCANCEL : kApplyButton;
        gui::Click(GetDlgItem(sheet, button));
        Settle(sheet);
      }
      else if (verb == "checked" || verb == "unchecked") EXPECT_EQ(Checked(id), verb == "checked");
      else if (verb == "on" || verb == "off") EXPECT_EQ(Enabled(id), verb == "on");
      else if (verb == "clock") {
        for (int c : kClockControls) EXPECT_EQ(Enabled(c), arg == "on") << c;
      }
      else if (verb == "text") EXPECT_EQ(TextOf(id), value);
      else if (verb == "focus") EXPECT_EQ(GetFocus(), Item(id));
      else if (verb == "boxes") EXPECT_EQ(BoxCatcher::Caught(), static_cast<size_t>(number));
      else if (verb == "pos") EXPECT_EQ(Trackbar(TBM_GETPOS), number);
      else if (verb == "ticks") ExpectTrackbar(number, atoi(value.c_str() + value.find(',') + 1));
      else if (verb == "apply") EXPECT_EQ(ApplyEnabled(), arg == "on");
      else if (verb == "changed") EXPECT_EQ(changed, number);
      else if (verb == "unchanged") EXPECT_EQ(unchanged, number);
      else if (verb == "finished" || verb == "open") EXPECT_EQ(Finished(), verb == "finished");
      else if (verb == "reg" || verb == "dword") ExpectValue(arg, value, verb == "dword");
      else ADD_FAILURE() << "unknown step";
    }
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
  // Input aimed at `target` (keys: the sheet's focused control), then what
  // it leads to on the page.
  template <typename F>
  void Act(HWND target, F input) {
    Foreground(target);
    input();
    Settle(page);
  }
  static void ExpectValue(const std::string& at, const std::string& value, bool dword) {
    const std::string key = KeyOf(at.substr(0, at.find('/'))), name = at.substr(at.find('/') + 1);
    EXPECT_EQ(Text(key, name.c_str()), value);
    DWORD type = 0;
    EXPECT_TRUE(!dword || (ReadValue(HKEY_LOCAL_MACHINE, key, name.c_str(), nullptr, &type) &&
                           type == REG_DWORD));
  }
  void Gesture(int id, WPARAM held) {
    Foreground(sheet);
    const RECT r = WindowRect(page);
    if (id) gui::Gesture(Item(id), held);
    else GestureAt({r.right - 3, r.bottom - 3}, held);
    Settle(page);
  }
  static WPARAM Held(const std::string& keys) {
    return (keys.find('c') != std::string::npos ? MK_CONTROL : 0) |
           (keys.find('s') != std::string::npos ? MK_SHIFT : 0) |
           (keys.find('l') != std::string::npos ? MK_LBUTTON : 0);
  }
  static LRESULT CALLBACK Spy(HWND w, UINT message, WPARAM wParam, LPARAM lParam) {
    Sheet* self = static_cast<Sheet*>(GetPropA(w, "pagetest"));
    if (message == PSM_CHANGED) ++self->changed;
    if (message == PSM_UNCHANGED) ++self->unchanged;
    return CallWindowProcA(self->previous_, w, message, wParam, lParam);
  }
  UINT LoadDirect(std::vector<HPROPSHEETPAGE>* pages) {
    IShellExtInit* init = nullptr;
    if (FAILED(CoCreateInstance(kClass, nullptr, CLSCTX_INPROC_SERVER, IID_IShellExtInit,
                                reinterpret_cast<void**>(&init))))
      return 0;
    init->Initialize(nullptr, nullptr, nullptr);
    init->QueryInterface(IID_IShellPropSheetExt, reinterpret_cast<void**>(&direct_));
    init->Release();
    if (!direct_) return 0;
    const size_t before = pages->size();
    direct_->AddPages(&KeepPage, reinterpret_cast<LPARAM>(pages));
    return static_cast<UINT>(pages->size() - before);
  }
  IShellPropSheetExt* direct_ = nullptr;
  std::unique_ptr<standin::OwnPage> own_;
  std::unique_ptr<standin::HandlerPages> handlers_;
  WNDPROC previous_ = nullptr;
};

inline std::string TabTitle(HWND sheet, int index) {
  HWND tabs = reinterpret_cast<HWND>(SendMessageA(sheet, PSM_GETTABCONTROL, 0, 0));
  char text[64] = {};
  TCITEMA item = {};
  item.mask = TCIF_TEXT;
  item.pszText = text;
  item.cchTextMax = sizeof text;
  SendMessageA(tabs, TCM_GETITEMA, index, reinterpret_cast<LPARAM>(&item));
  return text;
}

// A clean machine, the page module registered, the message boxes caught.
class PageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetMachine();
    boxes.cancel.push_back("Refresh Rates");  // modal: it would wait for a user
    // Self-registration plus the handler key the installer writes.
    ASSERT_NE(PageModule(), nullptr) << "TACHY_PAGE_DLL=" << Env("TACHY_PAGE_DLL");
    auto reg = PageExport<HRESULT(WINAPI*)()>("DllRegisterServer");
    ASSERT_NE(reg, nullptr);
    ASSERT_EQ(reg(), S_OK);
    PutText(kHandlerKey, "", kClsid);
  }
  void TearDown() override {
    s.Close();
    DeleteTree(kDisplayClass);
    DeleteTree(kProduct);
  }
  // The product key with the clock adjustment on, and the driver's clock (null: none).
  static void Adjusting(const char* clock) {
    InstallProductKey("120", "220", "Voodoo3 3000", "166", "1");
    if (clock) PutText(KeyOf("DEFAULT"), "Grxclock", clock);
  }
  struct Want {
    const char* caption;
    const char* text;  // null: any
    HWND owner;        // the page's top-level window, or none
  };
  // Every message box shown so far, in order.
  void ExpectBoxes(std::initializer_list<Want> want) {
    ASSERT_EQ(boxes.boxes.size(), want.size());
    const Box* got = boxes.boxes.data();
    for (const Want& w : want) {
      EXPECT_EQ(got->caption, w.caption);
      EXPECT_TRUE(!w.text || got->text == w.text) << got->text;
      EXPECT_EQ(got++->owner, w.owner) << w.caption;
    }
  }
  BoxCatcher boxes;
  Sheet s;
};

inline bool IsChild() { return !Env("PAGETEST_CHILD").empty(); }

// Starts `cmd` (inheriting handles and environment) and, when `wait`, returns
// its exit code; 97 when it does not start, else 99.
inline int RunProcess(std::string cmd, bool wait = true) {
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  if (!CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi))
    return fprintf(stderr, "could not start %s (%lu)\n", cmd.c_str(), GetLastError()), 97;
  DWORD code = 99;
  if (wait && WaitForSingleObject(pi.hProcess, INFINITE) == WAIT_OBJECT_0)
    GetExitCodeProcess(pi.hProcess, &code);
  CloseHandle(pi.hProcess);
  CloseHandle(pi.hThread);
  return static_cast<int>(code);
}

// Runs this program again with Wine posing as `version` (win98, nt40, win2k; null: as the
// machine is) and returns the child's exit code (99: it never ended). Wine takes the system
// language from the Unix locale that started the Wine process tree: with `lcAll` the child is
// started through /usr/bin/env, which Wine cannot wait for, so the child hands its exit code
// over in a file (ChildExit).
inline int RunChild(const char* version, const std::string& lcAll = "") {
  const std::string self = ModulePath(nullptr), prefix = Env("TACHY_WINEPREFIX");
  const std::string exe = self.substr(self.find_last_of("\\/") + 1);
  if (version)
    PutText(HKEY_CURRENT_USER, "Software\\Wine\\AppDefaults\\" + exe, "Version", version);
  DrawOwnFrames(exe);
  const char* child = version ? version : "child";
  SetEnvironmentVariableA("PAGETEST_CHILD", child);
  std::string cmd = GetCommandLineA();
  char temp[MAX_PATH], done[MAX_PATH] = "";
  if (!lcAll.empty()) {
    if (prefix.empty()) return fprintf(stderr, "TACHY_WINEPREFIX is not set\n"), 98;
    GetTempPathA(sizeof temp, temp);
    GetTempFileNameA(temp, "pgt", 0, done);
    DeleteFileA(done);
    // The Wine of this program's architecture (scripts/wine-run.sh says which).
    std::string wine = Env("TACHY_WINE");
    if (wine.empty()) wine = "/usr/bin/wine";
    cmd = "/usr/bin/env LC_ALL=" + lcAll + " PAGETEST_LANG=" + lcAll + " PAGETEST_CHILD=" +
          child + " \"PAGETEST_DONE=" + done + "\" WINEPREFIX=" + prefix + " " + wine + " \"" +
          self + "\"";
  }
  const int code = RunProcess(cmd, !done[0]);
  SetEnvironmentVariableA("PAGETEST_CHILD", nullptr);
  if (code == 97) return code;
  for (int waited = 0; done[0] && waited < 280000; waited += 50) {
    FILE* f = fopen(done, "r");
    int got = 99;
    const bool complete = f && fscanf(f, "%d", &got) == 1;
    if (f) fclose(f);
    if (complete) return DeleteFileA(done), got;
    Sleep(50);
  }
  if (done[0]) fprintf(stderr, "the child for LC_ALL=%s did not finish\n", lcAll.c_str());
  return code;
}

// The child's end: hands its exit code to a parent that waits for the file.
inline int ChildExit(int code) {
  const std::string done = Env("PAGETEST_DONE"), partial = done + ".part";
  FILE* f = done.empty() ? nullptr : fopen(partial.c_str(), "w");
  if (f) {
    fprintf(f, "%d\n", code);
    fclose(f);
    MoveFileA(partial.c_str(), done.c_str());
  }
  return code;
}

// The program: as the parent, runs itself once per run (Wine version, and a system language
// or "") and returns the number of failed runs; as the child, the tests. Two page test
// programs never change the machine's keys at the same time: each holds the mutex until it ends.
struct Run {
  const char* version;
  const char* lcAll;
};
inline int Main(int argc, char** argv, const std::vector<Run>& runs) {
  if (IsChild()) {
    const OSVERSIONINFOA v = OsVersion();
    const std::string want = Env("PAGETEST_CHILD");
    const bool nt = v.dwPlatformId == VER_PLATFORM_WIN32_NT;
    if (want == "win98"   ? nt || v.dwMinorVersion != 10
        : want == "nt40"  ? !nt || v.dwMajorVersion != 4
        : want == "win2k" ? !nt || v.dwMajorVersion != 5
                          : false)
      return fprintf(stderr, "Wine does not pose as %s here\n", want.c_str()), ChildExit(1);
    ::testing::InitGoogleTest(&argc, argv);
    InitCommonControls();
    CoInitialize(nullptr);
    const int rc = RUN_ALL_TESTS();
    CoUninitialize();
    return ChildExit(rc);
  }
  WaitForSingleObject(CreateMutexA(nullptr, FALSE, "TachymarkPageTestMachine"), INFINITE);
  int failed = 0;
  for (const Run& r : runs) {
    printf("=== Wine posing as %s%s%s\n", r.version ? r.version : "the prefix's version",
           *r.lcAll ? ", LC_ALL=" : "", r.lcAll);
    fflush(stdout);
    failed += RunChild(r.version, r.lcAll) != 0;
  }
  return failed;
}

}  // namespace pagetest
