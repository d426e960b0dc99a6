#!/bin/bash
# Checks that Windows images can load on Windows 95 retail and NT 4.
#
#   scripts/check-imports.sh [--allowlist FILE] IMAGE...
#
# Fails (exit 1) when an image
#   - is not a 32-bit x86 PE image (machine i386),
#   - asks for a subsystem or OS version above 4.0,
#   - imports from a DLL other than the allowed system DLLs,
#   - imports a function (or an ordinal) that is not on the allowlist
#     (scripts/imports-allowlist.txt: functions checked to exist on both
#     Windows 95 retail and Windows NT 4).
# Every offending import is named on its own line.
set -uo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
allowlist="$here/imports-allowlist.txt"
if [ "${1:-}" = "--allowlist" ]; then
  allowlist="$2"
  shift 2
fi
if [ $# -eq 0 ]; then
  echo "usage: $0 [--allowlist FILE] IMAGE..." >&2
  exit 2
fi

allowed_dlls="KERNEL32 USER32 GDI32 ADVAPI32 COMCTL32 VERSION OLE32 SHELL32"

objdump=objdump
command -v i686-w64-mingw32-objdump >/dev/null && objdump=i686-w64-mingw32-objdump

# "DLL Function" pairs, upper-case DLL without .DLL, from the allowlist.
allowed="$(sed -e 's/#.*//' "$allowlist" | awk 'NF == 2 { print toupper($1) " " $2 }' | sort -u)"

status=0
for image in "$@"; do
  name="$(basename "$image")"
  if [ ! -f "$image" ]; then
    echo "$name: no such file: $image"
    status=1
    continue
  fi
  header="$($objdump -f "$image" 2>&1)"
  if ! grep -q "file format pei-i386" <<<"$header" ||
     ! grep -q "architecture: i386" <<<"$header"; then
    echo "$name: not a 32-bit x86 Windows image ($(grep -o 'file format [^ ]*' <<<"$header" | head -1))"
    status=1
    continue
  fi
  dump="$($objdump -p "$image")"
  problems="$(awk -v name="$name" -v dlls="$allowed_dlls" -v allowed="$allowed" '
    BEGIN {
      n = split(dlls, d, " "); for (i = 1; i <= n; i++) okdll[d[i]] = 1
      n = split(allowed, a, "\n"); for (i = 1; i <= n; i++) okfn[a[i]] = 1
    }
    $1 == "MajorSubsystemVersion" { subsys_major = $2 + 0 }
    $1 == "MinorSubsystemVersion" { subsys_minor = $2 + 0 }
    $1 == "MajorOSystemVersion" { os_major = $2 + 0 }
    $1 == "MinorOSystemVersion" { os_minor = $2 + 0 }
    /^\tDLL Name: / { dll = toupper($3); sub(/\.DLL$/, "", dll); in_dll = 1; next }
    in_dll && /^\tvma:/ { next }
    in_dll && /^[ \t]*$/ { in_dll = 0; next }
    in_dll {
      # member lines: <vma> <hint> <name>; an ordinal import has no name
      fn = (NF >= 3) ? $3 : ""
      if (!(dll in okdll)) {
        printf "%s: imports %s from %s.DLL, which is not one of the allowed system DLLs (%s)\n", name, (fn != "" ? fn : "an ordinal"), dll, dlls
      } else if (fn == "" || fn == "<none>") {
        printf "%s: imports %s by ordinal (%s); import it by name\n", name, dll, $0
      } else if (!((dll " " fn) in okfn)) {
        printf "%s: imports %s from %s.DLL, which is not on the allowlist of functions that exist on Windows 95 and NT 4\n", name, fn, dll
      }
    }
    END {
      if (subsys_major > 4 || (subsys_major == 4 && subsys_minor > 0))
        printf "%s: subsystem version %d.%d is above 4.0\n", name, subsys_major, subsys_minor
      if (os_major > 4 || (os_major == 4 && os_minor > 0))
        printf "%s: OS version %d.%d is above 4.0\n", name, os_major, os_minor
    }' <<<"$dump")"
  if [ -n "$problems" ]; then
    echo "$problems"
    status=1
  else
    count="$(grep -c $'^\t[0-9a-f]\+\t' <<<"$dump")"
    echo "$name: ok (i386, subsystem 4.0, $count imports, all allowed)"
  fi
done
if [ $status -ne 0 ]; then
  echo "import check FAILED (allowlist: $allowlist; see README, \"Adding an import\")"
fi
exit $status
