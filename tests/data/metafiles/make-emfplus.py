#!/usr/bin/env python3
"""Writes EMF files with EMF+ records into the folder given (default: here):
emfplus-dual.emf (EMF+ records with GDI stand-ins that must not draw, and a GetDC before GDI
records that must), emfplus-only.emf (an EMF+ only chart of many records, as GDI+ programs write
them), emfplus-past-comment.emf (EMF+ records running past their comment) and
emfplus-bad-objects.emf (unknown object ids, undefined objects, split objects whose sizes lie) and
emfplus-far-corners.emf (shapes reaching millions of pixels beyond the frame)."""
import math
import os
import struct
import sys
import zlib

import writers
from writers import f32, u32, utf16

VERSION = 0xDBC01002
MAGENTA = 0xFFFF00FF  # what a record read wrongly would draw

# Object types
BRUSH, PEN, PATH, REGION, IMAGE, FONT, FORMAT = 1, 2, 3, 4, 5, 6, 7
# Flags of drawing records
S, C, P = 0x8000, 0x4000, 0x0800


def rec(kind, flags=0, data=b''):
    data += b'\0' * (-len(data) % 4)
    return struct.pack('<HHII', kind, flags, 12 + len(data), len(data)) + data


def rectf(x, y, w, h): return f32(x, y, w, h)
def points(pts): return b''.join(f32(x, y) for x, y in pts)
def points16(pts): return b''.join(struct.pack('<hh', x, y) for x, y in pts)


def obj(kind, slot, data, flags=0): return rec(0x4008, flags | kind << 8 | slot, data)
def solid(argb): return u32(VERSION, 0, argb)
def hatch(style, fore, back): return u32(VERSION, 1, style, fore, back)
def linear(start, end): return u32(VERSION, 4, 0, 0) + rectf(0, 0, 10, 10) + u32(start, end, 0, 0)


def path_gradient(centre, edge, cx, cy, boundary):
    return u32(VERSION, 3, 0, 0, centre) + f32(cx, cy) + u32(1, edge, len(boundary)) + points(boundary)


def texture(image):
    return u32(VERSION, 2, 0, 0) + image


def pen(width, argb, dash=None, caps=None, unit=0):
    flags, extra = 0, b''
    if caps is not None:
        flags |= 0x02 | 0x04
        extra += struct.pack('<ii', caps, caps)
    if dash is not None:
        flags |= 0x20
        extra += struct.pack('<i', dash)
    return u32(VERSION, 0, flags, unit) + f32(width) + extra + solid(argb)


def path(pts, types, compressed=False):
    flags = 0x4000 if compressed else 0
    data = u32(VERSION, len(pts), flags) + (points16(pts) if compressed else points(pts))
    data += bytes(types)
    return data + b'\0' * (-len(data) % 4)


def font(em, name, style=0, unit=2):
    return u32(VERSION) + f32(em) + struct.pack('<IiII', unit, style, 0, len(name)) + utf16(name)


def string_format(align, line_align=0):
    return u32(VERSION, 0, 0, align, line_align, 0, 0) + f32(0) + struct.pack('<i', 0) + \
        f32(0, 0, 0) + struct.pack('<Iii', 0, 0, 0)


def bitmap(width, height, pixel):
    """32-bit ARGB pixels, top row first."""
    rows = b''.join(u32(pixel(x, y)) for y in range(height) for x in range(width))
    return u32(VERSION, 1) + struct.pack('<iiiII', width, height, width * 4, 0x0026200A, 0) + rows


def png_image(width, height, rgb):
    """A compressed bitmap: a PNG file of 8-bit RGB pixels."""
    def chunk(kind, data):
        return struct.pack('>I', len(data)) + kind + data + struct.pack('>I', zlib.crc32(kind + data))
    raw = b''.join(b'\0' + b''.join(bytes(rgb(x, y)) for x in range(width)) for y in range(height))
    png = b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', width, height, 8, 2, 0, 0, 0))
    png += chunk(b'IDAT', zlib.compress(raw)) + chunk(b'IEND', b'')
    return u32(VERSION, 1) + struct.pack('<iiiII', width, height, 0, 0x0026200A, 1) + png


