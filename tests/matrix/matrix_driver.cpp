// One run of the Windows version matrix in a Wine prefix posing as one Windows version: the
// release as a user gets it, end to end, on one seeded Voodoo3 3000. Each step (install, page,
// apply, refresh, remove; the removal from Wine's own Add/Remove Programs) reports one line "step <name> pass|fail|n/a <detail>"; the pieces named
// by --missing are not built and their steps report "missing". --export FOLDER: reg.exe exports
// HKLM, HKCU and HKCR before and after (matrix.sh compares).
#include "../win/gui.h"

#include <stdio.h>

#include <algorithm>
#include <map>
#include <set>

namespace {

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
const std::string kProduct = "Software\\Tachymark";
const std::string kControls = "Software\\Microsoft\\Windows\\CurrentVersion\\Controls Folder";
const std::string kHandlers = "\\Shellex\\PropertySheetHandlers";
const std::string kDisplayHandler = kControls + "\\Display" + kHandlers + "\\Tachymark";
const std::string kDeviceHandler = kControls + "\\Device" + kHandlers + "\\Tachymark";
const std::string kLegacyHandler = kControls + "\\Display" + kHandlers + "\\Velomark";
const std::string kUninstall = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tachymark";
const std::string kClass = "System\\CurrentControlSet\\Services\\Class\\Display";
const std::string kAdapter = kClass + "\\0000";
const std::string kServices = "SYSTEM\\CurrentControlSet\\Services\\";
const std::string kNt4Device = kServices + "Voodoo3\\Device0";
const std::string kNt5Device = kServices + "3dfxvs\\Device0";
const std::string kNtGlide = kServices + "3Dfx\\Device0\\Glide";
const std::string kMode640 = kAdapter + "\\MODES\\8\\640,480";
const std::string kClassKey = std::string("CLSID\\") + kClsid;
const char kAdapterDesc[] = "3Dfx Voodoo3 3000 AGP";
const char kModeRates[] = "60,72,75,85";

// Every key and value below the given roots, as "key" and "key [value] = data" lines: what the
// product leaves behind is the difference of two snapshots.
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
  for (DWORD i = 0;; ++i) {
    DWORD len = sizeof name;
    if (RegEnumKeyExA(k, i, name, &len, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
      break;
    Walk(root, label, path + "\\" + name, out);
  }
  RegCloseKey(k);
}

const char* const kDriverServices[] = {"Voodoo3", "3dfxvs", "3Dfx"};

std::set<std::string> Snapshot() {
  std::set<std::string> s;
  for (const std::string& key : {kProduct, kControls, kClass, kUninstall})
    Walk(HKEY_LOCAL_MACHINE, "HKLM", key, &s);
  for (const char* service : kDriverServices)
    Walk(HKEY_LOCAL_MACHINE, "HKLM", kServices + service, &s);
  Walk(HKEY_CLASSES_ROOT, "HKCR", kClassKey, &s);
  return s;
}

// Deletes what any earlier run may have left and seeds one Voodoo3 3000 (display-class 0000,
// rates for 640x480 at 8 bit). The harness's writes report through gtest, which runs no test
// here: the seed is read back instead.
bool ResetRegistry() {
  for (const std::string& key :
       {kProduct, kDisplayHandler, kDeviceHandler, kLegacyHandler, kClass, kUninstall})
    gui::DeleteTree(HKEY_LOCAL_MACHINE, key);
  for (const char* service : kDriverServices) gui::DeleteTree(kServices + service);
  for (const std::string& key : {kClassKey, std::string(kProgId)})
    gui::DeleteTree(HKEY_CLASSES_ROOT, key);
  // The handler folders exist on every Windows (other handlers live there).
  for (const char* folder : {"Display", "Device"}) {
    HKEY k;
    const std::string path = kControls + "\\" + folder + kHandlers;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                        nullptr, &k, nullptr) == ERROR_SUCCESS)
      RegCloseKey(k);
  }
  gui::PutText(kAdapter, "DriverDesc", kAdapterDesc);
  gui::PutText(kMode640, "", kModeRates);
  return gui::Text(kAdapter, "DriverDesc") == kAdapterDesc && gui::Text(kMode640, "") == kModeRates;
}

