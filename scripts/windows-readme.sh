#!/usr/bin/env bash
# Prints README.txt for the Windows zip: how to start the demo, its keys, options and files,
# and the licences of everything the zip holds, with their texts.
#
#   scripts/windows-readme.sh VERSION PREFIX
set -euo pipefail
source "$(dirname "$0")/lib.sh"
version=$1
prefix=$2
cache=$(dirname "$prefix")
sourceFolder() { find "$cache/src" -maxdepth 1 -type d -name "$1-*" | sort | tail -1; }

cat <<EOF
Kesu Tamrick $version for Windows (64-bit)
==========================================

A three-minute real-time 3D demo: one piece of music and, locked to it, keyframed
scenes, wobbling spheres, particle streams, fog and warped pictures.

Starting it
-----------
Unpack the whole folder anywhere and double-click kesu.exe. The demo covers the
screen at the size in kesu.ini (1280 x 720 as shipped), shows a wait screen while it
loads, and ends by itself when the music ends after 173 seconds.

Keys: Escape quits at once; Space pauses the music and the picture, and goes on;
Left and Right go 5 seconds back and on, Down and Up 30 seconds, Home to the start,
Page Up and Page Down to the previous and the next part of the show; S or F12 saves a
screenshot into your Pictures folder (kesu-tamrick\); F, F11 or Alt+Enter switch
between the window and the full screen; L turns looping on or off; O keeps the time
bar on.

From a command prompt (cmd or PowerShell) in the folder, or with a shortcut's target:

  kesu.exe                 switch the display to the size in kesu.ini and cover it
  kesu.exe --window        play in a window of that size, next to other windows
  kesu.exe --desktop       cover the screen at the desktop's own size, no mode switch
  kesu.exe --from 120      start at that second of the music (0 to below 173)
  kesu.exe --loop          play the show again and again, until Escape
  kesu.exe --display 1     on the second monitor
  kesu.exe --help          the options and keys
  kesu.exe --version       the version

Started from a prompt, its messages and the line that tells how the run went appear
there. Started by a double-click, a problem at start-up is shown in a message box.

Files
-----
kesu.exe looks for its files in the folder it is started in when that folder holds a
data folder, and otherwise in its own folder:

  kesu.ini    three whole numbers: screen width, screen height and swap interval
              (1 waits for each screen refresh, 0 draws as fast as it can)
  kesu.log    written at each start: one line per step of making the window and the
              OpenGL context, each followed by OK or fAiLUre
  data\\       the music (little.mp3), the twelve scenes (*.3ds) and the pictures
              (*.jpg), all made by the project's own generator

The demo needs OpenGL, which every graphics driver on Windows provides.

What the zip holds, and the licences
------------------------------------
kesu.exe          the demo; the MIT licence below (LICENSE.txt). Built into it, each
                  under its own licence below: SDL2 (zlib licence), libjpeg-turbo
                  (IJG and BSD-style licences), libpng (libpng licence) and zlib
                  (zlib licence) for the screenshots, and the GNU C and C++ runtimes
                  with the MinGW-w64 thread library (GCC Runtime Library Exception;
                  MIT-style licence).
libmpg123-0.dll   MP3 decoding, and libsyn123-0.dll, its resampler: the mpg123
                  project's libraries under the GNU Lesser General Public License
                  2.1, kept as DLLs so that they can be replaced. Their source is
                  Debian's mpg123 source package, the version named below.
data\\             the music, scenes and pictures: the MIT licence below.
kesu.ini, README.txt, LICENSE.txt

This zip is built and tested on Linux, and run under Wine in those tests, not on
Windows itself.

EOF
section() {
  printf '\n%s\n' "----------------------------------------------------------------------"
  printf '%s\n' "$1"
  printf '%s\n\n' "----------------------------------------------------------------------"
  cat "$2"
}
section "Kesu Tamrick: MIT licence" "$root/LICENSE"
section "SDL2 ($(basename "$(sourceFolder libsdl2)")): zlib licence" "$(sourceFolder libsdl2)/LICENSE.txt"
section "libjpeg-turbo ($(basename "$(sourceFolder libjpeg-turbo)"))" "$(sourceFolder libjpeg-turbo)/LICENSE.md"
section "mpg123 ($(basename "$(sourceFolder mpg123)")): libmpg123 and libsyn123" "$(sourceFolder mpg123)/COPYING"
section "libpng ($(basename "$(sourceFolder libpng1.6)"))" "$(sourceFolder libpng1.6)/LICENSE"
section "zlib (Debian's libz-mingw-w64-dev)" /usr/share/doc/libz-mingw-w64-dev/copyright
for doc in /usr/share/doc/mingw-w64-common/copyright /usr/share/doc/mingw-w64-x86-64-dev/copyright; do
  if [ -f "$doc" ]; then
    section "MinGW-w64 runtime and thread library" "$doc"
    break
  fi
done
for doc in /usr/share/doc/gcc-mingw-w64-base/copyright /usr/share/doc/gcc-mingw-w64-x86-64-posix-runtime/copyright; do
  if [ -f "$doc" ]; then
    section "GCC runtime libraries (libgcc, libstdc++): GPL 3 with the GCC Runtime Library Exception" "$doc"
    break
  fi
done
