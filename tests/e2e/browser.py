"""Headless Chromium driven through the DevTools protocol, for the tests and
benchmarks of the recorder's playback page.

One browser process per Browser object, with its own empty profile, bound
to 127.0.0.1 and ended (with its profile) by close(). Pages are opened from
disk; every request a page makes is recorded.
"""

import base64
import json
import os
import re
import shutil
import signal
import subprocess
import tempfile
import time
import urllib.request

import websocket

CHROMIUM = shutil.which("chromium") or shutil.which("chromium-browser")


class BrowserError(Exception):
    pass


class Browser:
    def __init__(self, width=1000, height=800, timeout=30.0):
        if CHROMIUM is None:
            raise BrowserError("chromium is not installed (scripts/install-deps.sh test)")
        self.profile = tempfile.mkdtemp(prefix="sismap-chromium-")
        self.timeout = timeout
        args = [CHROMIUM, "--headless=new", "--no-sandbox", "--disable-gpu", "--no-first-run",
                "--no-default-browser-check", "--disable-extensions", "--disable-background-networking",
                "--disable-component-update", "--disable-sync", "--hide-scrollbars", "--mute-audio",
                "--force-device-scale-factor=1", "--window-size=%d,%d" % (width, height),
                "--remote-debugging-address=127.0.0.1", "--remote-debugging-port=0",
                "--user-data-dir=" + self.profile, "about:blank"]
        self.process = subprocess.Popen(args, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                        stderr=subprocess.DEVNULL, start_new_session=True)
        try:
            self.port = self._wait_for_port()
            self.socket = websocket.create_connection(self._page_socket_url(), timeout=timeout,
                                                      suppress_origin=True)
        except Exception:
            self.close()
            raise
        self.next_id = 0
        self.events = []
        self.send("Page.enable")
        self.send("Runtime.enable")
        self.send("Network.enable")

    def _wait_for_port(self):
        # Chromium writes the port it chose into the profile.
        path = os.path.join(self.profile, "DevToolsActivePort")
        deadline = time.monotonic() + self.timeout
        while time.monotonic() < deadline:
            if self.process.poll() is not None:
                raise BrowserError("chromium ended with status %d at start" % self.process.returncode)
            try:
                with open(path) as f:
                    first = f.readline().strip()
                if first:
                    return int(first)
            except (OSError, ValueError):
                pass
            time.sleep(0.05)
        raise BrowserError("chromium did not open its DevTools port within %.0f s" % self.timeout)

    def _page_socket_url(self):
        deadline = time.monotonic() + self.timeout
        while time.monotonic() < deadline:
            with urllib.request.urlopen("http://127.0.0.1:%d/json/list" % self.port, timeout=5) as answer:
                targets = json.load(answer)
            pages = [t for t in targets if t.get("type") == "page"]
            if pages:
                return pages[0]["webSocketDebuggerUrl"]
            time.sleep(0.05)
        raise BrowserError("chromium showed no page")

    def close(self):
        if getattr(self, "socket", None) is not None:
            try:
                self.socket.close()
            except OSError:
                pass
            self.socket = None
        if self.process.poll() is None:
            os.killpg(self.process.pid, signal.SIGTERM)
            try:
                self.process.wait(5)
            except subprocess.TimeoutExpired:
                os.killpg(self.process.pid, signal.SIGKILL)
                self.process.wait()
        shutil.rmtree(self.profile, ignore_errors=True)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    # --- The protocol ---------------------------------------------------

    def send(self, method, **params):
        self.next_id += 1
        mine = self.next_id
        self.socket.send(json.dumps({"id": mine, "method": method, "params": params}))
        while True:
            message = json.loads(self.socket.recv())
            if message.get("id") == mine:
                if "error" in message:
                    raise BrowserError("%s: %s" % (method, message["error"]))
                return message.get("result", {})
            if "method" in message:
                self.events.append(message)

    def wait_for_event(self, method, timeout=None):
        deadline = time.monotonic() + (timeout or self.timeout)
        for i, event in enumerate(self.events):
            if event["method"] == method:
                return self.events.pop(i)
        while time.monotonic() < deadline:
            self.socket.settimeout(max(0.01, deadline - time.monotonic()))
            try:
                message = json.loads(self.socket.recv())
            except websocket.WebSocketTimeoutException:
                break
            finally:
                self.socket.settimeout(self.timeout)
            if message.get("method") == method:
                return message
            if "method" in message:
                self.events.append(message)
        raise BrowserError("no %s within the time allowed" % method)

    def evaluate(self, expression):
        result = self.send("Runtime.evaluate", expression=expression, returnByValue=True, awaitPromise=True)
        if "exceptionDetails" in result:
            raise BrowserError("%s: %s" % (expression, result["exceptionDetails"]))
        return result["result"].get("value")

    # --- Pages ----------------------------------------------------------

    def open(self, path, fragment=""):
        """Opens a file as file:// afresh (never as a move within the page
        already open) and waits for its load event and, on a playback page,
        for its first frame."""
        url = "file://" + os.path.abspath(path) + fragment
        for address in ("about:blank", url):
            self.events = [e for e in self.events if e["method"] != "Page.loadEventFired"]
            self.send("Page.navigate", url=address)
            self.wait_for_event("Page.loadEventFired")
        self.evaluate("window.sismapPlayer ? sismapPlayer.ready.then(() => true) : false")
        return url

    def requested_urls(self):
        """Every URL the browser was asked to fetch since it started."""
        self.send("Runtime.evaluate", expression="0")  # collects events that arrived meanwhile
        return [e["params"]["request"]["url"] for e in self.events if e["method"] == "Network.requestWillBeSent"]

    def screenshot_rgb(self, width, height):
        """The top-left width x height pixels of the page as rows of RGB bytes."""
        shot = self.send("Page.captureScreenshot", format="png",
                         clip={"x": 0, "y": 0, "width": width, "height": height, "scale": 1})
        return base64.b64decode(shot["data"])

    def press(self, key):
        """A key press as a keyboard makes it: a letter, a digit or an arrow's name."""
        arrows = {"ArrowLeft": 37, "ArrowUp": 38, "ArrowRight": 39, "ArrowDown": 40}
        if key in arrows:
            params = {"key": key, "code": key, "windowsVirtualKeyCode": arrows[key]}
        elif re.fullmatch(r"[a-zA-Z0-9]", key):
            code = ("Key" + key.upper()) if key.isalpha() else ("Digit" + key)
            params = {"key": key, "code": code, "text": key, "windowsVirtualKeyCode": ord(key.upper())}
        else:
            raise ValueError("no key named %r" % key)
        self.send("Input.dispatchKeyEvent", type="keyDown", **params)
        self.send("Input.dispatchKeyEvent", type="keyUp", **{k: v for k, v in params.items() if k != "text"})
