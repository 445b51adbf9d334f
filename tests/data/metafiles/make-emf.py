#!/usr/bin/env python3
"""Writes EMF files into the folder given (default: here): emf-records.emf draws with the GDI
records EMF players must know (world transforms, mapping modes, paths, clipping, brushes,
pens, text, bitmaps, SaveDC/RestoreDC); emf-far-corners.emf, emf-glyph-indices.emf (with a
stale font handle too) and emf-tiny-units.emf are cases that broke or blanked earlier players;
emf-composed-transforms.emf and emf-clipped-text.emf build world transforms and text clips as
GDI+ writes them."""
import math
import os
import struct
import sys

from writers import Emf, color, f32, s32, u32


def region(*boxes):
    """RGNDATA of rectangles."""
    xs = [b[0] for b in boxes] + [b[2] for b in boxes]
    ys = [b[1] for b in boxes] + [b[3] for b in boxes]
    return (u32(32, 1, len(boxes), 16 * len(boxes)) + s32(min(xs), min(ys), max(xs), max(ys)) +
            b''.join(s32(*b) for b in boxes))


def dib24(width, height, pixel):
    """A bottom-up 24-bit BITMAPINFOHEADER and its rows; pixel(x, y) from the top."""
    info = u32(40) + s32(width, height) + struct.pack('<HH', 1, 24) + u32(0, 0, 0, 0, 0, 0)
    stride = (width * 3 + 3) // 4 * 4
    bits = b''
    for y in reversed(range(height)):
        row = b''.join(bytes(reversed(pixel(x, y))) for x in range(width))
        bits += row.ljust(stride, b'\0')
    return info, bits


