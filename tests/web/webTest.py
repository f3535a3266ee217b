"""The page in real browsers, behind the small test server: headless Chromium over the DevTools
protocol on Mesa's llvmpipe and on SwiftShader, and Firefox ESR on a virtual X server. Prints
one line a check and exits 1 when any failed.

    webTest.py --site DIST --packed DIR --player KESU --capture KESU-CAPTURE [--firefox] [--only NAME,...]

DIST is the page's folder (dist/kesu-tamrick-web), --packed the folder whose data/ the page's
pack was made of, KESU and KESU-CAPTURE the desktop programs, which draw the pictures, say the
messages and decode the music the page's are compared with, started in that folder."""

import argparse
import base64
import gzip
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
import urllib.parse

import numpy

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import pictures  # noqa: E402
from browser import Browser  # noqa: E402
import webkit  # noqa: E402
from server import TestServer  # noqa: E402

GOLDEN_MOMENTS = [14, 40, 57, 75, 95, 120, 150, 170.5]
# The mean difference of 255 and the percentage of pixels off by more than 32, for every
# renderer: Mesa's llvmpipe (measured at most 0.12 and 0.18 %) and SwiftShader, whose
# rasteriser rounds otherwise (at most 0.51 and 0.27 %), are held to the same bounds.
TOLERANCE = (2.0, 1.0)
FRAME = 1.0 / 60.0


class Checks:
    def __init__(self):
        self.failed = []

    def check(self, name, ok, detail="", firm=True):
        """A check; one that is not firm is reported ("note") but fails nothing."""
        print("%s %s%s" % ("ok  " if ok else "FAIL" if firm else "note", name, ": " + detail if detail else ""), flush=True)
        if not ok and firm:
            self.failed.append(name)
        return ok


def wait(browser, condition, timeout):
    """Takes the browser's events until condition() gives something, which is returned; None at the timeout."""
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        value = condition()
        if value:
            return value
        browser.pump(0.05)
    return condition()


def said(browser, text):
    return sum(1 for _, line in browser.console if text in line)


def load(browser, server, query):
    server.forget()
    browser.console.clear()
    browser.exceptions.clear()
    browser.open(server.url(query))


def playing(browser, timeout=90):
    return wait(browser, lambda: said(browser, "kesu: playing"), timeout)


def clock_log(text):
    """Per frame: shown (s), clock read (s of music), drawn for (s of music), read at (s)."""
    rows = [line.split() for line in text.decode().splitlines() if line.strip()]
    return numpy.array([[float(x) for x in row] for row in rows]).reshape(-1, 4)


def now(browser):
    return browser.evaluate("performance.now() / 1000")


def drawn_around(log, moment):
    """The time the last frame shown before moment was drawn for, and the first's after it plus 0.3 s."""
    before = log[log[:, 0] < moment]
    after = log[log[:, 0] > moment + 0.3]
    return (before[-1, 2] if len(before) else None), (after[0, 2] if len(after) else None)


def ended_log(browser, server, timeout=30):
    """The frame log the page posts at the end of the run, once the report after it has come too."""
    found = wait(browser, lambda: server.named("report.txt") and server.named("clock.log"), timeout)
    return clock_log(found[1]) if found else numpy.zeros((0, 4))


# --- the pictures -----------------------------------------------------------------------------

def draw_golden(capture, pack, folder):
    """kesu-capture's pictures of the golden moments at the page's size, into folder."""
    command = [capture, "--size", "640x480", "--out", folder]
    for moment in GOLDEN_MOMENTS:
        command += ["--at", str(moment)]
    subprocess.run(command, cwd=pack, check=True, capture_output=True, env=dict(os.environ, SDL_VIDEODRIVER="offscreen"))


def golden_pictures(checks, browser, server, golden, renderer, tolerance):
    worst = (0.0, 0.0)
    for moment in GOLDEN_MOMENTS:
        server.forget()
        if hasattr(browser, "console"):
            browser.console.clear()
            browser.exceptions.clear()
        browser.open(server.url("test=screenshot&pause=1&from=%g" % moment))
        shot = wait(browser, lambda: server.named("kesu-tamrick-"), 120)
        name = "%s: the picture at %g s" % (renderer, moment)
        if shot is None:
            checks.check(name, False, "no screenshot came; the page said: %s" % message_of(server))
            continue
        expected = pictures.read_png(open(os.path.join(golden, "at-%09.3f.png" % moment), "rb").read())
        result = pictures.compare(pictures.read_png(shot[1]), expected)
        if result is None:
            checks.check(name, False, "a picture of another size")
            continue
        mean, off = result
        worst = (max(worst[0], mean), max(worst[1], off))
        checks.check(name, mean <= tolerance[0] and off <= tolerance[1],
                     "mean difference %.2f, %.2f %% of pixels off" % (mean, off))
        errors = browser.errors() if hasattr(browser, "errors") else [] if server.named("errors.txt") is None else \
            [server.named("errors.txt")[1].decode()]
        checks.check("%s: no console error at %g s" % (renderer, moment), not errors, "; ".join(errors))
    print("     %s: the worst of the eight: mean %.2f, %.2f %% off" % (renderer, worst[0], worst[1]))


def message_of(server):
    found = server.named("message.txt")
    return found[1].decode() if found else "nothing"


# --- the clock and the keys -------------------------------------------------------------------

def clock_run(checks, browser, server):
    """20 s from the start: the grass and the warp are loaded as it plays."""
    load(browser, server, "test=clock&seconds=20")
    check_clock(checks, "the clock", ended_log(browser, server, 120), server)
    checks.check("the clock: no console error", not browser.errors(), "; ".join(browser.errors()))


def check_clock(checks, name, log, server, firm=True):
    """A run's frame log: the music keeps time with the wall clock, and every frame is drawn for a
    time within one frame of the music heard when it is shown. Not firm: the timing is reported,
    and only a missing log or report fails."""
    if not checks.check(name + ": a frame log came", len(log) > 60, "%d frames" % len(log)):
        return
    shown, read, drawn, read_at = log.T
    rate = (read[-1] - read[0]) / (read_at[-1] - read_at[0])
    checks.check(name + ": the music advances with the wall clock within 1 %", abs(rate - 1.0) <= 0.01,
                 "%.4f s of music a second over %.2f s" % (rate, read_at[-1] - read_at[0]), firm)
    # Where the music was when each frame went out, between the readings around that moment
    # (the music stands at 0 until the output starts it).
    heard = numpy.interp(shown, read_at, read, right=read[-1] + shown[-1] - read_at[-1])
    off = numpy.abs(drawn - heard)
    # The first tenth of a second after the first picture is the start's: the music starts from a
    # standstill while the first frames compile what they draw (some 30 ms in Chromium, 100 ms in
    # WebKit), and a frame's time is learnt from the frames before.
    start = read_at < shown[0] + 0.1
    # The frame Escape ends the run on goes out as the run ends (WebKit shows it some 40 ms late);
    # it is not measured.
    start[-1] = True
    # A frame that itself took a frame longer than the run's usual from reading the clock to going
    # out came late: that is the machine's, not the clock's. So is a frame shown a refresh later
    # than its time said, on a machine that misses refreshes (CI's draws some 30 frames a
    # second): together at most one in a hundred, and none two frames off.
    took = shown - read_at
    late = took > numpy.median(took[~start]) + FRAME
    measured = ~start & ~late
    steady = off[measured]
    astray = late[~start].sum() + (steady > FRAME).sum()
    checks.check(name + ": every frame drawn for a time within one frame of the clock",
                 steady.max() <= 2 * FRAME and astray <= len(steady) / 100,
                 "%d frames, at most %.1f ms off, median %.1f ms; %d frames late by a frame or more, %d more "
                 "off by over a frame; at the start, %d frames at most %.1f ms off"
                 % (len(steady), steady.max() * 1000, numpy.median(steady) * 1000, late[~start].sum(),
                    (steady > FRAME).sum(), start.sum(), off[start].max() * 1000), firm)
    report = server.named("report.txt")
    checks.check(name + ": the run report", report is not None and b"frames in" in report[1],
                 report[1].decode() if report else "none")