// The driver acts through messages (BM_CLICK, TBM_SETPOS with its WM_HSCROLL, PSM_APPLY), not
// SendInput: two prefixes run side by side on one X display, and real input would reach
// whichever window lies under the one shared cursor. The GUI suites cover real input.

class Process {
 public:
  ~Process() { Kill(); }
  bool Start(const std::string& exe, const std::string& args = "") {
    std::string line = "\"" + exe + "\"" + (args.empty() ? "" : " " + args);
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    running_ = CreateProcessA(exe.c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr,
                              exe.substr(0, exe.find_last_of('\\')).c_str(), &si, &pi_) != FALSE;
    return running_;
  }
  // A program that another one started.
  bool Adopt(HANDLE process, DWORD pid) {
    pi_.hProcess = process;
    pi_.dwProcessId = pid;
    running_ = process != nullptr;
    return running_;
  }
  DWORD Pid() const { return pi_.dwProcessId; }
  // True when the program has ended (or never started).
  bool WaitExit(DWORD ms) {
    if (!running_) return true;
    if (WaitForSingleObject(pi_.hProcess, ms) != WAIT_OBJECT_0) return false;
    GetExitCodeProcess(pi_.hProcess, &exitCode_);
    if (pi_.hThread) CloseHandle(pi_.hThread);
    CloseHandle(pi_.hProcess);
    running_ = false;
    return true;
  }
  // Ran to its end with exit code 0.
  bool Ended() { return WaitExit(60000) && exitCode_ == 0; }
  void Kill() {
    if (WaitExit(0)) return;
    TerminateProcess(pi_.hProcess, 99);
    WaitExit(5000);
  }

 private:
  PROCESS_INFORMATION pi_ = {};
  bool running_ = false;
  DWORD exitCode_ = STILL_ACTIVE;
};

bool StartSystemProgram(Process& p, const char* exe, const std::string& args) {
  char dir[MAX_PATH] = {};
  GetSystemDirectoryA(dir, sizeof dir);
  return p.Start(std::string(dir) + "\\" + exe, args);
}

// A dialog of the process with a control id and/or caption, waited for up to 30 s (a loaded
// machine is slow to show one).
HWND WaitDialog(DWORD pid, int controlId, const char* caption = nullptr) {
  HWND found = nullptr;
  gui::WaitUntil([&] {
    found = gui::FindTopWindow(pid, [&](HWND w) {
      char cls[64] = {};
      GetClassNameA(w, cls, sizeof cls);
      return !lstrcmpA(cls, "#32770") && (!controlId || GetDlgItem(w, controlId)) &&
             (!caption || gui::TextA(w) == caption);
    });
    return found != nullptr;
  }, 30000);
  return found;
}

LRESULT Send(HWND w, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
  DWORD_PTR result = 0;
  SendMessageTimeoutA(w, message, wParam, lParam, SMTO_BLOCK, 10000, &result);
  return static_cast<LRESULT>(result);
}

// A click whose handler may open a modal window: posted.
void Click(HWND dialog, int id) { PostMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }

// A click whose handler opens nothing modal: handled before this returns
// (the WM_NULL after it waits until the dialog's thread is through).
void ClickNow(HWND dialog, int id) {
  Send(GetDlgItem(dialog, id), BM_CLICK);
  Send(dialog, WM_NULL);
}

std::string ItemText(HWND dialog, int id) { return gui::TextA(GetDlgItem(dialog, id)); }
bool Checked(HWND d, int id) { return Send(GetDlgItem(d, id), BM_GETCHECK) == BST_CHECKED; }
bool Enabled(HWND dialog, int id) { return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE; }

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
  std::string detail = s.missing.empty() ? "" : "missing: " + s.missing;
  for (size_t i = 0; s.missing.empty() && i < s.problems.size(); ++i)
    detail += (i ? "; " : "") + s.problems[i];
  printf("step %s %s %s\n", s.name.c_str(), verdict, detail.c_str());
  for (const std::string& n : s.notes) printf("note %s: %s\n", s.name.c_str(), n.c_str());
  fflush(stdout);
}

