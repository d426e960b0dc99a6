// What the Tachymark tab adds to opening the Display Properties sheet.
//
// Opens a modeless property sheet the way the stand-in does, alternately
//   D: with one empty page of its own (253 x 226 dialog units in "MS Sans
//      Serif" 8, like every page of the sheet and template 501) shown
//      first and the pages of the handlers registered for the Display
//      control panel (the Tachymark tab) behind it, created through
//      SHCreatePropSheetExtArray, COM and AddPages: the sheet as Display
//      Properties opens it, on its own first page (the tab's dialog is made
//      when the user clicks the tab);
//   B: the same sheet with only the empty page;
//   A: with the handler pages alone, started on the tab, so that the tab's
//      dialog is made as the sheet opens;
//   C: with a page on the tab's dialog template 501 and a dialog procedure
//      that does nothing (what the controls alone cost);
// waits until the current page's dialog exists, and closes the sheet. Each
// open is timed with QueryPerformanceCounter; after a few warm-up rounds it
// prints the medians and the ratios D/B (the opening budget: what the tab
// adds to opening the sheet), A/C (what the page's own code adds to its
// dialog) and A/B (the tab shown first, which template 501's controls alone
// put at C/B), for the open alone and for the whole open-and-close cycle,
// and the first open of A (which loads the module).
//
//   sheetbench [--rounds N] [--warmup N] [--register DLLPATH] [--profile]
//              [--diagnose] [--only VARIANT]
//     --register   writes the handler and class keys for DLLPATH and a
//                  typical product key and Voodoo3 adapter first, and
//                  removes them again at the end (for a scratch prefix)
//     --profile    also times the pieces of the page's initialisation (the
//                  page's own code, linked in) on a page of template 501,
//                  and the platform calls underneath them
//     --diagnose   also opens pages on template 501 with only some of its
//                  controls (without the trackbar, the trackbar alone, the
//                  static labels alone, the buttons and frames alone) and
//                  the empty page in the system font, with the spread of
//                  every variant
//     --only       opens only variant VARIANT (0 tab, 1 empty page,
//                  2 template 501, 3 tab behind the empty page, ...), for
//                  traces
//
// Exit code 0 when every open showed the page, 1 otherwise.
#include <windows.h>
#include <commctrl.h>
#include <shlwapi.h>

#include <algorithm>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <vector>

#include "page/language.h"
#include "page/layout_win.h"
#include "page/page_win.h"
#include "settings/driver_settings.h"
#include "settings/platform.h"
#include "settings/win32registry_win.h"
#include "settings/win32system_win.h"
#include "tools/standin/prop_ext_loader.h"

