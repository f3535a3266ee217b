#!/usr/bin/env bash
# The test run behind `make test`: every test on the regular build, then again on the
# AddressSanitizer + UndefinedBehaviorSanitizer build, then the whole demo captured headless
# under both sanitizers with the GL error check and LeakSanitizer at exit.
set -euo pipefail
build=$1
asan=$2
jobs=${3:-2}
root=$(pwd)

export SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy

echo "== tests ($build)"
(cd "$build" && ctest --output-on-failure -j "$jobs" --timeout 900)

# Leaks inside the GL driver and SDL are suppressed; they are attributed only with the slow
# unwinder because the driver is unloaded before the report.
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:strict_string_checks=1
export LSAN_OPTIONS="suppressions=$root/tests/sanitizers/lsan.supp:fast_unwind_on_malloc=0:print_suppressions=0"
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

echo "== tests under AddressSanitizer and UndefinedBehaviorSanitizer ($asan)"
# The 173-s run at 640x480 is covered below at a smaller size.
(cd "$asan" && ctest --output-on-failure -j "$jobs" --timeout 900 -E '^HeadlessRun\.')

echo "== whole demo at 160x120, 30 frames per second, under the sanitizers"
start=$(date +%s)
(cd "$asan/testdata" && "$root/$asan/tools/capture/kesu-capture" --size 160x120 --fps 30 --check-gl)
echo "whole-demo capture under the sanitizers: $(( $(date +%s) - start )) s"
