#!/usr/bin/env python3
"""Draws the application icon: a cobweb on a dark blue tile with a yellow
cogwheel in front of it (a launcher that keeps settings). Writes a Windows
icon file with a 32x32 and a 16x16 image of 16 colours (4 bits per pixel,
the standard VGA palette, transparent outside the tile).

Usage: make_icon.py [ICO] [--preview PNG]
  ICO      where to write the icon (default: resources/cobweld.ico beside
           this script's repository)
  PNG      also write an enlarged preview of both images on a grey ground

Standard library only, so that the icon can be rebuilt anywhere.
"""
import math
import os
import struct
import sys
import zlib

# The 16 colours of the Windows VGA palette, in the order icons use them.
PALETTE = [
    (0x00, 0x00, 0x00), (0x80, 0x00, 0x00), (0x00, 0x80, 0x00), (0x80, 0x80, 0x00),
    (0x00, 0x00, 0x80), (0x80, 0x00, 0x80), (0x00, 0x80, 0x80), (0x80, 0x80, 0x80),
    (0xC0, 0xC0, 0xC0), (0xFF, 0x00, 0x00), (0x00, 0xFF, 0x00), (0xFF, 0xFF, 0x00),
    (0x00, 0x00, 0xFF), (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0xFF), (0xFF, 0xFF, 0xFF),
]
BLACK, NAVY, GRAY, SILVER, YELLOW, WHITE, OLIVE, TEAL = 0, 4, 7, 8, 11, 15, 3, 6
TRANSPARENT = None


def seg_dist(px, py, ax, ay, bx, by):
    """Distance from a point to a line segment."""
    dx, dy = bx - ax, by - ay
    length2 = dx * dx + dy * dy
    t = 0.0 if length2 == 0 else max(0.0, min(1.0, ((px - ax) * dx + (py - ay) * dy) / length2))
    cx, cy = ax + t * dx, ay + t * dy
    return math.hypot(px - cx, py - cy)


def in_tile(x, y, size, radius):
    """Inside a square of the given size with rounded corners."""
    r = radius
    cx = min(max(x, r), size - r)
    cy = min(max(y, r), size - r)
    return math.hypot(x - cx, y - cy) <= r


def web_segments(cx, cy, radius, spokes, rings, sag):
    """Spokes from the centre and, between neighbouring spokes, threads that
    sag towards the centre like a real web."""
    segs = []
    angles = [2 * math.pi * k / spokes + math.pi / spokes / 2 for k in range(spokes)]
    for a in angles:
        segs.append((cx, cy, cx + radius * math.cos(a), cy + radius * math.sin(a)))
    for i in range(1, rings + 1):
        r = radius * i / (rings + 0.35)
        for k in range(spokes):
            a0, a1 = angles[k], angles[(k + 1) % spokes]
            if a1 < a0:
                a1 += 2 * math.pi
            # Two straight pieces per thread, bent inwards at the middle.
            am = (a0 + a1) / 2
            rm = r * (1 - sag)
            p0 = (cx + r * math.cos(a0), cy + r * math.sin(a0))
            pm = (cx + rm * math.cos(am), cy + rm * math.sin(am))
            p1 = (cx + r * math.cos(a1), cy + r * math.sin(a1))
            segs.append((p0[0], p0[1], pm[0], pm[1]))
            segs.append((pm[0], pm[1], p1[0], p1[1]))
    return segs


def gear_inside(x, y, cx, cy, r_out, r_in, teeth, r_hole):
    d = math.hypot(x - cx, y - cy)
    if d <= r_hole:
        return False
    if d <= r_in:
        return True
    if d > r_out:
        return False
    a = (math.atan2(y - cy, x - cx) / (2 * math.pi) * teeth) % 1.0
    return 0.25 <= a <= 0.75


def line_pixels(ax, ay, bx, by):
    """The pixels of a one-pixel line (Bresenham), so threads stay crisp."""
    x0, y0, x1, y1 = (int(math.floor(v)) for v in (ax, ay, bx, by))
    dx, dy = abs(x1 - x0), -abs(y1 - y0)
    sx, sy = (1 if x0 < x1 else -1), (1 if y0 < y1 else -1)
    err = dx + dy
    while True:
        yield x0, y0
        if x0 == x1 and y0 == y1:
            return
        e2 = 2 * err
        if e2 >= dy:
            err += dy
            x0 += sx
        if e2 <= dx:
            err += dx
            y0 += sy


