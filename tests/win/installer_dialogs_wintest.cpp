// TACHINST.EXE driven through its real dialogs under Wine: install on each
// Windows version, the Windows 98 option, the no-model message, reinstall,
// removal, the legacy key, the missing module, the second instance, the
// dialog positions, the language gesture and the refused registry.
//
// The system language of the run comes from LC_ALL (TACHY_INST_LANG names
// the primary language id the dialogs must show: 9, 12 or 7).
#include <windows.h>
#include "gui.h"
#include <sddl.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "installer_wintest_support.h"

namespace tachy {
namespace insttest {
namespace {

struct LanguageTexts {
  int langId;
  const wchar_t* selectModel;
  const wchar_t* doNotInstall;
  const wchar_t* win98Option;
  const wchar_t* advancedPanel;
  const wchar_t* versionLine;
  const wchar_t* cancel;
  const wchar_t* installError;
  const wchar_t* noModel;
  const wchar_t* installed1;
  const wchar_t* installed2;
  const wchar_t* reinstall1;
  const wchar_t* reinstall2;
  const wchar_t* reinstall3;
  const wchar_t* reinstallButton;
  const wchar_t* removeButton;
  const wchar_t* removed1;
  const wchar_t* removed2;
  const wchar_t* installFailed;  // start of the message
  const wchar_t* removeFailed;
};

const LanguageTexts kEnglish = {
    9, L"Select Model", L"Do not install", L"Windows 98 Option",
    L"Install under Advanced Panel", L"Version 3.2 English", L"Cancel", L"Install Error",
    L"You must select a Voodoo3 model to install", L"The Tachymark has been",
    L"successfully installed on your system.", L"The Tachymark is currently",
    L"installed on your system. Do you wish", L"to reinstall or remove it.",
    L"Re&install", L"&Remove", L"The Tachymark has been",
    L"successfully removed from your system.",
    L"The installation could not be completed.", L"The removal could not be completed."};
const LanguageTexts kFrench = {
    12, L"Choisissez votre mod\u00e8le", L"Ne pas installer", L"Option Windows 98",
    L"Installer dans la page de propri\u00e9t\u00e9s avanc\u00e9es",
    L"Version 3.2 Fran\u00e7ais", L"Annuler", L"Erreur d'installation",
    L"Vous devez choisir un mod\u00e8le de Voodoo3", L"Le Tachymark a \u00e9t\u00e9",
    L"install\u00e9 avec succ\u00e8s.", L"Le Tachymark est d\u00e9j\u00e0 install\u00e9.",
    L"Voulez-vous le r\u00e9installer ou le supprimer ?", L" ", L"R\u00e9&installer",
    L"&Supprimer", L"Le Tachymark a \u00e9t\u00e9", L"supprim\u00e9 avec succ\u00e8s.",
    L"L'installation n'a pas pu \u00eatre termin\u00e9e.",
    L"La suppression n'a pas pu \u00eatre termin\u00e9e."};
const LanguageTexts kGerman = {
    7, L"Modell Wahl", L"Nicht installieren", L"Windows 98 Option",
    L"Bei Weitere Optionen eintragen", L"Version 3.2 Deutsch", L"Abbruch", L"Install Fehler",
    L"Sie m\u00fcssen ein Voodoo3 Karte haben", L"Der Tachymark wurde",
    L"erfolgreich auf Ihrem System installiert.", L"Der Tachymark ist gerade",
    L"installiert auf Ihrem System. M\u00f6chten Sie", L"ihn reinstallieren oder entfernen.",
    L"Re&installieren", L"&Entfernen", L"Der Tachymark wurde",
    L"erfolgreich aus Ihrem System entfernt.",
    L"Die Installation konnte nicht abgeschlossen werden.",
    L"Das Entfernen konnte nicht abgeschlossen werden."};

const LanguageTexts& Texts(int langId) {
  return langId == 12 ? kFrench : langId == 7 ? kGerman : kEnglish;
}
int SystemLang() {
  std::string v = Env("TACHY_INST_LANG");
  return v.empty() ? 9 : std::atoi(v.c_str());
}
const LanguageTexts& SystemTexts() { return Texts(SystemLang()); }
// The cycle of the hidden gesture: English, French, German, English...
const LanguageTexts& CycleTexts(int step) {
  static const LanguageTexts* cycle[] = {&kFrench, &kGerman, &kEnglish};
  return *cycle[step % 3];
}

bool StartsWith(const std::wstring& text, const std::wstring& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

// Ids of the dialogs' controls.
enum {
  kOk = 1, kCancel = 2, kNone = 1000, k2000 = 1001, k3000 = 1002, k3500 = 1003,
  kAdvanced = 1004, kWin98Group = 1005, kReinstall = 1006, kRemove = 1007,
  kModelGroup = 1008, kRR1 = 1009, kRR2 = 1010, kRR3 = 1011, kVersion = 1013,
  kInst1 = 1015, kInst2 = 1016, kRem1 = 1017, kRem2 = 1018,
};

class InstallerDialogs : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(InstallerExe().empty()) << "TACHY_INST_EXE is not set";
    CleanRegistry();
    SetInstallerVersion("");
    // Wine draws the dialogs' frames itself (there is no window manager).
    WriteText(HKEY_CURRENT_USER, "Software\\Wine\\AppDefaults\\TACHINST.EXE\\X11 Driver",
              "Managed", "N");
    folder_ = TempFolder("tachy_inst_dialogs");
    exe_ = PrepareFolder(folder_, true);
    modulePath_ = folder_ + "\\TACHPAGE.DLL";
  }
  void TearDown() override {
    CleanRegistry();
    SetInstallerVersion("");
  }

  // Display-class instance n holds a Voodoo3 (or another board).
  void SeedAdapter(int n, const char* description = "3dfx Voodoo3 3000 AGP") {
    char key[128];
    std::snprintf(key, sizeof key, "%s%04d", kClass9x, n);
    WriteText(HKEY_LOCAL_MACHINE, key, "DriverDesc", description);
  }
  // What the settings page writes for instance n on the 9x family.
  void SeedDriver9x(int n) {
    char base[128];
    std::snprintf(base, sizeof base, "%s%04d", kClass9x, n);
    WriteText(HKEY_LOCAL_MACHINE, std::string(base) + "\\DEFAULT", "Grxclock", "170");
    WriteText(HKEY_LOCAL_MACHINE, std::string(base) + "\\DEFAULT", "drv", "3dfxvs.drv");
    WriteText(HKEY_LOCAL_MACHINE, std::string(base) + "\\Glide", "FX_GLIDE_SWAPINTERVAL", "0");
    WriteText(HKEY_LOCAL_MACHINE, std::string(base) + "\\D3D", "SSTH3_SWAPINTERVAL", "0");
  }
  bool Driver9xCleared(int n) {
    char base[128];
    std::snprintf(base, sizeof base, "%s%04d", kClass9x, n);
    return !ValueExists(HKEY_LOCAL_MACHINE, std::string(base) + "\\DEFAULT", "Grxclock") &&
           !ValueExists(HKEY_LOCAL_MACHINE, std::string(base) + "\\Glide",
                        "FX_GLIDE_SWAPINTERVAL") &&
           !ValueExists(HKEY_LOCAL_MACHINE, std::string(base) + "\\D3D",
                        "SSTH3_SWAPINTERVAL") &&
           ValueExists(HKEY_LOCAL_MACHINE, std::string(base) + "\\DEFAULT", "drv");
  }