namespace {

const char kClsid[] = "{7A41C3E2-5B19-11d2-A4C7-0060B0D4E91F}";
const char kHandlerKey[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Controls Folder\\Display"
    "\\Shellex\\PropertySheetHandlers\\Tachymark";
const char kProductKey[] = "Software\\Tachymark";
const char kAdapterKey[] = "System\\CurrentControlSet\\Services\\Class\\Display\\0000";

LARGE_INTEGER g_frequency;

double Now() {
  LARGE_INTEGER t;
  QueryPerformanceCounter(&t);
  return static_cast<double>(t.QuadPart) * 1000.0 /
         static_cast<double>(g_frequency.QuadPart);
}

bool SetText(HKEY root, const char* key, const char* name, const char* text) {
  HKEY h;
  if (RegCreateKeyExA(root, key, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &h,
                      nullptr) != ERROR_SUCCESS)
    return false;
  LONG r = RegSetValueExA(h, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                          static_cast<DWORD>(strlen(text) + 1));
  RegCloseKey(h);
  return r == ERROR_SUCCESS;
}

void Unregister() {
  char clsidKey[128];
  wsprintfA(clsidKey, "CLSID\\%s", kClsid);
  SHDeleteKeyA(HKEY_CLASSES_ROOT, clsidKey);
  SHDeleteKeyA(HKEY_LOCAL_MACHINE, kHandlerKey);
  SHDeleteKeyA(HKEY_LOCAL_MACHINE, kProductKey);
  SHDeleteKeyA(HKEY_LOCAL_MACHINE, kAdapterKey);
}

// The registration the installer writes, and what an installed Windows 98
// with one Voodoo3 3000 holds.
bool Register(const char* dllPath) {
  Unregister();
  char inproc[160];
  wsprintfA(inproc, "CLSID\\%s\\InProcServer32", kClsid);
  bool ok = SetText(HKEY_LOCAL_MACHINE, kHandlerKey, "", kClsid) &&
            SetText(HKEY_CLASSES_ROOT, inproc, "", dllPath) &&
            SetText(HKEY_CLASSES_ROOT, inproc, "ThreadingModel", "Apartment");
  const char* product[][2] = {
      {"LowerLimit", "120"}, {"UpperLimit", "220"}, {"Model", "Voodoo3 3000"},
      {"DefaultClock", "166"}, {"EnableClock", "1"}, {"ColorDepth", "8"},
      {"LinkAllColorDepths", "0"}};
  for (auto& v : product) ok = ok && SetText(HKEY_LOCAL_MACHINE, kProductKey, v[0], v[1]);
  char sub[160];
  ok = ok && SetText(HKEY_LOCAL_MACHINE, kAdapterKey, "DriverDesc", "3Dfx Voodoo3 3000 AGP");
  wsprintfA(sub, "%s\\DEFAULT", kAdapterKey);
  ok = ok && SetText(HKEY_LOCAL_MACHINE, sub, "Grxclock", "170");
  wsprintfA(sub, "%s\\Glide", kAdapterKey);
  ok = ok && SetText(HKEY_LOCAL_MACHINE, sub, "FX_GLIDE_SWAPINTERVAL", "0");
  wsprintfA(sub, "%s\\D3D", kAdapterKey);
  HKEY h;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, sub, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                      &h, nullptr) == ERROR_SUCCESS)
    RegCloseKey(h);
  return ok;
}

void Pump() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

struct Timing {
  double open;    // ms until the page's dialog exists
  double cycle;   // ms for open and close
  double load;    // ms for creating the handlers and their pages
  bool ok;
};

HMODULE g_pageModule;

// A copy of template 501 in memory that keeps only the controls `keep`
// accepts (diagnostics: which controls cost what).
typedef bool (*KeepFn)(const WORD* cls, WORD id);
const WORD* SkipSzOrOrd(const WORD* p) {
  if (*p == 0xFFFF) return p + 2;
  while (*p++) {}
  return p;
}
const BYTE* Align4(const BYTE* p, const BYTE* base) {
  return base + ((p - base + 3) & ~3);
}
alignas(4) BYTE g_filtered[4096];
DLGTEMPLATE* FilteredTemplate(KeepFn keep) {
  HRSRC res = FindResourceA(g_pageModule, MAKEINTRESOURCEA(501), (LPCSTR)RT_DIALOG);
  if (!res) return nullptr;
  const BYTE* src = static_cast<const BYTE*>(LockResource(LoadResource(g_pageModule, res)));
  const DLGTEMPLATE* t = reinterpret_cast<const DLGTEMPLATE*>(src);
  const WORD* p = reinterpret_cast<const WORD*>(t + 1);
  p = SkipSzOrOrd(p);  // menu
  p = SkipSzOrOrd(p);  // class
  p = SkipSzOrOrd(p);  // caption
  if (t->style & DS_SETFONT) p = SkipSzOrOrd(p + 1);
  const BYTE* item = Align4(reinterpret_cast<const BYTE*>(p), src);
  const size_t header = item - src;
  memcpy(g_filtered, src, header);
  BYTE* out = g_filtered + header;
  WORD kept = 0;
  for (int i = 0; i < t->cdit; ++i) {
    item = Align4(item, src);
    const DLGITEMTEMPLATE* it = reinterpret_cast<const DLGITEMTEMPLATE*>(item);
    const WORD* cls = reinterpret_cast<const WORD*>(it + 1);
    const WORD* q = SkipSzOrOrd(SkipSzOrOrd(cls));
    const BYTE* end = reinterpret_cast<const BYTE*>(q + 1) + *q;
    if (keep(cls, it->id)) {
      out = g_filtered + ((out - g_filtered + 3) & ~3);
      memcpy(out, item, end - item);
      out += end - item;
      ++kept;
    }
    item = end;
  }
  reinterpret_cast<DLGTEMPLATE*>(g_filtered)->cdit = kept;
  return reinterpret_cast<DLGTEMPLATE*>(g_filtered);
}

