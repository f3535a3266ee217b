#!/usr/bin/env bash
# The page's figures beside the desktop's on this machine (bench/webBench.py): its first
# paint, its first frame after the click, and every effect window's median frame time drawn
# back to back in headless Chromium on llvmpipe at 640x480 (?bench=1) against kesu-capture
# --bench at 640x480, in turn RUNS times (the machines are shared: one run alone says little),
# and the page on a phone-sized viewport (1170 x 878 drawn) beside them.
# About five minutes a run on two cores. Needs `make web` and the release build.
# --keep-freed-memory: see bench/webBench.py.
#
#   scripts/bench-web.sh [--runs N] [--keep-freed-memory] [RELEASE_BUILD]
set -euo pipefail
source "$(dirname "$0")/lib.sh"
options=()
while [ $# -gt 0 ]; do
  case $1 in
    --runs) options+=(--runs "$2"); shift 2 ;;
    --keep-freed-memory) options+=("$1"); shift ;;
    *) break ;;
  esac
done
release=$(cd "${1:-build/release}" && pwd)
cd "$root"
[ -f dist/kesu-tamrick-web/sw.js ] || fail "dist/kesu-tamrick-web is missing; make web builds it"
installPackages chromium python3 python3-numpy
step "load average $(cut -d' ' -f1-3 /proc/loadavg)"
/usr/bin/python3 bench/webBench.py "${options[@]}" "$root/dist/kesu-tamrick-web" "$root/build/web/pack" \
  "$release/tools/capture/kesu-capture"
