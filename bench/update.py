#!/usr/bin/python3
"""Download and digest figures of the software update next to curl and the digest tools.

Usage: bench/update.py [build-dir] [repeats]

Download: starts tests/peers/httppeer.py on 127.0.0.1 serving a 500 MB
installer and fetches it alternately with `curl -s -o` and with the update's
download procedure, its window shown (build/bin/korvex_bench_update
download), repeats times each (default 3). The procedure is timed over the
whole Download call (HEAD, window, GET, hand-off to the updater); its copy
must be byte-equal to the served file. Prints the median throughput of
both and their ratio and the driver's peak resident memory. A 500 MB
download ends before the window's 1000 ms Timer1 ticks, so one more run
fetches 6 GB (a sparse file at full speed; HEAD announces 2 GB, the most an
installer may announce) for the worst lateness of Timer1's ticks during a
transfer.

Digests: MD5, SHA-1 and CRC-32 of the same file, page-cached, by the
program's Controlegetal (korvex_bench_update digest) and by md5sum,
sha1sum, openssl dgst and zlib's crc32 (build/bin/korvex_bench_crc32);
every command once to warm up, then the median of repeats. The tools are
timed as whole processes, the program by the driver around Controlegetal
(its process time, Qt's loading included, is shown beside it). The
digests must agree.

Signature: tools/sign-update makes a key pair in a temporary folder and
signs the same file; the driver's verify (SHA-512 in blocks plus the
Ed25519 check, as the download does it) is timed next to its SHA-1 digest
and `openssl dgst -sha512`, with both drivers' peak memory. The signature
must hold for the signed version and fail for another.

Exits non-zero when a goal is missed.
"""
import json
import os
import statistics
import subprocess
import sys
import tempfile
import threading

from benchutil import digest, need, peak_kib, run, start_peer, write_file

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BUILD = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "build"))
RUNS = int(sys.argv[2]) if len(sys.argv) > 2 else 3
DRIVER = os.path.join(BUILD, "bin", "korvex_bench_update")
CRC = os.path.join(BUILD, "bin", "korvex_bench_crc32")
SIZE = 500 * 1000 * 1000
BIG = 6 * 1000 * 1000 * 1000
ANNOUNCED = 2 * 1000 * 1000 * 1000
NAME = "KorvexSetup.exe"
TIMEOUT = 900


def download(folder, url, work):
    """The driver's figures and its peak resident memory in KiB, read while it waits."""
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
    with open(os.path.join(work, "driver.err"), "w+") as err:
        proc = subprocess.Popen([DRIVER, "download", folder, url], env=env, text=True,
                                stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=err)
        guard = threading.Timer(TIMEOUT, proc.kill)
        guard.start()
        line = proc.stdout.readline()
        peak = peak_kib(proc.pid) if line else 0
        proc.stdin.close()
        proc.wait()
        guard.cancel()
        err.seek(0)
        if proc.returncode != 0 or not line:
            sys.exit(f"the download failed ({proc.returncode}): {err.read().strip()[-2000:]}")
    return json.loads(line), peak


def hex_of(out):
    """The digest in a tool's output: md5sum "hex  file", openssl "MD5(file)= hex", or bare."""
    first = out.strip().splitlines()[0]
    return (first.split("= ")[-1] if "= " in first else first.split()[0]).lower()


