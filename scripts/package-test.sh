#!/usr/bin/env bash
# `make package-test`: installs the package from dist/ on this machine and uses it as a user
# would, from empty folders with an empty home: the installed player in a window under Xvfb
# from a late point to the end of the music, the capture tool on the installed pack, the
# manual pages; then purges the package (also when a step fails, so a red run leaves nothing
# installed) and checks that none of its files is left.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
source "$root/scripts/packages.sh"
export DEBIAN_FRONTEND=noninteractive
# What the checks themselves use: an X server for the player, man for the pages.
installPackages package-test xvfb xauth man-db
version=$(dpkg-parsechangelog -S Version)
deb="$root/dist/kesu-tamrick_${version}_$(dpkg --print-architecture).deb"
[ -f "$deb" ] || { echo "package-test: $deb is missing; make package builds it" >&2; exit 1; }

scratch=$(mktemp -d)
files="$scratch/files"
purge() {
  $sudo apt-get purge -y -qq kesu-tamrick >/dev/null 2>&1 || true
}
cleanup() {
  purge
  rm -rf "$scratch"
}
trap cleanup EXIT

step() { echo "package-test: $*" >&2; }
fail() { echo "package-test: FAILED: $*" >&2; exit 1; }

step "installing $(basename "$deb")"
$sudo apt-get install -y -qq "$deb" >/dev/null
dpkg -L kesu-tamrick > "$files"

home="$scratch/home"
mkdir -p "$home" "$scratch/play" "$scratch/capture"
# A user's session: the games folder on the path, no configuration, no state folder yet.
user_env=(env -u XDG_CONFIG_HOME -u XDG_STATE_HOME -u SDL_VIDEODRIVER HOME="$home"
  PATH="/usr/local/bin:/usr/bin:/bin:/usr/games" SDL_AUDIODRIVER=dummy)

step "kesu --window --from 170 under Xvfb, from an empty folder"
set +e
(cd "$scratch/play" && timeout 120 "${user_env[@]}" xvfb-run -a -s "-screen 0 1280x720x24" \
  kesu --window --from 170 >"$scratch/kesu.out" 2>"$scratch/kesu.err")
status=$?
set -e
cat "$scratch/kesu.out" "$scratch/kesu.err" >&2
[ "$status" -eq 0 ] || fail "kesu exited with $status"
grep -q "^kesu: [0-9]* frames in " "$scratch/kesu.out" || fail "no end-of-run report from kesu"
log="$home/.local/state/kesu-tamrick/kesu.log"
[ -f "$log" ] || fail "no start-up log at $log"
[ "$(grep -c 'OK$' "$log")" -eq 11 ] || fail "$log does not hold eleven OK steps: $(cat "$log")"
[ -z "$(ls -A "$scratch/play")" ] || fail "kesu wrote into the folder it was started in: $(ls -A "$scratch/play")"

step "kesu-capture --at 10 --out frames/ from an empty folder"
(cd "$scratch/capture" && timeout 300 env HOME="$home" SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy \
  kesu-capture --size 320x180 --at 10 --out frames/) >&2 || fail "kesu-capture failed"
[ -s "$scratch/capture/frames/at-00010.000.png" ] || fail "kesu-capture wrote no frames/at-00010.000.png"

step "manual pages"
for page in kesu kesu-capture kesu-3ds; do
  man -w "$page" >/dev/null || fail "man -w finds no page for $page"
done

step "purging"
purge
left=0
while IFS= read -r path; do
  if [ -e "$path" ] && [ ! -d "$path" ]; then
    echo "package-test: left behind: $path" >&2
    left=1
  fi
done < "$files"
while IFS= read -r path; do
  case "$path" in
    */kesu-tamrick | */kesu-tamrick/*)
      if [ -d "$path" ]; then echo "package-test: folder left behind: $path" >&2; left=1; fi ;;
  esac
done < "$files"
[ "$left" -eq 0 ] || fail "files of the package are left after the purge"
step "passed"
