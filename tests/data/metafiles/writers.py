"""Record writers shared by the make-*.py generators: placeable WMF and EMF files built record
by record, and the packing helpers their records are made of."""
import struct


def u32(*v): return struct.pack('<%dI' % len(v), *v)
def s32(*v): return struct.pack('<%di' % len(v), *v)
def f32(*v): return struct.pack('<%df' % len(v), *v)
def color(rgb): return bytes(rgb) + b'\0'
def utf16(s): return s.encode('utf-16-le')


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

    def brush(self, rgb, style=0, hatch=0):
        r, g, b = rgb
        return self.create(0x02FC, style, g << 8 | r, b, hatch)

    def font(self, height, face, charset=0, weight=400, escapement=0, italic=0):
        name = face.encode('latin-1') + b'\0'
        raw = struct.pack('<hhhhhBBBBBBBB', height, 0, escapement, escapement, weight, italic, 0,
                          0, charset, 0, 0, 0, 0)
        return self.create(0x02FB, raw=raw + name + b'\0' * (32 - len(name)))

    def select(self, i):
        self.rec(0x012D, i)

    def delete(self, i):
        self.rec(0x01F0, i)
        self.free.append(i)

    def text_align(self, a):
        self.rec(0x012E, a)

    def text_color(self, rgb):
        r, g, b = rgb
        self.rec(0x0209, g << 8 | r, b)

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


class Emf:
    """An EMF on a reference device `px` pixels for `mm` millimetres, its picture `size` pixels
    (the whole device unless given); its header's `bounds` are the picture's unless given."""

    eof_size = 16                                 # the EOF record's own size, as it claims it

    def __init__(self, px=(1000, 600), mm=(100, 60), size=None, bounds=None):
        self.px, self.mm, self.size = px, mm, size or px
        self.bounds = bounds or (0, 0, self.size[0] - 1, self.size[1] - 1)
        self.records = []
        self.handles = 1
        self.free = []

    def rec(self, kind, body=b''):
        body += b'\0' * (-len(body) % 4)
        self.records.append(u32(kind, 8 + len(body)) + body)

    def create(self, kind, body):
        handle = self.free.pop(0) if self.free else self.handles
        self.handles = max(self.handles, handle + 1)
        self.rec(kind, u32(handle) + body)
        return handle

    def pen(self, rgb, width=1, style=0):
        return self.create(38, u32(style) + s32(width, 0) + color(rgb))

    def ext_pen(self, rgb, width, style, dashes=()):
        return self.create(95, u32(0, 0, 0, 0, style, width, 0) + color(rgb) +
                           u32(0, len(dashes), *dashes))

    def brush(self, rgb, style=0, hatch=0):
        return self.create(39, u32(style) + color(rgb) + u32(hatch))

    def pattern_brush(self, info, bits):
        # CREATEDIBPATTERNBRUSHPT: handle, usage, offBmi, cbBmi, offBits, cbBits, then both.
        return self.create(94, u32(0, 32, len(info), 32 + len(info), len(bits)) + info + bits)

    def font(self, height, face, escapement=0, weight=400, italic=0, charset=0):
        face_bytes = utf16(face)[:62].ljust(64, b'\0')
        return self.create(82, s32(height, 0, escapement, escapement, weight) +
                           bytes([italic, 0, 0, charset, 0, 0, 0, 0]) + face_bytes)

    def select(self, h): self.rec(37, u32(h))

    def delete(self, h):
        self.rec(40, u32(h))
        self.free.append(h)
        self.free.sort()

    def rect(self, l, t, r, b): self.rec(43, s32(l, t, r, b))
    def ellipse(self, l, t, r, b): self.rec(42, s32(l, t, r, b))
    def move(self, x, y): self.rec(27, s32(x, y))
    def line(self, x, y): self.rec(54, s32(x, y))
    def save(self): self.rec(33)
    def restore(self, n=-1): self.rec(34, s32(n))

    def poly(self, kind, points):
        xs = [p[0] for p in points]
        ys = [p[1] for p in points]
        bounds = s32(min(xs), min(ys), max(xs), max(ys))
        self.rec(kind, bounds + u32(len(points)) + b''.join(s32(x, y) for x, y in points))

    def world(self, m11, m12, m21, m22, dx, dy, mode=None):
        if mode is None:
            self.rec(35, f32(m11, m12, m21, m22, dx, dy))
        else:
            self.rec(36, f32(m11, m12, m21, m22, dx, dy) + u32(mode))

    def text(self, x, y, s, dx=None, options=0, glyphs=None, kind=84, rect=(0, 0, -1, -1)):
        """EXTTEXTOUTW at (x, y); `glyphs`: indices instead of characters; `rect` the box that
        ETO_OPAQUE fills and ETO_CLIPPED cuts to."""
        units = glyphs if glyphs is not None else [ord(c) for c in s]
        chars = b''.join(struct.pack('<H', u) for u in units)
        chars += b'\0' * (-len(chars) % 4)
        off_string = 76
        off_dx = off_string + len(chars) if dx is not None else 0
        spacing = b''.join(s32(d) for d in dx) if dx is not None else b''
        self.rec(kind, s32(0, 0, -1, -1) + u32(1) + f32(1, 1) + s32(x, y) +
                 u32(len(units), off_string, options) + s32(*rect) + u32(off_dx) +
                 chars + spacing)

    def write(self, path):
        self.rec(14, u32(0, 16, self.eof_size))
        (w, h), px, mm = self.size, self.px, self.mm
        frame = (w * mm[0] * 100 // px[0], h * mm[1] * 100 // px[1])
        body = b''.join(self.records)
        header = (u32(1, 108) + s32(*self.bounds) + s32(0, 0, *frame) +
                  u32(0x464D4520, 0x10000, 108 + len(body), len(self.records) + 1) +
                  struct.pack('<HH', self.handles, 0) + u32(0, 0, 0) + s32(*px) +
                  s32(*mm) + u32(0, 0, 0) + s32(mm[0] * 1000, mm[1] * 1000))
        with open(path, 'wb') as f:
            f.write(header + body)
