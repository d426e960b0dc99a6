// Loads the property-sheet handlers registered for a Control Panel applet
// the way the Display control panel does: through the shell's own
// SHCreatePropSheetExtArray / SHAddFromPropSheetExtArray, which read
// <key>\shellex\PropertySheetHandlers, create each handler with COM and call
// its AddPages. Header-only: shared by the stand-in and the Wine tests.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <vector>

namespace standin {

// HKEY_LOCAL_MACHINE keys of the Display control panel.
constexpr wchar_t kDisplayKey[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Controls Folder\\Display";
constexpr wchar_t kDeviceKey[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Controls Folder\\Device";

typedef HPSXA(WINAPI* CreateArrayFn)(HKEY, LPCWSTR, UINT);
typedef UINT(WINAPI* AddFromArrayFn)(HPSXA, LPFNADDPROPSHEETPAGE, LPARAM);
typedef void(WINAPI* DestroyArrayFn)(HPSXA);

// Older shell32 versions export these by ordinal only. Handed back as the
// generic function type, which casts to the real one without a warning.
typedef void (*AnyFunction)();
inline AnyFunction ShellFunction(const char* name, WORD ordinal) {
  HMODULE shell = GetModuleHandleA("shell32.dll");
  if (!shell) shell = LoadLibraryA("shell32.dll");
  if (!shell) return nullptr;
  FARPROC f = GetProcAddress(shell, name);
  if (!f) f = GetProcAddress(shell, MAKEINTRESOURCEA(ordinal));
  return reinterpret_cast<AnyFunction>(f);
}

class HandlerPages {
 public:
  HandlerPages() = default;
  HandlerPages(const HandlerPages&) = delete;
  HandlerPages& operator=(const HandlerPages&) = delete;
  ~HandlerPages() { Release(); }

  // Creates the handlers registered under HKLM\<key> and collects the pages
  // they add. Returns the number of pages.
  UINT Load(const wchar_t* key = kDisplayKey, UINT maxHandlers = 16) {
    auto create = reinterpret_cast<CreateArrayFn>(
        ShellFunction("SHCreatePropSheetExtArray", 168));
    auto add = reinterpret_cast<AddFromArrayFn>(
        ShellFunction("SHAddFromPropSheetExtArray", 167));
    if (!create || !add) return 0;
    array_ = create(HKEY_LOCAL_MACHINE, key, maxHandlers);
    if (!array_) return 0;
    return add(array_, &HandlerPages::AddPage, reinterpret_cast<LPARAM>(this));
  }

  // Releases the handler objects (the pages keep what they need).
  void Release() {
    if (!array_) return;
    auto destroy = reinterpret_cast<DestroyArrayFn>(
        ShellFunction("SHDestroyPropSheetExtArray", 169));
    if (destroy) destroy(array_);
    array_ = nullptr;
  }

  std::vector<HPROPSHEETPAGE> pages;
  // When set, the add-page function refuses every page (as a full sheet
  // would).
  bool refuse = false;

 private:
  static BOOL CALLBACK AddPage(HPROPSHEETPAGE page, LPARAM lParam) {
    HandlerPages* self = reinterpret_cast<HandlerPages*>(lParam);
    if (self->refuse) return FALSE;
    self->pages.push_back(page);
    return TRUE;
  }

  HPSXA array_ = nullptr;
};

// An empty page of the stand-in's own, titled `title`, built from an
// in-memory template (so a sheet opens even without any handler).
class OwnPage {
 public:
  explicit OwnPage(const char* title) : title_(title) {
    DLGTEMPLATE* t = reinterpret_cast<DLGTEMPLATE*>(buffer_);
    t->style = WS_CHILD | WS_CAPTION | DS_SETFONT;
    t->cx = 253;
    t->cy = 226;
    WORD* p = reinterpret_cast<WORD*>(t + 1);
    *p++ = 0;  // no menu
    *p++ = 0;  // default class
    *p++ = 0;  // no caption
    *p++ = 8;  // font size
    for (const char* f = "MS Sans Serif"; *f; ++f) *p++ = static_cast<WORD>(*f);
    *p++ = 0;
  }
  HPROPSHEETPAGE Create() {
    PROPSHEETPAGEA psp = {};
    psp.dwSize = PROPSHEETPAGEA_V1_SIZE;
    psp.dwFlags = PSP_DLGINDIRECT | PSP_USETITLE;
    psp.pResource = reinterpret_cast<DLGTEMPLATE*>(buffer_);
    psp.pfnDlgProc = &OwnPage::Proc;
    psp.pszTitle = title_;
    return CreatePropertySheetPageA(&psp);
  }

 private:
  static INT_PTR CALLBACK Proc(HWND, UINT message, WPARAM, LPARAM) {
    return message == WM_INITDIALOG;
  }
  alignas(4) unsigned char buffer_[128] = {};
  const char* title_;
};

}  // namespace standin
