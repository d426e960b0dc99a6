// The real refresh-rate dialog (template 502, built into this program) runs modally on
// the main thread while a second one acts on it with real input. Language runs set LC_ALL
// and TACHY_EXPECT_LANGID (12 French, 7 German, 10 Spanish: English in the other layout).
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "gui.h"
#include "refresh/refresh_dialog_win.h"
#include "refresh/refresh_layout.h"

namespace tachy {
namespace {

const char kClassPath[] = "System\\CurrentControlSet\\Services\\Class\\Display";
const char kProductPath[] = "Software\\Tachymark";

// "0002" names an adapter's key, "0002/8/640,480" a mode key below it and
// "0002/DEFAULT" its adapter setting.
std::string KeyOf(std::string name) {
  std::replace(name.begin(), name.end(), '/', '\\');
  if (name.size() > 5 && name.compare(5, 7, "DEFAULT") != 0) name.insert(5, "MODES\\");
  return std::string(kClassPath) + "\\" + name;
}

// "path|name" to its bytes, for comparing whole states.
void Snapshot(const std::string& path, std::map<std::string, std::string>* out) {
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return;
  (*out)[path] = "<key>";
  char name[256];
  BYTE data[512];
  for (DWORD i = 0;; ++i) {
    DWORD nameSize = sizeof name, dataSize = sizeof data;
    if (RegEnumValueA(key, i, name, &nameSize, nullptr, nullptr, data, &dataSize)) break;
    (*out)[path + "|" + name] = std::string(reinterpret_cast<char*>(data), dataSize);
  }
  for (DWORD i = 0;; ++i) {
    DWORD size = sizeof name;
    if (RegEnumKeyExA(key, i, name, &size, nullptr, nullptr, nullptr, nullptr)) break;
    Snapshot(path + "\\" + name, out);
  }
  RegCloseKey(key);
}
std::map<std::string, std::string> State() {
  std::map<std::string, std::string> state;
  for (const char* root : {kClassPath, kProductPath}) Snapshot(root, &state);
  return state;
}

// The mode table's rows as the template and the driver's keys name them.
struct Row {
  int labelId, listId;
  const char* label;
};
const Row kRows[15] = {
    {1035, 1024, "640x480"},   {1036, 1025, "800x600"},   {1037, 1019, "960x720"},
    {1038, 1020, "1024x768"},  {1039, 1021, "1152x864"},  {1040, 1022, "1280x960"},
    {1041, 1023, "1280x1024"}, {1042, 1011, "1600x1024"}, {1043, 1018, "1600x1200"},
    {1044, 1013, "1792x1344"}, {1045, 1012, "1856x1392"}, {1046, 1014, "1920x1080"},
    {1047, 1015, "1920x1200"}, {1048, 1016, "1920x1440"}, {1049, 1017, "2046x1536"}};

// ---- Reading and acting on the dialog (from the acting thread).

HWND Item(HWND d, int id) { return id ? GetDlgItem(d, id) : d; }
bool Checked(HWND d, int id) { return SendMessageA(Item(d, id), BM_GETCHECK, 0, 0) == BST_CHECKED; }
bool Dropped(HWND list) { return SendMessageA(list, CB_GETDROPPEDSTATE, 0, 0) != 0; }
std::vector<std::string> Entries(HWND d, int listId) {
  std::vector<std::string> out;
  for (LRESULT i = 0, n = SendMessageA(Item(d, listId), CB_GETCOUNT, 0, 0); i < n; ++i) {
    const LRESULT length = SendMessageA(Item(d, listId), CB_GETLBTEXTLEN, i, 0);
    std::string text(static_cast<size_t>(std::max<LRESULT>(length, 0)) + 1, '\0');
    SendMessageA(Item(d, listId), CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(&text[0]));
    out.push_back(text.c_str());
  }
  return out;
}
std::string Selected(HWND d, int listId) {
  const LRESULT index = SendMessageA(Item(d, listId), CB_GETCURSEL, 0, 0);
  return index == CB_ERR ? "<none>" : Entries(d, listId).at(index);
}
// The control with the keyboard focus (a list for its edit field).
int FocusId(HWND d) {
  GUITHREADINFO info = {};
  info.cbSize = sizeof info;
  if (!GetGUIThreadInfo(GetWindowThreadProcessId(d, nullptr), &info)) return -1;
  HWND focus = info.hwndFocus;
  if (focus && GetParent(focus) != d) focus = GetParent(focus);
  return focus ? GetDlgCtrlID(focus) : -1;
}

// Puts the cursor on a screen point and lets the dialog's thread handle what the X server
// reports of the move: a late motion event of an earlier place would otherwise move Wine's
// cursor away from the target before the button goes down (a click on OK went to the
// radio button clicked before it).
void Point(HWND d, POINT at) {
  gui::Foreground(d);
  POINT now = {-1, -1};
  for (int tries = 0; tries < 5 && (now.x != at.x || now.y != at.y); ++tries) {
    EXPECT_TRUE(gui::MoveCursorTo(at.x, at.y));
    gui::Settle(d);
    GetCursorPos(&now);
  }
}
void ClickAt(HWND d, POINT at) {
  Point(d, at);
  gui::Send({gui::Mouse(MOUSEEVENTF_LEFTDOWN), gui::Mouse(MOUSEEVENTF_LEFTUP)});
  gui::Settle(d);
}
void Keys(HWND d, std::initializer_list<WORD> keys) {
  gui::Foreground(d);
  gui::Keys(keys);
  gui::Settle(d);
}
// A click into a list's edit field, at its left end.
void ClickEdit(HWND d, int listId) {
  const RECT r = gui::WindowRect(Item(d, listId));
  ClickAt(d, {r.left + 6, (r.top + r.bottom) / 2});
}

// Opens the list and takes the entry, with the mouse (the arrow button, a click on the
// entry) or the keyboard (a click into the edit field, F4, arrow keys to it, Enter).
void Choose(HWND d, int listId, const std::string& entry, bool mouse) {
  HWND list = Item(d, listId);
  const LRESULT index = SendMessageA(list, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                     reinterpret_cast<LPARAM>(entry.c_str()));
  ASSERT_NE(index, CB_ERR) << entry;
  const RECT r = gui::WindowRect(list);
  if (mouse) {
    ClickAt(d, {r.right - GetSystemMetrics(SM_CXVSCROLL) / 2, (r.top + r.bottom) / 2});
  } else {
    ClickEdit(d, listId);
    Keys(d, {VK_F4});
  }
  ASSERT_TRUE(gui::WaitUntil([&] { return Dropped(list); }, 3000)) << listId << " did not open";
  if (mouse) {
    COMBOBOXINFO info = {};
    info.cbSize = sizeof info;
    ASSERT_TRUE(GetComboBoxInfo(list, &info));
    RECT item = {};
    SendMessageA(info.hwndList, LB_GETITEMRECT, index, reinterpret_cast<LPARAM>(&item));
    POINT at = {(item.left + item.right) / 2, (item.top + item.bottom) / 2};
    ClientToScreen(info.hwndList, &at);
    const RECT shown = gui::WindowRect(info.hwndList);
    EXPECT_TRUE(PtInRect(&shown, at)) << entry << " lies outside the opened list of " << listId;
    ClickAt(d, at);
  } else {
    for (int i = 0; i < 12; ++i) {
      const LRESULT now = SendMessageA(list, CB_GETCURSEL, 0, 0);
      if (now == index) break;
      Keys(d, {static_cast<WORD>(now != CB_ERR && now > index ? VK_UP : VK_DOWN)});
    }
    Keys(d, {VK_RETURN});
  }
  EXPECT_TRUE(gui::WaitUntil([&] { return !Dropped(list); }, 3000)) << listId;
  EXPECT_EQ(Selected(d, listId), entry);
}

// A scenario as steps "verb id=value". Acting: click, pick (mouse), keypick (keyboard),
// type (digits into an edit field in place of its text), key tab|esc|enter, alt <mnemonic
// or F4>, add (an entry put at the end of a list by hand).
// Checking the dialog: text (id 0: the caption), list (the entries after the English
// words, comma-separated), sel, marks (the depth buttons), focus, on/off,
// checked/unchecked, closed, visible; the id "rows" or "rows7-14" names those rows (their
// label and list for on/off). Checking the registry: pref <name>, rate <key> (RefreshRate;
// "*/..." on both Voodoo3 adapters) and nokey <key>, keys named as KeyOf names them.
void Steps(HWND d, const std::vector<std::string>& steps) {
  for (const std::string& step : steps) {
    SCOPED_TRACE(step);
    const size_t eq = step.find('='), space = step.find(' ');
    const std::string verb = step.substr(0, std::min(eq, space));
    const std::string arg = space < eq ? step.substr(space + 1, eq - space - 1) : "";
    const std::string value = eq == std::string::npos ? "" : step.substr(eq + 1);
    std::vector<int> lists = {std::atoi(arg.c_str())}, labels;
    if (arg.compare(0, 4, "rows") == 0) {
      int low = 0, high = 14;
      std::sscanf(arg.c_str() + 4, "%d-%d", &low, &high);
      lists.clear();
      for (int i = low; i <= high; ++i) {
        lists.push_back(kRows[i].listId);
        labels.push_back(kRows[i].labelId);
      }
    }
    const int id = lists[0];
    if (verb == "click") {
      ClickAt(d, gui::Centre(Item(d, id)));
    } else if (verb == "pick" || verb == "keypick") {
      Choose(d, id, value, verb == "pick");
    } else if (verb == "add") {
      SendMessageA(Item(d, id), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(value.c_str()));
    } else if (verb == "type") {
      ClickEdit(d, id);
      Keys(d, {VK_END});
      for (size_t n = gui::TextA(Item(d, id)).size(); n > 0; --n) Keys(d, {VK_BACK});
      for (char c : value) Keys(d, {static_cast<WORD>(c)});
      EXPECT_EQ(gui::TextA(Item(d, id)), value);
    } else if (verb == "key") {
      const WORD vk = arg == "tab" ? VK_TAB : arg == "esc" ? VK_ESCAPE
                      : arg == "enter" ? VK_RETURN : 0;
      ASSERT_NE(vk, 0) << "unknown key";
      Keys(d, {vk});
    } else if (verb == "alt") {
      const WORD vk = arg == "F4" ? VK_F4 : static_cast<WORD>(VkKeyScanA(arg[0]) & 0xFF);
      gui::Foreground(d);
      gui::Send({gui::KeyInput(VK_MENU, false), gui::KeyInput(vk, false),
                 gui::KeyInput(vk, true), gui::KeyInput(VK_MENU, true)});
      gui::Settle(d);
    } else if (verb == "marks") {
      std::string marks;  // 8 16 24 32 bit, e.g. "0100"
      for (int i : {1028, 1029, 1030, 1031}) marks += Checked(d, i) ? '1' : '0';
      EXPECT_EQ(marks, value);
    } else if (verb == "rate") {
      std::vector<std::string> keys = {arg};
      if (arg[0] == '*') keys = {"0000" + arg.substr(1), "0002" + arg.substr(1)};
      for (const std::string& key : keys)
        EXPECT_EQ(gui::Text(KeyOf(key), "RefreshRate"), value) << key;
    } else if (verb == "on" || verb == "off") {
      for (const std::vector<int>* ids : {&lists, &labels})
        for (int i : *ids) EXPECT_EQ(IsWindowEnabled(Item(d, i)) != FALSE, verb == "on") << i;
    } else if (verb == "sel") {
      for (int i : lists) EXPECT_EQ(Selected(d, i), value) << i;
    } else if (verb == "list") {
      for (int i : lists) {
        std::string entries;
        for (const std::string& e : Entries(d, i)) entries += e + ",";
        EXPECT_EQ(entries, "Adapter,Default,Optimal," + value + ",") << i;
      }
    } else if (verb == "text") EXPECT_EQ(gui::TextA(Item(d, id)), value);
    else if (verb == "focus") EXPECT_EQ(FocusId(d), std::atoi(value.c_str()));
    else if (verb == "checked" || verb == "unchecked") EXPECT_EQ(Checked(d, id), verb == "checked");
    else if (verb == "closed")
      EXPECT_TRUE(gui::WaitUntil([&] { return !IsWindow(d) || !IsWindowVisible(d); }, 5000));
    else if (verb == "visible") EXPECT_TRUE(IsWindowVisible(d));
    else if (verb == "pref") EXPECT_EQ(gui::Text(kProductPath, arg.c_str()), value);
    else if (verb == "nokey") EXPECT_FALSE(gui::KeyExists(KeyOf(arg)));
    else ADD_FAILURE() << "unknown step";
  }
}

bool IsRefreshDialog(HWND w) {
  char cls[32] = {};
  GetClassNameA(w, cls, sizeof cls);
  return lstrcmpA(cls, "#32770") == 0 && GetDlgItem(w, 1035) != nullptr;
}
HWND FindDialog() { return gui::FindTopWindow(0, IsRefreshDialog); }

// Runs the dialog on this thread, as the page's button does, while `script` acts on it
// from another and ends it. What a failed ASSERT leaves open is cancelled afterwards by a
// message, so that a fault fails the test instead of hanging it.
void RunDialog(const std::function<void(HWND)>& script) {
  std::atomic<bool> found{false}, done{false};
  std::thread driver([&] {
    HWND d = nullptr;
    for (int i = 0; i < 500 && !(d = FindDialog()); ++i) Sleep(20);
    if (d) {
      found = true;
      script(d);
    }
    for (int i = 0; i < 100 && (d = FindDialog()); ++i) {
      PostMessageA(d, WM_COMMAND, IDCANCEL, 0);
      Sleep(50);
    }
    done = true;
  });
  RunRefreshRateDialog();
  // A Settle of the script may still wait for this thread's answer.
  gui::WaitUntil([&] { return done.load(); }, 60000);
  driver.join();
  EXPECT_TRUE(found) << "the dialog did not open";
}
// The steps up to "closed" act while the dialog runs, those after it see what it wrote.
void RunSteps(const std::vector<std::string>& steps) {
  RunDialog([&steps](HWND d) { Steps(d, steps); });
}

class RefreshDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TearDown();
    // Instances 0000 and 0002 are Voodoo3 boards, 0001 another board; the dialog reads
    // 0002, the last one found, and writes both.
    gui::PutText(KeyOf("0000"), "DriverDesc", "3dfx Voodoo3 3000 AGP");
    gui::PutText(KeyOf("0001"), "DriverDesc", "S3 Trio64V+");
    gui::PutText(KeyOf("0002"), "DriverDesc", "3dfx Voodoo3 2000 PCI");
    for (const char* name : {"0000/DEFAULT", "0002/DEFAULT"}) {  // empty
      HKEY key;
      ASSERT_EQ(RegCreateKeyA(HKEY_LOCAL_MACHINE, KeyOf(name).c_str(), &key), ERROR_SUCCESS);
      RegCloseKey(key);
    }
    gui::PutText(kProductPath, "ColorDepth", "8");
    gui::PutText(kProductPath, "LinkAllColorDepths", "0");
    // 0002, 8 bit: the rows the tests look at.
    Seed("0002/8/640,480", "60,72,75", "72");
    Seed("0002/8/800,600", "60,75,", nullptr);      // trailing comma
    Seed("0002/8/960,720", "", "-1");               // empty rate list
    Seed("0002/8/1024,768", "60,70,72,85", "7");    // first entry with 7
    Seed("0002/8/1152,864", "60,75", "100");        // matches no entry
    Seed("0002/8/1280,960", "60,75", "200");        // matches none, out of range
    Seed("0002/8/1280,1024", "60,75", "0");
    // 0002, 16 bit: fewer modes.
    Seed("0002/16/640,480", "60,72,75", "75");
    Seed("0002/16/800,600", "60,85", "85");         // no 8-bit entry begins with 85
    Seed("0002/16/1024,768", "60,70,72,85", "-1");
    // 0000 lacks 1024x768 at 8 bit and everything at 16 bit but 640x480.
    for (const char* mode : {"640,480", "800,600", "960,720", "1152,864", "1280,960", "1280,1024"})
      Seed(std::string("0000/8/") + mode, "60", nullptr);
    for (const char* mode : {"0000/16", "0000/24", "0000/32", "0002/24", "0002/32"})
      Seed(std::string(mode) + "/640,480", "60", nullptr);
  }
  void TearDown() override {
    gui::DeleteTree(kClassPath);
    gui::DeleteTree(kProductPath);
  }
  static void Seed(const std::string& mode, const char* rates, const char* refresh) {
    gui::PutText(KeyOf(mode), "", rates);
    if (refresh) gui::PutText(KeyOf(mode), "RefreshRate", refresh);
  }
};

