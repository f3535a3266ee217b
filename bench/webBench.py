"""The page's figures on this machine, in headless Chromium on Mesa's llvmpipe at 640x480,
served on the loopback address: the first paint (the progress bar), the first frame after the
click, and the frame times of every effect window drawn back to back (?bench=1) beside
kesu-capture --bench's on the desktop's GL, page and desktop in turn RUNS times, with the
median of the runs' medians and the page's over the desktop's; and the page on a phone-sized
viewport (390 x 844 CSS pixels at 3 device pixels each, with touch: the show drawn at 1170 x
878, letterboxed 4:3 in portrait) beside them.

--keep-freed-memory runs Chromium with its allocator keeping more of the memory it frees
(PartitionAllocLargeEmptySlotSpanRing). llvmpipe allocates and frees a few megabytes every
frame; in Chromium's GPU process, whose allocator hands freed memory back to the system at
once, that memory is faulted in again each frame. The option shows how much of the page's
time that is.

    webBench.py [--runs N] [--keep-freed-memory] SITE PACK KESU-CAPTURE"""

import argparse
import os
import re
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "web"))
from browser import Browser  # noqa: E402
from server import TestServer  # noqa: E402
from webTest import load, wait  # noqa: E402

ROW = re.compile(r"^(\S+(?: \S+)*?)\s+(\d+)\s+([\d.]+)\s+([\d.]+)\s+([\d.]+)")


def table(text):
    """{window: (frames, median ms)} from a bench's table."""
    rows = {}
    for line in text.splitlines():
        match = ROW.match(line)
        if match and not line.startswith(("kesu", "load")):
            rows[match.group(1)] = (int(match.group(2)), float(match.group(3)))
    return rows


def median(values):
    ordered = sorted(values)
    middle = len(ordered) // 2
    return ordered[middle] if len(ordered) % 2 else (ordered[middle - 1] + ordered[middle]) / 2


def page_bench(site, flags, phone=False):
    server = TestServer(site)
    browser = Browser("gl-egl", extra_flags=flags)
    try:
        if phone:
            browser.phone()
        load(browser, server, "test=bench&bench=1")
        page = wait(browser, lambda: server.named("bench.txt"), 1200)
    finally:
        browser.close()
        server.close()
    if page is None:
        sys.exit("webBench: the page's bench did not finish")
    return table(page[1].decode())


def desktop_bench(pack, capture):
    return table(subprocess.run([capture, "--size", "640x480", "--bench"], cwd=pack, capture_output=True, text=True,
                                env=dict(os.environ, SDL_VIDEODRIVER="offscreen"), check=True).stdout)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--runs", type=int, default=1)
    parser.add_argument("--keep-freed-memory", action="store_true")
    parser.add_argument("site")
    parser.add_argument("pack")
    parser.add_argument("capture")
    options = parser.parse_args()
    flags = ["--enable-features=PartitionAllocLargeEmptySlotSpanRing"] if options.keep_freed_memory else []
    server = TestServer(options.site)
    browser = Browser("gl-egl", extra_flags=flags)
    try:
        # Clicked as soon as the prompt shows, the show waits for the scenes and pictures to
        # load behind the wait screen; clicked later, only for its first frame.
        for delay in (0.0, 5.0):
            load(browser, server, "")
            wait(browser, lambda: browser.evaluate("!document.getElementById('play').hidden"), 90)
            paint = browser.evaluate("(performance.getEntriesByName('first-contentful-paint')[0] || {}).startTime")
            prompt = browser.evaluate("performance.now()")
            browser.pump(delay)
            browser.click(320, 240)
            mark = "(performance.getEntriesByName('%s')[0] || {startTime: 0}).startTime"
            wait(browser, lambda: browser.evaluate(mark % "kesu-first-frame") > 0, 30)
            first = browser.evaluate("%s - %s" % (mark % "kesu-first-frame", mark % "kesu-sound-unlocked"))
            print("page: first paint (the progress bar) %.0f ms, the prompt at %.0f ms; clicked %.0f s after it, "
                  "the first frame %.0f ms after the click" % (paint or -1, prompt, delay, first))
    finally:
        browser.close()
        server.close()
    pages, desktops, phones = [], [], []
    for _ in range(options.runs):
        pages.append(page_bench(options.site, flags))
        desktops.append(desktop_bench(options.pack, options.capture))
        phones.append(page_bench(options.site, flags, phone=True))
    print("median ms a frame at 640x480, drawn back to back, the median of %d run%s (page: headless Chromium, "
          "WebGL 2 on llvmpipe%s; desktop: kesu-capture --bench, GL on llvmpipe)"
          % (options.runs, "" if options.runs == 1 else "s", ", keeping freed memory" if flags else ""))
    print("%-36s %7s %9s %9s %7s %11s" % ("window", "frames", "desktop", "page", "page/dt", "phone page"))
    for name, (frames, _) in pages[0].items():
        page = median([run[name][1] for run in pages if name in run])
        base = median([run.get(name, (0, 0.0))[1] for run in desktops])
        phone = median([run.get(name, (0, 0.0))[1] for run in phones])
        ratio = page / base if base else 0.0
        print("%-36s %7d %9.2f %9.2f %6.2fx %11.2f%s" % (name, frames, base, page, ratio, phone,
                                                        "  over 1.5x" if ratio > 1.5 else ""))


if __name__ == "__main__":
    main()
