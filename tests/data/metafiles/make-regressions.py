#!/usr/bin/env python3
"""Writes WMF files of cases that real files got wrong, into the folder given (default: here):
stale-font.wmf, far-corners.wmf and long-spacing.wmf once broke or stalled the metafile helper;
regions.wmf uses region records; symbol-fonts.wmf has text in symbol fonts; reused-slots.wmf
deletes a pen and makes new objects in the slot it freed and beyond."""
import os
import sys

from writers import Wmf


def background(wmf, width, height):
    wmf.select(wmf.brush((250, 248, 240)))
    wmf.select(wmf.pen(5, 0, (0, 0, 0)))
    wmf.rec(0x041B, height, width, 0, 0)          # RECTANGLE


def stale_font(path):
    """A font deleted while selected, its slot then taken by a pen, then text drawn; then that
    pen deleted and named again, and a region never made filled."""
    wmf = Wmf(1000, 600, 254)
    background(wmf, 1000, 600)                    # slots 0 and 1
    sans = wmf.font(-90, 'DejaVu Sans')           # slot 2
    wmf.select(sans)
    wmf.text_out(60, 60, 'Before')
    wmf.delete(sans)
    pen = wmf.pen(0, 40, (200, 30, 30))           # slot 2 again
    wmf.select(pen)
    wmf.text_out(60, 300, 'After')
    wmf.delete(pen)
    wmf.select(pen)
    wmf.rec(0x0228, 9, 1)                         # FILLREGION region, brush
    wmf.write(path)


def far_corners(path):
    """Squares in a 100 x 60 window, each with a thin spike to a corner some 300 pictures away."""
    wmf = Wmf(100, 60, 10)
    background(wmf, 100, 60)
    wmf.select(wmf.brush((40, 90, 200)))
    for i in range(100):
        x, y = 5 + (i * 7) % 88, 5 + (i * 13) % 48
        far = (32000 - i, -32000 + 3 * i) if i % 2 else (-32000 + i, 31000 - i)
        wmf.polygon([(x, y), (x + 4, y), (x + 4, y + 4), far, (x + 3, y + 4), (x, y + 4)])
    wmf.write(path)


def long_spacing(path):
    """Lines of text each with a spacing array, as formula and CAD writers emit them."""
    wmf = Wmf(2000, 1200, 254)
    background(wmf, 2000, 1200)
    wmf.select(wmf.font(-12, 'DejaVu Sans'))
    line = 'The quick brown fox jumps over the lazy dog. ' * 40
    for row in range(25):
        wmf.ext_text_out(10, 10 + row * 12, line, [7] * len(line))
    wmf.write(path)


def regions(path):
    """Regions filled, framed, painted and clipped to, as charting programs write them."""
    wmf = Wmf(1000, 600, 254)
    background(wmf, 1000, 600)
    red, blue = wmf.brush((200, 40, 40)), wmf.brush((40, 90, 200))
    ell = wmf.region([(50, 150, [(50, 350)]), (150, 250, [(50, 150), (250, 350)])])
    wmf.rec(0x0228, ell, red)                     # FILLREGION region, brush
    box = wmf.region([(50, 250, [(450, 650)])])
    wmf.rec(0x0429, box, blue, 12, 12)            # FRAMEREGION region, brush, height, width
    wmf.select(blue)
    bars = wmf.region([(320, 560, [(50, 110), (170, 230), (290, 350)])])
    wmf.rec(0x012B, bars)                         # PAINTREGION
    clip = wmf.region([(300, 450, [(450, 950)]), (450, 580, [(450, 650)])])
    wmf.rec(0x012C, clip)                         # SELECTCLIPREGION
    wmf.select(red)
    wmf.rec(0x0418, 600, 1000, 300, 450)          # ELLIPSE, cut by the clipping region
    wmf.rec(0x012C, wmf.region([(0, 600, [(0, 1000)])]))
    green = wmf.brush((40, 160, 70))
    torn = wmf.region([(60, 120, [(720, 960)]), (120, 240, [(720, 780), (900, 960)])], torn=True)
    wmf.rec(0x0228, torn, green)                  # FILLREGION of a region with a torn scan
    wmf.write(path)


def symbol_fonts(path):
    """Formula text in symbol fonts, whose codes are not those of any code page."""
    wmf = Wmf(1000, 600, 254)
    background(wmf, 1000, 600)
    lines = [('Symbol', b'a\xb9b \xae \xa5'),          # alpha, not equal, beta, arrow, infinity
             ('Euclid Symbol', b'\xb6x \xa3 \xd6y'),   # partial, less or equal, root
             ('MT Extra', b'L K'),                       # math-axis and low ellipses
             ('Wingdings', b'\xfc \xfb l n')]           # check, ballot x, circle, square
    for row, (face, text) in enumerate(lines):
        f = wmf.font(-80, face, charset=2)
        wmf.select(f)
        wmf.text_out(60, 40 + row * 140, text)
        wmf.delete(f)
    wmf.write(path)


def reused_slots(path):
    """A pen deleted, then a brush and a pen made: the brush takes the freed slot (the lowest
    free one, as GDI numbers them), the pen a new one. They are selected by those numbers after
    a shape drawn with the older brush: libwmf selects what it creates, which would hide a
    selection lost."""
    wmf = Wmf(1000, 600, 254)
    background(wmf, 1000, 600)                    # brush 0, null pen 1
    blue = wmf.pen(0, 12, (40, 90, 200))          # slot 2
    wmf.select(blue)
    wmf.rec(0x041B, 250, 450, 50, 50)             # RECTANGLE bottom, right, top, left
    wmf.select(1)
    wmf.delete(blue)
    green = wmf.brush((40, 160, 70))              # slot 2 again
    red = wmf.pen(0, 12, (200, 40, 40))           # slot 3
    wmf.select(0)
    wmf.select(red)
    wmf.rec(0x0418, 250, 950, 50, 550)            # ELLIPSE
    wmf.select(green)
    wmf.rec(0x041B, 550, 950, 320, 50)
    wmf.write(path)


if __name__ == '__main__':
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.abspath(__file__))
    for make in (stale_font, far_corners, long_spacing, regions, symbol_fonts, reused_slots):
        make(os.path.join(folder, make.__name__.replace('_', '-') + '.wmf'))
