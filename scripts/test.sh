#!/usr/bin/env bash
# Builds Plauderdeck and runs its tests; installs what is missing first.
#   scripts/test.sh          every test, normal build (build/)
#   scripts/test.sh asan     every test under AddressSanitizer + UndefinedBehaviorSanitizer
#   scripts/test.sh tsan     the threaded transport tests under ThreadSanitizer
#   scripts/test.sh fuzz     every fuzz target for a short run (clang + libFuzzer)
set -euo pipefail
cd "$(dirname "$0")/.."
mode="${1:-normal}"
bash scripts/install-deps.sh --test
source scripts/build-env.sh

jobs=$(nproc)
# Every option is given explicitly: build/ is shared with scripts/run.sh, which turns the tests off.
common=(-G Ninja -DPD_WERROR="$([[ "${CI:-}" == "true" ]] && echo ON || echo OFF)" -DPD_FUZZ=OFF)
# A run that finds no test has tested nothing: that is a failure, not a pass.
run_ctest=(ctest --output-on-failure --no-tests=error -j"$jobs")
export QT_QPA_PLATFORM=offscreen

case "$mode" in
  normal)
    cmake -S . -B build "${common[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPD_SANITIZE= -DPD_TESTS=ON \
      -DPD_BENCH=ON >/dev/null
    cmake --build build -j"$jobs"
    "${run_ctest[@]}" --test-dir build --timeout 300
    ;;
  asan)
    export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
    cmake -S . -B build-asan "${common[@]}" -DCMAKE_BUILD_TYPE=Debug -DPD_SANITIZE=address,undefined -DPD_TESTS=ON \
      -DPD_BENCH=OFF >/dev/null
    cmake --build build-asan -j"$jobs"
    "${run_ctest[@]}" --test-dir build-asan --timeout 600
    ;;
  tsan)
    export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$PWD/tests/tsan.supp"
    cmake -S . -B build-tsan "${common[@]}" -DCMAKE_BUILD_TYPE=Debug -DPD_SANITIZE=thread -DPD_TESTS=ON \
      -DPD_BENCH=OFF >/dev/null
    cmake --build build-tsan -j"$jobs" --target pd_tsan_tests
    "${run_ctest[@]}" --test-dir build-tsan --timeout 600 -L threaded
    ;;
  fuzz)
    CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPD_FUZZ=ON \
      -DPD_SANITIZE= -DPD_TESTS=OFF -DPD_BENCH=OFF -DPD_WERROR=OFF >/dev/null
    cmake --build build-fuzz -j"$jobs" --target fuzzers
    seconds="${PD_FUZZ_SECONDS:-30}"
    export LSAN_OPTIONS="suppressions=$PWD/fuzz/lsan.supp"
    count=0
    for f in build-fuzz/fuzz/fuzz_*; do
      [[ -x "$f" && -f "$f" ]] || continue
      name=$(basename "$f")
      corpus=$(mktemp -d)
      [[ -d "fuzz/corpus/$name" ]] && cp -r "fuzz/corpus/$name/." "$corpus/"
      echo "== $name (${seconds}s)"
      # A target that lays out text meets the toolkit's font caches, which only whole stacks
      # tell apart from a leak of ours (see fuzz/lsan.supp).
      asan=""
      [[ "$name" == fuzz_skin ]] && asan="fast_unwind_on_malloc=0"
      ASAN_OPTIONS="$asan" "$f" -max_total_time="$seconds" -rss_limit_mb=2048 -print_final_stats=0 "$corpus" 2>&1 |
        tail -n 3
      rm -rf "$corpus"
      count=$((count + 1))
    done
    ((count > 0)) || { echo "no fuzz target was built" >&2; exit 1; }
    echo "$count fuzz targets ran without a crash"
    ;;
  *)
    echo "unknown mode: $mode" >&2; exit 2 ;;
esac
