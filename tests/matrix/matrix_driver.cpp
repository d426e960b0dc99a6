// One run of the Windows version matrix, inside a Wine prefix that poses as
// one Windows version: the release as a user gets it, end to end.
//
//   matrix_driver --version V --package C:\Tachymark --standin PATH
//                 [--missing install,page,refresh] [--export FOLDER]
//
// Steps, each reported on one line "step <name> pass|fail|n/a <detail>":
//   install  TACHINST.EXE from the unpacked package, unattended: Voodoo3
//            3000, OK, OK; then the product key, the Display handler key and
//            the class key it wrote; then regsvr32 on TACHPAGE.DLL and the
//            ProgID key that writes.
//   page     the stand-in's Display Properties sheet shows the Tachymark tab,
//            filled from the registry, with the controls this platform gets.
//   apply    enable clock adjustment, move the clock to 180 MHz, switch
//            Glide vsync off, Apply; the values land in this platform's
//            layout (9x display class, NT 4 Voodoo3 service, NT 5 3dfxvs
//            service) and nowhere else.
//   refresh  where the page enables it (PlatformKind 1): the refresh-rate
//            dialog opens, 72 Hz is chosen for 640x480 and saved.
//   remove   TACHINST.EXE again: Remove, OK; the product's keys and the
//            ProgID key are gone, and nothing else it wrote under its trees
//            is left but what removal keeps by design (listed).
// --missing names steps whose pieces are not built; they are reported as
// failures marked "missing" without being run. --export FOLDER: reg.exe
// exports HKLM, HKCU and HKCR to FOLDER\before-<root>.reg before the install
// and to FOLDER\after-<root>.reg after the removal (matrix.sh compares them).
// First the registry is reset: the product's and the driver's keys deleted,
// one Voodoo3 3000 (display-class 0000) with rates for 640x480 at 8 bit seeded.
#include <windows.h>

#include "../win/registry_tree.h"
#include <commctrl.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

using tachy::DeleteTree;

// ---------------------------------------------------------------------------
// What each version must give.

struct Expectation {
  const char* version;
  int kind;     // PlatformKind: 1 9x layout, 2 NT 4, 3 NT 5
  bool win98;   // the installer's Windows 98 option is active
};

// winxp is NT 5.1: GetVersionExA says major 5, which is NT 5. win7 (6.1)
// and win10 (10.0) are neither NT 4 nor NT 5 and so get the 9x layout.
const Expectation kExpectations[] = {
    {"win95", 1, false}, {"win98", 1, true},  {"winme", 1, true},
    {"nt40", 2, false},  {"win2k", 3, false}, {"winxp", 3, false},
    {"win7", 1, false},  {"win10", 1, false},
};

