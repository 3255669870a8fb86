"""What the benchmarks share: tools, timed runs, digests, test peers and peak memory."""
import hashlib
import os
import shutil
import subprocess
import sys
import time

PEERS = os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "tests", "peers")


def start_peer(script, *args):
    """Starts tests/peers/<script> on 127.0.0.1; the peer and its port.

    The peer ends by itself when the benchmark's end of its stdin closes.
    """
    peer = subprocess.Popen(["/usr/bin/python3", os.path.join(PEERS, script), *args,
                             "--exit-on-stdin-eof"],
                            stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
    line = peer.stdout.readline().strip()
    if not line.startswith("PORT "):
        sys.exit(f"{script} did not start: {line!r}")
    return peer, int(line.split()[1])


def peak_kib(pid):
    """The process's peak resident memory so far, in KiB."""
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith("VmHWM:"):
                return int(line.split()[1])
    return 0


def need(tool, package):
    if shutil.which(tool) is None:
        sys.exit(f"{tool} is missing: apt-get install -y {package}")


def run(command):
    """Elapsed seconds, peak resident memory in MiB and stdout of one run."""
    start = time.perf_counter()
    proc = subprocess.Popen(command, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    _, status, usage = os.wait4(proc.pid, 0)
    elapsed = time.perf_counter() - start
    out, err = proc.stdout.read().decode(), proc.stderr.read().decode()
    proc.returncode = os.waitstatus_to_exitcode(status)
    if proc.returncode != 0:
        sys.exit(f"{command[0]} failed ({proc.returncode}): {err.strip()}")
    return elapsed, usage.ru_maxrss / 1024.0, out


def digest(path):
    """SHA-256 of a file, read in blocks."""
    h = hashlib.sha256()
    with open(path, "rb") as f:
        for block in iter(lambda: f.read(1 << 20), b""):
            h.update(block)
    return h.hexdigest()


def write_file(path, size):
    """size random bytes, written 1 MiB at a time."""
    block = os.urandom(1 << 20)
    with open(path, "wb") as f:
        for _ in range(size // len(block)):
            f.write(block)
        f.write(block[: size % len(block)])
