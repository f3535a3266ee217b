#!/usr/bin/env bash
# Renders the eight golden frames into tests/golden/ on purpose, when a change to the
# pictures is meant: at 320x240 on a 20-frames-per-second clock from 0 (the rate keeps the
# run to the last frame near a minute on the software rasteriser), each colour channel cut
# to its top four bits so every file stays well under 50 KB. The golden-frame test renders
# and cuts its frames the same way. Look at the new pictures before committing them.
#
#   scripts/regenerate-golden.sh [BUILD_DIR]    (default build/test, as `make test` builds)
set -euo pipefail
source "$(dirname "$0")/lib.sh"
build=$(cd "${1:-$root/build/test}" && pwd)
golden="$root/tests/golden"
# One moment in each part of the show: title, blinds and grass (14), grass under the warp
# overlay (40), blob orbit, factory rewind, cube credits, robot core, finale sphere and the
# closing logo.
times=(14 40 57 75 95 120 150 170.5)

command -v ffmpeg >/dev/null || fail "ffmpeg is needed (scripts/setup.sh installs it)"
cmake --build "$build" --target kesu-capture kesu_datapack >/dev/null

frames=$(mktemp -d)
trap 'rm -rf "$frames"' EXIT
args=()
for t in "${times[@]}"; do args+=(--at "$t"); done
(cd "$build/testdata" && timeout 1800 "$build/tools/capture/kesu-capture" --size 320x240 --fps 20 "${args[@]}" \
  --out "$frames" >/dev/null)

mkdir -p "$golden"
rm -f "$golden"/*.png
for frame in "$frames"/*.png; do
  ffmpeg -v error -y -i "$frame" \
    -vf "lutrgb=r='bitand(val,240)':g='bitand(val,240)':b='bitand(val,240)'" \
    -pix_fmt rgb24 -compression_level 9 -pred none "$golden/$(basename "$frame")"
done
ls -l "$golden"
