#!/usr/bin/python3
"""Measures from outside how the running window answers while Translate waits for a slow web
form: a loopback form that answers after DELAY seconds, the window started in its own working
directory, "Translate" pressed through AT-SPI, and meanwhile two kinds of round trip timed:
  atspi  reading the input box's text through the accessibility bus (answered by the window's
         own event loop)
  x11    a _NET_WM_PING sent to the window and its answer on the root window (answered by the
         toolkit in the same loop)
Prints the longest and the median of each, in milliseconds.

"Translate" is pressed through AT-SPI (do_action), or with the keyboard (focus on the button,
then a space typed through XTEST) when PRESS=keys.

usage: responsiveness_probe.py TALVERO [DELAY]   (run on a display with a D-Bus session)"""
import ctypes
import http.server
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "tests", "support"))
from atspi_window import find_frame, stop  # noqa: E402

DELAY = float(sys.argv[2]) if len(sys.argv) > 2 else 3.0


class SlowForm(http.server.BaseHTTPRequestHandler):
    def do_POST(self):
        self.rfile.read(int(self.headers.get("Content-Length", "0")))
        time.sleep(DELAY)
        body = b'<span id=result_box><span>the dog</span></span>'
        try:
            self.send_response(200)
            self.send_header("Content-Length", str(len(body)))
            self.end_headers()
            self.wfile.write(body)
        except OSError:
            pass  # the window was closed before the form answered

    def log_message(self, *args):
        pass


# --- X11: _NET_WM_PING through libX11 ---------------------------------------------------------
X = ctypes.cdll.LoadLibrary("libX11.so.6")
X.XOpenDisplay.restype = ctypes.c_void_p
X.XOpenDisplay.argtypes = [ctypes.c_char_p]
X.XInternAtom.restype = ctypes.c_ulong
X.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
X.XDefaultRootWindow.restype = ctypes.c_ulong
X.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
X.XSelectInput.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_long]
X.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long,
                         ctypes.c_void_p]
X.XFlush.argtypes = [ctypes.c_void_p]
X.XPending.argtypes = [ctypes.c_void_p]
X.XNextEvent.argtypes = [ctypes.c_void_p, ctypes.c_void_p]
X.XConnectionNumber.argtypes = [ctypes.c_void_p]


class ClientMessage(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("window", ctypes.c_ulong),
                ("message_type", ctypes.c_ulong), ("format", ctypes.c_int),
                ("data", ctypes.c_long * 5)]


class XEvent(ctypes.Union):
    _fields_ = [("type", ctypes.c_int), ("xclient", ClientMessage), ("pad", ctypes.c_long * 24)]


CLIENT_MESSAGE = 33
SUBSTRUCTURE_NOTIFY = 1 << 19


class Pinger:
    def __init__(self, window):
        self.d = X.XOpenDisplay(None)
        self.root = X.XDefaultRootWindow(self.d)
        self.window = window
        self.protocols = X.XInternAtom(self.d, b"WM_PROTOCOLS", 0)
        self.ping = X.XInternAtom(self.d, b"_NET_WM_PING", 0)
        X.XSelectInput(self.d, self.root, SUBSTRUCTURE_NOTIFY)
        self.stamp = 1

    def round_trip(self, timeout=5.0):
        self.stamp += 1
        ev = XEvent()
        ev.xclient.type = CLIENT_MESSAGE
        ev.xclient.window = self.window
        ev.xclient.message_type = self.protocols
        ev.xclient.format = 32
        ev.xclient.data[0] = self.ping
        ev.xclient.data[1] = self.stamp
        ev.xclient.data[2] = self.window
        t0 = time.monotonic()
        X.XSendEvent(self.d, self.window, 0, 0, ctypes.byref(ev))
        X.XFlush(self.d)
        while time.monotonic() - t0 < timeout:
            while X.XPending(self.d):
                got = XEvent()
                X.XNextEvent(self.d, ctypes.byref(got))
                c = got.xclient
                if got.type == CLIENT_MESSAGE and c.data[0] == self.ping and \
                        c.data[1] == self.stamp:
                    return (time.monotonic() - t0) * 1000
            time.sleep(0.0005)
        return timeout * 1000


def find_id(node, wanted, depth=0):
    if node is None or depth > 30:
        return None
    if node.get_accessible_id() == wanted:
        return node
    for i in range(node.get_child_count()):
        hit = find_id(node.get_child_at_index(i), wanted, depth + 1)
        if hit is not None:
            return hit
    return None


def main():
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), SlowForm)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    base = "http://127.0.0.1:%d" % server.server_address[1]
    work = tempfile.mkdtemp(prefix="talvero-probe-")
    try:
        for name, text in [
            ("localdictionary_es_en.txt", "perro\ndog"),
            ("personaldictionary_es_en.txt", "gato\ncat"),
            ("TalveroConfig.txt", "USE GOOGLE\nYES\nUSE LOCAL DICTIONARY\nYES\n"
             "CHECK FOR UPDATES AT STARTUP\nNO\n"),
            ("TalveroServices.txt", "GOOGLE FORM ADDRESS\n%s\nUPDATE SITE ADDRESS\n%s\n"
             "UPLOAD SERVER ADDRESS\n%s\n" % (base, base, base)),
        ]:
            with open(os.path.join(work, name), "w") as f:
                f.write(text)
        env = dict(os.environ, HOME=work)
        env.pop("NO_AT_BRIDGE", None)
        proc = subprocess.Popen([sys.argv[1]], cwd=work, env=env)
        try:
            frame = find_frame(proc.pid, timeout=20)
            if frame is None:
                print("window not found")
                return 1
            time.sleep(1.0)
            wid = int(subprocess.check_output(
                ["xdotool", "search", "--sync", "--onlyvisible", "--pid", str(proc.pid)],
                timeout=10).split()[0])
            pinger = Pinger(wid)
            box = find_id(frame, "1000")
            button = find_id(frame, "1032")
            box.get_editable_text_iface().set_text_contents("perro")
            idle_x = [pinger.round_trip() for _ in range(10)]
            text = box.get_text_iface()
            results = {"atspi": [], "x11": []}
            if os.environ.get("PRESS") == "keys":
                button.get_component_iface().grab_focus()
                time.sleep(0.3)
                subprocess.run(["xdotool", "key", "space"], check=True)
            else:
                button.get_action_iface().do_action(0)
            t0 = time.monotonic()
            while time.monotonic() - t0 < DELAY - 0.2:
                a = time.monotonic()
                text.get_character_count()
                results["atspi"].append((time.monotonic() - a) * 1000)
                results["x11"].append(pinger.round_trip())
                time.sleep(0.02)
            print("idle x11 ping: median %.1f ms" % statistics.median(idle_x))
            for kind, values in results.items():
                print("%s during the %.0f s form: %d round trips, longest %.1f ms, median %.1f ms"
                      % (kind, DELAY, len(values), max(values), statistics.median(values)))
            return 0
        finally:
            stop(proc)
    finally:
        server.shutdown()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
