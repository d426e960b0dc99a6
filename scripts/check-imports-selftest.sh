#!/bin/bash
# Shows that check-imports.sh catches what it must: builds small throwaway
# images and expects the check to pass on a clean one and to fail, naming the
# culprit, on each bad one.
#
#   scripts/check-imports-selftest.sh WORKDIR
set -uo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
work="${1:?usage: check-imports-selftest.sh WORKDIR}"
cc="${TACHY_MINGW_CC:-i686-w64-mingw32-gcc}"
mkdir -p "$work"
cd "$work" || exit 1

nocrt=(-nostdlib -nostartfiles -shared -Wl,--entry,_Entry@12
       -Wl,--subsystem,windows:4.0 -Wl,--major-os-version,4
       -Wl,--minor-os-version,0 -s)

cat > clean.c <<'C'
#include <windows.h>
BOOL WINAPI Entry(HINSTANCE i, DWORD r, LPVOID p) {
  OSVERSIONINFOA v; v.dwOSVersionInfoSize = sizeof v;
  (void)i; (void)r; (void)p;
  return GetVersionExA(&v) && RegCloseKey(HKEY_CURRENT_USER) == 0;
}
C
cat > crt.c <<'C'
#include <windows.h>
int __cdecl sprintf(char* buffer, const char* format, ...);
char buffer[32];
BOOL WINAPI Entry(HINSTANCE i, DWORD r, LPVOID p) {
  (void)i; (void)p;
  return sprintf(buffer, "%lu", r) > 0;
}
C
cat > later.c <<'C'
#include <windows.h>
#include <commctrl.h>
BOOL WINAPI Entry(HINSTANCE i, DWORD r, LPVOID p) {
  INITCOMMONCONTROLSEX icc; icc.dwSize = sizeof icc; icc.dwICC = ICC_BAR_CLASSES;
  (void)i; (void)r; (void)p;
  return InitCommonControlsEx(&icc);
}
C

build() {  # build OUT SRC [flags...]
  local out="$1" src="$2" compiler="$cc"
  shift 2
  case "$src" in *.cpp) compiler="${cc%gcc*}g++${cc##*gcc}" ;; esac
  if ! "$compiler" -O1 -o "$out" "$src" "$@" >build.log 2>&1; then
    echo "selftest: could not build $out:"
    cat build.log
    exit 1
  fi
}
build clean.dll clean.c "${nocrt[@]}" -lkernel32 -ladvapi32
# A C runtime function sneaking in: sprintf from MSVCRT.DLL.
build crt.dll crt.c "${nocrt[@]}" -lkernel32 -lmsvcrt
build later.dll later.c "${nocrt[@]}" -lkernel32 -lcomctl32
build newsubsys.dll clean.c -nostdlib -nostartfiles -shared -Wl,--entry,_Entry@12 \
  -Wl,--subsystem,windows:5.1 -s -lkernel32 -ladvapi32

cat > ctor.cpp <<'C'
#include <windows.h>
struct Stamp { Stamp() : ticks(GetTickCount()) {} DWORD ticks; };
Stamp stamp;
extern "C" BOOL WINAPI Entry(HINSTANCE, DWORD, LPVOID) { return stamp.ticks != 0; }
C
build ctor.dll ctor.cpp "${nocrt[@]}" -Wl,-Map,ctor.map -lkernel32

failures=0
expect() {  # expect pass|fail IMAGE [TEXT]
  local want="$1" image="$2" text="${3:-}" out rc
  out="$("$here/check-imports.sh" "$image" 2>&1)"
  rc=$?
  if [ "$want" = pass ] && [ $rc -ne 0 ]; then
    echo "selftest: FAIL: $image should pass, but:"; echo "$out"; failures=$((failures + 1))
  elif [ "$want" = fail ] && [ $rc -eq 0 ]; then
    echo "selftest: FAIL: $image should fail, but passed"; failures=$((failures + 1))
  elif [ -n "$text" ] && ! grep -qF "$text" <<<"$out"; then
    echo "selftest: FAIL: $image: expected \"$text\" in:"; echo "$out"; failures=$((failures + 1))
  else
    echo "selftest: ok: $image ($want)${text:+: $text}"
  fi
}
expect pass clean.dll
expect fail crt.dll "crt.dll: imports sprintf from MSVCRT.DLL, which is not one of the allowed system DLLs"
expect fail later.dll "later.dll: imports InitCommonControlsEx from COMCTL32.DLL, which is not on the allowlist"
expect fail newsubsys.dll "newsubsys.dll: subsystem version 5.1 is above 4.0"
expect fail /bin/true "true: not a 32-bit x86 Windows image"

if "$here/check-no-ctors.sh" ctor.map >ctor.out 2>&1; then
  echo "selftest: FAIL: check-no-ctors.sh passed a DLL with a static constructor"
  failures=$((failures + 1))
elif ! grep -q "ctor: static constructor from" ctor.out; then
  echo "selftest: FAIL: check-no-ctors.sh did not name the constructor:"; cat ctor.out
  failures=$((failures + 1))
else
  echo "selftest: ok: ctor.dll (fail): $(head -1 ctor.out | cut -c1-60)..."
fi

if [ $failures -ne 0 ]; then
  echo "check-imports selftest: $failures case(s) wrong"
  exit 1
fi
echo "check-imports selftest: all cases right"
