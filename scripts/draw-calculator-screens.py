#!/usr/bin/env python3
"""Draws the three calculator screen pictures (resources/pictures/*.bmp):
a pale liquid-crystal panel of the screen's pixel size inside a dark frame,
with faint grid lines every ten pixels. Run once; the output is committed."""
import os
from PIL import Image, ImageDraw

SCREENS = {"TI-92 Screen": (240, 128), "TI-89 Screen": (160, 100), "TI-83 Screen": (96, 64)}
here = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "resources", "pictures")
os.makedirs(here, exist_ok=True)
for name, (w, h) in SCREENS.items():
    border = 6
    im = Image.new("RGB", (w + 2 * border, h + 2 * border), (60, 64, 72))
    d = ImageDraw.Draw(im)
    d.rectangle([border, border, border + w - 1, border + h - 1], fill=(200, 210, 180))
    for x in range(border, border + w, 10):
        d.line([x, border, x, border + h - 1], fill=(188, 198, 168))
    for y in range(border, border + h, 10):
        d.line([border, y, border + w - 1, y], fill=(188, 198, 168))
    im.save(os.path.join(here, name + ".bmp"))