const char kClsid[] = "{7A41C3E2-5B19-11d2-A4C7-0060B0D4E91F}";
const char kProgId[] = "PROPERTY.PROPERTYINTERFACE";
const char kProduct[] = "Software\\Tachymark";
const char kControls[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Controls Folder";
const char kDisplayHandler[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Controls Folder\\Display\\Shellex"
    "\\PropertySheetHandlers\\Tachymark";
const char kDeviceHandler[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Controls Folder\\Device\\Shellex"
    "\\PropertySheetHandlers\\Tachymark";
const char kLegacyHandler[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Controls Folder\\Display\\Shellex"
    "\\PropertySheetHandlers\\Velomark";
const char kClass[] = "System\\CurrentControlSet\\Services\\Class\\Display";
const char kAdapter[] = "System\\CurrentControlSet\\Services\\Class\\Display\\0000";
const char kServices[] = "SYSTEM\\CurrentControlSet\\Services";
const char kNt4Device[] = "SYSTEM\\CurrentControlSet\\Services\\Voodoo3\\Device0";
const char kNt5Device[] = "SYSTEM\\CurrentControlSet\\Services\\3dfxvs\\Device0";
const char kNtGlide[] = "SYSTEM\\CurrentControlSet\\Services\\3Dfx\\Device0\\Glide";
const char kMode640[] =
    "System\\CurrentControlSet\\Services\\Class\\Display\\0000\\MODES\\8\\640,480";
const char kModeRates[] = "60,72,75,85";

// ---------------------------------------------------------------------------
// Registry.

std::string ClassKey() { return std::string("CLSID\\") + kClsid; }

bool KeyExists(HKEY root, const std::string& path) {
  HKEY k;
  if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS) return false;
  RegCloseKey(k);
  return true;
}

// The value as text (a DWORD as decimal); `type` gets its type, or stays
// REG_NONE when it is missing.
bool ReadValue(HKEY root, const std::string& path, const char* name, std::string* text,
               DWORD* type = nullptr) {
  HKEY k;
  if (type) *type = REG_NONE;
  if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS) return false;
  char buf[1024] = {};
  DWORD size = sizeof buf - 1, t = 0;
  LONG r = RegQueryValueExA(k, name, nullptr, &t, reinterpret_cast<BYTE*>(buf), &size);
  RegCloseKey(k);
  if (r != ERROR_SUCCESS) return false;
  if (type) *type = t;
  if (text) {
    if (t == REG_DWORD && size == 4) {
      *text = std::to_string(*reinterpret_cast<DWORD*>(buf));
    } else {
      *text = std::string(buf);
    }
  }
  return true;
}

bool WriteText(HKEY root, const std::string& path, const char* name, const char* text) {
  HKEY k;
  if (RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k,
                      nullptr) != ERROR_SUCCESS)
    return false;
  LONG r = RegSetValueExA(k, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                          static_cast<DWORD>(strlen(text) + 1));
  RegCloseKey(k);
  return r == ERROR_SUCCESS;
}

// Every key and value below the given roots, as "key" and "key [value] = data"
// lines: what the product leaves behind is the difference of two snapshots.
void Walk(HKEY root, const std::string& label, const std::string& path,
          std::set<std::string>* out) {
  HKEY k;
  if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS) return;
  auto upper = [](std::string text) { return CharUpperA(&text[0]), text; };
  const std::string key = upper(label + "\\" + path);
  out->insert(key);
  char name[256];
  BYTE data[1024];
  for (DWORD i = 0;; ++i) {
    DWORD len = sizeof name, size = sizeof data - 1, type = 0;
    if (RegEnumValueA(k, i, name, &len, nullptr, &type, data, &size) != ERROR_SUCCESS) break;
    data[size] = 0;
    std::string text = type == REG_DWORD ? std::to_string(*reinterpret_cast<DWORD*>(data))
                                         : std::string(reinterpret_cast<char*>(data));
    out->insert(key + upper(std::string(" [") + name + "] = ") + text);
  }
  std::vector<std::string> subs;
  for (DWORD i = 0;; ++i) {
    DWORD len = sizeof name;
    if (RegEnumKeyExA(k, i, name, &len, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
      break;
    subs.push_back(name);
  }
  RegCloseKey(k);
  for (const std::string& s : subs) Walk(root, label, path + "\\" + s, out);
}

std::set<std::string> Snapshot() {
  std::set<std::string> s;
  Walk(HKEY_LOCAL_MACHINE, "HKLM", kProduct, &s);
  Walk(HKEY_LOCAL_MACHINE, "HKLM", kControls, &s);
  Walk(HKEY_LOCAL_MACHINE, "HKLM", kClass, &s);
  for (const char* service : {"Voodoo3", "3dfxvs", "3Dfx"})
    Walk(HKEY_LOCAL_MACHINE, "HKLM", std::string(kServices) + "\\" + service, &s);
  Walk(HKEY_CLASSES_ROOT, "HKCR", ClassKey(), &s);
  return s;
}

// Deletes what any earlier run may have left and seeds one Voodoo3 3000.
bool ResetRegistry() {
  for (const char* key : {kProduct, kDisplayHandler, kDeviceHandler, kLegacyHandler})
    DeleteTree(HKEY_LOCAL_MACHINE, key);
  DeleteTree(HKEY_CLASSES_ROOT, ClassKey());
  DeleteTree(HKEY_CLASSES_ROOT, kProgId);
  DeleteTree(HKEY_LOCAL_MACHINE, kClass);
  for (const char* service : {"Voodoo3", "3dfxvs", "3Dfx"})
    DeleteTree(HKEY_LOCAL_MACHINE, std::string(kServices) + "\\" + service);
  // The handler folders exist on every Windows (other handlers live there).
  for (const char* folder : {"Display", "Device"}) {
    HKEY k;
    const std::string path =
        std::string(kControls) + "\\" + folder + "\\Shellex\\PropertySheetHandlers";
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                        nullptr, &k, nullptr) == ERROR_SUCCESS)
      RegCloseKey(k);
  }
  return WriteText(HKEY_LOCAL_MACHINE, kAdapter, "DriverDesc", "3Dfx Voodoo3 3000 AGP") &&
         WriteText(HKEY_LOCAL_MACHINE, kMode640, "", kModeRates);
}

