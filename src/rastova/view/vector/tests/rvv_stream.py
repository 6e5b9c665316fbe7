#!/usr/bin/python3
"""Independent reader and writer of the vector layer's object stream ("RVV", version 'R').

  rvv_stream.py walk FILE    prints the scale, the slots (PNG sizes; the images decoded by Pillow when it is there) and each
                             object's kind, box and text, one line each
  rvv_stream.py write FILE   writes a stream of a filled red box and a blue line, no slots
"""
import io
import struct
import sys
import zlib

FONT = 60
CHARFMT = 280


class Reader:
    def __init__(self, data):
        self.d, self.p = data, 0

    def take(self, n):
        if n < 0 or self.p + n > len(self.d):
            raise ValueError("short stream")
        b = self.d[self.p:self.p + n]
        self.p += n
        return b

    def i32(self):
        return struct.unpack("<i", self.take(4))[0]

    def u8(self):
        return self.take(1)[0]

    def f64(self):
        return struct.unpack("<d", self.take(8))[0]

    def s(self):
        return self.take(self.i32()).decode("latin-1")

    def font(self):
        if self.u8():
            self.take(FONT)


def png_end(data, p):
    """The end of the PNG starting at p (after its IEND chunk)."""
    q = p + 8
    while True:
        n, kind = struct.unpack(">I4s", data[q:q + 8])
        q += 12 + n
        if kind == b"IEND":
            return q


def entry(r, out):
    r.i32()
    x1, y1, x2, y2 = r.i32(), r.i32(), r.i32(), r.i32()
    kind = r.u8()
    r.u8(), r.u8()                       # aspect, blend
    r.u8(), r.f64(), r.i32(), r.i32()    # shadow
    r.i32(), r.take(3)
    name = r.s()
    r.i32()                              # ID
    pen = r.i32(); r.u8(); r.i32()
    brush = r.i32(); r.u8()
    r.u8(); r.i32(); r.u8(); r.u8()
    r.take(r.i32())                      # user data
    text = ""
    if kind == 0:
        for _ in range(r.i32()):
            entry(r, out)
        return
    if kind == 11:
        r.i32(); r.u8(); r.u8(); r.u8()
    if kind in (1, 11):
        r.u8(); r.u8(); r.i32(); r.i32()
    if kind == 4:
        r.f64(); r.f64()
    if kind == 5:
        r.i32(); r.u8(); text = r.s()
    if kind in (6, 11, 12):
        r.u8(); r.u8(); text = r.s(); r.font()
        n = r.i32()
        if n > 0:
            r.take(16 * n); r.i32()
    if kind == 10:
        text = r.s(); r.font()
        if r.u8():
            r.take(4 * len(text))
        r.take(CHARFMT * r.i32())
        r.u8(); r.u8(); r.i32(); r.i32(); r.u8(); r.u8(); r.i32()
        if r.u8():
            r.i32(); r.u8()
        r.take(32); r.u8()
    r.u8()                               # editable
    if kind == 7:
        r.u8(); r.u8(); r.font()
    if kind == 8:
        r.take(8 * r.i32()); r.take(16); r.u8()
    if kind == 9:
        r.take(24); r.font()
    if kind == 12 and r.u8():
        raise ValueError("extended objects carry data of their own")
    out.append("%d %d %d %d %d %06x %06x %s|%s" % (kind, x1, y1, x2, y2, pen, brush, name, text))


def walk(path):
    data = open(path, "rb").read()
    assert data[:3] == b"RVV" and data[3:4] == b"R", "not a version R object stream"
    total, scale, slots = struct.unpack_from("<idi", data, 4)
    assert total == len(data), "total length %d, file %d" % (total, len(data))
    print("scale %g slots %d" % (scale, slots))
    p = 20
    for i in range(slots):
        count = struct.unpack_from("<i", data, p)[0]
        p += 4
        if count > 0:
            end = png_end(data, p)
            w, h = struct.unpack_from(">II", data, p + 16)
            try:
                from PIL import Image
                im = Image.open(io.BytesIO(data[p:end]))
                im.load()
                assert im.size == (w, h)
            except ImportError:
                pass
            print("slot %d count %d png %dx%d" % (i, count, w, h))
            p = end
    r = Reader(zlib.decompress(data[p:]))
    out = []
    for _ in range(r.i32()):
        entry(r, out)
    assert r.p == len(r.d), "bytes left in the object block"
    for line in out:
        print(line)


def common(kind, box, pen, brush, name):
    b = struct.pack("<iiiiiBBB", -1, *box, kind, 0, 0)
    b += struct.pack("<Bdii", 0, 3.0, 2, 2) + struct.pack("<i3B", 100, 0, 0, 0)
    b += struct.pack("<i", len(name)) + name.encode()
    b += struct.pack("<iiBiiBBiBBi", 0, pen, 0, 1, brush, 0, 15, 255, 0, 0, 0)
    return b


def write(path):
    box = common(2, (10, 5, 49, 24), 0x000000, 0x0000FF, "box")
    box += b"\x01"                       # editable
    line = common(1, (0, 39, 59, 39), 0xFF0000, 0, "line")
    line += struct.pack("<BBii", 0, 0, 0, 0) + b"\x01"
    block = zlib.compress(struct.pack("<i", 2) + box + line)
    head = b"RVVR" + struct.pack("<idi", 0, 1.0, 0)
    data = head + block
    data = data[:4] + struct.pack("<i", len(data)) + data[8:]
    open(path, "wb").write(data)


if __name__ == "__main__":
    {"walk": walk, "write": write}[sys.argv[1]](sys.argv[2])
