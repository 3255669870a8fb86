#!/usr/bin/python3
"""Smoke test of the real KorvexSQL executable under its own Xvfb.

Run: /usr/bin/python3 rooktest.py --program PATH --peers DIR --ftp-port N --http-port N
     --user NAME --password PW --manifest-path PATH --work DIR [--skip STEP ...]

The program must have been built with its script server at 127.0.0.1:<ftp-port>
(user and password as given) and its update manifest at
http://127.0.0.1:<http-port><manifest-path>. The driver starts an Xvfb, the
three peers and a copy of the program in a fresh folder, and works it with
input made by the X server (XTEST) only, as an operator would: nothing is
asked of the program but what shows on the screen and what its peers saw.
Each step leaves a screenshot in --work; a failing run also a screenshot of
the moment it failed. The exit status is 0 only when every check held.
"""

import argparse
import ctypes
import json
import os
import select
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import time
import zlib

try:
    import Xlib.display
    import Xlib.error
    import Xlib.XK
    from Xlib import X
    from Xlib.ext import xtest
except ImportError:
    sys.exit("python3-xlib is missing: apt-get install -y python3-xlib")

SCREEN_W, SCREEN_H = 1280, 1024

# Window titles.
HOOFDSCHERM = "Zelvo Korvex\u00ae SQL Server - v"
SCRIPTBEHEER = "Zelvo Korvex SQL script beheerder"
VRAAG_UITVOEREN = "Uitvoeren van een SQL script"
MELDING = "Er is een nieuwe versie van de software beschikbaar"

