#!/usr/bin/env python3
"""Writes lumbrik.ico: 32x32 in 2 colours, 32x32 in 16 colours, 16x16 in 16 colours.

The drawing is a worm on a round frame, made procedurally so the icon can be remade."""
import math
import struct

VGA = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
       (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0),
       (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255)]


def draw(size):
    """Returns rows of (palette index, opaque) for a VGA-palette drawing."""
    s = size / 32.0
    rows = []
    for y in range(size):
        row = []
        for x in range(size):
            cx, cy = (x + 0.5) / s, (y + 0.5) / s
            r = math.hypot(cx - 16, cy - 16)
            worm = abs(cy - (18 + 5 * math.sin((cx - 4) / 4.0))) < 2.6 and 4 < cx < 28
            head = math.hypot(cx - 27, cy - (18 + 5 * math.sin(23 / 4.0))) < 2.8
            if worm or head:
                row.append((13, True))          # magenta worm
            elif r < 14.5:
                row.append((11 if cy < 13 else 3, True))  # sky and soil
            elif r < 15.8:
                row.append((0, True))           # outline
            else:
                row.append((0, False))
        rows.append(row)
    return rows


def bmp_entry(size, bits):
    rows = draw(size)
    if bits == 1:
        palette = [(255, 255, 255), (0, 0, 0)]
        # Two colours: the worm and the outline in black, the rest white.
        rows = [[(1 if i in (13, 0) and o else 0, o) for i, o in row] for row in rows]
    else:
        palette = VGA
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, bits, 0, 0, 0, 0, len(palette), 0)
    pal = b''.join(struct.pack('BBBB', b, g, r, 0) for r, g, b in palette)

    def packed(values, bpp):
        out, acc, n = bytearray(), 0, 0
        for v in values:
            acc = (acc << bpp) | v
            n += bpp
            if n == 8:
                out.append(acc)
                acc, n = 0, 0
        if n:
            out.append(acc << (8 - n))
        while len(out) % 4:
            out.append(0)
        return bytes(out)

    xor = b''.join(packed([i for i, _ in row], bits) for row in reversed(rows))
    mask = b''.join(packed([0 if o else 1 for _, o in row], 1) for row in reversed(rows))
    return header + pal + xor + mask, len(palette)


def main():
    entries = [(32, 1), (32, 4), (16, 4)]
    blobs = [bmp_entry(size, bits) for size, bits in entries]
    out = bytearray(struct.pack('<HHH', 0, 1, len(entries)))
    offset = 6 + 16 * len(entries)
    for (size, bits), (blob, colours) in zip(entries, blobs):
        out += struct.pack('<BBBBHHII', size, size, colours % 256, 0, 1, bits, len(blob), offset)
        offset += len(blob)
    for blob, _ in blobs:
        out += blob
    with open('lumbrik.ico', 'wb') as f:
        f.write(out)


if __name__ == '__main__':
    main()