bool ClassIs(const WORD* cls, const char* name) {
  if (*cls == 0xFFFF) {
    const WORD atom = cls[1];
    return (atom == 0x80 && !lstrcmpiA(name, "BUTTON")) ||
           (atom == 0x82 && !lstrcmpiA(name, "STATIC"));
  }
  for (; *name; ++name, ++cls)
    if ((*cls | 0x20) != static_cast<WORD>(*name | 0x20)) return false;
  return *cls == 0;
}

enum Variant {
  kTab,        // the handler's page: the Tachymark tab, shown first
  kEmpty,      // one empty page
  kTemplate,   // the tab's dialog template 501 with a dialog procedure that
               // does nothing: what the controls alone cost
  kTabBehind,  // the empty page shown first and the Tachymark tab behind it
               // (Display Properties opens on its own first page)
  // Diagnostics (--diagnose): template 501 with only some of its controls
  // and a dialog procedure that does nothing.
  kNoTrackbar,    // every control but the trackbar
  kOnlyTrackbar,  // the trackbar alone
  kOnlyStatics,   // the ten static labels alone
  kOnlyButtons,   // the four group boxes, three check boxes, two buttons
  kEmptySystemFont,  // the empty page without DS_SETFONT (the system font):
                     // what looking up "MS Sans Serif" costs a dialog
  kVariants
};

const char* const kNames[kVariants] = {
    "tab",          "empty page",          "template page",
    "tab behind the empty page",           "501 without trackbar",
    "501 trackbar only", "501 statics only", "501 buttons only",
    "empty page, system font"};

bool KeepNoTrackbar(const WORD*, WORD id) { return id != 1001; }
bool KeepOnlyTrackbar(const WORD*, WORD id) { return id == 1001; }
bool KeepOnlyStatics(const WORD* cls, WORD) { return ClassIs(cls, "STATIC"); }
bool KeepOnlyButtons(const WORD* cls, WORD) { return ClassIs(cls, "BUTTON"); }

INT_PTR CALLBACK NullProc(HWND, UINT message, WPARAM, LPARAM) {
  return message == WM_INITDIALOG;
}

HPROPSHEETPAGE TemplatePage(const DLGTEMPLATE* indirect) {
  PROPSHEETPAGEA psp = {};
  psp.dwSize = PROPSHEETPAGEA_V1_SIZE;
  psp.dwFlags = PSP_USETITLE;
  psp.hInstance = g_pageModule;
  psp.pszTemplate = MAKEINTRESOURCEA(501);
  if (indirect) {
    psp.dwFlags |= PSP_DLGINDIRECT;
    psp.pResource = indirect;
  }
  psp.pfnDlgProc = &NullProc;
  psp.pszTitle = "Tachymark";
  return CreatePropertySheetPageA(&psp);
}

// The empty page's template (253 x 226 dialog units, like every page of the
// Display Properties sheet) without a font of its own.
alignas(4) WORD g_systemFontPage[32];
HPROPSHEETPAGE SystemFontPage() {
  DLGTEMPLATE* t = reinterpret_cast<DLGTEMPLATE*>(g_systemFontPage);
  memset(g_systemFontPage, 0, sizeof g_systemFontPage);
  t->style = WS_CHILD | WS_CAPTION;
  t->cx = 253;
  t->cy = 226;
  PROPSHEETPAGEA psp = {};
  psp.dwSize = PROPSHEETPAGEA_V1_SIZE;
  psp.dwFlags = PSP_DLGINDIRECT | PSP_USETITLE;
  psp.pResource = t;
  psp.pfnDlgProc = &NullProc;
  psp.pszTitle = "Settings";
  return CreatePropertySheetPageA(&psp);
}

