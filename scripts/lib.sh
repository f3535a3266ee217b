# Sourced by every script of the project, first thing after `set -euo pipefail`:
#
#   root                     the project's folder
#   sudo                     "sudo" when not run as root, for commands that need root
#   kesuVersion              the version, from the newest entry of debian/changelog
#   step TEXT / fail TEXT    a line on stderr named after the script; fail exits with 1
#   installPackages PKG...   installs those of the Debian packages that are missing
#   bounded SECONDS CMD...   runs CMD for at most SECONDS; its exit status is in $status
#   freshDataPack DATAGEN DIR
#                            generates DIR/data (and DIR/kesu.ini when none is there) with
#                            the data generator, unless the pack there is newer than it
#   buildPlayer DIR CONFIGURE...
#                            configures DIR with the command CONFIGURE... and builds the
#                            player there, logging to DIR.log; the log's end, or its errors,
#                            on stderr when a step fails
#   startXServer WxH         a virtual X server on a free display, exported as DISPLAY; it
#                            stops when the script exits (stopXServer stops it sooner)
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
scriptName=$(basename "$0" .sh)
sudo=""
if [ "$(id -u)" -ne 0 ]; then
  sudo="sudo"
fi

kesuVersion() { sed -n '1s/.*(\([^)]*\)).*/\1/p' "$root/debian/changelog"; }

step() { echo "$scriptName: $*" >&2; }
fail() {
  echo "$scriptName: FAILED: $*" >&2
  exit 1
}

installPackages() {
  local package missing=()
  for package in "$@"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
  done
  [ ${#missing[@]} -gt 0 ] || return 0
  step "installing ${missing[*]}"
  $sudo apt-get update -qq
  $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

status=0
bounded() {
  local seconds=$1
  shift
  status=0
  timeout "$seconds" "$@" || status=$?
}

buildPlayer() {
  local build=$1
  shift
  "$@" >"$build.log" 2>&1 || {
    tail -30 "$build.log" >&2
    exit 1
  }
  cmake --build "$build" -j "$(nproc)" --target kesu >>"$build.log" 2>&1 || {
    grep -E "error|Error" "$build.log" | head -30 >&2
    exit 1
  }
}

freshDataPack() {
  local datagen=$1 folder=$2
  [ -x "$datagen" ] || fail "$datagen is missing; build first"
  if [ ! -f "$folder/data/.complete" ] || [ "$datagen" -nt "$folder/data/.complete" ]; then
    step "generating the data pack into $folder/data"
    mkdir -p "$folder"
    "$datagen" "$folder" >&2
    touch "$folder/data/.complete"
  fi
}

xServer=""
startXServer() {
  local size=$1 numberFile
  numberFile=$(mktemp)
  Xvfb -displayfd 3 -screen 0 "${size}x24" -nolisten tcp 3>"$numberFile" >/dev/null 2>&1 &
  xServer=$!
  trap stopXServer EXIT
  for _ in $(seq 100); do
    [ -s "$numberFile" ] && break
    sleep 0.1
  done
  [ -s "$numberFile" ] || fail "the virtual X server did not start"
  export DISPLAY=":$(head -1 "$numberFile")"
  rm -f "$numberFile"
  for _ in $(seq 100); do
    xwininfo -root >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  fail "the virtual X server on $DISPLAY takes no clients"
}
stopXServer() {
  [ -n "$xServer" ] && kill "$xServer" 2>/dev/null || true
  xServer=""
}
