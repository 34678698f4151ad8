#!/usr/bin/env python3
"""Can a client stall talvero-gateway through logins, a slow Apertium or a hung database?

A probe asks GET /autoupdate.html every 50 ms on a new connection from 127.0.0.1, first with no
load, then under each load in turn:
  logins    64 clients sending wrong passwords under random names from 1,000 addresses
            (127.50.x.y), as fast as they are answered;
  slow      40 clients from one address posting unique texts to a stand-in for Apertium that
            answers after 5 s;
  locked    the uploads table locked in PostgreSQL (LOCK TABLE in an open transaction) while 24
            clients upload at once, again and again.
Target: the probe's median and worst answer within 200 ms under every load.

Usage: stall.py GATEWAY_BINARY [SECONDS_PER_ROUND]
PostgreSQL runs in a temporary folder for the run (its server programs must be installed).
"""
import glob
import http.server
import json
import multiprocessing
import os
import random
import shutil
import socket
import statistics
import subprocess
import sys
import tempfile
import threading
import time
import urllib.parse

TARGET_MS = 200.0
PROBE_EVERY = 0.05


def request(port, text, source="127.0.0.1", timeout=30.0):
    """One request on a new connection: the status, or 0 when it failed."""
    s = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    try:
        s.bind((source, 0))
        s.settimeout(timeout)
        s.connect(("127.0.0.1", port))
        s.sendall(text.encode())
        reply = b""
        while True:
            chunk = s.recv(65536)
            if not chunk:
                break
            reply += chunk
        return int(reply[9:12]) if reply.startswith(b"HTTP/1.") else 0
    except OSError:
        return 0
    finally:
        s.close()


def get(path):
    return "GET %s HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n" % path


def probe(port, seconds, out):
    """In a process of its own, so that the load's threads cannot hold it up."""
    times, failed = [], 0
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        start = time.monotonic()
        ok = request(port, get("/autoupdate.html"), timeout=10) == 200
        elapsed = (time.monotonic() - start) * 1000
        if ok:
            times.append(elapsed)
        else:
            failed += 1
        time.sleep(max(0.0, PROBE_EVERY - elapsed / 1000))
    out.put((times, failed))


def measure(port, seconds):
    queue = multiprocessing.Queue()
    p = multiprocessing.Process(target=probe, args=(port, seconds, queue))
    p.start()
    result = queue.get()
    p.join()
    return result


def report(name, result, counts=""):
    times, failed = result
    if not times:
        print("%-8s no probe answered (%d failed)" % (name, failed))
        return False
    median, worst = statistics.median(times), max(times)
    ok = failed == 0 and median <= TARGET_MS and worst <= TARGET_MS
    print("%-8s probes %4d  median %7.1f ms  worst %7.1f ms  failed %d  %s%s" %
          (name, len(times), median, worst, failed, "ok" if ok else "MISSED",
           ("  (" + counts + ")") if counts else ""))
    return ok


class Load:
    """Threads that run `one` again and again until stopped, counting the statuses."""

    def __init__(self, threads, one):
        self.stop = threading.Event()
        self.statuses = {}
        self.lock = threading.Lock()
        self.threads = [threading.Thread(target=self.run, args=(one, i)) for i in range(threads)]
        for t in self.threads:
            t.start()

    def run(self, one, i):
        n = 0
        while not self.stop.is_set():
            status = one(i, n)
            n += 1
            with self.lock:
                self.statuses[status] = self.statuses.get(status, 0) + 1

    def end(self):
        self.stop.set()
        for t in self.threads:
            t.join()
        return ", ".join("%s: %d" % (k, v) for k, v in sorted(self.statuses.items()))


def slow_apertium(delay):
    class Handler(http.server.BaseHTTPRequestHandler):
        protocol_version = "HTTP/1.1"  # kept open, as APy does

        def do_POST(self):
            length = int(self.headers.get("Content-Length", 0))
            form = urllib.parse.parse_qs(self.rfile.read(length).decode())
            time.sleep(delay)
            body = json.dumps({"responseData": {"translatedText": form.get("q", [""])[0]},
                               "responseStatus": 200}).encode()
            self.send_response(200)
            self.send_header("Content-Type", "application/json")
            self.send_header("Content-Length", str(len(body)))
            self.end_headers()
            self.wfile.write(body)

        def log_message(self, *args):
            pass

    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    server.daemon_threads = True
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server