  // Runs a whole fresh install: model button, optionally the Windows 98
  // option; checks the Installed dialog and the exit.
  void Install(const std::string& args, int modelButton, bool advanced = false) {
    Installer inst;
    ASSERT_TRUE(inst.Start(exe_, args));
    HWND select = inst.WaitDialog(kVersion);
    ASSERT_TRUE(select) << "no Select Model dialog";
    Click(select, modelButton);
    if (advanced) Click(select, kAdvanced);
    Click(select, kOk);
    HWND installed = inst.WaitDialog(kInst1);
    ASSERT_TRUE(installed) << "no Installed dialog";
    EXPECT_EQ(ItemW(installed, kInst2), SystemTexts().installed2);
    Click(installed, kOk);
    DWORD code = 1;
    ASSERT_TRUE(inst.WaitExit(15000, &code));
    EXPECT_EQ(code, 0u);
  }

  // Starts the installer on an installed system and presses Remove.
  void Remove(const std::string& args = "") {
    Installer inst;
    ASSERT_TRUE(inst.Start(exe_, args));
    HWND rr = inst.WaitDialog(kRR1);
    ASSERT_TRUE(rr) << "no Reinstall or Remove dialog";
    Click(rr, kRemove);
    HWND removed = inst.WaitDialog(kRem1);
    ASSERT_TRUE(removed) << "no Removed dialog";
    EXPECT_EQ(ItemW(removed, kRem2), SystemTexts().removed2);
    Click(removed, kOk);
    DWORD code = 1;
    ASSERT_TRUE(inst.WaitExit(15000, &code));
    EXPECT_EQ(code, 0u);
  }

  // A text the installer wrote: REG_SZ whose data length counts the
  // terminating zero, in a key created with the class string "Tachymark".
  void ExpectText(HKEY root, const std::string& key, const char* name, const std::string& text) {
    SCOPED_TRACE(key + " " + (name ? name : "(default)"));
    std::string data;
    DWORD type = 0;
    EXPECT_TRUE(ReadValue(root, key, name, &data, &type));
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(data, text + '\0');
    EXPECT_EQ(KeyClass(root, key), "Tachymark");
  }

  void ExpectProductValues(const char* model, const char* clock) {
    const char* values[][2] = {{"LowerLimit", "120"}, {"UpperLimit", "220"}, {"Model", model},
                               {"DefaultClock", clock}, {"EnableClock", "0"},
                               {"ColorDepth", "8"}, {"LinkAllColorDepths", "0"}};
    for (auto& v : values) ExpectText(HKEY_LOCAL_MACHINE, kProduct, v[0], v[1]);
  }

  void ExpectClassKey(const std::string& module = "") {
    std::string path = module.empty() ? modulePath_ : module;
    // The path as the installer found itself: compare without case.
    std::string server = ReadText(HKEY_CLASSES_ROOT, ServerKey(), nullptr);
    EXPECT_EQ(lstrcmpiA(server.c_str(), path.c_str()), 0) << server << " vs " << path;
    ExpectText(HKEY_CLASSES_ROOT, ServerKey(), nullptr, server);
    EXPECT_EQ(server.size(), path.size());
    ExpectText(HKEY_CLASSES_ROOT, ServerKey(), "ThreadingModel", "Apartment");
    EXPECT_EQ(KeyClass(HKEY_CLASSES_ROOT, ClassKey()), "Tachymark");
  }

  bool NothingInstalled() {
    return !KeyExists(HKEY_LOCAL_MACHINE, kProduct) &&
           !KeyExists(HKEY_LOCAL_MACHINE, DisplayKey()) &&
           !KeyExists(HKEY_LOCAL_MACHINE, DeviceKey()) &&
           !KeyExists(HKEY_LOCAL_MACHINE, LegacyKey()) &&
           !KeyExists(HKEY_CLASSES_ROOT, ClassKey());
  }

  std::string folder_;
  std::string exe_;
  std::string modulePath_;
};

// ---------------------------------------------------------------------------

TEST_F(InstallerDialogs, FreshInstallOnEachWindowsVersion) {
  struct Case {
    const char* version;
    bool win98Option;
    int model;
    const char* modelName;
    const char* clock;
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
    Installer inst;
    ASSERT_TRUE(inst.Start(exe_));
    HWND select = inst.WaitDialog(kVersion);
    ASSERT_TRUE(select);
    const LanguageTexts& t = SystemTexts();
    EXPECT_EQ(TextW(select), L"Tachymark");
    EXPECT_EQ(ItemW(select, kModelGroup), t.selectModel);
    EXPECT_EQ(ItemW(select, k3500), L"Voodoo3 3500");
    EXPECT_EQ(ItemW(select, kNone), t.doNotInstall);
    EXPECT_EQ(ItemW(select, kWin98Group), t.win98Option);
    EXPECT_EQ(ItemW(select, kAdvanced), t.advancedPanel);
    EXPECT_EQ(ItemW(select, kVersion), t.versionLine);
    EXPECT_EQ(ItemW(select, kCancel), t.cancel);
    EXPECT_EQ(ItemW(select, kOk), L"OK");
    // Do not install is preselected; the option only on Windows 98.
    EXPECT_EQ(IsDlgButtonChecked(select, kNone), static_cast<UINT>(BST_CHECKED));
    EXPECT_EQ(IsDlgButtonChecked(select, kAdvanced), static_cast<UINT>(BST_UNCHECKED));
    EXPECT_EQ(IsWindowEnabled(GetDlgItem(select, kAdvanced)) != 0, c.win98Option);
    EXPECT_EQ(IsWindowEnabled(GetDlgItem(select, kWin98Group)) != 0, c.win98Option);
    Click(select, c.model);
    Click(select, kOk);
    HWND installed = inst.WaitDialog(kInst1);
    ASSERT_TRUE(installed);
    EXPECT_EQ(ItemW(installed, kInst1), t.installed1);
    Click(installed, kOk);
    DWORD code = 1;
    ASSERT_TRUE(inst.WaitExit(15000, &code));
    EXPECT_EQ(code, 0u);

    ExpectText(HKEY_LOCAL_MACHINE, DisplayKey(), nullptr, kClsidText);
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, DeviceKey()));
    ExpectProductValues(c.modelName, c.clock);
    for (const char* force : {"Force95", "Force98", "ForceNT4", "ForceNT5"})
      EXPECT_FALSE(ValueExists(HKEY_LOCAL_MACHINE, kProduct, force)) << force;
    ExpectClassKey();
  }
}

