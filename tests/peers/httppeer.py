#!/usr/bin/python3
"""An HTTP server for the tests that sends exactly what the rules say, well-formed or not.

Run: /usr/bin/python3 httppeer.py --rules FILE --journal FILE [--cert PEM --key PEM]
     [--port N] [--exit-on-stdin-eof]

Prints "PORT <n>" as its first stdout line once it listens on 127.0.0.1
(on a free port, or on --port).
Every connection carries one request: the peer reads its head, journals it
and sends the parts of the matching route, byte for byte, then closes. The
rules file (JSON, see README.md) is read again for every request, so a test
can change it between steps. The journal gets one JSON object per request,
written before the response goes out.
"""

import argparse
import os
import re
import socket
import ssl
import struct
import threading
import time

from peerutil import Journal, RulesFile, listen_local, logger, serve

MAX_HEAD = 64 * 1024
WRITE_SIZE = 64 * 1024
REPEAT_WRITE = 256 * 1024
FILE_BLOCK = 1024 * 1024
DRAIN_SECONDS = 10.0
# How long a gate may stay shut: a test that forgot to open it fails then
# instead of hanging.
GATE_SECONDS = 60.0
# A relative gate names a file beside the rules file: a test under Wine
# knows the folder only by its Windows path, which the launcher translates
# as an argument but not inside the rules.
GATE_DIR = "."

NOT_FOUND = b"HTTP/1.0 404 Not Found\r\nContent-Length: 0\r\n\r\n"

# The end of a head: an empty line, whether lines end in CR LF or a bare LF.
HEAD_END = re.compile(rb"\n\r?\n")
ABSOLUTE = re.compile(r"\A[A-Za-z][A-Za-z0-9+.-]*://[^/?#]*")

# 251 is prime, so the pattern never lines up with a power-of-two buffer
# size and a shifted or repeated block shows up in a comparison.
PATTERN_PERIOD = 251
PATTERN = bytes(i % PATTERN_PERIOD for i in range(WRITE_SIZE + PATTERN_PERIOD))


class ClientGone(Exception):
    """The client hung up or the connection broke: end quietly."""


class BadRequest(Exception):
    pass


class BadRule(Exception):
    pass


log = logger("httppeer")


def check_rules(data):
    routes = data.get("routes", {}) if isinstance(data, dict) else None
    if not isinstance(routes, dict):
        raise ValueError("rules must be an object with a \"routes\" object")
    return routes


# ---------------------------------------------------------------- requests

def parse_head(head):
    """The journal entry for a request head (bytes, up to its empty line)."""
    text = head.decode("latin-1")
    lines = text.split("\n")
    lines = [line[:-1] if line.endswith("\r") else line for line in lines]
    request_line = lines[0]
    # Blanks and tabs only: str.split() would also split at latin-1 NBSP and NEL.
    words = [w for w in re.split(r"[ \t]+", request_line) if w]
    if len(words) < 2:
        raise BadRequest("no method and target in %r" % request_line[:200])
    method, target = words[0], words[1]
    headers = []
    for line in lines[1:]:
        if not line:
            continue
        name, colon, value = line.partition(":")
        if not colon or not name:
            raise BadRequest("header line without a name: %r" % line[:200])
        headers.append([name, value.strip(" \t")])
    path = target
    m = ABSOLUTE.match(target)
    if m:
        path = target[m.end():]
        if not path.startswith("/"):
            path = "/" + path
    return {"request_line": request_line, "method": method, "target": target, "path": path,
            "headers": headers, "raw": text}


def as_count(part, key):
    value = part[key]
    if isinstance(value, bool) or not isinstance(value, (int, float)) or value != int(value):
        raise BadRule("%s must be a whole number: %r" % (key, value))
    return int(value)


# ---------------------------------------------------------------- connection

