#!/usr/bin/env bash
# `make windows-test`: the Windows zip unpacked into an empty folder and run under Debian's
# Wine on a virtual X server, as the other tests run the player: a late start to the end of
# the music, a usage error, a damaged scene (from a console, and without one: its message box,
# read with the OCR engine), and one frame compared with the Linux capture of the same moment
# and with the player's own screenshot of it.
# Wine runs in a private prefix under the build folder; every wine call is bounded in time and
# the Wine server is stopped at the end.
#
#   scripts/windows-test.sh RELEASE_BUILD
set -euo pipefail
source "$(dirname "$0")/lib.sh"
release=$(cd "${1:-build/release}" && pwd)
cd "$root"
zip="$root/dist/kesu-tamrick-windows-x64.zip"
[ -f "$zip" ] || fail "$zip is missing; make windows builds it"

installPackages wine wine64 xvfb xauth x11-utils xdotool unzip ffmpeg tesseract-ocr tesseract-ocr-eng

work="$root/build/windows/test"
rm -rf "$work"
mkdir -p "$work"
export WINEPREFIX="$root/build/windows/wineprefix"
export WINEDLLOVERRIDES="mscoree=;mshtml="
export WINEDEBUG=-all
unset SDL_VIDEODRIVER
export SDL_AUDIODRIVER=dummy

startXServer 1600x900
cleanup() {
  timeout 30 wineserver -k >/dev/null 2>&1 || true
  stopXServer
}
trap cleanup EXIT

step "a Wine prefix in $WINEPREFIX"
timeout 300 wineboot -i >"$work/wineboot.log" 2>&1 || fail "wineboot: $(tail -5 "$work/wineboot.log")"

unpack() {
  rm -rf "$1"
  mkdir -p "$1"
  unzip -q "$zip" -d "$1"
}
unpack "$work/run"
game="$work/run/kesu-tamrick"

step "kesu.exe --window --from 170"
cd "$game"
bounded 180 wine kesu.exe --window --from 170 >"$work/late.out" 2>"$work/late.err"
cat "$work/late.out" "$work/late.err" >&2
[ "$status" -eq 0 ] || fail "kesu.exe --window --from 170 exited with $status"
grep -q "^kesu: [0-9]* frames in " "$work/late.out" || fail "no end-of-run report"
[ "$(grep -c 'OK$' "$game/kesu.log")" -eq 11 ] || fail "kesu.log does not hold eleven OK steps: $(cat "$game/kesu.log")"

# As a double-click starts it: from another working folder, by its Windows path with
# backslashes; it plays the pack beside kesu.exe and writes kesu.log there.
step "kesu.exe started from another folder by its Windows path"
rm -f "$game/kesu.log"
mkdir -p "$work/elsewhere"
windowsPath="Z:$(echo "$game" | tr / '\\')\\kesu.exe"
cd "$work/elsewhere"
bounded 120 wine "$windowsPath" --window --from 171 >"$work/elsewhere.out" 2>"$work/elsewhere.err"
cd "$game"
[ "$status" -eq 0 ] || fail "$windowsPath --window --from 171 exited with $status: $(cat "$work/elsewhere.err")"
grep -q "^kesu: [0-9]* frames in " "$work/elsewhere.out" || fail "no end-of-run report from another folder"
[ -f "$game/kesu.log" ] && [ ! -e "$work/elsewhere/kesu.log" ] || fail "kesu.log was not written beside kesu.exe"

step "kesu.exe --desktop --from 171"
bounded 120 wine kesu.exe --desktop --from 171 >"$work/desktop.out" 2>"$work/desktop.err"
[ "$status" -eq 0 ] || fail "kesu.exe --desktop --from 171 exited with $status: $(cat "$work/desktop.err")"
grep -q "^kesu: playing at 1600 x 900;" "$work/desktop.out" || fail "--desktop did not cover the 1600x900 screen: $(cat "$work/desktop.out")"

step "kesu.exe --version"
version=$(timeout 60 wine kesu.exe --version 2>&1 | tr -d '\r')
[ "$version" = "kesu $(kesuVersion)" ] || fail "--version said \"$version\""

step "kesu.exe --no-such-option"
bounded 60 wine kesu.exe --no-such-option >"$work/usage.out" 2>"$work/usage.err"
[ "$status" -eq 2 ] || fail "a usage error exited with $status"
grep -q "usage: kesu" "$work/usage.err" || fail "no usage: $(cat "$work/usage.err")"

step "a scene cut in half"
unpack "$work/damaged"
scene="$work/damaged/kesu-tamrick/data/kostka2.3ds"
truncate -s $(( $(stat -c %s "$scene") / 2 )) "$scene"
cd "$work/damaged/kesu-tamrick"
bounded 60 wine kesu.exe --window >"$work/damaged.out" 2>"$work/damaged.err"
[ "$status" -eq 1 ] || fail "a damaged scene exited with $status"
grep -q "data/kostka2.3ds: byte " "$work/damaged.err" || fail "the message does not name the scene: $(cat "$work/damaged.err")"

# Started by `start`, as Explorer starts it, the player has no console: the same failure
# shows in a message box, after the window is gone, and OK ends it with status 1.
step "the damaged scene without a console: a message box"
(bounded 90 wine start /wait kesu.exe --window </dev/null >"$work/box.out" 2>&1
 echo "$status" >"$work/box.status") &
