#!/usr/bin/env bash
# Builds the libFuzzer targets with clang in BUILD_DIR, writes their seeds, and runs each
# for SECONDS seconds, one after the other; prints each target's executions and findings.
# TARGETS (default: all) names the targets to run, separated by blanks: scene3ds (the .3ds
# reader with byte-level mutations), scene3ds_tree (the same with the chunk-tree mutator),
# config, texture.
# The corpora under BUILD_DIR/corpus grow from run to run; findings (crash-, leak-,
# timeout-, oom- files) go to BUILD_DIR/findings/<target>/. Exits 1 when any target found something.
set -uo pipefail
source "$(dirname "$0")/lib.sh"
source=$root

# Every target, and what each is run on.
allTargets="scene3ds scene3ds_tree config texture"
build=${1:-build/fuzz}
seconds=${2:-60}
targets=${3:-$allTargets}
targets=${targets:-$allTargets}
jobs=$(nproc)

bash "$root/scripts/setup.sh" fuzz || exit 1
CC=clang CXX=clang++ cmake -S "$source" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DKESU_FUZZ=ON -DKESU_TESTS=OFF -DKESU_BENCH=OFF >/dev/null || exit 1
buildTargets=(kesu_fuzz_seeds kesu_fuzz_picture_config_seeds)
for target in $allTargets; do buildTargets+=("kesu_fuzz_$target"); done
cmake --build "$build" -j "$jobs" --target "${buildTargets[@]}" >/dev/null || exit 1

tools="$build/tools/fuzz"
seeds="$build/seeds"
rm -rf "$seeds"
mkdir -p "$seeds" "$build/corpus" "$build/findings" "$build/logs"
"$tools/kesu_fuzz_seeds" "$seeds/scene3ds" || exit 1
"$tools/kesu_fuzz_picture_config_seeds" "$seeds/config" "$seeds/texture" >/dev/null || exit 1

# Pictures and scenes of a generated data pack, when a test build has made one: each
# picture becomes a plain-texture input (a zero loader byte, then the file).
pack="$source/build/test/testdata/data"
if [ -d "$pack" ]; then
  find "$pack" -maxdepth 1 -name '*.jpg' -size -32k | while read -r picture; do
    { printf '\0'; cat "$picture"; } > "$seeds/texture/pack-$(basename "$picture")"
  done
  find "$pack" -maxdepth 1 -name '*.3ds' -size -256k -exec cp {} "$seeds/scene3ds/" \;
fi

# One rasteriser thread, and the GL driver's own allocations are not findings.
export SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy LP_NUM_THREADS=0
export LSAN_OPTIONS="suppressions=$source/tests/sanitizers/lsan.supp:print_suppressions=0"
status=0
summary=()
run() {
  local name=$1
  shift
  local corpus="$build/corpus/$name" findings="$build/findings/$name/" log="$build/logs/$name.log"
  mkdir -p "$corpus" "$findings"
  local before
  before=$(find "$findings" -type f | wc -l)
  echo "fuzz: $name for $seconds s (log $log)"
  # The fuzzer stops itself after max_total_time; the outer bound catches a hung shutdown.
  timeout $((seconds + 300)) "$tools/kesu_fuzz_$name" -max_total_time="$seconds" -timeout=20 \
    -rss_limit_mb=2560 -print_final_stats=1 -artifact_prefix="$findings" "$corpus" "$@" >"$log" 2>&1
  local executions found
  executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  found=$(( $(find "$findings" -type f | wc -l) - before ))
  summary+=("$(printf '%-9s %10s executions in %s s, %d new findings' "$name" "${executions:-?}" "$seconds" "$found")")
  if [ "$found" -gt 0 ]; then
    status=1
    grep -m1 -E 'ERROR|invariant broken' "$log" | sed 's/^/    /'
  fi
}

for target in $targets; do
  case $target in
    scene3ds | scene3ds_tree)
      run "$target" -max_len=262144 "$seeds/scene3ds" "$source/tests/data/corpus3ds" ;;
    config) run config "$seeds/config" ;;
    texture) run texture "$seeds/texture" -dict="$source/tools/fuzz/texture.dict" ;;
    *) echo "fuzz: no target $target ($allTargets)" >&2; status=1 ;;
  esac
done

printf '%s\n' "${summary[@]}"
[ "$status" -eq 0 ] || echo "fuzz: findings are in $build/findings"
exit "$status"
