#!/usr/bin/env python3
# Writes the pages' pictures: plain shapes in the pages' colours (PNG), and the waiting
# animation (GIF). Run once; the outputs are kept beside it.
import struct, zlib

def png(name, w, h, pixel):
    rows = b"".join(b"\0" + b"".join(bytes(pixel(x, y)) for x in range(w)) for y in range(h))
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)
    data = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 6, 0, 0, 0)) \
        + chunk(b"IDAT", zlib.compress(rows, 9)) + chunk(b"IEND", b"")
    open(name, "wb").write(data)

def solid(rgb, a=255):
    return lambda x, y: (*rgb, a)

def disc(rgb, size):
    c = (size - 1) / 2
    return lambda x, y: (*rgb, 255) if (x - c) ** 2 + (y - c) ** 2 <= (size / 2) ** 2 else (0, 0, 0, 0)

blue, green, light = (46, 123, 214), (47, 163, 91), (232, 240, 250)
for name, size, fill in [
    ("BG.PNG", (8, 120), solid((244, 247, 251))),
    ("BTN_ADVANCE_HOVER.PNG", (100, 30), solid((60, 140, 230))), ("BTN_ADVANCE_NORMAL.PNG", (100, 30), solid(blue)),
    ("BTN_CHECK.PNG", (100, 30), solid(blue)), ("BTN_CHECK_HOVER.PNG", (100, 30), solid((60, 140, 230))),
    ("BTN_FIX.PNG", (100, 30), solid(green)), ("BTN_FIX_HOVER.PNG", (100, 30), solid((60, 180, 105))),
    ("BTN_HELP_HOVER.PNG", (60, 24), solid((60, 140, 230))), ("BTN_HELP_NORMAL.PNG", (60, 24), solid(blue)),
    ("BTN_HOME_HOVER.PNG", (60, 24), solid((60, 140, 230))), ("BTN_HOME_NORMAL.PNG", (60, 24), solid(blue)),
    ("BTN_LOGON_HOVER.PNG", (60, 24), solid((60, 140, 230))), ("BTN_LOGON_NORMAL.PNG", (60, 24), solid(blue)),
    ("CONTENT_B.PNG", (8, 8), solid(light)), ("CONTENT_L.PNG", (8, 8), solid(light)),
    ("CONTENT_LB.PNG", (8, 8), solid(light)), ("CONTENT_LT.PNG", (8, 8), solid(light)),
    ("CONTENT_MAIN.PNG", (8, 100), solid((236, 243, 252))), ("CONTENT_R.PNG", (8, 8), solid(light)),
    ("CONTENT_RB.PNG", (8, 8), solid(light)), ("CONTENT_RT.PNG", (8, 8), solid(light)),
    ("CONTENT_T.PNG", (8, 8), solid(light)), ("FOOTER_BG.PNG", (8, 24), solid((225, 232, 242))),
    ("ICON_ERROR.PNG", (16, 16), disc((192, 57, 43), 16)), ("ICON_OK.PNG", (16, 16), disc(green, 16)),
    ("ICON_STAR.PNG", (16, 16), disc((240, 180, 0), 16)), ("ICON_WARNING.PNG", (16, 16), disc((230, 140, 0), 16)),
    ("INFORMATION.PNG", (48, 48), disc(blue, 48)), ("L1.PNG", (24, 24), disc(blue, 24)),
    ("L2.PNG", (24, 24), disc(green, 24)), ("L3.PNG", (24, 24), disc((240, 180, 0), 24)),
    ("TAB_NORMAL.PNG", (8, 40), solid((214, 226, 242))), ("TAB_SELECT.PNG", (8, 40), solid((255, 255, 255))),
    ("TIPICON_01.PNG", (16, 16), disc(blue, 16)),
]:
    png(name, size[0], size[1], fill)

# 16 x 16, two colours, one frame: a blue square on white.
w = h = 16
pixels = bytes(1 if 4 <= x < 12 and 4 <= y < 12 else 0 for y in range(h) for x in range(w))
def lzw(data, min_size=2):
    clear, end = 1 << min_size, (1 << min_size) + 1
    out, bits, nbits = bytearray(), 0, 0
    def emit(code, size):
        nonlocal bits, nbits
        bits |= code << nbits
        nbits += size
        while nbits >= 8:
            out.append(bits & 0xFF)
            bits >>= 8
            nbits -= 8
    # clear before every pixel keeps the code size fixed at min_size + 1
    for p in data:
        emit(clear, min_size + 1)
        emit(p, min_size + 1)
    emit(end, min_size + 1)
    if nbits:
        out.append(bits & 0xFF)
    return bytes(out)
img = lzw(pixels)
blocks = b"".join(bytes([len(img[i:i + 255])]) + img[i:i + 255] for i in range(0, len(img), 255)) + b"\0"
gif = b"GIF89a" + struct.pack("<HHBBB", w, h, 0x80, 0, 0) + bytes([255, 255, 255, *blue]) \
    + b"\x2c" + struct.pack("<HHHHB", 0, 0, w, h, 0) + b"\x02" + blocks + b"\x3b"
open("LOADING.GIF", "wb").write(gif)
