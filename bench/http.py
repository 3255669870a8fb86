#!/usr/bin/python3
"""Throughput, timer lateness and memory of the HTTP client next to curl.

Usage: bench/http.py [build-dir] [runs]

Starts tests/peers/httppeer.py on 127.0.0.1 serving a 500 MB file and
fetches it into a file alternately with `curl -o` and with the client
(build/bin/korvex_bench_http), runs times each. Prints the median
throughput of both and their ratio, the worst lateness of a 100 ms timer
running in the client's event loop during its transfers, and the client's
peak resident memory next to its peak for a 1 MB fetch (a flat figure
means the body is streamed).
"""
import json
import os
import statistics
import sys
import tempfile

from benchutil import digest, need, run, start_peer, write_file

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BUILD = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "build"))
RUNS = int(sys.argv[2]) if len(sys.argv) > 2 else 5
CLIENT = os.path.join(BUILD, "bin", "korvex_bench_http")
SIZE = 500 * 1000 * 1000






def main():
    need("curl", "curl")
    if not os.access(CLIENT, os.X_OK):
        sys.exit(f"{CLIENT} is missing: build the project with KORVEX_BUILD_BENCH=ON")
    with tempfile.TemporaryDirectory() as work:
        groot, klein = os.path.join(work, "groot.bin"), os.path.join(work, "klein.bin")
        write_file(groot, SIZE)
        write_file(klein, 1 << 20)
        expected = digest(groot)
        routes = {}
        for name, path in (("/groot.bin", groot), ("/klein.bin", klein)):
            head = f"HTTP/1.0 200 OK\r\nContent-Length: {os.path.getsize(path)}\r\n\r\n"
            routes[name] = [{"raw": head}, {"file": path}]
        rules = os.path.join(work, "rules.json")
        with open(rules, "w") as f:
            json.dump({"routes": routes}, f)
        peer, port = start_peer("httppeer.py", "--rules", rules,
                                          "--journal", os.path.join(work, "journal"))
        url = f"http://127.0.0.1:{port}/groot.bin"
        target = os.path.join(work, "ontvangen.bin")
        try:
            curl_rates, ours_rates, ours_peaks, lateness = [], [], [], []
            for _ in range(RUNS):
                # Each run starts with no earlier run's writes still going to disk.
                os.sync()
                t, _, _ = run(["curl", "-s", "-S", "--http1.0", "--noproxy", "*", "-o", target, url])
                curl_rates.append(SIZE / t / 1e6)
                os.remove(target)
                os.sync()
                t, peak, out = run([CLIENT, url, target])
                fields = out.split()
                if int(fields[2]) != SIZE or digest(target) != expected:
                    sys.exit("the client's copy differs from the served file")
                ours_rates.append(SIZE / t / 1e6)
                ours_peaks.append(peak)
                lateness.append(int(fields[4]))
                os.remove(target)
            _, small_peak, _ = run([CLIENT, f"http://127.0.0.1:{port}/klein.bin", target])
        finally:
            peer.stdin.close()
            peer.wait(10)

    curl_mb, ours_mb = statistics.median(curl_rates), statistics.median(ours_rates)
    print(f"GET of 500 MB into a file, median of {RUNS}:")
    print(f"  curl -o       {curl_mb:8.1f} MB/s")
    print(f"  HTTP client   {ours_mb:8.1f} MB/s   ratio {ours_mb / curl_mb:.2f} (goal >= 0.95)")
    print(f"  100 ms timer  at worst {max(lateness)} ms late (goal <= 100 ms); runs: {lateness}")
    print(f"  peak memory   {max(ours_peaks):8.1f} MiB for 500 MB, {small_peak:.1f} MiB for 1 MB")
    ok = ours_mb >= 0.95 * curl_mb and max(lateness) <= 100
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
