"""The page's clock against the sound Chromium plays, measured as the desktop player's is. Run
under kesu-audioclock, which starts a private PulseAudio with a null sink, records it and
compares the frame log with what it recorded: Chromium (sound on, through that server) plays
the page from FROM for SECONDS, and the frame log the page posts is handed back with its times
on the system's monotonic clock.

--route element plays Web Audio's output through an <audio> element as a MediaStream instead
of to the context's own output (the way a page would get the media session of a browser that
gives one only to a playing element); the page then cannot know how late the element plays
what it is given. Chromium resamples such a stream on its way, so the recording is not the
music sample for sample and kesu-audioclock says so: kept with --keep, the recording and the
frame log can still be compared by correlation.

    kesu-audioclock --music PACK/data/little.mp3 [--keep FOLDER] -- \\
        python3 bench/webAudioClock.py [--route context|element] [--from S] [--seconds S] SITE"""

import argparse
import os
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "web"))
from browser import Browser  # noqa: E402
from server import TestServer  # noqa: E402
from webTest import load, playing, wait  # noqa: E402

# KesuAudio.unlock with the gain node's output played by an element.
THROUGH_ELEMENT = """(() => {
  const unlock = KesuAudio.unlock.bind(KesuAudio);
  KesuAudio.unlock = function () {
    if (!this.context) {
      this.context = new AudioContext({ sampleRate: 44100 });
      this.gainNode = this.context.createGain();
      this.gainNode.gain.value = this.gain;
      const stream = this.context.createMediaStreamDestination();
      this.gainNode.connect(stream);
      this.element = new Audio();
      this.element.srcObject = stream.stream;
      this.element.play();
    }
    unlock();
  };
})()"""


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--route", choices=("context", "element"), default="context")
    parser.add_argument("--from", dest="start", type=float, default=20.0)
    parser.add_argument("--seconds", type=float, default=20.0)
    parser.add_argument("site")
    options = parser.parse_args()
    log_path = os.environ.get("KESU_CLOCK_LOG")
    if not log_path or not os.environ.get("PULSE_SERVER"):
        sys.exit("webAudioClock: run it under kesu-audioclock, which names the sound server and the log")
    server = TestServer(options.site)
    browser = Browser("gl-egl", muted=False)
    try:
        load(browser, server, "test=gesture&from=%g" % options.start)
        if not wait(browser, lambda: browser.evaluate("!document.getElementById('play').hidden"), 120):
            sys.exit("webAudioClock: the page never asked for the click")
        if options.route == "element":
            browser.evaluate(THROUGH_ELEMENT)
        browser.click(320, 240)
        if not playing(browser, 30):
            sys.exit("webAudioClock: the show did not start")
        browser.pump(options.seconds)
        browser.key("Escape", "Escape", 27)
        found = wait(browser, lambda: server.named("clock.log"), 30)
        if not found:
            sys.exit("webAudioClock: the page posted no frame log")
        # The page's clock is its performance clock: from the time origin (the epoch's
        # milliseconds) onto the monotonic clock, by where the two stand now.
        origin = browser.evaluate("performance.timeOrigin") / 1000.0
        epoch_less_monotonic = time.time() - time.monotonic()
    finally:
        browser.close()
        server.close()
    with open(log_path, "w") as out:
        for line in found[1].decode().splitlines():
            fields = line.split()
            if len(fields) != 4:
                continue
            swap, position, drawn, read = (float(x) for x in fields)
            shift = origin - epoch_less_monotonic
            out.write("%.6f %.6f %.6f %.6f\n" % (swap + shift, position, drawn, read + shift))
    print("webAudioClock: %s, %g s from %g s" % (options.route, options.seconds, options.start))


if __name__ == "__main__":
    main()
