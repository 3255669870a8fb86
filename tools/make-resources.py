#!/usr/bin/python3
"""Generates the program's sound clips and pictures into resources/.

The clips and pictures are committed; run this again only to change them.
Stdlib only, so it runs on a bare machine.
"""
import math
import os
import struct
import wave
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
RES = os.path.join(HERE, "..", "resources")
RATE = 22050

# name: list of (frequency Hz, duration s); 0 Hz is a pause.
CLIPS = {
    "SIGNOFF": [(880, 0.09), (660, 0.09), (440, 0.16)],
    "ERROR": [(220, 0.12), (0, 0.04), (196, 0.22)],
    "BUDDYOFF": [(587, 0.08), (392, 0.12)],
    "BUDDYON": [(392, 0.08), (587, 0.12)],
    "CHIME": [(1047, 0.1), (1319, 0.1), (1568, 0.2)],
    "LEFT": [(494, 0.15), (370, 0.15)],
    "NEG": [(150, 0.3)],
    "NEWMSG": [(988, 0.06), (0, 0.03), (988, 0.06)],
    "ONLINE": [(523, 0.07), (659, 0.07), (784, 0.14)],
    "PAS": [(700, 0.05)],
    "RING": [(1200, 0.05), (900, 0.05)] * 3,
    "ROOM": [(330, 0.1), (415, 0.1), (494, 0.1)],
    "SIGNON": [(440, 0.09), (660, 0.09), (880, 0.16)],
    "SWITCH": [(1500, 0.02), (0, 0.02), (1000, 0.02)],
    "TYPE": [(2000, 0.015)],
}


def write_clip(path, notes):
    frames = bytearray()
    for freq, dur in notes:
        n = int(RATE * dur)
        for i in range(n):
            # short fade in and out so the clips do not click
            env = min(1.0, i / 200.0, (n - i) / 200.0)
            v = 0.0 if freq == 0 else math.sin(2 * math.pi * freq * i / RATE) * 0.45 * env
            frames += struct.pack("<h", int(v * 32767))
    with wave.open(path, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(RATE)
        w.writeframes(bytes(frames))


def write_png(path, width, height, pixel):
    # RGBA, so that an icon can leave its background transparent
    raw = bytearray()
    for y in range(height):
        raw.append(0)
        for x in range(width):
            p = pixel(x, y)
            raw += bytes(p if len(p) == 4 else tuple(p) + (255,))

    def chunk(kind, data):
        c = struct.pack(">I", len(data)) + kind + data
        return c + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)

    png = b"\x89PNG\r\n\x1a\n"
    png += chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(bytes(raw), 9))
    png += chunk(b"IEND", b"")
    with open(path, "wb") as f:
        f.write(png)


def mix(a, b, t):
    t = max(0.0, min(1.0, t))
    return tuple(int(a[i] + (b[i] - a[i]) * t) for i in range(3))


def city_at_dusk(x, y, w=283, h=428):
    horizon = int(h * 0.62)
    if y < horizon:
        sky = mix((18, 32, 74), (236, 140, 60), (y / horizon) ** 1.6)
        # skyline: blocks of varying height
        block = x // 23
        top = horizon - (40 + (block * 37) % 90)
        if y > top:
            lit = (x // 5 + y // 7) % 5 == 0 and (x % 5) in (1, 2) and (y % 7) in (2, 3, 4)
            return (250, 214, 120) if lit else (24, 24, 38)
        return sky
    # road in perspective with a dashed centre line
    t = (y - horizon) / (h - horizon)
    half = 6 + t * 150
    centre = w / 2
    if abs(x - centre) < half:
        if abs(x - centre) < 1 + t * 3 and int((1 / (t + 0.05)) * 3) % 2 == 0:
            return (240, 220, 90)
        return mix((60, 60, 66), (38, 38, 44), t)
    return mix((34, 58, 40), (20, 36, 24), t)


def database_icon(x, y, s=48):
    cx, rx = 24, 17
    body_top, body_bottom, ry = 10, 38, 6
    dx = (x - cx) / rx
    if abs(dx) <= 1:
        e = ry * math.sqrt(max(0.0, 1 - dx * dx))
        if body_top - e <= y <= body_top + e:
            return (120, 190, 240)
        if body_top <= y <= body_bottom + e:
            band = any(abs(y - (b + e)) < 1.2 for b in (19, 28))
            shade = 0.55 + 0.45 * (1 - abs(dx))
            base = (30, 110, 200) if not band else (200, 230, 250)
            return tuple(int(c * shade) for c in base)
    return (0, 0, 0, 0)


def main():
    os.makedirs(os.path.join(RES, "wave"), exist_ok=True)
    os.makedirs(os.path.join(RES, "pictures"), exist_ok=True)
    for name, notes in CLIPS.items():
        write_clip(os.path.join(RES, "wave", name + ".wav"), notes)
    write_png(os.path.join(RES, "pictures", "Image1.png"), 283, 428, city_at_dusk)
    write_png(os.path.join(RES, "pictures", "Image2.png"), 48, 48, database_icon)


if __name__ == "__main__":
    main()