starter=$!
box=""
geometry=""
for _ in $(seq 600); do
  for id in $(xdotool search --name "^Kesu Tamrick$" 2>/dev/null); do
    width=$(xwininfo -id "$id" 2>/dev/null | awk '/Width:/ {print $2}' || true)
    [ -n "$width" ] && [ "$width" -lt 1000 ] && box=$id
  done
  if [ -n "$box" ]; then
    # The box stays until a key closes it; a small window gone within half a second was
    # another (the player's own, on its way to its size).
    sleep 0.5
    geometry=$(xwininfo -id "$box" 2>/dev/null | awk '/Absolute upper-left X/ {print "bx=" $4}
      /Absolute upper-left Y/ {print "by=" $4} /Width:/ {print "bw=" $2} /Height:/ {print "bh=" $2}' || true)
    [ -n "$geometry" ] && break
    box=""
  fi
  sleep 0.1
done
[ -n "$box" ] || fail "no message box appeared"
eval "$geometry"
ffmpeg -v error -y -f x11grab -video_size "${bw}x${bh}" -i "$DISPLAY+$bx,$by" -frames:v 1 "$work/box.png" ||
  fail "the message box ($geometry) could not be grabbed from the screen"
xdotool key --window "$box" Return 2>/dev/null || fail "the message box took no Return"
wait "$starter" || true
[ "$(cat "$work/box.status")" -eq 1 ] || fail "the player ended with $(cat "$work/box.status") after its message box"
# The box's text, read from the grabbed picture (enlarged, as the OCR engine reads larger type
# more surely): the scene and its byte, as on the console.
ffmpeg -v error -y -i "$work/box.png" -vf scale=iw*3:ih*3:flags=lanczos "$work/box-large.png"
tesseract "$work/box-large.png" "$work/box" >/dev/null 2>&1 || fail "the OCR engine could not read $work/box.png"
tr -s ' \n' ' ' <"$work/box.txt" | grep -q "kostka2.3ds: byte [0-9]" ||
  fail "the message box does not say what the console said: \"$(tr -s ' \n' ' ' <"$work/box.txt")\" (see $work/box.png)"

# The blob orbit (50 to 65 s) draws no particles and clears its picture every frame, so a
# frame of it depends on nothing but its clock: paused under Wine, grabbed from the screen,
# and drawn again on Linux at the clock the frame was drawn for.
step "one frame of the blob orbit against the Linux capture"
cd "$game"
(KESU_CLOCK_LOG=clock.txt timeout 120 wine kesu.exe --window --from 53 >"$work/frame.out" 2>"$work/frame.err") &
player=$!
window=""
for _ in $(seq 300); do
  window=$(xdotool search --name "Kesu Tamrick" 2>/dev/null | head -1 || true)
  grep -q "kesu: playing" "$work/frame.out" 2>/dev/null && [ -n "$window" ] && break
  sleep 0.1
done
[ -n "$window" ] || fail "no Kesu Tamrick window appeared: $(cat "$work/frame.err")"
sleep 1.5
xdotool windowfocus --sync "$window" 2>/dev/null || true
xdotool key --window "$window" space
# The pause shows the time bar for 1.5 s; the picture is grabbed once it has gone again.
sleep 2.5
eval "$(xwininfo -id "$window" | awk '/Absolute upper-left X/ {print "x=" $4} /Absolute upper-left Y/ {print "y=" $4} /Width:/ {print "w=" $2} /Height:/ {print "h=" $2}')"
ffmpeg -v error -y -f x11grab -video_size "${w}x${h}" -i "$DISPLAY+$x,$y" -frames:v 1 "$work/wine.png"
# A screenshot of the paused picture, written beside the run's data (a run folder).
xdotool key --window "$window" s
for _ in $(seq 50); do grep -q "screenshot saved" "$work/frame.err" 2>/dev/null && break; sleep 0.1; done
xdotool key --window "$window" Escape
wait "$player" || fail "the paused player did not end on Escape: $(cat "$work/frame.err")"
shown=$(tail -1 "$game/clock.txt" | awk '{print $3}' | tr -d '\r')
step "the paused frame was drawn for $shown s; capturing it on Linux at ${w}x${h}"
(cd "$work/run/kesu-tamrick" && "$release/tools/capture/kesu-capture" --size "${w}x${h}" --fps 1000 --at "$shown" \
  --out "$work/linux" >/dev/null)
shot=$(ls "$game"/screenshots/kesu-tamrick-0m*.png 2>/dev/null | head -1)
[ -n "$shot" ] || fail "no screenshot in $game/screenshots: $(cat "$work/frame.err")"
python3 - "$work/wine.png" "$(ls "$work"/linux/*.png)" "$shot" <<'EOF'
import subprocess, sys
def rgb(path):
    return subprocess.run(["ffmpeg", "-v", "error", "-i", path, "-f", "rawvideo", "-pix_fmt", "rgb24", "-"],
                          capture_output=True, check=True).stdout
def compare(what, a, b):
    if len(a) != len(b):
        sys.exit(f"windows-test: {what}: the pictures differ in size: {len(a)} against {len(b)} bytes")
    pixels = len(a) // 3
    total = sum(abs(x - y) for x, y in zip(a, b))
    off = sum(1 for i in range(pixels) if max(abs(a[3*i+c] - b[3*i+c]) for c in range(3)) > 32)
    mean, fraction = total / len(a), off / pixels
    print(f"windows-test: {what}: mean difference {mean:.2f} of 255, {100*fraction:.2f}% of pixels off by more than 32")
    if mean >= 2.0 or fraction >= 0.01:
        sys.exit(f"windows-test: FAILED: {what}: the pictures differ beyond the golden tolerance")
wine = rgb(sys.argv[1])
compare("Wine's frame against Linux's", wine, rgb(sys.argv[2]))
compare("Wine's screenshot against its screen", rgb(sys.argv[3]), wine)
EOF
step "passed"
