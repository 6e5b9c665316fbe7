#!/usr/bin/python3
# Reference results of the texture pixel routines, written from their rules with numpy in float64:
# the block decoders (DXT1, DXT3, DXT5, LATC, RGTC and their signed variants) on hand-built blocks,
# and the separable resampler and mipmap chain with the tent and Lanczos-3 kernels. Run it to
# regenerate image_utils_reference.txt:
#   /usr/bin/python3 image_utils_reference.py > image_utils_reference.txt
#
# Lines:
#   block <data type hex> <width> <height> <block bytes hex> : <R G B A of each pixel, row by row>
#   resample <kernel> <sw> <sh> <dw> <dh> : <R G B A bytes of each destination pixel>
#   mipmap <kernel> <w> <h> <levels> : <R G B A bytes of levels 1.. one after the other>
# The sources of resample and mipmap are the picture of SourcePixel (the same formula as the test's).
import math
import random

import numpy as np

# ---- Block decoders ----

def c565(c):
    return np.array([((c >> 11) & 31) * 8, ((c >> 5) & 63) * 4, (c & 31) * 8, 255], dtype=np.int64)

def colour_block(b, force_four):
    c0 = b[0] | (b[1] << 8)
    c1 = b[2] | (b[3] << 8)
    idx = b[4] | (b[5] << 8) | (b[6] << 16) | (b[7] << 24)
    p0, p1 = c565(c0), c565(c1)
    pal = [p0, p1]
    if force_four or c0 > c1:
        p2 = (2 * p0 + p1 + 1) // 3
        p3 = (p0 + 2 * p1 + 1) // 3
        p2[3] = p3[3] = 255
    else:
        p2 = (p0 + p1) // 2
        p2[3] = 255
        p3 = (p0 + 2 * p1 + 1) // 3
        p3[3] = 0
    pal += [p2, p3]
    return [pal[(idx >> (2 * k)) & 3].copy() for k in range(16)]

def bits48(b):
    v = 0
    for i in range(5, -1, -1):
        v = (v << 8) | b[i]
    return v

def channel_block(b, signed):
    def sb(x):
        return x - 256 if signed and x > 127 else x
    e0, e1 = sb(b[0]), sb(b[1])
    pal = [e0, e1]
    def tdiv(a, d):  # division toward zero
        q = abs(a) // d
        return q if a >= 0 else -q
    if e0 > e1:
        pal += [tdiv((8 - j) * e0 + (j - 1) * e1, 7) for j in range(2, 8)]
    else:
        pal += [tdiv((6 - j) * e0 + (j - 1) * e1, 5) for j in range(2, 6)]
        pal += [-127, 127] if signed else [0, 255]
    v = bits48(b[2:8])
    return [pal[(v >> (3 * k)) & 7] for k in range(16)]

def dxt1(b):
    return colour_block(b, False)

def dxt3(b):
    t = colour_block(b[8:16], True)
    for y in range(4):
        row = b[2 * y] | (b[2 * y + 1] << 8)
        for x in range(4):
            t[4 * y + x][3] = ((row >> (4 * x)) & 15) * 17
    return t

