// What the settings page does in reaction to each action, independent of
// the window that shows it. The Windows page (CVDPropPage) derives from it
// and supplies the controls through PageView; tests supply a recording
// view and an in-memory registry.
#pragma once

#include <stdint.h>

#include "page/language.h"
#include "settings/driver_settings.h"
#include "settings/platform.h"
#include "settings/regapi.h"
#include "settings/sysapi.h"

namespace tachy {

// Control ids of template 501.
enum PageControlId : int {
  kIdClockTrackbar = 1001,
  kIdFactoryDefaults = 1002,
  kIdUpperLimitLabel = 1003,
  kIdLowerLimitLabel = 1004,
  kIdClockLabel = 1005,
  kIdGlideVsync = 1006,
  kIdD3DVsync = 1007,
  kIdModelLabel = 1008,
  kIdEnableClock = 1009,
  kIdMhzLabel = 1010,
  kIdRefreshRates = 1026,
  kIdRestartNote = 1027,
  kIdProductName = 1052,
  kIdAuthor = 1053,
  kIdVersionLine = 1054,
  kIdVsyncFrame = 1055,
  kIdClockFrame = 1056,
  kIdInstalledFor = 1057,
  kIdAboutFrame = 1058,
  kIdSettingsFrame = 1062,
};

// Trackbar messages the page sends (WM_USER based).
constexpr uint32_t kTbmGetPos = 0x0400;
constexpr uint32_t kTbmSetPos = 0x0405;
constexpr uint32_t kTbmSetRangeMin = 0x0407;
constexpr uint32_t kTbmSetRangeMax = 0x0408;
constexpr uint32_t kTbmClearTics = 0x0409;
constexpr uint32_t kTbmSetTicFreq = 0x0414;

// Key flags of WM_RBUTTONDOWN.
constexpr uint32_t kMkLButton = 0x0001;
constexpr uint32_t kMkShift = 0x0004;
constexpr uint32_t kMkControl = 0x0008;

extern const char kCreditsText[];
extern const char kCreditsCaption[];  // "Tachymark"

// The page's window as the model sees it.
class PageView {
 public:
  virtual intptr_t SendTrackbar(uint32_t message, uintptr_t wParam,
                                intptr_t lParam) = 0;
  virtual int32_t GetCheck(int id) = 0;                 // BM_GETCHECK
  virtual void SetCheck(int id, int32_t state) = 0;     // BM_SETCHECK
  virtual void Enable(int id, bool enable) = 0;         // EnableWindow
  virtual void SetUnsigned(int id, uint32_t value) = 0; // SetDlgItemInt, unsigned
  virtual void SetSigned(int id, int32_t value) = 0;    // decimal text
  virtual void SetText(int id, const char* text) = 0;   // SetDlgItemTextA
  // PSM_CHANGED (true) or PSM_UNCHANGED (false) to the sheet.
  virtual void NotifySheet(bool modified) = 0;
  // LoadStringA with the module's own instance.
  virtual int LoadText(int32_t id, char* buffer, int size) = 0;
  // ApplyLayout on the page window.
  virtual void MoveControls(const ControlLayoutRow* table, int rows) = 0;
  // SetVersionLine with the module instance and control 1054.
  virtual void SetVersionLine(const char* prefix, const char* suffix) = 0;
  // Whether the cursor (GetCursorPos) lies in the control's window rectangle.
  virtual bool CursorOver(int id) = 0;
  // A message box owned by the page, MB_OK.
  virtual void ShowMessage(const char* text, const char* caption,
                           uint32_t type) = 0;
  virtual void RunRefreshRates() = 0;
  // The page window, as owner of the limit messages.
  virtual WindowHandle Owner() = 0;

 protected:
  ~PageView() = default;
};

// The services the page calls into besides its window.
struct PageServices {
  Registry* registry;
  SystemInfo* system;
  MessageSink* messages;  // the two limit messages while loading
};

class PageModel {
 public:
  int32_t forceNT4 = 0;
  int32_t forceNT5 = 0;
  PlatformKind platformKind = kPlatform9x;
  int32_t modifiedSent = 0;
  // glideVsyncOff, d3dVsyncOff, enableClock, the limits, the clocks, model.
  DriverSettings settings = {};
  LanguageState language = {};
  AdapterList adapters = {};
  char textBuffer[512] = {};
  char suffixBuffer[512] = {};

  PageModel(PageView* view, const PageServices& services)
      : view_(view), services_(services) {}

  // The page's dialog initialisation, after the window's own.
  void OnInitDialog();
  // A horizontal scroll notification; `fromTrackbar` when the scroll bar
  // is trackbar 1001.
  void OnHScroll(bool fromTrackbar);
  void OnGlideVsync();
  void OnD3DVsync();
  void OnEnableClock();
  void OnFactoryDefaults();
  void OnRefreshRates();
  // The sheet applies. Returns false when a change the user made could not
  // be written in full: the user has been told, the page stays modified,
  // and the sheet must not close over the unsaved settings. A page left
  // untouched since it opened or since its last successful Apply never fails.
  bool OnApply();
  // The sheet is cancelled (reset).
  void OnCancel();
  // WM_RBUTTONDOWN with its key flags: the credits and language gestures.
  void OnRButtonDown(uint32_t keyFlags);

  void MarkModified();
  void ClearModified();
  void RefreshClockControls();
  // Picks the language, moves the controls and sets every text.
  bool ApplyLanguage();

 private:
  SettingsContext Context();
  void ToggleBox(int id, int32_t* flag);
  // "The settings could not be saved ..." in the page's language.
  void ShowNotSaved();

  PageView* view_;
  PageServices services_;
};

// The page's language application (called at dialog initialisation and by
// the language gesture). Returns TRUE.
int ApplyPageLanguage(PageModel* page);

}  // namespace tachy