TEST_F(RefreshDialogTest, OpensWithTheSelectedAdaptersStoredChoices) {
  RunDialog([](HWND d) {
    // A stored 7 selects the first entry beginning with 7 (1020); rates no entry begins
    // with leave no selection (1021, 1022). Rows without a mode key: disabled.
    Steps(d, {"list 1024=60,72,75", "list 1025=60,75,", "list 1019=", "sel 1024=72",
              "sel 1025=Adapter", "sel 1019=Optimal", "sel 1020=70", "sel 1021=<none>",
              "sel 1022=<none>", "sel 1023=Default", "text 1021=", "text 1023=Default",
              "on rows0-6", "off rows7-14", "list rows7-14=", "sel rows7-14=Adapter",
              "marks=1000", "on 1028", "on 1029", "on 1030", "on 1031", "unchecked 1032",
              "checked 1050", "unchecked 1051", "focus=1"});
    // Tab walks from OK past the disabled rows, into each radio group once, back to OK.
    std::vector<int> walk;
    for (int i = 0; i < 14; ++i) {
      Steps(d, {"key tab"});
      walk.push_back(FocusId(d));
    }
    EXPECT_EQ(walk, (std::vector<int>{1024, 1025, 1019, 1020, 1021, 1022, 1023, 1032, 1028, 1050,
                                      1033, 1034, 2, 1}));
    // An entry longer than any text buffer of the dialog, chosen: it is not taken, and the
    // row stores what it read (1152x864 keeps 100). Only by hand: the store cuts a rate
    // list's entries to 127 characters.
    const std::string hostile = "85" + std::string(1000, 'x');
    Steps(d, {"add 1021=" + hostile, "keypick 1021=" + hostile});
    // OK writes both adapters' 8-bit rows where the key exists.
    Steps(d, {"click 1", "closed", "rate */8/640,480=72", "rate */8/800,600=<absent>",
              "rate */8/960,720=-1", "rate 0002/8/1024,768=70", "rate */8/1152,864=100",
              "rate */8/1280,960=60", "rate */8/1280,1024=0", "nokey 0000/8/1024,768",
              "nokey 0000/8/1600,1200", "nokey 0001/DEFAULT", "rate */DEFAULT=0",
              "pref ColorDepth=8", "pref LinkAllColorDepths=0", "rate 0002/16/640,480=75"});
  });
}

