#!/bin/bash
# Checks that a Windows image exports exactly the given names (undecorated:
# COM looks up "DllGetClassObject", not "DllGetClassObject@12").
#
#   scripts/check-exports.sh IMAGE [NAME...]     (no NAME: no exports at all)
set -uo pipefail
image="${1:?usage: check-exports.sh IMAGE [NAME...]}"
shift
name="$(basename "$image")"
objdump=objdump
command -v i686-w64-mingw32-objdump >/dev/null && objdump=i686-w64-mingw32-objdump
[ -f "$image" ] || { echo "$name: no such file: $image"; exit 1; }

# "[Ordinal/Name Pointer] Table" lists "[   n] Name".
have="$($objdump -p "$image" | awk '
  /^\[Ordinal\/Name Pointer\] Table/ { on = 1; next }
  on && /^\t\[/ { sub(/^\t\[ *[0-9]+\] /, ""); print; next }
  on { on = 0 }' | sort)"
want="$(printf '%s\n' "$@" | sed '/^$/d' | sort)"
if [ "$have" = "$want" ]; then
  echo "$name: ok (exports: $(echo ${want:-none}))"
  exit 0
fi
echo "$name: exports differ"
diff <(echo "$want") <(echo "$have") | sed -n 's/^> /  unexpected export: /p; s/^< /  missing export: /p'
exit 1
