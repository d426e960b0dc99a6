// The Display Properties tab: a property page on template 501 whose dialog
// procedure hands the page's messages to PageModel.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include "page/page_model.h"

namespace tachy {

constexpr int kPageTemplateId = 501;
constexpr int kTabTitleBytes = 64;

class CVDPropPage final : public PageModel, private PageView {
 public:
  // A page object holds one count on the module while it exists, so the
  // module stays loaded while the sheet may still call into it.
  CVDPropPage();
  ~CVDPropPage();

  // The description handed to CreatePropertySheetPageA: template 501 of the
  // module, the page's dialog procedure, lParam = this, and a release
  // callback that deletes the page object when the sheet is done with it.
  PROPSHEETPAGEA* Description() { return &sheetPage_; }
  char* Title() { return title_; }
  HWND Window() const { return window_; }

 private:
  static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam,
                                     LPARAM lParam);
  static UINT CALLBACK PageCallback(HWND window, UINT message,
                                    PROPSHEETPAGEA* page);
  INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

  // PageView
  intptr_t SendTrackbar(uint32_t message, uintptr_t wParam,
                        intptr_t lParam) override;
  int32_t GetCheck(int id) override;
  void SetCheck(int id, int32_t state) override;
  void Enable(int id, bool enable) override;
  void SetUnsigned(int id, uint32_t value) override;
  void SetSigned(int id, int32_t value) override;
  void SetText(int id, const char* text) override;
  void NotifySheet(bool modified) override;
  int LoadText(int32_t id, char* buffer, int size) override;
  void MoveControls(const ControlLayoutRow* table, int rows) override;
  void SetVersionLine(const char* prefix, const char* suffix) override;
  bool CursorOver(int id) override;
  void ShowMessage(const char* text, const char* caption,
                   uint32_t type) override;
  void RunRefreshRates() override;
  WindowHandle Owner() override;

  HWND window_ = nullptr;
  PROPSHEETPAGEA sheetPage_;
  char title_[kTabTitleBytes] = {};
};

// Writes prefix, the module's file version as "major.minor" and suffix into
// `control`. Either text may be null. An unreadable version shows "0.0";
// an unknown module file leaves the line empty.
void SetVersionLine(HINSTANCE instance, HWND control, const char* prefix,
                    const char* suffix);

// The file version of `path`: true and both words on success.
bool ReadModuleVersion(const char* path, DWORD* mostSignificant,
                       DWORD* leastSignificant);

}  // namespace tachy