// One open and close of the sheet.
Timing OpenOnce(Variant variant) {
  Timing t{0, 0, 0, false};
  const double start = Now();
  standin::HandlerPages handlers;
  standin::OwnPage own("Settings");
  std::vector<HPROPSHEETPAGE> pages;
  switch (variant) {
    case kTab:
      handlers.Load();
      pages = handlers.pages;
      break;
    case kEmpty:
      pages.push_back(own.Create());
      break;
    case kTabBehind:
      pages.push_back(own.Create());
      handlers.Load();
      if (handlers.pages.empty()) return t;
      pages.insert(pages.end(), handlers.pages.begin(), handlers.pages.end());
      break;
    case kTemplate: pages.push_back(TemplatePage(nullptr)); break;
    case kNoTrackbar: pages.push_back(TemplatePage(FilteredTemplate(&KeepNoTrackbar))); break;
    case kOnlyTrackbar: pages.push_back(TemplatePage(FilteredTemplate(&KeepOnlyTrackbar))); break;
    case kOnlyStatics: pages.push_back(TemplatePage(FilteredTemplate(&KeepOnlyStatics))); break;
    case kOnlyButtons: pages.push_back(TemplatePage(FilteredTemplate(&KeepOnlyButtons))); break;
    case kEmptySystemFont: pages.push_back(SystemFontPage()); break;
    default: return t;
  }
  t.load = Now() - start;
  if (pages.empty() || !pages[0]) return t;

  PROPSHEETHEADERA header = {};
  header.dwSize = PROPSHEETHEADERA_V1_SIZE;
  header.dwFlags = PSH_MODELESS;
  header.hInstance = GetModuleHandleA(nullptr);
  header.pszCaption = "Display Properties";
  header.nPages = static_cast<UINT>(pages.size());
  header.nStartPage = 0;
  header.phpage = pages.data();
  HWND sheet = reinterpret_cast<HWND>(PropertySheetA(&header));
  if (!sheet) return t;
  HWND page = nullptr;
  for (int spins = 0; spins < 100000 && !page; ++spins) {
    page = PropSheet_GetCurrentPageHwnd(sheet);
    if (!page) Pump();
  }
  t.open = Now() - start;
  // The tab is the one with the clock check box; the empty page has none.
  const bool wantTab = variant == kTab;
  const bool wantEmpty =
      variant == kEmpty || variant == kTabBehind || variant == kEmptySystemFont;
  HWND box = page ? GetDlgItem(page, 1009) : nullptr;
  t.ok = page != nullptr && (!wantTab || box) && (!wantEmpty || !box);
  // The tab behind the empty page is there, but its dialog not created.
  if (variant == kTabBehind)
    t.ok = t.ok && TabCtrl_GetItemCount(PropSheet_GetTabControl(sheet)) == 2;
  DestroyWindow(sheet);
  Pump();
  handlers.Release();
  t.cycle = Now() - start;
  return t;
}

double Median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  size_t n = v.size();
  return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// The pieces of the page's initialisation, each run on a page built on
