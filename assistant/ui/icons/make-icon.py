#!/usr/bin/env python3
"""Draws the assistant's program icon (a white check mark in a blue disc) and writes it
as QV_Assistant.ico: 32x32 and 16x16 images, 32-bit BGRA bitmaps with their AND masks."""
import math
import struct
import sys


def pixels(size):
    """Rows top first of (b, g, r, a), antialiased by 4x4 supersampling."""
    rows = []
    c = size / 2.0
    radius = size / 2.0 - 0.5
    # the check mark as two thick segments, in units of the icon's size
    stroke = size * 0.11
    a = (0.27 * size, 0.52 * size)
    b = (0.44 * size, 0.69 * size)
    d = (0.74 * size, 0.33 * size)

    def seg_dist(p, q, r):
        px, py = p
        qx, qy = q
        rx, ry = r
        dx, dy = rx - qx, ry - qy
        t = max(0.0, min(1.0, ((px - qx) * dx + (py - qy) * dy) / (dx * dx + dy * dy)))
        return math.hypot(px - (qx + t * dx), py - (qy + t * dy))

    for y in range(size):
        row = []
        for x in range(size):
            disc = mark = 0
            for sy in range(4):
                for sx in range(4):
                    p = (x + (sx + 0.5) / 4, y + (sy + 0.5) / 4)
                    if math.hypot(p[0] - c, p[1] - c) <= radius:
                        disc += 1
                        if min(seg_dist(p, a, b), seg_dist(p, b, d)) <= stroke:
                            mark += 1
            alpha = disc / 16.0
            white = mark / max(disc, 1)
            # blue (30, 110, 200) shading to a lighter top
            shade = 1.0 - 0.25 * (y / size)
            blue = (int(200 * shade + 55 * (1 - shade)), int(110 * shade + 60 * (1 - shade)), int(30 * shade))
            col = [int(blue[i] * (1 - white) + 255 * white) for i in range(3)]
            row.append((col[0], col[1], col[2], int(round(alpha * 255))))
        rows.append(row)
    return rows


def image(size):
    rows = pixels(size)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    xor = b"".join(bytes(p) for row in reversed(rows) for p in row)
    stride = ((size + 31) // 32) * 4
    mask = b""
    for row in reversed(rows):
        bits = bytearray(stride)
        for x, p in enumerate(row):
            if p[3] == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bytes(bits)
    return header + xor + mask


def main(out):
    images = [image(32), image(16)]
    data = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, img in zip((32, 16), images):
        data += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(img), offset)
        offset += len(img)
    data += b"".join(images)
    with open(out, "wb") as f:
        f.write(data)


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "QV_Assistant.ico")