// ---------------------------------------------------------------------------
// Processes and windows.

class Process {
 public:
  ~Process() { Kill(); }
  bool Start(const std::string& exe, const std::string& args = "") {
    std::string line = "\"" + exe + "\"" + (args.empty() ? "" : " " + args);
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    std::string folder = exe.substr(0, exe.find_last_of('\\'));
    running_ = CreateProcessA(exe.c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr,
                              folder.c_str(), &si, &pi_) != FALSE;
    return running_;
  }
  DWORD Pid() const { return pi_.dwProcessId; }
  bool WaitExit(DWORD ms) {
    if (!running_) return true;
    if (WaitForSingleObject(pi_.hProcess, ms) != WAIT_OBJECT_0) return false;
    GetExitCodeProcess(pi_.hProcess, &exitCode_);
    Close();
    return true;
  }
  DWORD ExitCode() const { return exitCode_; }
  void Kill() {
    if (!running_) return;
    if (WaitForSingleObject(pi_.hProcess, 0) == WAIT_TIMEOUT) {
      TerminateProcess(pi_.hProcess, 99);
      WaitForSingleObject(pi_.hProcess, 5000);
    }
    Close();
  }

 private:
  void Close() {
    CloseHandle(pi_.hThread);
    CloseHandle(pi_.hProcess);
    running_ = false;
  }
  PROCESS_INFORMATION pi_ = {};
  bool running_ = false;
  DWORD exitCode_ = STILL_ACTIVE;
};

// Starts a program of the system folder (reg.exe, regsvr32.exe); Ended()
// tells whether it ran to its end with exit code 0.
bool StartSystemProgram(Process& p, const char* exe, const std::string& args) {
  char dir[MAX_PATH] = {};
  GetSystemDirectoryA(dir, sizeof dir);
  return p.Start(std::string(dir) + "\\" + exe, args);
}
bool Ended(Process& p) { return p.WaitExit(60000) && p.ExitCode() == 0; }

struct Search {
  DWORD pid;
  int controlId;
  const char* caption;
  HWND found;
};

BOOL CALLBACK FindProc(HWND w, LPARAM lp) {
  Search* s = reinterpret_cast<Search*>(lp);
  DWORD pid = 0;
  GetWindowThreadProcessId(w, &pid);
  if (pid != s->pid || !IsWindowVisible(w)) return TRUE;
  char cls[64] = {};
  GetClassNameA(w, cls, sizeof cls);
  if (lstrcmpA(cls, "#32770") != 0) return TRUE;
  if (s->controlId && !GetDlgItem(w, s->controlId)) return TRUE;
  if (s->caption) {
    char text[256] = {};
    GetWindowTextA(w, text, sizeof text);
    if (lstrcmpA(text, s->caption) != 0) return TRUE;
  }
  s->found = w;
  return FALSE;
}

