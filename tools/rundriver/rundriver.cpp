// What `make run` and `make screenshots` do inside Wine: drive the real
// TACHINST.EXE and the Display Properties stand-in with real mouse input
// (SendInput, so every click goes through hit testing and focus as a user's
// does), check what came of it, and save pictures of the windows as the
// screen shows them, frames included.
//
//   rundriver install TACHINST.EXE [--shots DIR] [--wait MS]
//       Voodoo3 3000, OK; Installed: OK; the installer must end and the
//       product key, the Display handler key and the class key must be
//       there. Pictures: installer-select-model.bmp, installer-installed.bmp
//   rundriver remove TACHINST.EXE [--shots DIR] [--wait MS]
//       Remove, OK; the product key must be gone. Pictures:
//       installer-reinstall-remove.bmp, installer-removed.bmp
//   rundriver show STANDIN.EXE --tab FILE.bmp --refresh FILE.bmp [--wait MS]
//       the sheet on the Tachymark tab (picture), Refresh Rates pressed, the
//       dialog with its offered rows and the 1024x768 list dropped down
//       (picture); then both are closed with Cancel.
//   rundriver fonts
//       Wine's Marlett font is there (the pictures' close boxes need it).
//
// Exit code 0 when everything happened, 1 with a line "run: ..." on stderr
// saying what did not. --wait is how long to wait for each window (30 s);
// a program that ends while it is awaited is reported at once.
#include <windows.h>

#include <commctrl.h>

#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <string>

namespace {

DWORD g_wait = 30000;
// How long a window is given to act on a click or key and to paint:
// 300 ms, times TACHY_TIME_FACTOR where Wine runs under QEMU user mode.
DWORD g_settle = 300;
void Settle() { Sleep(g_settle); }

int Fail(const std::string& what) {
  fprintf(stderr, "run: %s\n", what.c_str());
  return 1;
}

std::string LastError(const char* call) {
  const DWORD code = GetLastError();
  char text[256] = {};
  FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                 text, sizeof text, nullptr);
  std::string s = std::string(call) + " failed, error " + std::to_string(code);
  std::string t = text;
  while (!t.empty() && (t.back() == '\n' || t.back() == '\r' || t.back() == '.')) t.pop_back();
  return t.empty() ? s : s + ": " + t;
}

// --- Processes and windows.

struct Process {
  PROCESS_INFORMATION pi = {};
  bool Start(const std::string& exe) {
    std::string line = "\"" + exe + "\"";
    std::string folder = exe.substr(0, exe.find_last_of('\\'));
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    if (CreateProcessA(exe.c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr,
                       folder.c_str(), &si, &pi))
      return true;
    Fail("could not start " + exe + ": " + LastError("CreateProcess"));
    return false;
  }
  bool WaitExit(DWORD ms) const { return WaitForSingleObject(pi.hProcess, ms) == WAIT_OBJECT_0; }
  DWORD Code() const {
    DWORD code = 0;
    GetExitCodeProcess(pi.hProcess, &code);
    return code;
  }
  // "exit code 2"; crashes in hex ("exit code 0xC0000005").
  std::string ExitCode() const {
    char buf[40];
    snprintf(buf, sizeof buf, Code() > 0xFFFF ? "exit code 0x%08lX" : "exit code %lu",
             static_cast<unsigned long>(Code()));
    return buf;
  }
  ~Process() {
    if (!pi.hProcess) return;
    if (!WaitExit(0)) TerminateProcess(pi.hProcess, 99);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
  }
};

struct Search {
  DWORD pid;
  int controlId;  // a control the dialog must have (0: any)
  const char* caption;
  HWND found;
  std::string seen;  // what the process shows instead
};

std::string Text(HWND w) {
  char buf[256] = {};
  GetWindowTextA(w, buf, sizeof buf);
  std::string text;  // on one line
  for (const char* c = buf; *c; ++c) {
    if (*c != '\r' && *c != '\n') text += *c;
    else if (!text.empty() && text.back() != ' ') text += ' ';
  }
  return text;
}