// template 501 with the page's own code (linked in), median of `rounds`:
// what an opening spends where.
void Profile(int rounds) {
  if (!g_pageModule) return;
  HPROPSHEETPAGE hpage = TemplatePage(nullptr);
  PROPSHEETHEADERA header = {};
  header.dwSize = PROPSHEETHEADERA_V1_SIZE;
  header.dwFlags = PSH_MODELESS;
  header.pszCaption = "Display Properties";
  header.nPages = 1;
  header.phpage = &hpage;
  HWND sheet = reinterpret_cast<HWND>(PropertySheetA(&header));
  HWND page = sheet ? PropSheet_GetCurrentPageHwnd(sheet) : nullptr;
  if (!page) return;
  // The page's dialog initialisation runs before the sheet shows the page.
  ShowWindow(page, SW_HIDE);

  std::vector<double> reg, version, layout, texts, trackbar;
  std::vector<double> dlgItem, move, moveNoRepaint, mapRect, setText, loadString;
  tachy::Registry& registry = tachy::SystemRegistry();
  for (int i = 0; i < rounds; ++i) {
    double t0 = Now();
    int32_t f4 = 0, f5 = 0;
    tachy::PlatformKind kind =
        tachy::DetectPlatformKind(registry, tachy::SystemInformation(), &f4, &f5);
    tachy::AdapterList adapters;
    tachy::ClearAdapterList(&adapters);
    if (kind == tachy::kPlatform9x) tachy::BuildAdapterList(registry, &adapters);
    tachy::DriverSettings settings = {};
    tachy::SettingsContext ctx{&registry, &tachy::SystemMessages(),
                               reinterpret_cast<tachy::WindowHandle>(page), kind,
                               &adapters};
    tachy::LoadSettings(ctx, &settings);
    double t1 = Now();
    tachy::SetVersionLine(g_pageModule, GetDlgItem(page, 1054), "Version ", " English");
    double t2 = Now();
    // The page moves its controls only to another table than template 501's
    // own (the English one): time the French and German table.
    tachy::ApplyLayout(page, i % 2 ? tachy::kPageLayoutOther : tachy::kPageLayoutEnglish,
                       tachy::kPageLayoutRows);
    double t3 = Now();
    char text[512];
    static const int ids[] = {1026, 1062, 1055, 1006, 1007, 1056, 1009, 1005, 1010, 1004,
                              1027, 1003, 1057, 1008, 1058, 1052, 1053, 1002};
    int n = 1;
    for (int id : ids) {
      LoadStringA(g_pageModule, n++, text, sizeof text);
      SetDlgItemTextA(page, id, text);
    }
    double t4 = Now();
    HWND bar = GetDlgItem(page, 1001);
    SendMessageA(bar, TBM_CLEARTICS, 1, 0);
    SendMessageA(bar, TBM_SETTICFREQ, 2, 0);
    SendMessageA(bar, TBM_SETRANGEMIN, 1, 120);
    SendMessageA(bar, TBM_SETRANGEMAX, 1, 220);
    SendMessageA(bar, TBM_SETPOS, 1, 170);
    SetDlgItemInt(page, 1005, 170, FALSE);
    for (int id : {1001, 1005, 1010, 1004, 1003, 1027}) EnableWindow(GetDlgItem(page, id), TRUE);
    double t5 = Now();
    // The platform calls underneath, 20 of each.
    static const int rows[] = {1062, 1055, 1006, 1007, 1056, 1009, 1005, 1010, 1001, 1004,
                               1027, 1003, 1057, 1008, 1002, 1026, 1058, 1052, 1053, 1054};
    HWND controls[20];
    double u0 = Now();
    for (int r = 0; r < 20; ++r) controls[r] = GetDlgItem(page, rows[r]);
    double u1 = Now();
    RECT rects[20];
    for (int r = 0; r < 20; ++r) {
      SetRect(&rects[r], 10, 10, 50, 20);
      MapDialogRect(page, &rects[r]);
    }
    double u2 = Now();
    for (int r = 0; r < 20; ++r) {
      RECT w;
      GetWindowRect(controls[r], &w);
      MapWindowPoints(nullptr, page, reinterpret_cast<POINT*>(&w), 2);
      MoveWindow(controls[r], w.left, w.top, w.right - w.left, w.bottom - w.top, TRUE);
    }
    double u3 = Now();
    for (int r = 0; r < 20; ++r) {
      RECT w;
      GetWindowRect(controls[r], &w);
      MapWindowPoints(nullptr, page, reinterpret_cast<POINT*>(&w), 2);
      MoveWindow(controls[r], w.left, w.top, w.right - w.left, w.bottom - w.top, FALSE);
    }
    moveNoRepaint.push_back(Now() - u3);
    u3 = Now();
    for (int r = 0; r < 20; ++r) LoadStringA(g_pageModule, 2 + r % 18, text, sizeof text);
    double u4 = Now();
    for (int r = 0; r < 20; ++r) {
      LoadStringA(g_pageModule, 2 + r % 18, text, sizeof text);
      SetWindowTextA(controls[r], text);
    }
    double u5 = Now();
    dlgItem.push_back(u1 - u0);
    mapRect.push_back(u2 - u1);
    move.push_back(u3 - u2);
    loadString.push_back(u4 - u3);
    setText.push_back(u5 - u4);
    reg.push_back(t1 - t0);
    version.push_back(t2 - t1);
    layout.push_back(t3 - t2);
    texts.push_back(t4 - t3);
    trackbar.push_back(t5 - t4);
    Pump();
  }
  DestroyWindow(sheet);
  Pump();
  printf("sheet-bench: profile of the page's initialisation (medians): "
         "registry load (platform, adapters, settings) %.2f ms; version line %.2f ms; "
         "layout to the other table (20 MoveWindow; none in English) %.2f ms; 18 texts %.2f ms; trackbar and labels %.2f ms\n",
         Median(reg), Median(version), Median(layout), Median(texts), Median(trackbar));
  printf("sheet-bench: profile of the platform calls, 20 of each (medians): GetDlgItem "
         "%.2f ms; MapDialogRect %.2f ms; MoveWindow to the same place (with GetWindowRect) "
         "%.2f ms, without repainting %.2f ms; LoadStringA %.2f ms; SetWindowTextA (with "
         "LoadStringA) %.2f ms\n",
         Median(dlgItem), Median(mapRect), Median(move), Median(moveNoRepaint), Median(loadString), Median(setText));
}

