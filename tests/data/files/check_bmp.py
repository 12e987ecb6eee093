"""Decodes a 32-bit BMP with Pillow and checks it against the test pattern.

The pattern: pixel (x, y) of the picture (y down) is
(red, green, blue) = ((x * 37) % 256, (y * 53) % 256, (x * y + 11) % 256),
offset by the crop origin given as the 2nd and 3rd arguments.
Prints "ok WxH" or the first difference.
"""
import sys
from PIL import Image

path, left, top = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
data = open(path, "rb").read()
image = Image.open(path)
w, h = image.size
if len(data) != 54 + 4 * w * h:
    print("size %d, expected %d" % (len(data), 54 + 4 * w * h))
    sys.exit(1)
rgb = image.convert("RGB")
for y in range(h):
    for x in range(w):
        sx, sy = x + left, y + top
        want = ((sx * 37) % 256, (sy * 53) % 256, (sx * sy + 11) % 256)
        got = rgb.getpixel((x, y))
        if got != want:
            print("pixel %d,%d: %r, expected %r" % (x, y, got, want))
            sys.exit(1)
print("ok %dx%d" % (w, h))
