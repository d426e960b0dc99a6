// What the Wine GUI tests share (registry overloads without a root mean HKLM). Input goes
// through SendInput, to which Wine's hit-testing and focus rules apply as to a user's.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

namespace gui {

inline void PutValue(HKEY root, const std::string& key, const char* name, DWORD type,
                     const void* data, DWORD size) {
  HKEY k;
  ASSERT_EQ(RegCreateKeyExA(root, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                            &k, nullptr), ERROR_SUCCESS) << key;
  EXPECT_EQ(RegSetValueExA(k, name, 0, type, static_cast<const BYTE*>(data), size),
            ERROR_SUCCESS) << key << " " << name;
  RegCloseKey(k);
}
inline void PutText(HKEY root, const std::string& key, const char* name,
                    const std::string& text) {
  PutValue(root, key, name, REG_SZ, text.c_str(), static_cast<DWORD>(text.size() + 1));
}

inline bool ReadValue(HKEY root, const std::string& key, const char* name,
                      std::string* data, DWORD* type = nullptr) {
  HKEY k;
  if (RegOpenKeyExA(root, key.c_str(), 0, KEY_QUERY_VALUE, &k) != ERROR_SUCCESS)
    return false;
  DWORD size = 0, t = 0;
  LONG r = RegQueryValueExA(k, name, nullptr, &t, nullptr, &size);
  std::string buffer(size, '\0');
  if (r == ERROR_SUCCESS && size)
    r = RegQueryValueExA(k, name, nullptr, &t, reinterpret_cast<BYTE*>(&buffer[0]), &size);
  RegCloseKey(k);
  if (r != ERROR_SUCCESS) return false;
  if (data) *data = buffer.substr(0, size);
  if (type) *type = t;
  return true;
}

inline std::string Text(HKEY root, const std::string& key, const char* name) {
  std::string data;
  DWORD type = 0;
  if (!ReadValue(root, key, name, &data, &type)) return "<absent>";
  if (type == REG_DWORD && data.size() == 4)
    return std::to_string(*reinterpret_cast<const DWORD*>(data.data()));
  return data.substr(0, data.find('\0'));
}

// The key and everything below it (RegDeleteKeyA refuses keys with subkeys).
inline void DeleteTree(HKEY root, const std::string& key) {
  HKEY k;
  if (RegOpenKeyExA(root, key.c_str(), 0, KEY_ALL_ACCESS, &k) == ERROR_SUCCESS) {
    std::vector<std::string> subs;
    char name[256];
    DWORD len = sizeof name;
    for (DWORD i = 0; RegEnumKeyExA(k, i, name, &len, nullptr, nullptr, nullptr,
                                    nullptr) == ERROR_SUCCESS; ++i, len = sizeof name)
      subs.push_back(name);
    RegCloseKey(k);
    for (const std::string& s : subs) DeleteTree(root, key + "\\" + s);
  }
  RegDeleteKeyA(root, key.c_str());
}

// Denies (true) or allows again (false) setting values and creating subkeys
// for everybody: what a user without administrator rights meets on NT.
inline void DenyWrites(const std::string& key, bool deny) {
  SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
  PSID everyone = nullptr;
  ASSERT_TRUE(AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0,
                                       0, &everyone));
  alignas(8) unsigned char aclBuffer[256];
  ACL* acl = reinterpret_cast<ACL*>(aclBuffer);
  InitializeAcl(acl, sizeof aclBuffer, ACL_REVISION);
  if (deny) AddAccessDeniedAce(acl, ACL_REVISION, KEY_SET_VALUE | KEY_CREATE_SUB_KEY, everyone);
  AddAccessAllowedAce(acl, ACL_REVISION, KEY_ALL_ACCESS, everyone);
  SECURITY_DESCRIPTOR sd;
  InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION);
  SetSecurityDescriptorDacl(&sd, TRUE, acl, FALSE);
  HKEY k;
  LONG r = RegOpenKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, WRITE_DAC, &k);
  FreeSid(everyone);
  ASSERT_EQ(r, ERROR_SUCCESS) << key;
  EXPECT_EQ(RegSetKeySecurity(k, DACL_SECURITY_INFORMATION, &sd), ERROR_SUCCESS) << key;
  RegCloseKey(k);
}