class Connection:
    def __init__(self, server, sock, address):
        self.server = server
        self.sock = sock
        self.address = "%s:%d" % address
        self.tls = False
        self.done = False

    def serve(self):
        try:
            if self.server.context is not None:
                if not self._handshake():
                    return
            head = self._read_head()
            if head is None:
                self._end()
                return
            try:
                request = parse_head(head)
            except BadRequest as e:
                log("junk request from", self.address + ":", e)
                self._end()
                return
            self.server.journal.write(**request)
            parts = self._parts(request["method"], request["path"])
            for part in parts:
                self._run(part)
                if self.done:
                    return
            self._end()
        except ClientGone:
            self._abandon()
        except BadRule as e:
            log("bad part in the rules:", e)
            self._abandon()
        except Exception as e:  # a broken rule or an odd client must not take the peer down
            log("connection from", self.address, "failed:", type(e).__name__, e)
            self._abandon()

    def _handshake(self):
        try:
            self.sock = self.server.context.wrap_socket(
                self.sock, server_side=True, do_handshake_on_connect=False)
            self.sock.do_handshake()
        except (OSError, ValueError) as e:
            log("TLS handshake with", self.address, "failed:", e)
            self._abandon()
            return False
        self.tls = True
        return True

    def _read_head(self):
        data = b""
        scanned = 0
        while True:
            # Only the new bytes (and the two before them) can complete the end.
            m = HEAD_END.search(data, max(0, scanned - 2))
            scanned = len(data)
            if m and m.end() <= MAX_HEAD:
                return data[:m.end()]
            if len(data) >= MAX_HEAD:
                log("request head from", self.address, "longer than 64 KiB, closing")
                return None
            try:
                chunk = self.sock.recv(MAX_HEAD)
            except OSError:
                chunk = b""
            if not chunk:
                if data:
                    log("connection from", self.address, "closed inside the request head")
                return None
            data += chunk

    def _parts(self, method, path):
        routes = self.server.rules.current()
        # "HEAD /x" answers only that method, so HEAD and GET can disagree.
        parts = routes.get(method + " " + path)
        if parts is None:
            parts = routes.get(path)
        if parts is None:
            parts = routes.get("*")
        if parts is None:
            return [{"hex": NOT_FOUND.hex()}]
        if not isinstance(parts, list):
            raise BadRule("the route for %r is not a list" % path)
        return parts

    # -- sending

    def _send(self, data):
        try:
            self.sock.sendall(data)
        except OSError as e:
            raise ClientGone() from e

    def _run(self, part):
        if not isinstance(part, dict):
            raise BadRule("not an object: %r" % (part,))
        if "raw" in part:
            self._send(str(part["raw"]).encode("latin-1"))
        elif "hex" in part:
            self._send(bytes.fromhex(part["hex"]))
        elif "repeat" in part or "repeat_hex" in part:
            if "repeat_hex" in part:
                text = bytes.fromhex(part["repeat_hex"])
            else:
                text = str(part["repeat"]).encode("latin-1")
            self._repeat(text, as_count(part, "count"))
        elif "pattern" in part:
            block = as_count(part, "block") if "block" in part else 0
            interval = as_count(part, "interval_ms") if "interval_ms" in part else 0
            self._pattern(as_count(part, "pattern"), block, interval)
        elif "file" in part:
            self._file(part["file"])
        elif "sleep_ms" in part:
            time.sleep(max(0, as_count(part, "sleep_ms")) / 1000.0)
        elif "wait_for" in part:
            self._wait_for(str(part["wait_for"]))
        elif part.get("stall"):
            self._stall()
        elif part.get("reset"):
            self._reset()
        elif part.get("close"):
            self._end(close_notify=part.get("close_notify", True))
        else:
            raise BadRule("unknown part %r" % (part,))

    def _repeat(self, text, count):
        if not text:
            return
        copies = max(1, REPEAT_WRITE // len(text))
        block = text * copies
        if count < 0:
            while True:
                self._send(block)
        full, rest = divmod(count, copies)
        for _ in range(full):
            self._send(block)
        if rest:
            self._send(text * rest)

    def _pattern(self, size, block, interval_ms):
        if interval_ms > 0 and block <= 0:
            block = WRITE_SIZE
        view = memoryview(PATTERN)
        sent = 0
        while sent < size:
            end = min(size, sent + block) if block > 0 else size
            while sent < end:
                n = min(end - sent, WRITE_SIZE)
                start = sent % PATTERN_PERIOD
                self._send(view[start:start + n])
                sent += n
            if interval_ms > 0 and sent < size:
                time.sleep(interval_ms / 1000.0)

    def _file(self, path):
        try:
            f = open(path, "rb")
        except OSError as e:
            raise BadRule("cannot open %r: %s" % (path, e)) from e
        with f:
            try:
                if self.tls:
                    # No sendfile through TLS: the bytes must pass the encryption.
                    while True:
                        data = f.read(FILE_BLOCK)
                        if not data:
                            break
                        self.sock.sendall(data)
                else:
                    self.sock.sendfile(f)
            except OSError as e:
                raise ClientGone() from e

    def _wait_for(self, path):
        """Holds the response until the file exists: the test opens the gate
        when it has seen what it waits for, so no guess of a pause decides."""
        deadline = time.monotonic() + GATE_SECONDS
        path = os.path.join(GATE_DIR, path)
        while not os.path.exists(path):
            if time.monotonic() >= deadline:
                raise BadRule("the gate %r was not opened within %d s" % (path, GATE_SECONDS))
            time.sleep(0.002)

    # -- endings

    def _stall(self):
        try:
            while self.sock.recv(65536):
                pass
        except OSError:
            pass
        self._abandon()

    def _reset(self):
        try:
            self.sock.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
        except OSError:
            pass
        self._abandon()

    def _end(self, close_notify=True):
        """The normal end: TLS close_notify, then a FIN, then whatever the
        client still sends is read and dropped, so unread data (a request
        body) does not turn the close into a reset."""
        sock = self.sock
        self.done = True
        try:
            if self.tls and close_notify:
                sock.settimeout(DRAIN_SECONDS)
                sock = sock.unwrap()
            sock.shutdown(socket.SHUT_WR)
            sock.settimeout(DRAIN_SECONDS)
            deadline = time.monotonic() + DRAIN_SECONDS
            while time.monotonic() < deadline and sock.recv(65536):
                pass
        except (OSError, ValueError):
            pass
        finally:
            try:
                sock.close()
            except OSError:
                pass
            self._abandon()

    def _abandon(self):
        self.done = True
        try:
            self.sock.close()
        except OSError:
            pass


# ---------------------------------------------------------------- server

class Server:
    def __init__(self, journal, rules, context, port=0):
        self.journal = journal
        self.rules = rules
        self.context = context
        if port:
            self.sock = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
            self.sock.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
            self.sock.bind(("127.0.0.1", port))
            self.sock.listen(64)
        else:
            self.sock = listen_local(64)
        self.port = self.sock.getsockname()[1]

    def run(self):
        while True:
            try:
                client, address = self.sock.accept()
            except OSError as e:
                log("accept failed:", e)
                time.sleep(0.05)
                continue
            try:
                # Small parts (a status line, then a pause) must go out as
                # they are written, not when the kernel sees fit.
                client.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
            except OSError:
                pass
            conn = Connection(self, client, address)
            threading.Thread(target=conn.serve, daemon=True).start()


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--rules", required=True)
    ap.add_argument("--journal", required=True)
    ap.add_argument("--cert")
    ap.add_argument("--key")
    ap.add_argument("--port", type=int, default=0, metavar="N")
    ap.add_argument("--exit-on-stdin-eof", action="store_true")
    args = ap.parse_args()
    global GATE_DIR
    GATE_DIR = os.path.dirname(os.path.abspath(args.rules))
    if bool(args.cert) != bool(args.key):
        ap.error("--cert and --key go together")

    context = None
    if args.cert:
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(args.cert, args.key)

    server = Server(Journal(args.journal), RulesFile(args.rules, check_rules, {}, log), context,
                    args.port)
    serve(server.port, server.run, args.exit_on_stdin_eof)


if __name__ == "__main__":
    main()
