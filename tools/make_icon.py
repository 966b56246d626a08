#!/usr/bin/env python3
"""Draws parcelo's icon, an envelope cut in two along a dashed line, and writes it
as ui/win32/parcelo.ico with a 32x32 and a 16x16 image (32-bit BMP entries with
alpha and the AND mask older readers want). Pure Python, deterministic."""

import struct
import sys
from pathlib import Path

SIZES = (32, 16)
SAMPLES = 8  # per pixel and axis; the shapes are drawn by supersampling

PAPER = (250, 240, 214)
INK = (84, 62, 40)
CUT = (200, 40, 32)


def _near_segment(x, y, ax, ay, bx, by, half_width):
    dx, dy = bx - ax, by - ay
    t = max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / (dx * dx + dy * dy)))
    px, py = ax + t * dx - x, ay + t * dy - y
    return px * px + py * py <= half_width * half_width


def _colour_at(x, y, size):
    """The colour at a point of the unit square (y downwards), or None."""
    # Thicker strokes for the small image, so that they survive at 16 pixels.
    stroke = 0.05 if size >= 32 else 0.075
    left, right, top, bottom = 0.05, 0.95, 0.22, 0.80
    # The cut: a vertical dashed line down the middle, over everything else.
    if abs(x - 0.5) <= stroke * 0.9 and 0.06 <= y <= 0.96 and (y - 0.06) % 0.18 < 0.11:
        return CUT
    # The two halves are pulled apart a little along the cut.
    shift = 0.035 if x < 0.5 else -0.035
    y += shift
    if not (left <= x <= right and top <= y <= bottom):
        return None
    if min(x - left, right - x, y - top, bottom - y) <= stroke:
        return INK
    if _near_segment(x, y, left, top, 0.5, 0.56, stroke * 0.8) or \
            _near_segment(x, y, right, top, 0.5, 0.56, stroke * 0.8):
        return INK
    return PAPER


def render(size):
    """size x size pixels as rows of (r, g, b, a), top row first."""
    rows = []
    for row in range(size):
        pixels = []
        for column in range(size):
            totals, hits = [0, 0, 0], 0
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    colour = _colour_at((column + (sx + 0.5) / SAMPLES) / size,
                                        (row + (sy + 0.5) / SAMPLES) / size, size)
                    if colour:
                        hits += 1
                        totals = [t + c for t, c in zip(totals, colour)]
            if hits:
                pixels.append(tuple(round(t / hits) for t in totals) +
                              (round(255 * hits / SAMPLES ** 2),))
            else:
                pixels.append((0, 0, 0, 0))
        rows.append(pixels)
    return rows


def bmp_entry(rows):
    """The image as an icon entry: header, BGRA rows bottom-up, 1-bit AND mask."""
    size = len(rows)
    colour = b"".join(bytes((b, g, r, a)) for row in reversed(rows) for r, g, b, a in row)
    mask_stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(rows):
        bits = bytearray(mask_stride)
        for column, pixel in enumerate(row):
            if pixel[3] == 0:
                bits[column // 8] |= 0x80 >> (column % 8)
        mask += bits
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0,
                         len(colour) + len(mask), 0, 0, 0, 0)
    return header + colour + bytes(mask)


def icon_file(images):
    """ICONDIR, one ICONDIRENTRY per image, then the images."""
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in images:
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    return out + b"".join(data for _, data in images)


def main():
    target = Path(sys.argv[1]) if len(sys.argv) > 1 else \
        Path(__file__).resolve().parents[1] / "ui" / "win32" / "parcelo.ico"
    target.write_bytes(icon_file([(size, bmp_entry(render(size))) for size in SIZES]))
    print(f"{target}: {target.stat().st_size} bytes")


if __name__ == "__main__":
    main()
