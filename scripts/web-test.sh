#!/usr/bin/env bash
# `make web-test`: the page `make web` built, in real browsers behind a small test server on the
# loopback address (tests/web/webTest.py): headless Chromium over the DevTools protocol, on
# Mesa's llvmpipe and on SwiftShader, and Firefox ESR and WebKit (WebKitGTK's MiniBrowser through
# its WebDriver: Safari's engine) on a virtual X server. The browsers run in throwaway profiles;
# the program's size is checked first. The media session test needs a session bus and playerctl.
#
#   scripts/web-test.sh RELEASE_BUILD
set -euo pipefail
source "$(dirname "$0")/lib.sh"
release=$(cd "${1:-build/release}" && pwd)
cd "$root"
site="$root/dist/kesu-tamrick-web"
[ -f "$site/sw.js" ] || fail "$site is missing; make web builds it"

installPackages chromium firefox-esr webkit2gtk-driver xvfb xauth x11-utils python3 python3-numpy ffmpeg dbus-daemon playerctl

program=$(cat "$root/build/web/host/kesu.js" "$root/build/web/host/kesu.wasm" | gzip -9 | wc -c)
step "kesu.js and kesu.wasm: $(( program / 1024 )) KiB with gzip -9 (at most 1024)"
[ "$program" -le 1048576 ] || fail "the program is over 1 MB gzipped"

# Firefox and WebKit give WebGL 2 on an X server, not headless; Chromium runs headless beside it.
startXServer 1280x800
unset SDL_VIDEODRIVER
bounded 1500 /usr/bin/python3 tests/web/webTest.py --site "$site" --packed "$root/build/web/pack" \
  --player "$release/host/kesu" --capture "$release/tools/capture/kesu-capture" --firefox
[ "$status" -eq 0 ] || fail "the page failed in a browser (above)"
step "passed"
