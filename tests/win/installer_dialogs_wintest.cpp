// TACHINST.EXE driven through its real dialogs under Wine with real input
// (SendInput: Wine's hit-testing and focus rules apply), a private copy
// beside a TACHPAGE.DLL. LC_ALL sets the system language of the run;
// TACHY_INST_LANG names the primary language id the dialogs must show.
#include <windows.h>
#include <sddl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <string>
#include <vector>

#include "gui.h"
#include "installer/installer_win.h"

namespace tachy {
namespace insttest {
namespace {

using namespace gui;

std::string Env(const char* name) {
  const char* v = std::getenv(name);
  return v ? v : "";
}

const char kProduct[] = "Software\\Tachymark";
#define TACHY_HANDLERS "Software\\Microsoft\\Windows\\CurrentVersion\\Controls Folder\\"
const char kLegacyKey[] = TACHY_HANDLERS "Display\\Shellex\\PropertySheetHandlers\\Velomark";
const char kDisplayKey[] = TACHY_HANDLERS "Display\\Shellex\\PropertySheetHandlers\\Tachymark";
const char kDeviceKey[] = TACHY_HANDLERS "Device\\Shellex\\PropertySheetHandlers\\Tachymark";
#undef TACHY_HANDLERS
const char kUninstallKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tachymark";
const char kClsidText[] = "{7A41C3E2-5B19-11d2-A4C7-0060B0D4E91F}";
const std::string kClassKey = std::string("CLSID\\") + kClsidText;
const std::string kServerKey = kClassKey + "\\InProcServer32";
const char kNT4Device[] = "SYSTEM\\CurrentControlSet\\Services\\Voodoo3\\Device0";
// Where Wine takes the Windows version it poses as for TACHINST.EXE only.
const char kAppDefaults[] = "Software\\Wine\\AppDefaults\\TACHINST.EXE";

bool Has(const std::string& key, const char* name, HKEY root = HKEY_LOCAL_MACHINE) {
  return gui::ReadValue(root, key, name, nullptr);
}
std::string InstanceKey(int n, const char* sub = "") {
  char key[128];
  wsprintfA(key, "System\\CurrentControlSet\\Services\\Class\\Display\\%04d%s", n, sub);
  return key;
}
void SetInstallerVersion(const char* version) {
  PutText(HKEY_CURRENT_USER, kAppDefaults, "Version", version);
}

void CleanRegistry() {
  for (const char* key : {kProduct, kLegacyKey, kDisplayKey, kDeviceKey, kUninstallKey})
    gui::DeleteTree(key);
  gui::DeleteTree(HKEY_CLASSES_ROOT, kClassKey);
  for (int n = 0; n < 16; ++n) gui::DeleteTree(InstanceKey(n));
  for (const char* service : {"Voodoo3", "3dfxvs", "3Dfx"})
    gui::DeleteTree(std::string("SYSTEM\\CurrentControlSet\\Services\\") + service);
  gui::DeleteTree(HKEY_CURRENT_USER, kAppDefaults);
  gui::DrawOwnFrames("TACHINST.EXE");  // no window manager: Wine draws the title bars
}

std::string TempFolder(const std::string& name) {
  char temp[MAX_PATH];
  GetTempPathA(sizeof temp, temp);
  const std::string folder = temp + name;
  CreateDirectoryA(folder.c_str(), nullptr);
  return folder;
}

// A copy of TACHINST.EXE and, `withModule`, a TACHPAGE.DLL (the real one if
// built; the installer only checks that the file is there).
std::string PrepareFolder(const std::string& folder, bool withModule) {
  const std::string exe = folder + "\\TACHINST.EXE", dll = folder + "\\TACHPAGE.DLL";
  EXPECT_TRUE(CopyFileA(Env("TACHY_INST_EXE").c_str(), exe.c_str(), FALSE)) << exe;
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

// Drive `letter` of Wine's of GetDriveTypeA type `type` as `folder`, or gone
// (type 0), through Wine's mount manager as winecfg does it: it sets the
// letter's HKLM\Software\Wine\Drives value ("floppy") and dosdevices link.
bool WineDrive(char letter, ULONG type, const std::string& folder = "") {
  struct {  // Wine 8's struct mountmgr_unix_drive, then the Unix path
    ULONG size, type, fsType, serial;
    ULONGLONG unixDevice;
    WCHAR letter;
    USHORT mountPoint, device, label;
    char path[MAX_PATH * 3];
  } r = {32, type, 0, 0, 0, static_cast<WCHAR>(letter), 0, 0, 0, {}};
  using UnixName = char*(CDECL*)(const WCHAR*);
  auto unixName = reinterpret_cast<UnixName>(reinterpret_cast<void (*)()>(
      GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
  char* path = type && unixName ? unixName(std::wstring(folder.begin(), folder.end()).c_str())
                                : nullptr;
  if (path) {
    r.mountPoint = 32;
    r.size += lstrlenA(lstrcpynA(r.path, path, sizeof r.path)) + 1;
  }
  HeapFree(GetProcessHeap(), 0, path);
  HANDLE manager = CreateFileA("\\\\.\\MountPointManager", GENERIC_READ | GENERIC_WRITE,
                               FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                               nullptr);
  const DWORD define = CTL_CODE(0x6D, 32, METHOD_BUFFERED,  // IOCTL_MOUNTMGR_DEFINE_UNIX_DRIVE
                                FILE_READ_ACCESS | FILE_WRITE_ACCESS);
  DWORD bytes = 0;
  const bool ok = (path || !type) &&
                  DeviceIoControl(manager, define, &r, r.size, nullptr, 0, &bytes, nullptr);
  CloseHandle(manager);
  return ok;
}

// The id Windows and Wine give the text of a message box.
constexpr int kBoxText = 0xFFFF;

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
    // 64-bit Wine once refused to start it (CreateProcess false, one start
    // in many thousands, not seen again in 150 tries under load): a refusal
    // is logged with its error and tried again, twice at most.
    for (int attempt = 0; attempt < 3 && !running_; ++attempt) {
      if (attempt) Sleep(500);
      running_ = CreateProcessA(exe.c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr,
                                folder.c_str(), &si, &pi_) != 0;
      if (!running_) fprintf(stderr, "CreateProcess %s: error %lu\n", line.c_str(), GetLastError());
    }
    return running_;
  }
  bool WaitExit(DWORD ms, DWORD* code) {
    if (!running_ || WaitForSingleObject(pi_.hProcess, ms) != WAIT_OBJECT_0) return false;
    GetExitCodeProcess(pi_.hProcess, code);
    Kill();
    return true;
  }
  // An installer that another program started.
  bool Adopt(HANDLE process, DWORD pid) {
    Kill();
    pi_ = {};
    pi_.hProcess = process;
    pi_.dwProcessId = pid;
    running_ = process != nullptr;
    return running_;
  }
  bool Running() { return running_ && WaitForSingleObject(pi_.hProcess, 0) == WAIT_TIMEOUT; }
  void Kill() {
    if (Running()) {
      TerminateProcess(pi_.hProcess, 99);
      WaitForSingleObject(pi_.hProcess, 5000);
    }
    if (!running_) return;
    if (pi_.hThread) CloseHandle(pi_.hThread);
    CloseHandle(pi_.hProcess);
    running_ = false;
  }
  // A visible dialog of this process, told apart by one of its controls
  // (a message box by kBoxText).
  HWND WaitDialog(int controlId, DWORD ms = 15000) {
    HWND found = nullptr;
    gui::WaitUntil([&] {
      found = gui::FindTopWindow(pi_.dwProcessId, [&](HWND w) {
        char cls[16] = {};
        GetClassNameA(w, cls, sizeof cls);
        return lstrcmpA(cls, "#32770") == 0 && GetDlgItem(w, controlId) != nullptr;
      });
      return found != nullptr;
    }, ms);
    return found;
  }

 private:
  PROCESS_INFORMATION pi_ = {};
  bool running_ = false;
};

std::wstring ItemW(HWND dialog, int id) { return TextW(GetDlgItem(dialog, id)); }
bool Checked(HWND dialog, int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }
HWND MainWindow() { return FindWindowA("Tachy_class", "Tachymark"); }

// The cursor at `target`, the installer's thread done with the X pointer events of
// the move and of the windows it mapped: a stale one handled later puts Wine's cursor
// back, and a click lands there. Moved again when one came in during the settling.
void Hover(HWND w, POINT target) {
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
void ClickAt(HWND w, POINT p) {
  Hover(w, p);
  gui::Send({gui::Mouse(MOUSEEVENTF_LEFTDOWN), gui::Mouse(MOUSEEVENTF_LEFTUP)});
  gui::Settle(w);
}
void Click(HWND dialog, int id) { ClickAt(dialog, gui::Centre(GetDlgItem(dialog, id))); }

HWND Focus(HWND dialog) {
  GUITHREADINFO info = {};
  info.cbSize = sizeof info;
  GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &info);
  return info.hwndFocus;
}
bool WaitGone(HWND w, DWORD ms = 10000) {
  return gui::WaitUntil([w] { return !IsWindow(w) || !IsWindowVisible(w); }, ms);
}

struct LanguageTexts {
  int langId;
  const wchar_t *selectModel, *doNotInstall, *win98Option, *advancedPanel, *versionLine, *cancel,
      *installError, *noModel, *installed1, *installed2, *reinstall1, *reinstall2, *reinstall3,
      *reinstallButton, *removeButton, *removed1, *removed2,
      *installFailed, *removeFailed,  // the start of the message
      *missingModule, *removableSource;  // its start
};

const LanguageTexts kEnglish = {
    9, L"Select Model", L"Do not install", L"Windows 98 Option",
    L"Install under Advanced Panel", L"Version 3.2 English", L"Cancel", L"Install Error",
    L"You must select a Voodoo3 model to install", L"The Tachymark has been",
    L"successfully installed on your system.", L"The Tachymark is currently",
    L"installed on your system. Do you wish", L"to reinstall or remove it.",
    L"Re&install", L"&Remove", L"The Tachymark has been",
    L"successfully removed from your system.",
    L"The installation could not be completed.", L"The removal could not be completed.",
    L"Install Aborted\n\nTACHPAGE.DLL NOT FOUND: The Tachpage.dll must be in the same "
    L"directory as the Tachinst.exe file for installation to complete.",
    L"Tachymark cannot be installed from a floppy disk, a CD, another removable disk"};
const LanguageTexts kFrench = {
    12, L"Choisissez votre mod\u00e8le", L"Ne pas installer", L"Option Windows 98",
    L"Installer dans la page de propri\u00e9t\u00e9s avanc\u00e9es",
    L"Version 3.2 Fran\u00e7ais", L"Annuler", L"Erreur d'installation",
    L"Vous devez choisir un mod\u00e8le de Voodoo3", L"Le Tachymark a \u00e9t\u00e9",
    L"install\u00e9 avec succ\u00e8s.", L"Le Tachymark est d\u00e9j\u00e0 install\u00e9.",
    L"Voulez-vous le r\u00e9installer ou le supprimer ?", L" ", L"R\u00e9&installer",
    L"&Supprimer", L"Le Tachymark a \u00e9t\u00e9", L"supprim\u00e9 avec succ\u00e8s.",
    L"L'installation n'a pas pu \u00eatre termin\u00e9e.",
    L"La suppression n'a pas pu \u00eatre termin\u00e9e.",
    L"Installation interrompue:\n\nLe fichier TACHPAGE.DLL est introuvable. Le fichier "
    L"Tachpage.dll doit \u00eatre dans le m\u00eame r\u00e9pertoire que le fichier "
    L"Tachinst.exe pour que l'installation puisse s'effectuer.",
    L"Tachymark ne peut pas \u00eatre install\u00e9 depuis une disquette, un CD"};
const LanguageTexts kGerman = {
    7, L"Modell Wahl", L"Nicht installieren", L"Windows 98 Option",
    L"Bei Weitere Optionen eintragen", L"Version 3.2 Deutsch", L"Abbruch", L"Install Fehler",
    L"Sie m\u00fcssen ein Voodoo3 Karte haben", L"Der Tachymark wurde",
    L"erfolgreich auf Ihrem System installiert.", L"Der Tachymark ist gerade",
    L"installiert auf Ihrem System. M\u00f6chten Sie", L"ihn reinstallieren oder entfernen.",
    L"Re&installieren", L"&Entfernen", L"Der Tachymark wurde",
    L"erfolgreich aus Ihrem System entfernt.",
    L"Die Installation konnte nicht abgeschlossen werden.",
    L"Das Entfernen konnte nicht abgeschlossen werden.",
    L"Installationsabbruch\n\nTACHPAGE.DLL NICHT GEFUNDEN : Die DLL Datei Tachpage.dll "
    L"muss im selben Verzeichnis sein wie die Tachinst.exe",
    L"Tachymark kann nicht von einer Diskette, einer CD"};

int SystemLang() { return std::atoi(("0" + Env("TACHY_INST_LANG")).c_str()); }
const LanguageTexts& SystemTexts() {
  return SystemLang() == 12 ? kFrench : SystemLang() == 7 ? kGerman : kEnglish;
}
// The cycle of the hidden gesture over a whole run of the installer:
// English, French, German, English..., the first gesture giving French.
const LanguageTexts& CycleTexts(int step) {
  static const LanguageTexts* cycle[] = {&kFrench, &kGerman, &kEnglish};
  return *cycle[step % 3];
}
char Mnemonic(const wchar_t* text) {
  const wchar_t* amp = wcschr(text, L'&');
  return amp ? static_cast<char>(towlower(amp[1])) : 0;
}

enum {
  kOk = 1, kCancel = 2, kNone = 1000, k2000 = 1001, k3000 = 1002, k3500 = 1003,
  kAdvanced = 1004, kWin98Group = 1005, kReinstall = 1006, kRemove = 1007,
  kModelGroup = 1008, kRR1 = 1009, kRR2 = 1010, kRR3 = 1011, kVersion = 1013,
  kInst1 = 1015, kInst2 = 1016, kRem1 = 1017, kRem2 = 1018,
};

struct Shown {
  int id;
  const wchar_t* LanguageTexts::*text;
};
using Shows = std::initializer_list<Shown>;
using T = LanguageTexts;
const Shows kSelectTexts = {{kModelGroup, &T::selectModel}, {kNone, &T::doNotInstall},
                            {kWin98Group, &T::win98Option}, {kAdvanced, &T::advancedPanel},
                            {kVersion, &T::versionLine},    {kCancel, &T::cancel}};
const Shows kInstalledTexts = {{kInst1, &T::installed1}, {kInst2, &T::installed2}};
const Shows kReinstallTexts = {{kRR1, &T::reinstall1},       {kRR2, &T::reinstall2},
                               {kRR3, &T::reinstall3},       {kReinstall, &T::reinstallButton},
                               {kRemove, &T::removeButton}, {kCancel, &T::cancel}};
const Shows kRemovedTexts = {{kRem1, &T::removed1}, {kRem2, &T::removed2}};

void ExpectTexts(HWND dialog, const Shows& shows, const LanguageTexts& t) {
  SCOPED_TRACE(t.langId);
  const Shown& first = *shows.begin();
  gui::WaitUntil([&] { return ItemW(dialog, first.id) == t.*first.text; }, 2000);
  for (const Shown& s : shows) EXPECT_EQ(ItemW(dialog, s.id), t.*s.text) << s.id;
}

// The gesture at `p`, handled before this returns (the installer reads GetCursorPos).
// The keys go down only once the installer has handled the move (Hover): its X events
// can make Wine reload the keys' state from X, where Ctrl and Shift are up.
void GestureAt(HWND dialog, POINT p, WPARAM held = gui::kGestureHeld) {
  Hover(dialog, p);
  gui::GestureAt(p, held);
  gui::Settle(dialog);
}
// One of five spots across the label: two gestures a user makes in one
// spot soon after another are a double click.
POINT Spot(HWND label, int spot) {
  RECT r = WindowRect(label);
  return {r.left + (r.right - r.left) * (spot % 5 + 1) / 6, (r.top + r.bottom) / 2};
}

// The close box of the title bar Wine draws itself (Managed=N).
POINT CloseBox(HWND w) {
  RECT r = WindowRect(w);
  POINT p = {r.right - GetSystemMetrics(SM_CXDLGFRAME) - GetSystemMetrics(SM_CXSIZE) / 2 - 1,
             r.top + GetSystemMetrics(SM_CYDLGFRAME) + GetSystemMetrics(SM_CYCAPTION) / 2};
  DWORD_PTR hit = 0;
  SendMessageTimeoutA(w, WM_NCHITTEST, 0, MAKELPARAM(p.x, p.y), SMTO_NORMAL, 2000, &hit);
  EXPECT_EQ(hit, static_cast<DWORD_PTR>(HTCLOSE));
  return p;
}

void DragTo(HWND w, int x, int y) {
  RECT r = WindowRect(w);
  POINT grab = {r.left + 20,
                r.top + GetSystemMetrics(SM_CYDLGFRAME) + GetSystemMetrics(SM_CYCAPTION) / 2};
  Hover(w, grab);
  gui::Send({gui::Mouse(MOUSEEVENTF_LEFTDOWN)});
  gui::Settle(w);
  for (int part = 1; part <= 4; ++part) {
    gui::MoveCursorTo(grab.x + (x - r.left) * part / 4, grab.y + (y - r.top) * part / 4);
    gui::Settle(w);
  }
  gui::Send({gui::Mouse(MOUSEEVENTF_LEFTUP)});
  ASSERT_TRUE(gui::WaitUntil([&] { return WindowRect(w).left == x && WindowRect(w).top == y; },
                             3000)) << WindowRect(w).left << "," << WindowRect(w).top;
}

// What the settings page writes for an instance on the 9x family: removal
// clears all but "drv", which is the driver's own.
const char* const kDriver9x[][3] = {{"\\DEFAULT", "Grxclock", "170"},
                                    {"\\DEFAULT", "drv", "3dfxvs.drv"},
                                    {"\\Glide", "FX_GLIDE_SWAPINTERVAL", "0"},
                                    {"\\D3D", "SSTH3_SWAPINTERVAL", "0"}};

class InstallerDialogs : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(Env("TACHY_INST_EXE").empty()) << "TACHY_INST_EXE is not set";
    CleanRegistry();
    exe_ = PrepareFolder(TempFolder("tachy_inst_dialogs"), true);
  }
  void TearDown() override { CleanRegistry(); }

