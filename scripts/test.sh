#!/usr/bin/env bash
# The test run behind `make test`: every test on the regular build, then again on the
# AddressSanitizer + UndefinedBehaviorSanitizer build, then the whole demo captured headless
# under both sanitizers with the GL error check and LeakSanitizer at exit.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
build=$1
asan=$2
jobs=${3:-2}
cd "$root"

export SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy

echo "== tests ($build)"
(cd "$build" && ctest --output-on-failure -j "$jobs" --timeout 900)

# Leaks inside the GL driver and SDL are suppressed by module name.
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:strict_string_checks=1
export LSAN_OPTIONS="suppressions=$root/tests/sanitizers/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

echo "== tests under AddressSanitizer and UndefinedBehaviorSanitizer ($asan)"
# The 173-s run at 640x480 is covered below at a smaller size, and the show's comparison with
# the GL layer's is one capture run a path, left to the regular build. Leak checking is left to the
# whole-demo run: in the short GL test programs LeakSanitizer's thread tracer crashes now and
# then while the software rasteriser's threads are still winding down.
(cd "$asan" && ASAN_OPTIONS="${ASAN_OPTIONS/detect_leaks=1/detect_leaks=0}" \
  ctest --output-on-failure -j "$jobs" --timeout 900 -E '^(HeadlessRun|ImmediatePath)\.|^FixedGlLayer\.TheShow')

echo "== whole demo at 160x120, 30 frames per second, under the sanitizers"
start=$(date +%s)
(cd "$asan/testdata" && "$root/$asan/tools/capture/kesu-capture" --size 160x120 --fps 30 --check-gl)
echo "whole-demo capture under the sanitizers: $(( $(date +%s) - start )) s"
