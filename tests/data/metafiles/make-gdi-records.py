#!/usr/bin/env python3
"""Writes gdi-records.wmf: a placeable WMF drawn record by record, for the GDI calls that
drawing programs rarely emit (arcs, pies, chords, rounded rectangles, dashed pens, hatched
brushes, text alignments inside SaveDC/RestoreDC, rotated text, a bitmap)."""
import struct
import sys

records = []
objects = 0

def rec(function, *words, raw=b''):
    body = b''.join(struct.pack('<h' if w < 0 else '<H', w) for w in words) + raw
    if len(body) % 2:
        body += b'\0'
    records.append(struct.pack('<IH', 3 + len(body) // 2, function) + body)

def colorref(rgb):
    r, g, b = rgb
    return (g << 8 | r, b)

def create(function, *words, raw=b''):
    global objects
    rec(function, *words, raw=raw)
    objects += 1
    return objects - 1

def pen(style, width, rgb):
    return create(0x02FA, style, width, 0, *colorref(rgb))

def brush(style, rgb, hatch=0):
    return create(0x02FC, style, *colorref(rgb), hatch)

def font(height, weight, face, escapement=0, italic=0):
    name = face.encode('latin-1') + b'\0'
    name += b'\0' * (32 - len(name))
    raw = struct.pack('<hhhhhBBBBBBBB', height, 0, escapement, escapement, weight, italic, 0, 0,
                      0, 0, 0, 0, 0) + name
    return create(0x02FB, raw=raw)

def select(i): rec(0x012D, i)
def delete(i): rec(0x01F0, i)
def text_align(a): rec(0x012E, a)
def text_color(rgb): rec(0x0209, *colorref(rgb))
def text_out(x, y, s):
    b = s.encode('latin-1')
    rec(0x0521, len(b), raw=b + (b'\0' if len(b) % 2 else b'') + struct.pack('<hh', y, x))

rec(0x0103, 8)                      # SETMAPMODE MM_ANISOTROPIC
rec(0x020B, 0, 0)                   # SETWINDOWORG y, x
rec(0x020C, 600, 1000)              # SETWINDOWEXT y, x
rec(0x0102, 1)                      # SETBKMODE TRANSPARENT
background = brush(0, (250, 248, 240))
none_pen = pen(5, 0, (0, 0, 0))
select(background); select(none_pen)
rec(0x041B, 600, 1000, 0, 0)        # RECTANGLE bottom, right, top, left

thick = pen(0, 8, (30, 30, 30)); select(thick)
red = brush(0, (200, 40, 40)); select(red)
rec(0x081A, 280, 220, 40, 20, 250, 200, 50, 40)       # PIE: end y,x start y,x then box
blue = brush(0, (40, 90, 200)); select(blue)
rec(0x0830, 280, 470, 160, 420, 250, 450, 50, 250)     # CHORD
rec(0x0817, 160, 720, 40, 520, 250, 700, 50, 500)      # ARC (open, pen only)
green = brush(0, (40, 160, 70)); select(green)
rec(0x061C, 60, 60, 250, 960, 50, 760)                 # ROUNDRECT h, w, box

dashed = pen(1, 1, (0, 0, 0)); select(dashed)
hatch = brush(2, (120, 60, 160), 5); select(hatch)
rec(0x0418, 380, 240, 290, 40)                          # ELLIPSE box
rec(0x0325, 4, 260, 380, 320, 290, 380, 380, 440, 290)  # POLYLINE count, x,y...

# Text: state set inside SaveDC must be undone by RestoreDC.
rec(0x001E)                                             # SAVEDC
text_align(6 | 24)                                      # TA_CENTER | TA_BASELINE
text_color((20, 20, 120))
sans = font(-44, 700, 'DejaVu Sans'); select(sans)
text_out(700, 340, 'Centred')
rec(0x0127, 0xFFFF)                                     # RESTOREDC -1
text_color((150, 20, 20))
serif = font(-36, 400, 'DejaVu Serif'); select(serif)
text_out(40, 430, 'Top left')                           # default TA_TOP | TA_LEFT
text_align(2 | 8)                                       # TA_RIGHT | TA_BOTTOM
text_out(960, 460, 'Bottom right')
text_align(24)
upright = font(-30, 400, 'DejaVu Sans', escapement=900); select(upright)
text_color((0, 110, 110))
text_out(985, 580, 'Rotated')

# A 4x2 24-bit bitmap stretched over a rectangle (STRETCHDIB, SRCCOPY).
pixels = [(255, 0, 0), (0, 255, 0), (0, 0, 255), (255, 255, 0),
          (0, 0, 0), (255, 255, 255), (128, 128, 128), (255, 0, 255)]
rows = b''
for row in (pixels[4:], pixels[:4]):                    # bottom-up
    rows += b''.join(bytes((b, g, r)) for r, g, b in row)
dib = struct.pack('<IiiHHIIiiII', 40, 4, 2, 1, 24, 0, len(rows), 0, 0, 0, 0) + rows
rec(0x0F43, 0x0020, 0x00CC, 0, 2, 4, 0, 0, 120, 200, 470, 40, raw=dib)
# STRETCHDIB: rop (2 words), usage, src h, src w, src y, src x, dest h, dest w, dest y, dest x

records.append(struct.pack('<IH', 3, 0))
body = b''.join(records)
max_record = max(struct.unpack_from('<I', r)[0] for r in records)
header = struct.pack('<HHHIHIH', 1, 9, 0x300, 9 + len(body) // 2, objects, max_record, 0)
placeable = struct.pack('<IHhhhhHI', 0x9AC6CDD7, 0, 0, 0, 1000, 600, 254, 0)
checksum = 0
for (w,) in struct.iter_unpack('<H', placeable[:20]):
    checksum ^= w
placeable += struct.pack('<H', checksum)
open(sys.argv[1] if len(sys.argv) > 1 else 'gdi-records.wmf', 'wb').write(placeable + header + body)
