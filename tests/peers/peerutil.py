"""What every test peer shares."""

import json
import os
import socket
import sys
import threading


def exit_with_stdin():
    """Ends the process when standard input closes: the test's end of the
    pipe closes when it exits, even when it crashes."""

    def watch():
        try:
            while sys.stdin.buffer.read(4096):
                pass
        finally:
            os._exit(0)

    threading.Thread(target=watch, daemon=True).start()


def logger(name):
    """A log function writing one whole line to stderr per call, so that
    connection threads never mix their lines."""
    lock = threading.Lock()

    def log(*args):
        line = " ".join([name + ":"] + [str(a) for a in args]) + "\n"
        with lock:
            sys.stderr.write(line)
            sys.stderr.flush()

    return log


class Journal:
    """One JSON object per line, numbered from 1 in the order written."""

    def __init__(self, path):
        self._fd = os.open(path, os.O_WRONLY | os.O_CREAT | os.O_APPEND, 0o644)
        self._lock = threading.Lock()
        self._seq = 0

    def write(self, **fields):
        with self._lock:
            self._seq += 1
            entry = {"seq": self._seq}
            entry.update(fields)
            # ASCII-only JSON keeps every code unit, CR and LF included, and
            # one write per line keeps lines whole for a concurrent reader.
            line = json.dumps(entry, ensure_ascii=True) + "\n"
            os.write(self._fd, line.encode("ascii"))


class RulesFile:
    """A JSON rules file read afresh at every call of current(), so a test
    can replace it between steps. check(data) returns the rules to use or
    raises ValueError; a missing or broken file keeps the previous rules."""

    def __init__(self, path, check, initial, log):
        self._path = path
        self._check = check
        self._last = initial
        self._log = log
        self._lock = threading.Lock()

    def current(self):
        with self._lock:
            if not self._path:
                return self._last
            try:
                with open(self._path, "r", encoding="utf-8") as f:
                    self._last = self._check(json.load(f))
            except FileNotFoundError:
                pass
            except (ValueError, OSError) as e:
                self._log("rules file unreadable, keeping the previous rules:", e)
            return self._last


def listen_local(backlog):
    """A TCP socket listening on 127.0.0.1 on a free port."""
    sock = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    sock.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    sock.bind(("127.0.0.1", 0))
    sock.listen(backlog)
    return sock


def serve(port, run, exit_on_stdin_eof):
    """Reports the port as the first line of stdout and serves until killed
    or, when asked, until stdin closes."""
    if exit_on_stdin_eof:
        exit_with_stdin()
    print("PORT %d" % port, flush=True)
    try:
        run()
    except KeyboardInterrupt:
        pass
