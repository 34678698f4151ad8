#!/usr/bin/env python3
"""talvero-gateway under hostile clients: while 16 clients each send one byte every 8 seconds and
1,500 idle connections stay open, how long does a normal request ("/autoupdate.html") take?
Target: every normal request answered within 200 ms. Also: replies to requests whose client
half-closes after sending (40 tries), and how a single address is capped.

Usage: hostile.py GATEWAY_BINARY [SECONDS]
The hostile clients come from 127.0.0.2 and up, the normal requests from 127.0.0.1. Two rounds:
"one address" (every hostile connection from 127.0.0.2) and "spread" (60 addresses, about 25
connections each), so that the per-address cap does not simply refuse them all.
"""
import os
import resource
import socket
import statistics
import subprocess
import sys
import tempfile
import threading
import time

SLOW_CLIENTS = 16
SLOW_INTERVAL = 8.0
IDLE_CONNECTIONS = 1500
TARGET_MS = 200.0


def raise_fd_limit():
    soft, hard = resource.getrlimit(resource.RLIMIT_NOFILE)
    want = min(hard, 8192) if hard != resource.RLIM_INFINITY else 8192
    if soft < want:
        resource.setrlimit(resource.RLIMIT_NOFILE, (want, hard))


def start_gateway(binary, work):
    port_file = os.path.join(work, "port")
    log = open(os.path.join(work, "gateway.log"), "w")
    proc = subprocess.Popen(
        [binary, "--port", "0", "--port-file", port_file, "--apertium", "http://127.0.0.1:1",
         "--database", os.path.join(work, "uploads.sqlite"),
         "--users", os.path.join(work, "users.txt")],
        stdout=log, stderr=log)
    for _ in range(500):
        if os.path.exists(port_file):
            with open(port_file) as f:
                text = f.read().strip()
            if text:
                return proc, int(text)
        time.sleep(0.01)
    proc.kill()
    sys.exit("bench: the gateway did not start (see %s)" % log.name)


def connect_from(source, port, blocking=True):
    s = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    s.bind((source, 0))
    if blocking:
        s.settimeout(5)
        s.connect(("127.0.0.1", port))
    else:
        s.setblocking(False)
        try:
            s.connect(("127.0.0.1", port))
        except BlockingIOError:
            pass
    return s


def normal_request(port, timeout=30.0):
    """Milliseconds until the whole reply of a GET /autoupdate.html came, or None."""
    start = time.monotonic()
    try:
        s = connect_from("127.0.0.1", port)
        s.settimeout(timeout)
        s.sendall(b"GET /autoupdate.html HTTP/1.1\r\nHost: bench\r\nConnection: close\r\n\r\n")
        data = b""
        while True:
            chunk = s.recv(65536)
            if not chunk:
                break
            data += chunk
        s.close()
    except OSError:
        return None
    if b"Current Version Update" not in data:
        return None
    return (time.monotonic() - start) * 1000.0


def slow_client(source, port, stop):
    request = b"GET /autoupdate.html HTTP/1.1\r\nHost: slow\r\nX-Padding: " + b"a" * 200
    try:
        s = connect_from(source, port)
    except OSError:
        return
    for byte in request:
        if stop.wait(SLOW_INTERVAL):
            break
        try:
            s.send(bytes([byte]))
        except OSError:
            break
    s.close()


def half_closed_replies(port, tries=40):
    """Requests whose client shuts its side after sending: how many got their reply."""
    answered = 0
    for _ in range(tries):
        data = b""
        try:
            s = connect_from("127.0.0.1", port)
            s.settimeout(5)
            s.sendall(b"GET /autoupdate.html HTTP/1.1\r\nHost: half\r\n\r\n")
            s.shutdown(socket.SHUT_WR)
            while b"</html>" not in data:
                chunk = s.recv(65536)
                if not chunk:
                    break
                data += chunk
            s.close()
        except OSError as e:
            print("  half-closed request: %s after %r" % (e, data[:40]), file=sys.stderr)
        answered += b"Current Version Update" in data
    return answered, tries


def still_open(sockets):
    """How many of the idle connections the server has not closed."""
    alive = 0
    for s in sockets:
        try:
            if s.recv(1, socket.MSG_PEEK | socket.MSG_DONTWAIT) == b"":
                continue
            alive += 1
        except BlockingIOError:
            alive += 1
        except OSError:
            pass
    return alive


def round_(binary, seconds, addresses):
    work = tempfile.mkdtemp(prefix="talvero-hostile-")
    proc, port = start_gateway(binary, work)
    stop = threading.Event()
    sources = ["127.0.%d.%d" % (1 + i // 200, 2 + i % 200) for i in range(addresses)]
    slow = [threading.Thread(target=slow_client, args=(sources[i % len(sources)], port, stop))
            for i in range(SLOW_CLIENTS)]
    for t in slow:
        t.start()
    idle = []
    for i in range(IDLE_CONNECTIONS):
        try:
            idle.append(connect_from(sources[i % len(sources)], port, blocking=False))
        except OSError:
            pass
    time.sleep(1.0)
    held = still_open(idle)
    times = []
    failures = 0
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        ms = normal_request(port)
        if ms is None:
            failures += 1
        else:
            times.append(ms)
        time.sleep(0.5)
    half = half_closed_replies(port)
    open_at_end = still_open(idle)
    stop.set()
    for s in idle:
        s.close()
    for t in slow:
        t.join()
    alive = proc.poll() is None
    proc.terminate()
    proc.wait()
    label = "one address" if addresses == 1 else "spread over %d addresses" % addresses
    print("hostile clients %s: %d normal requests, %d failed; median %.1f ms, worst %.1f ms "
          "(target %.0f ms) %s" % (
              label, len(times) + failures, failures,
              statistics.median(times) if times else float("nan"),
              max(times) if times else float("nan"), TARGET_MS,
              "OK" if times and not failures and max(times) <= TARGET_MS else "MISSED"))
    print("  idle connections held open by the server after 1 s: %d of %d, at the end: %d; "
          "half-closed requests answered: %d of %d; gateway %s" % (
              held, len(idle), open_at_end, half[0], half[1], "alive" if alive else "DIED"))


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    binary = sys.argv[1]
    seconds = float(sys.argv[2]) if len(sys.argv) > 2 else 30.0
    raise_fd_limit()
    round_(binary, seconds, 1)
    round_(binary, seconds, 60)


if __name__ == "__main__":
    main()
