#!/usr/bin/env bash
# Plays the whole demo as a user would hear it and measures the sound against the pictures:
# a private sound server with a null sink (PulseAudio, or PipeWire with its PulseAudio
# service, started here in a folder of their own, as root or as a normal user), the player
# under a virtual X server, the sink's monitor recorded with the server's account of when
# each block was heard, and then the underruns (silence in the recording that the music does
# not hold), the clock's offset from the sound and the picture lag of both clocks (the time
# each frame was drawn for, and the position read at its start), median, 95th percentile and
# worst. About three minutes.
#
#   scripts/measure-audio-clock.sh [--server pulseaudio|pipewire] [--size WxH] [BUILD] [PLAYER]
#
# BUILD (default build/release) provides kesu-audioclock and kesu-datagen; PLAYER (default
# BUILD/host/kesu) is the program measured, so another build's player can be compared. The
# size defaults to 1280x720. PipeWire's packages are installed here when missing, never by
# `make run`. The run folder, with the clock log and the recording, is BUILD/measure.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
server=pulseaudio
size=1280x720
while [ $# -gt 0 ]; do
  case $1 in
    --server) server=$2; shift 2 ;;
    --size) size=$2; shift 2 ;;
    *) break ;;
  esac
done
case $server in
  pulseaudio) needed=(pulseaudio) ;;
  pipewire) needed=(pipewire pipewire-pulse wireplumber dbus-daemon) ;;
  *) echo "measure-audio-clock: --server takes pulseaudio or pipewire" >&2; exit 2 ;;
esac
build=$(cd "${1:-build/release}" && pwd)
player=$(cd "$(dirname "${2:-$build/host/kesu}")" && pwd)/$(basename "${2:-$build/host/kesu}")
tool="$build/tools/audioclock/kesu-audioclock"
for program in "$tool" "$player"; do
  [ -x "$program" ] || fail "$program is missing; build first (make build-release)"
done
installPackages "${needed[@]}" xvfb xauth pulseaudio-utils

run="$build/measure"
freshDataPack "$build/tools/datagen/kesu-datagen" "$run"
cp "$player" "$run/kesu"
cd "$run"
step "playing $player for 173 s at ${size} under Xvfb through $server; load average $(cut -d' ' -f1-3 /proc/loadavg)"
# The player covers the virtual screen at its own size; it must find the virtual display, not
# an offscreen driver left in the environment.
unset SDL_VIDEODRIVER
"$tool" --music data/little.mp3 --server "$server" --keep . --limit 400 -- \
  xvfb-run -a -s "-screen 0 ${size}x24" ./kesu --desktop