// The value as gui::Text shows it and its type; kAbsent: no such value.
const char kAbsent[] = "<absent>";
void ExpectValue(Step& s, const std::string& key, const char* name, const std::string& want,
                 DWORD wantType = REG_SZ, HKEY root = HKEY_LOCAL_MACHINE) {
  DWORD type = REG_NONE;
  gui::ReadValue(root, key, name, nullptr, &type);
  const std::string got = gui::Text(root, key, name);
  if (got != want || type != (want == kAbsent ? REG_NONE : wantType))
    s.Fail(key + " [" + name + "] = \"" + got + "\" type " + std::to_string(type) +
           " (want \"" + want + "\" type " + std::to_string(wantType) + ")");
}

void ExpectNoKeys(Step& s, std::initializer_list<std::string> keys,
                  HKEY root = HKEY_LOCAL_MACHINE) {
  for (const std::string& key : keys) s.Check(!gui::KeyExists(root, key), key + " is there");
}

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
  for (int i = 0; i < 3; ++i) {
    const std::string file = run.exportDir + "\\" + when + "-" + roots[i] + ".reg";
    StartSystemProgram(p[i], "reg.exe", std::string("export ") + roots[i] + " \"" + file + "\" /y");
  }
  for (int i = 0; i < 3; ++i)
    if (!p[i].Ended()) printf("note export: reg export %s failed\n", roots[i]);
}

// True (and the step marked) when a piece the step needs is not built; else the step has run.
bool Missing(const Run& run, Step& s, std::initializer_list<const char*> pieces) {
  for (const char* p : pieces)
    if (run.missing.count(p)) s.missing += (s.missing.empty() ? "" : ", ") + std::string(p);
  s.ran = s.missing.empty();
  return !s.ran;
}

// TACHINST.EXE through one of its flows: the dialog holding control `first`
// shows and `answer` acts on it, then the dialog holding `last` and its OK.
// Started by hand, or `fromUninstaller` as Add/Remove Programs starts it.
bool RunInstaller(const Run& run, Step& s, int first, const char* firstName, int last,
                  const char* lastName, const std::function<void(HWND)>& answer,
                  bool fromUninstaller = false) {
  auto fail = [&](const std::string& what) {
    s.Fail(what);
    return false;
  };
  Process inst;
  DWORD pid = 0;
  HANDLE started =
      fromUninstaller ? gui::RemoveWithUninstaller("Tachymark", L"TACHINST.EXE", &pid) : nullptr;
  if (fromUninstaller ? !inst.Adopt(started, pid) : !inst.Start(run.package + "\\TACHINST.EXE"))
    return fail(fromUninstaller ? "uninstaller --remove Tachymark started no TACHINST.EXE"
                                : "TACHINST.EXE did not start");
  HWND dialog = WaitDialog(inst.Pid(), first);
  if (!dialog) return fail(std::string("the ") + firstName + " dialog did not appear");
  answer(dialog);
  HWND done = WaitDialog(inst.Pid(), last);
  if (!done) return fail(std::string("the ") + lastName + " dialog did not appear");
  Click(done, IDOK);
  return inst.WaitExit(15000) || fail("TACHINST.EXE did not end");
}

void Install(const Run& run, Step& s) {
  if (Missing(run, s, {"installer"})) return;
  const bool ended = RunInstaller(run, s, 1003, "Select Model", 1015, "Installed", [&](HWND w) {
    s.Check(Enabled(w, 1004) == run.expect.win98,
            std::string("Windows 98 option ") + (run.expect.win98 ? "greyed" : "active"));
    ClickNow(w, 1002);  // Voodoo3 3000
    Click(w, IDOK);
  });
  if (!ended) return;
  s.completed = true;

  const std::pair<const char*, const char*> values[] = {
      {"LowerLimit", "120"}, {"UpperLimit", "220"}, {"Model", "Voodoo3 3000"},
      {"DefaultClock", "166"}, {"EnableClock", "0"}, {"ColorDepth", "8"},
      {"LinkAllColorDepths", "0"}, {"Force95", kAbsent}, {"Force98", kAbsent},
      {"ForceNT4", kAbsent}, {"ForceNT5", kAbsent}};
  for (const auto& v : values) ExpectValue(s, kProduct, v.first, v.second);
  ExpectValue(s, kDisplayHandler, "", kClsid);
  ExpectNoKeys(s, {kDeviceHandler});
  const std::string serverKey = kClassKey + "\\InProcServer32";
  const std::string module = run.package + "\\TACHPAGE.DLL";
  const std::string server = gui::Text(HKEY_CLASSES_ROOT, serverKey, "");
  s.Check(lstrcmpiA(server.c_str(), module.c_str()) == 0,
          "HKCR\\" + serverKey + " is \"" + server + "\", want \"" + module + "\"");
  ExpectValue(s, serverKey, "ThreadingModel", "Apartment", REG_SZ, HKEY_CLASSES_ROOT);
  const std::string installer = run.package + "\\TACHINST.EXE";  // no blank: not quoted
  const std::pair<const char*, std::string> entry[] = {
      {"DisplayName", "Tachymark"}, {"DisplayVersion", "3.2"}, {"Publisher", "Tachymark"},
      {"DisplayIcon", installer + ",0"}, {"UninstallString", installer}};
  for (const auto& v : entry) ExpectValue(s, kUninstall, v.first, v.second);
  // A user who also registers the module by hand (DllRegisterServer).
  Process regsvr32;
  s.Check(StartSystemProgram(regsvr32, "regsvr32.exe", "/s \"" + module + "\"") &&
              regsvr32.Ended(),
          "regsvr32 failed");
  ExpectValue(s, std::string(kProgId) + "\\CLSID", "",  // as StringFromCLSID renders it
              "{7A41C3E2-5B19-11D2-A4C7-0060B0D4E91F}", REG_SZ, HKEY_CLASSES_ROOT);
}

