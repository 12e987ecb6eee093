#!/usr/bin/env python3
"""Reference data for the picture tests, made once with independent tools
and committed: run with a Python that has Pillow and numpy.

- block.txt: a bitmaps block with two entries, "b.bmp" and "ab.bmp", made
  with Python's zlib and base64 as the figure file stores pictures (a
  24-byte header, zlib stream, 4 zero bytes; base64 in 76-character lines
  ended by '*').
- ref32.bmp, ref8.bmp: BMP files laid out field by field and checked to
  decode with Pillow to the expected pixels.
- homography.txt: the inverse of the projective map from a picture
  rectangle onto four corners, by numpy's solver.
"""
import base64, os, struct, zlib
import numpy as np
from PIL import Image

HERE = os.path.dirname(os.path.abspath(__file__))


def pixel(x, y, seed):
    # Blue, green, red, spare byte of pixel (x, y), y counted from the bottom.
    return ((x * 40 + seed) % 256, (y * 60 + seed) % 256, (x * 7 + y * 11 + seed) % 256, 0)


def raw_pixels(w, h, seed):
    row = (w + 3) // 4 * 4 * 4
    data = bytearray()
    for y in range(h):
        for x in range(w):
            data += bytes(pixel(x, y, seed))
    data += bytes(row * h - len(data))
    return row, bytes(data)


def entry(name, w, h, seed):
    row, raw = raw_pixels(w, h, seed)
    record = struct.pack("<iiiiHH", 0, w, h, row, 1, 32) + zlib.compress(raw) + bytes(4)
    text = base64.b64encode(record).decode()
    lines = "\r\n".join(text[i:i + 76] for i in range(0, len(text), 76))
    return name + "\r\n" + lines + "*\r\n\r\n"


with open(os.path.join(HERE, "block.txt"), "wb") as f:
    block = "************ BITMAPS ************\r\n\r\n" + entry("ab.bmp", 5, 3, 0) + entry("b.bmp", 2, 2, 100)
    f.write(block.encode())


def bmp(w, h, bits, palette, rows):
    row = (w * bits + 31) // 32 * 4
    pixels = b"".join(r + bytes(row - len(r)) for r in rows)
    colours = len(palette)
    offset = 14 + 40 + 4 * colours
    head = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, bits, 0, len(pixels), 0, 0, colours, 0)
    pal = b"".join(bytes((b, g, r, 0)) for (b, g, r) in palette)
    return head + info + pal + pixels


# 3 x 2 at 32 bits: rows bottom-up, blue green red spare.
rows32 = [b"".join(bytes(pixel(x, y, 5)) for x in range(3)) for y in range(2)]
data32 = bmp(3, 2, 32, [], rows32)
with open(os.path.join(HERE, "ref32.bmp"), "wb") as f:
    f.write(data32)
im = Image.open(os.path.join(HERE, "ref32.bmp")).convert("RGB")
for y in range(2):
    for x in range(3):
        b, g, r, _ = pixel(x, y, 5)
        assert im.getpixel((x, 1 - y)) == (r, g, b), (x, y)

# 3 x 2 at 8 bits with a grey ramp palette; index = x + 3 y.
grey = [(i, i, i) for i in range(256)]
rows8 = [bytes(x + 3 * y for x in range(3)) for y in range(2)]
data8 = bmp(3, 2, 8, grey, rows8)
with open(os.path.join(HERE, "ref8.bmp"), "wb") as f:
    f.write(data8)
im = Image.open(os.path.join(HERE, "ref8.bmp")).convert("L")
for y in range(2):
    for x in range(3):
        assert im.getpixel((x, 1 - y)) == x + 3 * y

# Homography: (0,0)->P0, (W,0)->P1, (W,H)->P2, (0,H)->P3, then inverted
# and scaled to a last entry of 1.
W, H = 40, 30
quads = {"square": [(10, 10), (60, 10), (60, 60), (10, 60)],
         "kite": [(0, 0), (100, 10), (120, 90), (-10, 70)]}
with open(os.path.join(HERE, "homography.txt"), "w") as f:
    for name, P in quads.items():
        src = [(0, 0), (W, 0), (W, H), (0, H)]
        A, b = [], []
        for (x, y), (u, v) in zip(src, P):
            A.append([x, y, 1, 0, 0, 0, -u * x, -u * y]); b.append(u)
            A.append([0, 0, 0, x, y, 1, -v * x, -v * y]); b.append(v)
        h = np.linalg.solve(np.array(A, float), np.array(b, float))
        M = np.append(h, 1).reshape(3, 3)
        inv = np.linalg.inv(M)
        inv /= inv[2, 2]
        f.write(name + " " + " ".join(str(c) for P_ in P for c in P_) + " " +
                " ".join("%.12g" % v for v in inv.flatten()) + "\n")
