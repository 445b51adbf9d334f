#!/usr/bin/env python3
"""Writes WMF files of cases that real files got wrong, into the folder given (default: here):
stale-font.wmf, far-corners.wmf and long-spacing.wmf once broke or stalled the metafile helper;
regions.wmf uses region records; symbol-fonts.wmf has text in symbol fonts."""
import os
import struct
import sys


class Wmf:
    """A placeable WMF, MM_ANISOTROPIC, window (0, 0, width, height), written record by record."""

    def __init__(self, width, height, units_per_inch):
        self.records = []
        self.objects = 0                          # slots the table needs
        self.free = []
        self.size = (width, height, units_per_inch)
        self.rec(0x0103, 8)                       # SETMAPMODE MM_ANISOTROPIC
        self.rec(0x020B, 0, 0)                    # SETWINDOWORG y, x
        self.rec(0x020C, height, width)           # SETWINDOWEXT y, x
        self.rec(0x0102, 1)                       # SETBKMODE TRANSPARENT

    def rec(self, function, *words, raw=b''):
        body = b''.join(struct.pack('<h' if w < 0 else '<H', w) for w in words) + raw
        if len(body) % 2:
            body += b'\0'
        self.records.append(struct.pack('<IH', 3 + len(body) // 2, function) + body)

    def create(self, function, *words, raw=b''):
        """Takes the lowest free slot, as players do."""
        self.rec(function, *words, raw=raw)
        if self.free:
            self.free.sort()
            return self.free.pop(0)
        self.objects += 1
        return self.objects - 1

    def pen(self, style, width, rgb):
        r, g, b = rgb
        return self.create(0x02FA, style, width, 0, g << 8 | r, b)

    def brush(self, rgb):
        r, g, b = rgb
        return self.create(0x02FC, 0, g << 8 | r, b, 0)

    def font(self, height, face, charset=0):
        name = face.encode('latin-1') + b'\0'
        raw = struct.pack('<hhhhhBBBBBBBB', height, 0, 0, 0, 400, 0, 0, 0, charset, 0, 0, 0, 0)
        return self.create(0x02FB, raw=raw + name + b'\0' * (32 - len(name)))

    def select(self, i):
        self.rec(0x012D, i)

    def delete(self, i):
        self.rec(0x01F0, i)
        self.free.append(i)

    def text_out(self, x, y, s):
        b = s if isinstance(s, bytes) else s.encode('latin-1')
        self.rec(0x0521, len(b), raw=b + (b'\0' if len(b) % 2 else b'') + struct.pack('<hh', y, x))

    def ext_text_out(self, x, y, s, dx):
        b = s.encode('latin-1')
        raw = b + (b'\0' if len(b) % 2 else b'') + struct.pack(f'<{len(dx)}h', *dx)
        self.rec(0x0A32, y, x, len(b), 0, raw=raw)

    def region(self, scans, torn=False):
        """CREATEREGION from scans: (top, bottom, [(left, right), ...]), top to bottom; a torn
        region's last scan ends with a count that does not match its first."""
        body = b''
        for i, (top, bottom, spans) in enumerate(scans):
            body += struct.pack('<Hhh', 2 * len(spans), top, bottom)
            body += b''.join(struct.pack('<hh', l, r) for l, r in spans)
            body += struct.pack('<H', 2 * len(spans) + (torn and i == len(scans) - 1))
        left = min(l for _, _, spans in scans for l, _ in spans)
        right = max(r for _, _, spans in scans for _, r in spans)
        head = struct.pack('<HHIhHHhhhh', 0, 6, 0, 22 + len(body), len(scans),
                           max(2 * len(spans) for _, _, spans in scans),
                           left, scans[0][0], right, scans[-1][1])
        return self.create(0x06FF, raw=head + body)

    def polygon(self, points):
        self.rec(0x0324, len(points), *[v for p in points for v in p])

    def write(self, path):
        self.records.append(struct.pack('<IH', 3, 0))
        body = b''.join(self.records)
        max_record = max(struct.unpack_from('<I', r)[0] for r in self.records)
        header = struct.pack('<HHHIHIH', 1, 9, 0x300, 9 + len(body) // 2, self.objects,
                             max_record, 0)
        width, height, per_inch = self.size
        placeable = struct.pack('<IHhhhhHI', 0x9AC6CDD7, 0, 0, 0, width, height, per_inch, 0)
        checksum = 0
        for (w,) in struct.iter_unpack('<H', placeable[:20]):
            checksum ^= w
        placeable += struct.pack('<H', checksum)
        with open(path, 'wb') as f:
            f.write(placeable + header + body)


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


if __name__ == '__main__':
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.abspath(__file__))
    for make in (stale_font, far_corners, long_spacing, regions, symbol_fonts):
        make(os.path.join(folder, make.__name__.replace('_', '-') + '.wmf'))