// The controls in the template's (the tab) order, each of its class and kind, its flags.
TEST_F(RefreshDialogTest, TemplateStylesInTabOrderAndEscapeCancels) {
  struct Control {
    int id;
    char cls;                // Button, Static or ComboBox
    DWORD kind, set, clear;  // kind: the low style bits that name the kind
  };
  const DWORD tab = WS_GROUP | WS_TABSTOP, radio = BS_RADIOBUTTON, push = BS_PUSHBUTTON,
              box = BS_GROUPBOX;
  std::vector<Control> want = {{1, 'B', BS_DEFPUSHBUTTON, tab, 0}, {1059, 'B', box, 0, WS_TABSTOP}};
  // Plain labels (a click goes through to the dialog), then lists (WS_VSCROLL is not
  // checked: the combo box takes it off its own style under Wine).
  for (const Row& row : kRows) {
    want.push_back({row.labelId, 'S', SS_LEFT, WS_GROUP, SS_NOTIFY | WS_TABSTOP});
    want.push_back({row.listId, 'C', CBS_DROPDOWN, WS_TABSTOP, CBS_SORT});
  }
  want.insert(want.end(), {{1032, 'B', BS_CHECKBOX, tab, 0}, {1060, 'B', box, 0, WS_TABSTOP},
                           {1028, 'B', radio, tab, 0},       {1029, 'B', radio, 0, tab},
                           {1030, 'B', radio, 0, tab},       {1031, 'B', radio, 0, tab},
                           {1061, 'B', box, WS_GROUP, WS_TABSTOP}, {1050, 'B', radio, tab, 0},
                           {1051, 'B', radio, 0, tab},       {1033, 'B', push, tab, 0},
                           {1034, 'B', push, tab, 0},        {2, 'B', push, tab, 0}});
  RunDialog([&want](HWND d) {
    const LONG style = GetWindowLongA(d, GWL_STYLE);
    EXPECT_EQ(style & (WS_POPUP | WS_CAPTION | WS_SYSMENU), WS_POPUP | WS_CAPTION | WS_SYSMENU);
    EXPECT_TRUE(GetWindowLongA(d, GWL_EXSTYLE) & WS_EX_DLGMODALFRAME);
    HWND child = GetWindow(d, GW_CHILD);
    for (const Control& c : want) {
      ASSERT_NE(child, nullptr) << "missing from " << c.id;
      char cls[32] = {};
      GetClassNameA(child, cls, sizeof cls);
      const DWORD s = static_cast<DWORD>(GetWindowLongA(child, GWL_STYLE));
      EXPECT_EQ(GetDlgCtrlID(child), c.id);
      EXPECT_STRCASEEQ(cls, c.cls == 'S' ? "Static" : c.cls == 'C' ? "ComboBox" : "Button");
      EXPECT_EQ(s & (c.cls == 'S' ? 0x1F : c.cls == 'C' ? 3 : 0xF), c.kind) << c.id;
      EXPECT_EQ(s & c.set, c.set) << c.id;
      EXPECT_EQ(s & c.clear, 0u) << c.id;
      child = GetWindow(child, GW_HWNDNEXT);
    }
    EXPECT_EQ(child, nullptr) << "more controls than template 502 has";
    Steps(d, {"key esc", "closed", "rate 0002/8/1280,960=200"});  // nothing written
  });
  // Enter right after it opens: OK, the template's default button; 0000 gets 0002's rate.
  RunSteps({"key enter", "closed", "rate 0000/8/640,480=72"});
}

