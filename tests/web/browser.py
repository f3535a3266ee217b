"""Headless Chromium driven over the DevTools protocol through --remote-debugging-pipe, with
Python's standard library alone: one page, its console messages and exceptions collected,
keys and clicks sent as a user's, downloads allowed into a folder."""

import json
import os
import select
import shutil
import subprocess
import tempfile
import time


class Browser:
    """One headless Chromium with one page. `angle` picks the renderer WebGL 2 runs on:
    "gl-egl" (Mesa's llvmpipe through ANGLE) or "swiftshader"; `throttled` leaves a hidden
    page slowed down as for a user."""

    def __init__(self, angle="gl-egl", width=640, height=480, throttled=False, extra_flags=(), env=None, muted=True):
        self.profile = tempfile.mkdtemp(prefix="kesu-chromium-")
        self.downloads = os.path.join(self.profile, "downloads")
        os.makedirs(self.downloads)
        commands_read, commands_write = os.pipe()
        replies_read, replies_write = os.pipe()
        flags = ["--headless=new", "--no-sandbox", "--no-first-run", "--disable-background-networking",
                 "--disable-component-update", "--disable-sync", "--disable-quic",
                 "--autoplay-policy=no-user-gesture-required", "--ignore-gpu-blocklist",
                 "--window-size=%d,%d" % (width, height), "--user-data-dir=" + self.profile,
                 "--remote-debugging-pipe"] + (["--mute-audio"] if muted else []) + list(extra_flags)
        # A hidden page is slowed down as a browser does for a user only where asked: the
        # other tests keep time in a page that may be behind another.
        if not throttled:
            flags += ["--disable-background-timer-throttling", "--disable-renderer-backgrounding"]
        if angle == "swiftshader":
            flags += ["--use-angle=swiftshader", "--enable-unsafe-swiftshader"]
        else:
            flags += ["--use-gl=angle", "--use-angle=gl-egl"]

        def pipes():
            os.dup2(commands_read, 3)
            os.dup2(replies_write, 4)

        self.process = subprocess.Popen(["chromium"] + flags + ["about:blank"], pass_fds=(3, 4),
                                        preexec_fn=pipes, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, env=env)
        os.close(commands_read)
        os.close(replies_write)
        self.commands = os.fdopen(commands_write, "wb", buffering=0)
        self.replies = replies_read
        self.pending = b""
        self.next_id = 0
        self.events = []
        self.console = []      # (level, text) of the page's console
        self.exceptions = []   # texts of uncaught exceptions
        self.target = self.call("Target.createTarget", {"url": "about:blank"})["targetId"]
        self.session = self.call("Target.attachToTarget", {"targetId": self.target, "flatten": True})["sessionId"]
        for domain in ("Runtime", "Page", "Log"):
            self.call(domain + ".enable", session=True)
        self.size(width, height)
        self.call("Browser.setDownloadBehavior", {"behavior": "allow", "downloadPath": self.downloads,
                                                  "eventsEnabled": True})

    def close(self):
        try:
            self.call("Browser.close", timeout=5)
        except Exception:
            pass
        try:
            self.process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.process.kill()
        shutil.rmtree(self.profile, ignore_errors=True)

    def _receive(self, timeout):
        """The next message, or None after timeout seconds."""
        deadline = time.monotonic() + timeout
        while b"\0" not in self.pending:
            left = deadline - time.monotonic()
            if left <= 0 or self.process.poll() is not None:
                return None
            ready, _, _ = select.select([self.replies], [], [], left)
            if ready:
                chunk = os.read(self.replies, 1 << 20)
                if not chunk:
                    return None
                self.pending += chunk
        message, self.pending = self.pending.split(b"\0", 1)
        data = json.loads(message)
        if "method" in data:
            self._note(data)
        return data

    def _note(self, event):
        self.events.append(event)
        method, params = event["method"], event.get("params", {})
        if method == "Runtime.consoleAPICalled":
            text = " ".join(str(arg.get("value", arg.get("description", ""))) for arg in params.get("args", []))
            self.console.append((params.get("type"), text))
        elif method == "Runtime.exceptionThrown":
            details = params.get("exceptionDetails", {})
            self.exceptions.append(details.get("exception", {}).get("description", details.get("text", "")))
        elif method == "Log.entryAdded":
            entry = params.get("entry", {})
            self.console.append((entry.get("level"), entry.get("text", "")))

    def call(self, method, params=None, session=False, timeout=30):
        self.next_id += 1
        message = {"id": self.next_id, "method": method, "params": params or {}}
        if session:
            message["sessionId"] = self.session
        self.commands.write(json.dumps(message).encode() + b"\0")
        deadline = time.monotonic() + timeout
        while True:
            reply = self._receive(max(0.0, deadline - time.monotonic()))
            if reply is None:
                raise TimeoutError(method + " got no answer")
            if reply.get("id") == self.next_id:
                if "error" in reply:
                    raise RuntimeError(method + ": " + reply["error"].get("message", ""))
                return reply.get("result", {})

    def pump(self, seconds):
        """Takes the browser's events for that long."""
        deadline = time.monotonic() + seconds
        while time.monotonic() < deadline:
            self._receive(deadline - time.monotonic())

    def size(self, width, height):
        """The page's viewport in CSS pixels, one device pixel each; the page sees a resize."""
        self.call("Emulation.setDeviceMetricsOverride", {"width": width, "height": height, "deviceScaleFactor": 1,
                                                         "mobile": False}, session=True)

    def open(self, url):
        self.call("Page.navigate", {"url": url}, session=True)

    def evaluate(self, expression):
        result = self.call("Runtime.evaluate", {"expression": expression, "returnByValue": True,
                                                "awaitPromise": True}, session=True)
        return result.get("result", {}).get("value")

    def key(self, key, code=None, key_code=0, text=None, held=0.1):
        """A key pressed, held down as a hand holds it (longer than a frame), and let go."""
        for kind in ("keyDown", "keyUp"):
            params = {"type": kind, "key": key, "code": code or key, "windowsVirtualKeyCode": key_code}
            if text and kind == "keyDown":
                params["text"] = text
            self.call("Input.dispatchKeyEvent", params, session=True)
            if kind == "keyDown":
                self.pump(held)

    def click(self, x=100, y=100, count=1):
        for kind in ("mousePressed", "mouseReleased"):
            self.call("Input.dispatchMouseEvent", {"type": kind, "x": x, "y": y, "button": "left", "clickCount": count},
                      session=True)

    def double_click(self, x, y):
        """Two clicks 80 ms apart, as a hand double-clicks."""
        self.click(x, y)
        self.pump(0.08)
        self.click(x, y, 2)

    def mouse(self, kind, x, y, held=False):
        """A mouse event: "mouseMoved", "mousePressed" or "mouseReleased"."""
        self.call("Input.dispatchMouseEvent", {"type": kind, "x": x, "y": y, "button": "left" if held or kind != "mouseMoved" else "none",
                                               "buttons": 1 if held else 0, "clickCount": 1}, session=True)

    def phone(self, width=390, height=844, scale=3):
        """A phone: that viewport in CSS pixels at `scale` device pixels each, with touch."""
        self.call("Emulation.setDeviceMetricsOverride", {"width": width, "height": height, "deviceScaleFactor": scale,
                                                         "mobile": True}, session=True)
        self.call("Emulation.setTouchEmulationEnabled", {"enabled": True, "maxTouchPoints": 5}, session=True)

    def desktop(self, width=640, height=480):
        self.call("Emulation.setTouchEmulationEnabled", {"enabled": False}, session=True)
        self.size(width, height)

    def touch(self, kind, points):
        """A touch event: "touchStart", "touchMove", "touchEnd"; points [(x, y), ...] (none for the end)."""
        self.call("Input.dispatchTouchEvent", {"type": kind, "touchPoints": [{"x": x, "y": y, "id": k}
                                                                             for k, (x, y) in enumerate(points)]},
                  session=True)

    def tap(self, x, y):
        self.touch("touchStart", [(x, y)])
        self.pump(0.05)
        self.touch("touchEnd", [])

    def taps(self, x, y, count=2):
        """Taps with no pause between the events, as quick as a thumb."""
        for _ in range(count):
            self.touch("touchStart", [(x, y)])
            self.touch("touchEnd", [])

    def grant(self, permission, origin):
        self.call("Browser.setPermission", {"permission": {"name": permission}, "setting": "granted", "origin": origin})

    def screenshot(self):
        import base64
        data = self.call("Page.captureScreenshot", {"format": "png"}, session=True)["data"]
        return base64.b64decode(data)

    def errors(self):
        """The console's errors and the uncaught exceptions so far."""
        return [text for level, text in self.console if level == "error"] + self.exceptions
