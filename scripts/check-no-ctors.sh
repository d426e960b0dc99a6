#!/bin/bash
# Names every object that put a static constructor into a deliverable, from
# its linker map: without a C runtime nothing runs it (docs/deliverables.md).
#
#   scripts/check-no-ctors.sh MAP...
set -uo pipefail
[ $# -gt 0 ] || { echo "usage: $0 MAP..." >&2; exit 2; }
status=0
for map in "$@"; do
  name="$(basename "$map" .map)"
  [ -f "$map" ] || { echo "$name: no linker map $map"; status=1; continue; }
  # Input sections: " .ctors[.N]  0xADDR  0xSIZE  object" (long names wrap
  # the address and size to the next line).
  found="$(awk '
    /^ \.ctors(\.[0-9]+)?[ \t]*$/ { pending = 1; next }
    pending { pending = 0; if ($1 ~ /^0x/ && $2 != "0x0") print $3; next }
    /^ \.ctors(\.[0-9]+)?[ \t]+0x/ { if ($3 != "0x0") print $4 }
  ' "$map")"
  if [ -n "$found" ]; then
    while read -r object; do
      echo "$name: static constructor from $object: globals of the deliverables must not need one (make the constructor constexpr or initialise at run time)"
    done <<<"$found"
    status=1
  else
    echo "$name: ok (no static constructors)"
  fi
done
exit $status