# Geometry inside the windows' client areas, as the windows lay themselves out.
# Main window: the tab strip on the left, 23 pixels wide; the pages beside it.
TAB_ACTIES = (11, 20)
BUTTON8 = (25 + 48 + 205 // 2, 2 + 60 + 76 // 2)      # CONTROLEREN SQL SCRIPTS
BUTTON2 = (8 + 260 // 2, 360 + 36 // 2)               # UPDATE SOFTWARE
BUTTON1 = (280 + 260 // 2, 360 + 36 // 2)             # AFSLUITEN
# Script manager (821 x 518).
VERBINDEN = (4 + 93 // 2, 2 + 79 // 2)
SCRIPT_UITVOEREN = (202 + 93 // 2, 2 + 79 // 2)
SCRIPT_UITVOEREN_RECT = (202, 2, 93, 79)
REMOTE_LIJST_RECT = (2, 123, 233, 344)
LOKAAL_EERSTE = (509 + 60, 143 + 12)
BTN_SLUIT = (206 + (821 - 206 - 4) // 2, 469 + 2 + 25 // 2)
STATUSBALK_RECT = (0, 498, 821, 20)
# Notification window (686 x 312): the toolbar along the bottom, 29 high;
# download 219, spacer 4, web page 237, spacer 4, then Sluiten 197 wide.
MELDING_SLUITEN = (219 + 4 + 237 + 4 + 197 // 2, 312 - 29 + 29 // 2)

# What the script manager reads from its database.
DB_VERSIE = "3.1.2"
DB_DATUM = "2013-08-21 10:11:12.000"
TITEL_MET_VERSIE = SCRIPTBEHEER + " - v3.1.2 - 21-08-2013"
LOKAAL_SCRIPT = "3-1-3.sql"
LOKAAL_SCRIPT_TEKST = "update Rooktest set waarde = 1\r\n"
ONLINE_SCRIPT = "3-1-5.sql"
VOORLOPIG = "Directory opgehaald"
GROET_VERTRAGING_MS = 3000
NIEUWE_VERSIE = "9.0.0.0"

STEPS = ("inloggen", "uitvoeren", "update")
DEJAVU = "/usr/share/fonts/truetype/dejavu"


class Fout(Exception):
    """A check that failed; the run cannot go on past it."""


# The columns that "FTP->" takes at least, in any of the fonts the bar may get.
MIN_VOORVOEGSEL = 20


def eerste_verschil(a, b, breedte, hoogte):
    """The first column, from the left, in which two grabs differ; None when equal."""
    rij = breedte * 4
    for x in range(breedte):
        for y in range(hoogte):
            i = y * rij + x * 4
            if a[i:i + 3] != b[i:i + 3]:
                return x
    return None


def die_with_parent():
    """In a child before exec: killed when the driver dies, however it dies,
    so that no server outlives a test run that CTest killed."""
    libc = ctypes.CDLL("libc.so.6", use_errno=True)
    libc.prctl(1, signal.SIGKILL)  # PR_SET_PDEATHSIG


def png(path, width, height, rgb):
    """Writes 8-bit RGB rows as a PNG with zlib only."""

    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data
                + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))

    stride = width * 3
    rows = b"".join(b"\x00" + rgb[y * stride:(y + 1) * stride] for y in range(height))
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n")
        f.write(chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)))
        f.write(chunk(b"IDAT", zlib.compress(rows, 6)))
        f.write(chunk(b"IEND", b""))


class Scherm:
    """The X display: windows by title, pictures of regions, XTEST input."""

    def __init__(self, name):
        self.d = Xlib.display.Display(name)
        if not self.d.query_extension("XTEST").present:
            raise Fout("the X server has no XTEST extension")
        self.root = self.d.screen().root
        self.net_wm_name = self.d.intern_atom("_NET_WM_NAME")
        self.utf8 = self.d.intern_atom("UTF8_STRING")
        self.lsb_first = self.d.display.info.image_byte_order == X.LSBFirst

    def title(self, window):
        prop = window.get_full_property(self.net_wm_name, self.utf8)
        if prop is not None and prop.value:
            value = prop.value
            return value.decode("utf-8", "replace") if isinstance(value, bytes) else str(value)
        name = window.get_wm_name() or ""
        return name.decode("latin-1") if isinstance(name, bytes) else name

    def windows(self):
        """(title, window) of every mapped top-level window."""
        found = []
        for window in self.root.query_tree().children:
            try:
                if window.get_attributes().map_state != X.IsViewable:
                    continue
                found.append((self.title(window), window))
            except Xlib.error.XError:
                continue  # gone while we looked
        return found

    def find(self, title, prefix=False):
        for name, window in self.windows():
            if name == title or (prefix and name.startswith(title)):
                return window
        return None

    def origin(self, window):
        """The top left corner of the window's client area on the screen."""
        reply = self.root.translate_coords(window, 0, 0)
        return reply.x, reply.y

    def size(self, window):
        g = window.get_geometry()
        return g.width, g.height

    def grab(self, x, y, w, h):
        """The pixels of a screen region as bytes, 4 per pixel."""
        return self.root.get_image(x, y, w, h, X.ZPixmap, 0xFFFFFFFF).data

    def grab_in(self, window, rect):
        ox, oy = self.origin(window)
        x, y, w, h = rect
        return self.grab(ox + x, oy + y, w, h)

    def screen(self):
        return self.grab(0, 0, SCREEN_W, SCREEN_H)

    def write_png(self, path, width, height, data):
        """Pixels as grab() gives them, 4 bytes each, written as a PNG."""
        rgb = bytearray(width * height * 3)
        red, blue = (2, 0) if self.lsb_first else (1, 3)
        green = 1 if self.lsb_first else 2
        rgb[0::3] = data[red::4]
        rgb[1::3] = data[green::4]
        rgb[2::3] = data[blue::4]
        png(path, width, height, bytes(rgb))

    def screenshot(self, path, data=None):
        self.write_png(path, SCREEN_W, SCREEN_H, self.screen() if data is None else data)

    def move(self, x, y):
        xtest.fake_input(self.d, X.MotionNotify, x=x, y=y)
        self.d.sync()

    def click_in(self, window, point):
        ox, oy = self.origin(window)
        self.move(ox + point[0], oy + point[1])
        time.sleep(0.05)  # the enter reaches the widget before the press
        xtest.fake_input(self.d, X.ButtonPress, 1)
        self.d.sync()
        time.sleep(0.03)
        xtest.fake_input(self.d, X.ButtonRelease, 1)
        self.d.sync()

    def key(self, keysym):
        code = self.d.keysym_to_keycode(keysym)
        xtest.fake_input(self.d, X.KeyPress, code)
        self.d.sync()
        time.sleep(0.03)
        xtest.fake_input(self.d, X.KeyRelease, code)
        self.d.sync()


def wait_for(what, test, timeout, interval=0.05):
    """Polls test() until it gives something true; Fout after timeout."""
    deadline = time.monotonic() + timeout
    while True:
        value = test()
        if value:
            return value
        if time.monotonic() > deadline:
            raise Fout("timed out after %.0f s waiting for %s" % (timeout, what))
        time.sleep(interval)


class Rooktest:
    def __init__(self, args):
        self.args = args
        self.work = os.path.abspath(args.work)
        self.children = []     # (name, Popen), ended in reverse order
        self.logs = []
        self.failures = []
        self.scherm = None
        self.program = None
        self.shot = 0

    # ------------------------------------------------------------ plumbing

    def log_file(self, name):
        f = open(os.path.join(self.work, name), "wb")
        self.logs.append(f)
        return f

    def start(self, name, argv, **kwargs):
        kwargs.setdefault("stderr", self.log_file(name + ".log"))
        proc = subprocess.Popen(argv, preexec_fn=die_with_parent, **kwargs)
        self.children.append((name, proc))
        return proc

    def first_line(self, name, proc, timeout=15):
        deadline = time.monotonic() + timeout
        line = b""
        while not line.endswith(b"\n"):
            left = deadline - time.monotonic()
            if left <= 0 or not select.select([proc.stdout], [], [], left)[0]:
                raise Fout("%s did not report its port within %d s" % (name, timeout))
            byte = os.read(proc.stdout.fileno(), 1)
            if not byte:
                raise Fout("%s ended before reporting its port (exit %s; see %s.log)"
                           % (name, proc.wait(), name))
            line += byte
        return line.decode().strip()

    def peer(self, name, script, options, fixed_port=None):
        proc = self.start(name, ["/usr/bin/python3", os.path.join(self.args.peers, script),
                                 *options, "--exit-on-stdin-eof"],
                          stdin=subprocess.PIPE, stdout=subprocess.PIPE)
        line = self.first_line(name, proc)
        if not line.startswith("PORT "):
            raise Fout("%s said %r instead of its port" % (name, line))
        port = int(line.split()[1])
        if fixed_port is not None and port != fixed_port:
            raise Fout("%s listens on %d, not on %d" % (name, port, fixed_port))
        return port

    def snapshot(self, label, data=None):
        self.shot += 1
        path = os.path.join(self.work, "%02d-%s.png" % (self.shot, label))
        try:
            self.scherm.screenshot(path, data)
        except Exception as e:  # a picture must never hide the real outcome
            print("screenshot %s failed: %s" % (path, e))
            return None
        return path

    def fail(self, message):
        """A check that failed; the run goes on where it still can."""
        path = self.snapshot("fout") if self.scherm else None
        print("FAIL: %s" % message + ("\n  screenshot: %s" % path if path else ""), flush=True)
        self.failures.append(message)

    def program_output(self):
        """The end of what the program wrote (a sanitizer's report, say)."""
        try:
            with open(os.path.join(self.work, "korvexsql.log"), "rb") as f:
                lines = f.read().decode("utf-8", "replace").splitlines()
        except FileNotFoundError:
            return
        if lines:
            print("--- korvexsql.log (last %d lines) ---" % min(len(lines), 60))
            print("\n".join(lines[-60:]))

    def check(self, condition, message):
        if not condition:
            self.fail(message)
        return condition

    def stop_all(self):
        # The program goes at once; the servers get a moment, so that Xvfb
        # takes its lock file and socket with it.
        for name, proc in reversed(self.children):
            if proc.poll() is None:
                if proc is self.program:
                    proc.kill()
                else:
                    proc.terminate()
            try:
                proc.wait(timeout=5)
            except subprocess.TimeoutExpired:
                proc.kill()
                try:
                    proc.wait(timeout=5)
                except subprocess.TimeoutExpired:
                    print("%s (pid %d) did not end" % (name, proc.pid))
        for f in self.logs:
            f.close()

    def journal(self, name):
        try:
            with open(os.path.join(self.work, name), "rb") as f:
                return f.read().decode("latin-1")
        except FileNotFoundError:
            return ""

    def ftp_commands(self):
        return [line.split(" ")[0].upper() for line in self.journal("ftp-journal.txt").splitlines()]

    def program_alive(self):
        if self.program.poll() is not None:
            raise Fout("KorvexSQL ended with exit status %d (see korvexsql.log)"
                       % self.program.returncode)

    def window(self, title, timeout, prefix=False):
        def found():
            self.program_alive()
            return self.scherm.find(title, prefix)
        return wait_for("the window \"%s\"" % title, found, timeout)

    def gone(self, window, timeout):
        def test():
            self.program_alive()
            return all(w.id != window.id for _, w in self.scherm.windows())
        try:
            wait_for("the window to close", test, timeout)
            return True
        except Fout:
            return False

    def settled(self, window, rect=None, timeout=15, before=None):
        """Waits until the window's picture (or a region of it) holds still,
        is not one plain colour and, with before, differs from that picture;
        returns it."""
        if rect is None:
            rect = (0, 0) + self.scherm.size(window)
        last = [None]

        def still():
            self.program_alive()
            now = self.scherm.grab_in(window, rect)
            ok = now == last[0]
            if before is None:
                ok = ok and len(set(now[i:i + 4] for i in range(0, len(now), 4 * 97))) > 1
            else:
                ok = ok and now != before
            last[0] = now
            return now if ok else None
        return wait_for("the window to be painted" if before is None else "a change on screen",
                        still, timeout, interval=0.15)

    def changed(self, window, rect, before, timeout=15):
        """The region's picture once it differs from before and holds
        still; None when it does not change within timeout."""
        try:
            return self.settled(window, rect, timeout, before)
        except Fout:
            return None

    # ------------------------------------------------------------ set-up

    def clear_work(self):
        """The work folder without the files of an earlier run."""
        os.makedirs(self.work, exist_ok=True)
        for name in os.listdir(self.work):
            path = os.path.join(self.work, name)
            if os.path.isfile(path):
                os.remove(path)

    def prepare(self):
        self.clear_work()
        self.tmp = tempfile.mkdtemp(prefix="korvex-rook-")
        self.folder = os.path.join(self.tmp, "programma")
        os.makedirs(os.path.join(self.folder, "SQLOnlineScripts"))
        self.exe = os.path.join(self.folder, "KorvexSQL")
        shutil.copy2(self.args.program, self.exe)
        bindir = os.path.dirname(os.path.abspath(self.args.program))
        modules = [n for n in os.listdir(bindir) if n.startswith("korvex_geluid")]
        if not modules:
            raise Fout("no korvex_geluid module next to %s" % self.args.program)
        for name in modules:
            shutil.copy2(os.path.join(bindir, name), self.folder)
        self.script = os.path.join(self.folder, "SQLOnlineScripts", LOKAAL_SCRIPT)
        with open(self.script, "w", newline="") as f:
            f.write(LOKAAL_SCRIPT_TEKST)
        self.ftp_root = os.path.join(self.tmp, "ftp")
        os.makedirs(self.ftp_root)
        with open(os.path.join(self.ftp_root, ONLINE_SCRIPT), "w", newline="") as f:
            f.write("select 1\r\n")

    def start_xvfb(self):
        if shutil.which("Xvfb") is None:
            raise Fout("Xvfb is missing: apt-get install -y xvfb")
        read, write = os.pipe()
        # -displayfd: the server picks a free display number and writes it.
        self.start("xvfb", ["Xvfb", "-displayfd", str(write), "-screen", "0",
                            "%dx%dx24" % (SCREEN_W, SCREEN_H), "-nolisten", "tcp", "-noreset"],
                   pass_fds=(write,), stdout=subprocess.DEVNULL)
        os.close(write)
        number = b""
        deadline = time.monotonic() + 20
        while not number.endswith(b"\n"):
            left = deadline - time.monotonic()
            if left <= 0 or not select.select([read], [], [], left)[0]:
                raise Fout("Xvfb did not start within 20 s (see xvfb.log)")
            byte = os.read(read, 1)
            if not byte:
                raise Fout("Xvfb ended at start (see xvfb.log)")
            number += byte
        os.close(read)
        self.display = ":" + number.decode().strip()
        self.scherm = Scherm(self.display)
        print("Xvfb on display %s" % self.display, flush=True)

    def start_peers(self):
        rules = os.path.join(self.work, "tds-rules.json")
        with open(rules, "w") as f:
            json.dump({
                "logins": {"sa": "geheim"},
                "databases": ["master", "KORVEX_42"],
                "batches": [{
                    "contains": "select * from DatabaseInstellingen",
                    "reply": [{"result": {
                        "columns": [{"name": "dat_id", "type": "int"},
                                    {"name": "dat_versie", "type": "varchar", "length": 10},
                                    {"name": "dat_datum", "type": "datetime"}],
                        "rows": [[1, DB_VERSIE, DB_DATUM]]}}]}]}, f)
        self.tds_port = self.peer("tdspeer", "tdspeer.py", [
            "--journal", os.path.join(self.work, "tds-journal.txt"), "--rules", rules])

        self.peer("ftppeer", "ftppeer.py", [
            "--root", self.ftp_root, "--user", self.args.user, "--password", self.args.password,
            "--journal", os.path.join(self.work, "ftp-journal.txt"),
            "--preliminary", VOORLOPIG, "--greeting-delay-ms", str(GROET_VERTRAGING_MS),
            "--port", str(self.args.ftp_port)], fixed_port=self.args.ftp_port)

        base = "http://127.0.0.1:%d" % self.args.http_port
        leesmij = os.path.dirname(self.args.manifest_path) + "/Leesmij.txt"
        manifest = ("[KorvexSQL]\r\nVersion=%s\r\nReadmeFileURL=%s%s\r\nUpdatePageURL=%s/\r\n"
                    % (NIEUWE_VERSIE, base, leesmij, base))
        notes = "Versie %s\r\n- rooktest\r\n" % NIEUWE_VERSIE

        def ok(body):
            return [{"raw": "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n"
                            "Content-Length: %d\r\n\r\n%s" % (len(body), body)}]
        rules = os.path.join(self.work, "http-rules.json")
        with open(rules, "w") as f:
            json.dump({"routes": {self.args.manifest_path: ok(manifest), leesmij: ok(notes)}}, f)
        self.peer("httppeer", "httppeer.py", [
            "--rules", rules, "--journal", os.path.join(self.work, "http-journal.txt"),
            "--port", str(self.args.http_port)], fixed_port=self.args.http_port)

    def write_settings(self):
        values = [("P_UPDATES_Checked", "FALSE"), ("P_DATABASE_Text", "master"),
                  ("P_INLOGNAAM_Text", "sa"), ("P_PASWOORD_Text", "geheim"),
                  ("P_PINCODE_Text", ""), ("P_SQLSERVER_Text", "127.0.0.1,%d" % self.tds_port),
                  ("P_VKMID_Text", "42"), ("LocatieDatabase_Text", self.folder + "/DATABASES"),
                  ("BTWnummer_Text", "")]
        lines = ['<?xml version="1.0" encoding="iso-8859-1"?>', "<Configuration>",
                 "  <Hoofdscherm>", "    <FormVersion>0</FormVersion>"]
        for name, value in values:
            lines.append("    <%s>%s</%s>" % (name, value, name) if value else "    <%s/>" % name)
        lines += ["  </Hoofdscherm>", "</Configuration>"]
        with open(os.path.join(self.folder, "KorvexSQLServer.xml"), "wb") as f:
            f.write("".join(line + "\r\n" for line in lines).encode("latin-1"))

    def fallback_fonts(self):
        """A font configuration that offers DejaVu only, the desktop's last
        resort: every family the windows name (Arial, Tahoma, Calibri,
        Segoe UI) comes out wider than where it was designed for."""
        if not os.path.isfile(os.path.join(DEJAVU, "DejaVuSans.ttf")):
            raise Fout("DejaVu Sans is missing: apt-get install -y fonts-dejavu-core")
        path = os.path.join(self.tmp, "fonts.conf")
        with open(path, "w") as f:
            f.write('<?xml version="1.0"?>\n<!DOCTYPE fontconfig SYSTEM "urn:fontconfig:fonts.dtd">\n'
                    "<fontconfig>\n  <dir>%s</dir>\n"
                    '  <include ignore_missing="yes">/etc/fonts/conf.d</include>\n'
                    "  <cachedir>%s</cachedir>\n</fontconfig>\n"
                    % (DEJAVU, os.path.join(self.tmp, "fontcache")))
        return path

    def start_program(self):
        env = dict(os.environ)
        for name in ("QT_QPA_PLATFORM", "WAYLAND_DISPLAY", "QT_QPA_PLATFORMTHEME", "SESSION_MANAGER"):
            env.pop(name, None)
        env["DISPLAY"] = self.display
        runtime = os.path.join(self.tmp, "runtime")
        os.makedirs(runtime, mode=0o700)
        env["XDG_RUNTIME_DIR"] = runtime
        # No session bus: Qt's attempt to start one leaks inside libdbus
        # and would leave a bus daemon to a test machine.
        env["DBUS_SESSION_BUS_ADDRESS"] = "unix:path=" + os.path.join(runtime, "geen-bus")
        if self.args.fonts == "fallback":
            env["FONTCONFIG_FILE"] = self.fallback_fonts()
        log = self.log_file("korvexsql.log")
        self.program = self.start("korvexsql", [self.exe], cwd=self.folder, env=env,
                                  stdout=log, stderr=log, stdin=subprocess.DEVNULL)

    # ------------------------------------------------------------ steps

    def hoofdscherm(self):
        self.main = self.window(HOOFDSCHERM, 30, prefix=True)
        self.settled(self.main)
        self.snapshot("hoofdscherm")

    def open_scriptbeheer(self):
        self.scherm.click_in(self.main, TAB_ACTIES)
        time.sleep(0.1)
        self.scherm.click_in(self.main, BUTTON8)
        beheer = self.window(SCRIPTBEHEER, 20, prefix=True)
        try:
            wait_for("the database version in the caption",
                     lambda: self.scherm.find(TITEL_MET_VERSIE), 35)
        except Fout:
            self.fail("the script manager's caption is \"%s\", not \"%s\": the version was not "
                      "read from the TDS peer" % (self.scherm.title(beheer), TITEL_MET_VERSIE))
        self.settled(beheer)
        self.snapshot("scriptbeheer")
        return beheer

    def inloggen(self, beheer):
        """Logs in while the server holds its greeting back: the status text
        of its 120 reply must reach the screen during that wait."""
        leeg = self.scherm.grab_in(beheer, STATUSBALK_RECT)
        lijst_voor = self.scherm.grab_in(beheer, REMOTE_LIJST_RECT)
        self.scherm.click_in(beheer, VERBINDEN)
        geklikt = time.monotonic()
        tijdens = None
        tijdens_op = None
        scherm_tijdens = None
        deadline = geklikt + 20
        while True:
            self.program_alive()
            beeld = self.scherm.grab_in(beheer, STATUSBALK_RECT)
            genomen = time.monotonic()
            if "USER" in self.ftp_commands():
                break
            # Taken before the client sent USER, so while it waited for the
            # greeting, with the 120 reply in hand for a second at least.
            if genomen - geklikt >= 1.0:
                tijdens, tijdens_op = beeld, genomen
                if scherm_tijdens is None:
                    scherm_tijdens = self.scherm.screen()  # written out after the wait
            if genomen > deadline:
                raise Fout("the program never logged in to the FTP peer (no USER in 20 s)")
            time.sleep(0.1)
        if tijdens is None:
            raise Fout("the program sent USER %.1f s after the click: the greeting was not held "
                       "back, so the status could not be caught during the wait"
                       % (time.monotonic() - geklikt))
        print("status bar captured %.1f s after the click, before the greeting" %
              (tijdens_op - geklikt), flush=True)
        self.snapshot("tijdens-inloggen", scherm_tijdens)

        wait_for("the directory listing at the FTP peer",
                 lambda: self.program_alive() or any(c in ("LIST", "MLSD", "NLST")
                                                     for c in self.ftp_commands()), 20)
        # The entry shows once the listing has been read and the login
        # handler has returned, so the status bar holds its last text then.
        lijst_na = self.changed(beheer, REMOTE_LIJST_RECT, lijst_voor)
        na = self.changed(beheer, STATUSBALK_RECT, leeg)
        self.snapshot("na-inloggen")
        # The three pictures the checks compare, to look at side by side.
        for label, beeld in (("leeg", leeg), ("tijdens", tijdens), ("na", na)):
            if beeld is not None:
                self.scherm.write_png(os.path.join(self.work, "statusbalk-%s.png" % label),
                                      STATUSBALK_RECT[2], STATUSBALK_RECT[3], beeld)
        if not self.check(na is not None, "the status bar shows nothing after the listing"):
            return
        self.check(lijst_na is not None, "the remote list shows no entry after the listing "
                   "(%s lies on the FTP peer)" % ONLINE_SCRIPT)
        self.check(tijdens != leeg, "during the wait for the greeting the status bar still showed "
                   "its empty picture: the text \"FTP->%s\" set while the FTP call blocked never "
                   "reached the screen" % VOORLOPIG)
        # During the wait the bar reads "FTP->120 <text>", after the listing
        # "FTP-><text>": the part up to the reply's code is the same on both
        # pictures, and it is text, not the empty bar.
        gelijk = eerste_verschil(tijdens, na, STATUSBALK_RECT[2], STATUSBALK_RECT[3])
        tekst = eerste_verschil(leeg, na, STATUSBALK_RECT[2], STATUSBALK_RECT[3])
        self.check(tekst is not None and gelijk is not None and gelijk >= tekst + MIN_VOORVOEGSEL,
                   "the status bar during the wait for the greeting does not start with the "
                   "\"FTP->\" that it reads after the listing (text from column %s, the same up "
                   "to column %s)" % (tekst, gelijk))

    def uitvoeren(self, beheer):
        """Chooses the local script and answers No to the question."""
        # The pointer leaves the toolbar first: a tooltip there would
        # change the button's picture on its own.
        ox, oy = self.scherm.origin(beheer)
        self.scherm.move(ox + LOKAAL_EERSTE[0], oy + LOKAAL_EERSTE[1])
        uit = self.settled(beheer, SCRIPT_UITVOEREN_RECT)
        self.scherm.click_in(beheer, LOKAAL_EERSTE)
        # The once-a-second timer enables the button.
        if self.changed(beheer, SCRIPT_UITVOEREN_RECT, uit, 5) is None:
            raise Fout("\"Script uitvoeren\" did not become enabled within 5 s of choosing %s "
                       "in the local list" % LOKAAL_SCRIPT)
        self.scherm.click_in(beheer, SCRIPT_UITVOEREN)
        vraag = self.window(VRAAG_UITVOEREN, 10)
        self.settled(vraag)
        self.snapshot("vraag-uitvoeren")
        # A click on the box's text activates it; "n" presses its "&No".
        w, h = self.scherm.size(vraag)
        self.scherm.click_in(vraag, (w // 2, h // 3))
        time.sleep(0.2)
        self.scherm.key(Xlib.XK.string_to_keysym("n"))
        if not self.gone(vraag, 5):
            self.snapshot("vraag-blijft")
            raise Fout("the message box \"%s\" took no input: it is still there after a click "
                       "on it and the key N" % VRAAG_UITVOEREN)
        self.settled(beheer)
        self.snapshot("na-vraag")
        self.check(os.path.exists(self.script),
                   "%s is gone although the question was answered No" % LOKAAL_SCRIPT)
        self.check("Rooktest" not in self.journal("tds-journal.txt"),
                   "the script reached the database although the question was answered No")

    def sluit_scriptbeheer(self, beheer):
        self.scherm.click_in(beheer, BTN_SLUIT)
        if not self.gone(beheer, 10):
            raise Fout("the script manager did not close on \"Sluiten\"")
        if "QUIT" not in self.ftp_commands() and "USER" in self.ftp_commands():
            self.fail("closing the script manager did not log out of the FTP peer")
        self.settled(self.main)

    def update(self):
        self.scherm.click_in(self.main, BUTTON2)
        melding = self.window(MELDING, 20)
        self.settled(melding)
        self.snapshot("melding")
        manifest = ["GET " + self.args.manifest_path in line
                    for line in self.journal("http-journal.txt").splitlines()]
        self.check(any(manifest), "the HTTP peer never saw the manifest's GET")
        self.scherm.click_in(melding, MELDING_SLUITEN)
        if not self.gone(melding, 5):
            self.snapshot("melding-blijft")
            raise Fout("the notification window is still open after a click where its "
                       "\"Sluiten\" belongs (%d, %d): the button is not there"
                       % MELDING_SLUITEN)
        self.settled(self.main)
        self.snapshot("na-melding")

    def afsluiten(self):
        self.scherm.click_in(self.main, BUTTON1)
        try:
            code = self.program.wait(timeout=30)
        except subprocess.TimeoutExpired:
            raise Fout("KorvexSQL did not end within 30 s of \"AFSLUITEN\"")
        self.check(code == 0, "KorvexSQL ended with exit status %d (see korvexsql.log)" % code)
        with open(os.path.join(self.folder, "KorvexSQLServer.xml"), "rb") as f:
            stored = f.read().decode("latin-1")
        self.check("<P_SQLSERVER_Text>127.0.0.1,%d</P_SQLSERVER_Text>" % self.tds_port in stored,
                   "the settings file written at the end lost the server field")

    def run(self):
        self.prepare()
        self.start_xvfb()
        self.start_peers()
        self.write_settings()
        self.start_program()
        self.hoofdscherm()
        beheer = self.open_scriptbeheer()
        if "inloggen" not in self.args.skip:
            self.inloggen(beheer)
        if "uitvoeren" not in self.args.skip:
            self.uitvoeren(beheer)
        self.sluit_scriptbeheer(beheer)
        if "update" not in self.args.skip:
            self.update()
        self.afsluiten()
        self.snapshot("afgesloten")


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--program", required=True)
    ap.add_argument("--peers", required=True)
    ap.add_argument("--ftp-port", type=int, required=True)
    ap.add_argument("--http-port", type=int, required=True)
    ap.add_argument("--user", required=True)
    ap.add_argument("--password", required=True)
    ap.add_argument("--manifest-path", required=True)
    ap.add_argument("--work", required=True)
    ap.add_argument("--fonts", choices=("fallback", "installed"), default="fallback",
                    help="the program's fonts: DejaVu for every family (default), or the "
                         "machine's own font configuration")
    ap.add_argument("--skip", action="append", default=[], choices=STEPS,
                    help="leave a step out, to look at the ones after it")
    return draai(Rooktest(ap.parse_args()))


def draai(test):
    """Runs a driver's steps and tells the outcome; the exit status."""
    try:
        test.run()
    except Fout as e:
        test.fail(str(e))
    except Exception as e:
        test.fail("%s: %s" % (type(e).__name__, e))
        raise
    finally:
        test.stop_all()
        if getattr(test, "tmp", None):
            shutil.rmtree(test.tmp, ignore_errors=True)
    print("screenshots and logs: %s" % test.work)
    if test.failures:
        test.program_output()
        print("%d check(s) failed" % len(test.failures))
        return 1
    print("all checks passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
