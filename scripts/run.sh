#!/usr/bin/env bash
# Prepares the run folder (the executable, kesu.ini and data/) and plays the demo in it.
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
cd "$run"
exec ./kesu