TEST_F(InstallerDialogs, AdvancedPanelOptionOnWindows98) {
  SeedAdapter(0);
  SetInstallerVersion("win98");
  // The check box toggles (it is not automatic) and is read back.
  {
    Installer inst;
    ASSERT_TRUE(inst.Start(exe_));
    HWND select = inst.WaitDialog(kVersion);
    ASSERT_TRUE(select);
    ClickNow(select, kAdvanced);
    EXPECT_EQ(IsDlgButtonChecked(select, kAdvanced), static_cast<UINT>(BST_CHECKED));
    ClickNow(select, kAdvanced);
    EXPECT_EQ(IsDlgButtonChecked(select, kAdvanced), static_cast<UINT>(BST_UNCHECKED));
    Click(select, kCancel);
    DWORD code = 1;
    ASSERT_TRUE(inst.WaitExit(15000, &code));
    EXPECT_TRUE(NothingInstalled());
  }
  // Installed under the Advanced panel: the Device handler key.
  Install("", k3500, true);
  ExpectText(HKEY_LOCAL_MACHINE, DeviceKey(), nullptr, kClsidText);
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, DisplayKey()));
  // A reinstall without the option moves it back under Display.
  {
    Installer inst;
    ASSERT_TRUE(inst.Start(exe_));
    HWND rr = inst.WaitDialog(kRR1);
    ASSERT_TRUE(rr);
    Click(rr, kReinstall);
    HWND select = inst.WaitDialog(kVersion);
    ASSERT_TRUE(select);
    EXPECT_EQ(IsDlgButtonChecked(select, kAdvanced), static_cast<UINT>(BST_UNCHECKED));
    Click(select, k3500);
    Click(select, kOk);
    HWND installed = inst.WaitDialog(kInst1);
    ASSERT_TRUE(installed);
    Click(installed, kOk);
    DWORD code = 1;
    ASSERT_TRUE(inst.WaitExit(15000, &code));
  }
  EXPECT_EQ(ReadText(HKEY_LOCAL_MACHINE, DisplayKey(), nullptr), kClsidText);
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, DeviceKey()));
}

TEST_F(InstallerDialogs, Force98OnNTEnablesTheOptionAndUsesThe9xLayout) {
  SeedAdapter(1);
  SeedDriver9x(1);
  SetInstallerVersion("nt40");
  Installer inst;
  ASSERT_TRUE(inst.Start(exe_, "force98 LOWERLIMIT(90) UPPERLIMIT(230)"));
  HWND select = inst.WaitDialog(kVersion);
  ASSERT_TRUE(select);
  EXPECT_TRUE(IsWindowEnabled(GetDlgItem(select, kAdvanced)));
  EXPECT_TRUE(IsWindowEnabled(GetDlgItem(select, kWin98Group)));
  Click(select, k2000);
  Click(select, kAdvanced);
  Click(select, kOk);
  HWND installed = inst.WaitDialog(kInst1);
  ASSERT_TRUE(installed);
  Click(installed, kOk);
  DWORD code = 1;
  ASSERT_TRUE(inst.WaitExit(15000, &code));
  EXPECT_EQ(ReadText(HKEY_LOCAL_MACHINE, kProduct, "Force98"), "1");
  EXPECT_FALSE(ValueExists(HKEY_LOCAL_MACHINE, kProduct, "ForceNT4"));
  EXPECT_EQ(ReadText(HKEY_LOCAL_MACHINE, kProduct, "LowerLimit"), "100");
  EXPECT_EQ(ReadText(HKEY_LOCAL_MACHINE, kProduct, "UpperLimit"), "230");
  EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, DeviceKey()));
  // A removal with the same option clears the 9x driver values of adapter 1.
  Remove("FORCE98");
  EXPECT_TRUE(Driver9xCleared(1));
  EXPECT_TRUE(NothingInstalled());
}

TEST_F(InstallerDialogs, ForceNT5WritesItsFlag) {
  SetInstallerVersion("win98");
  Install("FORCENT5", k2000, false);
  EXPECT_EQ(ReadText(HKEY_LOCAL_MACHINE, kProduct, "ForceNT5"), "1");
  EXPECT_FALSE(ValueExists(HKEY_LOCAL_MACHINE, kProduct, "Force98"));
  EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, DisplayKey()));
}

TEST_F(InstallerDialogs, OkWithoutModelShowsTheMessageAndStays) {
  SetInstallerVersion("win95");
  Installer inst;
  ASSERT_TRUE(inst.Start(exe_));
  HWND select = inst.WaitDialog(kVersion);
  ASSERT_TRUE(select);
  const LanguageTexts& t = SystemTexts();
  // Straight away, and after choosing a model and going back.
  for (int round = 0; round < 2; ++round) {
    if (round == 1) {
      Click(select, k3000);
      Click(select, kNone);
    }
    Click(select, kOk);
    HWND box = inst.WaitMessageBox();
    ASSERT_TRUE(box) << "round " << round;
    EXPECT_EQ(TextW(box), t.installError);
    EXPECT_EQ(MessageText(box), t.noModel);
    EXPECT_EQ(GetWindow(box, GW_OWNER), select);
    DismissMessageBox(box);
    EXPECT_TRUE(IsWindowVisible(select));
  }
  EXPECT_TRUE(NothingInstalled());
  Click(select, kCancel);
  DWORD code = 1;
  ASSERT_TRUE(inst.WaitExit(15000, &code));
  EXPECT_EQ(code, 0u);
  EXPECT_TRUE(NothingInstalled());
}

TEST_F(InstallerDialogs, CloseBoxAndEscape) {
  SetInstallerVersion("win2k");
  // The close box of Select Model ends the run without changes.
  {
    Installer inst;
    ASSERT_TRUE(inst.Start(exe_));
    HWND select = inst.WaitDialog(kVersion);
    ASSERT_TRUE(select);
    PostMessageA(select, WM_SYSCOMMAND, SC_CLOSE, 0);
    DWORD code = 1;
    ASSERT_TRUE(inst.WaitExit(15000, &code));
    EXPECT_TRUE(NothingInstalled());
  }
  // Escape in the Installed dialog leaves it open; the close box ends it.
  {
    Installer inst;
    ASSERT_TRUE(inst.Start(exe_));
    HWND select = inst.WaitDialog(kVersion);
    ASSERT_TRUE(select);
    Click(select, k2000);
    Click(select, kOk);
    HWND installed = inst.WaitDialog(kInst1);
    ASSERT_TRUE(installed);
    PostMessageA(installed, WM_COMMAND, IDCANCEL, 0);
    Settle(installed);
    Sleep(200);
    EXPECT_TRUE(IsWindowVisible(installed));
    PostMessageA(installed, WM_SYSCOMMAND, SC_CLOSE, 0);
    DWORD code = 1;
    ASSERT_TRUE(inst.WaitExit(15000, &code));
    EXPECT_EQ(code, 0u);
  }
}

