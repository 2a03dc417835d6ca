#!/usr/bin/env python3
"""A package server on 127.0.0.1 for tests and local runs.

    package-server.py FOLDER [--port N]

Serves the files of FOLDER over HTTP (packages live under blocos/ there) and
prints the port it listens on as the first line of its output; with port 0,
the default, the system picks a free one. Stop it with SIGTERM.

Addresses under /fault/<kind>/ serve the same files but misbehave, so that
tests can meet a broken server:
  drop      announces the full length, sends half the body, resets the connection
  short     announces the full length, sends half the body, closes normally
  stall     announces the full length, then sends nothing
  error     answers 500 with an error page
  redirect  redirects to the same file without the /fault/redirect prefix
  loop      redirects to itself, forever
  nolength  sends the body without announcing its length
  slow      sends the body in small pieces with pauses between them
  endless   answers 200 without a length and sends bytes until the client hangs up
  drip      announces the full length, then sends one byte per second
"""
import argparse
import functools
import http.server
import os
import signal
import socket
import struct
import sys
import time

SLOW_PIECE = 16 * 1024
SLOW_PAUSE = 0.02
STALL_TIME = 60
ENDLESS_PIECE = 64 * 1024
DRIP_PAUSE = 1.0


class Handler(http.server.SimpleHTTPRequestHandler):
    def log_message(self, *args):
        pass

    def do_GET(self):
        parts = self.path.split("/", 3)
        if len(parts) == 4 and parts[1] == "fault":
            return self.misbehave(parts[2], "/" + parts[3])
        return super().do_GET()

    def misbehave(self, kind, rest):
        if kind == "redirect":
            return self.answer(302, {"Location": rest})
        if kind == "loop":
            return self.answer(302, {"Location": self.path})
        if kind == "endless":
            self.send_response(200)
            self.send_header("Content-Type", "application/zip")
            self.end_headers()
            piece = b"\0" * ENDLESS_PIECE
            try:
                while True:
                    self.wfile.write(piece)
            except OSError:
                self.close_connection = True
            return
        if kind == "error":
            page = b"<html><body>500 Internal Server Error</body></html>"
            return self.answer(500, {"Content-Type": "text/html"}, page)
        path = self.translate_path(rest)
        if not os.path.isfile(path):
            return self.send_error(404)
        with open(path, "rb") as f:
            body = f.read()
        headers = {"Content-Type": "application/zip"}
        if kind != "nolength":
            headers["Content-Length"] = str(len(body))
        self.send_response(200)
        for name, value in headers.items():
            self.send_header(name, value)
        self.end_headers()
        if kind == "stall":
            self.wfile.flush()
            time.sleep(STALL_TIME)
            self.close_connection = True
        elif kind in ("drop", "short"):
            self.wfile.write(body[: len(body) // 2])
            self.wfile.flush()
            if kind == "drop":
                self.connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER,
                                           struct.pack("ii", 1, 0))
            self.close_connection = True
        elif kind == "drip":
            try:
                for at in range(len(body)):
                    self.wfile.write(body[at:at + 1])
                    self.wfile.flush()
                    time.sleep(DRIP_PAUSE)
            except OSError:
                self.close_connection = True
        elif kind == "slow":
            for at in range(0, len(body), SLOW_PIECE):
                self.wfile.write(body[at:at + SLOW_PIECE])
                self.wfile.flush()
                time.sleep(SLOW_PAUSE)
        else:
            self.wfile.write(body)

    def answer(self, status, headers, body=b""):
        self.send_response(status)
        for name, value in headers.items():
            self.send_header(name, value)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)


class Server(http.server.ThreadingHTTPServer):
    daemon_threads = True

    def handle_error(self, request, client_address):
        pass  # a client that hangs up early is no news here


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("folder")
    parser.add_argument("--port", type=int, default=0)
    options = parser.parse_args()
    handler = functools.partial(Handler, directory=options.folder)
    server = Server(("127.0.0.1", options.port), handler)
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(0))
    print(server.server_address[1], flush=True)
    server.serve_forever()


if __name__ == "__main__":
    main()
