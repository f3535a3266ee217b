"""The page's figures on this machine, in headless Chromium on Mesa's llvmpipe at 640x480,
served on the loopback address: the first paint (the progress bar), the first frame after the
click, and the frame times of every effect window drawn back to back (?bench=1) beside
kesu-capture --bench's on the desktop's GL, with the page's median over the desktop's.

    webBench.py SITE PACK KESU-CAPTURE"""

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


def main():
    site, pack, capture = sys.argv[1:4]
    server = TestServer(site)
    browser = Browser("gl-egl")
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
            wait(browser, lambda: browser.evaluate("KesuPage.firstFrameAt > 0"), 30)
            first = browser.evaluate("KesuPage.firstFrameAt - KesuPage.unlockedAt")
            print("page: first paint (the progress bar) %.0f ms, the prompt at %.0f ms; clicked %.0f s after it, "
                  "the first frame %.0f ms after the click" % (paint or -1, prompt, delay, first))
        load(browser, server, "test=bench&bench=1")
        page = wait(browser, lambda: server.named("bench.txt"), 1200)
    finally:
        browser.close()
        server.close()
    if page is None:
        sys.exit("webBench: the page's bench did not finish")
    desktop = subprocess.run([capture, "--size", "640x480", "--bench"], cwd=pack, capture_output=True, text=True,
                             env=dict(os.environ, SDL_VIDEODRIVER="offscreen"), check=True).stdout
    page_rows, desktop_rows = table(page[1].decode()), table(desktop)
    print("median ms a frame at 640x480, drawn back to back (page: headless Chromium, WebGL 2 on llvmpipe; "
          "desktop: kesu-capture --bench, GL on llvmpipe)")
    print("%-36s %7s %9s %9s %7s" % ("window", "frames", "desktop", "page", "page/dt"))
    for name, (frames, median) in page_rows.items():
        base = desktop_rows.get(name, (0, 0.0))[1]
        ratio = median / base if base else 0.0
        print("%-36s %7d %9.2f %9.2f %6.2fx%s" % (name, frames, base, median, ratio, "  over 1.5x" if ratio > 1.5 else ""))


if __name__ == "__main__":
    main()
