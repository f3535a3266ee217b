#!/usr/bin/env bash
# Plays the whole demo as a user would hear it and measures the sound against the pictures:
# a private PulseAudio with a null sink (started here, in a folder of its own, as root or as
# a normal user), the player under a virtual X server at 1280x720, the sink's monitor
# recorded with the server's account of when each block was heard, and then the underruns
# (silence in the recording that the music does not hold) and the offset between the
# player's clock log and the recorded sound, median and worst. About three minutes.
#
#   scripts/measure-audio-clock.sh [BUILD] [PLAYER]
#
# BUILD (default build/release) provides kesu-audioclock and kesu-datagen; PLAYER (default
# BUILD/host/kesu) is the program measured, so another build's player can be compared.
# The run folder, with the clock log and the recording, is BUILD/measure.
set -euo pipefail
build=${1:-build/release}
player=${2:-$build/host/kesu}
tool="$build/tools/audioclock/kesu-audioclock"
datagen="$build/tools/datagen/kesu-datagen"
for program in "$tool" "$datagen" "$player"; do
  if [ ! -x "$program" ]; then
    echo "measure-audio-clock: $program is missing; build first (make build-release)" >&2
    exit 1
  fi
done
for program in pulseaudio xvfb-run xauth; do
  if ! command -v "$program" >/dev/null; then
    echo "measure-audio-clock: $program is not installed (make setup installs it)" >&2
    exit 1
  fi
done

run="$build/measure"
mkdir -p "$run"
if [ ! -f "$run/data/.complete" ] || [ "$datagen" -nt "$run/data/.complete" ]; then
  echo "measure-audio-clock: generating the data pack into $run/data" >&2
  "$datagen" "$run"
  touch "$run/data/.complete"
fi
printf '1280 720 1\n' > "$run/kesu.ini"
cp "$player" "$run/kesu"
tool=$(cd "$(dirname "$tool")" && pwd)/$(basename "$tool")

cd "$run"
echo "measure-audio-clock: playing $player for 173 s at 1280x720 under Xvfb; load average $(cut -d' ' -f1-3 /proc/loadavg)" >&2
# The player must find the virtual display, not an offscreen driver left in the environment.
unset SDL_VIDEODRIVER
"$tool" --music data/little.mp3 --keep . --limit 400 -- xvfb-run -a -s "-screen 0 1280x720x24" ./kesu