def main():
    for tool, package in (("curl", "curl"), ("md5sum", "coreutils"), ("sha1sum", "coreutils"),
                          ("openssl", "openssl")):
        need(tool, package)
    for prog in (DRIVER, CRC):
        if not os.access(prog, os.X_OK):
            sys.exit(f"{prog} is missing: build korvex_bench_update and korvex_bench_crc32")
    with tempfile.TemporaryDirectory(dir="/tmp", prefix="korvex-update-") as work:
        served = os.path.join(work, NAME)
        write_file(served, SIZE)
        expected = digest(served)
        head = f"HTTP/1.0 200 OK\r\nContent-Length: {SIZE}\r\n\r\n"
        rules = os.path.join(work, "rules.json")
        big = os.path.join(work, "big.bin")
        with open(big, "wb") as f:
            f.truncate(BIG)
        big_head = f"HTTP/1.0 200 OK\r\nContent-Length: {BIG}\r\n\r\n"
        with open(rules, "w") as f:
            json.dump({"routes": {
                "/" + NAME: [{"raw": head}, {"file": served}],
                "HEAD /big/" + NAME: [{"raw": f"HTTP/1.0 200 OK\r\nContent-Length: {ANNOUNCED}\r\n\r\n"}],
                "/big/" + NAME: [{"raw": big_head}, {"file": big}]}}, f)
        folder = os.path.join(work, "programma") + "/"
        os.makedirs(folder + "TempDownloads")
        fetched = folder + "TempDownloads/" + NAME
        target = os.path.join(work, "curl.bin")
        peer, port = start_peer("httppeer.py", "--rules", rules,
                                "--journal", os.path.join(work, "journal"))
        url = f"http://127.0.0.1:{port}/{NAME}"
        try:
            curl_rates, ours_rates, peaks = [], [], []
            for _ in range(RUNS):
                # Each run starts with no earlier run's writes still going to disk.
                os.sync()
                t, _, _ = run(["curl", "-s", "-S", "--noproxy", "*", "-o", target, url])
                if os.path.getsize(target) != SIZE:
                    sys.exit("curl's copy has the wrong size")
                curl_rates.append(SIZE / t / 1e6)
                os.remove(target)
                os.sync()
                fig, peak = download(folder, url, work)
                if fig["file"] != fetched or fig["bytes"] != SIZE or digest(fetched) != expected:
                    sys.exit(f"the downloaded installer differs from the served file: {fig}")
                ours_rates.append(SIZE / fig["seconds"] / 1e6)
                peaks.append(peak / 1024)
                os.remove(fetched)
            # Long enough for Timer1 to tick during the transfer.
            os.sync()
            fig, _ = download(folder, f"http://127.0.0.1:{port}/big/{NAME}", work)
            if fig["bytes"] != BIG:
                sys.exit(f"the 6 GB download has the wrong size: {fig}")
            lateness, ticks, intervals = fig["late_ms"], fig["ticks"], fig["intervals_ms"]
            big_mb = BIG / fig["seconds"] / 1e6
            os.remove(fetched)
        finally:
            peer.stdin.close()
            peer.wait(10)

        kinds = {"md5": [["md5sum", served], ["openssl", "dgst", "-md5", served]],
                 "sha1": [["sha1sum", served], ["openssl", "dgst", "-sha1", served]],
                 "crc32": [[CRC, served]]}
        digests = {}
        for kind, tools in kinds.items():
            commands = [[DRIVER, "digest", kind, served]] + tools
            times = [[] for _ in commands]
            inner = []
            for round_ in range(RUNS + 1):  # the first round only warms up
                for i, command in enumerate(commands):
                    t, _, out = run(command)
                    if round_ == 0:
                        if i == 0:
                            ours = hex_of(out)
                        elif hex_of(out) != ours:
                            sys.exit(f"{kind}: {command[0]} says {hex_of(out)}, the program {ours}")
                        continue
                    times[i].append(t)
                    if i == 0:
                        inner.append(float(out.split()[1]))
            digests[kind] = ([statistics.median(ts) for ts in times], statistics.median(inner))
        signature = verify_figures(served, work)

    curl_mb, ours_mb = statistics.median(curl_rates), statistics.median(ours_rates)
    ok = ours_mb >= 0.95 * curl_mb and lateness <= 100 and ticks > 0
    print(f"GET of a 500 MB installer into a file, median of {RUNS}:")
    print(f"  curl -s -o      {curl_mb:8.1f} MB/s   runs: {[round(r) for r in curl_rates]}")
    print(f"  Download        {ours_mb:8.1f} MB/s   runs: {[round(r) for r in ours_rates]}")
    print(f"                  ratio {ours_mb / curl_mb:.2f} (goal >= 0.95); whole Download call, window shown")
    print(f"  Timer1 (1 s)    at worst {lateness} ms late (goal <= 100 ms) over {ticks} ticks"
          f" of a 6 GB download at {big_mb:.0f} MB/s; intervals {intervals} ms")
    print(f"  peak memory     {max(peaks):8.1f} MiB (driver)")
    print(f"Digests of the same file, page-cached, median of {RUNS} after a warm-up:")
    for kind, tools in kinds.items():
        (whole, *theirs), inner = digests[kind]
        rates = [SIZE / t / 1e6 for t in theirs]
        ours = SIZE / inner / 1e6
        ok = ok and ours >= 0.95 * max(rates)
        named = ", ".join(f"{' '.join(c[:-1]).replace(CRC, 'crc32blok')} {r:.0f}"
                          for c, r in zip(tools, rates))
        print(f"  {kind:6} Controlegetal {ours:5.0f} MB/s (process {SIZE / whole / 1e6:.0f}); {named} MB/s;"
              f" ratio {ours / max(rates):.2f} (goal >= 0.95)")
    (ours, sha1, sha512), (ours_peak, sha1_peak) = signature
    ok = ok and ours >= 0.95 * sha512
    print(f"Signature of the same file, median of {RUNS} after a warm-up:")
    print(f"  verify {ours:5.0f} MB/s, peak {ours_peak:.1f} MiB; SHA-1 Controlegetal {sha1:.0f} MB/s,"
          f" peak {sha1_peak:.1f} MiB; openssl dgst -sha512 {sha512:.0f} MB/s;"
          f" ratio {ours / sha512:.2f} (goal >= 0.95)")
    return 0 if ok else 1


def verify_figures(served, work):
    """Throughputs of verify, the SHA-1 digest and openssl's SHA-512, and the drivers' peaks."""
    tool = os.path.join(ROOT, "tools", "sign-update")
    key = os.path.join(work, "maker.pem")
    public = subprocess.run([tool, "keygen", key], check=True, capture_output=True,
                            text=True).stdout.strip()
    line = subprocess.run([tool, "sign", served, "9.0.1.20", key], check=True,
                          capture_output=True, text=True).stdout.strip()
    signature = line.removeprefix("EdSignature=")
    for version, expected in (("9.0.1.20", "good"), ("9.0.1.21", "wrong")):
        _, _, out = run([DRIVER, "verify", public, signature, version, served])
        if out.split()[0] != expected:
            sys.exit(f"verify for {version} says {out.strip()}, expected {expected}")
    commands = [[DRIVER, "verify", public, signature, "9.0.1.20", served],
                [DRIVER, "digest", "sha1", served],
                ["openssl", "dgst", "-sha512", served]]
    inner = [[] for _ in commands]
    peaks = [0.0, 0.0]
    for round_ in range(RUNS + 1):  # the first round only warms up
        for i, command in enumerate(commands):
            t, peak, out = run(command)
            if round_ == 0:
                continue
            inner[i].append(float(out.split()[1]) if i < 2 else t)
            if i < 2:
                peaks[i] = max(peaks[i], peak)
    return [SIZE / statistics.median(ts) / 1e6 for ts in inner], peaks


if __name__ == "__main__":
    sys.exit(main())
