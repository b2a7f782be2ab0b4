#!/usr/bin/env bash
# Builds the Debian package from a build folder and checks it the way Debian's archive would:
# with lintian, which must report no error and no warning. Before that, the package's own
# promises are checked directly (the documents Debian asks for, a maintainer with an address,
# description lines that fit), so a broken package fails even where lintian is missing; without
# lintian the test then ends as skipped, never as passed.
# The package is made by scripts/package.sh, the command the README shows, from this build.
#   check-package.sh <package.sh> <build folder> <work folder> <version>
set -euo pipefail
export LC_ALL=C.UTF-8 # lengths count characters
package=$1 build=$2 work=$3 version=$4
skip() { echo "SKIP: $*"; exit 77; }
fail() { echo "FAIL: $*"; failed=1; }
failed=0

for tool in dpkg-deb dpkg-shlibdeps file; do
  command -v "$tool" >/dev/null || skip "$tool is not installed (scripts/install-deps.sh --package)"
done

rm -rf "$work"
mkdir -p "$work"
made=$("$package" --from "$build" | tail -n 1) || { echo "FAIL: $package could not make the package"; exit 1; }
deb=$work/$(basename "$made")
mv "$made" "$deb"
[[ $deb == */plauderdeck_"$version"_*.deb ]] || { echo "FAIL: made $made, not plauderdeck_${version}_*.deb"; exit 1; }
echo "package: $deb"

contents=$(dpkg-deb -c "$deb")
for path in usr/bin/plauderdeck usr/share/doc/plauderdeck/copyright usr/share/doc/plauderdeck/changelog.gz \
            usr/share/man/man1/plauderdeck.1.gz etc/ufw/applications.d/plauderdeck \
            usr/lib/firewalld/services/plauderdeck.xml; do
  grep -q " \./$path\$" <<<"$contents" || fail "$path is missing from the package"
done

conffiles=$(dpkg-deb --ctrl-tarfile "$deb" | tar -xO ./conffiles 2>/dev/null || true)
[[ $conffiles == /etc/ufw/applications.d/plauderdeck ]] || fail "conffiles: '$conffiles'"

maintainer=$(dpkg-deb -f "$deb" Maintainer)
[[ $maintainer =~ ^[^\<]+\ \<[^@\>]+@[^@\>]+\>$ ]] || fail "Maintainer without an address: '$maintainer'"

# The description's lines as dpkg shows them, one leading blank each.
while IFS= read -r line; do
  (( ${#line} < 80 )) || fail "description line of ${#line} characters: '$line'"
done < <(dpkg-deb -f "$deb" Description)

unpacked=$work/unpacked
dpkg-deb -x "$deb" "$unpacked"
for gz in usr/share/doc/plauderdeck/changelog.gz usr/share/man/man1/plauderdeck.1.gz; do
  info=$(file -b "$unpacked/$gz")
  [[ $info == *"max compression"* && $info != *"last modified"* ]] ||
    fail "$gz is not packed with gzip -9n: $info"
done

if ! command -v lintian >/dev/null; then
  (( failed == 0 )) || exit 1
  skip "lintian is not installed (scripts/install-deps.sh --test); the package was only checked in part"
fi
report=$(lintian --no-tag-display-limit "$deb" 2>&1) || true
echo "$report"
grep -qE '^[EW]: ' <<<"$report" && fail "lintian reports errors or warnings"
exit $failed