  static void SeedAdapter(int n, const char* description = "3dfx Voodoo3 3000 AGP") {
    PutText(InstanceKey(n), "DriverDesc", description);
  }
  static void SeedDriver9x(int n) {
    for (auto& v : kDriver9x) PutText(InstanceKey(n, v[0]), v[1], v[2]);
  }
  static bool Driver9xCleared(int n) {
    for (auto& v : kDriver9x)
      if (Has(InstanceKey(n, v[0]), v[1]) != !lstrcmpA(v[1], "drv")) return false;
    return true;
  }

  HWND Open(int control = kVersion, const std::string& args = "") {
    EXPECT_TRUE(inst_.Start(exe_, args));
    return inst_.WaitDialog(control);
  }
  static void ExpectExit(Installer& inst, DWORD expected = 0) {
    DWORD code = 99;
    ASSERT_TRUE(inst.WaitExit(15000, &code));
    EXPECT_EQ(code, expected);
  }
  void ExpectExit(DWORD expected = 0) { ExpectExit(inst_, expected); }
  void CancelRun(HWND select) {
    Click(select, kCancel);
    ExpectExit();
    EXPECT_TRUE(NothingInstalled());
  }
  // Select Model of a first installer, owned by the hidden main window that
  // a second start finds.
  HWND OpenFirst() {
    HWND select = Open();
    HWND main = MainWindow();
    EXPECT_TRUE(select && main);
    EXPECT_FALSE(IsWindowVisible(main));
    EXPECT_EQ(GetWindow(select, GW_OWNER), main);
    return select;
  }
  void Confirm(int line1) {
    HWND done = inst_.WaitDialog(line1);
    ASSERT_TRUE(done) << "no Installed or Removed dialog";
    ExpectTexts(done, line1 == kInst1 ? kInstalledTexts : kRemovedTexts, SystemTexts());
    Click(done, kOk);
    ExpectExit();
  }
  void ChooseAndConfirm(int modelButton, bool advanced = false) {
    HWND select = inst_.WaitDialog(kVersion);
    ASSERT_TRUE(select) << "no Select Model dialog";
    Click(select, modelButton);
    EXPECT_TRUE(Checked(select, modelButton));
    if (advanced) Click(select, kAdvanced);
    EXPECT_EQ(Checked(select, kAdvanced), advanced);
    Click(select, kOk);
    Confirm(kInst1);
  }
  void Install(const std::string& args, int modelButton, bool advanced = false) {
    ASSERT_TRUE(inst_.Start(exe_, args));
    ChooseAndConfirm(modelButton, advanced);
  }
  // Starts the installer on an installed system and presses `button` (0: none).
  HWND Answer(int button, const std::string& args = "") {
    HWND rr = Open(kRR1, args);
    EXPECT_TRUE(rr) << "no Reinstall or Remove dialog";
    if (rr && button) Click(rr, button);
    return rr;
  }
  void Remove(const std::string& args = "") {
    ASSERT_TRUE(Answer(kRemove, args));
    Confirm(kRem1);
  }
  // The next message box: its caption, its text (or the text's start when
  // `prefix`) and owner, no dialog with `absent` beside it; then its OK.
  void ExpectBox(const std::wstring& caption, const std::wstring& text, HWND owner,
                 bool prefix = false, int absent = 0) {
    HWND box = inst_.WaitDialog(kBoxText);
    ASSERT_TRUE(box) << "no message box";
    EXPECT_EQ(TextW(box), caption);
    std::wstring shown = ItemW(box, kBoxText);
    shown.erase(std::remove(shown.begin(), shown.end(), L'\r'), shown.end());  // as shown
    EXPECT_EQ(prefix ? shown.substr(0, text.size()) : shown, text) << gui::Utf8(shown);
    EXPECT_EQ(GetWindow(box, GW_OWNER), owner);
    EXPECT_EQ(absent ? inst_.WaitDialog(absent, 300) : nullptr, nullptr) << absent;
    Click(box, IDOK);
    EXPECT_TRUE(WaitGone(box));
  }

