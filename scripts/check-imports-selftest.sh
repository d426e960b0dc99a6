#!/bin/bash
# Shows on small throwaway DLLs that pe-info.py check-imports and
# check-exports and check-no-ctors.sh name each fault (docs/deliverables.md).
#
#   scripts/check-imports-selftest.sh WORKDIR
set -uo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
work="${1:?usage: check-imports-selftest.sh WORKDIR}"
cc="${TACHY_MINGW_CC:-i686-w64-mingw32-gcc}"
mkdir -p "$work"
cd "$work" || exit 1

# One source, an image a case: clean, -DCRT, -DLATER, -DCTOR (see the builds below).
cat > case.cpp <<'C'
#include <windows.h>
#include <commctrl.h>
extern "C" int __cdecl sprintf(char* buffer, const char* format, ...);
#ifdef CTOR
struct Stamp { Stamp() : ticks(GetTickCount()) {} DWORD ticks; } stamp;
#endif
extern "C" BOOL WINAPI Entry(HINSTANCE, DWORD r, LPVOID) {
#if defined CRT
  static char buffer[32];
  return sprintf(buffer, "%lu", r) > 0;
#elif defined LATER
  INITCOMMONCONTROLSEX icc; icc.dwSize = sizeof icc; icc.dwICC = ICC_BAR_CLASSES;
  return InitCommonControlsEx(&icc);
#elif defined CTOR
  return stamp.ticks != 0;
#else
  OSVERSIONINFOA v; v.dwOSVersionInfoSize = sizeof v;
  return GetVersionExA(&v) && RegCloseKey(HKEY_CURRENT_USER) == 0;
#endif
}
C

win40=(-Wl,--subsystem,windows:4.0 -Wl,--major-os-version,4 -Wl,--minor-os-version,0)
build() {  # build NAME [flags...]: NAME.dll, without a C runtime
  local name="$1"
  shift
  "${cc%gcc*}g++${cc##*gcc}" -O1 -o "$name.dll" case.cpp -nostdlib -nostartfiles -shared \
    -Wl,--entry,_Entry@12 -s "$@" >build.log 2>&1 && return
  echo "selftest: could not build $name.dll:"; cat build.log; exit 1
}
build clean "${win40[@]}" -lkernel32 -ladvapi32
build crt -DCRT "${win40[@]}" -lkernel32 -lmsvcrt
build later -DLATER "${win40[@]}" -lkernel32 -lcomctl32
build newsubsys -Wl,--subsystem,windows:5.1 -lkernel32 -ladvapi32
build ctor -DCTOR "${win40[@]}" -Wl,-Map,ctor.map -lkernel32

failures=0
expect() {  # expect pass|fail TEXT COMMAND...: it passes, or fails saying TEXT
  local want="$1" text="$2" got=fail out
  shift 2
  local what="${*#"$here/"}"
  out="$("$@" 2>&1)" && got=pass
  if [ "$got" != "$want" ] || ! grep -qF -- "$text" <<<"$out"; then
    echo "selftest: FAIL: $what should $want${text:+ saying \"$text\"}, but:"
    echo "$out"
    failures=$((failures + 1))
  else
    echo "selftest: ok: $what ($want)${text:+: $text}"
  fi
}
check=("$here/pe-info.py" check-imports)
expect pass "clean.dll: ok" "${check[@]}" clean.dll
expect fail "crt.dll: imports sprintf from MSVCRT.DLL, which is not one of the allowed system DLLs" "${check[@]}" crt.dll
expect fail "later.dll: imports InitCommonControlsEx from COMCTL32.DLL, which is not on the allowlist" "${check[@]}" later.dll
expect fail "newsubsys.dll: subsystem version 5.1 is above 4.0" "${check[@]}" newsubsys.dll
expect fail "true: not a 32-bit x86 Windows image" "${check[@]}" /bin/true
expect fail "clean.dll: unexpected export: Entry@12" "$here/pe-info.py" check-exports clean.dll Entry
expect fail "ctor: static constructor from" "$here/check-no-ctors.sh" ctor.map

[ $failures -eq 0 ] || { echo "check-imports selftest: $failures case(s) wrong"; exit 1; }
echo "check-imports selftest: all cases right"
