#!/usr/bin/env bash
# Installs what is missing, builds Plauderdeck and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build -G Ninja -DPD_TESTS=OFF -DPD_BENCH=OFF >/dev/null
cmake --build build -j"$(nproc)" --target plauderdeck
exec build/src/app/plauderdeck
