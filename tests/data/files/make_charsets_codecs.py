#!/usr/bin/env python3
"""Writes charsets_codecs.txt: for each translation table of the figure-file
readers, what Python's codecs give for the bytes 128..255 ("--" where the
source code page has no character or the target has no counterpart)."""
import os

PAIRS = [("windows_to_mac", "cp1252", "mac_roman"),
         ("dos_to_mac", "cp437", "mac_roman"),
         ("mac_to_windows", "mac_roman", "cp1252"),
         ("dos_to_windows", "cp437", "cp1252")]

lines = []
for name, src, dst in PAIRS:
    cells = []
    for byte in range(128, 256):
        try:
            cells.append("%02X" % bytes([byte]).decode(src).encode(dst)[0])
        except (UnicodeDecodeError, UnicodeEncodeError):
            cells.append("--")
    lines.append(name + " " + " ".join(cells))
here = os.path.dirname(os.path.abspath(__file__))
with open(os.path.join(here, "charsets_codecs.txt"), "w") as f:
    f.write("\n".join(lines) + "\n")
