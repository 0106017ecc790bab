#!/usr/bin/env python3
"""Draws the certificate list's pictures: the system-certificate and key-certificate icons
(128 x 128) and the frame drawn over them (62 x 62), 8-bit RGBA PNGs. Standard library only.

    python3 draw_images.py [output folder]    (default: next to this script)
"""
import math
import os
import struct
import sys
import zlib

SAMPLES = 3  # supersampling per axis, for smooth edges


def write_png(path, width, height, pixels):
    """pixels: rows of (r, g, b, a) tuples."""
    raw = bytearray()
    for row in pixels:
        raw.append(0)
        for r, g, b, a in row:
            raw += bytes((r, g, b, a))

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    png = b"\x89PNG\r\n\x1a\n"
    png += chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(bytes(raw), 9))
    png += chunk(b"IEND", b"")
    with open(path, "wb") as f:
        f.write(png)


def rounded_rect(x0, y0, x1, y1, r):
    def inside(x, y):
        if not (x0 <= x <= x1 and y0 <= y <= y1):
            return False
        cx = min(max(x, x0 + r), x1 - r)
        cy = min(max(y, y0 + r), y1 - r)
        return (x - cx) ** 2 + (y - cy) ** 2 <= r * r
    return inside


def circle(cx, cy, r):
    return lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def ring(cx, cy, r_out, r_in):
    return lambda x, y: r_in * r_in <= (x - cx) ** 2 + (y - cy) ** 2 <= r_out * r_out


def rect(x0, y0, x1, y1):
    return lambda x, y: x0 <= x <= x1 and y0 <= y <= y1


def polygon(points):
    def inside(x, y):
        n, hit = len(points), False
        for i in range(n):
            (ax, ay), (bx, by) = points[i], points[(i + 1) % n]
            if (ay > y) != (by > y) and x < (bx - ax) * (y - ay) / (by - ay) + ax:
                hit = not hit
        return hit
    return inside


def render(size, layers):
    """layers: (shape, colour) painted in order; colour (r, g, b, a)."""
    out = []
    for py in range(size):
        row = []
        for px in range(size):
            acc = [0.0, 0.0, 0.0, 0.0]  # premultiplied
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    x = px + (sx + 0.5) / SAMPLES
                    y = py + (sy + 0.5) / SAMPLES
                    r = g = b = a = 0.0
                    for shape, (cr, cg, cb, ca) in layers:
                        if shape(x, y):
                            al = ca / 255.0
                            r = cr * al + r * (1 - al)
                            g = cg * al + g * (1 - al)
                            b = cb * al + b * (1 - al)
                            a = al + a * (1 - al)
                    acc[0] += r
                    acc[1] += g
                    acc[2] += b
                    acc[3] += a
            n = SAMPLES * SAMPLES
            a = acc[3] / n
            if a <= 0:
                row.append((0, 0, 0, 0))
            else:
                row.append(tuple(int(round(c / n / a)) for c in acc[:3]) + (int(round(a * 255)),))
        out.append(row)
    return out


def certificate_sheet():
    layers = [
        (rounded_rect(14, 10, 114, 106, 8), (90, 120, 160, 255)),   # border
        (rounded_rect(17, 13, 111, 103, 6), (250, 251, 253, 255)),  # paper
        (rect(28, 26, 100, 31), (70, 110, 170, 255)),               # title bar
    ]
    for i, y in enumerate((42, 52, 62, 72)):
        layers.append((rect(28, y, 100 - 18 * (i % 2), y + 3), (170, 178, 190, 255)))
    return layers


def system_certificate():
    layers = certificate_sheet()
    layers += [
        (polygon([(80, 96), (86, 120), (92, 110), (98, 120), (104, 96)]), (190, 40, 40, 255)),  # ribbon
        (circle(92, 90, 14), (210, 60, 50, 255)),
        (ring(92, 90, 10, 8), (250, 210, 200, 255)),
    ]
    return layers


def key_certificate():
    layers = certificate_sheet()
    gold, dark = (232, 178, 40, 255), (150, 105, 10, 255)
    layers += [
        (ring(84, 92, 17, 7), dark),
        (ring(84, 92, 15, 8), gold),
        (polygon([(96, 100), (122, 126), (126, 122), (100, 96)]), gold),   # shaft
        (polygon([(108, 112), (104, 116), (110, 122), (114, 118)]), gold),  # tooth
        (polygon([(116, 120), (112, 124), (116, 128), (120, 124)]), gold),  # tooth
    ]
    return layers


def render_frame(size):
    # The inside is cut out: a later transparent layer must clear, not blend.
    outer, inner = rounded_rect(0.5, 0.5, 61.5, 61.5, 7), rounded_rect(2.5, 2.5, 59.5, 59.5, 5)
    return render(size, [(lambda x, y: outer(x, y) and not inner(x, y), (120, 140, 165, 255))])


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.abspath(__file__))
    write_png(os.path.join(folder, "SystemCertificate.png"), 128, 128, render(128, system_certificate()))
    write_png(os.path.join(folder, "KeyCertificate.png"), 128, 128, render(128, key_certificate()))
    write_png(os.path.join(folder, "CertificateFrame.png"), 62, 62, render_frame(62))


if __name__ == "__main__":
    main()