TEST_F(InstallerDialogs, ReinstallRestoresTheInstallValues) {
  SeedAdapter(0);
  SeedAdapter(1, "Matrox Millennium");
  SeedAdapter(2, "3dfx voodoo3 2000 PCI");
  SetInstallerVersion("win98");
  Install("", k3500);
  // What the page and the refresh-rate dialog changed since.
  WriteText(HKEY_LOCAL_MACHINE, kProduct, "EnableClock", "1");
  WriteText(HKEY_LOCAL_MACHINE, kProduct, "ColorDepth", "16");
  WriteText(HKEY_LOCAL_MACHINE, kProduct, "LinkAllColorDepths", "1");
  SeedDriver9x(0);
  SeedDriver9x(1);
  SeedDriver9x(2);

  Installer inst;
  ASSERT_TRUE(inst.Start(exe_));
  HWND rr = inst.WaitDialog(kRR1);
  ASSERT_TRUE(rr);
  const LanguageTexts& t = SystemTexts();
  EXPECT_EQ(TextW(rr), L"Tachymark");
  EXPECT_EQ(ItemW(rr, kRR1), t.reinstall1);
  EXPECT_EQ(ItemW(rr, kRR2), t.reinstall2);
  EXPECT_EQ(ItemW(rr, kRR3), t.reinstall3);
  EXPECT_EQ(ItemW(rr, kReinstall), t.reinstallButton);
  EXPECT_EQ(ItemW(rr, kRemove), t.removeButton);
  EXPECT_EQ(ItemW(rr, kCancel), t.cancel);
  Click(rr, kReinstall);
  HWND select = inst.WaitDialog(kVersion);
  ASSERT_TRUE(select);
  Click(select, k2000);
  Click(select, kOk);
  HWND installed = inst.WaitDialog(kInst1);
  ASSERT_TRUE(installed);
  Click(installed, kOk);
  DWORD code = 1;
  ASSERT_TRUE(inst.WaitExit(15000, &code));

  ExpectProductValues("Voodoo3 2000", "143");
  EXPECT_TRUE(Driver9xCleared(0));
  EXPECT_TRUE(Driver9xCleared(2));
  EXPECT_FALSE(Driver9xCleared(1));  // not a Voodoo3: left alone
  ExpectClassKey();
}

TEST_F(InstallerDialogs, ReinstallThenCancelChangesNothing) {
  SetInstallerVersion("nt40");
  Install("", k3000);
  WriteText(HKEY_LOCAL_MACHINE, kProduct, "EnableClock", "1");
  WriteDword(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Services\\Voodoo3\\Device0",
             "GraphicsClocking", 170);
  Installer inst;
  ASSERT_TRUE(inst.Start(exe_));
  HWND rr = inst.WaitDialog(kRR1);
  ASSERT_TRUE(rr);
  Click(rr, kReinstall);
  HWND select = inst.WaitDialog(kVersion);
  ASSERT_TRUE(select);
  Click(select, kCancel);
  DWORD code = 1;
  ASSERT_TRUE(inst.WaitExit(15000, &code));
  EXPECT_EQ(ReadText(HKEY_LOCAL_MACHINE, kProduct, "EnableClock"), "1");
  EXPECT_EQ(ReadText(HKEY_LOCAL_MACHINE, kProduct, "Model"), "Voodoo3 3000");
  EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, DisplayKey()));
  EXPECT_TRUE(ValueExists(HKEY_LOCAL_MACHINE,
                          "SYSTEM\\CurrentControlSet\\Services\\Voodoo3\\Device0",
                          "GraphicsClocking"));
  // Cancel in Reinstall or Remove: the same.
  Installer again;
  ASSERT_TRUE(again.Start(exe_));
  rr = again.WaitDialog(kRR1);
  ASSERT_TRUE(rr);
  Click(rr, kCancel);
  ASSERT_TRUE(again.WaitExit(15000, &code));
  EXPECT_EQ(ReadText(HKEY_LOCAL_MACHINE, kProduct, "EnableClock"), "1");
}

TEST_F(InstallerDialogs, RemoveClearsEverything) {
  struct Case {
    const char* version;
    const char* deviceKey;  // NT driver key, or null on 9x
  } cases[] = {
      {"win98", nullptr},
      {"nt40", "SYSTEM\\CurrentControlSet\\Services\\Voodoo3\\Device0"},
      {"win2k", "SYSTEM\\CurrentControlSet\\Services\\3dfxvs\\Device0"},
  };
  const char glide[] = "SYSTEM\\CurrentControlSet\\Services\\3Dfx\\Device0\\Glide";
  const char d3d[] = "SYSTEM\\CurrentControlSet\\Services\\3Dfx\\Device0\\D3D";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.version);
    CleanRegistry();
    SetInstallerVersion(c.version);
    SeedAdapter(0);
    SeedAdapter(2);
    Install("", k3000);
    // A Device handler key and a module registered with regsvr32 (ProgID).
    WriteText(HKEY_LOCAL_MACHINE, DeviceKey(), nullptr, kClsidText);
    WriteText(HKEY_CLASSES_ROOT, ClassKey() + "\\ProgID", nullptr, "Tachymark.PropPage");
    SeedDriver9x(0);
    SeedDriver9x(2);
    if (c.deviceKey) {
      WriteDword(HKEY_LOCAL_MACHINE, c.deviceKey, "GraphicsClocking", 170);
      WriteText(HKEY_LOCAL_MACHINE, c.deviceKey, "SSTH3_SWAPINTERVAL", "0");
      WriteText(HKEY_LOCAL_MACHINE, c.deviceKey, "Keep", "x");
      WriteText(HKEY_LOCAL_MACHINE, glide, "FX_GLIDE_SWAPINTERVAL", "0");
      WriteText(HKEY_LOCAL_MACHINE, d3d, "SSTH3_SWAPINTERVAL", "0");
    }
    Remove();
    EXPECT_TRUE(NothingInstalled());
    if (c.deviceKey) {
      EXPECT_FALSE(ValueExists(HKEY_LOCAL_MACHINE, c.deviceKey, "GraphicsClocking"));
      EXPECT_FALSE(ValueExists(HKEY_LOCAL_MACHINE, c.deviceKey, "SSTH3_SWAPINTERVAL"));
      EXPECT_TRUE(ValueExists(HKEY_LOCAL_MACHINE, c.deviceKey, "Keep"));
      EXPECT_FALSE(ValueExists(HKEY_LOCAL_MACHINE, glide, "FX_GLIDE_SWAPINTERVAL"));
      EXPECT_FALSE(ValueExists(HKEY_LOCAL_MACHINE, d3d, "SSTH3_SWAPINTERVAL"));
      EXPECT_FALSE(Driver9xCleared(0));  // NT: the 9x keys are not touched
    } else {
      EXPECT_TRUE(Driver9xCleared(0));
      EXPECT_TRUE(Driver9xCleared(2));
    }
  }
}