def keys_run(checks, browser, server):
    load(browser, server, "test=keys&from=20")
    if not checks.check("keys: the show plays", playing(browser)):
        return
    browser.pump(1.5)
    moments = {}
    for key, code, key_code, text in [("ArrowRight", "ArrowRight", 39, None), ("PageDown", "PageDown", 34, None),
                                      (" ", "Space", 32, " "), (" ", "Space", 32, " "), ("s", "KeyS", 83, "s")]:
        moments.setdefault(code, []).append(now(browser))
        browser.key(key, code, key_code, text)
        browser.pump(1.5)
    browser.key("f", "KeyF", 70, "f")
    full = wait(browser, lambda: browser.evaluate("document.fullscreenElement !== null"), 3)
    browser.key("f", "KeyF", 70, "f")
    left = wait(browser, lambda: browser.evaluate("document.fullscreenElement === null"), 3)
    checks.check("keys: F goes to the full screen and back", bool(full) and bool(left))
    browser.key("Escape", "Escape", 27)
    log = ended_log(browser, server)
    if not checks.check("keys: a frame log came", len(log) > 30, "%d frames" % len(log)):
        return
    before, after = drawn_around(log, moments["ArrowRight"][0])
    checks.check("keys: Right goes 5 s on", before is not None and after is not None and
                 abs(after - before - 5.0) < 0.6, "from %s to %s" % (before, after))
    before, after = drawn_around(log, moments["PageDown"][0])
    checks.check("keys: Page Down goes to the next part", before is not None and after is not None and
                 1.0 < after - before < 40.0, "from %s to %s" % (before, after))
    pause, resume = moments["Space"]
    shown_while_paused = log[(log[:, 0] > pause + 0.1) & (log[:, 0] < resume)]
    before, after = drawn_around(log, resume)
    checks.check("keys: Space pauses and resumes where it paused", len(shown_while_paused) == 0 and
                 before is not None and after is not None and abs(after - before) < 0.5,
                 "%d frames while paused, from %s to %s" % (len(shown_while_paused), before, after))
    downloads = [name for name in os.listdir(browser.downloads) if name.startswith("kesu-tamrick-")]
    checks.check("keys: S downloads a PNG named as on the desktop",
                 len(downloads) == 1 and downloads[0].endswith(".png") and
                 pictures.read_png(open(os.path.join(browser.downloads, downloads[0]), "rb").read()).shape == (480, 640, 3),
                 ", ".join(downloads) or "nothing downloaded")
    checks.check("keys: no console error", not browser.errors(), "; ".join(browser.errors()))

    load(browser, server, "test=keys&from=171")
    if not checks.check("keys: the show plays near its end", playing(browser)):
        return
    browser.pump(0.5)
    browser.key("l", "KeyL", 76, "l")
    browser.pump(3.5)
    browser.key("Escape", "Escape", 27)
    log = ended_log(browser, server)
    drawn = log[:, 2] if len(log) else numpy.zeros(0)
    wrapped = bool(len(drawn) > 1 and (numpy.diff(drawn) < -100).any())
    report = server.named("report.txt")
    checks.check("keys: L loops the show from its start at the end", wrapped and report is not None and
                 b"started 2 times" in report[1], (report[1].decode() if report else "no report"))


# --- the mouse, touch and the level ----------------------------------------------------------

def bar_shows(picture):
    """Whether the program's time bar is over the picture: most of the row of its progress line
    (468 to 471 from the top at 640 x 480) in its grey and its orange."""
    row = picture[470].astype(numpy.int16)
    grey = (numpy.abs(row - 89) <= 3).all(axis=1)
    orange = (numpy.abs(row - numpy.array([255, 140, 26])) <= 3).all(axis=1)
    return int((grey | orange).sum()) > 500


def jumps_of(log, sizes=False):
    """The times the music jumped to (a seek), from the frame log; with sizes, how far each went."""
    read = log[:, 1]
    moved = numpy.diff(read)
    found = numpy.nonzero((moved < -0.001) | (moved > 0.3))[0]
    return [float(moved[k]) if sizes else float(read[k + 1]) for k in found]


def paused_stretches(log, at_least=0.8):
    """Stretches of at least that many seconds with no frame while the music stood."""
    gaps = log[1:, 3] - log[:-1, 0]
    standing = numpy.abs(log[1:, 1] - log[:-1, 1]) < 0.1
    return int(((gaps > at_least) & standing).sum())


def mouse_run(checks, browser, server):
    """The mouse in the page as on the desktop: nothing until it moves; a move brings the
    program's bar and the pointer, gone 2 s later; a click on the bar seeks there; a click
    elsewhere pauses and a second resumes; a double-click switches the full screen only."""
    browser.desktop(640, 480)
    load(browser, server, "test=keys&from=95")
    if not checks.check("mouse: the show plays", playing(browser)):
        return
    browser.pump(1.0)
    still = pictures.read_png(browser.screenshot())
    browser.mouse("mouseMoved", 300, 200)
    browser.pump(0.05)
    browser.mouse("mouseMoved", 320, 200)
    browser.pump(0.3)
    moved = pictures.read_png(browser.screenshot())
    cursor = browser.evaluate("document.getElementById('canvas').style.cursor")
    browser.pump(2.5)
    gone = pictures.read_png(browser.screenshot())
    cursor_gone = browser.evaluate("document.getElementById('canvas').style.cursor")
    checks.check("mouse: a move brings the bar and the pointer, gone 2 s later, none before",
                 not bar_shows(still) and bar_shows(moved) and not bar_shows(gone) and cursor == "" and
                 cursor_gone == "none", "bar before %s, after the move %s, 2.5 s later %s; pointer %r then %r" %
                 (bar_shows(still), bar_shows(moved), bar_shows(gone), cursor, cursor_gone))
    # The bar's line runs from x 8 to 632 at this size.
    bar_x = lambda seconds: 8 + 624 * seconds / 173.0
    browser.mouse("mouseMoved", bar_x(100), 470)
    browser.pump(0.2)
    browser.click(bar_x(100), 470)
    browser.pump(1.0)
    browser.mouse("mouseMoved", 320, 240)
    browser.pump(0.1)
    browser.click(320, 240)
    browser.pump(1.2)
    browser.click(320, 240)
    browser.pump(1.0)
    browser.double_click(320, 240)
    full = wait(browser, lambda: browser.evaluate("document.fullscreenElement !== null"), 3)
    browser.pump(1.0)
    browser.key("Escape", "Escape", 27)
    log = ended_log(browser, server)
    if not checks.check("mouse: a frame log came", len(log) > 30, "%d frames" % len(log)):
        return
    jumps = jumps_of(log)
    checks.check("mouse: a click on the bar at the x of 100 s lands there, within a bar pixel",
                 len(jumps) == 1 and abs(jumps[0] - 100.0) <= 173.0 / 624, "jumps to %s" % jumps)
    checks.check("mouse: a click pauses, a second resumes; a double-click switches the full screen and does not pause",
                 paused_stretches(log) == 1 and bool(full), "%d pauses, full screen %s" % (paused_stretches(log), full))


