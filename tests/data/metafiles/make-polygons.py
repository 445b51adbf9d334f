#!/usr/bin/env python3
"""Writes a valid EMF crowded with small filled triangles, as large as a chart or map export:
make-polygons.py COUNT OUT.emf (150,000 triangles make about 6 MB). The tests and benchmarks
that step past a slow drawing write it when they run, so that it is not committed."""
import random
import struct
import sys

from writers import Emf, s32, u32

WIDTH, HEIGHT = 2000, 1200
# Greens, greys and browns: nothing the stepping checks take for their JPEGs' red or blue.
COLOURS = [(40, 120, 60), (90, 90, 90), (150, 110, 60), (60, 160, 120), (200, 200, 180)]


def main():
    count, path = int(sys.argv[1]), sys.argv[2]
    random.seed(19)
    e = Emf(px=(WIDTH, HEIGHT), mm=(200, 120))
    brushes = [e.brush(c) for c in COLOURS]
    e.select(0x80000008)                                   # NULL_PEN
    for i in range(count):
        if i % 1000 == 0:
            e.select(brushes[i // 1000 % len(brushes)])
        x, y = random.randrange(WIDTH - 8), random.randrange(HEIGHT - 8)
        points = [(x, y), (x + random.randint(2, 8), y + random.randint(0, 8)),
                  (x + random.randint(0, 8), y + random.randint(2, 8))]
        xs, ys = [p[0] for p in points], [p[1] for p in points]
        e.rec(86, s32(min(xs), min(ys), max(xs), max(ys)) + u32(len(points)) +  # POLYGON16
              b''.join(struct.pack('<hh', *p) for p in points))
    e.write(path)


if __name__ == '__main__':
    main()
