#!/usr/bin/env bash
# Installs the Debian packages a command needs, and only those; when everything is present it
# only checks.
#
#   scripts/setup.sh          building and running: compiler, CMake and the client libraries
#                             (SDL2, GL, mpg123, JPEG, PNG, the PulseAudio client library, sd-bus
#                             for the desktop's media controls) and
#                             ffmpeg, with which `make run` renders a video where there is no
#                             display. Never a sound server: a desktop keeps the one it has.
#   scripts/setup.sh tests    also what the tests use: GoogleTest and Benchmark, OpenGL ES
#                             (for the programs drawing through the GL layer), a virtual X
#                             server and xdotool, and the sound servers they start privately
#                             (PulseAudio, and PipeWire with its PulseAudio service).
#   scripts/setup.sh fuzz     also clang and its sanitizer runtime, for the fuzz targets.
#   scripts/setup.sh web      also Debian's emscripten (with its LLVM, about 800 MB) and stb,
#                             for the demo in a browser; the browsers the web tests use are
#                             installed by scripts/web-test.sh.
set -euo pipefail
source "$(dirname "$0")/lib.sh"

packages=(
  build-essential cmake pkg-config
  libsdl2-dev libsdl2-image-dev libegl-dev libgl-dev libglu1-mesa-dev libgl1-mesa-dri libegl-mesa0
  libmpg123-dev libmp3lame-dev libebur128-dev libjpeg62-turbo-dev libpng-dev zlib1g-dev libpulse-dev libsystemd-dev
  ffmpeg
)
case "${1:-}" in
  "") ;;
  tests)
    testPackages=(libgtest-dev libbenchmark-dev libgles-dev xvfb xauth x11-utils xdotool
                  pulseaudio pulseaudio-utils pipewire pipewire-pulse wireplumber dbus-daemon playerctl)
    for server in pulseaudio pipewire pipewire-pulse wireplumber; do
      if ! dpkg-query -W -f='${Status}' "$server" 2>/dev/null | grep -q 'install ok installed'; then
        step "the tests start private PulseAudio and PipeWire servers, so their packages are installed; on a desktop they stand beside its own sound server, which keeps running as it is"
        break
      fi
    done
    packages+=("${testPackages[@]}") ;;
  fuzz) packages+=(clang libclang-rt-14-dev) ;;
  web)
    if ! dpkg-query -W -f='${Status}' emscripten 2>/dev/null | grep -q 'install ok installed'; then
      step "the browser build needs Debian's emscripten, which brings its own LLVM and Node.js (about 800 MB)"
    fi
    packages+=(emscripten libstb-dev zip python3) ;;
  *) echo "usage: scripts/setup.sh [tests | fuzz | web]" >&2; exit 2 ;;
esac
installPackages "${packages[@]}"
