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
// Prints the number of handler pages and the sheet's result.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "tools/standin/prop_ext_loader.h"

namespace {

UINT g_closeAfter = 0;

void CALLBACK CloseTimer(HWND sheet, UINT, UINT_PTR id, DWORD) {
  KillTimer(sheet, id);
  PostMessageA(sheet, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
}

int CALLBACK SheetCallback(HWND sheet, UINT message, LPARAM) {
  if (message == PSCB_INITIALIZED && g_closeAfter)
    SetTimer(sheet, 1, g_closeAfter, &CloseTimer);
  return 0;
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

  handlers.Release();
  CoUninitialize();
  return 0;
}