def header(dual): return rec(0x4001, 1 if dual else 0, u32(VERSION, 1, 96, 96))
def clear(argb): return rec(0x4009, 0, u32(argb))
def fill_rects(brush, rects, flags=S): return rec(0x400A, flags, u32(brush, len(rects)) + b''.join(rectf(*r) for r in rects))
def draw_rects(pen_id, rects): return rec(0x400B, pen_id, u32(len(rects)) + b''.join(rectf(*r) for r in rects))
def fill_ellipse(brush, r, flags=S): return rec(0x400E, flags, u32(brush) + rectf(*r))
def draw_ellipse(pen_id, r): return rec(0x400F, pen_id, rectf(*r))
def fill_pie(brush, start, sweep, r): return rec(0x4010, S, u32(brush) + f32(start, sweep) + rectf(*r))
def draw_pie(pen_id, start, sweep, r): return rec(0x4011, pen_id, f32(start, sweep) + rectf(*r))
def draw_arc(pen_id, start, sweep, r): return rec(0x4012, pen_id, f32(start, sweep) + rectf(*r))
def fill_path(path_id, brush, flags=S): return rec(0x4014, flags | path_id, u32(brush))
def draw_path(path_id, pen_id): return rec(0x4015, path_id, u32(pen_id))
def draw_lines(pen_id, pts, closed=False): return rec(0x400D, pen_id | (0x2000 if closed else 0), u32(len(pts)) + points(pts))
def draw_beziers(pen_id, pts): return rec(0x4019, pen_id, u32(len(pts)) + points(pts))
def draw_curve(pen_id, pts, tension=0.5): return rec(0x4018, pen_id, f32(tension) + u32(0, len(pts) - 1, len(pts)) + points(pts))
def fill_closed_curve(brush, pts, tension=0.5): return rec(0x4016, S, u32(brush) + f32(tension) + u32(len(pts)) + points(pts))
def fill_region(region_id, brush): return rec(0x4013, S | region_id, u32(brush))


def fill_polygon16(brush, pts): return rec(0x400C, S | C, u32(brush, len(pts)) + points16(pts))


def draw_string(font_id, argb, format_id, text, r):
    return rec(0x401C, S | font_id, u32(argb, format_id, len(text)) + rectf(*r) + utf16(text))


def draw_driver_string(font_id, argb, text, x, y, advance):
    glyphs = b''.join(struct.pack('<H', ord(c)) for c in text)
    pos = points([(x + i * advance, y) for i in range(len(text))])
    return rec(0x4036, S | font_id, u32(argb, 1, 0, len(text)) + glyphs + pos)


def draw_image(image_id, src, dest): return rec(0x401A, image_id, u32(0xFFFFFFFF, 2) + rectf(*src) + rectf(*dest))
def draw_image_points(image_id, src, pts):
    return rec(0x401B, image_id, u32(0xFFFFFFFF, 2) + rectf(*src) + u32(3) + points(pts))


def save(i): return rec(0x4025, 0, u32(i))
def restore(i): return rec(0x4026, 0, u32(i))
def begin_container(i): return rec(0x4028, 0, u32(i))
def end_container(i): return rec(0x4029, 0, u32(i))
def translate(dx, dy): return rec(0x402D, 0, f32(dx, dy))
def rotate(degrees): return rec(0x402F, 0, f32(degrees))
def set_page(unit, scale): return rec(0x4030, unit, f32(scale))
def clip_rect(mode, r): return rec(0x4032, mode << 8, rectf(*r))
def clip_region(mode, region_id): return rec(0x4034, mode << 8 | region_id)
def reset_clip(): return rec(0x4031)
def get_dc(): return rec(0x4004)
def end_of_file(): return rec(0x4002)


def region_union(a, b):
    node = lambda r: u32(0x10000000) + rectf(*r)
    return u32(VERSION, 2) + u32(2) + node(a) + node(b)