DWORD WINAPI Watchdog(LPVOID) {
  Sleep(120000);
  fprintf(stderr, "sheetbench: no progress in 120 s (a message box?); giving up\n");
  ExitProcess(3);
}

}  // namespace

// The page's code linked in here loads its texts from TACHPAGE.DLL, as in
// the module.
namespace tachy {
HINSTANCE ModuleInstance() { return g_pageModule; }
}  // namespace tachy

int main(int argc, char** argv) {
  int rounds = 25, warmup = 3;
  bool profile = false, diagnose = false;
  int only = -1;
  const char* dll = nullptr;
  for (int i = 1; i < argc; ++i) {
    if (!strcmp(argv[i], "--rounds") && i + 1 < argc) {
      rounds = atoi(argv[++i]);
    } else if (!strcmp(argv[i], "--warmup") && i + 1 < argc) {
      warmup = atoi(argv[++i]);
    } else if (!strcmp(argv[i], "--profile")) {
      profile = true;
    } else if (!strcmp(argv[i], "--only") && i + 1 < argc) {
      only = atoi(argv[++i]);
    } else if (!strcmp(argv[i], "--diagnose")) {
      diagnose = true;
    } else if (!strcmp(argv[i], "--register") && i + 1 < argc) {
      dll = argv[++i];
    } else {
      fprintf(stderr, "usage: sheetbench [--rounds N] [--warmup N] [--register DLLPATH] [--profile] [--diagnose]\n");
      return 2;
    }
  }
  if (rounds < 1) rounds = 1;
  QueryPerformanceFrequency(&g_frequency);
  CreateThread(nullptr, 0, &Watchdog, nullptr, 0, nullptr);
  InitCommonControls();
  CoInitialize(nullptr);
  if (dll && !Register(dll)) {
    fprintf(stderr, "sheetbench: could not write the registration\n");
    return 1;
  }

  bool allOk = true;
  std::vector<double> open[kVariants], cycle[kVariants], load[kVariants];
  const int variants = diagnose || only >= 0 ? kVariants : kTabBehind + 1;
  double first = -1;
  for (int i = 0; i < warmup + rounds; ++i) {
    // Alternate which goes first, so that none always follows another.
    for (int k = 0; k < variants; ++k) {
      const Variant v = static_cast<Variant>((k + i) % variants);
      if (only >= 0 && v != only) continue;
      const bool fromModule = v == kTemplate || (v >= kNoTrackbar && v <= kOnlyButtons);
      if (fromModule && !g_pageModule) g_pageModule = GetModuleHandleA("TACHPAGE.DLL");
      if (fromModule && !g_pageModule) continue;
      Timing t = OpenOnce(v);
      if (!t.ok) {
        fprintf(stderr, "sheetbench: round %d: the %s did not show\n", i, kNames[v]);
        allOk = false;
      }
      if (v == kTab && first < 0) first = t.open;
      if (i < warmup) continue;
      open[v].push_back(t.open);
      cycle[v].push_back(t.cycle);
      load[v].push_back(t.load);
    }
  }
  if (profile) Profile(rounds);
  if (dll) Unregister();
  CoUninitialize();

  const double a = Median(open[kTab]), b = Median(open[kEmpty]);
  const double ca = Median(cycle[kTab]), cb = Median(cycle[kEmpty]);
  printf("sheet-bench: rounds %d each (after %d warm-up)\n", rounds, warmup);
  printf("sheet-bench: first open with the tab (loads the module): %.2f ms\n", first);
  printf("sheet-bench: open, median: with the tab %.2f ms, empty page %.2f ms\n", a, b);
  printf("sheet-bench: open and close, median: with the tab %.2f ms, empty page %.2f ms\n",
         ca, cb);
  if (!open[kTemplate].empty()) {
    printf("sheet-bench: where the time goes (medians): handler array, COM and AddPages "
           "%.2f ms; sheet with template 501 and a dialog procedure doing nothing %.2f ms "
           "(so the page's own initialisation adds about %.2f ms)\n",
           Median(load[kTab]), Median(open[kTemplate]),
           a - Median(load[kTab]) - Median(open[kTemplate]));
    printf("sheet-bench: ratio open, tab vs template 501 doing nothing %.3f "
           "(the page's code); template 501 vs empty page %.3f (the controls)\n",
           a / Median(open[kTemplate]), Median(open[kTemplate]) / b);
  }
  if (!open[kTabBehind].empty()) {
    const double c = Median(open[kTabBehind]);
    printf("sheet-bench: open, median: with the tab behind the empty page (the sheet "
           "opens on its first page; the tab's dialog is made when clicked) %.2f ms\n", c);
    printf("sheet-bench: ratio open, tab behind the empty page %.3f\n", b > 0 ? c / b : 0.0);
    const double cc = Median(cycle[kTabBehind]);
    printf("sheet-bench: ratio open+close, tab behind the empty page %.3f\n",
           cb > 0 ? cc / cb : 0.0);
  }
  if (diagnose) {
    for (int v = 0; v < kVariants; ++v) {
      std::vector<double> o = open[v];
      if (o.empty()) continue;
      std::sort(o.begin(), o.end());
      printf("sheet-bench: diagnose: %-26s min %6.2f  p25 %6.2f  median %6.2f  p75 %6.2f ms\n",
             kNames[v], o[0], o[o.size() / 4], Median(o), o[o.size() * 3 / 4]);
    }
    for (int v = kNoTrackbar; v < kVariants; ++v)
      if (!open[v].empty())
        printf("sheet-bench: diagnose: %s %.2f ms (%.2f ms over the empty page)\n",
               kNames[v], Median(open[v]), Median(open[v]) - b);
  }
  printf("sheet-bench: ratio open, tab shown first %.3f\n", b > 0 ? a / b : 0.0);
  printf("sheet-bench: ratio open+close, tab shown first %.3f\n", cb > 0 ? ca / cb : 0.0);
  fflush(stdout);
  return allOk ? 0 : 1;
}
