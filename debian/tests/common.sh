# Sourced by the installed-package checks: a user of their own for each check, with an empty
# home and the games folder on the path, in an empty folder; no sound device.
set -euo pipefail
scratch=${AUTOPKGTEST_TMP:-$(mktemp -d)}
export HOME="$scratch/home"
unset XDG_CONFIG_HOME XDG_STATE_HOME XDG_DATA_HOME SDL_VIDEODRIVER
export PATH="/usr/local/bin:/usr/bin:/bin:/usr/games" SDL_AUDIODRIVER=dummy
mkdir -p "$HOME" "$scratch/work"
cd "$scratch/work"
fail() {
  echo "FAILED: $*"
  exit 1
}
# The installed player from this folder in a window under a virtual X server, from 171 s to
# the end of the music; its stdout and stderr in $scratch/kesu.out and kesu.err.
playToTheEnd() {
  local status=0
  timeout 120 xvfb-run -a -s "-screen 0 1280x720x24" kesu --window --from 171 >"$scratch/kesu.out" \
    2>"$scratch/kesu.err" || status=$?
  [ "$status" -eq 0 ] || fail "kesu exited with $status: $(cat "$scratch/kesu.err")"
  grep -q "^kesu: [0-9]* frames in " "$scratch/kesu.out" || fail "no end-of-run report: $(cat "$scratch/kesu.out")"
}
