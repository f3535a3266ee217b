#!/usr/bin/env bash
# Installs every Debian package the build, the tests, the data generator, the capture tool
# and the sound-server measurement (a private PulseAudio with a null sink, under Xvfb) need.
# `setup.sh tests` adds what only the tests and the measurement use: PipeWire with its
# PulseAudio service and session manager, which they start privately. `make run` never
# installs those, so a desktop keeps the sound server it had.
# Idempotent: when everything is present it only checks and exits.
set -euo pipefail

packages=(
  build-essential cmake pkg-config clang
  libsdl2-dev libsdl2-image-dev libegl-dev libgl-dev libglu1-mesa-dev libgl1-mesa-dri libegl-mesa0
  libmpg123-dev libmp3lame-dev libebur128-dev libjpeg62-turbo-dev libpng-dev zlib1g-dev
  libgtest-dev libbenchmark-dev
  ffmpeg
  libpulse-dev pulseaudio pulseaudio-utils xvfb xauth x11-utils
)
if [ "${1:-}" = "tests" ]; then
  packages+=(pipewire pipewire-pulse wireplumber dbus-daemon xdotool)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "setup: installing ${missing[*]}" >&2
sudo=""
if [ "$(id -u)" -ne 0 ]; then
  sudo="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