// A window's texts, as a user reads them: "Caption" "static text" [Button].
// Every dialog of the installer has the caption "Tachymark".
BOOL CALLBACK TextsProc(HWND w, LPARAM lp) {
  std::string* seen = reinterpret_cast<std::string*>(lp);
  char cls[32] = {};
  GetClassNameA(w, cls, sizeof cls);
  const std::string text = Text(w);
  if (!IsWindowVisible(w) || text.empty()) return TRUE;
  if (!lstrcmpiA(cls, "Static")) *seen += " \"" + text + "\"";
  if (!lstrcmpiA(cls, "Button")) *seen += " [" + text + "]";
  return TRUE;
}

BOOL CALLBACK FindProc(HWND w, LPARAM lp) {
  Search* s = reinterpret_cast<Search*>(lp);
  DWORD pid = 0;
  GetWindowThreadProcessId(w, &pid);
  if (pid != s->pid || !IsWindowVisible(w)) return TRUE;
  if ((!s->controlId || GetDlgItem(w, s->controlId)) &&
      (!s->caption || Text(w) == s->caption)) {
    s->found = w;
    return FALSE;
  }
  s->seen += (s->seen.empty() ? " \"" : "; and \"") + Text(w) + "\"";
  EnumChildWindows(w, TextsProc, reinterpret_cast<LPARAM>(&s->seen));
  return TRUE;
}

// A visible window of the process with that control and/or caption. When
// none comes, `why` says what the process did instead: "shows ..." on a
// time-out, "ended with exit code N" as soon as it ends.
HWND WaitWindow(const Process& p, int controlId, const char* caption, std::string* why) {
  DWORD start = GetTickCount();
  for (;;) {
    Search s{p.pi.dwProcessId, controlId, caption, nullptr, ""};
    EnumWindows(FindProc, reinterpret_cast<LPARAM>(&s));
    if (s.found) {
      Settle();  // let it paint
      return s.found;
    }
    if (p.WaitExit(0)) {
      char after[48];
      snprintf(after, sizeof after, " after %.1f s", (GetTickCount() - start) / 1000.0);
      *why = "ended with " + p.ExitCode() + after;
      return nullptr;
    }
    if (GetTickCount() - start > g_wait) {
      *why = "shows" + (s.seen.empty() ? std::string(" nothing") : s.seen);
      return nullptr;
    }
    Sleep(50);
  }
}

// Waits up to g_wait for `done`; whether it came.
template <class Done> bool Until(Done done) {
  for (DWORD start = GetTickCount(); !done(); Sleep(50))
    if (GetTickCount() - start > g_wait) return false;
  return true;
}

LRESULT Send(HWND w, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
  DWORD_PTR result = 0;
  SendMessageTimeoutA(w, message, wParam, lParam, SMTO_BLOCK, 10000, &result);
  return static_cast<LRESULT>(result);
}

// --- Real input.

bool MoveTo(int x, int y) {
  if (!SetCursorPos(x, y)) return false;
  for (int i = 0; i < 200; ++i) {  // Wine may report the old place a moment
    POINT now;
    if (GetCursorPos(&now) && now.x == x && now.y == y) return true;
    Sleep(5);
  }
  return false;
}

