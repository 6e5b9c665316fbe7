#!/usr/bin/python3
"""An independent reader and writer of layers files, written from the format's tables.

  layers_file.py read FILE    prints the header, every layer's properties and a summary of its
                              image as JSON (raw images decoded here, PNG images by Pillow)
  layers_file.py write FILE   writes a two-layer file whose images are PNG files made by Pillow
"""
import io
import json
import struct
import sys
import zlib

SIG = b"RASTOVALAYERS"


class Reader:
    def __init__(self, data, pos=0):
        self.d, self.p = data, pos

    def take(self, n):
        if n < 0 or self.p + n > len(self.d):
            raise ValueError("truncated")
        b = self.d[self.p:self.p + n]
        self.p += n
        return b

    def u8(self):
        return self.take(1)[0]

    def i32(self):
        return struct.unpack("<i", self.take(4))[0]

    def f64(self):
        return struct.unpack("<d", self.take(8))[0]


def read_raw_bitmap(data):
    r = Reader(data)
    assert r.take(12) == b"TRVBITMAPRAW"
    r.i32()  # version
    pal = [tuple(r.take(3)) for _ in range(r.i32())]
    w, h = r.i32(), r.i32()
    fmt, _full = r.u8(), r.u8()
    r.i32(); r.f64(); r.f64(); [r.i32() for _ in range(4)]; r.u8(); r.i32()
    align = r.i32()
    bits = {1: 1, 2: 8, 3: 8, 4: 16, 5: 24, 6: 32, 7: 32, 8: 48, 9: 24, 10: 32}[fmt]
    row_len = ((w * bits + align - 1) // align) * align // 8
    rows = [r.take(row_len) for _ in range(h)]
    alpha = None
    if r.u8():
        arow = ((w * 8 + 31) // 32) * 4
        alpha = [r.take(arow)[:w] for _ in range(h)]
        r.u8()
    first = None
    if fmt == 5 and w and h:
        b, g, rr = rows[0][0:3]
        first = [rr, g, b]
    return {"width": w, "height": h, "format": fmt, "first": first,
            "alpha_first": alpha[0][0] if alpha and w and h else None,
            "palette": len(pal)}


def read(path):
    d = open(path, "rb").read()
    r = Reader(d)
    assert r.take(13) == SIG
    version, fmt, n = r.i32(), r.i32(), r.i32()
    layers = []
    for _ in range(n):
        L = {}
        L["Visible"], L["ShowBox"] = r.u8(), r.u8()
        L["Opacity"], L["PosX"], L["PosY"] = r.i32(), r.i32(), r.i32()
        L["ClipToImage"], L["Locked"], L["MagnifierEnabled"] = r.u8(), r.u8(), r.u8()
        L["MagnifierRate"], L["MagnifierShape"] = r.f64(), r.u8()
        if version >= 3:
            L["MagnifierSource"] = r.u8()
        L["Operation"], L["DisplayWidth"], L["DisplayHeight"] = r.u8(), r.i32(), r.i32()
        if version >= 3:
            L["ResampleFilter"], L["UseResampleFilter"] = r.u8(), r.u8()
            L["Name"] = r.take(r.i32()).decode("latin-1")
            ud = r.i32()
            L["UserData"] = list(r.take(ud)) if ud > 0 else []
            L["IsMask"] = r.u8()
        if version >= 4:
            L["Selectable"] = r.u8()
        if version >= 6:
            L["ShadeOutside"] = r.u8()
        lo, hi = struct.unpack("<II", r.take(8))
        L["pos"] = hi << 32 | lo
        layers.append(L)
    for L in layers:
        ir = Reader(d, L.pop("pos"))
        if fmt in (-1, -2):
            c = ir.i32()
            raw = ir.take(c)
            L["image"] = read_raw_bitmap(zlib.decompress(raw) if fmt == -1 else raw)
        else:
            from PIL import Image
            im = Image.open(io.BytesIO(d[ir.p:]))
            im.load()
            L["image"] = {"width": im.size[0], "height": im.size[1], "mode": im.mode,
                          "first": list(im.convert("RGB").getpixel((0, 0)))}
    print(json.dumps({"version": version, "format": fmt, "layers": layers}))


def record(name, posx, posy, opacity, visible):
    b = bytes([visible, 1]) + struct.pack("<iii", opacity, posx, posy) + bytes([0, 0, 0])
    b += struct.pack("<d", 2.0) + bytes([0, 1, 0]) + struct.pack("<ii", 0, 0) + bytes([0, 0])
    b += struct.pack("<i", len(name)) + name.encode("latin-1") + struct.pack("<i", 0)
    b += bytes([0, 1, 0])
    return b


def write(path):
    from PIL import Image
    images = []
    for size, colour in (((40, 30), (200, 10, 20)), ((10, 8), (5, 20, 250))):
        buf = io.BytesIO()
        Image.new("RGB", size, colour).save(buf, "PNG")
        images.append(buf.getvalue())
    recs = [record("Background", 0, 0, 255, 1), record("Blue box", 5, 6, 255, 1)]
    out = bytearray(SIG + struct.pack("<iii", 6, 8, len(recs)))
    slots = []
    for rec in recs:
        out += rec
        slots.append(len(out))
        out += bytes(8)
    for slot, img in zip(slots, images):
        struct.pack_into("<II", out, slot, len(out) & 0xFFFFFFFF, len(out) >> 32)
        out += img
    open(path, "wb").write(out)


if __name__ == "__main__":
    {"read": read, "write": write}[sys.argv[1]](sys.argv[2])