TEST_F(RefreshDialogTest, ChangingTheDepthKeepsTheEightBitEntries) {
  // An unsaved 8-bit 800x600 choice of 75 stays at 16 bit (no 8-bit entry begins with
  // 85); Save there leaves the dialog open and writes no 8-bit value.
  RunSteps({"keypick 1025=75", "click 1029", "marks=0100", "sel 1024=75", "sel 1025=75",
            "sel 1020=Optimal", "off 1019", "off 1037", "on 1020", "list 1024=60,72,75",
            "list 1025=60,75,", "click 1033", "rate 0002/16/800,600=75", "pref ColorDepth=16",
            "click 1028", "marks=1000", "sel 1025=Adapter", "sel 1021=<none>", "visible",
            "click 2", "closed", "rate 0002/16/640,480=75", "rate 0002/16/1024,768=-1",
            "rate 0000/16/640,480=75", "nokey 0000/16/800,600", "rate 0002/8/640,480=72",
            "rate 0002/8/1280,960=200"});
}

TEST_F(RefreshDialogTest, StoredSixteenBitDepthOpensOnSixteenBit) {
  gui::PutText(kProductPath, "ColorDepth", "16");
  RunSteps({"list 1024=60,72,75", "marks=0100", "sel 1024=75", "sel 1020=Optimal", "click 2"});
}