def records(path):
    e = Emf()
    e.select(e.brush((244, 240, 224)))
    e.select(0x80000008)                                   # NULL_PEN
    e.rect(0, 0, 1000, 600)
    e.rec(18, u32(1))                                      # SETBKMODE TRANSPARENT
    black = e.pen((0, 0, 0), 2)
    e.select(black)

    # A square turned by 30 degrees about its centre, inside SaveDC / RestoreDC.
    e.save()
    a = math.radians(30)
    e.world(math.cos(a), math.sin(a), -math.sin(a), math.cos(a), 100, 100)
    e.select(e.brush((208, 48, 48)))
    e.rect(-60, -60, 60, 60)
    e.restore()

    # MM_ANISOTROPIC: a circle of the window drawn twice as wide as high.
    e.save()
    e.rec(17, u32(8))
    e.rec(9, s32(100, 100))                                # window extent
    e.rec(11, s32(160, 80))                                # viewport extent
    e.rec(12, s32(220, 40))                                # viewport origin
    e.select(e.brush((48, 96, 208)))
    e.ellipse(0, 0, 100, 100)
    # MM_LOMETRIC within the same save: tenths of a millimetre, y upwards.
    e.rec(17, u32(2))
    e.rec(12, s32(420, 140))
    e.select(e.brush((48, 160, 64)))
    e.rect(0, 0, 200, 100)                                 # 20 x 10 mm above the origin
    e.restore()

    # A path: a triangle with a curved side, filled and outlined.
    e.select(e.brush((224, 160, 32)))
    e.rec(59)
    e.move(660, 40)
    e.line(760, 160)
    e.poly(5, [(720, 200), (640, 200), (620, 140)])       # POLYBEZIERTO
    e.rec(61)                                              # CLOSEFIGURE
    e.rec(60)
    e.rec(63, s32(0, 0, -1, -1))                           # STROKEANDFILLPATH

    # A path made the clipping region: a large circle seen through a rectangle.
    e.save()
    e.rec(59)
    e.rect(820, 40, 960, 120)
    e.rec(60)
    e.rec(67, u32(1))                                      # SELECTCLIPPATH RGN_AND
    e.select(e.brush((160, 64, 192)))
    e.ellipse(790, 10, 990, 210)
    e.restore()

    # A rectangle clip with a hole: a star cut to it.
    e.save()
    e.rec(30, s32(40, 240, 200, 360))                      # INTERSECTCLIPRECT
    e.rec(29, s32(100, 280, 140, 320))                     # EXCLUDECLIPRECT
    e.select(e.brush((32, 128, 128)))
    e.rec(19, u32(2))                                      # WINDING
    star = [(120 + 110 * math.sin(i * 4 * math.pi / 5), 300 - 110 * math.cos(i * 4 * math.pi / 5))
            for i in range(5)]
    e.poly(3, [(round(x), round(y)) for x, y in star])
    e.restore()

    # A hatched brush on an opaque background, and a pattern brush of a bitmap.
    e.save()
    e.rec(18, u32(2))                                      # OPAQUE
    e.rec(25, color((255, 255, 160)))                      # SETBKCOLOR
    e.select(e.brush((0, 0, 160), 2, 5))                   # HS_DIAGCROSS
    e.rect(240, 240, 360, 340)
    info, bits = dib24(8, 8, lambda x, y: (220, 40, 40) if (x // 4 + y // 4) % 2 else (40, 40, 220))
    e.select(e.pattern_brush(info, bits))
    e.rect(380, 240, 500, 340)
    e.restore()

    # Dashed wide pens: flat caps and mitred joins, then a user style with round ones.
    e.select(e.ext_pen((128, 32, 32), 10, 0x10000 | 0x1 | 0x200 | 0x2000))
    e.poly(4, [(540, 250), (600, 330), (660, 250), (720, 330)])
    e.select(e.ext_pen((32, 32, 128), 8, 0x10000 | 0x7, (30, 10, 5, 10)))
    e.poly(4, [(540, 360), (720, 360)])
    e.select(black)

    # Text: spaced, glyph indices (TrueType order), rotated by its escapement, centred.
    e.rec(24, color((32, 32, 32)))                         # SETTEXTCOLOR
    e.rec(22, u32(24))                                     # TA_BASELINE
    e.select(e.font(-36, 'DejaVu Sans'))
    word = 'Spaced'
    e.text(40, 440, word, dx=[34] * len(word))
    e.text(40, 500, '', glyphs=[ord(c) - 29 for c in 'Glyphs'], dx=[26] * 6, options=0x10)
    e.select(e.font(-28, 'DejaVu Serif', escapement=300))
    e.text(300, 560, 'Turned')
    e.select(e.font(-24, 'DejaVu Sans', weight=700))
    e.rec(22, u32(24 | 6))                                 # TA_CENTER
    e.text(500, 420, 'Centred', dx=[16] * 7)

    info, bits = dib24(4, 3, lambda x, y: ((x * 80) % 256, y * 120, 200 - x * 40))
    # Its middle two pixels of the middle row alone, then its left half cut by a clip.
    e.rec(81, s32(600, 390, 739, 419) + s32(600, 390, 1, 1, 2, 1) +
          u32(80, len(info), 80 + len(info), len(bits), 0, 0x00CC0020) + s32(140, 30) +
          info + bits)
    e.save()
    e.rec(30, s32(400, 440, 440, 560))
    e.rec(81, s32(400, 440, 479, 559) + s32(400, 440, 0, 0, 4, 3) +
          u32(80, len(info), 80 + len(info), len(bits), 0, 0x00CC0020) + s32(80, 120) +
          info + bits)
    e.restore()
    # SMALLTEXTOUT of 8-bit characters without a rectangle.
    e.rec(22, u32(24))
    e.rec(108, s32(260, 480) + u32(5, 0x300, 1) + f32(1, 1) + b'Small')
    # A 4 x 3 bitmap stretched to 160 x 120.
    e.rec(81, s32(780, 440, 939, 559) + s32(780, 440, 0, 0, 4, 3) +
          u32(80, len(info), 80 + len(info), len(bits), 0, 0x00CC0020) + s32(160, 120) +
          info + bits)
    # AlphaBlend of a 2 x 1 32-bit bitmap, opaque red then a third-opaque green, over the line.
    info = u32(40) + s32(2, 1) + struct.pack('<HH', 1, 32) + u32(0, 0, 0, 0, 0, 0)
    bits = bytes([0, 0, 220, 255, 0, 90, 0, 96])          # blue, green, red, alpha
    e.rec(114, s32(560, 340, 739, 379) + s32(560, 340, 180, 40) + u32(0x01FF0000) + s32(0, 0) +
          f32(1, 0, 0, 1, 0, 0) + u32(0, 0, 108, len(info), 108 + len(info), len(bits)) +
          s32(2, 1) + info + bits)
    # Regions: two boxes filled with a brush, then two made the clip of an ellipse.
    fill = e.brush((192, 96, 32))
    rgn = region((800, 240, 880, 300), (900, 260, 980, 320))
    e.rec(71, s32(800, 240, 980, 320) + u32(len(rgn), fill) + rgn)
    rgn = region((800, 330, 850, 420), (870, 330, 990, 380))
    e.rec(75, u32(len(rgn), 5) + rgn)                      # EXTSELECTCLIPRGN RGN_COPY
    e.ellipse(790, 320, 990, 430)
    e.rec(75, u32(0, 5))                                   # no clip again
    # RestoreDC by two levels at once.
    e.save()
    e.select(e.brush((0, 0, 0)))
    e.save()
    e.select(e.brush((255, 0, 0)))
    e.restore(-2)
    e.rect(960, 560, 990, 590)                             # in the first brush
    e.write(path)


def far_corners(path):
    e = Emf()
    e.select(e.brush((48, 96, 208)))
    e.select(e.pen((0, 0, 0), 1))
    for i in range(100):
        x, y = 50 + (i % 10) * 90, 30 + (i // 10) * 55
        far = 10 ** 6 * (1 + i % 9)
        corner = [(far, far), (-far, far), (far, -far), (-far, -far)][i % 4]
        e.poly(3, [(x, y), (x + 40, y), (x + 40, y + 40), (x, y + 40), corner, (x, y + 39)])
        e.poly(4, [(x, y + 45), corner])
    e.write(path)


def glyph_indices(path):
    e = Emf()
    e.select(e.font(-40, 'DejaVu Sans'))
    e.rec(22, u32(24))
    e.text(40, 100, '', glyphs=[ord(c) - 29 for c in 'Index'], options=0x10)
    e.text(40, 200, '', glyphs=[0xFFFF, 5000, 0, 1, 2, 200, 99], options=0x10)
    e.text(40, 300, 'Huge', dx=[0x7FFFFFFF, -0x80000000, 0x7FFFFFFF, 1])
    e.text(40, 400, 'PDY', dx=[30, 0x7FFFFFFF, -0x80000000, 5, 30, 0], options=0x2000)
    e.select(e.font(-40, 'Symbol'))
    e.text(40, 500, '', glyphs=[36, 37, 500], options=0x10)
    # A font deleted while selected, its slot then taken by a pen that its handle now selects.
    stale = e.font(-40, 'DejaVu Serif')
    e.select(stale)
    e.delete(stale)
    e.pen((200, 0, 0), 3)
    e.select(stale)
    e.text(40, 580, 'Stale')
    e.write(path)


def tiny_units(path):
    """What a UML tool writes: a window of a few units, fonts of a unit or less, scaled up."""
    e = Emf()
    e.rec(17, u32(8))
    e.rec(9, s32(10, 6))
    e.rec(11, s32(1000, 600))
    e.select(e.brush((255, 255, 220)))
    e.select(e.pen((0, 0, 0), 0))
    e.rect(1, 1, 4, 3)
    e.rect(6, 2, 9, 5)
    e.poly(4, [(4, 2), (6, 3)])
    # Then a world transform scaling by 50 over a MM_TEXT page.
    e.rec(17, u32(1))
    e.world(50, 0, 0, 50, 0, 0)
    e.select(e.brush((200, 80, 80)))
    e.ellipse(1, 8, 3, 11)
    e.rec(22, u32(24))
    e.select(e.font(-1, 'DejaVu Sans'))
    e.text(2, 4, 'Class A')
    e.text(13, 7, 'Class B')
    e.write(path)


def rotation(degrees):
    a = math.radians(degrees)
    return math.cos(a), math.sin(a), -math.sin(a), math.cos(a), 0, 0


def composed_transforms(path):
    """World transforms composed by MODIFYWORLDTRANSFORM, as GDI+ writes them: turns and scales
    multiplied on the left of a translation (so applied before it), one multiplied on the right,
    and a reset to the identity."""
    e = Emf()
    e.select(e.brush((244, 240, 224)))
    e.select(0x80000008)                                   # NULL_PEN
    e.rect(0, 0, 1000, 600)
    e.select(e.pen((0, 0, 0), 2))
    # An arm from a pivot at (200, 300), turned by 30 degrees about the pivot.
    e.save()
    e.world(1, 0, 0, 1, 200, 300)
    e.world(*rotation(30), mode=2)                         # MWT_LEFTMULTIPLY
    e.select(e.brush((208, 48, 48)))
    e.rect(0, -30, 180, 30)
    e.restore()
    # A square turned by 45 degrees, then made twice as wide, centred at (600, 300).
    e.save()
    e.world(1, 0, 0, 1, 600, 300)
    e.world(2, 0, 0, 1, 0, 0, mode=2)
    e.world(*rotation(45), mode=2)
    e.select(e.brush((48, 96, 208)))
    e.rect(-60, -60, 60, 60)
    e.restore()
    # Turned by -20 degrees about the origin, then moved to (850, 470).
    e.save()
    e.world(*rotation(-20))
    e.world(1, 0, 0, 1, 850, 470, mode=3)                  # MWT_RIGHTMULTIPLY
    e.select(e.brush((48, 160, 64)))
    e.rect(-80, -40, 80, 40)
    # Back to page coordinates: a dot on the arm's pivot.
    e.world(0, 0, 0, 0, 0, 0, mode=1)                      # MWT_IDENTITY
    e.select(e.brush((224, 160, 32)))
    e.ellipse(185, 285, 215, 315)
    e.restore()
    e.write(path)


def clipped_text(path):
    """ExtTextOut with ETO_CLIPPED cuts its own text to its box (glyph by glyph, as spaced
    text), and nothing after it: the shapes and the text drawn next are whole."""
    e = Emf()
    e.select(e.brush((244, 240, 224)))
    e.select(0x80000008)                                   # NULL_PEN
    e.rect(0, 0, 1000, 600)
    e.rec(18, u32(1))                                      # SETBKMODE TRANSPARENT
    e.rec(24, color((32, 32, 128)))                        # SETTEXTCOLOR
    e.rec(22, u32(24))                                     # TA_BASELINE
    e.select(e.font(-72, 'DejaVu Sans Mono'))
    words = 'Clipped words'
    e.text(40, 130, words, dx=[44] * len(words), options=0x4, rect=(40, 50, 380, 160))
    # Opaque as well: the box filled, the text cut to it.
    e.rec(25, color((255, 255, 160)))                      # SETBKCOLOR
    words = 'Opaque too'
    e.text(460, 130, words, dx=[44] * len(words), options=0x6, rect=(460, 50, 760, 160))
    e.select(e.pen((0, 0, 0), 2))
    e.select(e.brush((48, 160, 64)))
    e.rect(40, 220, 960, 380)
    e.ellipse(800, 30, 960, 190)
    e.text(40, 520, 'Drawn whole after them')
    e.write(path)


def above_frame(path):
    """What a UML tool writes: a frame 519 pixels high with only the title line in it, the
    diagram above it, and bounds that say where it all is."""
    e = Emf(px=(1000, 1000), mm=(100, 100), size=(400, 519), bounds=(0, -517, 399, 10))
    e.rec(18, u32(1))                                      # SETBKMODE TRANSPARENT
    e.select(e.pen((96, 96, 96), 1))
    e.select(e.brush((250, 250, 240)))
    e.rect(0, -517, 400, 11)
    e.select(e.pen((0, 0, 0), 2))
    e.select(e.font(-16, 'DejaVu Sans', weight=700))
    for i, (name, fill) in enumerate([('Customer', (255, 255, 200)), ('Order', (200, 230, 255)),
                                      ('Item', (255, 210, 200))]):
        top = -500 + 165 * i
        e.select(e.brush(fill))
        e.rect(110, top, 290, top + 120)
        e.rec(22, u32(30))                                 # TA_BASELINE | TA_CENTER
        e.text(200, top + 30, name)
        e.rec(22, u32(0))
        e.move(110, top + 42)
        e.line(290, top + 42)
        if i < 2:
            e.move(200, top + 120)
            e.line(200, top + 165)
    e.select(e.font(-9, 'DejaVu Sans'))
    e.text(4, 0, 'Orders: class diagram')
    e.write(path)


if __name__ == '__main__':
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.abspath(__file__))
    records(os.path.join(folder, 'emf-records.emf'))
    far_corners(os.path.join(folder, 'emf-far-corners.emf'))
    glyph_indices(os.path.join(folder, 'emf-glyph-indices.emf'))
    tiny_units(os.path.join(folder, 'emf-tiny-units.emf'))
    composed_transforms(os.path.join(folder, 'emf-composed-transforms.emf'))
    clipped_text(os.path.join(folder, 'emf-clipped-text.emf'))
    above_frame(os.path.join(folder, 'emf-above-frame.emf'))