class Emf(writers.Emf):
    """An EMF of width x height pixels on a 96 dpi reference device, record by record."""

    eof_size = 20

    def __init__(self, width, height):
        super().__init__(px=(1920, 960), mm=(508, 254), size=(width, height))

    def emfplus(self, *records):
        data = b'EMF+' + b''.join(records)
        self.rec(70, u32(len(data)) + data)

    def gdi_rect(self, rgb, rect):
        """A filled rectangle without outline, in a brush made, used and deleted here."""
        brush = self.brush(rgb)
        self.select(brush)
        self.select(0x80000008)  # NULL_PEN
        self.rect(*rect)
        self.select(0x80000000)  # WHITE_BRUSH
        self.delete(brush)

    def write(self, path):
        self.handles = max(self.handles, 2)  # these files claim a table of two, objects or not
        super().write(path)


def dual(out):
    emf = Emf(480, 288)
    wave = [(20, 150), (60, 90), (100, 210), (140, 150), (180, 90), (220, 210), (260, 150)]
    types = [0] + [3] * 6
    types += [0, 1, 1, 0x81]
    square = [(40, 230), (80, 230), (80, 270), (40, 270)]
    checker = lambda x, y: (0xFFD02020 if (x + y) % 2 else 0x802040E0)
    emf.emfplus(
        header(True),
        obj(PEN, 1, pen(5, 0xFF203080, dash=1, caps=2)),
        obj(BRUSH, 2, solid(0xC0D03030)),
        obj(BRUSH, 3, hatch(0, 0xFF000000, 0xFFF0E040)),
        obj(PATH, 4, path(wave + square, types)),
        obj(FONT, 5, font(22, 'DejaVu Sans', style=1)),
        obj(IMAGE, 6, bitmap(8, 8, checker)),
        obj(FORMAT, 7, string_format(1, 1)),
        obj(PEN, 8, pen(2, 0xFF101010)),
        obj(BRUSH, 9, linear(0xFF20A020, 0xFF2020A0)),
        obj(BRUSH, 10, path_gradient(0xFFFFFFFF, 0xFF2040C0, 330, 255, [
            (340 + 40 * math.cos(a * math.pi / 8), 261 + 23 * math.sin(a * math.pi / 8))
            for a in range(16)])),
        obj(BRUSH, 11, texture(bitmap(2, 2, lambda x, y: 0xFFC00000 if x == y else 0xFF0000C0))),
        clear(0xFFF8F4E8),
        fill_path(4, 2, flags=0), draw_path(4, 8),
        fill_rects(3, [(300, 20, 70, 50), (380, 20, 80, 50)], flags=0),
        draw_rects(1, [(300, 20, 160, 50)]),
        fill_ellipse(0xFF3090D0, (20, 20, 120, 60)), draw_ellipse(8, (20, 20, 120, 60)),
        fill_polygon16(0x9030B030, [(160, 20), (280, 40), (200, 90)]),
        draw_lines(1, [(300, 90), (460, 90), (460, 130)]),
        draw_beziers(8, [(300, 140), (340, 100), (420, 180), (460, 140)]),
        draw_string(5, 0xFF802020, 7, 'Lumbrik EMF+', (150, 100, 300, 40)),
        draw_image(6, (0, 0, 8, 8), (400, 200, 64, 64)),
        fill_rects(9, [(300, 200, 80, 30)], flags=0),
        fill_ellipse(10, (300, 238, 80, 46), flags=0),
        fill_rects(11, [(220, 250, 60, 30)], flags=0),
    )
    # Stand-ins for readers without EMF+: must not draw.
    emf.gdi_rect((255, 0, 255), (0, 0, 480, 288))
    emf.emfplus(get_dc())
    # After GetDC, GDI records draw.
    emf.gdi_rect((0, 160, 0), (440, 250, 470, 280))
    emf.emfplus(
        save(1), translate(240, 200), rotate(30),
        fill_rects(0xFF208080, [(-30, -10, 60, 20)]),
        restore(1),
        begin_container(2), translate(100, 0),
        clip_rect(0, (20, 240, 60, 40)),
        fill_ellipse(0xFFE08020, (0, 220, 120, 80)),
        end_container(2),
        # Restored: no clip, no translation.
        draw_arc(8, 180, 180, (150, 240, 60, 40)),
    )
    emf.gdi_rect((255, 0, 255), (0, 0, 480, 288))
    emf.emfplus(end_of_file())
    emf.write(out)


