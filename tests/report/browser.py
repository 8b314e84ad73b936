# A headless Chromium driven through the DevTools protocol over a pipe (--remote-debugging-pipe:
# commands on fd 3, answers on fd 4, each message ended by a NUL), with the standard library
# alone. The browser gets a fresh profile and is kept off the network, which this machine does
# not have anyway.
import base64
import json
import os
import select
import shutil
import subprocess
import tempfile
import time

FLAGS = [
    "--headless", "--disable-gpu", "--disable-quic", "--no-first-run",
    "--disable-background-networking", "--disable-component-update", "--disable-sync",
    "--disable-extensions", "--hide-scrollbars", "--mute-audio", "--remote-debugging-pipe",
]


def chromium_path():
    return shutil.which("chromium") or shutil.which("chromium-browser")


class Browser:
    def __init__(self, timeout=60):
        self.timeout = timeout
        self.profile = tempfile.mkdtemp(prefix="tarvex-chromium-")
        to_browser_read, self._to_browser = os.pipe()
        self._from_browser, from_browser_write = os.pipe()

        def wire_pipes():
            # dup first: a pipe end that already is fd 3 or 4 would keep its close-on-exec flag.
            read_end, write_end = os.dup(to_browser_read), os.dup(from_browser_write)
            os.dup2(read_end, 3)
            os.dup2(write_end, 4)

        flags = FLAGS + ["--user-data-dir=" + self.profile]
        if os.geteuid() == 0:
            flags.append("--no-sandbox")  # the sandbox refuses to start as root
        self.process = subprocess.Popen(
            [chromium_path()] + flags + ["about:blank"], preexec_fn=wire_pipes, close_fds=False,
            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(to_browser_read)
        os.close(from_browser_write)
        self._buffer = b""
        self._next_id = 0
        self.events = []

    def _read_message(self, deadline):
        while b"\0" not in self._buffer:
            left = deadline - time.monotonic()
            if left <= 0:
                raise TimeoutError("the browser did not answer in time")
            ready, _, _ = select.select([self._from_browser], [], [], left)
            if ready:
                chunk = os.read(self._from_browser, 1 << 20)
                if not chunk:
                    raise EOFError("the browser closed its pipe")
                self._buffer += chunk
        message, self._buffer = self._buffer.split(b"\0", 1)
        return json.loads(message)

    def call(self, method, params=None, session=None):
        self._next_id += 1
        message = {"id": self._next_id, "method": method, "params": params or {}}
        if session:
            message["sessionId"] = session
        os.write(self._to_browser, json.dumps(message).encode() + b"\0")
        deadline = time.monotonic() + self.timeout
        while True:
            answer = self._read_message(deadline)
            if answer.get("id") == self._next_id:
                if "error" in answer:
                    raise RuntimeError(f"{method}: {answer['error']}")
                return answer.get("result", {})
            self.events.append(answer)

    def wait_for_event(self, method, session):
        deadline = time.monotonic() + self.timeout
        for index, event in enumerate(self.events):
            if event.get("method") == method and event.get("sessionId") == session:
                return self.events.pop(index)
        while True:
            event = self._read_message(deadline)
            if event.get("method") == method and event.get("sessionId") == session:
                return event
            self.events.append(event)

    def open(self, url, width, height=800, print_media=False):
        """A new page of the given viewport size, loaded; returns a Page."""
        target = self.call("Target.createTarget", {"url": "about:blank"})["targetId"]
        session = self.call("Target.attachToTarget",
                            {"targetId": target, "flatten": True})["sessionId"]
        for domain in ("Page", "Runtime", "Log"):
            self.call(domain + ".enable", session=session)
        self.call("Emulation.setDeviceMetricsOverride",
                  {"width": width, "height": height, "deviceScaleFactor": 1, "mobile": False},
                  session)
        if print_media:
            self.call("Emulation.setEmulatedMedia", {"media": "print"}, session)
        self.call("Page.navigate", {"url": url}, session)
        self.wait_for_event("Page.loadEventFired", session)
        page = Page(self, session)
        # As tall as the page, so that every part of it is in view and can be hit.
        full = page.evaluate("Math.ceil(document.documentElement.scrollHeight)")
        self.call("Emulation.setDeviceMetricsOverride",
                  {"width": width, "height": max(height, full), "deviceScaleFactor": 1,
                   "mobile": False}, session)
        return page

    def close(self):
        try:
            self.call("Browser.close")
            self.process.wait(timeout=20)
        except Exception:
            self.process.kill()
            self.process.wait()
        finally:
            os.close(self._to_browser)
            os.close(self._from_browser)
            shutil.rmtree(self.profile, ignore_errors=True)


class Page:
    def __init__(self, browser, session):
        self.browser = browser
        self.session = session

    def evaluate(self, expression):
        result = self.browser.call("Runtime.evaluate",
                                   {"expression": expression, "returnByValue": True},
                                   self.session)
        if "exceptionDetails" in result:
            raise RuntimeError(f"script failed: {result['exceptionDetails']}")
        return result["result"].get("value")

    def problems(self):
        """Console errors, exceptions and failed or refused loads that the page reported."""
        found = []
        for event in self.browser.events:
            if event.get("sessionId") != self.session:
                continue
            method, params = event.get("method"), event.get("params", {})
            if method == "Runtime.exceptionThrown":
                found.append(params["exceptionDetails"].get("text", "exception"))
            elif method == "Runtime.consoleAPICalled" and params.get("type") in ("error", "warning", "assert"):
                found.append(json.dumps(params.get("args")))
            elif method == "Log.entryAdded" and params["entry"].get("level") in ("error", "warning"):
                found.append(params["entry"].get("text"))
        return found

    def screenshot(self, path, width, top=0, height=None):
        """The page from top down as a PNG, width CSS pixels wide; to its end without height."""
        if height is None:
            height = self.evaluate("Math.ceil(document.documentElement.scrollHeight)") - top
        data = self.browser.call("Page.captureScreenshot", {
            "format": "png", "captureBeyondViewport": True,
            "clip": {"x": 0, "y": top, "width": width, "height": height, "scale": 1}},
            self.session)["data"]
        with open(path, "wb") as file:
            file.write(base64.b64decode(data))
