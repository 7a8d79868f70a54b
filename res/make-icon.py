#!/usr/bin/env python3
"""Draws the OrvoDiag application icon and writes it as OrvoDiag.ico.

A rounded blue tile with a white magnifying glass over an amber pulse line:
the tool looks closely at the workstation. Sizes 16, 24, 32, 48 (bitmaps) and
256 (PNG), each rendered with 4x4 supersampling so edges are smooth.
Run it again after changing the drawing; the .ico is kept in the tree so that a
build needs no Python.
"""
import math
import struct
import sys
import zlib

SS = 4  # supersampling per axis


def mix(a, b, t):
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(len(a)))


def over(dst, src, alpha):
    """Composites src (rgb) with coverage alpha over dst (r, g, b, a)."""
    if alpha <= 0:
        return dst
    r, g, b, a = dst
    out_a = alpha + a * (1 - alpha)
    if out_a <= 0:
        return (0, 0, 0, 0)
    blend = lambda s, d: (s * alpha + d * a * (1 - alpha)) / out_a
    return (blend(src[0], r), blend(src[1], g), blend(src[2], b), out_a)


def rounded_box(x, y, x0, y0, x1, y1, radius):
    """Signed distance to a rounded rectangle (negative inside)."""
    cx, cy = (x0 + x1) / 2, (y0 + y1) / 2
    hx, hy = (x1 - x0) / 2 - radius, (y1 - y0) / 2 - radius
    qx, qy = abs(x - cx) - hx, abs(y - cy) - hy
    outside = math.hypot(max(qx, 0), max(qy, 0))
    return outside + min(max(qx, qy), 0) - radius


def segment(x, y, ax, ay, bx, by):
    """Distance from a point to a line segment."""
    dx, dy = bx - ax, by - ay
    t = max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / (dx * dx + dy * dy)))
    return math.hypot(x - (ax + t * dx), y - (ay + t * dy))


PULSE = [(0.20, 0.47), (0.30, 0.47), (0.35, 0.36), (0.42, 0.60), (0.48, 0.40), (0.52, 0.47), (0.62, 0.47)]


def sample(u, v):
    """Colour (r, g, b, a) of the icon at u, v in 0..1."""
    pixel = (0.0, 0.0, 0.0, 0.0)
    box = rounded_box(u, v, 0.04, 0.04, 0.96, 0.96, 0.18)
    if box < 0:
        top, bottom = (64, 140, 222), (22, 72, 148)
        pixel = over(pixel, mix(top, bottom, v), 1.0)
        # a faint lighter band along the top edge
        if box > -0.035 and v < 0.5:
            pixel = over(pixel, (255, 255, 255), 0.18)
    # the pulse line inside the lens
    cx, cy, radius = 0.42, 0.44, 0.25
    inside_lens = math.hypot(u - cx, v - cy) < radius - 0.035
    if box < 0 and inside_lens:
        pixel = over(pixel, (255, 255, 255), 0.16)
        d = min(segment(u, v, *PULSE[i], *PULSE[i + 1]) for i in range(len(PULSE) - 1))
        if d < 0.028:
            pixel = over(pixel, (255, 196, 64), 1.0)
    # the lens ring and the handle
    ring = abs(math.hypot(u - cx, v - cy) - radius)
    handle = segment(u, v, cx + radius * 0.74, cy + radius * 0.74, 0.80, 0.82)
    if box < 0 and (ring < 0.045 or handle < 0.062):
        pixel = over(pixel, (255, 255, 255), 1.0)
    return pixel


def render(size):
    rows = []
    for y in range(size):
        row = []
        for x in range(size):
            acc = [0.0, 0.0, 0.0, 0.0]
            for sy in range(SS):
                for sx in range(SS):
                    r, g, b, a = sample((x + (sx + 0.5) / SS) / size, (y + (sy + 0.5) / SS) / size)
                    acc[0] += r * a
                    acc[1] += g * a
                    acc[2] += b * a
                    acc[3] += a
            n = SS * SS
            alpha = acc[3] / n
            if alpha > 0:
                colour = tuple(int(round(acc[i] / acc[3])) for i in range(3))
            else:
                colour = (0, 0, 0)
            row.append(colour + (int(round(alpha * 255)),))
        rows.append(row)
    return rows


def bmp_image(rows):
    size = len(rows)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = bytearray()
    for row in reversed(rows):
        for r, g, b, a in row:
            pixels += bytes((b, g, r, a))
    mask_stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(rows):
        bits = bytearray(mask_stride)
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    return header + bytes(pixels) + bytes(mask)


def png_image(rows):
    size = len(rows)
    raw = bytearray()
    for row in rows:
        raw.append(0)
        for pixel in row:
            raw += bytes(pixel)
    chunk = lambda kind, data: (struct.pack(">I", len(data)) + kind + data +
                                struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b""))


def main(path):
    images = [(s, bmp_image(render(s))) for s in (16, 24, 32, 48)]
    images.append((256, png_image(render(256))))
    out = bytearray(struct.pack("<HHH", 0, 1, len(images)))
    offset = 6 + 16 * len(images)
    for size, data in images:
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    for _, data in images:
        out += data
    with open(path, "wb") as f:
        f.write(out)


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "OrvoDiag.ico")