def only(out):
    """A bar chart in millimetres as a GDI+ program records it: objects reused slot by slot,
    records packed into comments of many records each."""
    emf = Emf(480, 288)
    records = [header(False), rec(0x401E, 1), rec(0x401F, 0), set_page(6, 1.0),
               fill_rects(0xFFFFFFFF, [(0, 0, 127, 76.2)]),
               obj(PEN, 10, pen(0.3, 0xFF404040)),
               obj(PEN, 11, pen(0.15, 0xFFB0B0B0, dash=2)),
               obj(FONT, 12, font(6, 'DejaVu Sans', unit=3)),
               obj(FORMAT, 13, string_format(1))]
    for i in range(6):
        y = 60 - i * 10
        records.append(draw_lines(11, [(10, y), (80, y)]))
    for i in range(24):
        height = 8 + 40 * (0.5 + 0.5 * math.sin(i / 3.0))
        slot = i % 4
        color = [0xFF3060C0, 0xFFC06030, 0xFF30A060, 0xFFA0A030][slot]
        records.append(obj(BRUSH, slot, solid(color)))
        bar = (11 + i * 2.9, 60 - height, 2.2, height)
        records += [fill_rects(slot, [bar], flags=0), draw_rects(10, [bar])]
        if i % 4 == 0:
            records.append(draw_string(12, 0xFF202020, 13, str(i), (bar[0] - 3, 61, 8, 6)))
    records += [draw_lines(10, [(10, 10), (10, 60), (82, 60)])]
    # A trend line: relative points with run-length encoded types, split over two records.
    trend = [(11, 40)] + [(2 + (i % 2), (-1) ** i * 3) for i in range(20)]
    data = u32(VERSION, len(trend), 0x0800 | 0x1000)
    data += b''.join(bytes([x & 0x7F, y & 0x7F]) for x, y in trend)
    data += bytes([0x40 | 1, 0, 0x40 | 20, 1])
    data += b'\0' * (-len(data) % 4)
    half = len(data) // 8 * 4
    records += [rec(0x4008, 0x8000 | PATH << 8 | 14, u32(len(data)) + data[:half]),
                rec(0x4008, PATH << 8 | 14, data[half:]),
                obj(PEN, 15, pen(0.6, 0xFFD02060, caps=2)), draw_path(14, 15)]
    # A pie with outlines, a closed curve and a curve, a region and a clip.
    sweeps = [90, 60, 120, 50, 40]
    start = -90
    for n, sweep in enumerate(sweeps):
        color = [0xFF3060C0, 0xFFC06030, 0xFF30A060, 0xFFA0A030, 0xFF8040A0][n]
        records += [fill_pie(color, start, sweep, (88, 8, 32, 32)),
                    draw_pie(10, start, sweep, (88, 8, 32, 32))]
        start += sweep
    records += [fill_closed_curve(0x8040C0C0, [(90, 50), (104, 44), (120, 52), (110, 66),
                                                 (94, 64)]),
                draw_curve(10, [(88, 70), (96, 60), (104, 72), (112, 60), (122, 70)]),
                obj(REGION, 16, region_union((30, 64, 20, 8), (40, 68, 30, 6))),
                fill_region(16, 0x6060A060),
                clip_region(0, 16),
                fill_ellipse(0xFF206020, (25, 62, 50, 14)),
                reset_clip(),
                draw_driver_string(12, 0xFF000000, 'Sales', 12, 8, 3.2),
                # A PNG drawn onto a parallelogram.
                obj(IMAGE, 17, png_image(4, 4, lambda x, y: (40 + 60 * x, 200 - 40 * y, 90))),
                draw_image_points(17, (0, 0, 4, 4), [(100, 64), (120, 60), (104, 74)]),
                end_of_file()]
    for at in range(0, len(records), 16):
        emf.emfplus(*records[at:at + 16])
    emf.write(out)


