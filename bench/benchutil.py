"""What the benchmarks share: starting a test peer and reading peak memory."""
import os
import subprocess
import sys

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
