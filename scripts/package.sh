#!/usr/bin/env bash
# Makes the Debian package: installs what building it needs, builds the program in Release in
# build-release/ and runs cpack there; prints the package's path last.
#   scripts/package.sh                   from a Release build in build-release/
#   scripts/package.sh --from <folder>   from a build folder configured elsewhere (the test does)
set -euo pipefail
cd "$(dirname "$0")/.."
if [[ ${1:-} == --from ]]; then
  build=$(readlink -f "$2")
else
  bash scripts/install-deps.sh --package
  build=build-release
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DPD_TESTS=OFF -DPD_BENCH=OFF -DPD_FUZZ=OFF \
    -DPD_SANITIZE= -DPD_WERROR=OFF >/dev/null
fi
source scripts/build-env.sh
# The steps the README lists, exactly: the program (with all it installs), then cpack.
cmake --build "$build" --target plauderdeck
(cd "$build" && rm -f plauderdeck_*.deb && cpack -G DEB >cpack.log 2>&1) ||
  { cat "$build/cpack.log"; echo "cpack could not make the package" >&2; exit 1; }
debs=("$build"/plauderdeck_*.deb)
[[ -f ${debs[0]} ]] || { echo "cpack made no plauderdeck_*.deb" >&2; exit 1; }
readlink -f "${debs[0]}"
