#!/usr/bin/env python3
"""Writes lumbrik.ico: 32x32 in 2 colours, 32x32 in 16 colours, 16x16 in 16 colours; and the
desktop's larger icons lumbrik-48.png ... lumbrik-256.png, smoothed.

The drawing is a worm on a round frame, made procedurally so the icon can be remade;
lumbrik.svg is the same drawing written by hand."""
import math
import struct
import zlib

VGA = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
       (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0),
       (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255)]


def sample(cx, cy):
    """(palette index, opaque) at a point of the 32-unit drawing."""
    r = math.hypot(cx - 16, cy - 16)
    worm = abs(cy - (18 + 5 * math.sin((cx - 4) / 4.0))) < 2.6 and 4 < cx < 28
    head = math.hypot(cx - 27, cy - (18 + 5 * math.sin(23 / 4.0))) < 2.8
    if worm or head:
        return 13, True                     # magenta worm
    if r < 14.5:
        return (11 if cy < 13 else 3), True  # sky and soil
    if r < 15.8:
        return 0, True                      # outline
    return 0, False


def draw(size):
    """Returns rows of (palette index, opaque) for a VGA-palette drawing."""
    s = size / 32.0
    return [[sample((x + 0.5) / s, (y + 0.5) / s) for x in range(size)] for y in range(size)]


def png(size, grid=4):
    """The drawing as an RGBA PNG, each pixel the average of grid x grid samples."""
    s = size * grid / 32.0
    raw = bytearray()
    for y in range(size):
        raw.append(0)  # no filter
        for x in range(size):
            total, alpha = [0, 0, 0], 0
            for sy in range(grid):
                for sx in range(grid):
                    index, opaque = sample((x * grid + sx + 0.5) / s, (y * grid + sy + 0.5) / s)
                    if opaque:
                        alpha += 1
                        total = [t + c for t, c in zip(total, VGA[index])]
            raw += bytes([round(t / alpha) if alpha else 0 for t in total])
            raw.append(round(255 * alpha / grid ** 2))

    def chunk(kind, data):
        return (struct.pack('>I', len(data)) + kind + data
                + struct.pack('>I', zlib.crc32(kind + data) & 0xffffffff))
    return (b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', size, size, 8, 6, 0, 0, 0))
            + chunk(b'IDAT', zlib.compress(bytes(raw), 9)) + chunk(b'IEND', b''))


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
    for size in (48, 64, 128, 256):
        with open(f'lumbrik-{size}.png', 'wb') as f:
            f.write(png(size))


if __name__ == '__main__':
    main()