struct Sheet {
  Process process;
  HWND sheet = nullptr;
  HWND page = nullptr;
};

// The stand-in's sheet, on the Tachymark tab; not tried when the install failed.
void OpenPage(const Run& run, Step& s, Sheet& sh, bool installOk) {
  s.ran = !installOk;  // counts as run, and failed
  if (s.ran) return s.Fail("not run: install failed");
  if (Missing(run, s, {"installer", "page", "standin"})) return;
  if (!sh.process.Start(run.standin)) return s.Fail("the stand-in did not start");
  sh.sheet = WaitDialog(sh.process.Pid(), 0, "Display Properties");
  if (!sh.sheet) return s.Fail("the Display Properties sheet did not appear");
  sh.page = reinterpret_cast<HWND>(Send(sh.sheet, PSM_GETCURRENTPAGEHWND));
  if (!sh.page || !GetDlgItem(sh.page, 1009))
    return s.Fail("the sheet does not show the Tachymark tab (handler not loaded)");
  s.completed = true;
  HWND tabs = reinterpret_cast<HWND>(Send(sh.sheet, PSM_GETTABCONTROL));
  s.Check(Send(tabs, TCM_GETITEMCOUNT) == 2, "the sheet has not exactly one handler tab");
  s.Check(!Checked(sh.page, 1009), "clock adjustment is on after install");
  const bool nine = run.expect.kind == 1;
  const struct { int id; bool enabled; const char* name; } states[] = {
      {1001, false, "the trackbar (clock adjustment off)"},
      {1007, nine, "the Direct3D switch"}, {1026, nine, "the Refresh Rates button"}};
  for (const auto& c : states)
    s.Check(Enabled(sh.page, c.id) == c.enabled,
            std::string(c.name) + " is " + (c.enabled ? "disabled" : "enabled"));
  s.Check(ItemText(sh.page, 1005) == "166", "clock label \"" + ItemText(sh.page, 1005) +
                                                "\" (want the stock 166)");
  s.Check(ItemText(sh.page, 1008) == "Voodoo3 3000",
          "model label \"" + ItemText(sh.page, 1008) + "\"");
  HWND bar = GetDlgItem(sh.page, 1001);
  s.Check(Send(bar, TBM_GETRANGEMIN) == 120 && Send(bar, TBM_GETRANGEMAX) == 220,
          "trackbar range is not 120..220");
  s.notes.push_back("version line \"" + ItemText(sh.page, 1054) + "\"");
}

