#!/usr/bin/env python3
"""Draws the five partner logo bitmaps (190 x 320, 8-bit palette) into the given folder.

Simple artwork of our own: a coloured disc with the partner's initial in block letters and
three bands below it, one colour scheme per partner.
"""
import struct
import sys
from pathlib import Path

W, H = 190, 320

# 5 x 7 block letters for the initials.
FONT = {
    "B": ["11110", "10001", "10001", "11110", "10001", "10001", "11110"],
    "S": ["01111", "10000", "10000", "01110", "00001", "00001", "11110"],
    "D": ["11110", "10001", "10001", "10001", "10001", "10001", "11110"],
    "K": ["10001", "10010", "10100", "11000", "10100", "10010", "10001"],
    "P": ["11110", "10001", "10001", "11110", "10000", "10000", "10000"],
}

LOGOS = {
    "Logo_Brixaro": ("B", (0x1F, 0x5F, 0xAF), (0xF2, 0x9F, 0x05)),
    "Logo_Solvik": ("S", (0x2E, 0x8B, 0x57), (0x9A, 0xCD, 0x32)),
    "Logo_Dravin": ("D", (0xB2, 0x22, 0x22), (0x55, 0x55, 0x55)),
    "Logo_Kelmopbx": ("K", (0x6A, 0x3D, 0x9A), (0x00, 0x9A, 0xC7)),
    "Logo_Perlune": ("P", (0x00, 0x6D, 0x77), (0xE2, 0x95, 0x78)),
}


def draw(letter, main, accent):
    # Palette: 0 white, 1 main colour, 2 accent colour.
    px = [[0] * W for _ in range(H)]
    cx, cy, r = W // 2, 110, 75
    for y in range(H):
        for x in range(W):
            if (x - cx) ** 2 + (y - cy) ** 2 <= r * r:
                px[y][x] = 1
    scale = 12
    gx, gy = cx - 5 * scale // 2, cy - 7 * scale // 2
    for row, bits in enumerate(FONT[letter]):
        for col, bit in enumerate(bits):
            if bit == "1":
                for y in range(gy + row * scale, gy + (row + 1) * scale):
                    for x in range(gx + col * scale, gx + (col + 1) * scale):
                        px[y][x] = 0
    for i, top in enumerate((222, 252, 282)):
        inset = 20 + i * 15
        for y in range(top, top + 18):
            for x in range(inset, W - inset):
                px[y][x] = 2 if i != 1 else 1
    return px, [(255, 255, 255), main, accent]


def bmp(px, palette):
    stride = (W + 3) & ~3
    colours = palette + [(0, 0, 0)] * (256 - len(palette))
    pal = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in colours)
    rows = b"".join(bytes(px[y]) + b"\0" * (stride - W) for y in range(H - 1, -1, -1))
    offset = 14 + 40 + len(pal)
    header = struct.pack("<2sIHHI", b"BM", offset + len(rows), 0, 0, offset)
    info = struct.pack("<IiiHHIIiiII", 40, W, H, 1, 8, 0, len(rows), 2835, 2835, 256, 0)
    return header + info + pal + rows


def main():
    out = Path(sys.argv[1])
    out.mkdir(parents=True, exist_ok=True)
    for name, (letter, main_colour, accent) in LOGOS.items():
        px, palette = draw(letter, main_colour, accent)
        (out / f"{name}.bmp").write_bytes(bmp(px, palette))


if __name__ == "__main__":
    main()