def touch_run(checks, browser, server):
    """A phone: 390 x 844 CSS pixels at 3 device pixels each, with touch."""
    browser.phone()
    load(browser, server, "test=keys&from=20")
    if not checks.check("touch: the show plays on a phone-sized page", playing(browser)):
        browser.desktop()
        return
    browser.pump(1.0)
    size = browser.evaluate("[document.getElementById('canvas').width, document.getElementById('canvas').height]")
    box = browser.evaluate("(() => { const b = document.getElementById('canvas').getBoundingClientRect();"
                           " return [b.left, b.top, b.width, b.height]; })()")
    checks.check("touch: in portrait the picture is 4:3 across the width, its buffer the size shown",
                 size == [1170, 878] and abs(box[2] - 390) < 1 and abs(box[3] - 292.5) < 1,
                 "drawing buffer %s, on the page %s" % (size, box))
    middle = (box[0] + box[2] / 2, box[1] + box[3] / 2)
    browser.tap(*middle)
    browser.pump(0.4)
    shown = browser.evaluate("!document.getElementById('controls').hidden")
    sizes = browser.evaluate("Array.from(document.querySelectorAll('#controls button:not([hidden]), #timeline'))"
                             ".map(e => { const b = e.getBoundingClientRect(); return [e.id, b.width, b.height,"
                             " e.getAttribute('aria-label')]; })")
    checks.check("touch: a tap brings the controls, each at least 44 CSS pixels and named",
                 bool(shown) and len(sizes) >= 4 and all(w >= 44 and h >= 44 and label for _, w, h, label in sizes),
                 "%s" % sizes)
    texts = browser.evaluate("[document.getElementById('timeText').textContent, "
                             "document.querySelectorAll('#marks .mark').length]")
    checks.check("touch: the controls show the program's time and its nine parts",
                 texts[0].endswith(" / 2:53") and texts[1] == 9, "%s" % texts)

    def centre(id):
        b = browser.evaluate("(() => { const b = document.getElementById('%s').getBoundingClientRect();"
                             " return [b.left + b.width / 2, b.top + b.height / 2]; })()" % id)
        return b[0], b[1]

    browser.tap(*centre("playPause"))
    browser.pump(1.5)
    state = browser.evaluate("KesuTest.state")
    browser.tap(*centre("playPause"))
    browser.pump(1.0)
    # Along the time bar from 60 s to 120 s, landing where the finger lifts.
    timeline = browser.evaluate("(() => { const b = document.getElementById('timeline').getBoundingClientRect();"
                                " return [b.left, b.top + b.height / 2, b.width]; })()")
    along = lambda seconds: timeline[0] + timeline[2] * seconds / 173.0
    browser.touch("touchStart", [(along(60), timeline[1])])
    for seconds in (75, 90, 105, 120):
        browser.pump(0.05)
        browser.touch("touchMove", [(along(seconds), timeline[1])])
    browser.touch("touchEnd", [])
    browser.pump(1.0)
    # A double tap in the right third: 5 s on.
    right = (box[0] + box[2] * 5 / 6, middle[1])
    browser.taps(*right)
    browser.pump(4.0)
    gone = browser.evaluate("document.getElementById('controls').hidden")
    covered = browser.evaluate("Array.from(document.querySelectorAll('#overlay > .box, #help, #controls, #seekHint'))"
                               ".filter(e => !e.hidden).map(e => e.id)")
    lock = browser.evaluate("KesuPage.wakeLock !== null && !KesuPage.wakeLock.released")
    browser.key("Escape", "Escape", 27)
    log = ended_log(browser, server)
    released = browser.evaluate("KesuPage.wakeLock === null")
    browser.desktop()
    if not checks.check("touch: a frame log came", len(log) > 30, "%d frames" % len(log)):
        return
    # The one stretch of a second or more with no frame while the music stood is the pause.
    checks.check("touch: the play button pauses, and no frame is drawn while paused",
                 state is not None and state["paused"] and paused_stretches(log, 1.0) == 1,
                 "paused %s, %d pauses in the log" % (state and state["paused"], paused_stretches(log, 1.0)))
    jumps = jumps_of(log)
    checks.check("touch: a drag on the bar lands where the finger lifts, within a bar pixel",
                 len(jumps) >= 1 and abs(jumps[0] - 120.0) <= 173.0 / timeline[2] + 0.02, "jumps to %s" % jumps)
    sizes = jumps_of(log, sizes=True)
    checks.check("touch: a double tap in the right third goes 5 s on",
                 len(sizes) == 2 and abs(sizes[1] - 5.0) < 0.3, "jumps of %s s" % ["%.2f" % size for size in sizes])
    checks.check("touch: the controls go 3 s after the last touch, and nothing covers the picture", gone and not covered,
                 "still shown: %s" % covered)
    checks.check("touch: the screen is kept awake while the show is on screen, and let go at the end",
                 bool(lock) and bool(released), "held %s, let go %s" % (lock, released))


def phone_picture(checks, browser, server, capture, pack, moment=57):
    """On a phone in portrait the picture is the show at 4:3 across the width: what kesu-capture
    draws at 1170 x 878."""
    browser.phone()
    server.forget()
    browser.open(server.url("test=screenshot&pause=1&from=%g" % moment))
    shot = wait(browser, lambda: server.named("kesu-tamrick-"), 120)
    browser.desktop()
    if not checks.check("phone: the paused picture came", shot is not None, message_of(server)):
        return
    folder = tempfile.mkdtemp(prefix="kesu-phone-")
    subprocess.run([capture, "--size", "1170x878", "--at", str(moment), "--out", folder], cwd=pack, check=True,
                   capture_output=True, env=dict(os.environ, SDL_VIDEODRIVER="offscreen"))
    expected = pictures.read_png(open(os.path.join(folder, "at-%09.3f.png" % moment), "rb").read())
    shutil.rmtree(folder, ignore_errors=True)
    result = pictures.compare(pictures.read_png(shot[1]), expected)
    checks.check("phone: in portrait the picture is kesu-capture's at 1170 x 878, within the golden tolerance",
                 result is not None and result[0] <= TOLERANCE[0] and result[1] <= TOLERANCE[1],
                 "mean difference %.2f, %.2f %% of pixels off" % result if result else "a picture of another size")


def bad_touches(checks, browser, server):
    """Touch where it is not expected: a tap during the loading lets the sound out and nothing
    more; two fingers at once are no tap; a drag that leaves the bar lands at the time of its x;
    a double tap past the end loops the show, as a key's seek does."""
    browser.phone()
    load(browser, server, "test=gesture&from=40")
    wait(browser, lambda: browser.evaluate("typeof KesuPage !== 'undefined'"), 30)
    browser.tap(195, 400)
    started = playing(browser, 90)
    browser.pump(0.5)
    controls = browser.evaluate("!document.getElementById('controls').hidden")
    checks.check("bad touches: a tap during the loading starts the show once and shows no controls",
                 bool(started) and said(browser, "kesu: playing") == 1 and not controls,
                 "%d starts, controls %s" % (said(browser, "kesu: playing"), controls))
    box = browser.evaluate("(() => { const b = document.getElementById('canvas').getBoundingClientRect();"
                           " return [b.left, b.top, b.width, b.height]; })()")
    middle = (box[0] + box[2] / 2, box[1] + box[3] / 2)
    browser.touch("touchStart", [(middle[0] - 50, middle[1]), (middle[0] + 50, middle[1])])
    browser.pump(0.05)
    browser.touch("touchEnd", [])
    browser.pump(0.5)
    controls = browser.evaluate("!document.getElementById('controls').hidden")
    browser.tap(*middle)
    browser.pump(0.4)
    timeline = browser.evaluate("(() => { const b = document.getElementById('timeline').getBoundingClientRect();"
                                " return [b.left, b.top + b.height / 2, b.width]; })()")
    along = lambda seconds: timeline[0] + timeline[2] * seconds / 173.0
    browser.touch("touchStart", [(along(100), timeline[1])])
    for step in range(1, 5):
        browser.pump(0.05)
        browser.touch("touchMove", [(along(100 + 5 * step), timeline[1] - 60 * step)])
    browser.touch("touchEnd", [])
    browser.pump(1.0)
    browser.key("Escape", "Escape", 27)
    log = ended_log(browser, server)
    jumps = jumps_of(log)
    checks.check("bad touches: two fingers at once are no tap; a drag that leaves the bar lands at its x",
                 not controls and len(jumps) == 1 and abs(jumps[0] - 120.0) <= 173.0 / timeline[2] + 0.02,
                 "controls %s after two fingers; jumps to %s" % (controls, jumps))
    # Looping, a double tap that goes past the end starts the show again from 0, well before the
    # music's own end.
    load(browser, server, "test=keys&from=169&loop=1")
    playing(browser)
    browser.pump(0.5)
    right = (box[0] + box[2] * 5 / 6, middle[1])
    browser.taps(*right)
    browser.pump(1.0)
    browser.key("Escape", "Escape", 27)
    log = ended_log(browser, server)
    browser.desktop()
    read = log[:, 1] if len(log) else numpy.zeros(0)
    back = numpy.nonzero(numpy.diff(read) < -100)[0]
    report = server.named("report.txt")
    checks.check("bad touches: a double tap past the end loops the show from its start",
                 len(back) == 1 and read[back[0]] < 171.0 and report is not None and b"started 2 times" in report[1],
                 "looped from %s, jumps of %s; %s" % (read[back[0]] if len(back) else None,
                                                      ["%.2f" % size for size in jumps_of(log, sizes=True)],
                                                      report[1].decode() if report else "no report"))