TEST_F(RefreshDialogTest, LinkingAllDepthsEnablesEveryRowAndWritesFourDepths) {
  // One real click: a check box that toggled itself would end unchecked. The 16-bit
  // 800x600 got the 8-bit row's choice from the linked save.
  RunSteps({"click 1032", "checked 1032", "marks=0000", "off 1028", "off 1029", "off 1030",
            "off 1031", "sel 1024=72", "on rows", "pick 1024=60", "pick 1017=Optimal",
            "click 1033", "pref LinkAllColorDepths=1", "rate */8/640,480=60",
            "rate */16/640,480=60", "rate */24/640,480=60", "rate */32/640,480=60",
            "nokey 0002/8/2046,1536", "pick 1025=60", "click 1032", "unchecked 1032",
            "marks=1000", "on 1028", "on 1029", "on 1030", "on 1031", "sel 1024=60",
            "sel 1025=Adapter", "off 1017", "on 1024", "click 2", "closed",
            "rate 0002/16/800,600=<absent>"});
}

TEST_F(RefreshDialogTest, DefaultThenCancelWritesNothingAndSaveSurvivesCancel) {
  gui::PutText(KeyOf("0002/DEFAULT"), "RefreshRate", "-1");
  const auto before = State();
  // The close box cancels too: Alt+F4 sends its SC_CLOSE through the window system.
  RunSteps({"checked 1051", "click 1034", "checked 1050", "unchecked 1051", "marks=1000",
            "sel rows=Adapter", "alt F4", "closed"});
  EXPECT_EQ(State(), before);
  RunSteps({"click 1034", "click 2"});
  EXPECT_EQ(State(), before);
  RunSteps({"click 1034", "click 1033", "click 2", "closed", "rate 0002/8/640,480=<absent>",
            "rate 0002/8/960,720=<absent>", "rate 0002/8/1152,864=<absent>",
            "rate 0002/DEFAULT=0"});
}

