#!/usr/bin/python3
"""Start-up time and peak memory of KorvexSQL next to a bare Qt program.

Usage: bench/startup.py [build-dir] [runs]

Each run starts the program, waits until its window is visible on the X
display (python3-xlib, one connection for all polling), reads the peak resident memory (VmHWM) a moment later
and ends the program. Without a DISPLAY an Xvfb server is started.
Prints the median of each figure and the ratios, to the bare window and to
the bare window with one line of text.
"""
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

from benchutil import need, peak_kib

try:
    import Xlib.display
    import Xlib.error
    from Xlib import X
except ImportError:
    sys.exit("python3-xlib is missing: apt-get install -y python3-xlib")

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BUILD = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "build"))
RUNS = int(sys.argv[2]) if len(sys.argv) > 2 else 10




def visible_window(display, pid, title):
    """True when a mapped top-level window of process pid carries title."""
    pid_atom = display.intern_atom("_NET_WM_PID")
    for window in display.screen().root.query_tree().children:
        try:
            if window.get_attributes().map_state != X.IsViewable:
                continue
            prop = window.get_full_property(pid_atom, X.AnyPropertyType)
            if not prop or prop.value[0] != pid:
                continue
            name = window.get_wm_name() or ""
            if isinstance(name, bytes):
                name = name.decode("latin-1")
            if title in name:
                return True
        except Xlib.error.XError:
            continue  # the window went away while we looked
    return False


def measure(display, program, title, env, args=()):
    # Each run in a fresh folder: KorvexSQL makes its working folders there.
    with tempfile.TemporaryDirectory() as folder:
        exe = os.path.join(folder, os.path.basename(program))
        shutil.copy2(program, exe)
        # The modules the program loads from its own folder go along.
        bindir = os.path.dirname(program)
        for name in os.listdir(bindir):
            if name.startswith("korvex_geluid"):
                shutil.copy2(os.path.join(bindir, name), folder)
        start = time.perf_counter()
        proc = subprocess.Popen([exe, *args], env=env, stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL)
        shown = None
        while time.perf_counter() - start < 30:
            # By process and title, so that no other window on the display counts.
            if visible_window(display, proc.pid, title):
                shown = time.perf_counter() - start
                break
            if proc.poll() is not None:
                sys.exit(f"{program} ended with code {proc.returncode} before showing a window")
            time.sleep(0.002)
        time.sleep(0.5)
        peak = peak_kib(proc.pid)
        proc.terminate()
        proc.wait(timeout=10)
        if shown is None:
            sys.exit(f"{program}: no window within 30 s")
        return shown, peak


def main():
    env = dict(os.environ)
    xvfb = None
    if not env.get("DISPLAY"):
        need("Xvfb", "xvfb")
        env["DISPLAY"] = ":93"
        xvfb = subprocess.Popen(["Xvfb", ":93", "-screen", "0", "1280x800x24"],
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        time.sleep(1)
    env.pop("QT_QPA_PLATFORM", None)
    display = Xlib.display.Display(env["DISPLAY"])
    try:
        bare = os.path.join(BUILD, "bin", "korvex_bench_bare")
        programs = [("KorvexSQL", os.path.join(BUILD, "bin", "KorvexSQL"), "Zelvo Korvex", ()),
                    ("bare Qt", bare, "Kale vergelijking", ()),
                    ("bare+text", bare, "Kale vergelijking", ("--met-tekst",))]
        results = {}
        for name, program, title, args in programs:
            if not os.path.exists(program):
                sys.exit(f"{program} is missing: build the project first")
            measure(display, program, title, env, args)  # warm the file cache
            runs = [measure(display, program, title, env, args) for _ in range(RUNS)]
            results[name] = (statistics.median(r[0] for r in runs),
                             statistics.median(r[1] for r in runs))
        for name, (shown, peak) in results.items():
            print(f"{name:10s} window shown after {shown * 1000:7.1f} ms, "
                  f"peak memory {peak / 1024:6.1f} MiB (median of {RUNS})")
        k = results["KorvexSQL"]
        for name in ("bare Qt", "bare+text"):
            b = results[name]
            print(f"ratio to {name:9s} start {k[0] / b[0]:.2f} x, memory {k[1] / b[1]:.2f} x "
                  f"(goal: within 1.5 x each)")
    finally:
        if xvfb:
            xvfb.terminate()


if __name__ == "__main__":
    main()