// A visible dialog of the process, told apart by a control id and/or its
// caption, polled for up to `ms`.
HWND WaitDialog(DWORD pid, int controlId, const char* caption = nullptr, DWORD ms = 30000) {
  DWORD start = GetTickCount();
  do {
    Search s{pid, controlId, caption, nullptr};
    EnumWindows(FindProc, reinterpret_cast<LPARAM>(&s));
    if (s.found) return s.found;
    Sleep(25);
  } while (GetTickCount() - start < ms);
  return nullptr;
}

bool WaitGone(HWND w, DWORD ms = 15000) {
  DWORD start = GetTickCount();
  while (IsWindow(w) && IsWindowVisible(w)) {
    if (GetTickCount() - start > ms) return false;
    Sleep(25);
  }
  return true;
}

// Lets everything sent or posted to the window's thread be handled.
void Settle(HWND w) {
  DWORD_PTR result;
  SendMessageTimeoutA(w, WM_NULL, 0, 0, SMTO_BLOCK, 10000, &result);
}

// A click whose handler may open a modal window: posted.
void Click(HWND dialog, int id) { PostMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }

// A click whose handler opens nothing modal: handled before this returns.
void ClickNow(HWND dialog, int id) {
  DWORD_PTR result;
  SendMessageTimeoutA(GetDlgItem(dialog, id), BM_CLICK, 0, 0, SMTO_BLOCK, 10000, &result);
  Settle(dialog);
}

LRESULT Send(HWND w, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
  DWORD_PTR result = 0;
  SendMessageTimeoutA(w, message, wParam, lParam, SMTO_BLOCK, 10000, &result);
  return static_cast<LRESULT>(result);
}

std::string ItemText(HWND dialog, int id) {
  char buf[256] = {};
  GetWindowTextA(GetDlgItem(dialog, id), buf, sizeof buf);
  return buf;
}

bool Checked(HWND dialog, int id) {
  return Send(GetDlgItem(dialog, id), BM_GETCHECK) == BST_CHECKED;
}

bool Enabled(HWND dialog, int id) { return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE; }

// ---------------------------------------------------------------------------
// Reporting.

struct Step {
  explicit Step(const char* n) : name(n) {}
  std::string name;
  std::vector<std::string> problems;
  std::vector<std::string> notes;
  bool ran = false;
  bool completed = false;  // ran to its end (its checks may still fail)
  bool notApplicable = false;
  std::string missing;
  void Fail(const std::string& what) { problems.push_back(what); }
  void Check(bool ok, const std::string& what) {
    if (!ok) Fail(what);
  }
  bool ok() const { return ran && problems.empty(); }
};

void Report(const Step& s) {
  const char* verdict = s.notApplicable ? "n/a" : (s.ok() ? "pass" : "fail");
  std::string detail;
  if (!s.missing.empty()) {
    detail = "missing: " + s.missing;
  } else {
    for (const std::string& p : s.problems) detail += (detail.empty() ? "" : "; ") + p;
  }
  printf("step %s %s %s\n", s.name.c_str(), verdict, detail.c_str());
  for (const std::string& n : s.notes) printf("note %s: %s\n", s.name.c_str(), n.c_str());
  fflush(stdout);
}

void ExpectValue(Step& s, HKEY root, const std::string& key, const char* name,
                 const std::string& want, DWORD wantType = REG_SZ) {
  std::string got;
  DWORD type;
  if (!ReadValue(root, key, name, &got, &type)) {
    s.Fail(key + " [" + name + "] missing (want \"" + want + "\")");
  } else if (got != want || type != wantType) {
    s.Fail(key + " [" + name + "] = \"" + got + "\" type " + std::to_string(type) +
           " (want \"" + want + "\" type " + std::to_string(wantType) + ")");
  }
}

void ExpectAbsent(Step& s, HKEY root, const std::string& key, const char* name) {
  std::string got;
  if (ReadValue(root, key, name, &got)) s.Fail(key + " [" + name + "] = \"" + got + "\" is there");
}

// ---------------------------------------------------------------------------
// The steps.