def volume_kept(checks, browser, server):
    """9 lowers the level a twentieth, which the page keeps for the next visit."""
    browser.evaluate("localStorage.removeItem('kesu-tamrick-volume')")
    load(browser, server, "test=keys&from=30")
    if not checks.check("volume: the show plays", playing(browser)):
        return
    browser.pump(0.5)
    browser.key("9", "Digit9", 57, "9")
    browser.pump(0.5)
    level = browser.evaluate("KesuTest.state.volume")
    browser.key("Escape", "Escape", 27)
    ended_log(browser, server)
    load(browser, server, "test=keys&from=30")
    playing(browser)
    browser.pump(0.5)
    again = browser.evaluate("KesuTest.state.volume")
    gain = browser.evaluate("KesuAudio.gainNode ? KesuAudio.gainNode.gain.value : null")
    browser.key("Escape", "Escape", 27)
    ended_log(browser, server)
    browser.evaluate("localStorage.removeItem('kesu-tamrick-volume')")
    checks.check("volume: 9 lowers the level to 95 %, heard at the cubic curve's gain, and the next visit starts there",
                 level == 95 and again == 95 and gain is not None and abs(gain - 0.95 ** 3) < 1e-3,
                 "%s, then %s, gain %s" % (level, again, gain))


# --- how the page arrives ---------------------------------------------------------------------

def page_metadata(checks, browser, server):
    """What a browser and a site read of the page before it plays: installable (the manifest and
    its icons), a favicon, and the link's preview tags with the picture they name."""
    load(browser, server, "test=keys&pause=1")
    wait(browser, lambda: browser.evaluate("document.readyState") == "complete", 30)
    errors = browser.call("Page.getInstallabilityErrors", session=True).get("installabilityErrors")
    checks.check("delivery: the browser finds the page installable", errors == [], str(errors))
    tags = browser.evaluate("Object.fromEntries([...document.querySelectorAll('meta[property], meta[name]')]"
                            ".map((m) => [m.getAttribute('property') || m.getAttribute('name'), m.content]))") or {}
    wanted = ["og:title", "og:description", "og:image", "twitter:card", "twitter:image", "description"]
    checks.check("delivery: the link's preview has its title, description and picture",
                 all(tags.get(name) for name in wanted) and tags.get("og:title") == "Kesu Tamrick",
                 ", ".join("%s=%s" % (name, tags.get(name)) for name in wanted))
    fetched = browser.evaluate(
        "Promise.all([document.querySelector('meta[property=\"og:image\"]').content,"
        " document.querySelector('link[rel=icon]').href].map((u) => fetch(new URL(u, location)).then((r) => r.ok ?"
        " r.blob().then((b) => new Promise((done) => { const f = new FileReader();"
        " f.onload = () => done(f.result.split(',')[1]); f.readAsDataURL(b); })) : null)))")
    preview, icon = (base64.b64decode(x) if x else None for x in (fetched or [None, None]))
    picture = pictures.read_png(preview) if preview else None
    checks.check("delivery: the preview's picture is served, 1200x630 and not blank",
                 picture is not None and picture.shape[:2] == (630, 1200) and pictures.lit_share(picture) > 50,
                 "%s, %.0f %% lit" % (picture.shape[:2] if picture is not None else "not served",
                                      pictures.lit_share(picture) if picture is not None else 0))
    checks.check("delivery: the favicon is served", icon is not None and icon[:8] == b"\x89PNG\r\n\x1a\n")


def files_list(site):
    """The site's list of its files, as index.html names it."""
    with open(os.path.join(site, "index.html")) as page:
        name = re.search(r'<meta name="kesu-files" content="([^"]+)">', page.read()).group(1)
    with open(os.path.join(site, name)) as listed:
        return json.load(listed)


def served_as(site, name):
    """Where the site serves a pack file (named after its content)."""
    return files_list(site)["files"][name]["path"]


def pack_in_transit(checks, browser, site):
    """The pack's files as hosts and networks hand them over: sent with a gzip encoding of the
    host's own, the page plays; cut short on the way, or not unpacking, the page names the file."""
    scene = served_as(site, "title.3ds")
    server = TestServer(site, encoded={scene})
    try:
        load(browser, server, "test=keys&pause=1")
        checks.check("delivery: a scene the host sends with its own gzip encoding plays", playing(browser, 60))
        browser.key("Escape", "Escape", 27)
        ended_log(browser, server)
    finally:
        server.close()
    server = TestServer(site, cut={scene: 20000})
    try:
        load(browser, server, "test=keys")
        message = wait(browser, lambda: server.named("message.txt"), 60)
        text = message[1].decode() if message else ""
        checks.check("delivery: a file cut short on the way is named on the page",
                     text.startswith(scene + ": the transfer") and not said(browser, "kesu: playing"), text)
    finally:
        server.close()
    work = tempfile.mkdtemp(prefix="kesu-web-unpack-")
    try:
        served = os.path.join(work, "site")
        shutil.copytree(site, served)
        with open(os.path.join(served, scene), "r+b") as packed:
            packed.seek(4096)
            packed.write(bytes(range(256)) * 16)
        server = TestServer(served)
        try:
            load(browser, server, "test=keys")
            message = wait(browser, lambda: server.named("message.txt"), 60)
            text = message[1].decode() if message else ""
            checks.check("delivery: a file that does not unpack is named on the page",
                         text.startswith(scene + ": the file does not unpack") and not said(browser, "kesu: playing"),
                         text)
        finally:
            server.close()
    finally:
        shutil.rmtree(work, ignore_errors=True)


def first_frame_after_click(browser, server, megabits, query, click_after, round_trip=0.04):
    """The page loaded over a link held to megabits a second (0: unheld) and a round trip,
    clicked click_after seconds in: whether its first frame came, and how long after the click."""
    server.hold(megabits, round_trip)
    load(browser, server, query)
    browser.pump(click_after)
    browser.click(320, 240)
    first = wait(browser, lambda: browser.evaluate("performance.getEntriesByName('kesu-first-frame').length > 0"), 30)
    took = browser.evaluate("performance.getEntriesByName('kesu-first-frame')[0].startTime - "
                            "performance.getEntriesByName('kesu-sound-unlocked')[0].startTime") / 1000 if first else 0
    return bool(first), took


def slow_links(checks, browser, site):
    """Over a user's link, cold: at 10 Mbit/s and 40 ms, with a click 1 s after the load began,
    the first frame within 4 s of the click and a minute of play in time with the music, never
    waiting for files; at 2 Mbit/s, a seek from 5 s to 150 s holds the show on its wait screen
    with the progress shown and the music paused, then plays the finale from there."""
    server = TestServer(site)
    try:
        first, took = first_frame_after_click(browser, server, 10, "test=clock&seconds=60&gesture=1", 1.0)
        checks.check("10 Mbit/s: the first frame within 4 s of the click", bool(first) and took <= 4.0, "%.2f s" % took)
        check_clock(checks, "10 Mbit/s, a minute", ended_log(browser, server, 120), server)
        checks.check("10 Mbit/s: the show never waits for its files", not browser.evaluate("KesuTest.waited"))

    finally:
        server.close()
    # Another address: the first visit's service worker keeps nothing for it.
    server = TestServer(site)
    try:
        server.hold(2, 0.04)
        load(browser, server, "test=keys&from=5")
        if not checks.check("2 Mbit/s: the show plays from 5 s", playing(browser, 120)):
            return
        wait(browser, lambda: browser.evaluate("'seekto' in KesuTest.handlers"), 5)
        browser.evaluate("KesuTest.handlers.seekto({ seekTime: 150 })")
        held = wait(browser, lambda: browser.evaluate("KesuTest.state && KesuTest.state.waiting"), 5)
        browser.pump(0.5)
        shown = browser.evaluate("!document.getElementById('loading').hidden && document.getElementById('bar').value > 0")
        paused = browser.evaluate("!KesuAudio.playing")
        checks.check("2 Mbit/s: a seek to 150 s waits on the wait screen, its progress shown, the music paused",
                     bool(held) and shown and paused, "held %s, progress shown %s, music paused %s" % (held, shown, paused))
        went_on = wait(browser, lambda: browser.evaluate("KesuTest.state && !KesuTest.state.waiting && "
                                                         "KesuTest.state.seconds > 151"), 120)
        heard = browser.evaluate("KesuAudio.heard() && KesuAudio.heard().seconds") or 0
        at = browser.evaluate("KesuTest.state.seconds")
        checks.check("2 Mbit/s: then the finale plays from 150 s, the music with it",
                     bool(went_on) and 150.5 <= heard <= 152.5 and abs(at - heard) < 0.3 and
                     browser.evaluate("document.getElementById('loading').hidden"),
                     "music at %.2f s, the show at %.2f s" % (heard, at))
        browser.key("Escape", "Escape", 27)
        ended_log(browser, server)
    finally:
        server.close()


