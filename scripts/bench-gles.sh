#!/usr/bin/env bash
# The show's frame times on the system's GL and through the fixed-function layer over OpenGL
# ES 3, side by side: kesu-capture --bench and kesu-capture-gles --bench in turn on the same
# machine, each size a few times over (the machines are shared: one run alone says little),
# and per effect window the median of the runs' medians and the layer's over the system's.
# About 40 s a run at 640x480 and 10 frames per second.
#
#   scripts/bench-gles.sh [--fps N] [--runs N] [BUILD] [WxH...]
#                         (defaults: 10, 3, build/test, 640x480 1280x720)
set -euo pipefail
source "$(dirname "$0")/lib.sh"
fps=10
runs=3
while [ $# -gt 0 ]; do
  case $1 in
    --fps) fps=$2; shift 2 ;;
    --runs) runs=$2; shift 2 ;;
    *) break ;;
  esac
done
build=$(cd "${1:-build/test}" && pwd)
shift || true
sizes=("$@")
[ ${#sizes[@]} -gt 0 ] || sizes=(640x480 1280x720)
for program in kesu-capture kesu-capture-gles; do
  [ -x "$build/tools/capture/$program" ] || fail "$build/tools/capture/$program is missing; build with the tests first"
done
export SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy
cd "$build/testdata"
step "load average $(cut -d' ' -f1-3 /proc/loadavg)"
results=$(mktemp -d)
trap 'rm -rf "$results"' EXIT
for size in "${sizes[@]}"; do
  for run in $(seq "$runs"); do
    for program in kesu-capture kesu-capture-gles; do
      # "window<TAB>median ms" for each effect window and "all frames".
      "$build/tools/capture/$program" --size "$size" --fps "$fps" --bench 2>/dev/null |
        awk '/^window/{on=1; next} /^readback/{on=0}
             on && NF>=6 {name=$1; for (i=2; i<=NF-5; ++i) name=name" "$i; print name "\t" $(NF-3)}' \
        >"$results/$program-$run.txt"
    done
  done
  echo "$size, $fps frames per second, $runs runs: median ms per frame"
  printf '%-36s %10s %10s %8s\n' window "GL 1.1" "ES 3 layer" ratio
  cut -f1 "$results/kesu-capture-1.txt" | while read -r window; do
    median() { grep -hF "$window"$'\t' "$results"/"$1"-*.txt | awk -F'\t' -v w="$window" '$1==w {print $2}' | sort -g |
               awk '{v[NR]=$1} END {print (NR % 2 ? v[(NR+1)/2] : (v[NR/2] + v[NR/2+1]) / 2)}'; }
    gl=$(median kesu-capture)
    es=$(median kesu-capture-gles)
    awk -v w="$window" -v a="$gl" -v b="$es" 'BEGIN {printf "%-36s %10.2f %10.2f %8.2f\n", w, a, b, (a > 0 ? b / a : 0)}'
  done
  echo
done