struct Run {
  Expectation expect{};
  std::string package;  // folder holding the unpacked release
  std::string standin;
  std::string exportDir;  // empty: no whole-registry export
  std::set<std::string> missing;
};

void ExportRegistry(const Run& run, const char* when) {
  if (run.exportDir.empty()) return;
  const char* roots[] = {"HKLM", "HKCU", "HKCR"};
  Process p[3];  // side by side, a little faster than one after the other
  for (int i = 0; i < 3; ++i)
    StartSystemProgram(p[i], "reg.exe", std::string("export ") + roots[i] + " \"" +
                                            run.exportDir + "\\" + when + "-" + roots[i] + ".reg\" /y");
  for (int i = 0; i < 3; ++i)
    if (!Ended(p[i])) printf("note export: reg export %s failed\n", roots[i]);
}

bool Missing(const Run& run, Step& s, std::initializer_list<const char*> pieces) {
  for (const char* p : pieces) {
    if (run.missing.count(p)) s.missing += (s.missing.empty() ? "" : ", ") + std::string(p);
  }
  return !s.missing.empty();
}

// TACHINST.EXE through its install flow.
void Install(const Run& run, Step& s) {
  if (Missing(run, s, {"installer"})) return;
  s.ran = true;
  Process inst;
  if (!inst.Start(run.package + "\\TACHINST.EXE")) return s.Fail("TACHINST.EXE did not start");
  HWND model = WaitDialog(inst.Pid(), 1003);
  if (!model) return s.Fail("the Select Model dialog did not appear");
  s.Check(Enabled(model, 1004) == run.expect.win98,
          std::string("Windows 98 option ") + (run.expect.win98 ? "greyed" : "active"));
  ClickNow(model, 1002);  // Voodoo3 3000
  Click(model, IDOK);
  HWND done = WaitDialog(inst.Pid(), 1015);
  if (!done) return s.Fail("the Installed dialog did not appear");
  Click(done, IDOK);
  if (!inst.WaitExit(15000)) return s.Fail("TACHINST.EXE did not end");
  s.completed = true;

  const std::pair<const char*, const char*> values[] = {
      {"LowerLimit", "120"}, {"UpperLimit", "220"}, {"Model", "Voodoo3 3000"},
      {"DefaultClock", "166"}, {"EnableClock", "0"}, {"ColorDepth", "8"},
      {"LinkAllColorDepths", "0"}};
  for (const auto& v : values) ExpectValue(s, HKEY_LOCAL_MACHINE, kProduct, v.first, v.second);
  for (const char* force : {"Force95", "Force98", "ForceNT4", "ForceNT5"})
    ExpectAbsent(s, HKEY_LOCAL_MACHINE, kProduct, force);
  ExpectValue(s, HKEY_LOCAL_MACHINE, kDisplayHandler, "", kClsid);
  s.Check(!KeyExists(HKEY_LOCAL_MACHINE, kDeviceHandler), "the Device handler key was written");
  std::string server;
  const std::string serverKey = ClassKey() + "\\InProcServer32";
  const std::string module = run.package + "\\TACHPAGE.DLL";
  if (!ReadValue(HKEY_CLASSES_ROOT, serverKey, "", &server)) {
    s.Fail("HKCR\\" + serverKey + " default value missing");
  } else {
    s.Check(lstrcmpiA(server.c_str(), module.c_str()) == 0,
            "InProcServer32 is \"" + server + "\", want \"" + module + "\"");
  }
  ExpectValue(s, HKEY_CLASSES_ROOT, serverKey, "ThreadingModel", "Apartment");
  // A user who also registers the module by hand (DllRegisterServer).
  Process regsvr32;
  s.Check(StartSystemProgram(regsvr32, "regsvr32.exe", "/s \"" + module + "\"") && Ended(regsvr32),
          "regsvr32 failed");
  ExpectValue(s, HKEY_CLASSES_ROOT, std::string(kProgId) + "\\CLSID", "",
              "{7A41C3E2-5B19-11D2-A4C7-0060B0D4E91F}");  // as StringFromCLSID renders it
}

