#!/usr/bin/env bash
# Prepares the run folder (the executable, kesu.ini and data/) and plays the demo in it.
# Without a display (no DISPLAY, no WAYLAND_DISPLAY and no SDL_VIDEODRIVER chosen) it
# renders the demo with its music into kesu.mp4 there instead, at 1280x720 and 30 fps.
set -euo pipefail
build=$1
run=$2
mkdir -p "$run"
cp "$build/host/kesu" "$run/kesu"
datagen="$build/tools/datagen/kesu-datagen"
if [ -x "$datagen" ]; then
  if [ ! -f "$run/data/.complete" ] || [ "$datagen" -nt "$run/data/.complete" ]; then
    echo "run: generating the data pack into $run/data" >&2
    "$datagen" "$run"
    touch "$run/data/.complete"
  fi
fi
if [ ! -f "$run/data/little.mp3" ]; then
  echo "run: the data pack is missing ($run/data/little.mp3 not found); the data generator is not built yet" >&2
  exit 1
fi
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${SDL_VIDEODRIVER:-}" ]; then
  capture="$(cd "$build" && pwd)/tools/capture/kesu-capture"
  echo "run: no display, so the demo is rendered to $run/kesu.mp4 (1280x720, 30 fps) instead of played" >&2
  cd "$run"
  start=$(date +%s)
  "$capture" --size 1280x720 --fps 30 --out kesu.mp4
  seconds=$(( $(date +%s) - start ))
  printf 'run: %s/kesu.mp4 is ready, rendered in %d:%02d\n' "$(pwd)" $((seconds / 60)) $((seconds % 60)) >&2
  exit 0
fi
cd "$run"
exec ./kesu
