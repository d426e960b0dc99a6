// The refresh-rate dialog as a user meets it: the real dialog on template
// 502 (the module's resources are built into this program), the real
// registry of the Wine prefix, driven from a second thread the way the
// mouse and keyboard would (list selections and button notifications), and
// read back through the controls and the registry.
//
// Language runs: with TACHY_EXPECT_LANGID=12 (French) or 7 (German) in the
// environment and LC_ALL set accordingly, the RefreshDialogLanguage tests
// check the texts and the layout of that language. Without it they check
// English.
//
// TACHY_SCREENSHOT=<file.bmp> saves a picture of the seeded dialog.
#include <windows.h>
#include "gui.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "refresh/refresh_dialog_win.h"
#include "refresh/refresh_layout.h"
#include "refresh/refresh_store.h"

namespace tachy {
namespace {

const char kClassPath[] = "System\\CurrentControlSet\\Services\\Class\\Display";
const char kProductPath[] = "Software\\Tachymark";

// ---- Registry helpers (advapi32 directly, independent of the code tested).

void DeleteTree(HKEY root, const std::string& path) {
  HKEY key;
  if (RegOpenKeyExA(root, path.c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return;
  std::vector<std::string> children;
  char name[256];
  for (DWORD i = 0;; ++i) {
    DWORD size = sizeof name;
    if (RegEnumKeyExA(key, i, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
      break;
    children.push_back(name);
  }
  RegCloseKey(key);
  for (const std::string& child : children) DeleteTree(root, path + "\\" + child);
  RegDeleteKeyA(root, path.c_str());
}

void Put(const std::string& path, const char* name, const std::string& text) {
  HKEY key;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                            nullptr, &key, nullptr),
            ERROR_SUCCESS)
      << path;
  ASSERT_EQ(RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                           static_cast<DWORD>(text.size() + 1)),
            ERROR_SUCCESS);
  RegCloseKey(key);
}

void AddKey(const std::string& path) {
  HKEY key;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                            nullptr, &key, nullptr),
            ERROR_SUCCESS);
  RegCloseKey(key);
}

bool KeyExists(const std::string& path) {
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
    return false;
  RegCloseKey(key);
  return true;
}

// The value's text, or nullopt when the key or value is absent.
std::optional<std::string> Get(const std::string& path, const char* name) {
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
    return std::nullopt;
  char data[512] = {};
  DWORD size = sizeof data - 1;
  LONG result = RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(data), &size);
  RegCloseKey(key);
  if (result != ERROR_SUCCESS) return std::nullopt;
  return std::string(data);
}