TEST_F(RefreshDialogTest, AdapterSettingButtons) {
  gui::PutText(KeyOf("0000/DEFAULT"), "RefreshRate", "-1");  // not the one read
  RunSteps({"checked 1050", "click 1051", "unchecked 1050", "checked 1051", "key enter",
            "closed", "rate */DEFAULT=-1"});  // Enter works as OK
  RunSteps({"checked 1051", "click 1050", "checked 1050", "unchecked 1051", "click 1",
            "closed", "rate */DEFAULT=0"});
}

TEST_F(RefreshDialogTest, WithoutProductKeyOnlyTheDisplayClassIsWritten) {
  gui::DeleteTree(kProductPath);
  // Text typed into a list's edit field is never stored: 640x480 keeps 72.
  RunSteps({"marks=1000", "unchecked 1032", "keypick 1025=75", "type 1024=85", "click 1",
            "closed", "rate 0002/8/640,480=72", "rate 0002/8/800,600=75"});
  EXPECT_FALSE(gui::KeyExists(kProductPath));
}

TEST_F(RefreshDialogTest, ColorDepthFifteenChecksNoButtonAndWritesNoMode) {
  gui::PutText(kProductPath, "ColorDepth", "15");
  // Only the adapter setting is written, as stored here.
  for (const char* a : {"0000", "0002"}) gui::PutText(KeyOf(a) + "\\DEFAULT", "RefreshRate", "0");
  const auto before = State();
  // Lists from the 8-bit keys, rows disabled: no 15-bit key exists.
  RunSteps({"marks=0000", "on 1028", "on 1029", "on 1030", "on 1031", "list 1024=60,72,75",
            "off rows", "click 1"});
  EXPECT_EQ(State(), before);
  EXPECT_EQ(gui::Text(kProductPath, "ColorDepth"), "15");
}