TEST_F(InstallerDialogs, LegacyKeyAloneOffersRemoval) {
  SetInstallerVersion("win95");
  SeedAdapter(0);
  SeedDriver9x(0);
  WriteText(HKEY_LOCAL_MACHINE, LegacyKey(), nullptr, kClsidText);
  Remove();
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, LegacyKey()));
  EXPECT_TRUE(Driver9xCleared(0));
  EXPECT_TRUE(NothingInstalled());
}

TEST_F(InstallerDialogs, MissingModule) {
  struct Case {
    const char* args;
    int langId;  // of the text
    const wchar_t* text;
  } cases[] = {
      {"FORCELANG(GERMAN)", 7,
       L"Installationsabbruch\n\nTACHPAGE.DLL NICHT GEFUNDEN : Die DLL Datei Tachpage.dll "
       L"muss im selben Verzeichnis sein wie die Tachinst.exe"},
      {"forcelang(french)", 12,
       L"Installation interrompue:\n\nLe fichier TACHPAGE.DLL est introuvable. Le fichier "
       L"Tachpage.dll doit \u00eatre dans le m\u00eame r\u00e9pertoire que le fichier "
       L"Tachinst.exe pour que l'installation puisse s'effectuer."},
      {"FORCELANG(SPANISH)", 9,
       L"Install Aborted\n\nTACHPAGE.DLL NOT FOUND: The Tachpage.dll must be in the same "
       L"directory as the Tachinst.exe file for installation to complete."},
  };
  auto run = [](const std::string& exe, const char* args, const wchar_t* text) {
    Installer inst;
    ASSERT_TRUE(inst.Start(exe, args));
    HWND box = inst.WaitMessageBox();
    ASSERT_TRUE(box);
    EXPECT_EQ(TextW(box), L"Tachymark");
    // The box may show the line breaks as \r\n.
    std::wstring plain;
    for (wchar_t ch : MessageText(box))
      if (ch != L'\r') plain += ch;
    EXPECT_EQ(plain, text);
    EXPECT_EQ(GetWindow(box, GW_OWNER), nullptr);  // the desktop
    DismissMessageBox(box);
    DWORD code = 1;
    ASSERT_TRUE(inst.WaitExit(15000, &code));
    EXPECT_EQ(code, 0u);
  };
  std::string alone = PrepareFolder(TempFolder("tachy_inst_alone"), false);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args);
    run(alone, c.args, c.text);
    EXPECT_TRUE(NothingInstalled());
  }
  // A directory named TACHPAGE.DLL is not the module: the same message, in
  // the system language, and nothing written.
  std::string withDir = PrepareFolder(TempFolder("tachy_inst_dir"), false);
  CreateDirectoryA((TempFolder("tachy_inst_dir") + "\\TACHPAGE.DLL").c_str(), nullptr);
  const Case* sys = &cases[2];
  for (const Case& c : cases)
    if (c.langId == SystemLang()) sys = &c;
  run(withDir, "", sys->text);
  EXPECT_TRUE(NothingInstalled());
}

TEST_F(InstallerDialogs, ForcedLanguageLeavesTheDialogsInTheSystemLanguage) {
  Installer inst;
  ASSERT_TRUE(inst.Start(exe_, SystemLang() == 7 ? "FORCELANG(FRENCH)" : "FORCELANG(GERMAN)"));
  HWND select = inst.WaitDialog(kVersion);
  ASSERT_TRUE(select);
  EXPECT_EQ(ItemW(select, kModelGroup), SystemTexts().selectModel);
  Click(select, kCancel);
  DWORD code;
  ASSERT_TRUE(inst.WaitExit(15000, &code));
}

TEST_F(InstallerDialogs, ModuleInADeepFolderIsFound) {
  // Deeper than the 128 characters OpenFile could take.
  std::string deep = TempFolder("tachy_inst_deep");
  while (deep.size() < 180) {
    deep += "\\a_rather_long_folder_name";
    CreateDirectoryA(deep.c_str(), nullptr);
  }
  std::string exe = PrepareFolder(deep, true);
  SetInstallerVersion("win2k");
  Installer inst;
  ASSERT_TRUE(inst.Start(exe));
  HWND select = inst.WaitDialog(kVersion);
  ASSERT_TRUE(select) << "module not found in " << deep;
  Click(select, k2000);
  Click(select, kOk);
  HWND installed = inst.WaitDialog(kInst1);
  ASSERT_TRUE(installed);
  Click(installed, kOk);
  DWORD code;
  ASSERT_TRUE(inst.WaitExit(15000, &code));
  ExpectClassKey(deep + "\\TACHPAGE.DLL");
}

TEST_F(InstallerDialogs, SecondInstanceExitsAtOnce) {
  Installer first;
  ASSERT_TRUE(first.Start(exe_));
  HWND select = first.WaitDialog(kVersion);
  ASSERT_TRUE(select);
  // The hidden main window that a second start finds.
  HWND main = FindWindowA("Tachy_class", "Tachymark");
  ASSERT_TRUE(main);
  EXPECT_FALSE(IsWindowVisible(main));
  EXPECT_EQ(GetWindow(select, GW_OWNER), main);

  Installer second;
  ASSERT_TRUE(second.Start(exe_, "FORCE98"));
  DWORD code = 1;
  ASSERT_TRUE(second.WaitExit(15000, &code));
  EXPECT_EQ(code, 0u);
  EXPECT_TRUE(first.Running());
  EXPECT_TRUE(IsWindowVisible(select));
  Click(select, kCancel);
  ASSERT_TRUE(first.WaitExit(15000, &code));
  EXPECT_TRUE(NothingInstalled());
}

