#!/usr/bin/env python3
"""Writes gdi-records.wmf: a placeable WMF drawn record by record, for the GDI calls that
drawing programs rarely emit (arcs, pies, chords, rounded rectangles, dashed pens, hatched
brushes, text alignments inside SaveDC/RestoreDC, rotated text, a bitmap)."""
import struct
import sys

from writers import Wmf

wmf = Wmf(1000, 600, 254)
rec, select = wmf.rec, wmf.select
background = wmf.brush((250, 248, 240))
none_pen = wmf.pen(5, 0, (0, 0, 0))
select(background); select(none_pen)
rec(0x041B, 600, 1000, 0, 0)        # RECTANGLE bottom, right, top, left

thick = wmf.pen(0, 8, (30, 30, 30)); select(thick)
red = wmf.brush((200, 40, 40)); select(red)
rec(0x081A, 280, 220, 40, 20, 250, 200, 50, 40)       # PIE: end y,x start y,x then box
blue = wmf.brush((40, 90, 200)); select(blue)
rec(0x0830, 280, 470, 160, 420, 250, 450, 50, 250)     # CHORD
rec(0x0817, 160, 720, 40, 520, 250, 700, 50, 500)      # ARC (open, pen only)
green = wmf.brush((40, 160, 70)); select(green)
rec(0x061C, 60, 60, 250, 960, 50, 760)                 # ROUNDRECT h, w, box

dashed = wmf.pen(1, 1, (0, 0, 0)); select(dashed)
hatch = wmf.brush((120, 60, 160), style=2, hatch=5); select(hatch)
rec(0x0418, 380, 240, 290, 40)                          # ELLIPSE box
rec(0x0325, 4, 260, 380, 320, 290, 380, 380, 440, 290)  # POLYLINE count, x,y...

# Text: state set inside SaveDC must be undone by RestoreDC.
rec(0x001E)                                             # SAVEDC
wmf.text_align(6 | 24)                                  # TA_CENTER | TA_BASELINE
wmf.text_color((20, 20, 120))
sans = wmf.font(-44, 'DejaVu Sans', weight=700); select(sans)
wmf.text_out(700, 340, 'Centred')
rec(0x0127, 0xFFFF)                                     # RESTOREDC -1
wmf.text_color((150, 20, 20))
serif = wmf.font(-36, 'DejaVu Serif'); select(serif)
wmf.text_out(40, 430, 'Top left')                       # default TA_TOP | TA_LEFT
wmf.text_align(2 | 8)                                   # TA_RIGHT | TA_BOTTOM
wmf.text_out(960, 460, 'Bottom right')
wmf.text_align(24)
upright = wmf.font(-30, 'DejaVu Sans', escapement=900); select(upright)
wmf.text_color((0, 110, 110))
wmf.text_out(985, 580, 'Rotated')

# A 4x2 24-bit bitmap stretched over a rectangle (STRETCHDIB, SRCCOPY).
pixels = [(255, 0, 0), (0, 255, 0), (0, 0, 255), (255, 255, 0),
          (0, 0, 0), (255, 255, 255), (128, 128, 128), (255, 0, 255)]
rows = b''
for row in (pixels[4:], pixels[:4]):                    # bottom-up
    rows += b''.join(bytes((b, g, r)) for r, g, b in row)
dib = struct.pack('<IiiHHIIiiII', 40, 4, 2, 1, 24, 0, len(rows), 0, 0, 0, 0) + rows
rec(0x0F43, 0x0020, 0x00CC, 0, 2, 4, 0, 0, 120, 200, 470, 40, raw=dib)
# STRETCHDIB: rop (2 words), usage, src h, src w, src y, src x, dest h, dest w, dest y, dest x

wmf.write(sys.argv[1] if len(sys.argv) > 1 else 'gdi-records.wmf')