def network_drop(checks, browser, site):
    """The network goes while a first visit's files are on their way: the page names the file it
    could not get, and once the network is back gets it and the rest, without a reload."""
    server = TestServer(site)
    port = server.port
    try:
        server.hold(4, 0.04)
        load(browser, server, "test=keys")
        wait(browser, lambda: (browser.evaluate("KesuPage.stagesArrived") or -1) >= 1, 60)
        browser.evaluate("window.kesuSamePage = true")
        server.drop()
        trouble = wait(browser, lambda: browser.evaluate("!document.getElementById('trouble').hidden && "
                                                         "document.getElementById('trouble').textContent"), 30)
        checks.check("a network that drops: the page names the file it could not get",
                     bool(trouble) and "data/" in trouble, trouble or "nothing said")
        server = TestServer(site, port=port)
        back = wait(browser, lambda: browser.evaluate("KesuPage.stagesArrived === KesuFiles.list.stages.length"), 90)
        checks.check("a network that drops: back, the page gets the rest without a reload",
                     bool(back) and browser.evaluate("window.kesuSamePage === true && "
                                                     "document.getElementById('trouble').hidden"))
        browser.key("Escape", "Escape", 27)
        ended_log(browser, server)
    finally:
        server.close()


KEPT = "caches.open('kesu-tamrick').then((cache) => cache.keys()).then((keys) => keys.map((k) => k.url))"


def kept_visits(checks, site, packed, player):
    """The page's service worker over visits at one address and port: a first visit from a
    sub-folder plays and keeps every file; the second, at 1 Mbit/s, shows its first frame within
    1 s of the click; with the server stopped the page plays from 0 and from 120 s; a new build
    (a file's digest changed) is fetched at the next visit online, the page says so, and its
    files are never mixed with the old build's."""
    work = tempfile.mkdtemp(prefix="kesu-web-visits-")
    browser = Browser("gl-egl")
    server = None
    try:
        served = os.path.join(work, "site")
        shutil.copytree(site, served)
        listed = files_list(served)
        server = TestServer(served, prefix="some/folder/")
        port = server.port
        load(browser, server, "test=keys")
        checks.check("a sub-folder: the page plays", bool(playing(browser, 60)))
        paths = [entry["path"] for entry in listed["files"].values()]
        everything = wait(browser, lambda: all(any(k.endswith(p) for k in browser.evaluate(KEPT)) for p in paths), 60)
        checks.check("the first visit keeps every file of the pack", bool(everything),
                     "%d kept" % len(browser.evaluate(KEPT) or []))
        browser.key("Escape", "Escape", 27)
        ended_log(browser, server)

        first, took = first_frame_after_click(browser, server, 1, "test=clock&seconds=3&gesture=1", 0.3)
        checks.check("a second visit at 1 Mbit/s: the first frame within 1 s of the click", bool(first) and took <= 1.0,
                     "%.2f s" % took)
        ended_log(browser, server)
        server.hold(0, 0)
        url = server.url
        server.close()
        server = None
        for query, moment in (("test=keys", 0.0), ("test=keys&from=120", 120.0)):
            browser.console.clear()
            browser.open(url(query))
            plays = playing(browser, 60)
            browser.pump(1.0)
            at = browser.evaluate("KesuTest.state ? KesuTest.state.seconds : -1") or -1
            checks.check("offline after one visit: the page plays from %g s" % moment,
                         bool(plays) and moment < at < moment + 10, "at %.1f s" % at)
            browser.key("Escape", "Escape", 27)
            wait(browser, lambda: browser.evaluate("KesuPage.ended"), 10)

        # A new build: one picture changed (a comment segment, which decoders pass over).
        data = os.path.join(work, "data")
        shutil.copytree(os.path.join(packed, "data"), data)
        with open(os.path.join(data, "nebula.jpg"), "r+b") as picture:
            body = picture.read()
            picture.seek(0)
            picture.write(body[:2] + b"\xff\xfe\x00\x0da new build" + body[2:])
        webpack = os.path.join(os.path.dirname(os.path.dirname(player)), "tools", "webpack", "kesu-webpack")
        subprocess.run([sys.executable, os.path.join(os.path.dirname(__file__), "..", "..", "scripts", "web-pack.py"),
                        served, data, webpack], check=True, capture_output=True)
        renewed = files_list(served)
        server = TestServer(served, port=port, prefix="some/folder/")
        load(browser, server, "test=keys")
        plays = playing(browser, 60)
        notice = wait(browser, lambda: server.named("notice.txt"), 10)
        new_path, old_path = renewed["files"]["nebula.jpg"]["path"], listed["files"]["nebula.jpg"]["path"]
        checks.check("a new build: the next visit online fetches its new files and says so",
                     bool(plays) and bool(notice) and new_path in server.requested and new_path != old_path,
                     "%s; plays %s (%s); %s %s" % (notice[1].decode() if notice else "no notice", plays,
                                                   message_of(server), new_path,
                                    "fetched" if new_path in server.requested else "not fetched: " +
                                    ", ".join(server.requested[:12])))
        kept = wait(browser, lambda: not any(k.endswith(old_path) for k in browser.evaluate(KEPT)), 60)
        checks.check("a new build: the old build's files leave the cache, and the page runs only the new one's",
                     bool(kept) and old_path not in server.requested and
                     browser.evaluate("document.querySelector('meta[name=\"kesu-files\"]').content") ==
                     os.path.basename(next(f for f in os.listdir(served) if f.startswith("kesu-files."))))
        browser.key("Escape", "Escape", 27)
        ended_log(browser, server)
    finally:
        if server:
            server.close()
        browser.close()
        shutil.rmtree(work, ignore_errors=True)


def background_tab(checks, browser, server):
    load(browser, server, "test=keys&from=57")
    if not checks.check("a background tab: the show plays", playing(browser)):
        return
    browser.pump(1.0)
    other = browser.call("Target.createTarget", {"url": "about:blank"})["targetId"]
    hidden = wait(browser, lambda: browser.evaluate("document.visibilityState") == "hidden", 10)
    hidden_at = now(browser)
    browser.pump(2.0)
    back_at = now(browser)
    browser.call("Target.closeTarget", {"targetId": other})
    browser.call("Target.activateTarget", {"targetId": browser.target})
    browser.pump(1.5)
    browser.key("Escape", "Escape", 27)
    log = ended_log(browser, server)
    if not checks.check("a background tab: the page was hidden", bool(hidden)):
        return
    # Hidden, the browser draws no frame; back in front, the first frame is drawn for the
    # music's moment, not for where the show stood: as the first after a seek, for the music
    # read at its start (so its own drawing, some 17 ms on a busy llvmpipe, is not counted),
    # or with the prediction for the music at its swap.
    while_hidden = log[(log[:, 0] > hidden_at + 0.5) & (log[:, 0] < back_at)]
    first = log[log[:, 0] > back_at]
    shown, read, drawn, read_at = first[0] if len(first) else (0, 0, -1, 0)
    checks.check("a background tab: no frame while hidden; back in front, the show at the music's moment",
                 len(while_hidden) == 0 and min(abs(drawn - read), abs(drawn - (read + shown - read_at))) <= FRAME,
                 "%.2f s hidden, %d frames meanwhile; the first frame after drawn for %.3f s, the music at %.3f s "
                 "read, %.3f s at the swap" % (back_at - hidden_at, len(while_hidden), drawn, read, read + shown - read_at))


def resizing(checks, browser, server):
    load(browser, server, "test=keys&from=57")
    if not checks.check("resizing: the show plays", playing(browser)):
        return
    browser.pump(1.0)
    browser.size(900, 500)
    browser.pump(1.0)
    size = browser.evaluate("[document.getElementById('canvas').width, document.getElementById('canvas').height]")
    picture = pictures.read_png(browser.screenshot())
    # 640x480 scaled into 900x500 keeps its aspect: 667 columns in the middle, black beside them.
    middle = pictures.lit_share(picture[:, 150:750])
    sides = max(pictures.lit_share(picture[:, :100]), pictures.lit_share(picture[:, 800:]))
    checks.check("resizing: the canvas follows the window, the show scaled keeping its aspect",
                 size == [900, 500] and middle > 20.0 and sides < 1.0,
                 "canvas %s, %.0f %% of the middle lit, %.1f %% of the sides" % (size, middle, sides))
    # A large screen's buffer is held to 2560 x 1920, keeping the picture's aspect.
    browser.call("Emulation.setDeviceMetricsOverride", {"width": 1920, "height": 1080, "deviceScaleFactor": 2,
                                                        "mobile": False}, session=True)
    browser.pump(1.0)
    large = browser.evaluate("[document.getElementById('canvas').width, document.getElementById('canvas').height]")
    checks.check("resizing: on a 3840 x 2160 screen the drawing buffer is held to 2560 x 1920", large == [2560, 1440],
                 "canvas %s" % large)
    browser.size(640, 480)
    browser.key("Escape", "Escape", 27)
    ended_log(browser, server)