struct Sheet {
  Process process;
  HWND sheet = nullptr;
  HWND page = nullptr;
};

// The stand-in's sheet, on the Tachymark tab.
void OpenPage(const Run& run, Step& s, Sheet& sh) {
  if (Missing(run, s, {"installer", "page", "standin"})) return;
  s.ran = true;
  if (!sh.process.Start(run.standin)) return s.Fail("the stand-in did not start");
  sh.sheet = WaitDialog(sh.process.Pid(), 0, "Display Properties");
  if (!sh.sheet) return s.Fail("the Display Properties sheet did not appear");
  sh.page = reinterpret_cast<HWND>(Send(sh.sheet, PSM_GETCURRENTPAGEHWND));
  if (!sh.page || !GetDlgItem(sh.page, 1009))
    return s.Fail("the sheet does not show the Tachymark tab (handler not loaded)");
  s.completed = true;
  HWND tabs = reinterpret_cast<HWND>(Send(sh.sheet, PSM_GETTABCONTROL));
  s.Check(Send(tabs, TCM_GETITEMCOUNT) == 2, "the sheet has not exactly one handler tab");
  const bool nine = run.expect.kind == 1;
  s.Check(!Checked(sh.page, 1009), "clock adjustment is on after install");
  s.Check(!Enabled(sh.page, 1001), "the trackbar is enabled with clock adjustment off");
  s.Check(ItemText(sh.page, 1005) == "166", "clock label \"" + ItemText(sh.page, 1005) +
                                                "\" (want the stock 166)");
  s.Check(ItemText(sh.page, 1008) == "Voodoo3 3000",
          "model label \"" + ItemText(sh.page, 1008) + "\"");
  HWND bar = GetDlgItem(sh.page, 1001);
  s.Check(Send(bar, TBM_GETRANGEMIN) == 120 && Send(bar, TBM_GETRANGEMAX) == 220,
          "trackbar range is not 120..220");
  s.Check(Enabled(sh.page, 1007) == nine,
          std::string("the Direct3D switch is ") + (nine ? "disabled" : "enabled"));
  s.Check(Enabled(sh.page, 1026) == nine,
          std::string("the Refresh Rates button is ") + (nine ? "disabled" : "enabled"));
  s.notes.push_back("version line \"" + ItemText(sh.page, 1054) + "\"");
}

