#!/usr/bin/env bash
# `make web-run`: serves dist/kesu-tamrick-web/ on http://127.0.0.1:8000/ with Python's own web
# server, on the loopback address only, until Ctrl+C. WEB_PORT picks another port.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
site="$root/dist/kesu-tamrick-web"
[ -f "$site/index.html" ] || fail "$site is missing; make web builds it"
port=${WEB_PORT:-8000}
step "the demo is at http://127.0.0.1:$port/ (open it in a browser with WebGL 2; Ctrl+C stops the server)"
exec python3 -m http.server "$port" --bind 127.0.0.1 --directory "$site"
