#!/usr/bin/python3
"""Publishes a signed KorvexSetup.exe in the update manifest.

Run: /usr/bin/python3 tools/release.py --setup KorvexSetup.exe --version a.b.c.d
     --key KEY.pem --url URL --manifest Updates.txt

Copies the installer beside the manifest as KorvexSetup-<version>.exe, signs
it with tools/sign-update and writes the manifest's KorvexSQL section anew:
Version, DownloadFileURL (URL + "/" + that file name), CRC32Hash, MD5Hash,
SHA1Hash and EdSignature; its other keys and the other sections stay. A new
manifest is made when there is none. The program offers an update only when
the manifest's Version compares greater, as text, than its own, so a version
that does not compare greater than the one it replaces is refused.
"""

import argparse
import hashlib
import os
import re
import shutil
import subprocess
import sys
import tempfile
import zlib

SECTION = "KorvexSQL"
SET_KEYS = ("Version", "DownloadFileURL", "CRC32Hash", "MD5Hash", "SHA1Hash", "EdSignature")
ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def fail(message):
    sys.exit("release: " + message)


def read_manifest(path):
    """(lines, encoding) of the manifest; none yet gives ([], cp1252)."""
    if not os.path.exists(path):
        return [], "cp1252"
    with open(path, "rb") as f:
        data = f.read()
    if data.startswith(b"\xff\xfe") or data.startswith(b"\xfe\xff"):
        encoding = "utf-16"
    else:
        encoding = "cp1252"
    return re.split(r"\r\n|\r|\n", data.decode(encoding)), encoding


def section_bounds(lines):
    """(first, end) line indexes of the section's keys, or None."""
    start = None
    for i, line in enumerate(lines):
        head = re.match(r"\s*\[(.*)\]", line)
        if head:
            if start is not None:
                return start, i
            if head.group(1).strip().lower() == SECTION.lower():
                start = i + 1
    return (start, len(lines)) if start is not None else None


def value(text):
    """A value as the profile reader gives it: blanks dropped, one pair of quotes."""
    text = text.strip()
    if len(text) >= 2 and text[0] == text[-1] and text[0] in "'\"":
        text = text[1:-1]
    return text


def key_of(line):
    if "=" not in line:
        return None
    return line.split("=", 1)[0].strip().lower()


def less_as_text(a, b):
    # The program compares UTF-16 code units; big-endian bytes sort the same.
    return a.encode("utf-16-be") < b.encode("utf-16-be")


def main():
    p = argparse.ArgumentParser()
    for name in ("--setup", "--version", "--key", "--url", "--manifest"):
        p.add_argument(name, required=True)
    a = p.parse_args()
    if not re.fullmatch(r"[0-9]+(\.[0-9]+){3}", a.version):
        fail("the version must be four numbers a.b.c.d, not %r" % a.version)
    if not a.url or any(c in a.url for c in "\r\n\"' "):
        fail("the URL may not be empty or hold blanks, quotes or line ends")
    if not os.path.isfile(a.setup):
        fail("no installer %r" % a.setup)

    lines, encoding = read_manifest(a.manifest)
    bounds = section_bounds(lines)
    old = ""
    if bounds:
        for line in lines[bounds[0]:bounds[1]]:
            if key_of(line) == "version":
                old = value(line.split("=", 1)[1])
                break
    if not less_as_text(old, a.version):
        fail("version %s does not compare greater, as text, than %s in %s: the program "
             "would never offer it" % (a.version, old, a.manifest))

    folder = os.path.dirname(os.path.abspath(a.manifest))
    os.makedirs(folder, exist_ok=True)
    name = "KorvexSetup-%s.exe" % a.version
    target = os.path.join(folder, name)
    shutil.copyfile(a.setup, target)
    with open(target, "rb") as f:
        data = f.read()
    signed = subprocess.run([os.path.join(ROOT, "tools", "sign-update"), "sign", target,
                             a.version, a.key], capture_output=True, text=True)
    if signed.returncode != 0 or not signed.stdout.startswith("EdSignature="):
        fail("signing failed: " + signed.stderr.strip())
    values = {
        "Version": a.version,
        "DownloadFileURL": a.url.rstrip("/") + "/" + name,
        "CRC32Hash": "%08X" % (zlib.crc32(data) & 0xFFFFFFFF),
        "MD5Hash": hashlib.md5(data).hexdigest().upper(),
        "SHA1Hash": hashlib.sha1(data).hexdigest().upper(),
        "EdSignature": signed.stdout.strip().split("=", 1)[1],
    }
    new = ["%s=%s" % (k, values[k]) for k in SET_KEYS]
    if bounds:
        keep = [line for line in lines[bounds[0]:bounds[1]]
                if key_of(line) not in {k.lower() for k in SET_KEYS} and line.strip()]
        lines = lines[:bounds[0]] + new + keep + [""] + lines[bounds[1]:]
    else:
        while lines and not lines[-1].strip():
            lines.pop()
        lines = lines + ([""] if lines else []) + ["[%s]" % SECTION] + new
    while lines and not lines[-1].strip():
        lines.pop()
    text = "".join(line + "\r\n" for line in lines)

    # Whole or not at all: the server may be reading the old one meanwhile.
    fd, tmp = tempfile.mkstemp(dir=folder, prefix=".Updates-")
    with os.fdopen(fd, "wb") as f:
        f.write(text.encode(encoding))
    os.replace(tmp, a.manifest)
    print("%s: %s %s" % (a.manifest, SECTION, a.version))


if __name__ == "__main__":
    main()