  static void ExpectText(const std::string& key, const char* name, const std::string& text,
                         HKEY root = HKEY_LOCAL_MACHINE) {
    SCOPED_TRACE(key + " " + (name ? name : "(default)"));
    std::string data;
    DWORD type = 0;
    EXPECT_TRUE(gui::ReadValue(root, key, name, &data, &type));
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(data, text + '\0');
    EXPECT_EQ(gui::KeyClass(root, key), "Tachymark");
  }
  static void ExpectProductValues(const char* model, const char* clock) {
    const char* values[][2] = {{"LowerLimit", "120"}, {"UpperLimit", "220"}, {"Model", model},
                               {"DefaultClock", clock}, {"EnableClock", "0"},
                               {"ColorDepth", "8"}, {"LinkAllColorDepths", "0"}};
    for (auto& v : values) ExpectText(kProduct, v[0], v[1]);
  }
  void ExpectClassKey(const std::string& module = "") {
    const std::string path = module.empty() ? TempFolder("tachy_inst_dialogs") + "\\TACHPAGE.DLL"
                                            : module;
    // The path as the installer found itself: compare without case.
    const std::string server = Text(HKEY_CLASSES_ROOT, kServerKey, nullptr);
    EXPECT_EQ(lstrcmpiA(server.c_str(), path.c_str()), 0) << server << " vs " << path;
    ExpectText(kServerKey, nullptr, server, HKEY_CLASSES_ROOT);
    ExpectText(kServerKey, "ThreadingModel", "Apartment", HKEY_CLASSES_ROOT);
    EXPECT_EQ(gui::KeyClass(HKEY_CLASSES_ROOT, kClassKey), "Tachymark");
  }
  // The Add/Remove Programs entry of the installer at `exe` (as it found
  // itself: compared without case).
  static void ExpectUninstallEntry(const std::string& exe) {
    const std::string command = Text(kUninstallKey, "UninstallString");
    const std::string path = command.find(' ') == std::string::npos
                                 ? command
                                 : command.substr(1, command.size() - 2);
    EXPECT_EQ(lstrcmpiA(path.c_str(), exe.c_str()), 0) << path << " vs " << exe;
    EXPECT_EQ(command, exe.find(' ') == std::string::npos ? path : '"' + path + '"');
    const std::pair<const char*, std::string> values[] = {
        {"DisplayName", "Tachymark"}, {"DisplayVersion", "3.2"}, {"Publisher", "Tachymark"},
        {"DisplayIcon", path + ",0"}, {"UninstallString", command}};
    for (const auto& v : values) ExpectText(kUninstallKey, v.first, v.second);
  }
  // Which handler key holds the class id: Display, or Device (Advanced panel).
  static void ExpectHandler(bool device) {
    ExpectText(device ? kDeviceKey : kDisplayKey, nullptr, kClsidText);
    EXPECT_FALSE(KeyExists(device ? kDisplayKey : kDeviceKey));
  }