TEST_F(RefreshDialogTest, WithoutAnyAdapterOnlyThePreferencesAreWritten) {
  gui::PutText(KeyOf("0000"), "DriverDesc", "VOODOO3 in capitals does not count");
  gui::PutText(KeyOf("0002"), "DriverDesc", "Rage 128");
  auto want = State();
  want[std::string(kProductPath) + "|ColorDepth"] = std::string("16", 3);  // the one change
  RunSteps({"list rows=", "sel rows=Adapter", "off rows", "checked 1050", "click 1029",
            "click 1"});
  EXPECT_EQ(State(), want);
}

// The page's button stays usable while the dialog runs (it has no owner); a timer on
// the dialog's thread stands in for it.
std::atomic<bool> gSecondReturned{false};
void CALLBACK OpenAgain(HWND, UINT, UINT_PTR timer, DWORD) {
  KillTimer(nullptr, timer);
  RunRefreshRateDialog();
  gSecondReturned = true;
}

TEST_F(RefreshDialogTest, ASecondOpeningWhileOpenBringsTheFirstToTheFront) {
  ASSERT_NE(SetTimer(nullptr, 0, 100, OpenAgain), 0u);
  RunDialog([](HWND d) {
    // With a second dialog the call would not return until it closed.
    EXPECT_TRUE(gui::WaitUntil([] { return gSecondReturned.load(); }, 5000));
    int count = 0;
    gui::FindTopWindow(0, [&count](HWND w) {
      count += IsRefreshDialog(w);
      return false;
    });
    EXPECT_EQ(count, 1);
    Steps(d, {"pick 1024=60", "click 1"});
  });
  RunSteps({"sel 1024=60", "click 2"});  // not stuck: a later opening works again
}

// The controls whose texts the dialog sets (0: its caption; from the string table, not
// the template: "Default refresh rate"); per language, those texts, the choice words and
// the mnemonics of link, Save and Default.
const int kTextIds[15] = {0, 1059, 1032, 1060, 1028, 1029, 1030, 1031, 1061, 1050, 1051,
                          1033, 1034, 1, 2};
struct LanguageTexts {
  uint16_t language;
  const char* texts[15];
  const char* words[3];
  char link, save, restore;
};
const LanguageTexts kTexts[] = {
    {9,
     {"Refresh Rates", "Refresh Rates", "&Link all color depths", "Color Depth", "8 bit color",
      "16 bit color", "24 bit color", "32 bit color", "Adapter Setting", "Default refresh rate",
      "Optimal refresh rate", "&Save", "&Default", "OK", "Cancel"},
     {"Adapter", "Default", "Optimal"}, 'l', 's', 'd'},
    {12,
     {"Fr\xe9quences de rafra\xee" "chissement", "Fr\xe9quences de rafra\xee" "chissement",
      "&Verrouiller les couleurs", "Couleurs", "8 bit", "16 bit", "24 bit", "32 bit",
      "R\xe9glage de l'adaptateur", "Fr\xe9quence par d\xe9" "faut", "Fr\xe9quence optimale",
      "&Sauver", "&Par d\xe9" "faut", "OK", "Annuler"},
     {"Adaptateur", "Par d\xe9" "faut", "Optimale"}, 'v', 's', 'p'},
    {7,
     {"Wiederholraten", "Wiederholraten", "&Alle Farbtiefen zusammen", "Farbtiefe", "8 Bit Farbe",
      "16 Bit Farbe", "24 Bit Farbe", "32 Bit Farbe", "Adapter Einstellung",
      "Standard Wiederholrate", "Optimal Wiederholrate", "&Sichern", "S&tandard", "OK", "Abbruch"},
     {"Adapter", "Standard", "Optimal"}, 'a', 's', 't'},
};
const LanguageTexts& TextsFor(uint16_t language) {
  for (const LanguageTexts& t : kTexts)
    if (t.language == language) return t;
  return kTexts[0];  // every other language shows the English texts
}

// The thirteen controls no layout table moves: template 502's rectangles.
const ControlLayoutRow kFixed[13] = {
    {1, 130, 192, 50, 14},   {1059, 8, 4, 228, 132},  {1060, 8, 141, 117, 44},
    {1028, 14, 155, 52, 10}, {1029, 14, 168, 52, 10}, {1030, 69, 155, 52, 10},
    {1031, 69, 168, 52, 10}, {1061, 130, 141, 106, 44}, {1050, 137, 155, 92, 10},
    {1051, 137, 168, 92, 10}, {1033, 9, 192, 50, 14},  {1034, 65, 192, 50, 14},
    {2, 185, 192, 50, 14}};