// The class string the key was created with; "<no key>" when it is missing.
inline std::string KeyClass(HKEY root, const std::string& key) {
  HKEY k;
  if (RegOpenKeyExA(root, key.c_str(), 0, KEY_QUERY_VALUE, &k) != ERROR_SUCCESS)
    return "<no key>";
  char cls[256] = {};
  DWORD len = sizeof cls;
  const LONG r = RegQueryInfoKeyA(k, cls, &len, nullptr, nullptr, nullptr, nullptr,
                                  nullptr, nullptr, nullptr, nullptr, nullptr);
  RegCloseKey(k);
  return r == ERROR_SUCCESS ? std::string(cls, len) : "<error>";
}
inline bool KeyExists(HKEY root, const std::string& key) {
  return KeyClass(root, key) != "<no key>";
}

inline void PutText(const std::string& key, const char* name, const std::string& text) {
  PutText(HKEY_LOCAL_MACHINE, key, name, text);
}
inline void PutDword(const std::string& key, const char* name, DWORD value) {
  PutValue(HKEY_LOCAL_MACHINE, key, name, REG_DWORD, &value, 4);
}
inline std::string Text(const std::string& key, const char* name) {
  return Text(HKEY_LOCAL_MACHINE, key, name);
}
inline bool KeyExists(const std::string& key) { return KeyExists(HKEY_LOCAL_MACHINE, key); }
inline void DeleteTree(const std::string& key) { DeleteTree(HKEY_LOCAL_MACHINE, key); }

// Without a window manager Wine waits up to 2 s for one whenever it shows or
// hides a framed window. Program `exe` then draws its frames itself and does
// not wait, from its next start on.
inline void DrawOwnFrames(const std::string& exe) {
  PutText(HKEY_CURRENT_USER, "Software\\Wine\\AppDefaults\\" + exe + "\\X11 Driver", "Managed",
          "N");
}

// Dispatches what this thread has as a modeless dialog's message loop does:
// keys for a dialog go through IsDialogMessage.
inline void Pump() {
  MSG msg;
  for (int round = 0; round < 3; ++round) {
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      HWND top = msg.hwnd ? GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
      wchar_t cls[16] = {};
      if (top) GetClassNameW(top, cls, 16);
      if (top && !lstrcmpW(cls, L"#32770") && IsDialogMessageW(top, &msg)) continue;
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    Sleep(5);
  }
}

inline bool WaitUntil(const std::function<bool()>& cond, DWORD ms = 10000) {
  const DWORD start = GetTickCount();
  for (;;) {
    if (cond()) return true;
    if (GetTickCount() - start > ms) return false;
    Pump();
    Sleep(10);
  }
}

// A visible top-level window of process `pid` (0: this one) that `match`
// accepts, or null.
inline HWND FindTopWindow(DWORD pid, const std::function<bool(HWND)>& match) {
  if (!pid) pid = GetCurrentProcessId();
  for (HWND w = GetTopWindow(nullptr); w; w = GetWindow(w, GW_HWNDNEXT)) {
    DWORD owner = 0;
    GetWindowThreadProcessId(w, &owner);
    if (owner == pid && IsWindowVisible(w) && match(w)) return w;
  }
  return nullptr;
}

// Wine's own Add/Remove Programs, uninstaller.exe, a client nobody here wrote.
// "--list" prints "key|||DisplayName" for each entry of
// HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall that has an
// UninstallString.
inline std::string UninstallerList() {
  SECURITY_ATTRIBUTES sa = {sizeof sa, nullptr, TRUE};
  HANDLE read = nullptr, write = nullptr;
  if (!CreatePipe(&read, &write, &sa, 0)) return "<no pipe>";
  SetHandleInformation(read, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdOutput = si.hStdError = write;
  PROCESS_INFORMATION pi = {};
  char line[] = "uninstaller.exe --list";
  const BOOL started =
      CreateProcessA(nullptr, line, nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi);
  CloseHandle(write);
  std::string out = started ? "" : "<uninstaller.exe did not start>";
  char buffer[512];
  DWORD n = 0;
  while (started && ReadFile(read, buffer, sizeof buffer, &n, nullptr) && n) out.append(buffer, n);
  CloseHandle(read);
  if (started) {
    WaitForSingleObject(pi.hProcess, 30000);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
  }
  return out;
}

// "uninstaller --remove KEY" runs the entry's UninstallString: the process it
// started from file `exe` (a handle and its id), or null after 30 s.
inline HANDLE RemoveWithUninstaller(const char* key, const wchar_t* exe, DWORD* pid) {
  *pid = 0;
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  std::string line = std::string("uninstaller.exe --remove ") + key;
  if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
    return nullptr;
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  WaitUntil([&] {
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32W e = {};
    e.dwSize = sizeof e;
    for (BOOL more = Process32FirstW(snap, &e); more && !*pid; more = Process32NextW(snap, &e))
      if (e.th32ParentProcessID == pi.dwProcessId && !lstrcmpiW(e.szExeFile, exe))
        *pid = e.th32ProcessID;
    CloseHandle(snap);
    return *pid != 0;
  }, 30000);
  return *pid ? OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION | PROCESS_TERMINATE, FALSE,
                            *pid)
              : nullptr;
}

