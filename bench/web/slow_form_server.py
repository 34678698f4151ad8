#!/usr/bin/env python3
"""A loopback translation form that answers every POST after DELAY_MS: stands in for a web
engine when timing `talvero-cli translate`. Prints its port, then serves until killed.
slow_form_server.py DELAY_MS"""
import http.server
import sys
import time

DELAY = int(sys.argv[1]) / 1000.0


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def do_POST(self):
        self.rfile.read(int(self.headers.get("Content-Length", "0")))
        time.sleep(DELAY)
        body = b'<html><body><div id=result_box dir="ltr">house</div></body></html>'
        self.send_response(200)
        self.send_header("Content-Type", "text/html")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def log_message(self, *args):
        pass


server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
print(server.server_address[1], flush=True)
server.serve_forever()
