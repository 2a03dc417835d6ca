#!/usr/bin/env python3
"""A package server on 127.0.0.1 for tests and local runs.

    package-server.py FOLDER [--port N] [--port-file F] [--while-exists L]

Serves the files of FOLDER over HTTP (packages live under blocos/ there) and
prints the port it listens on as the first line of its output; with port 0,
the default, the system picks a free one. Stop it with SIGTERM.

--port-file writes the port into F as well (whole, once it is listening), and
--while-exists stops the server once the file L is gone: for a Windows
program under Wine, which can neither read a Linux program's output nor end it.

Files carry an ETag and a Last-Modified date, and a request "Range: bytes=N-"
(or N-M) gets 206 with that part, unless an If-Range names another version of
the file, which gets the whole file; a range beyond the end gets 416.

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
  endlesszip  the same for packages (*.zip) alone; other files as they are
  drip      announces the full length, then sends one byte per second
  norange   ignores Range and If-Range: always the whole file
  noetag    sends neither ETag nor Last-Modified
  dropafter-N  sends N bytes of the body (whole or the range asked for),
            then resets the connection
  partial-F-L  answers 206 with bytes F to L of the file and their
            Content-Range, whatever the request asked for
Kinds of file serving join with "+": /fault/noetag+dropafter-1000/...
"""
import argparse
import email.utils
import functools
import http.server
import os
import signal
import socket
import struct
import sys
import threading
import time

SLOW_PIECE = 16 * 1024
SLOW_PAUSE = 0.02
STALL_TIME = 60
DROP_PAUSE = 0.1
ENDLESS_PIECE = 64 * 1024
DRIP_PAUSE = 1.0


class Handler(http.server.SimpleHTTPRequestHandler):
    def log_message(self, *args):
        pass

    def do_GET(self):
        parts = self.path.split("/", 3)
        if len(parts) == 4 and parts[1] == "fault":
            return self.misbehave(parts[2], "/" + parts[3])
        if os.path.isfile(self.translate_path(self.path)):
            return self.serve_file(self.path, "")
        return super().do_GET()

    def misbehave(self, kind, rest):
        if kind == "redirect":
            return self.answer(302, {"Location": rest})
        if kind == "loop":
            return self.answer(302, {"Location": self.path})
        if kind == "endless" or (kind == "endlesszip" and rest.endswith(".zip")):
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
        if kind == "endlesszip":
            return self.serve_file(rest, "")
        if kind == "error":
            page = b"<html><body>500 Internal Server Error</body></html>"
            return self.answer(500, {"Content-Type": "text/html"}, page)
        return self.serve_file(rest, kind)

    def part_asked(self, size, validators):
        """(first, last) of the range to send, None for the whole file, or
        "unsatisfiable"."""
        asked = self.headers.get("Range", "")
        if not asked.startswith("bytes=") or "," in asked:
            return None
        condition = self.headers.get("If-Range")
        if condition is not None and condition not in validators:
            return None
        first, _, last = asked[len("bytes="):].partition("-")
        if not first.isdigit() or (last and not last.isdigit()):
            return None
        first = int(first)
        last = min(int(last), size - 1) if last else size - 1
        if first >= size or last < first:
            return "unsatisfiable"
        return first, last

    def serve_file(self, rest, kind):
        kinds = kind.split("+")
        drop_after = [k for k in kinds if k.startswith("dropafter-")]
        forced = [k for k in kinds if k.startswith("partial-")]
        path = self.translate_path(rest)
        if not os.path.isfile(path):
            return self.send_error(404)
        with open(path, "rb") as f:
            body = f.read()
        stat = os.stat(path)
        etag = '"%x-%x"' % (stat.st_size, stat.st_mtime_ns)
        modified = email.utils.formatdate(stat.st_mtime, usegmt=True)
        headers = {"Content-Type": "application/zip"}
        if "noetag" not in kinds:
            headers.update({"ETag": etag, "Last-Modified": modified, "Accept-Ranges": "bytes"})
        status = 200
        part = None
        if forced:
            part = tuple(int(n) for n in forced[0].split("-")[1:3])
        elif "norange" not in kinds:
            part = self.part_asked(len(body), (etag, modified))
            if part == "unsatisfiable":
                return self.answer(416, {"Content-Range": "bytes */%d" % len(body)})
        if part:
            status = 206
            headers["Content-Range"] = "bytes %d-%d/%d" % (part[0], part[1], len(body))
            body = body[part[0]:part[1] + 1]
        if "nolength" not in kinds:
            headers["Content-Length"] = str(len(body))
        self.send_response(status)
        for name, value in headers.items():
            self.send_header(name, value)
        self.end_headers()
        if "stall" in kinds:
            self.wfile.flush()
            time.sleep(STALL_TIME)
            self.close_connection = True
        elif "drop" in kinds or "short" in kinds or drop_after:
            sent = int(drop_after[0].split("-")[1]) if drop_after else len(body) // 2
            self.wfile.write(body[:sent])
            self.wfile.flush()
            if drop_after:
                time.sleep(DROP_PAUSE)  # the bytes sent arrive before the reset
            if "short" not in kinds:
                self.connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER,
                                           struct.pack("ii", 1, 0))
            self.close_connection = True
        elif "drip" in kinds:
            try:
                for at in range(len(body)):
                    self.wfile.write(body[at:at + 1])
                    self.wfile.flush()
                    time.sleep(DRIP_PAUSE)
            except OSError:
                self.close_connection = True
        elif "slow" in kinds:
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
    parser.add_argument("--port-file")
    parser.add_argument("--while-exists")
    options = parser.parse_args()
    handler = functools.partial(Handler, directory=options.folder)
    server = Server(("127.0.0.1", options.port), handler)
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(0))
    port = server.server_address[1]
    print(port, flush=True)
    if options.port_file:
        written = options.port_file + ".escrevendo"
        with open(written, "w") as out:
            out.write(f"{port}\n")
        os.replace(written, options.port_file)
    if options.while_exists:
        def watch():
            while os.path.exists(options.while_exists):
                time.sleep(0.2)
            os._exit(0)
        threading.Thread(target=watch, daemon=True).start()
    server.serve_forever()


if __name__ == "__main__":
    main()
