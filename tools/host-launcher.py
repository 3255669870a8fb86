#!/usr/bin/python3
"""Runs host programs for test programs that run under Wine.

A Windows process under Wine cannot start a Linux program with piped
standard streams, yet the tests start the peers, openssl and
tools/sign-update. This launcher listens on 127.0.0.1, prints
"PORT <n> <token>" as its first line and serves one program per connection:

  client -> launcher  one JSON line: {"token", "program", "arguments",
                      "cwd", "merge"}; then frames: b"I" data (standard
                      input), b"C" (close standard input), b"K" (kill)
  launcher -> client  frames: b"S" (started) or b"F" message (did not
                      start), b"O" data (standard output, and standard
                      error when merged), b"E" data (standard error),
                      b"X" exit code as text (negative: killed by a signal)

A frame is its type byte, a 4-byte big-endian length and the data. Program,
arguments and folder that are Windows paths (C:\\..., Z:/...) are translated
to host paths with winepath; the rest passes as it is. Closing the
connection kills the program, so nothing outlives its test. The launcher
ends when its standard input closes (--exit-on-stdin-eof), like the peers.
"""

import json
import os
import re
import secrets
import socket
import struct
import subprocess
import sys
import threading

# The test peers' way to end with the run that started them.
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "peers"))
from peerutil import exit_with_stdin  # noqa: E402

WINDOWS_PATH = re.compile(r"^[A-Za-z]:[\\/]")


def send_frame(conn, lock, kind, data=b""):
    with lock:
        conn.sendall(kind + struct.pack(">I", len(data)) + data)


def host_paths(values):
    """Windows paths among values translated with one winepath call."""
    wanted = [v for v in values if WINDOWS_PATH.match(v)]
    if not wanted:
        return list(values)
    out = subprocess.run(["winepath", "-u", *wanted], stdout=subprocess.PIPE,
                         stderr=subprocess.DEVNULL, check=True, timeout=60)
    lines = out.stdout.decode("utf-8").split("\n")
    if len(lines) < len(wanted):
        raise OSError("winepath translated %d of %d paths" % (len(lines), len(wanted)))
    mapped = dict(zip(wanted, lines))
    return [mapped.get(v, v) for v in values]


def serve(conn, token):
    lock = threading.Lock()
    reader = conn.makefile("rb")
    line = reader.readline(1 << 20)
    try:
        request = json.loads(line)
        if not secrets.compare_digest(str(request.get("token", "")), token):
            raise ValueError("wrong token")
        args = [str(request["program"])] + [str(a) for a in request.get("arguments", [])]
        cwd = request.get("cwd") or None
        translated = host_paths(args + ([cwd] if cwd else []))
        args, cwd = translated[: len(args)], (translated[-1] if cwd else None)
        if cwd and not os.path.isdir(cwd):
            cwd = None
        merge = bool(request.get("merge"))
        child = subprocess.Popen(args, cwd=cwd, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                 stderr=subprocess.STDOUT if merge else subprocess.PIPE)
    except Exception as e:  # anything wrong with the request or the start
        try:
            send_frame(conn, lock, b"F", str(e).encode("utf-8", "replace"))
        finally:
            conn.close()
        return
    send_frame(conn, lock, b"S")

    def pump(stream, kind):
        try:
            while True:
                data = stream.read1(65536)
                if not data:
                    break
                send_frame(conn, lock, kind, data)
        except OSError:
            child.kill()

    pumps = [threading.Thread(target=pump, args=(child.stdout, b"O"), daemon=True)]
    if not merge:
        pumps.append(threading.Thread(target=pump, args=(child.stderr, b"E"), daemon=True))
    for t in pumps:
        t.start()

    def feed():
        try:
            while True:
                head = reader.read(5)
                if not head or len(head) < 5:
                    break  # the client is gone
                kind, length = head[:1], struct.unpack(">I", head[1:])[0]
                data = reader.read(length) if length else b""
                if kind == b"I":
                    child.stdin.write(data)
                    child.stdin.flush()
                elif kind == b"C":
                    child.stdin.close()
                elif kind == b"K":
                    child.kill()
        except (OSError, ValueError):
            pass
        # A client that goes away takes its program with it.
        if child.poll() is None:
            child.kill()

    threading.Thread(target=feed, daemon=True).start()
    code = child.wait()
    for t in pumps:
        t.join()
    try:
        send_frame(conn, lock, b"X", str(code).encode())
    except OSError:
        pass
    finally:
        try:
            conn.shutdown(socket.SHUT_RDWR)
        except OSError:
            pass
        conn.close()


def main():
    server = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    server.bind(("127.0.0.1", 0))
    server.listen(64)
    token = secrets.token_hex(16)
    print("PORT %d %s" % (server.getsockname()[1], token), flush=True)
    if "--exit-on-stdin-eof" in sys.argv[1:]:
        exit_with_stdin()
    while True:
        conn, _ = server.accept()
        threading.Thread(target=serve, args=(conn, token), daemon=True).start()


if __name__ == "__main__":
    main()
