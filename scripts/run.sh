#!/usr/bin/env bash
# Prepares the run folder (the executable, data/, and a kesu.ini when none is there: a size
# the user set stays) and plays the demo in it. Without a display (no DISPLAY, no
# WAYLAND_DISPLAY and no SDL_VIDEODRIVER chosen) it renders the demo with its music into
# kesu.mp4 there instead, at 1280x720 and 30 fps.
#
#   scripts/run.sh BUILD RUN_FOLDER
set -euo pipefail
source "$(dirname "$0")/lib.sh"
build=$(cd "$1" && pwd)
run=$2
freshDataPack "$build/tools/datagen/kesu-datagen" "$run"
cp "$build/host/kesu" "$run/kesu"
cd "$run"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${SDL_VIDEODRIVER:-}" ]; then
  step "no display, so the demo is rendered to $(pwd)/kesu.mp4 (1280x720, 30 fps) instead of played"
  start=$(date +%s)
  "$build/tools/capture/kesu-capture" --size 1280x720 --fps 30 --out kesu.mp4
  seconds=$(( $(date +%s) - start ))
  step "$(pwd)/kesu.mp4 is ready, rendered in $((seconds / 60)):$(printf %02d $((seconds % 60)))"
  exit 0
fi
exec ./kesu
