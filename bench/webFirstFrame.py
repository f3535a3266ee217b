"""How long the page's first frame takes after the click, in headless Chromium on Mesa's
llvmpipe at 640x480: cold (a new address each run, so no cache of an earlier visit) and on a
second visit (every file from the service worker's cache), with the test server's link held to
each rate and a 40 ms round trip, and on the loopback address unheld. The click comes 1 s after
the load began on a cold visit, 0.3 s on a second. Prints, for each, the runs and their median.

    webFirstFrame.py [--runs N] SITE"""

import argparse
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "web"))
from browser import Browser  # noqa: E402
from server import TestServer  # noqa: E402
from webTest import KEPT, ended_log, files_list, first_frame_after_click, load, playing, wait  # noqa: E402

RATES = (10, 5, 2, 0)   # Mbit/s; 0: the loopback address, unheld
QUERY = "test=clock&seconds=3&gesture=1"


def label(megabits):
    return "%d Mbit/s" % megabits if megabits else "loopback"


def median(values):
    ordered = sorted(values)
    middle = len(ordered) // 2
    return ordered[middle] if len(ordered) % 2 else (ordered[middle - 1] + ordered[middle]) / 2


def cold(site, megabits):
    server = TestServer(site)
    browser = Browser("gl-egl")
    try:
        first, took = first_frame_after_click(browser, server, megabits, QUERY, 1.0, 0.04 if megabits else 0.0)
        ended_log(browser, server)
        return took if first else None
    finally:
        browser.close()
        server.close()


def second_visits(site, runs):
    """{rate: [seconds]} over visits after one that kept every file."""
    server = TestServer(site)
    browser = Browser("gl-egl")
    found = {rate: [] for rate in RATES}
    try:
        load(browser, server, "test=keys")
        if not playing(browser, 60):
            sys.exit("webFirstFrame: the first visit did not play")
        paths = [entry["path"] for entry in files_list(site)["files"].values()]
        if not wait(browser, lambda: all(any(k.endswith(p) for k in browser.evaluate(KEPT)) for p in paths), 60):
            sys.exit("webFirstFrame: the first visit did not keep every file")
        browser.key("Escape", "Escape", 27)
        ended_log(browser, server)
        for _ in range(runs):
            for rate in RATES:
                first, took = first_frame_after_click(browser, server, rate, QUERY, 0.3, 0.04 if rate else 0.0)
                ended_log(browser, server)
                if first:
                    found[rate].append(took)
    finally:
        browser.close()
        server.close()
    return found


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("site")
    options = parser.parse_args()
    print("the first frame after the click, seconds (%d runs each; median)" % options.runs)
    for rate in RATES:
        times = [t for t in (cold(options.site, rate) for _ in range(options.runs)) if t is not None]
        print("cold, %-9s %s; median %.2f" % (label(rate), ", ".join("%.2f" % t for t in times),
                                              median(times) if times else float("nan")))
    for rate, times in second_visits(options.site, options.runs).items():
        print("second visit, %-9s %s; median %.2f" % (label(rate), ", ".join("%.2f" % t for t in times),
                                                      median(times) if times else float("nan")))


if __name__ == "__main__":
    main()