def past_comment(out):
    emf = Emf(480, 288)
    emf.emfplus(header(True), clear(0xFFFFFFFF), fill_rects(0xFF20A020, [(20, 20, 200, 100)]))
    # Its size runs past the comment: it, and whatever follows it in the comment, is lost.
    bad = bytearray(fill_rects(MAGENTA, [(0, 0, 480, 288)]))
    struct.pack_into('<I', bad, 4, 4096)
    emf.emfplus(bytes(bad))
    # Data larger than the record.
    bad = bytearray(fill_rects(MAGENTA, [(0, 0, 480, 288)]))
    struct.pack_into('<I', bad, 8, 4096)
    emf.emfplus(bytes(bad), fill_rects(MAGENTA, [(0, 0, 480, 288)]))
    emf.emfplus(fill_ellipse(0xFF2040C0, (260, 120, 200, 140)), end_of_file())
    emf.write(out)


def bad_objects(out):
    emf = Emf(480, 288)
    good = lambda n: fill_rects(0xFF20A020, [(20 + n * 55, 110, 45, 45)])
    cover = fill_rects(9, [(0, 0, 480, 288)], flags=0)
    bad_path = bytearray(path([(0, 0), (480, 0), (480, 288)], [0, 1, 0x81]))
    struct.pack_into('<I', bad_path, 4, 0x20000000)  # points past the record
    emf.emfplus(
        header(True), clear(0xFFFFFFFF),
        obj(BRUSH, 200, solid(MAGENTA)), good(0),  # no table slot 200
        fill_path(5, 0xFF000000), good(1),  # path 5 never defined
        # Split objects whose pieces outgrow the total they claim, or claim too much.
        rec(0x4008, 0x8000 | BRUSH << 8 | 9, u32(8) + solid(MAGENTA)), rec(0x4008, BRUSH << 8 | 9),
        cover, good(2),
        rec(0x4008, 0x8000 | BRUSH << 8 | 4, u32(0xFFFFFFF0) + solid(MAGENTA)[:8]),
        rec(0x4008, BRUSH << 8 | 4, u32(MAGENTA)), fill_rects(4, [(0, 0, 480, 288)], flags=0),
        good(3),
        obj(PATH, 6, bytes(bad_path)), fill_path(6, MAGENTA), good(4),
        rec(0x400B, 1, u32(0xFFFFFFFF) + rectf(0, 0, 480, 288)), good(5),
        obj(PATH, 10, path([(0, 0), (480, 288)], [0, 1])),
        obj(BRUSH, 7, solid(MAGENTA)), draw_path(10, 7), good(6),  # a brush is no pen
        obj(FONT, 8, font(20, 'DejaVu Sans')[:20]), draw_string(8, MAGENTA, 99, 'x', (0, 0, 480, 288)),
        good(7), end_of_file())
    emf.write(out)


def far_corners(out):
    """Squares with thin spikes to corners millions of pixels away, lines and Béziers reaching
    as far, and a few ellipses far larger than the picture."""
    emf = Emf(480, 288)
    records = [header(False), clear(0xFFFFFFFF), obj(PEN, 1, pen(1, 0xFF203080))]
    for i in range(100):
        x, y = 20 + (i % 10) * 45 + (i // 10) % 2 * 5, 20 + (i // 10) * 26
        # Away from the middle of the picture, about 10,000 pictures out.
        dx, dy = x + 15 - 240, y + 10 - 144
        far = (x + 3e6 * dx / math.hypot(dx, dy), y + 3e6 * dy / math.hypot(dx, dy))
        square = [(x, y), (x + 30, y), (x + 30, y + 20), (x + 16, y + 20), far, (x + 15, y + 20),
                  (x, y + 20)]
        records += [rec(0x400C, S, u32(0xFFC06030, len(square)) + points(square)),
                    draw_lines(1, [(x + 30, y), far]),
                    draw_beziers(1, [(x, y + 20), far, (far[0] + 1e5, far[1]), (x + 30, y + 20)])]
        if i % 25 == 0:
            records.append(fill_ellipse(0x2020A0C0, (x - 4e6, y - 4e6, 8e6, 8e6)))
    for at in range(0, len(records), 50):
        emf.emfplus(*records[at:at + 50])
    emf.emfplus(end_of_file())
    emf.write(out)


if __name__ == '__main__':
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.abspath(__file__))
    for make in (dual, only, past_comment, bad_objects, far_corners):
        make(os.path.join(folder, 'emfplus-' + make.__name__.replace('_', '-') + '.emf'))