def lost_context(checks, browser, server):
    load(browser, server, "test=keys&from=57")
    if not checks.check("a lost context: the show plays", playing(browser)):
        return
    # Past the music's first sixteenth, the music stands until the whole is decoded.
    wait(browser, lambda: browser.evaluate("KesuAudio.heard() !== null && KesuAudio.heard().playing"), 30)
    browser.pump(2.0)
    browser.evaluate("document.getElementById('canvas').getContext('webgl2')"
                     ".getExtension('WEBGL_lose_context').loseContext()")
    message = wait(browser, lambda: server.named("message.txt"), 10)
    restarted = wait(browser, lambda: said(browser, "kesu: playing") >= 2, 90)
    search = urllib.parse.parse_qs(browser.evaluate("location.search")[1:]) if restarted else {}
    start = float(search.get("from", ["0"])[0])
    browser.pump(1.0)
    picture = pictures.read_png(browser.screenshot())
    checks.check("a lost context: the message, and the page starts again at the music's moment",
                 message is not None and b"WebGL context" in message[1] and bool(restarted) and 58.0 < start < 62.0
                 and pictures.lit_share(picture) > 20.0,
                 "%s; started again at %s s" % (message[1].decode().strip() if message else "no message", start))
    browser.key("Escape", "Escape", 27)
    ended_log(browser, server)


# --- bad input, the music, the bench ----------------------------------------------------------

def broken_pack(checks, browser, site, packed, player, what, spoil, found_playing):
    """A pack file spoilt on the host by spoil(data folder), which returns its name: the page
    says what the desktop says of it, naming the file (and, for a damaged one, the byte), and
    the show stops; found_playing: the file belongs to a later part, found once the show plays."""
    work = tempfile.mkdtemp(prefix="kesu-web-broken-")
    try:
        shutil.copytree(os.path.join(packed, "data"), os.path.join(work, "data"))
        name = spoil(os.path.join(work, "data"))
        with open(os.path.join(work, "kesu.ini"), "w") as ini:
            ini.write("640 480 1\n")
        desktop = subprocess.run([player, "--window"], cwd=work, capture_output=True, text=True, timeout=120,
                                 env=dict(os.environ, SDL_VIDEODRIVER="offscreen", SDL_AUDIODRIVER="dummy"))
        said_there = [line[len("kesu: "):] for line in desktop.stderr.splitlines() if name in line]
        served = os.path.join(work, "site")
        shutil.copytree(site, served)
        path = os.path.join(served, served_as(site, name))
        source = os.path.join(work, "data", name)
        if os.path.exists(source):
            with open(source, "rb") as spoilt:
                body = spoilt.read()
            with open(path, "wb") as out:
                out.write(gzip.compress(body) if path.endswith(".gz") else body)
        else:
            os.remove(path)
        server = TestServer(served)
        try:
            load(browser, server, "test=screenshot")
            message = wait(browser, lambda: server.named("message.txt"), 90)
            text = message[1].decode() if message else ""
            ended = wait(browser, lambda: browser.evaluate("KesuPage.ended"), 10)
            # The desktop names data/NAME, the page the pack's folder in its file system.
            same = bool(said_there) and all(line.split(name, 1)[1] in text for line in said_there)
            checks.check(what + ": the page shows the desktop's message, and the show stops",
                         same and bool(ended) and bool(said(browser, "kesu: playing")) == found_playing,
                         "desktop: %s | page: %s" % (" / ".join(said_there), text.strip()))
        finally:
            server.close()
    finally:
        shutil.rmtree(work, ignore_errors=True)


