#!/usr/bin/env bash
# docs/architecture.md lists, for every library folder in src/, the folders it uses; the list
# must be what the code's includes say, no arrow more and none missing.
#   check-architecture.sh <source folder>
set -euo pipefail
root=$1
doc=$root/docs/architecture.md
failed=0
listed=$(sed -n '/^<!-- uses -->$/,/^<!-- \/uses -->$/p' "$doc" | grep '^- `')
[[ -n $listed ]] || { echo "FAIL: $doc has no list of what each library uses"; exit 1; }
for dir in $(cd "$root/src" && find . -name '*.cpp' -printf '%h\n' | sed 's|^\./||' | sort -u); do
  used=$({ grep -rhoE '^#include "[a-z]+(/core|/gui)?/' "$root/src/$dir" || true; } |
    sed -E 's/^#include "//; s/\/$//' | { grep -vx -e "$dir" -e assets || true; } | sort -u | paste -sd, |
    sed 's/,/, /g')
  [[ -n $used ]] || used="nothing of ours"
  line=$(grep -F -- "- \`$dir\`:" <<<"$listed" || true)
  if [[ $line != "- \`$dir\`: $used" ]]; then
    echo "FAIL: $dir uses: $used"
    echo "      the document says: ${line:-nothing}"
    failed=1
  fi
done
exit $failed