TEST_F(InstallerDialogs, MainWindowAndFileExit) {
  Installer inst;
  ASSERT_TRUE(inst.Start(exe_));
  HWND select = inst.WaitDialog(kVersion);
  ASSERT_TRUE(select);
  HWND main = FindWindowA("Tachy_class", "Tachymark");
  ASSERT_TRUE(main);
  EXPECT_EQ(GetClassLongA(main, GCL_STYLE), static_cast<DWORD>(CS_HREDRAW | CS_VREDRAW));
  EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(main, GWL_STYLE)) & WS_OVERLAPPEDWINDOW,
            static_cast<DWORD>(WS_OVERLAPPEDWINDOW));
  RECT r = WindowRect(main);
  EXPECT_EQ(r.left, 200);
  EXPECT_EQ(r.top, 200);
  EXPECT_EQ(r.right - r.left, 275);
  EXPECT_EQ(r.bottom - r.top, 250);
  EXPECT_TRUE(GetMenu(main));  // the class menu (its items: resources test)
  // File, Exit closes the main window; its dialogs go with it and the run
  // ends without changes.
  PostMessageA(main, WM_COMMAND, 40001, 0);
  DWORD code = 1;
  ASSERT_TRUE(inst.WaitExit(15000, &code));
  EXPECT_EQ(code, 0u);
  EXPECT_TRUE(NothingInstalled());
}

