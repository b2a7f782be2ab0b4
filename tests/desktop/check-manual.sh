#!/usr/bin/env bash
# The manual page's section OPTIONEN names every option that --help lists, and man-db reads the
# page without a warning and finds its one-line summary (what lintian checks of a manual page).
#   check-manual.sh <program> <manual page>
set -euo pipefail
export LC_ALL=C.UTF-8
program=$1 page=$2
failed=0

options=$(env -u DISPLAY -u WAYLAND_DISPLAY "$program" --help | grep -oE -- '(^|[ ,])--?[a-z][a-z-]*' | tr -d ' ,')
[[ -n $options ]] || { echo "FAIL: --help lists no options"; exit 1; }
section=$(sed -n '/^\.SH OPTIONEN/,/^\.SH /p' "$page")
for option in $options; do
  escaped=${option//-/\\-}
  if grep -qF -- "$escaped" <<<"$section"; then
    echo "listed: $option"
  else
    echo "FAIL: the manual page does not list $option"
    failed=1
  fi
done

for tool in man lexgrog; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed (package man-db)"; exit 77; }
done
warnings=$(cd "$(dirname "$page")" && MANROFFSEQ='' MANWIDTH=120 man --warnings -E UTF-8 -l -Tutf8 -Z "$page" 2>&1 >/dev/null)
[[ -z $warnings ]] || { echo "FAIL: man warns:"; echo "$warnings"; failed=1; }
lexgrog "$page" || { echo "FAIL: lexgrog finds no summary"; failed=1; }
exit $failed
