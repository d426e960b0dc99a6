#!/bin/bash
# `make run`: shows what was built. Later work extends this to install the
# page under Wine and show it.
#
#   scripts/run.sh DIST_DIR
set -euo pipefail
dist="${1:?usage: run.sh DIST_DIR}"
echo "Built into $dist:"
ls -l "$dist"
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
"$here/check-imports.sh" "$dist/TACHPAGE.DLL" "$dist/TACHINST.EXE"
