// Entry point of TACHINST.EXE in place of the C runtime's start-up code:
// builds WinMain's arguments the way the C runtime does and ends the
// process with WinMain's result. Static constructors are not run: the
// program has none (globals are plain data).
#include "settings/nocrt/nocrt.h"

namespace {

// The command line after the program name, as WinMain receives it: a quoted
// name ends at the closing quote, an unquoted one at the first blank; the
// blanks after it are skipped.
char* SkipProgramName(char* line) {
  static char empty[1] = {0};
  if (!line) return empty;
  char* p = line;
  if (*p == '"') {
    ++p;
    while (*p && *p != '"') ++p;
    if (*p == '"') ++p;
  } else {
    while (*p && *p != ' ' && *p != '\t') ++p;
  }
  while (*p == ' ' || *p == '\t') ++p;
  return p;
}

}  // namespace

extern "C" void WinMainCRTStartup() {
  STARTUPINFOA startup;
  startup.cb = sizeof startup;
  GetStartupInfoA(&startup);
  int show = (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow
                                                      : SW_SHOWDEFAULT;
  int result = WinMain(GetModuleHandleA(NULL), NULL,
                       SkipProgramName(GetCommandLineA()), show);
  ExitProcess(static_cast<UINT>(result));
}
