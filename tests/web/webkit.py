"""WebKit, the engine of Safari and of every browser on an iPhone, as WebKitGTK's MiniBrowser
driven through its WebDriver (WebKitWebDriver, from Debian's webkit2gtk-driver) on an X
server, with Python's standard library alone: one window, scripts run in the page, keys and
the mouse sent as W3C actions, which the page takes as a user's gestures."""

import base64
import json
import shutil
import socket
import subprocess
import time
import urllib.request

MINIBROWSER = "/usr/lib/x86_64-linux-gnu/webkit2gtk-4.1/MiniBrowser"

# The W3C key codes of the keys the tests press.
KEYS = {"Escape": "\ue00c", "ArrowRight": "\ue014", "PageDown": "\ue00f", " ": " ", "Space": " "}


def installed():
    return shutil.which("WebKitWebDriver") is not None and shutil.which(MINIBROWSER) is not None


def free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


class WebKit:
    def __init__(self, width=640, height=480):
        self.port = free_port()
        self.driver = subprocess.Popen(["WebKitWebDriver", "--port=%d" % self.port], stdout=subprocess.DEVNULL,
                                       stderr=subprocess.DEVNULL)
        deadline = time.monotonic() + 20
        while True:
            try:
                self._request("GET", "/status")
                break
            except OSError:
                if time.monotonic() > deadline:
                    raise
                time.sleep(0.1)
        options = {"binary": MINIBROWSER, "args": ["--automation"]}
        reply = self._request("POST", "/session", {"capabilities": {"alwaysMatch": {"webkitgtk:browserOptions": options}}})
        self.session = reply["value"]["sessionId"]
        self.version = reply["value"]["capabilities"].get("browserVersion", "")
        self.size(width, height)

    def _request(self, method, path, body=None, timeout=60):
        data = json.dumps(body).encode() if body is not None else None
        request = urllib.request.Request("http://127.0.0.1:%d%s" % (self.port, path), data=data, method=method,
                                         headers={"Content-Type": "application/json"})
        with urllib.request.urlopen(request, timeout=timeout) as reply:
            return json.loads(reply.read())

    def _call(self, method, path, body=None):
        return self._request(method, "/session/%s%s" % (self.session, path), body)["value"]

    def size(self, width, height):
        """The page's viewport in CSS pixels: the window is made larger by its own frame."""
        self._call("POST", "/window/rect", {"width": width, "height": height})
        inner = self.evaluate("[innerWidth, innerHeight]")
        self._call("POST", "/window/rect", {"width": 2 * width - inner[0], "height": 2 * height - inner[1]})

    def open(self, url):
        self._call("POST", "/url", {"url": url})

    def evaluate(self, expression):
        return self._call("POST", "/execute/sync", {"script": "return (%s);" % expression, "args": []})

    def _actions(self, *sources):
        self._call("POST", "/actions", {"actions": list(sources)})

    def key(self, key, held=0.1):
        value = KEYS.get(key, key)
        self._actions({"type": "key", "id": "keyboard", "actions": [
            {"type": "keyDown", "value": value}, {"type": "pause", "duration": int(held * 1000)},
            {"type": "keyUp", "value": value}]})

    def _pointer(self, steps):
        self._actions({"type": "pointer", "id": "mouse", "parameters": {"pointerType": "mouse"}, "actions": steps})

    def move(self, x, y):
        self._pointer([{"type": "pointerMove", "x": int(x), "y": int(y), "origin": "viewport"}])

    def click(self, x, y):
        self._pointer([{"type": "pointerMove", "x": int(x), "y": int(y), "origin": "viewport"},
                       {"type": "pointerDown", "button": 0}, {"type": "pause", "duration": 60},
                       {"type": "pointerUp", "button": 0}])

    def screenshot(self):
        return base64.b64decode(self._call("GET", "/screenshot"))

    def pump(self, seconds):
        time.sleep(seconds)

    def close(self):
        try:
            self._request("DELETE", "/session/%s" % self.session, timeout=10)
        except OSError:
            pass
        self.driver.terminate()
        try:
            self.driver.wait(10)
        except subprocess.TimeoutExpired:
            self.driver.kill()