  static bool NothingInstalled() {
    for (const char* key : {kProduct, kDisplayKey, kDeviceKey, kLegacyKey, kUninstallKey})
      if (KeyExists(key)) return false;
    return !KeyExists(HKEY_CLASSES_ROOT, kClassKey);
  }

  // The four dialogs of two runs, `each(dialog, label, texts)` on each: the
  // first run installs (2000, OK), the second removes. `step` restarts per run.
  using Each = std::function<void(HWND, int, const Shows&)>;
  void EachDialog(const Each& each, int* step) {
    HWND select = Open();
    ASSERT_TRUE(select);
    each(select, kVersion, kSelectTexts);
    Click(select, k2000);
    Click(select, kOk);
    for (int d : {kInst1, kRR1, kRem1}) {
      if (d == kRR1) *step = 0;
      HWND dialog = d == kRR1 ? Answer(0) : inst_.WaitDialog(d);
      ASSERT_TRUE(dialog) << d;
      each(dialog, d, d == kInst1 ? kInstalledTexts : d == kRR1 ? kReinstallTexts
                                                                : kRemovedTexts);
      Click(dialog, d == kRR1 ? kRemove : kOk);
      if (d != kRR1) ExpectExit();
    }
  }

  Installer inst_;
  std::string exe_;
};

TEST_F(InstallerDialogs, FreshInstallOnEachWindowsVersion) {
  struct Case {
    const char* version;
    bool win98Option;
    int model;
    const char *modelName, *clock;
  } cases[] = {
      {"win95", false, k2000, "Voodoo3 2000", "143"},
      {"win98", true, k3000, "Voodoo3 3000", "166"},
      {"winme", true, k2000, "Voodoo3 2000", "143"},
      {"nt40", false, k3500, "Voodoo3 3500", "183"},
      {"win2k", false, k3000, "Voodoo3 3000", "166"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.version);
    CleanRegistry();
    SeedAdapter(0);
    SetInstallerVersion(c.version);
    HWND select = Open();
    ASSERT_TRUE(select);
    EXPECT_EQ(TextW(select), L"Tachymark");
    ExpectTexts(select, kSelectTexts, SystemTexts());
    EXPECT_EQ(ItemW(select, k3500), L"Voodoo3 3500");
    EXPECT_EQ(ItemW(select, kOk), L"OK");
    EXPECT_TRUE(Checked(select, kNone));
    EXPECT_FALSE(Checked(select, kAdvanced));
    EXPECT_EQ(IsWindowEnabled(GetDlgItem(select, kAdvanced)) != 0, c.win98Option);
    EXPECT_EQ(IsWindowEnabled(GetDlgItem(select, kWin98Group)) != 0, c.win98Option);
    // A click on the greyed check box does nothing.
    if (!c.win98Option) Click(select, kAdvanced);
    ChooseAndConfirm(c.model);

    ExpectHandler(false);
    ExpectProductValues(c.modelName, c.clock);
    for (const char* force : {"Force95", "Force98", "ForceNT4", "ForceNT5"})
      EXPECT_FALSE(Has(kProduct, force)) << force;
    ExpectClassKey();
    ExpectUninstallEntry(exe_);
  }
}

TEST_F(InstallerDialogs, AdvancedPanelOptionOnWindows98) {
  SeedAdapter(0);
  SetInstallerVersion("win98");
  // The check box is not automatic: it toggles once per click.
  HWND select = Open();
  ASSERT_TRUE(select);
  for (bool expected : {true, false}) {
    Click(select, kAdvanced);
    EXPECT_EQ(Checked(select, kAdvanced), expected);
  }
  for (int model : {k3500, k3000, k2000, kNone}) {
    Click(select, model);
    for (int other : {k3500, k3000, k2000, kNone})
      EXPECT_EQ(Checked(select, other), other == model) << model << "/" << other;
  }
  CancelRun(select);
  Install("", k3500, true);
  ExpectHandler(true);
  ASSERT_TRUE(Answer(kReinstall));
  ChooseAndConfirm(k3500);
  ExpectHandler(false);
}

TEST_F(InstallerDialogs, Force98OnNTEnablesTheOptionAndUsesThe9xLayout) {
  SeedAdapter(1);
  SeedDriver9x(1);
  SetInstallerVersion("nt40");
  HWND select = Open(kVersion, "force98 LOWERLIMIT(90) UPPERLIMIT(230)");
  ASSERT_TRUE(select);
  for (int id : {kAdvanced, kWin98Group}) EXPECT_TRUE(IsWindowEnabled(GetDlgItem(select, id)));
  ChooseAndConfirm(k2000, true);
  ExpectText(kProduct, "Force98", "1");
  EXPECT_FALSE(Has(kProduct, "ForceNT4"));
  ExpectText(kProduct, "LowerLimit", "100");
  ExpectText(kProduct, "UpperLimit", "230");
  EXPECT_TRUE(KeyExists(kDeviceKey));
  // A removal with the same option clears the 9x driver values of adapter 1.
  Remove("FORCE98");
  EXPECT_TRUE(Driver9xCleared(1));
  EXPECT_TRUE(NothingInstalled());
}

TEST_F(InstallerDialogs, ForceNT5WritesItsFlag) {
  SetInstallerVersion("win98");
  Install("FORCENT5", k2000, false);
  ExpectText(kProduct, "ForceNT5", "1");
  EXPECT_FALSE(Has(kProduct, "Force98"));
  EXPECT_TRUE(KeyExists(kDisplayKey));
}

TEST_F(InstallerDialogs, OkWithoutModelShowsTheMessageAndStays) {
  SetInstallerVersion("win95");
  HWND select = Open();
  ASSERT_TRUE(select);
  const LanguageTexts& t = SystemTexts();
  // Straight away, and after choosing a model and going back.
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round);
    if (round == 1) {
      Click(select, k3000);
      Click(select, kNone);
    }
    Click(select, kOk);
    ExpectBox(t.installError, t.noModel, select);
    EXPECT_TRUE(IsWindowVisible(select));
  }
  EXPECT_TRUE(NothingInstalled());
  CancelRun(select);
}