class Postgres:
    def __init__(self, work):
        found = sorted(glob.glob("/usr/lib/postgresql/*/bin/initdb"))
        if not found:
            sys.exit("bench: no PostgreSQL server programs installed")
        self.bin = os.path.dirname(found[-1])
        self.dir = os.path.join(work, "pg")
        os.mkdir(self.dir)
        self.as_user = []
        if os.getuid() == 0:
            shutil.chown(self.dir, "postgres", "postgres")
            self.as_user = ["runuser", "-u", "postgres", "--"]
        log = open(os.path.join(work, "pg-setup.log"), "w")
        subprocess.run(self.as_user + [self.bin + "/initdb", "-D", self.dir + "/data", "-U",
                                       "talvero", "-A", "trust", "--no-sync"],
                       stdout=log, stderr=log, check=True)
        subprocess.run(self.as_user + [self.bin + "/pg_ctl", "-D", self.dir + "/data", "-l",
                                       self.dir + "/server.log", "-w", "-o",
                                       "-c listen_addresses='' -k " + self.dir, "start"],
                       stdout=log, stderr=log, check=True)
        self.url = "postgresql://talvero@/postgres?host=" + self.dir

    def lock_uploads(self):
        """A session holding the table locked until it is ended."""
        p = subprocess.Popen(self.as_user + [self.bin + "/psql", "-h", self.dir, "-U", "talvero",
                                             "-d", "postgres", "-q"],
                             stdin=subprocess.PIPE, stdout=subprocess.DEVNULL,
                             stderr=subprocess.DEVNULL, text=True)
        p.stdin.write("BEGIN;\nLOCK TABLE uploads IN ACCESS EXCLUSIVE MODE;\n")
        p.stdin.flush()
        return p

    def stop(self):
        subprocess.run(self.as_user + [self.bin + "/pg_ctl", "-D", self.dir + "/data", "-m",
                                       "immediate", "stop"],
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    binary = sys.argv[1]
    seconds = float(sys.argv[2]) if len(sys.argv) > 2 else 10.0
    work = tempfile.mkdtemp(prefix="talvero-stall-")
    if os.getuid() == 0:
        os.chmod(work, 0o755)
    pg = Postgres(work)
    apertium = slow_apertium(5.0)
    users = os.path.join(work, "users.txt")
    subprocess.run([binary, "passwd", "ana", "--users", users], input="pw\n", text=True,
                   check=True, stderr=subprocess.DEVNULL)
    port_file = os.path.join(work, "port")
    log = open(os.path.join(work, "gateway.log"), "w")
    gateway = subprocess.Popen(
        [binary, "--port", "0", "--port-file", port_file, "--apertium",
         "http://127.0.0.1:%d" % apertium.server_address[1], "--database", pg.url, "--users",
         users, "--apertium-deadline", "30"], stdout=log, stderr=log)
    port = 0
    for _ in range(1000):
        if os.path.exists(port_file) and open(port_file).read().strip():
            port = int(open(port_file).read())
            break
        time.sleep(0.01)
    if not port:
        sys.exit("bench: the gateway did not start (see %s)" % log.name)
    upload = ("/upload_es.php?texttotranslate=%s&translation=t&from=es&to=en&user_name_data=%s"
              "&password_data=%s")
    all_ok = True
    try:
        print("probe: GET /autoupdate.html every %d ms for %.0f s per round; target: median and "
              "worst within %.0f ms" % (PROBE_EVERY * 1000, seconds, TARGET_MS))
        all_ok &= report("no load", measure(port, seconds))

        def wrong_login(i, n):
            source = "127.50.%d.%d" % (random.randrange(4), random.randrange(250) + 1)
            name = "%08x" % random.getrandbits(32)
            return request(port, get(upload % ("a", name, "guess")), source=source)

        load = Load(64, wrong_login)
        result = measure(port, seconds)
        all_ok &= report("logins", result, load.end())

        def slow_text(i, n):
            body = "text=%s&langpair=es%%7Cen" % urllib.parse.quote("t%d-%d-%f" % (i, n, time.time()))
            return request(port, "POST /translate_t HTTP/1.1\r\nHost: x\r\nConnection: close\r\n"
                           "Content-Type: application/x-www-form-urlencoded\r\n"
                           "Content-Length: %d\r\n\r\n%s" % (len(body), body), source="127.0.0.3",
                           timeout=60)

        load = Load(40, slow_text)
        time.sleep(0.5)
        result = measure(port, seconds)
        all_ok &= report("slow", result, load.end())

        # The table exists once the gateway has made it; one upload first, then the lock.
        request(port, get(upload % ("first", "ana", "pw")))
        locker = pg.lock_uploads()
        time.sleep(0.5)

        def locked_upload(i, n):
            return request(port, get(upload % ("u%d-%d" % (i, n), "ana", "pw")),
                           source="127.0.0.4", timeout=60)

        load = Load(24, locked_upload)
        time.sleep(0.5)
        result = measure(port, seconds)
        locker.stdin.write("ROLLBACK;\n")
        locker.stdin.close()
        locker.wait()
        all_ok &= report("locked", result, load.end())
    finally:
        gateway.terminate()
        gateway.wait()
        apertium.shutdown()
        pg.stop()
        shutil.rmtree(work, ignore_errors=True)
    print("stall: %s" % ("every round within the target" if all_ok else "a round MISSED the target"))
    return 0 if all_ok else 1


if __name__ == "__main__":
    sys.exit(main())
