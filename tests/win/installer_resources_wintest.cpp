// The resources of TACHINST.EXE as the program carries them, its string
// table read in both the wide and the ANSI form.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <ostream>
#include <string>
#include <vector>

#include "gui.h"

namespace tachy {
namespace insttest {
namespace {

std::string InstallerExe() {
  const char* exe = std::getenv("TACHY_INST_EXE");
  return exe ? exe : "";
}

class InstallerResources : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(module_) << "cannot load " << InstallerExe(); }
  ~InstallerResources() override {
    if (module_) FreeLibrary(module_);
  }
  HMODULE module_ = LoadLibraryExA(InstallerExe().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
};

std::wstring LoadW(HMODULE m, UINT id) {
  wchar_t buf[1024] = {};
  int n = LoadStringW(m, id, buf, 1024);
  return std::wstring(buf, n > 0 ? n : 0);
}
std::string LoadA(HMODULE m, UINT id) {
  char buf[1024] = {};
  int n = LoadStringA(m, id, buf, sizeof buf);
  return std::string(buf, n > 0 ? n : 0);
}

TEST_F(InstallerResources, StringTableBlocksAndEncoding) {
  // 105 strings in three blocks of 35, then the nine failure messages.
  for (UINT id = 1; id <= 114; ++id) EXPECT_FALSE(LoadW(module_, id).empty()) << id;
  EXPECT_TRUE(LoadW(module_, 0).empty());
  EXPECT_TRUE(LoadW(module_, 115).empty());
  // Indexes whose text is the same in every language.
  for (UINT k : {1u, 2u, 3u, 5u, 6u, 7u, 11u, 13u, 17u, 19u, 22u, 23u, 24u, 28u, 31u, 34u,
                 35u}) {
    EXPECT_EQ(LoadW(module_, 35 + k), LoadW(module_, k)) << k;
    EXPECT_EQ(LoadW(module_, 70 + k), LoadW(module_, k)) << k;
  }
  for (UINT base : {0u, 35u, 70u}) {
    for (UINT k : {22u, 23u, 28u, 34u, 35u}) EXPECT_EQ(LoadW(module_, base + k), L"Not Used");
    EXPECT_EQ(LoadW(module_, base + 1), L"Tachy_class");
    EXPECT_EQ(LoadW(module_, base + 17), L"TACHPAGE.DLL");
  }
  EXPECT_EQ(LoadW(module_, 11), L"Version ");
  EXPECT_EQ(LoadW(module_, 12), L" English");
  EXPECT_EQ(LoadW(module_, 62), L" ");  // French line 3: a single blank
  // Every text survives the round trip to the ANSI code page unchanged:
  // no replacement characters and no doubly decoded UTF-8.
  for (UINT id = 1; id <= 114; ++id) {
    std::wstring w = LoadW(module_, id);
    for (wchar_t ch : w) {
      EXPECT_NE(ch, 0xFFFD) << id;
      EXPECT_NE(ch, 0x00C3) << id;  // the lead byte of UTF-8 read as cp1252
    }
    char expected[1024] = {};
    WideCharToMultiByte(CP_ACP, 0, w.c_str(), -1, expected, sizeof expected, nullptr, nullptr);
    EXPECT_EQ(LoadA(module_, id), expected) << id;
  }
  // The accented texts as the program reads them (LoadStringA, cp1252).
  if (GetACP() == 1252) {
    struct Case {
      UINT id;
      const char* text;
    } cases[] = {
        {39, "Choisissez votre mod\xe8le"},
        {45, "Installer dans la page de propri\xe9t\xe9s avanc\xe9" "es"},
        {47, " Fran\xe7" "ais"},
        {55, "Le Tachymark a \xe9t\xe9"},
        {60, "Le Tachymark est d\xe9j\xe0 install\xe9."},
        {64, "R\xe9&installer"},
        {86, "Sie m\xfcssen ein Voodoo3 Karte haben"},
        {96, "installiert auf Ihrem System. M\xf6" "chten Sie"},
        {110, "Die Installation konnte nicht abgeschlossen werden.\n\nDie Registrierung hat "
              "eine \xc4nderung abgelehnt. M\xf6glicherweise sind Administratorrechte "
              "erforderlich: starten Sie das Installationsprogramm als Administrator neu."},
    };
    for (const Case& c : cases) EXPECT_EQ(LoadA(module_, c.id), c.text) << c.id;
  }
  EXPECT_EQ(LoadW(module_, 18),
            L"Install Aborted\n\nTACHPAGE.DLL NOT FOUND: The Tachpage.dll must be in the same "
            L"directory as the Tachinst.exe file for installation to complete.");
}

struct Control {
  int id;
  std::wstring cls;
  DWORD style;
  short x, y, cx, cy;
  bool operator==(const Control& o) const {
    return id == o.id && cls == o.cls && style == o.style && x == o.x && y == o.y &&
           cx == o.cx && cy == o.cy;
  }
};
void PrintTo(const Control& c, std::ostream* os) {
  *os << c.id << " " << gui::Utf8(c.cls) << " style 0x" << std::hex << c.style << std::dec
      << " at " << c.x << "," << c.y << " size " << c.cx << "x" << c.cy;
}
struct Template {
  DWORD style, exStyle;
  short cx, cy;
  std::wstring font;
  WORD pointSize;
  std::vector<Control> controls;
};

// A name or ordinal of a template (class names: the predefined ordinals).
const WORD* ReadText(const WORD* p, std::wstring* out) {
  out->clear();
  if (*p == 0xFFFF) {
    *out = p[1] == 0x80 ? L"button" : p[1] == 0x82 ? L"static" : L"#" + std::to_wstring(p[1]);
    return p + 2;
  }
  while (*p) out->push_back(static_cast<wchar_t>(*p++));
  return p + 1;
}

bool ParseTemplate(HMODULE m, int id, Template* t) {
  HRSRC res = FindResourceA(m, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(5) /* RT_DIALOG */);
  if (!res) return false;
  const DLGTEMPLATE* d = static_cast<const DLGTEMPLATE*>(LockResource(LoadResource(m, res)));
  *t = {d->style, d->dwExtendedStyle, d->cx, d->cy, L"", 0, {}};
  const WORD* p = reinterpret_cast<const WORD*>(d + 1);
  std::wstring text;
  for (int i = 0; i < 3; ++i) p = ReadText(p, &text);  // menu, class, caption
  if (d->style & DS_SETFONT) {
    t->pointSize = *p++;
    p = ReadText(p, &t->font);
  }
  for (int i = 0; i < d->cdit; ++i) {
    const auto* item = reinterpret_cast<const DLGITEMTEMPLATE*>(
        (reinterpret_cast<uintptr_t>(p) + 3) & ~uintptr_t(3));
    EXPECT_EQ(item->dwExtendedStyle, 0u) << id << "/" << item->id;
    Control c = {item->id, L"", item->style, item->x, item->y, item->cx, item->cy};
    p = ReadText(reinterpret_cast<const WORD*>(item + 1), &c.cls);
    for (wchar_t& ch : c.cls) ch = static_cast<wchar_t>(towlower(ch));
    p = ReadText(p, &text);  // the title
    p = reinterpret_cast<const WORD*>(reinterpret_cast<const BYTE*>(p + 1) + *p);
    t->controls.push_back(c);
  }
  return true;
}

TEST_F(InstallerResources, DialogTemplates) {
  const DWORD dialogStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT;
  struct Expected {
    int id;
    short cx, cy;
    std::vector<Control> controls;
  } expected[] = {
      {503, 187, 111,
       {{1, L"button", BS_DEFPUSHBUTTON | WS_GROUP | WS_TABSTOP, 121, 26, 52, 14},
        {1008, L"button", BS_GROUPBOX, 8, 4, 99, 63},
        {1003, L"button", BS_AUTORADIOBUTTON | WS_GROUP | WS_TABSTOP, 16, 16, 70, 10},
        {1002, L"button", BS_AUTORADIOBUTTON, 16, 27, 70, 10},
        {1001, L"button", BS_AUTORADIOBUTTON, 16, 38, 70, 10},
        {1000, L"button", BS_AUTORADIOBUTTON, 16, 49, 70, 10},
        {1005, L"button", BS_GROUPBOX, 8, 74, 171, 30},
        {1004, L"button", BS_CHECKBOX | WS_GROUP | WS_TABSTOP, 16, 86, 160, 10},
        {2, L"button", BS_PUSHBUTTON | WS_GROUP | WS_TABSTOP, 121, 43, 52, 14},
        {1013, L"static", SS_CENTER | SS_CENTERIMAGE | WS_GROUP, 111, 12, 72, 10}}},
      {504, 185, 111,
       {{1012, L"static", SS_ETCHEDFRAME, 14, 13, 156, 62},
        {1009, L"static", SS_CENTER | WS_GROUP, 23, 30, 138, 10},
        {1010, L"static", SS_CENTER | WS_GROUP, 23, 40, 138, 10},
        {1011, L"static", SS_CENTER | WS_GROUP, 23, 50, 138, 10},
        {2, L"button", BS_DEFPUSHBUTTON | WS_GROUP | WS_TABSTOP, 121, 86, 50, 14},
        {1006, L"button", BS_PUSHBUTTON | WS_GROUP | WS_TABSTOP, 13, 86, 50, 14},
        {1007, L"button", BS_PUSHBUTTON | WS_GROUP | WS_TABSTOP, 67, 86, 50, 14}}},
      {505, 185, 111,
       {{1, L"button", BS_DEFPUSHBUTTON | WS_TABSTOP, 67, 86, 50, 14},
        {1019, L"static", SS_ETCHEDFRAME, 14, 13, 156, 62},
        {1015, L"static", SS_CENTER | WS_GROUP, 23, 35, 138, 10},
        {1016, L"static", SS_CENTER | WS_GROUP, 23, 45, 138, 10}}},
      {506, 185, 111,
       {{1, L"button", BS_DEFPUSHBUTTON | WS_TABSTOP, 67, 86, 50, 14},
        {1014, L"static", SS_ETCHEDFRAME, 14, 13, 156, 62},
        {1017, L"static", SS_CENTER | WS_GROUP, 23, 35, 138, 10},
        {1018, L"static", SS_CENTER | WS_GROUP, 23, 45, 138, 10}}},
  };
  for (const Expected& e : expected) {
    SCOPED_TRACE(e.id);
    Template t;
    ASSERT_TRUE(ParseTemplate(module_, e.id, &t));
    EXPECT_EQ(t.style, dialogStyle);
    EXPECT_EQ(t.exStyle, 0u);
    EXPECT_EQ(t.cx, e.cx);
    EXPECT_EQ(t.cy, e.cy);
    EXPECT_EQ(t.font, L"MS Sans Serif");
    EXPECT_EQ(t.pointSize, 8);
    std::vector<Control> want = e.controls;
    for (Control& c : want) c.style |= WS_CHILD | WS_VISIBLE;
    EXPECT_EQ(t.controls, want);
  }
}

TEST_F(InstallerResources, IconMenuAndVersion) {
  // Icon 501: one 32 x 32 image with 16 colours.
  HRSRC res = FindResourceA(module_, MAKEINTRESOURCEA(501), MAKEINTRESOURCEA(14));
  ASSERT_TRUE(res);
  const BYTE* dir = static_cast<const BYTE*>(LockResource(LoadResource(module_, res)));
  const WORD* header = reinterpret_cast<const WORD*>(dir);
  EXPECT_EQ(header[1], 1);  // icon
  ASSERT_EQ(header[2], 1);  // one image
  const BYTE* entry = dir + 6;
  EXPECT_EQ(std::vector<int>(entry, entry + 3), std::vector<int>({32, 32, 16}));  // 16 colours
  EXPECT_EQ(*reinterpret_cast<const WORD*>(entry + 6), 4);  // bits per pixel

  // Menu 502: File, Exit (40001).
  HMENU menu = LoadMenuA(module_, MAKEINTRESOURCEA(502));
  ASSERT_TRUE(menu);
  EXPECT_EQ(GetMenuItemCount(menu), 1);
  char text[64];
  GetMenuStringA(menu, 0, text, sizeof text, MF_BYPOSITION);
  EXPECT_STREQ(text, "&File");
  HMENU file = GetSubMenu(menu, 0);
  ASSERT_TRUE(file);
  EXPECT_EQ(GetMenuItemCount(file), 1);
  EXPECT_EQ(GetMenuItemID(file, 0), 40001u);
  GetMenuStringA(file, 0, text, sizeof text, MF_BYPOSITION);
  EXPECT_STREQ(text, "&Exit");
  DestroyMenu(menu);

  // Version 3.2.0.0, file and product.
  DWORD unused;
  DWORD size = GetFileVersionInfoSizeA(InstallerExe().c_str(), &unused);
  ASSERT_GT(size, 0u);
  std::vector<BYTE> block(size);
  ASSERT_TRUE(GetFileVersionInfoA(InstallerExe().c_str(), 0, size, block.data()));
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT len = 0;
  ASSERT_TRUE(VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &len));
  EXPECT_EQ(std::vector<DWORD>({fixed->dwFileVersionMS, fixed->dwFileVersionLS,
                                 fixed->dwProductVersionMS, fixed->dwProductVersionLS}),
            std::vector<DWORD>({0x00030002u, 0u, 0x00030002u, 0u}));
}

}  // namespace
}  // namespace insttest
}  // namespace tachy