TEST_F(InstallerDialogs, PositionsChain) {
  SetInstallerVersion("win98");
  int cx = GetSystemMetrics(SM_CXSCREEN);
  int cy = GetSystemMetrics(SM_CYSCREEN);
  auto centred = [cx, cy](HWND w) {
    RECT r = WindowRect(w);
    int width = r.right - r.left, height = r.bottom - r.top;
    return r.left == (cx - width) / 2 && r.top == (cy - height) / 2;
  };
  {
    Installer inst;
    ASSERT_TRUE(inst.Start(exe_));
    HWND select = inst.WaitDialog(kVersion);
    ASSERT_TRUE(select);
    EXPECT_TRUE(centred(select));
    // The user drags it; Installed opens where it was.
    RECT before = WindowRect(select);
    SetWindowPos(select, nullptr, 37, 51, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    Settle(select);
    Click(select, k2000);
    Click(select, kOk);
    HWND installed = inst.WaitDialog(kInst1);
    ASSERT_TRUE(installed);
    RECT r = WindowRect(installed);
    EXPECT_EQ(r.left, 37);
    EXPECT_EQ(r.top, 51);
    // With its own size (185 x 111 units, the model dialog is 187 wide).
    EXPECT_LT(r.right - r.left, before.right - before.left);
    Click(installed, kOk);
    DWORD code;
    ASSERT_TRUE(inst.WaitExit(15000, &code));
  }
  {
    Installer inst;
    ASSERT_TRUE(inst.Start(exe_));
    HWND rr = inst.WaitDialog(kRR1);
    ASSERT_TRUE(rr);
    EXPECT_TRUE(centred(rr));
    SetWindowPos(rr, nullptr, 300, 20, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    Settle(rr);
    Click(rr, kReinstall);
    HWND select = inst.WaitDialog(kVersion);
    ASSERT_TRUE(select);
    RECT r = WindowRect(select);
    EXPECT_EQ(r.left, 300);
    EXPECT_EQ(r.top, 20);
    SetWindowPos(select, nullptr, 10, 400, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    Settle(select);
    Click(select, k3000);
    Click(select, kOk);
    HWND installed = inst.WaitDialog(kInst1);
    ASSERT_TRUE(installed);
    r = WindowRect(installed);
    EXPECT_EQ(r.left, 10);
    EXPECT_EQ(r.top, 400);
    Click(installed, kOk);
    DWORD code;
    ASSERT_TRUE(inst.WaitExit(15000, &code));
  }
  {
    Installer inst;
    ASSERT_TRUE(inst.Start(exe_));
    HWND rr = inst.WaitDialog(kRR1);
    ASSERT_TRUE(rr);
    SetWindowPos(rr, nullptr, 123, 45, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    Settle(rr);
    Click(rr, kRemove);
    HWND removed = inst.WaitDialog(kRem1);
    ASSERT_TRUE(removed);
    RECT r = WindowRect(removed);
    EXPECT_EQ(r.left, 123);
    EXPECT_EQ(r.top, 45);
    Click(removed, kOk);
    DWORD code;
    ASSERT_TRUE(inst.WaitExit(15000, &code));
  }
}

// The hidden gesture: Ctrl, Shift and the left button held, right button
// over the dialog's label. The cursor is placed with SetCursorPos and the
// button message sent with the key flags.
void Gesture(HWND dialog, int label, WPARAM keys = MK_LBUTTON | MK_CONTROL | MK_SHIFT,
             bool inside = true) {
  RECT r = WindowRect(GetDlgItem(dialog, label));
  POINT p = {inside ? (r.left + r.right) / 2 : r.left - 5,
             inside ? (r.top + r.bottom) / 2 : r.top - 5};
  ASSERT_TRUE(gui::MoveCursorTo(p.x, p.y));
  POINT client = p;
  ScreenToClient(dialog, &client);
  SendMessageA(dialog, WM_RBUTTONDOWN, keys, MAKELPARAM(client.x, client.y));
}

TEST_F(InstallerDialogs, LanguageGestureCyclesAcrossDialogs) {
  SetInstallerVersion("win98");
  Installer inst;
  ASSERT_TRUE(inst.Start(exe_));
  HWND select = inst.WaitDialog(kVersion);
  ASSERT_TRUE(select);
  const LanguageTexts& sys = SystemTexts();
  ClickNow(select, k3000);
  ClickNow(select, kAdvanced);

  // Nothing happens without all three keys, or outside the label.
  Gesture(select, kVersion, MK_RBUTTON);
  Gesture(select, kVersion, MK_LBUTTON | MK_CONTROL);
  Gesture(select, kVersion, MK_LBUTTON | MK_CONTROL | MK_SHIFT, false);
  EXPECT_EQ(ItemW(select, kModelGroup), sys.selectModel);

  // First gesture: French, whatever the system language.
  Gesture(select, kVersion);
  EXPECT_EQ(ItemW(select, kModelGroup), CycleTexts(0).selectModel);
  EXPECT_EQ(ItemW(select, kVersion), CycleTexts(0).versionLine);
  EXPECT_EQ(ItemW(select, kAdvanced), CycleTexts(0).advancedPanel);
  EXPECT_EQ(ItemW(select, kCancel), CycleTexts(0).cancel);
  // Texts only: the choices stay.
  EXPECT_EQ(IsDlgButtonChecked(select, k3000), static_cast<UINT>(BST_CHECKED));
  EXPECT_EQ(IsDlgButtonChecked(select, kAdvanced), static_cast<UINT>(BST_CHECKED));
  EXPECT_TRUE(IsWindowEnabled(GetDlgItem(select, kAdvanced)));
  // The no-model message comes in the dialog's current language.
  Click(select, kNone);
  Click(select, kOk);
  HWND box = inst.WaitMessageBox();
  ASSERT_TRUE(box);
  EXPECT_EQ(TextW(box), CycleTexts(0).installError);
  EXPECT_EQ(MessageText(box), CycleTexts(0).noModel);
  DismissMessageBox(box);
  // Second gesture: German.
  Gesture(select, kVersion);
  EXPECT_EQ(ItemW(select, kModelGroup), CycleTexts(1).selectModel);
  Click(select, k2000);
  Click(select, kOk);

  // The next dialog opens in the system language; its gesture goes on with
  // the cycle: English.
  HWND installed = inst.WaitDialog(kInst1);
  ASSERT_TRUE(installed);
  EXPECT_EQ(ItemW(installed, kInst2), sys.installed2);
  Gesture(installed, kInst1);
  EXPECT_EQ(ItemW(installed, kInst2), CycleTexts(2).installed2);
  Gesture(installed, kInst1);
  EXPECT_EQ(ItemW(installed, kInst2), CycleTexts(3).installed2);
  Click(installed, kOk);
  DWORD code;
  ASSERT_TRUE(inst.WaitExit(15000, &code));

  // Reinstall or Remove and Removed answer on their first line.
  Installer again;
  ASSERT_TRUE(again.Start(exe_));
  HWND rr = again.WaitDialog(kRR1);
  ASSERT_TRUE(rr);
  Gesture(rr, kRR1);
  EXPECT_EQ(ItemW(rr, kRR2), CycleTexts(0).reinstall2);
  EXPECT_EQ(ItemW(rr, kRemove), CycleTexts(0).removeButton);
  Click(rr, kRemove);
  HWND removed = again.WaitDialog(kRem1);
  ASSERT_TRUE(removed);
  EXPECT_EQ(ItemW(removed, kRem2), sys.removed2);
  Gesture(removed, kRem1);
  EXPECT_EQ(ItemW(removed, kRem2), CycleTexts(1).removed2);
  Click(removed, kOk);
  ASSERT_TRUE(again.WaitExit(15000, &code));
}

// The same gesture made with synthetic input (SendInput): the keys and the
// left button really held, then a right click over the label.
TEST_F(InstallerDialogs, LanguageGestureWithSyntheticInput) {
  Installer inst;
  ASSERT_TRUE(inst.Start(exe_));
  HWND select = inst.WaitDialog(kVersion);
  ASSERT_TRUE(select);
  SetForegroundWindow(select);
  RECT r = WindowRect(GetDlgItem(select, kVersion));
  ASSERT_TRUE(gui::MoveCursorTo((r.left + r.right) / 2, (r.top + r.bottom) / 2));
  INPUT in[8] = {};
  WORD keys[] = {VK_CONTROL, VK_SHIFT};
  int n = 0;
  for (WORD k : keys) {
    in[n].type = INPUT_KEYBOARD;
    in[n++].ki.wVk = k;
  }
  DWORD mouse[] = {MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_RIGHTDOWN, MOUSEEVENTF_RIGHTUP,
                   MOUSEEVENTF_LEFTUP};
  for (DWORD m : mouse) {
    in[n].type = INPUT_MOUSE;
    in[n++].mi.dwFlags = m;
  }
  for (WORD k : keys) {
    in[n].type = INPUT_KEYBOARD;
    in[n].ki.wVk = k;
    in[n++].ki.dwFlags = KEYEVENTF_KEYUP;
  }
  ASSERT_EQ(SendInput(n, in, sizeof(INPUT)), static_cast<UINT>(n));
  DWORD start = GetTickCount();
  while (ItemW(select, kModelGroup) == SystemTexts().selectModel &&
         GetTickCount() - start < 3000)
    Sleep(50);
  EXPECT_EQ(ItemW(select, kModelGroup), CycleTexts(0).selectModel);
  Click(select, kCancel);
  DWORD code;
  ASSERT_TRUE(inst.WaitExit(15000, &code));
}

// Pictures of the four dialogs for the documentation, taken only when
// TACHY_SCREENSHOT_DIR names a folder: installer-<name>.bmp per dialog,
// copied from the screen.
bool SaveWindowBitmap(HWND w, const std::string& file) {
  RedrawWindow(w, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN |
                                        RDW_UPDATENOW);
  Sleep(300);
  RECT r = WindowRect(w);
  int width = r.right - r.left, height = r.bottom - r.top;
  HDC screen = GetDC(nullptr);
  HDC mem = CreateCompatibleDC(screen);
  BITMAPINFO bi = {};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = width;
  bi.bmiHeader.biHeight = height;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 24;
  void* bits = nullptr;
  HBITMAP dib = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(mem, dib);
  BitBlt(mem, 0, 0, width, height, screen, r.left, r.top, SRCCOPY);
  GdiFlush();
  DWORD stride = (width * 3 + 3) & ~3u;
  BITMAPFILEHEADER fh = {};
  fh.bfType = 0x4D42;
  fh.bfOffBits = sizeof fh + sizeof bi.bmiHeader;
  fh.bfSize = fh.bfOffBits + stride * height;
  bool ok = false;
  if (FILE* f = std::fopen(file.c_str(), "wb")) {
    ok = std::fwrite(&fh, sizeof fh, 1, f) == 1 &&
         std::fwrite(&bi.bmiHeader, sizeof bi.bmiHeader, 1, f) == 1 &&
         std::fwrite(bits, stride * height, 1, f) == 1;
    std::fclose(f);
  }
  SelectObject(mem, old);
  DeleteObject(dib);
  DeleteDC(mem);
  ReleaseDC(nullptr, screen);
  return ok;
}

TEST_F(InstallerDialogs, DocumentationScreenshots) {
  std::string dir = Env("TACHY_SCREENSHOT_DIR");
  if (dir.empty()) GTEST_SKIP() << "set TACHY_SCREENSHOT_DIR to take the pictures";
  SetInstallerVersion("win98");
  SeedAdapter(0);
  {
    Installer inst;
    ASSERT_TRUE(inst.Start(exe_));
    HWND select = inst.WaitDialog(kVersion);
    ASSERT_TRUE(select);
    ClickNow(select, k3000);
    EXPECT_TRUE(SaveWindowBitmap(select, dir + "\\installer-select-model.bmp"));
    Click(select, kOk);
    HWND installed = inst.WaitDialog(kInst1);
    ASSERT_TRUE(installed);
    EXPECT_TRUE(SaveWindowBitmap(installed, dir + "\\installer-installed.bmp"));
    Click(installed, kOk);
    DWORD code;
    ASSERT_TRUE(inst.WaitExit(15000, &code));
  }
  Installer inst;
  ASSERT_TRUE(inst.Start(exe_));
  HWND rr = inst.WaitDialog(kRR1);
  ASSERT_TRUE(rr);
  EXPECT_TRUE(SaveWindowBitmap(rr, dir + "\\installer-reinstall-remove.bmp"));
  Click(rr, kRemove);
  HWND removed = inst.WaitDialog(kRem1);
  ASSERT_TRUE(removed);
  EXPECT_TRUE(SaveWindowBitmap(removed, dir + "\\installer-removed.bmp"));
  Click(removed, kOk);
  DWORD code;
  ASSERT_TRUE(inst.WaitExit(15000, &code));
}

// --- The registry refuses: a key whose security lets nobody write.

// Sets the key's DACL from an SDDL text; false when Wine will not.
bool SetKeySecurity(HKEY root, const std::string& path, const char* sddl) {
  HKEY k;
  if (RegOpenKeyExA(root, path.c_str(), 0, WRITE_DAC | READ_CONTROL, &k) != ERROR_SUCCESS)
    return false;
  PSECURITY_DESCRIPTOR sd = nullptr;
  bool ok = ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl, SDDL_REVISION_1, &sd,
                                                                 nullptr) &&
            RegSetKeySecurity(k, DACL_SECURITY_INFORMATION, sd) == ERROR_SUCCESS;
  LocalFree(sd);
  RegCloseKey(k);
  return ok;
}

class InstallerRefused : public InstallerDialogs {
 protected:
  void TearDown() override {
    SetKeySecurity(HKEY_LOCAL_MACHINE, kProduct, "D:(A;;KA;;;WD)");
    InstallerDialogs::TearDown();
  }
  // What the installer's own open of the product key gets: detection
  // (KEY_READ) and RegCreateKeyExA with its write access.
  static LONG OpenForRead() {
    HKEY k;
    LONG r = RegOpenKeyExA(HKEY_LOCAL_MACHINE, kProduct, 0, KEY_READ, &k);
    if (r == ERROR_SUCCESS) RegCloseKey(k);
    return r;
  }
  static LONG OpenForWrite() {
    HKEY k;
    char cls[] = "Tachymark";
    LONG r = RegCreateKeyExA(HKEY_LOCAL_MACHINE, kProduct, 0, cls, REG_OPTION_NON_VOLATILE,
                             KEY_CREATE_SUB_KEY | KEY_SET_VALUE, nullptr, &k, nullptr);
    if (r == ERROR_SUCCESS) RegCloseKey(k);
    return r;
  }
};

TEST_F(InstallerRefused, InstallReportsTheFailure) {
  SetInstallerVersion("win2k");
  // A product key that everybody is denied reading and writing (a deny
  // entry for query, set, create, enumerate and notify; the owner can still
  // put the DACL back): not detected, and not writable. Tried first.
  WriteText(HKEY_LOCAL_MACHINE, kProduct, "Old", "x");
  ASSERT_TRUE(SetKeySecurity(HKEY_LOCAL_MACHINE, kProduct, "D:P(D;;0x1f;;;WD)(A;;KA;;;WD)"));
  ASSERT_EQ(OpenForRead(), ERROR_ACCESS_DENIED);
  ASSERT_EQ(OpenForWrite(), ERROR_ACCESS_DENIED);

  Installer inst;
  ASSERT_TRUE(inst.Start(exe_));
  HWND select = inst.WaitDialog(kVersion);
  ASSERT_TRUE(select) << "the unreadable key must count as absent";
  HWND main = FindWindowA("Tachy_class", "Tachymark");
  Click(select, k2000);
  Click(select, kOk);
  HWND box = inst.WaitMessageBox();
  ASSERT_TRUE(box);
  const LanguageTexts& t = SystemTexts();
  EXPECT_EQ(TextW(box), t.installError);
  EXPECT_TRUE(StartsWith(MessageText(box), t.installFailed)) << std::string(
      MessageText(box).begin(), MessageText(box).end());
  EXPECT_EQ(GetWindow(box, GW_OWNER), main);
  EXPECT_EQ(inst.WaitDialog(kInst1, 300), nullptr);  // no success dialog
  DismissMessageBox(box);
  DWORD code = 1;
  ASSERT_TRUE(inst.WaitExit(15000, &code));
  EXPECT_EQ(code, 0u);
  // The other steps ran; the refused key kept what it held.
  EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, DisplayKey()));
  ExpectClassKey();
  ASSERT_TRUE(SetKeySecurity(HKEY_LOCAL_MACHINE, kProduct, "D:(A;;KA;;;WD)"));
  EXPECT_EQ(ReadText(HKEY_LOCAL_MACHINE, kProduct, "Old"), "x");
  EXPECT_FALSE(ValueExists(HKEY_LOCAL_MACHINE, kProduct, "Model"));
}

TEST_F(InstallerRefused, RemovalStopsAndReportsTheFailure) {
  SetInstallerVersion("nt40");
  Install("", k3000);
  const char device[] = "SYSTEM\\CurrentControlSet\\Services\\Voodoo3\\Device0";
  WriteDword(HKEY_LOCAL_MACHINE, device, "GraphicsClocking", 170);
  // Readable, so detected, but it cannot be deleted: a deny entry for
  // DELETE; where Wine grants DELETE anyway, a subkey (NT's RegDeleteKey
  // refuses a key that has subkeys) makes the same refusal.
  ASSERT_TRUE(SetKeySecurity(HKEY_LOCAL_MACHINE, kProduct, "D:P(D;;SD;;;WD)(A;;KR;;;WD)"));
  HKEY k;
  LONG r = RegOpenKeyExA(HKEY_LOCAL_MACHINE, kProduct, 0, DELETE, &k);
  if (r == ERROR_SUCCESS) RegCloseKey(k);
  if (r != ERROR_ACCESS_DENIED) {
    std::printf("note: Wine grants DELETE despite the key's DACL; using a subkey\n");
    ASSERT_TRUE(SetKeySecurity(HKEY_LOCAL_MACHINE, kProduct, "D:(A;;KA;;;WD)"));
    WriteText(HKEY_LOCAL_MACHINE, std::string(kProduct) + "\\Pinned", "x", "y");
  }

  Installer inst;
  ASSERT_TRUE(inst.Start(exe_));
  HWND rr = inst.WaitDialog(kRR1);
  ASSERT_TRUE(rr);
  Click(rr, kRemove);
  HWND box = inst.WaitMessageBox();
  ASSERT_TRUE(box);
  const LanguageTexts& t = SystemTexts();
  EXPECT_EQ(TextW(box), t.installError);
  EXPECT_TRUE(StartsWith(MessageText(box), t.removeFailed));
  EXPECT_EQ(inst.WaitDialog(kRem1, 300), nullptr);
  DismissMessageBox(box);
  DWORD code = 1;
  ASSERT_TRUE(inst.WaitExit(15000, &code));
  // Removal stopped at the product key: the later keys and the driver
  // values stay.
  EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kProduct));
  EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, DisplayKey()));
  EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, ClassKey()));
  EXPECT_TRUE(ValueExists(HKEY_LOCAL_MACHINE, device, "GraphicsClocking"));
}

}  // namespace
}  // namespace insttest
}  // namespace tachy