// Where a control stands in the dialog's client pixels against a row in dialog units; a combo
// box keeps its own closed height (no bottom then).
void ExpectAt(HWND d, const ControlLayoutRow& row, bool height) {
  RECT want = {row.x, row.y, row.x + row.width, row.y + row.height};
  MapDialogRect(d, &want);
  RECT is = gui::WindowRect(Item(d, row.id));
  MapWindowPoints(nullptr, d, reinterpret_cast<POINT*>(&is), 2);
  EXPECT_EQ(std::vector<LONG>({is.left, is.top, is.right, height ? is.bottom : 0}),
            std::vector<LONG>({want.left, want.top, want.right, height ? want.bottom : 0}))
      << row.id;
}

// Texts and positions of `language`, in its own layout (9 English, else the other).
void ExpectLanguage(HWND d, uint16_t language, const char* where) {
  SCOPED_TRACE(where);
  const LanguageTexts& t = TextsFor(language);
  for (int i = 0; i < 15; ++i)
    EXPECT_EQ(gui::TextA(Item(d, kTextIds[i])), t.texts[i]) << kTextIds[i];
  for (int row : {0, 7, 14}) {
    std::vector<std::string> entries = Entries(d, kRows[row].listId);
    ASSERT_GE(entries.size(), 3u);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(entries[i], t.words[i]) << row;
  }
  for (const Row& row : kRows) EXPECT_EQ(gui::TextA(Item(d, row.labelId)), row.label);
  const ControlLayoutRow* table = RefreshLayoutFor(language);
  for (int i = 0; i < kRefreshLayoutRows; ++i)
    ExpectAt(d, table[i], i % 2 == 0 || i == kRefreshLayoutRows - 1);
  for (const ControlLayoutRow& row : kFixed) ExpectAt(d, row, true);
}

class RefreshDialogLanguage : public RefreshDialogTest {
 protected:
  const uint16_t system_ = static_cast<uint16_t>(GetSystemDefaultLangID() & 0x3FF);
};

// The gesture over `w`, the cursor placed first as for a click.
void GestureOver(HWND d, HWND w, WPARAM held = gui::kGestureHeld) {
  Point(d, gui::Centre(w));
  gui::Gesture(w, held);
  gui::Settle(d);
}

TEST_F(RefreshDialogLanguage, SystemLanguageTextsLayoutAndEveryButton) {
  const char* env = std::getenv("TACHY_EXPECT_LANGID");
  ASSERT_EQ(system_, env ? std::atoi(env) : 9) << "LC_ALL does not give the expected language";
  const LanguageTexts& t = TextsFor(system_);
  const std::string adapter = t.words[0], preset = t.words[1], optimal = t.words[2];
  RunDialog([&](HWND d) {
    ExpectLanguage(d, system_, "opened");
    // Stored choices shown in the translated words; every button by mouse and mnemonic.
    Steps(d, {"sel 1019=" + optimal, "sel 1023=" + preset, "sel 1025=" + adapter,
              "click 1029", "marks=0100", "click 1028", "marks=1000",
              std::string("alt ") + t.link, "checked 1032", "marks=0000", "click 1032",
              "unchecked 1032", "marks=1000", "click 1051", "checked 1051", "click 1050",
              "checked 1050", "unchecked 1051", std::string("alt ") + t.restore,
              "sel rows=" + adapter, "pick 1024=" + preset, "keypick 1019=" + optimal,
              std::string("alt ") + t.save, "rate 0002/8/640,480=0"});
    gui::PutText(KeyOf("0002/8/640,480"), "RefreshRate", "72");
    // The translated word is stored as the same value.
    Steps(d, {"click 1", "closed", "rate 0002/8/640,480=0", "rate 0002/8/800,600=<absent>",
              "rate 0002/8/960,720=-1", "rate 0002/8/1152,864=<absent>"});
  });
}

TEST_F(RefreshDialogLanguage, GestureCyclesFrenchGermanEnglish) {
  RunDialog([this](HWND d) {
    ExpectLanguage(d, system_, "opened");
    // Button states survive a language change; an unsaved selection is replaced.
    Steps(d, {"click 1051", "pick 1024=60"});
    HWND label = Item(d, 1035);
    for (WPARAM held : {MK_CONTROL | MK_SHIFT, MK_LBUTTON | MK_SHIFT, MK_LBUTTON | MK_CONTROL})
      GestureOver(d, label, held);
    GestureOver(d, Item(d, 1036));
    ExpectLanguage(d, system_, "no gesture");
    Steps(d, {"sel 1024=60"});
    for (uint16_t language : {12, 7, 9}) {
      GestureOver(d, label);
      ExpectLanguage(d, language, "gesture");
      Steps(d, {"checked 1051", "unchecked 1050", "marks=1000"});
      if (language == 12) Steps(d, {"sel 1024=72", "sel 1021=<none>"});
    }
    Steps(d, {"click 2", "closed", "rate 0002/8/640,480=72"});  // Cancel wrote nothing
  });
}

}  // namespace
}  // namespace tachy
