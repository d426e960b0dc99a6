// TACHINST.EXE start-up: language, single instance, hidden main window, the
// page module beside the program, platform and options, then one dialog
// flow. The program runs no message loop of its own; the dialogs' modal
// loops serve its windows.
#include <windows.h>

#include "installer/actions.h"
#include "installer/installer_win.h"
#include "installer/options.h"
#include "installer/resource_ids.h"
#include "installer/startup.h"
#include "installer/strings.h"
#include "settings/win32registry_win.h"
#include "settings/win32system_win.h"

namespace tachy {

namespace {

InstallerState installerState;

class Win32DriveInfo : public DriveInfo {
 public:
  constexpr Win32DriveInfo() = default;
  uint32_t DriveType(const char* root) override { return GetDriveTypeA(root); }
};

}  // namespace

InstallerState& TheInstallerState() { return installerState; }

void LoadInstallerString(int32_t k, char* buf, int size) {
  InstallerState& s = installerState;
  if (LoadStringA(reinterpret_cast<HINSTANCE>(s.instance),
                  static_cast<UINT>(s.language.stringBase + k), buf, size) <= 0 &&
      size > 0) {
    buf[0] = 0;
  }
}

LRESULT CALLBACK WndProc(HWND window, UINT message, WPARAM wParam,
                         LPARAM lParam) {
  switch (message) {
    case WM_CLOSE:
      DestroyWindow(window);
      return 0;
    case WM_COMMAND:
      if (wParam == IDM_FILE_EXIT) {
        PostMessageA(window, WM_CLOSE, 0, 0);
        return 0;
      }
      break;
    case WM_PAINT: {
      PAINTSTRUCT paint;
      BeginPaint(window, &paint);
      EndPaint(window, &paint);
      return 0;
    }
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

bool LocatePageModule(InstallerState* state, const char* fileName) {
  char* ownPath = state->InstallerPath;
  DWORD length = GetModuleFileNameA(reinterpret_cast<HINSTANCE>(state->instance),
                                    ownPath, sizeof state->InstallerPath);
  // 0 is failure; a full buffer means the path was cut.
  if (length == 0 || length >= sizeof state->InstallerPath) {
    ownPath[0] = 0;
    return false;
  }
  ownPath[length] = 0;
  if (!BuildPageModulePath(ownPath, fileName, state->PageModulePath,
                           sizeof state->PageModulePath)) {
    return false;
  }
  // Any path length the system takes, unlike OpenFile's 128 characters.
  DWORD attributes = GetFileAttributesA(state->PageModulePath);
  return attributes != INVALID_FILE_ATTRIBUTES &&
         !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace tachy

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
  using namespace tachy;
  InstallerState& s = installerState;
  InitInstallerState(&s);
  s.instance = reinterpret_cast<uintptr_t>(instance);
  SystemInfo& sys = SystemInformation();
  Registry& reg = SystemRegistry();

  // 1-2. Start-up language (FORCELANG or the system's), title, class name.
  SelectLanguage(&s, StartupLanguage(commandLine, SystemLanguage(sys)));
  LoadInstallerString(kStrWindowTitle, s.windowTitle, sizeof s.windowTitle);
  LoadInstallerString(kStrClassName, s.className, sizeof s.className);

  // 3. A running installer is brought to the front instead. Its main window
  // is never shown: what the user sees is its dialog, the main window's
  // last active popup (the main window itself when it shows none).
  HWND running = FindWindowA(s.className, s.windowTitle);
  if (running) {
    HWND shown = GetLastActivePopup(running);
    if (IsIconic(shown)) ShowWindow(shown, SW_RESTORE);
    SetForegroundWindow(shown);
    return 0;
  }

  // 4-5. The hidden main window, owner of every dialog.
  WNDCLASSA wc;
  wc.style = CS_HREDRAW | CS_VREDRAW;
  wc.lpfnWndProc = WndProc;
  wc.cbClsExtra = 0;
  wc.cbWndExtra = 0;
  wc.hInstance = instance;
  wc.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_TACHINST));
  wc.hCursor = LoadCursorA(NULL, IDC_ARROW);
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  wc.lpszMenuName = MAKEINTRESOURCEA(IDM_TACHINST);
  wc.lpszClassName = s.className;
  if (!RegisterClassA(&wc)) return kExitNoWindow;
  s.mainWindow = reinterpret_cast<uintptr_t>(
      CreateWindowExA(0, s.className, s.windowTitle, WS_OVERLAPPEDWINDOW, 200,
                      200, 275, 250, NULL, NULL, instance, NULL));

  // 6. The page module must lie beside the program.
  char text[512];
  LoadInstallerString(kStrPageModuleFile, text, sizeof text);
  if (!LocatePageModule(&s, text)) {
    LoadInstallerString(kStrModuleMissing, text, sizeof text);
    MessageBoxA(GetDesktopWindow(), text, s.windowTitle, MB_ICONERROR);
    return kExitNoModule;
  }

  // 7-11. Platform, FORCE options, adapters, limits, clamps; the own
  // version block for the version label and the Add/Remove Programs entry;
  // whether the own folder is on a disk that may be gone later.
  PrepareInstallerState(reg, sys, commandLine, &s);
  ReadOwnVersion(&s);
  Win32DriveInfo drives;
  CheckInstallSource(drives, &s);

  // 12. Install, or reinstall-or-remove.
  s.InstalledKeySet = DetectInstalledKeys(reg);
  Win32InstallerUi ui;
  return RunInstallerFlow(reg, &s, ui);
}