void Apply(const Run& run, Step& s, Sheet& sh, bool pageOk) {
  if (Missing(run, s, {"installer", "page", "standin"})) return;
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
  Send(sh.sheet, WM_NULL);
  s.Check(!Enabled(sh.sheet, applyId), "Apply stayed enabled after applying");

  ExpectValue(s, kProduct, "EnableClock", "1");
  if (run.expect.kind == 1) {
    ExpectValue(s, kAdapter + "\\DEFAULT", "Grxclock", "180");
    ExpectValue(s, kAdapter + "\\Glide", "FX_GLIDE_SWAPINTERVAL", "0");
    ExpectValue(s, kAdapter + "\\D3D", "SSTH3_SWAPINTERVAL", kAbsent);
    for (const char* service : kDriverServices) ExpectNoKeys(s, {kServices + service});
    return;
  }
  const std::string& device = run.expect.kind == 2 ? kNt4Device : kNt5Device;
  ExpectValue(s, device, "GraphicsClocking", "180", REG_DWORD);
  ExpectValue(s, device, "SSTH3_SWAPINTERVAL", "0");
  ExpectValue(s, kNtGlide, "FX_GLIDE_SWAPINTERVAL", "0");
  ExpectNoKeys(s, {run.expect.kind == 2 ? kNt5Device : kNt4Device, kAdapter + "\\DEFAULT",
                   kAdapter + "\\Glide"});
}

void Refresh(const Run& run, Step& s, Sheet& sh, bool pageOk) {
  s.notApplicable = run.expect.kind != 1;  // the page disables the button (checked in "page")
  if (s.notApplicable) return;
  if (Missing(run, s, {"installer", "page", "refresh", "standin"})) return;
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
  ExpectValue(s, kMode640, "RefreshRate", "72");
  ExpectValue(s, kAdapter + "\\DEFAULT", "RefreshRate", "0");
  ExpectValue(s, kProduct, "ColorDepth", "8");
  ExpectValue(s, kProduct, "LinkAllColorDepths", "0");
  Click(dlg, IDCANCEL);
  s.Check(gui::WaitUntil([&] { return !IsWindow(dlg) || !IsWindowVisible(dlg); }, 15000),
          "the Refresh Rates dialog did not close");
}

// From Wine's own Add/Remove Programs: listed, then its Remove runs the installer.
void Remove(const Run& run, Step& s, const std::set<std::string>& before) {
  if (Missing(run, s, {"installer"})) return;
  const std::string listed = gui::UninstallerList();
  s.Check(listed.find("Tachymark|||Tachymark") != std::string::npos,
          "uninstaller --list does not show Tachymark");
  s.notes.push_back("uninstaller --list: " + listed.substr(0, listed.find_last_not_of("\r\n") + 1));
  if (!RunInstaller(run, s, 1007, "Reinstall/Remove", 1017, "Removed",
                    [](HWND w) { Click(w, 1007); }, true))
    return;
  s.Check(gui::UninstallerList().find("Tachymark|||") == std::string::npos,
          "uninstaller --list still shows Tachymark");
  ExpectNoKeys(s, {kProduct, kDisplayHandler, kDeviceHandler});
  ExpectNoKeys(s, {kClassKey, kProgId}, HKEY_CLASSES_ROOT);
  // What removal keeps by design: the refresh-rate choices of the driver's
  // mode keys and the adapter's refresh policy (removal clears only the clock
  // and vsync values), and keys left empty by the create-or-open writes.
  for (const std::string& line : Snapshot()) {
    if (before.count(line)) continue;
    if (line.find("[REFRESHRATE]") != std::string::npos ||
        line.find(" [") == std::string::npos)  // a key, not a value
      s.notes.push_back("kept by design: " + line);
    else
      s.Fail("left: " + line);
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
  const Expectation* known = nullptr;
  for (const Expectation& e : kExpectations)
    if (version == e.version) known = &e;
  if (!known || run.package.empty() || run.standin.empty()) {
    fprintf(stderr,
            "usage: matrix_driver --version win95|win98|winme|nt40|win2k|winxp|win7|win10 "
            "--package FOLDER --standin PATH [--missing PIECES] [--export FOLDER]\n");
    return 2;
  }
  run.expect = *known;

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
  OpenPage(run, page, sheet, install.completed || !install.ran);
  Report(page);
  Apply(run, apply, sheet, page.completed);
  Report(apply);
  Refresh(run, refresh, sheet, page.completed);
  Report(refresh);
  if (sheet.sheet) PostMessageA(sheet.sheet, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
  if (!sheet.process.WaitExit(15000)) sheet.process.Kill();
  Remove(run, remove, before);
  Report(remove);
  ExportRegistry(run, "after");
  return 0;
}