TEST_F(InstallerDialogs, CloseBoxAndEscape) {
  SetInstallerVersion("win2k");
  for (int run = 0; run < 3; ++run) {
    SCOPED_TRACE(run);
    HWND select = Open();
    ASSERT_TRUE(select);
    Click(select, k2000);
    if (run == 1) {
      gui::Foreground(select);
      gui::Key(VK_ESCAPE);
    } else if (run == 0) {
      ClickAt(select, CloseBox(select));
    } else {
      Click(select, kOk);
      HWND installed = inst_.WaitDialog(kInst1);
      ASSERT_TRUE(installed);
      gui::Foreground(installed);
      gui::Key(VK_ESCAPE);
      gui::Settle(installed);
      EXPECT_FALSE(WaitGone(installed, 200));
      ClickAt(installed, CloseBox(installed));
    }
    ExpectExit();
    EXPECT_EQ(KeyExists(kProduct), run == 2);
    EXPECT_TRUE(run == 2 || NothingInstalled());
  }
}

TEST_F(InstallerDialogs, ReinstallRestoresTheInstallValues) {
  SeedAdapter(0);
  SeedAdapter(1, "Matrox Millennium");
  SeedAdapter(2, "3dfx voodoo3 2000 PCI");
  SetInstallerVersion("win98");
  Install("", k3500);
  // What the page and the refresh-rate dialog changed since.
  PutText(kProduct, "EnableClock", "1");
  PutText(kProduct, "ColorDepth", "16");
  PutText(kProduct, "LinkAllColorDepths", "1");
  for (int n : {0, 1, 2}) SeedDriver9x(n);

  HWND rr = Answer(0);
  ASSERT_TRUE(rr);
  EXPECT_EQ(TextW(rr), L"Tachymark");
  ExpectTexts(rr, kReinstallTexts, SystemTexts());
  Click(rr, kReinstall);
  ChooseAndConfirm(k2000);

  ExpectProductValues("Voodoo3 2000", "143");
  for (int n : {0, 2}) EXPECT_TRUE(Driver9xCleared(n)) << n;
  EXPECT_FALSE(Driver9xCleared(1));  // not a Voodoo3: left alone
  ExpectClassKey();
  ExpectUninstallEntry(exe_);
}

TEST_F(InstallerDialogs, ReinstallThenCancelChangesNothing) {
  SetInstallerVersion("nt40");
  Install("", k3000);
  PutText(kProduct, "EnableClock", "1");
  gui::PutDword(kNT4Device, "GraphicsClocking", 170);
  // Cancel in Select Model after Reinstall: the removal is still pending.
  for (int button : {kReinstall, kCancel}) {
    SCOPED_TRACE(button);
    ASSERT_TRUE(Answer(button));
    if (button == kReinstall) {
      HWND select = inst_.WaitDialog(kVersion);
      ASSERT_TRUE(select);
      Click(select, kCancel);
    }
    ExpectExit();
    EXPECT_EQ(Text(kProduct, "EnableClock"), "1");
    EXPECT_EQ(Text(kProduct, "Model"), "Voodoo3 3000");
    EXPECT_TRUE(KeyExists(kDisplayKey));
    EXPECT_TRUE(Has(kNT4Device, "GraphicsClocking"));
  }
}

TEST_F(InstallerDialogs, RemoveClearsEverything) {
  struct Case {
    const char* version;
    const char* deviceKey;  // NT driver key, or null on 9x
  } cases[] = {
      {"win98", nullptr},
      {"nt40", kNT4Device},
      {"win2k", "SYSTEM\\CurrentControlSet\\Services\\3dfxvs\\Device0"},
  };
  const std::string glide = "SYSTEM\\CurrentControlSet\\Services\\3Dfx\\Device0\\Glide";
  const std::string d3d = "SYSTEM\\CurrentControlSet\\Services\\3Dfx\\Device0\\D3D";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.version);
    CleanRegistry();
    SetInstallerVersion(c.version);
    for (int n : {0, 2}) SeedAdapter(n);
    Install("", k3000);
    // A Device handler key and a module registered with regsvr32 (ProgID).
    PutText(kDeviceKey, nullptr, kClsidText);
    PutText(HKEY_CLASSES_ROOT, kClassKey + "\\ProgID", nullptr, "Tachymark.PropPage");
    for (int n : {0, 2}) SeedDriver9x(n);
    // The NT driver values that removal clears (true) or keeps.
    const struct {
      std::string key;
      const char* name;
      bool cleared;
    } nt[] = {{c.deviceKey ? c.deviceKey : "", "SSTH3_SWAPINTERVAL", true},
              {c.deviceKey ? c.deviceKey : "", "Keep", false},
              {glide, "FX_GLIDE_SWAPINTERVAL", true},
              {d3d, "SSTH3_SWAPINTERVAL", true}};
    if (c.deviceKey) {
      gui::PutDword(c.deviceKey, "GraphicsClocking", 170);
      for (auto& v : nt) PutText(v.key, v.name, "0");
    }
    Remove();
    EXPECT_TRUE(NothingInstalled());
    if (c.deviceKey) {
      EXPECT_FALSE(Has(c.deviceKey, "GraphicsClocking"));
      for (auto& v : nt) EXPECT_EQ(Has(v.key, v.name), !v.cleared) << v.key << " " << v.name;
      EXPECT_FALSE(Driver9xCleared(0));  // NT: the 9x keys are not touched
    } else {
      for (int n : {0, 2}) EXPECT_TRUE(Driver9xCleared(n)) << n;
    }
  }
}

TEST_F(InstallerDialogs, LegacyKeyAloneOffersRemoval) {
  SetInstallerVersion("win95");
  SeedAdapter(0);
  SeedDriver9x(0);
  PutText(kLegacyKey, nullptr, kClsidText);
  Remove();
  EXPECT_FALSE(KeyExists(kLegacyKey));
  EXPECT_TRUE(Driver9xCleared(0));
  EXPECT_TRUE(NothingInstalled());
}

// Add/Remove Programs as Wine has it, for an installer in a folder with a
// blank: the entry is listed, and removing it there starts the installer,
// whose Remove takes everything.
TEST_F(InstallerDialogs, AddRemoveProgramsStartsTheInstaller) {
  SetInstallerVersion("nt40");
  exe_ = PrepareFolder(TempFolder("tachy inst blank"), true);
  Install("", k3000);
  ExpectUninstallEntry(exe_);
  gui::PutDword(kNT4Device, "GraphicsClocking", 170);
  EXPECT_NE(gui::UninstallerList().find("Tachymark|||Tachymark"), std::string::npos);

  DWORD pid = 0;
  HANDLE started = gui::RemoveWithUninstaller("Tachymark", L"TACHINST.EXE", &pid);
  ASSERT_TRUE(inst_.Adopt(started, pid)) << "the uninstaller started no TACHINST.EXE";
  HWND rr = inst_.WaitDialog(kRR1);
  ASSERT_TRUE(rr) << "no Reinstall or Remove dialog";
  ExpectTexts(rr, kReinstallTexts, SystemTexts());
  Click(rr, kRemove);
  Confirm(kRem1);
  EXPECT_TRUE(NothingInstalled());
  EXPECT_FALSE(Has(kNT4Device, "GraphicsClocking"));
  EXPECT_EQ(gui::UninstallerList().find("Tachymark|||"), std::string::npos);
}

