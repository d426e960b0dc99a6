// A stand-in for the Display control panel: opens a modal "Display
// Properties" sheet with one empty page of its own followed by the pages of
// every property-sheet handler registered for the Display control panel,
// loaded through the shell's own extension-array functions and COM, as the
// control panel does. For developers (to look at the tab) and GUI tests.
//
//   standin [--device] [--start N] [--close-after MS]
//     --device        load the handlers of ...\Controls Folder\Device
//     --start N       page shown first (0 = the stand-in's own page;
//                     default: the first handler page, if any)
//     --close-after MS  press Cancel on the sheet after MS milliseconds
//
// Prints the number of handler pages, the tab the sheet is open on once it
// shows (sheet open on tab "Tachymark"), and the sheet's result. Exit code
// 1, with a line "standin: ..." saying why, when no handler added a page,
// the sheet could not be created (no usable display, for one) or it did not
// open on the page asked for.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "tools/standin/prop_ext_loader.h"

namespace {

UINT g_closeAfter = 0;
int g_shown = -1;  // the tab the sheet showed first
char g_shownTitle[64];

void CALLBACK CloseTimer(HWND sheet, UINT, UINT_PTR id, DWORD) {
  KillTimer(sheet, id);
  PostMessageA(sheet, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
}

// Runs once the sheet's message loop does, i.e. once it is on the screen.
void CALLBACK ShownTimer(HWND sheet, UINT, UINT_PTR id, DWORD) {
  KillTimer(sheet, id);
  HWND tabs = reinterpret_cast<HWND>(SendMessageA(sheet, PSM_GETTABCONTROL, 0, 0));
  g_shown = static_cast<int>(SendMessageA(tabs, TCM_GETCURSEL, 0, 0));
  TCITEMA item = {};
  item.mask = TCIF_TEXT;
  item.pszText = g_shownTitle;
  item.cchTextMax = sizeof g_shownTitle;
  SendMessageA(tabs, TCM_GETITEMA, static_cast<WPARAM>(g_shown), reinterpret_cast<LPARAM>(&item));
  printf("sheet open on tab \"%s\"\n", g_shownTitle);
  fflush(stdout);
}

int CALLBACK SheetCallback(HWND sheet, UINT message, LPARAM) {
  if (message != PSCB_INITIALIZED) return 0;
  SetTimer(sheet, 2, 0, &ShownTimer);
  if (g_closeAfter) SetTimer(sheet, 1, g_closeAfter, &CloseTimer);
  return 0;
}

int Fail(const char* why) {
  fprintf(stderr, "standin: %s\n", why);
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  const wchar_t* key = standin::kDisplayKey;
  int start = -1;
  for (int i = 1; i < argc; ++i) {
    if (!strcmp(argv[i], "--device")) {
      key = standin::kDeviceKey;
    } else if (!strcmp(argv[i], "--start") && i + 1 < argc) {
      start = atoi(argv[++i]);
    } else if (!strcmp(argv[i], "--close-after") && i + 1 < argc) {
      g_closeAfter = static_cast<UINT>(atoi(argv[++i]));
    } else {
      fprintf(stderr, "usage: standin [--device] [--start N] [--close-after MS]\n");
      return 2;
    }
  }

  InitCommonControls();
  CoInitialize(nullptr);

  standin::OwnPage own("Settings");
  standin::HandlerPages handlers;
  const UINT added = handlers.Load(key);
  printf("handler pages: %u\n", added);
  fflush(stdout);
  if (added == 0)
    return Fail(key == standin::kDisplayKey
                    ? "no property-sheet handler of the Display control panel added a page "
                      "(is Tachymark installed?)"
                    : "no property-sheet handler of the Device control panel added a page");

  std::vector<HPROPSHEETPAGE> pages;
  pages.push_back(own.Create());
  pages.insert(pages.end(), handlers.pages.begin(), handlers.pages.end());
  if (start < 0) start = handlers.pages.empty() ? 0 : 1;
  if (start >= static_cast<int>(pages.size())) start = 0;

  PROPSHEETHEADERA header = {};
  header.dwSize = PROPSHEETHEADERA_V1_SIZE;
  header.dwFlags = PSH_USECALLBACK;
  header.hwndParent = nullptr;
  header.hInstance = GetModuleHandleA(nullptr);
  header.pszCaption = "Display Properties";
  header.nPages = static_cast<UINT>(pages.size());
  header.nStartPage = static_cast<UINT>(start);
  header.phpage = pages.data();
  header.pfnCallback = &SheetCallback;
  const INT_PTR result = PropertySheetA(&header);
  printf("sheet result: %ld\n", static_cast<long>(result));
  fflush(stdout);

  handlers.Release();
  CoUninitialize();
  if (result < 0 || g_shown < 0)
    return Fail("the Display Properties sheet could not be opened (is the X display usable?)");
  if (g_shown != start) {
    char why[160];
    snprintf(why, sizeof why,
             "the sheet opened on tab %d \"%s\", not on tab %d: a page did not load", g_shown,
             g_shownTitle, start);
    return Fail(why);
  }
  return 0;
}