// Every value below a key, "path|name=text", for comparing whole states.
void Snapshot(const std::string& path, std::map<std::string, std::string>* out) {
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return;
  (*out)[path] = "<key>";
  char name[256];
  BYTE data[512];
  for (DWORD i = 0;; ++i) {
    DWORD nameSize = sizeof name, dataSize = sizeof data;
    if (RegEnumValueA(key, i, name, &nameSize, nullptr, nullptr, data, &dataSize) != ERROR_SUCCESS)
      break;
    (*out)[path + "|" + name] = std::string(reinterpret_cast<char*>(data), dataSize);
  }
  std::vector<std::string> children;
  for (DWORD i = 0;; ++i) {
    DWORD size = sizeof name;
    if (RegEnumKeyExA(key, i, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
      break;
    children.push_back(name);
  }
  RegCloseKey(key);
  for (const std::string& child : children) Snapshot(path + "\\" + child, out);
}

std::map<std::string, std::string> State() {
  std::map<std::string, std::string> state;
  Snapshot(kClassPath, &state);
  Snapshot(kProductPath, &state);
  return state;
}

std::string Instance(const char* n) { return std::string(kClassPath) + "\\" + n; }
std::string Mode(const char* n, int depth, const char* mode) {
  return Instance(n) + "\\MODES\\" + std::to_string(depth) + "\\" + mode;
}

// ---- Dialog helpers, called from the driver thread.

std::vector<std::string> Entries(HWND dialog, int listId) {
  HWND list = GetDlgItem(dialog, listId);
  std::vector<std::string> out;
  LRESULT count = SendMessageA(list, CB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < count; ++i) {
    char text[512] = {};
    if (SendMessageA(list, CB_GETLBTEXTLEN, i, 0) < static_cast<LRESULT>(sizeof text))
      SendMessageA(list, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
    out.push_back(text);
  }
  return out;
}

// The selected entry's text, or "<none>".
std::string Selected(HWND dialog, int listId) {
  HWND list = GetDlgItem(dialog, listId);
  LRESULT index = SendMessageA(list, CB_GETCURSEL, 0, 0);
  if (index == CB_ERR) return "<none>";
  char text[512] = {};
  SendMessageA(list, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(text));
  return text;
}

// As a user picking an entry with the mouse: selection, then notification.
void Choose(HWND dialog, int listId, const std::string& entry) {
  HWND list = GetDlgItem(dialog, listId);
  LRESULT index = SendMessageA(list, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                               reinterpret_cast<LPARAM>(entry.c_str()));
  ASSERT_NE(index, CB_ERR) << entry;
  SendMessageA(list, CB_SETCURSEL, index, 0);
  SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(listId, CBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
}

void Click(HWND dialog, int id) {
  SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

// Waits until the modal loop has destroyed the dialog.
bool WaitClosed(HWND dialog) {
  for (int i = 0; i < 100 && IsWindow(dialog); ++i) Sleep(50);
  return !IsWindow(dialog);
}

bool Checked(HWND dialog, int id) {
  return SendMessageA(GetDlgItem(dialog, id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}
bool Enabled(HWND dialog, int id) { return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE; }

std::string Text(HWND window) {
  char text[512] = {};
  GetWindowTextA(window, text, sizeof text);
  return text;
}
std::string Text(HWND dialog, int id) { return Text(GetDlgItem(dialog, id)); }

// The four depth buttons' marks as "8 16 24 32" flags, e.g. "0100".
std::string DepthMarks(HWND dialog) {
  std::string marks;
  for (int id : {1028, 1029, 1030, 1031}) marks += Checked(dialog, id) ? '1' : '0';
  return marks;
}

int ListId(int row) { return kModeRowSpecs[row].listId; }
int LabelId(int row) { return kModeRowSpecs[row].labelId; }

struct FoundDialog {
  DWORD thread;
  HWND dialog;
};

BOOL CALLBACK FindDialogWindow(HWND window, LPARAM param) {
  auto* found = reinterpret_cast<FoundDialog*>(param);
  char cls[32] = {};
  GetClassNameA(window, cls, sizeof cls);
  if (std::strcmp(cls, "#32770") == 0 && GetDlgItem(window, 1035) && IsWindowVisible(window)) {
    found->dialog = window;
    return FALSE;
  }
  return TRUE;
}

// Runs the dialog on this thread, as the page's button does, while `script`
// drives it from another. The script ends the dialog (OK or Cancel); if it
// does not (a failed ASSERT), the dialog is cancelled afterwards.
void RunDialog(const std::function<void(HWND)>& script) {
  const DWORD uiThread = GetCurrentThreadId();
  std::atomic<bool> found{false};
  std::thread driver([&] {
    FoundDialog search{uiThread, nullptr};
    for (int i = 0; i < 200 && !search.dialog; ++i) {
      EnumThreadWindows(uiThread, FindDialogWindow, reinterpret_cast<LPARAM>(&search));
      if (!search.dialog) Sleep(50);
    }
    if (!search.dialog) return;
    found = true;
    script(search.dialog);
    // Whatever the script left open (a failed ASSERT, a second dialog) is
    // cancelled, so that a fault fails the test instead of hanging it.
    for (int i = 0; i < 100; ++i) {
      FoundDialog left{uiThread, nullptr};
      EnumThreadWindows(uiThread, FindDialogWindow, reinterpret_cast<LPARAM>(&left));
      if (!left.dialog) break;
      PostMessageA(left.dialog, WM_COMMAND, IDCANCEL, 0);
      Sleep(50);
    }
  });
  RunRefreshRateDialog();
  driver.join();
  EXPECT_TRUE(found) << "the dialog did not open";
}

// ---- Seeding.

class RefreshDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Clean();
    // Instances 0000 and 0002 are Voodoo3 boards, 0001 another board; the
    // dialog reads 0002, the last one found, and writes both.
    Put(Instance("0000"), "DriverDesc", "3dfx Voodoo3 3000 AGP");
    Put(Instance("0001"), "DriverDesc", "S3 Trio64V+");
    Put(Instance("0002"), "DriverDesc", "3dfx Voodoo3 2000 PCI");
    AddKey(Instance("0000") + "\\DEFAULT");
    AddKey(Instance("0002") + "\\DEFAULT");
    Put(kProductPath, "ColorDepth", "8");
    Put(kProductPath, "LinkAllColorDepths", "0");
    // 0002, 8 bit: the rows the tests look at.
    SeedMode("0002", 8, "640,480", "60,72,75", "72");
    SeedMode("0002", 8, "800,600", "60,75,", nullptr);       // trailing comma
    SeedMode("0002", 8, "960,720", "", "-1");                // empty rate list
    SeedMode("0002", 8, "1024,768", "60,70,72,85", "7");     // first entry with 7
    SeedMode("0002", 8, "1152,864", "60,75", "100");         // matches no entry
    SeedMode("0002", 8, "1280,960", "60,75", "200");         // matches none, out of range
    SeedMode("0002", 8, "1280,1024", "60,75", "0");
    // 0002, 16 bit: fewer modes.
    SeedMode("0002", 16, "640,480", "60,72,75", "75");
    SeedMode("0002", 16, "800,600", "60,85", "85");          // no 8-bit entry begins with 85
    SeedMode("0002", 16, "1024,768", "60,70,72,85", "-1");
    // 0000 lacks 1024x768 at 8 bit and everything at 16 bit but 640x480.
    for (const char* mode : {"640,480", "800,600", "960,720", "1152,864", "1280,960", "1280,1024"})
      SeedMode("0000", 8, mode, "60", nullptr);
    SeedMode("0000", 16, "640,480", "60", nullptr);
    for (int depth : {24, 32}) {
      SeedMode("0000", depth, "640,480", "60", nullptr);
      SeedMode("0002", depth, "640,480", "60", nullptr);
    }
  }
  void TearDown() override { Clean(); }

  static void Clean() {
    for (int n = 0; n < 16; ++n) {
      char name[8];
      wsprintfA(name, "%4.4i", n);
      DeleteTree(HKEY_LOCAL_MACHINE, Instance(name));
    }
    DeleteTree(HKEY_LOCAL_MACHINE, kProductPath);
  }
  static void SeedMode(const char* instance, int depth, const char* mode, const char* rates,
                       const char* refresh) {
    Put(Mode(instance, depth, mode), "", rates);
    if (refresh) Put(Mode(instance, depth, mode), "RefreshRate", refresh);
  }
};

const std::vector<std::string> kWords = {"Adapter", "Default", "Optimal"};
std::vector<std::string> WithWords(std::vector<std::string> rates) {
  std::vector<std::string> all = kWords;
  all.insert(all.end(), rates.begin(), rates.end());
  return all;
}

void SaveBitmap(HWND window, const char* path) {
  RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  Sleep(500);
  RECT rect;
  GetWindowRect(window, &rect);
  const int width = rect.right - rect.left, height = rect.bottom - rect.top;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
  GdiFlush();
  const DWORD stride = ((width * 3 + 3) / 4) * 4;
  BITMAPFILEHEADER file = {};
  file.bfType = 0x4D42;
  file.bfOffBits = sizeof file + sizeof info.bmiHeader;
  file.bfSize = file.bfOffBits + stride * height;
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(&file), sizeof file);
  out.write(reinterpret_cast<const char*>(&info.bmiHeader), sizeof info.bmiHeader);
  out.write(static_cast<const char*>(bits), stride * height);
  SelectObject(memory, old);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
}

// ---- Tests.

TEST_F(RefreshDialogTest, OpensWithTheSelectedAdaptersStoredChoices) {
  RunDialog([](HWND d) {
    EXPECT_EQ(Text(d), "Refresh Rates");
    // 60,72,75 with a stored 72.
    EXPECT_EQ(Entries(d, 1024), WithWords({"60", "72", "75"}));
    EXPECT_EQ(Selected(d, 1024), "72");
    // A trailing comma adds one empty entry; no RefreshRate shows Adapter.
    EXPECT_EQ(Entries(d, 1025), WithWords({"60", "75", ""}));
    EXPECT_EQ(Selected(d, 1025), "Adapter");
    // An empty rate list: the three words and one empty entry.
    EXPECT_EQ(Entries(d, 1019), WithWords({""}));
    EXPECT_EQ(Selected(d, 1019), "Optimal");
    // A stored 7 selects the first entry beginning with 7.
    EXPECT_EQ(Selected(d, 1020), "70");
    // Stored rates no entry begins with: no selection, empty edit field.
    EXPECT_EQ(Selected(d, 1021), "<none>");
    EXPECT_EQ(Text(d, 1021), "");
    EXPECT_EQ(Selected(d, 1022), "<none>");
    EXPECT_EQ(Selected(d, 1023), "Default");
    EXPECT_EQ(Text(d, 1023), "Default");
    // Rows without a mode key: disabled, the words and one empty entry.
    for (int row = 0; row < kModeRowCount; ++row) {
      bool present = row <= 6;
      EXPECT_EQ(Enabled(d, ListId(row)), present) << row;
      EXPECT_EQ(Enabled(d, LabelId(row)), present) << row;
      if (!present) {
        EXPECT_EQ(Entries(d, ListId(row)), WithWords({""})) << row;
        EXPECT_EQ(Selected(d, ListId(row)), "Adapter") << row;
      }
    }
    EXPECT_EQ(DepthMarks(d), "1000");
    for (int id : {1028, 1029, 1030, 1031}) EXPECT_TRUE(Enabled(d, id));
    EXPECT_FALSE(Checked(d, 1032));
    EXPECT_TRUE(Checked(d, 1050));
    EXPECT_FALSE(Checked(d, 1051));
    // Texts come from the string table, not the template.
    EXPECT_EQ(Text(d, 1050), "Default refresh rate");
    EXPECT_EQ(Text(d, 1051), "Optimal refresh rate");
    EXPECT_EQ(Text(d, 1032), "&Link all color depths");
    // The focus starts on the OK button, the template's first control.
    GUITHREADINFO gui = {};
    gui.cbSize = sizeof gui;
    ASSERT_TRUE(GetGUIThreadInfo(GetWindowThreadProcessId(d, nullptr), &gui));
    EXPECT_EQ(GetDlgCtrlID(gui.hwndFocus), IDOK);
    if (const char* shot = std::getenv("TACHY_SCREENSHOT")) {
      SendMessageA(GetDlgItem(d, 1024), CB_SHOWDROPDOWN, TRUE, 0);
      Sleep(500);
      SaveBitmap(d, shot);
      SendMessageA(GetDlgItem(d, 1024), CB_SHOWDROPDOWN, FALSE, 0);
    }
    Click(d, IDOK);
    EXPECT_FALSE(IsWindowVisible(d));  // ended; destroyed when the loop returns
  });
  // OK wrote every row of both adapters at 8 bit, where the key exists.
  struct Expect {
    const char* mode;
    std::optional<std::string> value;
  } rows[] = {{"640,480", "72"},   {"800,600", std::nullopt}, {"960,720", "-1"},
              {"1024,768", "70"},  {"1152,864", "100"},       {"1280,960", "60"},
              {"1280,1024", "0"}};
  for (const Expect& e : rows) {
    EXPECT_EQ(Get(Mode("0002", 8, e.mode), "RefreshRate"), e.value) << e.mode;
    if (std::string(e.mode) != "1024,768") {
      EXPECT_EQ(Get(Mode("0000", 8, e.mode), "RefreshRate"), e.value) << e.mode;
    }
  }
  // The mode 0000 lacks is not created; other adapters are left alone.
  EXPECT_FALSE(KeyExists(Mode("0000", 8, "1024,768")));
  EXPECT_FALSE(KeyExists(Mode("0000", 8, "1600,1200")));
  EXPECT_FALSE(KeyExists(Instance("0001") + "\\DEFAULT"));
  EXPECT_EQ(Get(Instance("0000") + "\\DEFAULT", "RefreshRate"), "0");
  EXPECT_EQ(Get(Instance("0002") + "\\DEFAULT", "RefreshRate"), "0");
  EXPECT_EQ(Get(kProductPath, "ColorDepth"), "8");
  EXPECT_EQ(Get(kProductPath, "LinkAllColorDepths"), "0");
  // 16 bit untouched.
  EXPECT_EQ(Get(Mode("0002", 16, "640,480"), "RefreshRate"), "75");
}

TEST_F(RefreshDialogTest, ChangingTheDepthKeepsTheEightBitEntries) {
  RunDialog([](HWND d) {
    Choose(d, 1025, "75");  // unsaved 8-bit choice for 800x600
    Click(d, 1029);
    EXPECT_EQ(DepthMarks(d), "0100");
    EXPECT_EQ(Entries(d, 1024), WithWords({"60", "72", "75"}));
    EXPECT_EQ(Selected(d, 1024), "75");
    // No 8-bit entry begins with 85: the 8-bit selection stays.
    EXPECT_EQ(Entries(d, 1025), WithWords({"60", "75", ""}));
    EXPECT_EQ(Selected(d, 1025), "75");
    EXPECT_EQ(Selected(d, 1020), "Optimal");
    // 960x720 has no 16-bit key.
    EXPECT_FALSE(Enabled(d, 1019));
    EXPECT_FALSE(Enabled(d, 1037));
    EXPECT_TRUE(Enabled(d, 1020));
    Click(d, 1033);  // Save: the dialog stays open
    EXPECT_TRUE(IsWindow(d));
    EXPECT_EQ(Get(Mode("0002", 16, "800,600"), "RefreshRate"), "75");
    EXPECT_EQ(Get(kProductPath, "ColorDepth"), "16");
    // Back to 8 bit: the lists are refilled, the stored choices shown.
    Click(d, 1028);
    EXPECT_EQ(DepthMarks(d), "1000");
    EXPECT_EQ(Selected(d, 1025), "Adapter");
    EXPECT_EQ(Selected(d, 1021), "<none>");
    Click(d, IDCANCEL);
  });
  EXPECT_EQ(Get(Mode("0002", 16, "640,480"), "RefreshRate"), "75");
  EXPECT_EQ(Get(Mode("0002", 16, "1024,768"), "RefreshRate"), "-1");
  EXPECT_EQ(Get(Mode("0000", 16, "640,480"), "RefreshRate"), "75");
  EXPECT_FALSE(KeyExists(Mode("0000", 16, "800,600")));
  // The 8-bit values were not written by the 16-bit save.
  EXPECT_EQ(Get(Mode("0002", 8, "640,480"), "RefreshRate"), "72");
  EXPECT_EQ(Get(Mode("0002", 8, "1280,960"), "RefreshRate"), "200");
}

TEST_F(RefreshDialogTest, StoredSixteenBitDepthOpensOnSixteenBit) {
  Put(kProductPath, "ColorDepth", "16");
  RunDialog([](HWND d) {
    EXPECT_EQ(DepthMarks(d), "0100");
    EXPECT_EQ(Entries(d, 1024), WithWords({"60", "72", "75"}));
    EXPECT_EQ(Selected(d, 1024), "75");
    EXPECT_EQ(Selected(d, 1020), "Optimal");
    Click(d, IDCANCEL);
  });
}

TEST_F(RefreshDialogTest, LinkingAllDepthsEnablesEveryRowAndWritesFourDepths) {
  RunDialog([](HWND d) {
    Click(d, 1032);
    EXPECT_TRUE(Checked(d, 1032));
    for (int row = 0; row < kModeRowCount; ++row) {
      EXPECT_TRUE(Enabled(d, ListId(row))) << row;
      EXPECT_TRUE(Enabled(d, LabelId(row))) << row;
    }
    EXPECT_EQ(DepthMarks(d), "0000");
    for (int id : {1028, 1029, 1030, 1031}) EXPECT_FALSE(Enabled(d, id));
    // The selections shown stay as they are.
    EXPECT_EQ(Selected(d, 1024), "72");
    Choose(d, 1024, "60");
    Choose(d, 1017, "Optimal");  // 2046x1536 exists nowhere
    Click(d, 1033);
    for (const char* inst : {"0000", "0002"})
      for (int depth : {8, 16, 24, 32})
        EXPECT_EQ(Get(Mode(inst, depth, "640,480"), "RefreshRate"), "60") << inst << " " << depth;
    EXPECT_FALSE(KeyExists(Mode("0002", 8, "2046,1536")));
    EXPECT_EQ(Get(kProductPath, "LinkAllColorDepths"), "1");
    // Off again: the stored choices of the current depth, rows by key.
    Choose(d, 1025, "60");
    Click(d, 1032);
    EXPECT_FALSE(Checked(d, 1032));
    EXPECT_EQ(DepthMarks(d), "1000");
    for (int id : {1028, 1029, 1030, 1031}) EXPECT_TRUE(Enabled(d, id));
    EXPECT_EQ(Selected(d, 1024), "60");
    EXPECT_EQ(Selected(d, 1025), "Adapter");
    EXPECT_FALSE(Enabled(d, 1017));
    EXPECT_TRUE(Enabled(d, 1024));
    Click(d, IDCANCEL);
  });
  // Linked 16-bit save: the 16-bit 800x600 got the 8-bit row's choice.
  EXPECT_FALSE(Get(Mode("0002", 16, "800,600"), "RefreshRate").has_value());
}

TEST_F(RefreshDialogTest, DefaultThenCancelWritesNothingAndSaveSurvivesCancel) {
  Put(Instance("0002") + "\\DEFAULT", "RefreshRate", "-1");
  const auto before = State();
  RunDialog([](HWND d) {
    EXPECT_TRUE(Checked(d, 1051));
    Click(d, 1034);
    for (int row = 0; row < kModeRowCount; ++row)
      EXPECT_EQ(Selected(d, ListId(row)), "Adapter") << row;
    EXPECT_TRUE(Checked(d, 1050));
    EXPECT_FALSE(Checked(d, 1051));
    EXPECT_EQ(DepthMarks(d), "1000");
    // The close box cancels too.
    PostMessageA(d, WM_CLOSE, 0, 0);
    EXPECT_TRUE(WaitClosed(d));
  });
  EXPECT_EQ(State(), before);
  RunDialog([](HWND d) {
    Click(d, 1034);
    Click(d, IDCANCEL);
  });
  EXPECT_EQ(State(), before);

  RunDialog([](HWND d) {
    Click(d, 1034);
    Click(d, 1033);
    Click(d, IDCANCEL);
  });
  for (const char* mode : {"640,480", "960,720", "1152,864"})
    EXPECT_FALSE(Get(Mode("0002", 8, mode), "RefreshRate").has_value()) << mode;
  EXPECT_EQ(Get(Instance("0002") + "\\DEFAULT", "RefreshRate"), "0");
}

TEST_F(RefreshDialogTest, AdapterSettingButtons) {
  Put(Instance("0000") + "\\DEFAULT", "RefreshRate", "-1");  // not the one read
  RunDialog([](HWND d) {
    EXPECT_TRUE(Checked(d, 1050));
    Click(d, 1051);
    EXPECT_FALSE(Checked(d, 1050));
    EXPECT_TRUE(Checked(d, 1051));
    // Enter on the focused OK button works as OK.
    GUITHREADINFO gui = {};
    gui.cbSize = sizeof gui;
    ASSERT_TRUE(GetGUIThreadInfo(GetWindowThreadProcessId(d, nullptr), &gui));
    PostMessageA(gui.hwndFocus, WM_KEYDOWN, VK_RETURN, 0);
    PostMessageA(gui.hwndFocus, WM_KEYUP, VK_RETURN, 0);
    EXPECT_TRUE(WaitClosed(d));
  });
  EXPECT_EQ(Get(Instance("0000") + "\\DEFAULT", "RefreshRate"), "-1");
  EXPECT_EQ(Get(Instance("0002") + "\\DEFAULT", "RefreshRate"), "-1");
  RunDialog([](HWND d) {
    EXPECT_TRUE(Checked(d, 1051));
    Click(d, 1050);
    EXPECT_TRUE(Checked(d, 1050));
    EXPECT_FALSE(Checked(d, 1051));
    Click(d, IDOK);
  });
  EXPECT_EQ(Get(Instance("0000") + "\\DEFAULT", "RefreshRate"), "0");
  EXPECT_EQ(Get(Instance("0002") + "\\DEFAULT", "RefreshRate"), "0");
}

TEST_F(RefreshDialogTest, WithoutProductKeyOnlyTheDisplayClassIsWritten) {
  DeleteTree(HKEY_LOCAL_MACHINE, kProductPath);
  RunDialog([](HWND d) {
    EXPECT_EQ(DepthMarks(d), "1000");
    EXPECT_FALSE(Checked(d, 1032));
    Choose(d, 1024, "75");
    Click(d, IDOK);
  });
  EXPECT_FALSE(KeyExists(kProductPath));
  EXPECT_EQ(Get(Mode("0002", 8, "640,480"), "RefreshRate"), "75");
}

TEST_F(RefreshDialogTest, ColorDepthFifteenChecksNoButtonAndWritesNoMode) {
  Put(kProductPath, "ColorDepth", "15");
  const auto before = State();
  RunDialog([](HWND d) {
    EXPECT_EQ(DepthMarks(d), "0000");
    for (int id : {1028, 1029, 1030, 1031}) EXPECT_TRUE(Enabled(d, id));
    // Lists from the 8-bit keys, rows disabled: no 15-bit key exists.
    EXPECT_EQ(Entries(d, 1024), WithWords({"60", "72", "75"}));
    for (int row = 0; row < kModeRowCount; ++row) EXPECT_FALSE(Enabled(d, ListId(row))) << row;
    Click(d, IDOK);
  });
  auto after = State();
  // Only the adapter setting was written ("0" into the empty DEFAULT keys).
  after.erase(Instance("0000") + "\\DEFAULT|RefreshRate");
  after.erase(Instance("0002") + "\\DEFAULT|RefreshRate");
  EXPECT_EQ(after, before);
  EXPECT_EQ(Get(kProductPath, "ColorDepth"), "15");
}

TEST_F(RefreshDialogTest, WithoutAnyAdapterOnlyThePreferencesAreWritten) {
  Put(Instance("0000"), "DriverDesc", "VOODOO3 in capitals does not count");
  Put(Instance("0002"), "DriverDesc", "Rage 128");
  Put(kProductPath, "LinkAllColorDepths", "0");
  auto before = State();
  RunDialog([](HWND d) {
    for (int row = 0; row < kModeRowCount; ++row) {
      EXPECT_EQ(Entries(d, ListId(row)), WithWords({""})) << row;
      EXPECT_EQ(Selected(d, ListId(row)), "Adapter") << row;
      EXPECT_FALSE(Enabled(d, ListId(row))) << row;
      EXPECT_FALSE(Enabled(d, LabelId(row))) << row;
    }
    EXPECT_TRUE(Checked(d, 1050));
    Click(d, 1029);
    Click(d, IDOK);
  });
  auto after = State();
  EXPECT_EQ(after[std::string(kProductPath) + "|ColorDepth"], std::string("16", 3));
  after[std::string(kProductPath) + "|ColorDepth"] = before[std::string(kProductPath) + "|ColorDepth"];
  EXPECT_EQ(after, before);
}

// The page's button stays usable while the dialog runs (it has no owner):
// pressed again, it must not start a second dialog on the same mode table.
LRESULT CALLBACK OpenerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_APP) {
    RunRefreshRateDialog();
    return 1;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

BOOL CALLBACK CountDialogWindow(HWND window, LPARAM param) {
  char cls[32] = {};
  GetClassNameA(window, cls, sizeof cls);
  if (std::strcmp(cls, "#32770") == 0 && GetDlgItem(window, 1035) && IsWindowVisible(window))
    ++*reinterpret_cast<int*>(param);
  return TRUE;
}

int CountDialogs(DWORD thread) {
  int count = 0;
  EnumThreadWindows(thread, CountDialogWindow, reinterpret_cast<LPARAM>(&count));
  return count;
}

TEST_F(RefreshDialogTest, ASecondOpeningWhileOpenBringsTheFirstToTheFront) {
  WNDCLASSA cls = {};
  cls.lpfnWndProc = OpenerProc;
  cls.hInstance = GetModuleHandleA(nullptr);
  cls.lpszClassName = "RefreshDialogOpener";
  RegisterClassA(&cls);
  HWND opener = CreateWindowA("RefreshDialogOpener", "", 0, 0, 0, 0, 0, nullptr, nullptr,
                              GetModuleHandleA(nullptr), nullptr);
  ASSERT_NE(opener, nullptr);
  RunDialog([opener](HWND d) {
    DWORD_PTR result = 0;
    // With a second dialog the call would not return until it closed.
    EXPECT_NE(SendMessageTimeoutA(opener, WM_APP, 0, 0, SMTO_NORMAL, 5000, &result), 0);
    EXPECT_EQ(CountDialogs(GetWindowThreadProcessId(d, nullptr)), 1);
    Choose(d, 1024, "60");
    Click(d, IDOK);
  });
  // Not stuck: a later opening works again.
  RunDialog([](HWND d) {
    EXPECT_EQ(Selected(d, 1024), "60");
    Click(d, IDCANCEL);
  });
  DestroyWindow(opener);
}

// ---- Language: texts, layout and the gesture.

uint16_t ExpectedLanguage() {
  const char* env = std::getenv("TACHY_EXPECT_LANGID");
  return static_cast<uint16_t>(env ? std::atoi(env) : 9);
}

struct LanguageTexts {
  uint16_t language;
  const char* caption;
  const char* words[3];
  const char* link;
  const char* save;
  const char* cancel;
};

const LanguageTexts kTexts[] = {
    {9, "Refresh Rates", {"Adapter", "Default", "Optimal"}, "&Link all color depths", "&Save", "Cancel"},
    {12, "Fr\xe9quences de rafra\xee" "chissement", {"Adaptateur", "Par d\xe9" "faut", "Optimale"},
     "&Verrouiller les couleurs", "&Sauver", "Annuler"},
    {7, "Wiederholraten", {"Adapter", "Standard", "Optimal"}, "&Alle Farbtiefen zusammen",
     "&Sichern", "Abbruch"},
};

const LanguageTexts& TextsFor(uint16_t language) {
  for (const LanguageTexts& t : kTexts)
    if (t.language == language) return t;
  return kTexts[0];  // every other language shows the English texts
}

// Texts and the positions of the 31 moved controls for `language`; `layout`
// is the language whose table applies (9 English, anything else other).
void ExpectLanguage(HWND d, uint16_t texts, uint16_t layout, const char* where) {
  SCOPED_TRACE(where);
  const LanguageTexts& t = TextsFor(texts);
  EXPECT_EQ(Text(d), t.caption);
  EXPECT_EQ(Text(d, 1059), t.caption);
  EXPECT_EQ(Text(d, 1032), t.link);
  EXPECT_EQ(Text(d, 1033), t.save);
  EXPECT_EQ(Text(d, 2), t.cancel);
  for (int row : {0, 7, 14}) {
    std::vector<std::string> entries = Entries(d, ListId(row));
    ASSERT_GE(entries.size(), 3u);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(entries[i], t.words[i]) << row;
  }
  EXPECT_EQ(Text(d, 1035), "640x480");  // labels keep their template texts
  const ControlLayoutRow* table = RefreshLayoutFor(layout);
  for (int i = 0; i < kRefreshLayoutRows; ++i) {
    RECT expected;
    SetRect(&expected, table[i].x, table[i].y, table[i].x + table[i].width,
            table[i].y + table[i].height);
    MapDialogRect(d, &expected);
    RECT actual;
    GetWindowRect(GetDlgItem(d, table[i].id), &actual);
    MapWindowPoints(nullptr, d, reinterpret_cast<POINT*>(&actual), 2);
    EXPECT_EQ(actual.left, expected.left) << table[i].id;
    EXPECT_EQ(actual.top, expected.top) << table[i].id;
    EXPECT_EQ(actual.right, expected.right) << table[i].id;
    // A combo box keeps its own closed height; the others take the table's.
    if (i % 2 == 0 || i == kRefreshLayoutRows - 1) {
      EXPECT_EQ(actual.bottom, expected.bottom) << table[i].id;
    }
  }
}

// The gesture: the right button pressed over label 1035 while the left
// button, Control and Shift are held.
void Gesture(HWND d, WPARAM flags, bool overLabel) {
  RECT label;
  GetWindowRect(GetDlgItem(d, 1035), &label);
  POINT at = {(label.left + label.right) / 2, (label.top + label.bottom) / 2};
  if (!overLabel) at.y = label.bottom + 40;
  ASSERT_TRUE(gui::MoveCursorTo(at.x, at.y)) << "SetCursorPos does not work here";
  POINT client = at;
  ScreenToClient(d, &client);
  SendMessageA(d, WM_RBUTTONDOWN, flags | MK_RBUTTON, MAKELPARAM(client.x, client.y));
}

class RefreshDialogLanguage : public RefreshDialogTest {};

TEST_F(RefreshDialogLanguage, SystemLanguageTextsAndLayout) {
  const uint16_t system = static_cast<uint16_t>(GetSystemDefaultLangID() & 0x3FF);
  ASSERT_EQ(system, ExpectedLanguage()) << "LC_ALL does not give the expected language";
  RunDialog([system](HWND d) {
    ExpectLanguage(d, system, system, "opened");
    if (const char* shot = std::getenv("TACHY_SCREENSHOT")) SaveBitmap(d, shot);
    // The stored choice is found in the translated words too.
    EXPECT_EQ(Selected(d, 1019), TextsFor(system).words[2]);
    EXPECT_EQ(Selected(d, 1023), TextsFor(system).words[1]);
    EXPECT_EQ(Selected(d, 1025), TextsFor(system).words[0]);
    Choose(d, 1024, TextsFor(system).words[1]);
    Click(d, IDOK);
  });
  // The translated word is stored as the same value.
  EXPECT_EQ(Get(Mode("0002", 8, "640,480"), "RefreshRate"), "0");
  EXPECT_EQ(Get(Mode("0002", 8, "800,600"), "RefreshRate"), std::nullopt);
  EXPECT_EQ(Get(Mode("0002", 8, "960,720"), "RefreshRate"), "-1");
}

TEST_F(RefreshDialogLanguage, GestureCyclesFrenchGermanEnglish) {
  const uint16_t system = static_cast<uint16_t>(GetSystemDefaultLangID() & 0x3FF);
  RunDialog([system](HWND d) {
    ExpectLanguage(d, system, system, "opened");
    Click(d, 1051);  // button states survive a language change
    Choose(d, 1024, "60");  // an unsaved selection is replaced
    // Not counted: a flag missing, or the cursor elsewhere.
    Gesture(d, MK_CONTROL | MK_SHIFT, true);
    Gesture(d, MK_LBUTTON | MK_SHIFT, true);
    Gesture(d, MK_LBUTTON | MK_CONTROL, true);
    Gesture(d, MK_LBUTTON | MK_CONTROL | MK_SHIFT, false);
    ExpectLanguage(d, system, system, "no gesture");
    EXPECT_EQ(Selected(d, 1024), "60");
    Gesture(d, MK_LBUTTON | MK_CONTROL | MK_SHIFT, true);
    ExpectLanguage(d, 12, 12, "first gesture");
    EXPECT_EQ(Selected(d, 1024), "72");
    EXPECT_EQ(Selected(d, 1021), "<none>");
    EXPECT_TRUE(Checked(d, 1051));
    EXPECT_FALSE(Checked(d, 1050));
    EXPECT_EQ(DepthMarks(d), "1000");
    Gesture(d, MK_LBUTTON | MK_CONTROL | MK_SHIFT, true);
    ExpectLanguage(d, 7, 7, "second gesture");
    Gesture(d, MK_LBUTTON | MK_CONTROL | MK_SHIFT, true);
    ExpectLanguage(d, 9, 9, "third gesture");
    Click(d, IDCANCEL);
  });
}

}  // namespace
}  // namespace tachy