void Apply(const Run& run, Step& s, Sheet& sh, bool pageOk) {
  if (Missing(run, s, {"installer", "page", "standin"})) return;
  s.ran = true;
  if (!pageOk || !sh.page) return s.Fail("not run: the tab did not open");
  ClickNow(sh.page, 1009);
  s.Check(Checked(sh.page, 1009), "clock adjustment did not switch on");
  s.Check(Enabled(sh.page, 1001), "the trackbar stayed disabled");
  HWND bar = GetDlgItem(sh.page, 1001);
  Send(bar, TBM_SETPOS, TRUE, 180);
  Send(sh.page, WM_HSCROLL, MAKEWPARAM(TB_THUMBPOSITION, 180), reinterpret_cast<LPARAM>(bar));
  Send(sh.page, WM_HSCROLL, MAKEWPARAM(TB_ENDTRACK, 0), reinterpret_cast<LPARAM>(bar));
  s.Check(ItemText(sh.page, 1005) == "180", "clock label \"" + ItemText(sh.page, 1005) +
                                                "\" after moving to 180");
  ClickNow(sh.page, 1006);
  s.Check(Checked(sh.page, 1006), "the Glide switch did not switch on");
  const int applyId = 0x3021;
  s.Check(Enabled(sh.sheet, applyId), "Apply is not enabled after the changes");
  Send(sh.sheet, PSM_APPLY);
  Settle(sh.sheet);
  s.Check(!Enabled(sh.sheet, applyId), "Apply stayed enabled after applying");

  ExpectValue(s, HKEY_LOCAL_MACHINE, kProduct, "EnableClock", "1");
  const std::string a = kAdapter;
  switch (run.expect.kind) {
    case 1:
      ExpectValue(s, HKEY_LOCAL_MACHINE, a + "\\DEFAULT", "Grxclock", "180");
      ExpectValue(s, HKEY_LOCAL_MACHINE, a + "\\Glide", "FX_GLIDE_SWAPINTERVAL", "0");
      ExpectAbsent(s, HKEY_LOCAL_MACHINE, a + "\\D3D", "SSTH3_SWAPINTERVAL");
      for (const char* service : {"\\Voodoo3", "\\3dfxvs", "\\3Dfx"})
        s.Check(!KeyExists(HKEY_LOCAL_MACHINE, kServices + std::string(service)),
                std::string("NT driver key ") + service + " was written");
      break;
    case 2:
    case 3: {
      const char* device = run.expect.kind == 2 ? kNt4Device : kNt5Device;
      const char* other = run.expect.kind == 2 ? kNt5Device : kNt4Device;
      ExpectValue(s, HKEY_LOCAL_MACHINE, device, "GraphicsClocking", "180", REG_DWORD);
      ExpectValue(s, HKEY_LOCAL_MACHINE, device, "SSTH3_SWAPINTERVAL", "0");
      ExpectValue(s, HKEY_LOCAL_MACHINE, kNtGlide, "FX_GLIDE_SWAPINTERVAL", "0");
      s.Check(!KeyExists(HKEY_LOCAL_MACHINE, other), std::string(other) + " was written");
      s.Check(!KeyExists(HKEY_LOCAL_MACHINE, a + "\\DEFAULT") &&
                  !KeyExists(HKEY_LOCAL_MACHINE, a + "\\Glide"),
              "9x display-class keys were written");
      break;
    }
  }
}

void Refresh(const Run& run, Step& s, Sheet& sh, bool pageOk) {
  if (run.expect.kind != 1) {
    s.notApplicable = true;  // the page disables the button (checked in "page")
    return;
  }
  if (Missing(run, s, {"installer", "page", "refresh", "standin"})) return;
  s.ran = true;
  if (!pageOk || !sh.page) return s.Fail("not run: the tab did not open");
  Click(sh.page, 1026);
  HWND dlg = WaitDialog(sh.process.Pid(), 1024);
  if (!dlg) return s.Fail("the Refresh Rates dialog did not appear");
  HWND list = GetDlgItem(dlg, 1024);  // 640x480
  const LRESULT count = Send(list, CB_GETCOUNT);
  s.Check(count == 7, "640x480 offers " + std::to_string(count) +
                          " entries (want Adapter, Default, Optimal, 60, 72, 75, 85)");
  s.Check(Send(list, CB_GETCURSEL) == 0, "640x480 does not start on Adapter");
  Send(list, CB_SETCURSEL, 4);  // 72
  ClickNow(dlg, 1033);          // Save
  ExpectValue(s, HKEY_LOCAL_MACHINE, kMode640, "RefreshRate", "72");
  ExpectValue(s, HKEY_LOCAL_MACHINE, std::string(kAdapter) + "\\DEFAULT", "RefreshRate", "0");
  ExpectValue(s, HKEY_LOCAL_MACHINE, kProduct, "ColorDepth", "8");
  ExpectValue(s, HKEY_LOCAL_MACHINE, kProduct, "LinkAllColorDepths", "0");
  Click(dlg, IDCANCEL);
  s.Check(WaitGone(dlg), "the Refresh Rates dialog did not close");
}