// Started from a floppy (A:, the two files on it), install and reinstall
// write nothing, say so and end with exit code 1; removal works.
TEST_F(InstallerDialogs, InstallFromRemovableDriveIsRefused) {
  SetInstallerVersion("win98");
  PrepareFolder(TempFolder("tachy_inst_floppy"), true);
  ASSERT_TRUE(WineDrive('a', DRIVE_REMOVABLE, TempFolder("tachy_inst_floppy")));
  struct Undefine { ~Undefine() { WineDrive('a', 0); } } undefine;
  ASSERT_EQ(GetDriveTypeA("A:\\"), static_cast<UINT>(DRIVE_REMOVABLE));
  EXPECT_EQ(Text("Software\\Wine\\Drives", "a:"), "floppy");
  const LanguageTexts& t = SystemTexts();
  auto refused = [&] {
    ASSERT_TRUE(inst_.WaitDialog(kBoxText));  // MainWindow() exists by now
    ExpectBox(t.installError, t.removableSource, MainWindow(), true, kVersion);
    ExpectExit(1);
  };
  const std::string disk = exe_;
  exe_ = "A:\\TACHINST.EXE";
  ASSERT_TRUE(inst_.Start(exe_));
  refused();
  EXPECT_TRUE(NothingInstalled());
  ASSERT_TRUE(inst_.Start(disk));
  ChooseAndConfirm(k3000);  // from the hard disk, as before
  ASSERT_TRUE(Answer(kReinstall));
  refused();
  ExpectClassKey();
  ExpectUninstallEntry(disk);
  Remove();
  EXPECT_TRUE(NothingInstalled());
}

TEST_F(InstallerDialogs, MissingModule) {
  // A directory named TACHPAGE.DLL is not the module.
  const std::string alone = PrepareFolder(TempFolder("tachy_inst_alone"), false);
  const std::string withDir = PrepareFolder(TempFolder("tachy_inst_dir"), false);
  CreateDirectoryA((TempFolder("tachy_inst_dir") + "\\TACHPAGE.DLL").c_str(), nullptr);
  const struct {
    const std::string& exe;
    const char* args;
    const LanguageTexts& t;
  } runs[] = {{alone, "FORCELANG(GERMAN)", kGerman},
              {alone, "forcelang(french)", kFrench},
              {alone, "FORCELANG(SPANISH)", kEnglish},
              {withDir, "", SystemTexts()}};
  for (auto& r : runs) {
    SCOPED_TRACE(r.exe + " " + r.args);
    ASSERT_TRUE(inst_.Start(r.exe, r.args));
    ExpectBox(L"Tachymark", r.t.missingModule, nullptr);  // owned by the desktop
    ExpectExit(2);
    EXPECT_TRUE(NothingInstalled());
  }
}

TEST_F(InstallerDialogs, ForcedLanguageLeavesTheDialogsInTheSystemLanguage) {
  HWND select = Open(kVersion, SystemLang() == 7 ? "FORCELANG(FRENCH)" : "FORCELANG(GERMAN)");
  ASSERT_TRUE(select);
  ExpectTexts(select, kSelectTexts, SystemTexts());
  CancelRun(select);
}

TEST_F(InstallerDialogs, ModuleInADeepFolderIsFound) {
  // Deeper than the 128 characters OpenFile could take.
  std::string deep = TempFolder("tachy_inst_deep");
  while (deep.size() < 180) {
    deep += "\\a_rather_long_folder_name";
    CreateDirectoryA(deep.c_str(), nullptr);
  }
  const std::string exe = PrepareFolder(deep, true);
  SetInstallerVersion("win2k");
  ASSERT_TRUE(inst_.Start(exe));
  ChooseAndConfirm(k2000);
  ExpectClassKey(deep + "\\TACHPAGE.DLL");
}

TEST_F(InstallerDialogs, SecondInstanceExitsAtOnce) {
  Installer second;
  HWND select = OpenFirst();
  ASSERT_TRUE(select);
  ASSERT_TRUE(second.Start(exe_, "FORCE98"));
  ExpectExit(second);
  EXPECT_TRUE(inst_.Running());
  EXPECT_TRUE(IsWindowVisible(select));
  CancelRun(select);
}

TEST_F(InstallerDialogs, MainWindowAndFileExit) {
  ASSERT_TRUE(OpenFirst());
  HWND main = MainWindow();
  EXPECT_EQ(GetClassLongA(main, GCL_STYLE), static_cast<DWORD>(CS_HREDRAW | CS_VREDRAW));
  EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(main, GWL_STYLE)) & WS_OVERLAPPEDWINDOW,
            static_cast<DWORD>(WS_OVERLAPPEDWINDOW));
  const RECT r = WindowRect(main);
  EXPECT_EQ(std::vector<LONG>({r.left, r.top, r.right - r.left, r.bottom - r.top}),
            std::vector<LONG>({200, 200, 275, 250}));
  EXPECT_TRUE(GetMenu(main));  // the class menu (its items: resources test)
  // File, Exit. Synthetic: the main window stays hidden, so no mouse or key
  // can reach its menu; this is the command the item sends.
  PostMessageA(main, WM_COMMAND, 40001, 0);
  ExpectExit();
  EXPECT_TRUE(NothingInstalled());
}

TEST_F(InstallerDialogs, PositionsChain) {
  SetInstallerVersion("win98");
  // Each dialog opens where the user dragged the one before, with its own
  // size (185 x 111 units, the model dialog is 187 wide).
  struct Step {
    int dialog;  // told apart by this control
    bool centred;
    int button;
    POINT to;
  };
  auto chain = [&](std::initializer_list<Step> steps) {
    ASSERT_TRUE(inst_.Start(exe_));
    POINT at = {};
    LONG width = 0;
    for (const Step& s : steps) {
      SCOPED_TRACE(s.dialog);
      HWND d = inst_.WaitDialog(s.dialog);
      ASSERT_TRUE(d);
      const RECT r = WindowRect(d);
      if (s.centred) {
        at = {(GetSystemMetrics(SM_CXSCREEN) - (r.right - r.left)) / 2,
              (GetSystemMetrics(SM_CYSCREEN) - (r.bottom - r.top)) / 2};
      }
      EXPECT_EQ(r.left, at.x);
      EXPECT_EQ(r.top, at.y);
      EXPECT_TRUE(s.dialog != kInst1 || r.right - r.left < width) << width;
      if (s.dialog == kVersion) Click(d, k2000);
      if (s.to.x >= 0) DragTo(d, s.to.x, s.to.y);
      at = s.to;
      width = r.right - r.left;
      Click(d, s.button);
    }
    ExpectExit();
  };
  chain({{kVersion, true, kOk, {37, 51}}, {kInst1, false, kOk, {-1, -1}}});
  chain({{kRR1, true, kReinstall, {300, 20}},
         {kVersion, false, kOk, {10, 400}},
         {kInst1, false, kOk, {-1, -1}}});
  chain({{kRR1, true, kRemove, {123, 45}}, {kRem1, false, kOk, {-1, -1}}});
}

