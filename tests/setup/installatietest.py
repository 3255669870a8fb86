#!/usr/bin/python3
"""The Windows installer and the self-update road, tried under Wine.

Run: /usr/bin/python3 installatietest.py --old KorvexSetup-OLD.exe --old-version V
     --server DIR --new-version V --new-exe KorvexSQL.exe --peers DIR --http-port N
     --manifest-path PATH --work DIR

--old is an installer built with the test key and the update manifest at
http://127.0.0.1:<http-port><manifest-path>; --server holds the manifest and
the signed installer of the newer version as the release target wrote them;
--new-exe is the newer version's KorvexSQL.exe. In a fresh Wine prefix on its
own Xvfb: a silent install, the installed program's caption, an upgrade over
it that keeps the settings and a working folder, an uninstall that keeps them
too, and the self-update from the older version to the newer one through the
update check, the download and KorvexUpdater.exe, worked through X input only.
"""

import argparse
import json
import os
import shutil
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "smoke"))
import rooktest  # noqa: E402
from rooktest import BUTTON1, BUTTON2, Fout, Rooktest, wait_for  # noqa: E402

HOOFDSCHERM = "Zelvo Korvex\u00ae SQL Server - v"
MELDING = "Er is een nieuwe versie van de software beschikbaar"
INFORMATIE = "Korvex\u00ae informatie"
HOOFDSCHERM_GROOTTE = (831, 428)
MELDING_GROOTTE = (686, 312)
DOWNLOAD = (219 // 2, 312 - 29 + 29 // 2)
# A folder with a blank and an apostrophe: the hand-off passes the path
# between apostrophes, and the installer gets it unquoted.
MAP = "C:\\Programma's\\Zelvo Korvex"
WERKMAP = "SQLOnlineScripts"
WERKBESTAND = "3-1-3.sql"
ZKD = "Bedrijf.zkd"
# A sample of the program's own files, which an uninstall removes.
EIGEN_BESTANDEN = ("KorvexSQL.exe", "KorvexUpdater.exe", "Qt6Core.dll", "platforms",
                   "Uninstall.exe")
UNINSTALL_SLEUTEL = "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\KorvexSQL"


class Installatietest(Rooktest):
    def program_alive(self):
        if self.program is not None:
            super().program_alive()

    # ------------------------------------------------------------ Wine

    def wine_env(self):
        env = dict(os.environ)
        for name in ("QT_QPA_PLATFORM", "QT_QPA_FONTDIR", "WAYLAND_DISPLAY"):
            env.pop(name, None)
        env.update(WINEPREFIX=self.prefix, WINEDEBUG="-all", DISPLAY=self.display,
                   WINEDLLOVERRIDES="mscoree,mshtml=")
        return env

    def wine(self, *argv, timeout=120):
        """Runs a Windows program to its end; its exit status."""
        log = self.log_file("wine-%d.log" % len(self.logs))
        try:
            return subprocess.run(["wine", *argv], env=self.wine_env(), stdout=log, stderr=log,
                                  stdin=subprocess.DEVNULL, timeout=timeout).returncode
        except subprocess.TimeoutExpired:
            raise Fout("%s did not end within %d s" % (" ".join(argv), timeout))

    def unix(self, windows_path):
        """The host's path of C:\\... in the prefix."""
        assert windows_path[:3].upper() == "C:\\"
        return os.path.join(self.prefix, "drive_c", *windows_path[3:].split("\\"))

    def setup(self, installer, folder=None):
        """A silent install, through a batch file: /D= must come last and
        unquoted, which no argument list passed on by wine gives."""
        bat = os.path.join(self.prefix, "drive_c", "setup.bat")
        line = '"Z:%s" /S' % installer.replace("/", "\\")
        if folder:
            line += " /D=" + folder
        with open(bat, "w", newline="") as f:
            f.write("@echo off\r\n%s\r\nexit /b %%errorlevel%%\r\n" % line)
        return self.wine("cmd", "/c", "C:\\setup.bat")

    def start_program(self, folder):
        log = self.log_file("korvexsql-%d.log" % len(self.logs))
        self.program = self.start("korvexsql", ["wine", folder + "\\KorvexSQL.exe"],
                                  env=self.wine_env(), stdout=log, stderr=log,
                                  stdin=subprocess.DEVNULL)

    def client(self, window, size):
        """Client-area coordinates to the X window's: Wine draws the frame
        itself when no window manager does, as wide on the left, right and
        bottom."""
        w, h = self.scherm.size(window)
        rand = max(0, (w - size[0]) // 2)
        boven = max(0, h - size[1] - rand)
        return lambda p: (rand + p[0], boven + p[1])

    def caption(self, window):
        """The caption as xprop reads it."""
        out = subprocess.run(["xprop", "-display", self.display, "-id", str(window.id),
                              "_NET_WM_NAME"], capture_output=True, text=True, timeout=10)
        text = out.stdout.strip()
        return text.split(" = ", 1)[1].strip('"') if " = " in text else text

    def hoofdscherm(self, version, timeout):
        title = HOOFDSCHERM + version
        main = wait_for("the main window of %s" % version,
                        lambda: self.program_alive() or self.scherm.find(title), timeout)
        self.settled(main)
        caption = self.caption(main)
        self.check(caption == title, "xprop reads the caption \"%s\", not \"%s\""
                   % (caption, title))
        self.snapshot("hoofdscherm-" + version)
        return main

    def afsluiten(self, main):
        self.scherm.click_in(main, self.client(main, HOOFDSCHERM_GROOTTE)(BUTTON1))
        proces, self.program = self.program, None
        if not self.gone(main, 30):
            raise Fout("KorvexSQL did not close on \"AFSLUITEN\"")
        if proces is not None:
            try:
                code = proces.wait(timeout=30)
            except subprocess.TimeoutExpired:
                raise Fout("KorvexSQL did not end within 30 s of \"AFSLUITEN\"")
            self.check(code == 0, "KorvexSQL ended with exit status %d" % code)

    # ------------------------------------------------------------ checks

    def operator_files(self, folder):
        """What the operator keeps there: path -> content."""
        found = {}
        for name in ("KorvexSQLServer.xml", ZKD, os.path.join(WERKMAP, WERKBESTAND)):
            path = os.path.join(self.unix(folder), name)
            if os.path.isfile(path):
                with open(path, "rb") as f:
                    found[name] = f.read()
        return found

    def stored(self, folder):
        """Settings and working files written as an operator's would be."""
        root = self.unix(folder)
        os.makedirs(os.path.join(root, WERKMAP), exist_ok=True)
        with open(os.path.join(root, WERKMAP, WERKBESTAND), "wb") as f:
            f.write(b"update Installatietest set waarde = 1\r\n")
        with open(os.path.join(root, ZKD), "wb") as f:
            f.write(b"\x00bedrijf\xff")
        lines = ['<?xml version="1.0" encoding="iso-8859-1"?>', "<Configuration>",
                 "  <Hoofdscherm>", "    <FormVersion>0</FormVersion>",
                 "    <P_UPDATES_Checked>FALSE</P_UPDATES_Checked>",
                 "    <P_SQLSERVER_Text>127.0.0.1,1</P_SQLSERVER_Text>",
                 "    <P_DATABASE_Text>master</P_DATABASE_Text>",
                 "    <P_INLOGNAAM_Text>sa</P_INLOGNAAM_Text>",
                 "    <P_VKMID_Text>42</P_VKMID_Text>",
                 "  </Hoofdscherm>", "</Configuration>"]
        with open(os.path.join(root, "KorvexSQLServer.xml"), "wb") as f:
            f.write("".join(line + "\r\n" for line in lines).encode("latin-1"))
        return self.operator_files(folder)

    def same_file(self, a, b):
        with open(a, "rb") as f, open(b, "rb") as g:
            return f.read() == g.read()

    # ------------------------------------------------------------ steps

    def prepare(self):
        self.clear_work()
        self.prefix = os.path.join(self.work, "wine-prefix")
        shutil.rmtree(self.prefix, ignore_errors=True)

    def start_wine(self):
        begin = time.monotonic()
        if self.wine("wineboot", "-i", timeout=300) != 0:
            raise Fout("wineboot could not make the prefix (see the wine logs)")
        print("prefix made in %.0f s" % (time.monotonic() - begin), flush=True)

    def install_default(self):
        """/S alone: the folder for the current user, where the program writes."""
        self.check(self.setup(self.args.old) == 0, "the silent install ended with an error")
        users = os.path.join(self.prefix, "drive_c", "users")
        found = [os.path.join(users, u, "AppData", "Local", "Programs", "Zelvo", "KorvexSQL")
                 for u in os.listdir(users)]
        found = [f for f in found if os.path.isfile(os.path.join(f, "KorvexSQL.exe"))]
        if not found:
            raise Fout("the silent install put no KorvexSQL.exe under the local application data")
        for name in ("KorvexUpdater.exe", "Qt6Core.dll", "platforms", "TempDownloads",
                     "Uninstall.exe"):
            self.check(os.path.exists(os.path.join(found[0], name)),
                       "the install left out %s" % name)
        menu = os.path.join(os.path.dirname(found[0]), "..", "..", "..", "Roaming", "Microsoft",
                            "Windows", "Start Menu", "Programs", "Zelvo Korvex SQL Server.lnk")
        self.check(os.path.isfile(os.path.normpath(menu)), "no Start menu entry")
        self.check(self.wine("reg", "query", UNINSTALL_SLEUTEL) == 0, "no uninstall entry")
        self.uninstall(windows_path(found[0], self.prefix), keeps={})

    def uninstall(self, folder, keeps):
        root = self.unix(folder)
        # The uninstaller runs from a copy of itself and returns at once.
        self.check(self.wine(folder + "\\Uninstall.exe", "/S") == 0, "the uninstall failed")
        try:
            wait_for("the uninstall to end",
                     lambda: not os.path.exists(os.path.join(root, "Uninstall.exe")), 60)
        except Fout as e:
            self.fail(str(e))
        for name in EIGEN_BESTANDEN:
            self.check(not os.path.exists(os.path.join(root, name)),
                       "the uninstall left %s behind" % name)
        self.check(self.operator_files(folder) == keeps,
                   "the uninstall did not keep the settings and working files as they were")
        self.check(self.wine("reg", "query", UNINSTALL_SLEUTEL) != 0,
                   "the uninstall entry is still there")

    def install_and_upgrade(self):
        self.check(self.setup(self.args.old, MAP) == 0, "the install into %s failed" % MAP)
        self.start_program(MAP)
        main = self.hoofdscherm(self.args.old_version, 60)
        # Not over the running program: silently the installer waits, then gives up.
        exe = os.path.join(self.unix(MAP), "KorvexSQL.exe")
        with open(exe, "rb") as f:
            running = f.read()
        self.check(self.setup(self.args.new, MAP) == 3,
                   "the installer did not give up on the running KorvexSQL.exe with status 3")
        with open(exe, "rb") as f:
            self.check(f.read() == running, "the installer replaced the running KorvexSQL.exe")
        self.afsluiten(main)
        kept = self.stored(MAP)
        self.check(self.setup(self.args.new, MAP) == 0, "the upgrade ended with an error")
        self.check(self.same_file(os.path.join(self.unix(MAP), "KorvexSQL.exe"),
                                  self.args.new_exe),
                   "after the upgrade KorvexSQL.exe is not the newer version's")
        self.check(self.operator_files(MAP) == kept,
                   "the upgrade did not keep the settings and working files as they were")
        self.uninstall(MAP, kept)
        return kept

    def start_server(self):
        base = os.path.dirname(self.args.manifest_path)
        routes = {}
        for name in os.listdir(self.args.server):
            path = os.path.join(self.args.server, name)
            head = ("HTTP/1.0 200 OK\r\nContent-Type: application/octet-stream\r\n"
                    "Content-Length: %d\r\n\r\n" % os.path.getsize(path))
            routes["HEAD %s/%s" % (base, name)] = [{"raw": head}]
            routes["%s/%s" % (base, name)] = [{"raw": head}, {"file": path}]
        rules = os.path.join(self.work, "http-rules.json")
        with open(rules, "w") as f:
            json.dump({"routes": routes}, f)
        self.peer("httppeer", "httppeer.py", [
            "--rules", rules, "--journal", os.path.join(self.work, "http-journal.txt"),
            "--port", str(self.args.http_port)], fixed_port=self.args.http_port)

    def self_update(self, kept):
        self.check(self.setup(self.args.old, MAP) == 0, "the install for the update failed")
        self.check(self.operator_files(MAP) == kept, "the reinstall changed the operator's files")
        begin = time.monotonic()
        self.start_program(MAP)
        main = self.hoofdscherm(self.args.old_version, 60)
        self.scherm.click_in(main, self.client(main, HOOFDSCHERM_GROOTTE)(BUTTON2))
        melding = self.window(MELDING, 30)
        self.settled(melding)
        self.snapshot("melding")
        self.scherm.click_in(melding, self.client(melding, MELDING_GROOTTE)(DOWNLOAD))
        info = self.window(INFORMATIE, 60)
        self.settled(info)
        self.snapshot("gaat-starten")
        w, h = self.scherm.size(info)
        self.scherm.click_in(info, (w // 2, h // 3))
        time.sleep(0.2)
        self.scherm.key(rooktest.Xlib.XK.string_to_keysym("Return"))
        try:
            self.program.wait(timeout=30)
        except subprocess.TimeoutExpired:
            raise Fout("KorvexSQL did not end after \"Zelvo Korvex\u00ae Fernaxo gaat nu starten\"")
        self.program = None
        main = self.hoofdscherm(self.args.new_version, 180)
        print("self-update: %.0f s from the start of %s to the window of %s"
              % (time.monotonic() - begin, self.args.old_version, self.args.new_version),
              flush=True)
        root = self.unix(MAP)
        self.check(self.same_file(os.path.join(root, "KorvexSQL.exe"), self.args.new_exe),
                   "after the update KorvexSQL.exe is not the newer version's")
        self.check(os.listdir(os.path.join(root, "TempDownloads")) == [],
                   "the installer was left in TempDownloads: %s"
                   % os.listdir(os.path.join(root, "TempDownloads")))
        journal = self.journal("http-journal.txt")
        self.check("KorvexSetup-%s.exe" % self.args.new_version in journal,
                   "the HTTP server never saw the download")
        self.afsluiten(main)
        now = self.operator_files(MAP)
        self.check(now.get(ZKD) == kept[ZKD] and
                   now.get(os.path.join(WERKMAP, WERKBESTAND)) == kept[os.path.join(WERKMAP,
                                                                                    WERKBESTAND)],
                   "the working files changed across the update")
        self.check(b"<P_SQLSERVER_Text>127.0.0.1,1</P_SQLSERVER_Text>"
                   in now.get("KorvexSQLServer.xml", b""),
                   "the settings were lost across the update")

    def run(self):
        self.prepare()
        self.start_xvfb()
        self.start_wine()
        self.install_default()
        kept = self.install_and_upgrade()
        self.start_server()
        self.self_update(kept)
        self.snapshot("klaar")

    def stop_all(self):
        # Whatever still runs in this run's prefix, the restarted program too.
        if self.scherm:
            subprocess.run(["wineserver", "-k"], env=self.wine_env(), stderr=subprocess.DEVNULL)
        super().stop_all()


def windows_path(path, prefix):
    rel = os.path.relpath(path, os.path.join(prefix, "drive_c"))
    return "C:\\" + rel.replace("/", "\\")


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    for name in ("--old", "--old-version", "--new", "--new-version", "--new-exe", "--server",
                 "--peers", "--manifest-path", "--work"):
        ap.add_argument(name, required=True)
    ap.add_argument("--http-port", type=int, required=True)
    begin = time.monotonic()
    status = rooktest.draai(Installatietest(ap.parse_args()))
    print("installer run: %.0f s" % (time.monotonic() - begin))
    return status


if __name__ == "__main__":
    sys.exit(main())