inline std::wstring TextW(HWND w) {
  wchar_t buffer[2048] = {};
  GetWindowTextW(w, buffer, 2048);
  return buffer;
}
inline std::string TextA(HWND w) {
  char buffer[2048] = {};
  GetWindowTextA(w, buffer, sizeof buffer);
  return buffer;
}
inline std::string Utf8(const std::wstring& text) {
  char buffer[4096] = {};
  WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, buffer, sizeof buffer, nullptr,
                      nullptr);
  return buffer;
}
inline std::string Utf8(HWND w) { return Utf8(TextW(w)); }
inline RECT WindowRect(HWND w) {
  RECT r = {};
  GetWindowRect(w, &r);
  return r;
}
inline POINT Centre(HWND w) {
  const RECT r = WindowRect(w);
  return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

inline void Send(std::vector<INPUT> in) {
  SendInput(static_cast<UINT>(in.size()), in.data(), sizeof(INPUT));
}
inline INPUT Mouse(DWORD flags) {
  INPUT i = {};
  i.type = INPUT_MOUSE;
  i.mi.dwFlags = flags;
  return i;
}
inline INPUT KeyInput(WORD vk, bool up) {
  INPUT i = {};
  i.type = INPUT_KEYBOARD;
  i.ki.wVk = vk;
  i.ki.wScan = static_cast<WORD>(MapVirtualKeyA(vk, 0));
  if ((vk >= VK_PRIOR && vk <= VK_DOWN) || vk == VK_INSERT || vk == VK_DELETE)
    i.ki.dwFlags |= KEYEVENTF_EXTENDEDKEY;  // page keys, Home, End, arrows
  if (up) i.ki.dwFlags |= KEYEVENTF_KEYUP;
  return i;
}

// Places the cursor and sends a mouse move there, so that the window under
// it (or the one holding the capture) sees the move as from a real mouse.
inline bool MoveCursorTo(int x, int y) {
  if (!SetCursorPos(x, y)) return false;
  for (int tries = 0; tries < 200; ++tries) {
    POINT now;
    if (GetCursorPos(&now) && now.x == x && now.y == y) {
      Send({Mouse(MOUSEEVENTF_MOVE)});  // a move by nothing: WM_MOUSEMOVE here
      return true;
    }
    Sleep(5);
  }
  return false;
}

// Lets input reach `w` and be handled: pumps this thread when `w` is ours,
// else waits for `w`'s thread to come back to its message loop a few times.
inline void Settle(HWND w) {
  const bool ours = !w || GetWindowThreadProcessId(w, nullptr) == GetCurrentThreadId();
  for (int round = 0; round < 4; ++round) {
    if (ours) {
      Pump();
      if (!GetQueueStatus(QS_ALLINPUT) && round > 0) break;
    } else {
      // Each WM_NULL returns once that thread is back at its message loop;
      // the pause in between lets the X events of a cursor move reach it.
      DWORD_PTR result;
      SendMessageTimeoutA(w, WM_NULL, 0, 0, SMTO_NORMAL, 2000, &result);
      if (round == 2) break;
      Sleep(10);
    }
  }
}

inline void Foreground(HWND top) {
  top = GetAncestor(top, GA_ROOT);
  BringWindowToTop(top);  // over any other window at the same place
  if (GetForegroundWindow() == top) return;
  SetForegroundWindow(top);
  for (int tries = 0; tries < 100 && GetForegroundWindow() != top; ++tries) {
    Settle(top);
    Sleep(10);
  }
}

inline void Click(HWND control) {
  Foreground(control);
  const POINT p = Centre(control);
  EXPECT_TRUE(MoveCursorTo(p.x, p.y)) << "SetCursorPos does not work here";
  Send({Mouse(MOUSEEVENTF_LEFTDOWN), Mouse(MOUSEEVENTF_LEFTUP)});
}

inline void Keys(std::initializer_list<WORD> vks) {
  for (WORD vk : vks) Send({KeyInput(vk, false), KeyInput(vk, true)});
}
inline void Key(WORD vk) { Keys({vk}); }
inline void Alt(char mnemonic) {
  const WORD vk = static_cast<WORD>(VkKeyScanA(mnemonic) & 0xFF);
  Send({KeyInput(VK_MENU, false), KeyInput(vk, false), KeyInput(vk, true),
        KeyInput(VK_MENU, true)});
}

constexpr WPARAM kGestureHeld = MK_CONTROL | MK_SHIFT | MK_LBUTTON;

// The hidden gesture at a screen point: what `held` names goes down (Ctrl,
// Shift, then the left button), a right click, everything up again.
inline void GestureAt(POINT p, WPARAM held = kGestureHeld) {
  EXPECT_TRUE(MoveCursorTo(p.x, p.y)) << "SetCursorPos does not work here";
  std::vector<INPUT> in;
  if (held & MK_CONTROL) in.push_back(KeyInput(VK_CONTROL, false));
  if (held & MK_SHIFT) in.push_back(KeyInput(VK_SHIFT, false));
  if (held & MK_LBUTTON) in.push_back(Mouse(MOUSEEVENTF_LEFTDOWN));
  const size_t down = in.size();
  in.push_back(Mouse(MOUSEEVENTF_RIGHTDOWN));
  in.push_back(Mouse(MOUSEEVENTF_RIGHTUP));
  for (size_t i = down; i-- > 0;) {  // released the other way round
    INPUT up = in[i];
    if (up.type == INPUT_MOUSE) up.mi.dwFlags = MOUSEEVENTF_LEFTUP;
    else up.ki.dwFlags |= KEYEVENTF_KEYUP;
    in.push_back(up);
  }
  Send(in);
}
inline void Gesture(HWND over, WPARAM held = kGestureHeld) {
  Foreground(over);
  GestureAt(Centre(over), held);
}

// Presses the left button on the thumb, moves along the channel to where
// `position` lies (a pixel at a time once near, as the trackbar rounds),
// releases. True when the trackbar then stands at `position`.
inline bool DragThumb(HWND trackbar, int position) {
  RECT thumb = {}, channel = {};
  SendMessageA(trackbar, TBM_GETTHUMBRECT, 0, reinterpret_cast<LPARAM>(&thumb));
  SendMessageA(trackbar, TBM_GETCHANNELRECT, 0, reinterpret_cast<LPARAM>(&channel));
  const int low = static_cast<int>(SendMessageA(trackbar, TBM_GETRANGEMIN, 0, 0));
  const int high = static_cast<int>(SendMessageA(trackbar, TBM_GETRANGEMAX, 0, 0));
  auto pos = [&] { return static_cast<int>(SendMessageA(trackbar, TBM_GETPOS, 0, 0)); };
  POINT from = {(thumb.left + thumb.right) / 2, (thumb.top + thumb.bottom) / 2};
  const int half = (thumb.right - thumb.left) / 2;
  const int width = channel.right - channel.left - 2 * half - 1;
  POINT to = {channel.left + half +
                  (high > low ? MulDiv(position - low, width, high - low) : 0),
              from.y};
  ClientToScreen(trackbar, &from);
  ClientToScreen(trackbar, &to);
  Foreground(trackbar);
  if (!MoveCursorTo(from.x, from.y)) return false;
  Send({Mouse(MOUSEEVENTF_LEFTDOWN)});
  Settle(trackbar);
  for (int tries = 0; tries < 12; ++tries) {
    MoveCursorTo(to.x, to.y);
    Settle(trackbar);
    if (pos() == position) break;
    to.x += pos() < position ? 1 : -1;
  }
  Send({Mouse(MOUSEEVENTF_LEFTUP)});
  Settle(trackbar);
  return pos() == position;
}

}  // namespace gui