TEST_F(InstallerDialogs, KeyboardAlone) {
  SetInstallerVersion("win98");
  const LanguageTexts& t = SystemTexts();
  struct Step {
    WORD key;
    int focus, model;
    bool advanced;
  };
  auto keys = [](HWND d, std::initializer_list<Step> steps, WORD then) {
    gui::Foreground(d);
    for (const Step& s : steps) {
      SCOPED_TRACE(testing::Message() << "key " << s.key << " focus " << s.focus);
      if (s.key) gui::Key(s.key);
      gui::Settle(d);
      gui::WaitUntil([&] { return Focus(d) == GetDlgItem(d, s.focus); }, 2000);
      EXPECT_EQ(GetDlgCtrlID(Focus(d)), s.focus);
      if (s.model) {
        EXPECT_TRUE(Checked(d, s.model));
        EXPECT_EQ(Checked(d, kAdvanced), s.advanced);
      }
    }
    if (then) gui::Key(then);
  };
  // What a user presses first, by each template: Enter presses its default
  // button, Tab then Space the tab stop after its first (Select Model: OK,
  // here without a model; then the checked radio button).
  HWND select = Open();
  ASSERT_TRUE(select);
  keys(select, {}, VK_RETURN);
  ExpectBox(t.installError, t.noModel, select);
  keys(select,
       {{0, kOk, kNone, false}, {VK_TAB, kNone, kNone, false}, {VK_SPACE, kNone, kNone, false},
        {VK_UP, k2000, k2000, false},
        {VK_UP, k3000, k3000, false}, {VK_UP, k3500, k3500, false},
        {VK_DOWN, k3000, k3000, false}, {VK_TAB, kAdvanced, k3000, false},
        {VK_SPACE, kAdvanced, k3000, true}, {VK_SPACE, kAdvanced, k3000, false},
        {VK_SPACE, kAdvanced, k3000, true}, {VK_TAB, kCancel, k3000, true},
        {VK_TAB, kOk, k3000, true}},
       VK_RETURN);
  HWND installed = inst_.WaitDialog(kInst1);
  ASSERT_TRUE(installed);
  keys(installed, {{0, kOk, 0, false}, {VK_ESCAPE, kOk, 0, false}}, 0);
  EXPECT_TRUE(IsWindowVisible(installed));
  gui::Key(VK_RETURN);
  ExpectExit();
  EXPECT_EQ(Text(kProduct, "Model"), "Voodoo3 3000");
  EXPECT_TRUE(KeyExists(kDeviceKey));

  // Reinstall by its mnemonic, then Escape in Select Model: no change.
  HWND rr = Answer(0);
  ASSERT_TRUE(rr);
  keys(rr,
       {{0, kCancel, 0, false}, {VK_TAB, kReinstall, 0, false}, {VK_TAB, kRemove, 0, false},
        {VK_TAB, kCancel, 0, false}},
       0);
  gui::Alt(Mnemonic(t.reinstallButton));
  select = inst_.WaitDialog(kVersion);
  ASSERT_TRUE(select);
  keys(select, {}, VK_ESCAPE);
  ExpectExit();
  EXPECT_TRUE(KeyExists(kDeviceKey));

  // Reinstall or Remove: Enter is Cancel, Tab then Space Reinstall. Installed
  // (and Removed, below) has one tab stop, OK.
  rr = Answer(0);
  ASSERT_TRUE(rr);
  keys(rr, {}, VK_RETURN);
  ExpectExit();
  EXPECT_TRUE(KeyExists(kDeviceKey));
  rr = Answer(0);
  ASSERT_TRUE(rr);
  keys(rr, {{0, kCancel, 0, false}, {VK_TAB, kReinstall, 0, false}}, VK_SPACE);
  select = inst_.WaitDialog(kVersion);
  ASSERT_TRUE(select);
  keys(select, {{VK_TAB, kNone, kNone, false}, {VK_UP, k2000, k2000, false}}, VK_RETURN);
  installed = inst_.WaitDialog(kInst1);
  ASSERT_TRUE(installed);
  keys(installed, {{VK_TAB, kOk, 0, false}}, VK_SPACE);
  ExpectExit();
  EXPECT_EQ(Text(kProduct, "Model"), "Voodoo3 2000");

  rr = Answer(0);
  ASSERT_TRUE(rr);
  gui::Foreground(rr);
  gui::Alt(Mnemonic(t.removeButton));
  HWND removed = inst_.WaitDialog(kRem1);
  ASSERT_TRUE(removed);
  keys(removed, {}, VK_RETURN);
  ExpectExit();
  EXPECT_TRUE(NothingInstalled());
  Install("", k3000);
  ASSERT_TRUE(Answer(kRemove));
  removed = inst_.WaitDialog(kRem1);
  ASSERT_TRUE(removed);
  keys(removed, {{VK_TAB, kOk, 0, false}}, VK_SPACE);
  ExpectExit();
}

// TRUE to WM_INITDIALOG has Windows put the focus on the first tab stop. After a FALSE
// Wine's dialog manager puts it there anyway once the dialog is active, so no key tells
// (tried): the dialogs run here, from TACHINST.EXE's templates, and the answer is read.
LRESULT g_initAnswer;
LRESULT CALLBACK AfterInit(int code, WPARAM wParam, LPARAM lParam) {
  const CWPRETSTRUCT* m = reinterpret_cast<const CWPRETSTRUCT*>(lParam);
  if (m->message == WM_INITDIALOG) {
    g_initAnswer = m->lResult;
    PostMessageA(m->hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

TEST(InstallerDialogFocus, EachDialogAsksForTheFocusOnItsFirstTabStop) {
  HMODULE exe = LoadLibraryExA(Env("TACHY_INST_EXE").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_TRUE(exe);
  InitInstallerState(&TheInstallerState());
  TheInstallerState().instance = reinterpret_cast<uintptr_t>(exe);
  HHOOK hook = SetWindowsHookExA(WH_CALLWNDPROCRET, AfterInit, nullptr, GetCurrentThreadId());
  Win32InstallerUi ui;
  for (int id : {503, 504, 505, 506}) {
    g_initAnswer = -1;
    EXPECT_EQ(ui.RunDialog(id), SC_CLOSE) << id;
    EXPECT_EQ(g_initAnswer, TRUE) << id;
  }
  UnhookWindowsHookEx(hook);
  FreeLibrary(exe);
}

// Two gestures per dialog: the second shows that the first moved the cycle
// on, also where the first lands on the system language.
TEST_F(InstallerDialogs, LanguageGestureCyclesAcrossDialogs) {
  SetInstallerVersion("win98");
  int step = 0;
  EachDialog([&](HWND d, int label, const Shows& shows) {
    if (label == kVersion) {
      Click(d, k3000);
      Click(d, kAdvanced);
    }
    ExpectTexts(d, shows, SystemTexts());
    for (int i = 0; i < 2; ++i) {
      GestureAt(d, Spot(GetDlgItem(d, label), i));
      ExpectTexts(d, shows, CycleTexts(step++));  // Installed: English, French
    }
    if (label != kVersion) return;
    // Texts only: the choices stay. The no-model message comes in the
    // dialog's current language, German.
    EXPECT_TRUE(Checked(d, k3000));
    EXPECT_TRUE(Checked(d, kAdvanced));
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(d, kAdvanced)));
    Click(d, kNone);
    Click(d, kOk);
    ExpectBox(kGerman.installError, kGerman.noModel, d);
  }, &step);
}

TEST_F(InstallerDialogs, LanguageGestureNeedsTheLabelAndAllThreeHeld) {
  const LanguageTexts& sys = SystemTexts();
  int step = 0;
  EachDialog([&](HWND d, int label, const Shows& shows) {
    HWND l = GetDlgItem(d, label);
    const RECT r = WindowRect(l);
    int spot = 0;
    for (WPARAM held : {WPARAM{0}, WPARAM{MK_SHIFT | MK_LBUTTON}, WPARAM{MK_CONTROL | MK_LBUTTON},
                        WPARAM{MK_CONTROL | MK_SHIFT}})
      GestureAt(d, Spot(l, spot++), held);
    // Far enough apart not to make double clicks.
    for (POINT p : {POINT{r.left - 1, r.top}, POINT{r.right, r.top}, POINT{r.left, r.top - 1},
                    POINT{r.left, r.bottom}})
      GestureAt(d, p);
    ExpectTexts(d, shows, sys);
    const POINT corners[] = {{r.right - 1, r.bottom - 1}, {r.left, r.top}};
    do {
      GestureAt(d, corners[step % 2]);
      ExpectTexts(d, shows, CycleTexts(step));
    } while (&CycleTexts(step++) == &sys);
  }, &step);
}

bool SetKeySecurity(const char* key, const char* sddl) {
  HKEY k;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key, 0, WRITE_DAC | READ_CONTROL, &k) != ERROR_SUCCESS)
    return false;
  PSECURITY_DESCRIPTOR sd = nullptr;
  const bool ok = ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl, SDDL_REVISION_1,
                                                                       &sd, nullptr) &&
                  RegSetKeySecurity(k, DACL_SECURITY_INFORMATION, sd) == ERROR_SUCCESS;
  LocalFree(sd);
  RegCloseKey(k);
  return ok;
}
const char kAllowAll[] = "D:(A;;KA;;;WD)";

