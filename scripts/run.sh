#!/usr/bin/env bash
# Installs what is missing, builds Plauderdeck and starts it.
# The build folder build/ is shared with scripts/test.sh; every option that differs between the
# two is given here explicitly, so whichever ran last never decides what the other builds.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
source scripts/build-env.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPD_TESTS=OFF -DPD_BENCH=OFF -DPD_FUZZ=OFF \
  -DPD_SANITIZE= -DPD_WERROR=OFF >/dev/null
cmake --build build -j"$(nproc)" --target plauderdeck
exec build/src/app/plauderdeck "$@"
