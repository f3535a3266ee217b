#!/usr/bin/env bash
# The test run behind `make test`: every test on the regular build, then again on the
# AddressSanitizer + UndefinedBehaviorSanitizer build, where the whole show is also drawn
# with the GL error check and LeakSanitizer at its exit.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
build=$1
asan=$2
jobs=${3:-2}
cd "$root"

export SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy

start=$(date +%s)
echo "== tests ($build)"
# The data pack's second run is the sanitized build's own.
(cd "$build" && KESU_SECOND_PACK="$root/$asan/testdata" ctest --output-on-failure -j "$jobs" --timeout 900)
echo "tests: $(( $(date +%s) - start )) s"

# Leaks inside the GL driver and SDL are suppressed by module name.
export ASAN_OPTIONS=detect_leaks=0:abort_on_error=0:strict_string_checks=1
export LSAN_OPTIONS="suppressions=$root/tests/sanitizers/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

# Tests the sanitizers add nothing to run in the regular build alone; each says so and why
# (tests/support/regularBuildOnly.h), and shows as skipped here.
# Leak checking is left to the whole-show run: in the short GL test programs LeakSanitizer's
# thread tracer crashes now and then while the software rasteriser's threads wind down.
# The sanitized tests hold nothing to a time bound, and their sound-server and X tests wait on
# the wall clock much of the time: one test more than there are processors keeps them busy.
start=$(date +%s)
echo "== tests under AddressSanitizer and UndefinedBehaviorSanitizer ($asan)"
(cd "$asan" && ctest --output-on-failure -j "$(( jobs + 1 ))" --timeout 900)
echo "tests under the sanitizers: $(( $(date +%s) - start )) s"