// An open of `key` with `access` (created as the installer does).
LONG OpenKey(const char* key, REGSAM access, bool create = false) {
  HKEY k;
  char cls[] = "Tachymark";
  const LONG r = create ? RegCreateKeyExA(HKEY_LOCAL_MACHINE, key, 0, cls,
                                          REG_OPTION_NON_VOLATILE, access, nullptr, &k, nullptr)
                        : RegOpenKeyExA(HKEY_LOCAL_MACHINE, key, 0, access, &k);
  if (r == ERROR_SUCCESS) RegCloseKey(k);
  return r;
}

// The installer's keys that these cases refuse, one at a time: the first it
// writes and deletes, and the Add/Remove Programs entry, the last.
const char* const kRefusedKeys[] = {kProduct, kUninstallKey};

class InstallerRefused : public InstallerDialogs {
 protected:
  void TearDown() override {
    for (const char* key : kRefusedKeys) SetKeySecurity(key, kAllowAll);
    InstallerDialogs::TearDown();
  }
};

TEST_F(InstallerRefused, InstallReportsTheFailure) {
  for (const char* refused : kRefusedKeys) {
    SCOPED_TRACE(refused);
    CleanRegistry();
    SetInstallerVersion("win2k");
    // Denied query, set, create, enumerate and notify to everybody (the
    // owner can still put the DACL back): the detection's KEY_READ open fails.
    PutText(refused, "Old", "x");
    ASSERT_TRUE(SetKeySecurity(refused, "D:P(D;;0x1f;;;WD)(A;;KA;;;WD)"));
    ASSERT_EQ(OpenKey(refused, KEY_READ), ERROR_ACCESS_DENIED);
    ASSERT_EQ(OpenKey(refused, KEY_CREATE_SUB_KEY | KEY_SET_VALUE, true), ERROR_ACCESS_DENIED);

    HWND select = Open();
    ASSERT_TRUE(select) << "the unreadable key must count as absent";
    Click(select, k2000);
    Click(select, kOk);
    const LanguageTexts& t = SystemTexts();
    ExpectBox(t.installError, t.installFailed, MainWindow(), true, kInst1);  // no success dialog
    ExpectExit(3);
    // The other steps ran; the refused key kept what it held.
    EXPECT_TRUE(KeyExists(kDisplayKey));
    ExpectClassKey();
    if (refused == kProduct) ExpectUninstallEntry(exe_);
    else ExpectProductValues("Voodoo3 2000", "143");
    ASSERT_TRUE(SetKeySecurity(refused, kAllowAll));
    EXPECT_EQ(Text(refused, "Old"), "x");
    EXPECT_FALSE(Has(refused, refused == kProduct ? "Model" : "DisplayName"));
  }
}

TEST_F(InstallerRefused, RemovalStopsAndReportsTheFailure) {
  for (const char* refused : {kNT4Device, kProduct, kUninstallKey}) {  // the driver's first
    SCOPED_TRACE(refused);
    const bool driver = refused == kNT4Device;
    CleanRegistry();
    SetInstallerVersion("nt40");
    Install("", k3000);
    gui::PutDword(kNT4Device, "GraphicsClocking", 170);
    // The driver's key refuses writes. The others are readable, so detected,
    // but cannot be deleted: a deny entry for DELETE; where Wine grants DELETE
    // anyway, a subkey (NT's RegDeleteKey refuses a key that has subkeys) makes
    // the same refusal.
    const std::string pinned = std::string(refused) + "\\Pinned";
    ASSERT_TRUE(SetKeySecurity(refused, driver ? "D:P(D;;0x6;;;WD)(A;;KA;;;WD)"
                                               : "D:P(D;;SD;;;WD)(A;;KR;;;WD)"));
    if (driver) {
      ASSERT_EQ(OpenKey(refused, KEY_CREATE_SUB_KEY | KEY_SET_VALUE), ERROR_ACCESS_DENIED);
    } else if (OpenKey(refused, DELETE) != ERROR_ACCESS_DENIED) {
      std::printf("note: Wine grants DELETE despite the key's DACL; using a subkey\n");
      ASSERT_TRUE(SetKeySecurity(refused, kAllowAll));
      PutText(pinned, "x", "y");
    }

    ASSERT_TRUE(Answer(kRemove));
    const LanguageTexts& t = SystemTexts();
    ExpectBox(t.installError, t.removeFailed, MainWindow(), true, kRem1);
    ExpectExit(4);
    // Removal stopped at the refused step; the entry goes last and stays.
    EXPECT_TRUE(KeyExists(refused));
    EXPECT_EQ(Has(kNT4Device, "GraphicsClocking"), driver);
    EXPECT_EQ(KeyExists(kDisplayKey), driver);
    EXPECT_EQ(KeyExists(HKEY_CLASSES_ROOT, kClassKey), driver);
    EXPECT_EQ(KeyExists(kProduct), refused != kUninstallKey);
    EXPECT_TRUE(KeyExists(kUninstallKey));
    // Once the key may go, the next start offers the removal and finishes it.
    ASSERT_TRUE(SetKeySecurity(refused, kAllowAll));
    gui::DeleteTree(pinned);
    Remove();
    EXPECT_TRUE(NothingInstalled());
    EXPECT_FALSE(Has(kNT4Device, "GraphicsClocking"));
  }
}

TEST_F(InstallerDialogs, SecondStartBringsTheDialogForward) {
  Installer second;
  HWND select = OpenFirst();
  ASSERT_TRUE(select);
  HWND other = CreateWindowA("STATIC", "In front", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 150, 150,
                             400, 300, nullptr, nullptr, nullptr, nullptr);
  ASSERT_TRUE(other);
  auto foreground = [](HWND w) {
    return gui::WaitUntil([w] { return GetForegroundWindow() == w; }, 2000);
  };
  for (bool minimised : {false, true}) {
    SCOPED_TRACE(minimised ? "minimised" : "behind another window");
    SetForegroundWindow(other);
    ASSERT_TRUE(foreground(other));
    if (minimised) {
      ShowWindow(select, SW_MINIMIZE);
      ASSERT_TRUE(IsIconic(select));
    }
    ASSERT_TRUE(second.Start(exe_));
    ExpectExit(second);
    EXPECT_TRUE(foreground(select));
    EXPECT_FALSE(IsIconic(select));
    EXPECT_FALSE(IsWindowVisible(MainWindow()));
    EXPECT_TRUE(NothingInstalled());
  }
  DestroyWindow(other);
  EXPECT_TRUE(inst_.Running());
  CancelRun(select);
}

}  // namespace
}  // namespace insttest
}  // namespace tachy
