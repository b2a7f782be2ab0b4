#!/usr/bin/env bash
# Runs the picture decoders under valgrind's memcheck and fails on any report: the picture and
# GIF tests, and every file of the BMP, GIF and JPEG fuzz corpora (the fuzz targets built with a
# plain main, fuzz/ReplayMain.cpp). A decoder that hands out a pixel it never wrote, or decides
# something on bytes it never read, shows up here even where the sanitizers stay silent.
#   scripts/check-uninit.sh                the corpora in fuzz/corpus
#   scripts/check-uninit.sh DIR...         and the inputs in DIR as well (e.g. a corpus a longer
#                                          libFuzzer run has grown), through every target
# Builds in build/ (the normal build). Leaks are not its business; ASan reports those.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh --test

build=build
cmake -S . -B "$build" -G Ninja >/dev/null
cmake --build "$build" -j"$(nproc)" --target pictures_tests gif_tests fuzz_bmp fuzz_gif fuzz_jpeg

export QT_QPA_PLATFORM=offscreen
memcheck=(valgrind --tool=memcheck --error-exitcode=99 --leak-check=no --track-origins=yes --quiet
          --suppressions=tests/valgrind.supp)
failed=0
run() {
  echo "== $*"
  "${memcheck[@]}" "$@" || { echo "!! memcheck failed: $*"; failed=1; }
}
run "$build/tests/pictures/pictures_tests" --gtest_brief=1
run "$build/tests/gif/gif_tests" --gtest_brief=1
for target in fuzz_bmp fuzz_gif fuzz_jpeg; do
  run "$build/fuzz/$target" "fuzz/corpus/$target" "$@"
done
[[ $failed -eq 0 ]] && echo "memcheck: no reports"
exit $failed