def draw(size):
    """The picture at one size, as rows of palette indices (None: transparent)."""
    tile_r = 5 * size / 32.0
    if size >= 32:
        spokes = web_segments(12.5, 12.5, 17, 8, 0, 0)
        rings = web_segments(12.5, 12.5, 17, 8, 3, 0.14)[8:]
        gear = (23.5, 23.5, 8.2, 5.9, 8, 2.6)
    else:
        spokes = web_segments(6.0, 6.0, 9, 8, 0, 0)
        rings = web_segments(6.0, 6.0, 9, 8, 2, 0.1)[8:]
        gear = (11.5, 11.5, 4.6, 3.3, 6, 1.0)

    def gear_at(x, y):
        return gear_inside(x, y, *gear)

    threads = {}
    for sg in rings:
        for p in line_pixels(*sg):
            threads[p] = SILVER
    for sg in spokes:
        for p in line_pixels(*sg):
            threads[p] = WHITE

    rows = []
    for y in range(size):
        row = []
        for x in range(size):
            px, py = x + 0.5, y + 0.5
            if not in_tile(px, py, size, tile_r):
                row.append(TRANSPARENT)
            elif gear_at(px, py):
                row.append(YELLOW)
            elif any(gear_at(px + dx, py + dy) for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1))):
                # A black rim keeps the cogwheel apart from the threads.
                row.append(BLACK)
            else:
                row.append(threads.get((x, y), NAVY))
        rows.append(row)
    return rows


def bmp_image(rows):
    """The icon image: BITMAPINFOHEADER, palette, 4-bit colour bits and the
    1-bit transparency mask, both bottom-up with rows padded to 4 bytes."""
    size = len(rows)
    xor_stride = ((size * 4 + 31) // 32) * 4
    and_stride = ((size + 31) // 32) * 4
    xor = bytearray()
    mask = bytearray()
    for row in reversed(rows):
        line = bytearray(xor_stride)
        bits = bytearray(and_stride)
        for x, c in enumerate(row):
            value = 0 if c is None else c
            if x % 2 == 0:
                line[x // 2] |= value << 4
            else:
                line[x // 2] |= value
            if c is None:
                bits[x // 8] |= 0x80 >> (x % 8)
        xor += line
        mask += bits
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 4, 0,
                         len(xor) + len(mask), 0, 0, 16, 0)
    palette = b''.join(struct.pack('BBBB', b, g, r, 0) for r, g, b in PALETTE)
    return header + palette + bytes(xor) + bytes(mask)


def ico_file(images):
    """images: list of (size, image bytes)."""
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in images:
        out += struct.pack('<BBBBHHII', size % 256, size % 256, 16, 0, 1, 4, len(data), offset)
        offset += len(data)
    for _, data in images:
        out += data
    return out


def png_preview(pictures, scale=8):
    """Both images enlarged side by side on a light grey ground."""
    gap = 8
    width = sum(len(p) * scale for p in pictures) + gap * (len(pictures) + 1)
    height = max(len(p) for p in pictures) * scale + 2 * gap
    ground = (0xD8, 0xD8, 0xD8)
    pixels = [[ground] * width for _ in range(height)]
    left = gap
    for rows in pictures:
        for y, row in enumerate(rows):
            for x, c in enumerate(row):
                if c is None:
                    continue
                for yy in range(scale):
                    for xx in range(scale):
                        pixels[gap + y * scale + yy][left + x * scale + xx] = PALETTE[c]
        left += len(rows) * scale + gap
    raw = b''.join(b'\0' + bytes(v for px in line for v in px) for line in pixels)

    def chunk(kind, data):
        body = kind + data
        return struct.pack('>I', len(data)) + body + struct.pack('>I', zlib.crc32(body) & 0xffffffff)

    return (b'\x89PNG\r\n\x1a\n'
            + chunk(b'IHDR', struct.pack('>IIBBBBB', width, height, 8, 2, 0, 0, 0))
            + chunk(b'IDAT', zlib.compress(raw, 9))
            + chunk(b'IEND', b''))


def main(argv):
    here = os.path.dirname(os.path.abspath(__file__))
    target = os.path.join(here, '..', 'resources', 'cobweld.ico')
    preview = None
    args = list(argv)
    while args:
        a = args.pop(0)
        if a == '--preview' and args:
            preview = args.pop(0)
        elif a.startswith('-'):
            print(__doc__, file=sys.stderr)
            return 2
        else:
            target = a
    pictures = [draw(32), draw(16)]
    with open(target, 'wb') as f:
        f.write(ico_file([(len(p), bmp_image(p)) for p in pictures]))
    if preview:
        with open(preview, 'wb') as f:
            f.write(png_preview(pictures))
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv[1:]))