bool ClickAt(int x, int y) {
  if (!MoveTo(x, y)) return false;
  INPUT in[2] = {};
  in[0].type = in[1].type = INPUT_MOUSE;
  in[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
  in[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
  if (SendInput(2, in, sizeof(INPUT)) != 2) return false;
  Settle();
  return true;
}

// A left click in the middle of a dialog's control.
bool ClickControl(HWND dialog, int id) {
  HWND control = GetDlgItem(dialog, id);
  RECT r;
  if (!control || !GetWindowRect(control, &r)) return false;
  SetForegroundWindow(dialog);
  return ClickAt((r.left + r.right) / 2, (r.top + r.bottom) / 2);
}

// A click on the window's title bar makes it the active window.
bool ClickCaption(HWND w) {
  RECT r;
  GetWindowRect(w, &r);
  SetForegroundWindow(w);
  return ClickAt((r.left + r.right) / 2,
                 r.top + GetSystemMetrics(SM_CYFRAME) + GetSystemMetrics(SM_CYCAPTION) / 2);
}

void PressKey(WORD key) {
  INPUT in[2] = {};
  in[0].type = in[1].type = INPUT_KEYBOARD;
  in[0].ki.wVk = in[1].ki.wVk = key;
  in[1].ki.dwFlags = KEYEVENTF_KEYUP;
  SendInput(2, in, sizeof(INPUT));
  Settle();
}

// --- Pictures.

// Close boxes are drawn with the Marlett font; without it Wine writes the
// glyph's letter ("r") instead.
bool HaveMarlett() {
  LOGFONTA lf = {};
  lf.lfHeight = -13;
  lf.lfCharSet = SYMBOL_CHARSET;
  lstrcpyA(lf.lfFaceName, "Marlett");
  HDC dc = GetDC(nullptr);
  HFONT font = CreateFontIndirectA(&lf);
  HGDIOBJ old = SelectObject(dc, font);
  char face[LF_FACESIZE] = {};
  GetTextFaceA(dc, sizeof face, face);
  SelectObject(dc, old);
  DeleteObject(font);
  ReleaseDC(nullptr, dc);
  return lstrcmpiA(face, "Marlett") == 0;
}

// The window as the screen shows it, frame included, as a 24-bit BMP.
// Returns what went wrong, or nothing.
std::string SavePicture(HWND w, const std::string& file) {
  // The first window of a process is its thread's active window, yet
  // without a window manager Wine paints its title bar as inactive.
  GUITHREADINFO gui = {};
  gui.cbSize = sizeof gui;
  if (GetGUIThreadInfo(GetWindowThreadProcessId(w, nullptr), &gui) && gui.hwndActive == w)
    Send(w, WM_NCACTIVATE, TRUE);
  RedrawWindow(w, nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
  Settle();
  RECT r;
  if (!GetWindowRect(w, &r)) return "the window is gone";
  const int width = r.right - r.left, height = r.bottom - r.top;
  HDC screen = GetDC(nullptr);
  HDC mem = CreateCompatibleDC(screen);
  BITMAPINFOHEADER bh = {};
  bh.biSize = sizeof bh;
  bh.biWidth = width;
  bh.biHeight = height;
  bh.biPlanes = 1;
  bh.biBitCount = 24;
  void* bits = nullptr;
  HBITMAP dib = CreateDIBSection(screen, reinterpret_cast<BITMAPINFO*>(&bh), DIB_RGB_COLORS,
                                 &bits, nullptr, 0);
  std::string error = dib ? "" : LastError("CreateDIBSection");
  HGDIOBJ old = SelectObject(mem, dib);
  if (dib && !BitBlt(mem, 0, 0, width, height, screen, r.left, r.top, SRCCOPY))
    error = LastError("BitBlt from the screen");
  GdiFlush();
  const DWORD size = ((width * 3 + 3) & ~3u) * height;
  BITMAPFILEHEADER fh = {};
  fh.bfType = 0x4D42;
  fh.bfOffBits = sizeof fh + sizeof bh;
  fh.bfSize = fh.bfOffBits + size;
  if (error.empty()) {
    if (FILE* f = fopen(file.c_str(), "wb")) {
      const bool ok = fwrite(&fh, sizeof fh, 1, f) == 1 && fwrite(&bh, sizeof bh, 1, f) == 1 &&
                      fwrite(bits, size, 1, f) == 1;
      if (!ok) error = std::string("writing it failed: ") + strerror(errno);
      if (fclose(f) != 0 && ok) error = std::string("closing it failed: ") + strerror(errno);
    } else {
      error = std::string("it cannot be opened for writing: ") + strerror(errno);
    }
  }
  SelectObject(mem, old);
  if (dib) DeleteObject(dib);
  DeleteDC(mem);
  ReleaseDC(nullptr, screen);
  return error;
}

// Saves the picture, or says why it could not and returns false.
bool Save(HWND w, const std::string& file) {
  const std::string error = SavePicture(w, file);
  if (!error.empty()) Fail("could not save the picture " + file + ": " + error);
  return error.empty();
}

std::string g_shots;  // folder for the installer's pictures, or empty

bool Shot(HWND w, const char* name) { return g_shots.empty() || Save(w, g_shots + "\\" + name); }

// --- Registry.

std::string ReadText(HKEY root, const char* path, const char* name) {
  HKEY k;
  char buf[512] = {};
  DWORD size = sizeof buf - 1;
  if (RegOpenKeyExA(root, path, 0, KEY_QUERY_VALUE, &k) != ERROR_SUCCESS) return "";
  if (RegQueryValueExA(k, name, nullptr, nullptr, reinterpret_cast<BYTE*>(buf), &size) !=
      ERROR_SUCCESS)
    buf[0] = 0;
  RegCloseKey(k);
  return buf;
}

const char kProduct[] = "Software\\Tachymark";
const char kHandler[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Controls Folder\\Display\\shellex"
    "\\PropertySheetHandlers\\Tachymark";
const char kClsid[] = "{7A41C3E2-5B19-11d2-A4C7-0060B0D4E91F}";

// --- The three runs.

// The installer's dialog with control `id`, its picture saved when `picture` is given;
// null, the failure said, when it does not come.
HWND Dialog(const Process& inst, int id, const char* what, const char* picture = nullptr) {
  std::string why;
  HWND w = WaitWindow(inst, id, nullptr, &why);
  if (!w) {
    Fail(std::string("TACHINST.EXE did not show ") + what + "; it " + why);
  } else if (picture && !Shot(w, picture)) {
    w = nullptr;
  }
  return w;
}

// TACHINST.EXE ended, with exit code 0, after the click `after`; else says why.
bool Finished(const Process& inst, const char* after) {
  if (!inst.WaitExit(g_wait))
    return Fail(std::string("TACHINST.EXE did not finish after ") + after), false;
  if (inst.Code() != 0)
    return Fail("TACHINST.EXE ended with " + inst.ExitCode() + " after " + after), false;
  return true;
}

int Install(const std::string& exe) {
  Process inst;
  if (!inst.Start(exe)) return 1;
  HWND model = Dialog(inst, 1003, "its Select Model dialog");
  if (!model) return 1;
  if (!ClickControl(model, 1002) ||
      !Until([&] { return Send(GetDlgItem(model, 1002), BM_GETCHECK) == BST_CHECKED; }))
    return Fail("clicking Voodoo3 3000 did not select it");
  if (!Shot(model, "installer-select-model.bmp")) return 1;
  ClickControl(model, IDOK);
  HWND done = Dialog(inst, 1015, "its Installed dialog", "installer-installed.bmp");
  if (!done) return 1;
  ClickControl(done, IDOK);
  if (!Finished(inst, "Installed: OK")) return 1;

  const std::string module = exe.substr(0, exe.find_last_of('\\')) + "\\TACHPAGE.DLL";
  const std::string server = std::string("CLSID\\") + kClsid + "\\InProcServer32";
  if (ReadText(HKEY_LOCAL_MACHINE, kProduct, "Model") != "Voodoo3 3000")
    return Fail("TACHINST.EXE finished but HKLM\\Software\\Tachymark has no Model Voodoo3 3000");
  if (ReadText(HKEY_LOCAL_MACHINE, kHandler, "") != kClsid)
    return Fail("TACHINST.EXE finished but the Display property-sheet handler key is missing");
  if (lstrcmpiA(ReadText(HKEY_CLASSES_ROOT, server.c_str(), "").c_str(), module.c_str()) != 0)
    return Fail("TACHINST.EXE finished but HKCR\\" + server + " does not name " + module);
  printf("installed: Voodoo3 3000, page module %s\n", module.c_str());
  return 0;
}

int Remove(const std::string& exe) {
  Process inst;
  if (!inst.Start(exe)) return 1;
  HWND choice = Dialog(inst, 1007, "Reinstall or Remove", "installer-reinstall-remove.bmp");
  if (!choice) return 1;
  ClickControl(choice, 1007);
  HWND done = Dialog(inst, 1017, "its Removed dialog", "installer-removed.bmp");
  if (!done) return 1;
  ClickControl(done, IDOK);
  if (!Finished(inst, "Removed: OK")) return 1;
  if (!ReadText(HKEY_LOCAL_MACHINE, kProduct, "Model").empty())
    return Fail("TACHINST.EXE finished but the product key is still there");
  printf("removed\n");
  return 0;
}

// The refresh-rate dialog's lists, in the order of its rows.
const struct {
  int id;
  const char* mode;
} kRows[] = {{1024, "640x480"},   {1025, "800x600"},   {1019, "960x720"},
             {1020, "1024x768"},  {1021, "1152x864"},  {1022, "1280x960"},
             {1023, "1280x1024"}, {1011, "1600x1024"}, {1018, "1600x1200"},
             {1013, "1792x1344"}, {1012, "1856x1392"}, {1014, "1920x1080"},
             {1015, "1920x1200"}, {1016, "1920x1440"}, {1017, "2046x1536"}};

std::string Entries(HWND list) {
  std::string all;
  const LRESULT n = Send(list, CB_GETCOUNT);
  for (LRESULT i = 0; i < n; ++i) {
    // Wide: Wine hands an ANSI CB_GETLBTEXT of another process back cut.
    wchar_t wide[128] = {};
    char buf[256] = {};
    DWORD_PTR result = 0;
    if (Send(list, CB_GETLBTEXTLEN, i) < 128)
      SendMessageTimeoutW(list, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(wide), SMTO_BLOCK,
                          10000, &result);
    WideCharToMultiByte(CP_ACP, 0, wide, -1, buf, sizeof buf, nullptr, nullptr);
    all += (i ? "," : "") + std::string(buf);
  }
  return all;
}

int Show(const std::string& exe, const std::string& tabShot, const std::string& refreshShot) {
  Process standin;
  if (!standin.Start(exe)) return 1;
  std::string why;
  HWND sheet = WaitWindow(standin, 0, "Display Properties", &why);
  if (!sheet) return Fail("the Display Properties sheet did not open; the stand-in " + why);
  HWND page = reinterpret_cast<HWND>(Send(sheet, PSM_GETCURRENTPAGEHWND));
  if (!page || !GetDlgItem(page, 1026))
    return Fail("Display Properties does not open on the Tachymark tab (is it installed?)");
  ClickCaption(sheet);
  if (!Save(sheet, tabShot)) return 1;
  if (!IsWindowEnabled(GetDlgItem(page, 1026))) return Fail("Refresh Rates is disabled");
  ClickControl(page, 1026);
  HWND rates = WaitWindow(standin, 1024, nullptr, &why);
  if (!rates) return Fail("pressing Refresh Rates opened no dialog; the stand-in " + why);
  int offered = 0;
  for (const auto& row : kRows) {
    HWND list = GetDlgItem(rates, row.id);
    if (!IsWindowEnabled(list)) continue;
    ++offered;
    printf("  %-9s  %s\n", row.mode, Entries(list).c_str());
  }
  printf("Refresh Rates: %d of 15 resolutions offered at \"%s\"\n", offered,
         Text(rates).c_str());
  if (offered == 0) return Fail("the Refresh Rates dialog offers no resolution");
  // 1024x768's list dropped down for the picture: a click gives it the
  // focus (here the clicked list does not stay down), F4 drops it.
  HWND list = GetDlgItem(rates, 1020);
  if (IsWindowEnabled(list) && ClickControl(rates, 1020) && !Send(list, CB_GETDROPPEDSTATE))
    PressKey(VK_F4);
  if (!Save(rates, refreshShot)) return 1;
  if (Send(list, CB_GETDROPPEDSTATE)) PressKey(VK_ESCAPE);
  ClickControl(rates, IDCANCEL);
  Until([&] { return !IsWindowVisible(rates); });
  PostMessageA(sheet, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
  if (!standin.WaitExit(g_wait)) return Fail("the stand-in did not close");
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && !strcmp(argv[1], "fonts")) {
    if (!HaveMarlett())
      return Fail("Wine's Marlett font is missing in this prefix: close boxes would show a "
                  "letter \"r\"");
    return 0;
  }
  if (argc < 3) {
    fprintf(stderr,
            "usage: rundriver install|remove TACHINST.EXE [--shots DIR] [--wait MS]\n"
            "       rundriver show STANDIN.EXE --tab FILE --refresh FILE [--wait MS]\n"
            "       rundriver fonts\n");
    return 2;
  }
  if (const char* factor = getenv("TACHY_TIME_FACTOR")) g_settle *= std::max(1, atoi(factor));
  const std::string command = argv[1], exe = argv[2];
  std::string tab, refresh;
  for (int i = 3; i + 1 < argc; i += 2) {
    const std::string option = argv[i];
    if (option == "--shots") g_shots = argv[i + 1];
    if (option == "--tab") tab = argv[i + 1];
    if (option == "--refresh") refresh = argv[i + 1];
    if (option == "--wait") g_wait = static_cast<DWORD>(atoi(argv[i + 1]));
  }
  if (command == "install") return Install(exe);
  if (command == "remove") return Remove(exe);
  if (command == "show" && !tab.empty() && !refresh.empty()) return Show(exe, tab, refresh);
  return Fail("unknown command " + command);
}