def broken_packs(checks, browser, site, packed, player):
    def cut_scene(scene):
        def spoil(data):
            path = os.path.join(data, scene)
            with open(path, "r+b") as scene_file:
                scene_file.truncate(os.path.getsize(path) * 2 // 3)
            return scene
        return spoil

    broken_pack(checks, browser, site, packed, player, "the title's scene cut short (naming the file and the byte)",
                cut_scene("title.3ds"), False)
    broken_pack(checks, browser, site, packed, player, "the credits' cube scene cut short, found as the show plays",
                cut_scene("kostka2.3ds"), True)


def gestures(checks, browser, server):
    """The sound may start only after a gesture: the first key starts the show, a click after it starts nothing."""
    load(browser, server, "test=gesture")
    wait(browser, lambda: browser.evaluate("!document.getElementById('play').hidden"), 90)
    checks.check("gestures: nothing plays before a gesture", not said(browser, "kesu: playing"))
    # Behind the prompt, the wait screen: its banner in the lower left quarter of the canvas.
    browser.evaluate("document.getElementById('overlay').style.visibility = 'hidden';"
                     "document.getElementById('help').style.visibility = 'hidden'")
    picture = pictures.read_png(browser.screenshot())
    browser.evaluate("document.getElementById('overlay').style.visibility = '';"
                     "document.getElementById('help').style.visibility = ''")
    banner, elsewhere = pictures.lit_share(picture[300:, :320]), pictures.lit_share(picture[:240, :])
    checks.check("gestures: the wait screen shows while the show waits for one", banner > 20.0 and elsewhere < 1.0,
                 "%.0f %% of the lower left lit, %.1f %% of the upper half" % (banner, elsewhere))
    browser.key("ArrowRight", "ArrowRight", 39)
    started = playing(browser, 20)
    browser.click(320, 240)
    browser.pump(1.5)
    browser.key("Escape", "Escape", 27)
    log = ended_log(browser, server)
    checks.check("gestures: a key before the click starts the show once, from its start",
                 started and said(browser, "kesu: playing") == 1 and len(log) >= 3 and log[0, 2] < 0.5,
                 "%d starts, the first frame drawn for %s" % (said(browser, "kesu: playing"),
                                                              log[0, 2] if len(log) else None))
    # A click during the loading lets the sound out too: the show starts once loaded, once.
    load(browser, server, "test=gesture")
    wait(browser, lambda: browser.evaluate("typeof KesuPage !== 'undefined'"), 30)
    browser.click(320, 240)
    started = playing(browser, 90)
    browser.click(320, 240)
    browser.pump(1.0)
    browser.key("Escape", "Escape", 27)
    ended_log(browser, server)
    checks.check("gestures: a click, even during the loading, starts the show once; a second click nothing more",
                 started and said(browser, "kesu: playing") == 1, "%d starts" % said(browser, "kesu: playing"))


def media_session(checks, server):
    """The page's media session as a desktop's media controls see it: a Chromium on a private
    session bus shows it over MPRIS, which playerctl reads and steers; then each handler as the
    page registered it, with what lies outside the show."""
    daemon = subprocess.run(["dbus-daemon", "--session", "--fork", "--print-address=1", "--print-pid=1"],
                            capture_output=True, text=True, timeout=30)
    address, pid = daemon.stdout.split()
    environment = dict(os.environ, DBUS_SESSION_BUS_ADDRESS=address)

    def playerctl(*args):
        done = subprocess.run(["playerctl", "-p", "chromium"] + list(args), capture_output=True, text=True,
                              env=environment, timeout=20)
        return done.stdout.strip()

    browser = Browser("gl-egl", env=environment)
    try:
        load(browser, server, "test=session&from=20")
        if not checks.check("session: the show plays", playing(browser)):
            return
        state = lambda: browser.evaluate("KesuTest.state") or {}  # noqa: E731
        listed = wait(browser, lambda: "chromium" in playerctl("-l", "--all-players"), 15)
        # The artwork comes once the browser has fetched it.
        metadata = wait(browser, lambda: (lambda m: "mpris:artUrl" in m and m)(playerctl("metadata")), 10) or playerctl("metadata")
        part = browser.evaluate("KesuControls.parts[KesuTest.state.part].name")
        checks.check("session: the system lists the page's session with the title, the part, the length and artwork",
                     listed and "Kesu Tamrick" in metadata and "173000000" in metadata and part in metadata
                     and "mpris:artUrl" in metadata, metadata.replace("\n", "; "))
        playerctl("position", "100")
        moved = wait(browser, lambda: 100 <= state().get("seconds", 0) < 101.5, 10)
        browser.pump(0.5)
        position, album = playerctl("position"), playerctl("metadata", "xesam:album")
        checks.check("session: a position asked lands there, and the session shows it and its part",
                     moved and 100 <= float(position or 0) < 102 and album == "Credits", "%s s, %s" % (position, album))
        playerctl("play-pause")
        paused = wait(browser, lambda: state().get("paused"), 10)
        status = playerctl("status")
        playerctl("play-pause")
        resumed = wait(browser, lambda: not state().get("paused"), 10)
        checks.check("session: play-pause pauses the show, which the session shows, and plays it again",
                     paused and status == "Paused" and resumed, status)
        playerctl("next")
        nexted = wait(browser, lambda: 105 <= state().get("seconds", 0) < 106.5, 10)
        browser.pump(1.2)
        playerctl("position", "5-")
        back = wait(browser, lambda: 100.5 <= state().get("seconds", 0) < 102, 10)
        checks.check("session: the next track is the next part, and back is 5 s back", nexted and back,
                     "%.2f s" % state().get("seconds", 0))

        handlers = browser.evaluate("Object.keys(KesuTest.handlers).filter((k) => KesuTest.handlers[k]).sort().join(' ')")
        checks.check("session: the page takes every action", handlers ==
                     "nexttrack pause play previoustrack seekbackward seekforward seekto stop", handlers)
        results = []
        for call, wanted in [("seekto({ seekTime: -3 })", lambda s: s < 0.5),
                             ("seekforward({ seekOffset: 12 })", lambda s: 12 <= s < 13),
                             ("seekbackward({})", lambda s: 7 <= s < 8.5),
                             ("nexttrack({})", lambda s: s >= 10 and s < 11.5),
                             ("previoustrack({})", lambda s: s < 1)]:
            before = state().get("moves")
            browser.evaluate("KesuTest.handlers." + call)
            wait(browser, lambda: state().get("moves") != before, 10)
            results.append("%s: %.2f" % (call, state().get("seconds", -1)))
            if not wanted(state().get("seconds", -1)):
                results[-1] += " (wrong)"
        checks.check("session: each handler does what it names, a time before the start held to it",
                     not any("wrong" in r for r in results), "; ".join(results))
        browser.evaluate("KesuTest.handlers.seekto({ seekTime: 400 })")
        log = ended_log(browser, server)
        checks.check("session: a time past the end is held to the end, which ends the run",
                     len(log) > 0 and server.named("report.txt") is not None)
        gone = wait(browser, lambda: "chromium" not in playerctl("-l", "--all-players"), 10)
        checks.check("session: the run over, the session is the page's no more",
                     browser.evaluate("navigator.mediaSession.playbackState") == "none", "listed: %s" % (not gone))
    finally:
        browser.close()
        subprocess.run(["kill", pid])


# --- what a user does to a tab ----------------------------------------------------------------

def usage_error(checks, browser, server):
    """An address the player's options refuse: the desktop's message, on the page."""
    load(browser, server, "test=screenshot&from=abc")
    message = wait(browser, lambda: server.named("message.txt"), 30)
    text = message[1].decode() if message else ""
    checks.check("a bad ?from=: the page shows the player's refusal", "--from wants seconds" in text and
                 "\"abc\"" in text, text.strip() or "no message")


def missing_features(checks, browser, server):
    """A browser without WebGL 2 and Web Audio is told which it lacks, on the page."""
    script = browser.call("Page.addScriptToEvaluateOnNewDocument", {"source": """
        const getContext = HTMLCanvasElement.prototype.getContext;
        HTMLCanvasElement.prototype.getContext = function (kind, ...rest) {
            return kind === "webgl2" ? null : getContext.call(this, kind, ...rest);
        };
        delete window.AudioContext;"""}, session=True)["identifier"]
    try:
        load(browser, server, "test=screenshot")
        message = wait(browser, lambda: server.named("message.txt"), 30)
        text = message[1].decode() if message else ""
        checks.check("a browser without WebGL 2 and Web Audio: the page says which are missing",
                     "no WebGL 2" in text and "Web Audio" in text and browser.evaluate(
                         "!document.getElementById('message').hidden"), text or "no message")
    finally:
        browser.call("Page.removeScriptToEvaluateOnNewDocument", {"identifier": script}, session=True)


def music_start(checks, browser, server, capture, pack):
    """The browser's decode of the music starts on the desktop's sample, within 1 ms."""
    wav = os.path.join(tempfile.mkdtemp(prefix="kesu-web-music-"), "start.wav")
    subprocess.run([capture, "--from", "0", "--to", "2", "--out", wav], cwd=pack, check=True, capture_output=True)
    desktop = numpy.frombuffer(open(wav, "rb").read()[44:], numpy.int16)[0::2].astype(numpy.float64) / 32768.0
    shutil.rmtree(os.path.dirname(wav), ignore_errors=True)
    load(browser, server, "test=keys")
    wait(browser, lambda: browser.evaluate("KesuAudio.buffer !== null"), 90)
    browser_samples = numpy.array(browser.evaluate(
        "Array.from(KesuAudio.buffer.getChannelData(0).subarray(0, %d))" % len(desktop)))
    browser.key("Escape", "Escape", 27)
    ended_log(browser, server)
    # The shift that best lines the two up, within 10 ms either way.
    window = desktop[441:len(desktop) - 441]
    shifts = range(-441, 442)
    errors = [numpy.abs(browser_samples[441 + s:441 + s + len(window)] - window).mean() for s in shifts]
    best = shifts[int(numpy.argmin(errors))]
    checks.check("the music: the browser's decode starts on the desktop's sample, within 1 ms",
                 abs(best) <= 44 and min(errors) < 0.01,
                 "%+d samples (%.2f ms), mean difference %.5f" % (best, best / 44.1, min(errors)))
    # Chromium's decoder places every piece exactly; the whole they make is the file decoded at
    # once, sample for sample.
    browser.evaluate("""(async () => {
        const once = await decodeMusic(FS.readFile('/kesu-tamrick/data/' + KesuFiles.list.music).slice().buffer);
        const whole = KesuAudio.buffer;
        let differ = 0;
        for (let channel = 0; channel < 2; ++channel) {
          const a = once.getChannelData(channel), b = whole.getChannelData(channel);
          for (let k = 0; k < Math.min(a.length, b.length); ++k) if (a[k] !== b[k]) ++differ;
        }
        window.kesuMusicCompared = [KesuAudio.decodedIn, whole.length, once.length, differ];
      })()""")
    compared = wait(browser, lambda: browser.evaluate("window.kesuMusicCompared || null"), 60)
    checks.check("the music: decoded in pieces, it is the file decoded at once, every sample",
                 compared is not None and compared[0] == "pieces" and compared[1] == compared[2] and compared[3] == 0,
                 "decoded in %s, %d samples against %d, %d differ" % tuple(compared) if compared else "no comparison")


def bench_page(checks, browser, server):
    load(browser, server, "test=bench&bench=1&from=171")
    table = wait(browser, lambda: server.named("bench.txt"), 120)
    checks.check("the bench: the table of the frames timed back to back", table is not None and
                 b"all frames" in table[1], table[1].decode().splitlines()[0] if table else "none")


# --- WebKit -----------------------------------------------------------------------------------

def webkit_run(checks, server, golden):
    """The page in WebKit (Safari's engine) as in Chromium: the golden moments, 10 s of play with
    every frame drawn for the music heard, the keys and a click on the time bar. WebKit lets
    sound out only after a gesture, so each playing run starts with a click, as a viewer's."""
    if not checks.check("WebKit: MiniBrowser and its WebDriver are installed", webkit.installed(),
                        "webkit2gtk-driver (scripts/web-test.sh installs it)"):
        return
    browser = webkit.WebKit(640, 480)
    try:
        print("     WebKit %s" % browser.version)
        golden_pictures(checks, browser, server, golden, "WebKit", TOLERANCE)

        def start(query):
            server.forget()
            browser.open(server.url(query + "&gesture=1"))
            prompt = wait(browser, lambda: browser.evaluate("!document.getElementById('play').hidden"), 120)
            middle = browser.evaluate("[innerWidth / 2, innerHeight / 2]")
            browser.click(*middle)
            return prompt and wait(browser, lambda: browser.evaluate("KesuTest.isPlaying"), 30)

        # The clock's run at 320 x 240: WebKit draws WebGL on the processors its sound's thread
        # needs, and on two cores a larger picture starves that thread now and then.
        browser.size(320, 240)
        if checks.check("WebKit: a click starts the show", bool(start("test=clock&seconds=10"))):
            # WebKit's Web Audio on two busy cores stalls now and then (its render thread falls
            # behind and the music itself slows): the timing is reported, not held to.
            check_clock(checks, "WebKit: the clock", ended_log(browser, server, 60), server, firm=False)
        browser.size(640, 480)
        if not checks.check("WebKit: the show plays for the keys", bool(start("test=keys&from=20"))):
            return
        browser.pump(1.5)
        moments = {}
        for key in ("ArrowRight", "PageDown", " ", " "):
            moments.setdefault(key, []).append(now(browser))
            browser.key(key)
            browser.pump(1.5)
        # The time bar's line runs from x 8 to 632 at this size.
        browser.move(300, 200)
        browser.pump(0.3)
        moments["bar"] = now(browser)
        browser.click(8 + 624 * 150 / 173.0, 470)
        browser.pump(1.5)
        browser.key("Escape")
        log = ended_log(browser, server)
        if not checks.check("WebKit: a frame log came", len(log) > 30, "%d frames" % len(log)):
            return
        before, after = drawn_around(log, moments["ArrowRight"][0])
        checks.check("WebKit: Right goes 5 s on", before is not None and after is not None and
                     abs(after - before - 5.0) < 0.6, "from %s to %s" % (before, after))
        pause, resume = moments[" "]
        shown_while_paused = log[(log[:, 0] > pause + 0.2) & (log[:, 0] < resume)]
        checks.check("WebKit: Space pauses and resumes", len(shown_while_paused) == 0 and paused_stretches(log, 1.0) == 1,
                     "%d frames while paused" % len(shown_while_paused))
        jumps = jumps_of(log)
        checks.check("WebKit: a click on the time bar at the x of 150 s lands there, within a bar pixel",
                     len(jumps) == 3 and abs(jumps[-1] - 150.0) <= 173.0 / 624, "jumps to %s" % jumps)
        errors = server.named("errors.txt")
        checks.check("WebKit: no error in the page", errors is None, errors[1].decode() if errors else "")
    finally:
        browser.close()


# --- Firefox ----------------------------------------------------------------------------------

def firefox_golden(checks, server, capture, pack, moment=57):
    profile = tempfile.mkdtemp(prefix="kesu-firefox-")
    with open(os.path.join(profile, "user.js"), "w") as prefs:
        for name, value in [("media.autoplay.default", 0), ("media.autoplay.blocking_policy", 0),
                            ("webgl.force-enabled", True), ("browser.shell.checkDefaultBrowser", False),
                            ("datareporting.policy.dataSubmissionEnabled", False),
                            ("toolkit.telemetry.reportingpolicy.firstRun", False),
                            ("browser.startup.homepage_override.mstone", "ignore"),
                            ("browser.aboutwelcome.enabled", False), ("app.update.disabledForTesting", True)]:
            prefs.write("user_pref(%r, %s);\n" % (name, str(value).lower() if isinstance(value, bool) else
                                                  repr(value).replace("'", '"')))
    server.forget()
    firefox = subprocess.Popen(["firefox-esr", "--no-remote", "--profile", profile, "--width", "700", "--height", "560",
                                server.url("test=screenshot&pause=1&from=%g" % moment)],
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        deadline = time.monotonic() + 180
        shot = None
        while shot is None and time.monotonic() < deadline and firefox.poll() is None:
            time.sleep(0.5)
            shot = server.named("kesu-tamrick-")
    finally:
        firefox.terminate()
        try:
            firefox.wait(10)
        except subprocess.TimeoutExpired:
            firefox.kill()
        shutil.rmtree(profile, ignore_errors=True)
    name = "Firefox: the picture at %g s" % moment
    if shot is None:
        checks.check(name, False, "no screenshot came; the page said: %s" % message_of(server))
        return
    picture = pictures.read_png(shot[1])
    height, width = picture.shape[:2]
    folder = tempfile.mkdtemp(prefix="kesu-firefox-golden-")
    subprocess.run([capture, "--size", "%dx%d" % (width, height), "--at", str(moment), "--out", folder], cwd=pack,
                   check=True, capture_output=True, env=dict(os.environ, SDL_VIDEODRIVER="offscreen"))
    expected = pictures.read_png(open(os.path.join(folder, "at-%09.3f.png" % moment), "rb").read())
    shutil.rmtree(folder, ignore_errors=True)
    mean, off = pictures.compare(picture, expected)
    errors = server.named("errors.txt")
    checks.check(name, mean <= TOLERANCE[0] and off <= TOLERANCE[1] and errors is None,
                 "%dx%d, mean difference %.2f, %.2f %% of pixels off%s" %
                 (width, height, mean, off, "; " + errors[1].decode() if errors else ""))


def main():
    parser = argparse.ArgumentParser()
    for option in ("--site", "--packed", "--player", "--capture"):
        parser.add_argument(option, required=True)
    parser.add_argument("--firefox", action="store_true")
    parser.add_argument("--only", default="")
    options = parser.parse_args()
    checks = Checks()
    pack = os.path.abspath(options.packed)
    options.capture = os.path.abspath(options.capture)
    options.player = os.path.abspath(options.player)
    server = TestServer(options.site)
    only = set(options.only.split(",")) - {""}

    def wanted(name):
        return not only or name in only

    golden = tempfile.mkdtemp(prefix="kesu-web-golden-")
    try:
        if wanted("llvmpipe") or wanted("swiftshader"):
            draw_golden(options.capture, pack, golden)
        browser = Browser("gl-egl")
        try:
            if wanted("llvmpipe"):
                golden_pictures(checks, browser, server, golden, "llvmpipe", TOLERANCE)
            browser.grant("screen-wake-lock", server.url().split("/index.html")[0])
            for name, run in [("clock", clock_run), ("keys", keys_run), ("mouse", mouse_run), ("touch", touch_run),
                              ("touch", bad_touches), ("volume", volume_kept), ("gestures", gestures),
                              ("resize", resizing), ("context", lost_context), ("bench", bench_page)]:
                if wanted(name):
                    run(checks, browser, server)
            if wanted("delivery"):
                page_metadata(checks, browser, server)
                pack_in_transit(checks, browser, options.site)
            if wanted("network"):
                slow_links(checks, browser, options.site)
                network_drop(checks, browser, options.site)
            if wanted("music"):
                music_start(checks, browser, server, options.capture, pack)
            if wanted("touch"):
                phone_picture(checks, browser, server, options.capture, pack)
            if wanted("broken"):
                broken_packs(checks, browser, options.site, options.packed, options.player)
                missing_features(checks, browser, server)
                usage_error(checks, browser, server)
        finally:
            browser.close()
        if wanted("session"):
            media_session(checks, server)
        if wanted("visits"):
            kept_visits(checks, options.site, options.packed, options.player)
        if wanted("background"):
            # A hidden page slowed down as for a user: no frame until it is in front again.
            browser = Browser("gl-egl", throttled=True)
            try:
                background_tab(checks, browser, server)
            finally:
                browser.close()
        if wanted("swiftshader"):
            browser = Browser("swiftshader")
            try:
                golden_pictures(checks, browser, server, golden, "SwiftShader", TOLERANCE)
            finally:
                browser.close()
        # WebKit before Firefox, whose processes may linger a while after it is closed: WebKit's
        # sound, fed from a thread of its own, keeps time only on a machine not busy otherwise.
        if options.firefox and wanted("webkit"):
            if not (wanted("llvmpipe") or wanted("swiftshader")):
                draw_golden(options.capture, pack, golden)
            webkit_run(checks, server, golden)
        if options.firefox and wanted("firefox"):
            firefox_golden(checks, server, options.capture, pack)
    finally:
        server.close()
        shutil.rmtree(golden, ignore_errors=True)
    print("web tests: %d failed%s" % (len(checks.failed), ": " + "; ".join(checks.failed) if checks.failed else ""))
    return 1 if checks.failed else 0


if __name__ == "__main__":
    sys.exit(main())