void ClosePage(Sheet& sh) {
  if (!sh.sheet) return;
  PostMessageA(sh.sheet, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
  if (!sh.process.WaitExit(15000)) sh.process.Kill();
}

// What removal keeps by design: the refresh-rate choices of the driver's
// mode keys and the adapter's refresh policy (removal clears only the clock
// and vsync values), and keys left empty by the create-or-open writes.
bool KeptByDesign(const std::string& line) {
  return line.find("[REFRESHRATE]") != std::string::npos ||
         line.find(" [") == std::string::npos;  // a key, not a value
}

void Remove(const Run& run, Step& s, const std::set<std::string>& before) {
  if (Missing(run, s, {"installer"})) return;
  s.ran = true;
  Process inst;
  if (!inst.Start(run.package + "\\TACHINST.EXE")) return s.Fail("TACHINST.EXE did not start");
  HWND choice = WaitDialog(inst.Pid(), 1007);
  if (!choice) return s.Fail("the Reinstall/Remove dialog did not appear");
  Click(choice, 1007);
  HWND done = WaitDialog(inst.Pid(), 1017);
  if (!done) return s.Fail("the Removed dialog did not appear");
  Click(done, IDOK);
  if (!inst.WaitExit(15000)) return s.Fail("TACHINST.EXE did not end");

  s.Check(!KeyExists(HKEY_LOCAL_MACHINE, kProduct), "the product key is left");
  s.Check(!KeyExists(HKEY_LOCAL_MACHINE, kDisplayHandler), "the Display handler key is left");
  s.Check(!KeyExists(HKEY_LOCAL_MACHINE, kDeviceHandler), "the Device handler key is left");
  s.Check(!KeyExists(HKEY_CLASSES_ROOT, ClassKey()), "the class key is left");
  s.Check(!KeyExists(HKEY_CLASSES_ROOT, kProgId), "the ProgID key is left");
  std::set<std::string> after = Snapshot();
  for (const std::string& line : after) {
    if (before.count(line)) continue;
    if (KeptByDesign(line)) {
      s.notes.push_back("kept by design: " + line);
    } else {
      s.Fail("left: " + line);
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  Run run;
  std::string version, missing;
  const std::map<std::string, std::string*> options = {
      {"--version", &version}, {"--package", &run.package}, {"--standin", &run.standin},
      {"--export", &run.exportDir}, {"--missing", &missing}};
  for (int i = 1; i + 1 < argc; i += 2) {
    auto it = options.find(argv[i]);
    if (it != options.end()) *it->second = argv[i + 1];
  }
  for (size_t a = 0, b = 0; a < missing.size(); a = b + 1) {
    b = std::min(missing.find(',', a), missing.size());
    if (b > a) run.missing.insert(missing.substr(a, b - a));
  }
  bool known = false;
  for (const Expectation& e : kExpectations) {
    if (version == e.version) {
      run.expect = e;
      known = true;
    }
  }
  if (!known || run.package.empty() || run.standin.empty()) {
    fprintf(stderr,
            "usage: matrix_driver --version win95|win98|winme|nt40|win2k|winxp|win7|win10 "
            "--package FOLDER --standin PATH [--missing PIECES] [--export FOLDER]\n");
    return 2;
  }

  OSVERSIONINFOA os = {};
  os.dwOSVersionInfoSize = sizeof os;
  GetVersionExA(&os);
  printf("windows %s: platform %lu, version %lu.%lu, build %lu; expected layout %d\n",
         version.c_str(), os.dwPlatformId, os.dwMajorVersion, os.dwMinorVersion,
         os.dwBuildNumber & 0xFFFF, run.expect.kind);

  if (!ResetRegistry()) {
    printf("step reset fail could not reset the registry\n");
    return 1;
  }
  const std::set<std::string> before = Snapshot();
  ExportRegistry(run, "before");

  Step install{"install"}, page{"page"}, apply{"apply"}, refresh{"refresh"}, remove{"remove"};
  Install(run, install);
  Report(install);
  Sheet sheet;
  if (install.completed || !install.ran) {
    OpenPage(run, page, sheet);
  } else {
    page.ran = true;
    page.Fail("not run: install failed");
  }
  Report(page);
  Apply(run, apply, sheet, page.completed);
  Report(apply);
  Refresh(run, refresh, sheet, page.completed);
  Report(refresh);
  ClosePage(sheet);
  Remove(run, remove, before);
  Report(remove);
  ExportRegistry(run, "after");
  return 0;
}