def dxt5(b):
    t = colour_block(b[8:16], True)
    a0, a1 = b[0], b[1]
    pal = [a0, a1]
    if a0 > a1:
        pal += [((8 - j) * a0 + (j - 1) * a1 + 3) // 7 for j in range(2, 8)]
    else:
        pal += [((6 - j) * a0 + (j - 1) * a1 + 2) // 5 for j in range(2, 6)] + [0, 255]
    v = bits48(b[2:8])
    for k in range(16):
        t[k][3] = pal[(v >> (3 * k)) & 7]
    return t

def one_channel(kind, signed, two):
    # kind: 'L' (luminance) or 'R' (red / red-green)
    def dec(b):
        q1 = channel_block(b[0:8], signed)
        q2 = channel_block(b[8:16], signed) if two else [0] * 16
        s = 2 if signed else 1
        full = 127 if signed else 255
        out = []
        for k in range(16):
            if kind == 'L':
                a = s * q2[k] if two else full
                out.append([s * q1[k]] * 3 + [a])
            else:
                out.append([s * q1[k], s * q2[k] if two else 0, 0, full])
        return out
    return dec

DECODERS = {
    0x83F0: (8, dxt1), 0x83F1: (8, dxt1), 0x83F2: (16, dxt3), 0x83F3: (16, dxt5),
    0x8C70: (8, one_channel('L', False, False)), 0x8C71: (8, one_channel('L', True, False)),
    0x8C72: (16, one_channel('L', False, True)), 0x8C73: (16, one_channel('L', True, True)),
    0x8DBB: (8, one_channel('R', False, False)), 0x8DBC: (8, one_channel('R', True, False)),
    0x8DBD: (16, one_channel('R', False, True)), 0x8DBE: (16, one_channel('R', True, True)),
}

def decode_image(dtype, w, h, data):
    size, dec = DECODERS[dtype]
    out = np.zeros((h, w, 4), dtype=np.int64)
    bw, bh = (w + 3) // 4, (h + 3) // 4
    pos = 0
    for by in range(bh):
        for bx in range(bw):
            t = dec(list(data[pos:pos + size]))
            pos += size
            for y in range(4):
                for x in range(4):
                    iy, ix = by * 4 + y, bx * 4 + x
                    if iy < h and ix < w:
                        out[iy, ix] = t[4 * y + x]
    return out

def special_blocks(size):
    # Endpoint orders that choose each palette rule, then random blocks.
    fixed = []
    if size == 8:
        fixed += [bytes([0x00, 0xF8, 0x1F, 0x00, 0xE4, 0x1B, 0x4E, 0xB1]),   # c0 > c1 / e0 > e1
                  bytes([0x1F, 0x00, 0x00, 0xF8, 0xE4, 0x1B, 0x4E, 0xB1]),   # c0 < c1 / e0 < e1
                  bytes([0x34, 0x12, 0x34, 0x12, 0xFF, 0xFF, 0xFF, 0xFF]),   # equal colours, index 3
                  bytes([0x80, 0x10, 0x88, 0xC6, 0xFA, 0x05, 0x39, 0x77])]   # signed: -128 < 16
    else:
        fixed += [bytes([0xF0, 0x10, 0x88, 0xC6, 0xFA, 0x05, 0x39, 0x77,
                         0x00, 0xF8, 0x1F, 0x00, 0xE4, 0x1B, 0x4E, 0xB1]),
                  bytes([0x10, 0xF0, 0x88, 0xC6, 0xFA, 0x05, 0x39, 0x77,
                         0x1F, 0x00, 0x00, 0xF8, 0xE4, 0x1B, 0x4E, 0xB1])]
    return fixed

def emit_blocks(rng):
    for dtype in sorted(DECODERS):
        size, _ = DECODERS[dtype]
        blocks = special_blocks(size) + [bytes(rng.randrange(256) for _ in range(size)) for _ in range(3)]
        for b in blocks:
            emit_block_image(dtype, 4, 4, b)
        # Edge blocks: 6 x 4 (two blocks, half of the second outside) and 2 x 2 (one block).
        emit_block_image(dtype, 6, 4, blocks[0] + blocks[-1])
        emit_block_image(dtype, 2, 2, blocks[-2])
        emit_block_image(dtype, 5, 7, b''.join(blocks[:4]))

def emit_block_image(dtype, w, h, data):
    img = decode_image(dtype, w, h, data)
    print('block %04X %d %d %s : %s' % (dtype, w, h, data.hex(), ' '.join(str(v) for v in img.reshape(-1))))

# ---- Resampling ----

def tent(x):
    a = abs(x)
    return 1.0 - a if a < 1.0 else 0.0

def lanczos3(x):
    if x == 0.0:
        return 1.0
    a = abs(x)
    if a >= 3.0:
        return 0.0
    t = a * math.pi
    return math.sin(t) * 3.0 * math.sin(t / 3.0) / (t * t)

KERNELS = {'tent': tent, 'lanczos3': lanczos3}
SUPPORT = 5

def source_pixel(x, y):
    return ((x * 37 + y * 11) % 256, (x * x + 3 * y) % 256, (x * y * 7 + 5) % 256, (200 + x + y) % 256)

def source_image(w, h):
    return np.array([[source_pixel(x, y) for x in range(w)] for y in range(h)], dtype=np.float64)

def reflect(j, n):
    if j < 0:
        j = -j
    elif j >= n:
        j = max(2 * n - j - 1, 0)
    return min(j, n - 1)

def contributors(outputs, scale, kernel, extent):
    lists = []
    for i in range(outputs):
        items = []
        if scale < 1.0:
            f = 1.0 / scale
            width = SUPPORT / scale
            c = i / scale
            for j in range(math.floor(c - width), math.ceil(c + width) + 1):
                wgt = kernel((c - j) / f) / f
                if wgt != 0.0:
                    items.append((reflect(j, extent), wgt))
        else:
            c = i / scale
            for j in range(math.floor(c - SUPPORT), math.ceil(c + SUPPORT) + 1):
                wgt = kernel(c - j)
                if wgt != 0.0:
                    items.append((reflect(j, extent), wgt))
        lists.append(items)
    return lists

def apply_rows(lists, img):
    out = np.zeros((img.shape[0], len(lists), 4))
    for x, items in enumerate(lists):
        for j, wgt in items:
            out[:, x, :] += wgt * img[:, j, :]
    return out

def apply_columns(lists, img):
    out = np.zeros((len(lists), img.shape[1], 4))
    for y, items in enumerate(lists):
        for j, wgt in items:
            out[y, :, :] += wgt * img[j, :, :]
    return out

def to_bytes(img):
    return np.trunc(np.clip(img, 0, 255)).astype(np.int64)

def resample_scale(dst, src):
    if src == 1 or dst == 1:
        return dst / src
    return (dst - 1) / (src - 1)

def resample(kernel, img, dw, dh):
    sh, sw = img.shape[0], img.shape[1]
    rows = apply_rows(contributors(dw, resample_scale(dw, sw), kernel, sw), img)
    return apply_columns(contributors(dh, resample_scale(dh, sh), kernel, sh), rows)

def mip_scale(nxt, ext):
    return max(0.25, nxt / ext if ext == 1 else (nxt - 1) / (ext - 1))

def mipmap(kernel, img, levels):
    out = []
    for _ in range(levels):
        h, w = img.shape[0], img.shape[1]
        nw, nh = max(w // 2, 1), max(h // 2, 1)
        rows = apply_rows(contributors(nw, mip_scale(nw, w), kernel, w), img)
        img = apply_columns(contributors(nh, mip_scale(nh, h), kernel, h), rows)
        out.append(to_bytes(img))
    return out

RESAMPLE_CASES = [
    (1, 1, 4, 4), (5, 4, 5, 4), (5, 4, 9, 7), (9, 7, 4, 3), (7, 5, 1, 1), (1, 3, 4, 4),
    (6, 6, 2, 3), (13, 11, 16, 16), (16, 16, 3, 2), (3, 2, 8, 8), (40, 3, 7, 2),
]
MIPMAP_CASES = [(4, 4, 2), (8, 6, 3), (5, 3, 2), (8, 1, 3), (16, 12, 4), (3, 3, 1)]

def main():
    rng = random.Random(118)
    emit_blocks(rng)
    for name in ('tent', 'lanczos3'):
        k = KERNELS[name]
        for sw, sh, dw, dh in RESAMPLE_CASES:
            out = to_bytes(resample(k, source_image(sw, sh), dw, dh))
            print('resample %s %d %d %d %d : %s' % (name, sw, sh, dw, dh, ' '.join(str(v) for v in out.reshape(-1))))
        for w, h, levels in MIPMAP_CASES:
            out = mipmap(k, source_image(w, h), levels)
            print('mipmap %s %d %d %d : %s' % (name, w, h, levels, ' '.join(str(v) for lv in out for v in lv.reshape(-1))))

main()
