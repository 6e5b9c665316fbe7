#!/usr/bin/python3
# Reference results of the kernel resampler, written from its formulas with nothing but the
# standard library: weight lists (8-bit fixed point, edge reflection) and the results of the
# two passes for small test images. Run it to regenerate resample_reference.txt:
#   /usr/bin/python3 resample_reference.py > resample_reference.txt
# Other references import its resampler.
import math

def triangle(x):
    a = abs(x)
    return 1.0 - a if a < 1.0 else 0.0

def hermite(x):
    a = abs(x)
    return (2.0 * a - 3.0) * x * x + 1.0 if a < 1.0 else 0.0

def bell(x):
    a = abs(x)
    if a < 0.5:
        return 0.75 - x * x
    if a < 1.5:
        return 0.5 * (a - 1.5) ** 2
    return 0.0

def bspline(x):
    a = abs(x)
    if a < 1.0:
        return 0.5 * a ** 3 - x * x + 2.0 / 3.0
    if a < 2.0:
        return (2.0 - a) ** 3 / 6.0
    return 0.0

def sinc(x):
    if x == 0.0:
        return 1.0
    p = math.pi * x
    return math.sin(p) / p

def lanczos3(x):
    a = abs(x)
    return sinc(a) * sinc(a / 3.0) if a < 3.0 else 0.0

def mitchell(x):
    a = abs(x)
    x2 = x * x
    if a < 1.0:
        return (7.0 * a * x2 - 12.0 * x2 + 16.0 / 3.0) / 6.0
    if a < 2.0:
        return (-7.0 / 3.0 * a * x2 + 12.0 * x2 - 20.0 * a + 32.0 / 3.0) / 6.0
    return 0.0

def box(x):
    return 1.0 if -0.5 < x <= 0.5 else 0.0

def linear(x):
    if -1.0 <= x < 0.0:
        return x + 1.0
    if 0.0 <= x < 1.0:
        return 1.0 - x
    return 0.0

# filter number -> (kernel, support)
FILTERS = {1: (triangle, 1.0), 2: (hermite, 1.0), 3: (bell, 1.5), 4: (bspline, 2.0),
           5: (lanczos3, 3.0), 6: (mitchell, 2.0), 7: (box, 1.0), 8: (linear, 1.0)}

def scale(s, d):
    if s == 1 or d == 1:
        return d / s
    return (d - 1) / (s - 1)

def reflect(j, s):
    if j < 0:
        j = -j
    elif j >= s:
        j = 2 * s - 1 - j
    return min(max(j, 0), s - 1)

def weights(s, d, flt):
    k, r = FILTERS[flt]
    f = scale(s, d)
    lists = []
    for i in range(d):
        centre = i / f
        terms = []
        if f >= 1.0:
            for j in range(math.floor(centre - r), math.ceil(centre + r) + 1):
                w = round(k(centre - j) * 256.0)
                if w != 0:
                    terms.append((reflect(j, s), w))
        else:
            width = r / f
            fscale = 1.0 / f
            for j in range(math.floor(centre - width), math.ceil(centre + width) + 1):
                w = round(k((centre - j) / fscale) * 256.0 / fscale)
                if w != 0:
                    terms.append((reflect(j, s), w))
        lists.append(terms)
    return lists

def tdiv(a, b):
    q = abs(a) // abs(b)
    return q if (a >= 0) == (b > 0) else -q

def clamp(v):
    return 0 if v < 0 else (255 if v > 255 else v)

def zero_sum(v):
    return 0 if v < 0 else clamp(v >> 8)

def horizontal(row, lists, channels):
    out = []
    for terms in lists:
        ws = sum(w for _, w in terms)
        for c in range(channels):
            v = sum(w * row[p * channels + c] for p, w in terms)
            out.append(clamp(tdiv(v, ws)) if ws != 0 else zero_sum(v))
    return out

def resample(img, sw, sh, dw, dh, flt, channels):
    h = weights(sw, dw, flt)
    work = [horizontal(img[y], h, channels) for y in range(sh)]
    v = weights(sh, dh, flt)
    dest = []
    for y in range(dh):
        terms = v[y]
        ws = sum(w for _, w in terms)
        row = []
        for k in range(dw * channels):
            s = sum(w * work[min(max(p, 0), sh - 1)][k] for p, w in terms)
            row.append(clamp(tdiv(s, ws)) if ws != 0 else zero_sum(s))
        dest.append(row)
    return dest

def pattern24(w, h):
    # b, g, r per pixel; the same formulas as the test's pattern
    return [[v for x in range(w) for v in ((x * 37 + y * 91 + 13) % 256,
                                            (x * x * 7 + y * 3 + 200) % 256,
                                            (x * y * 11 + (x ^ y) * 29) % 256)] for y in range(h)]

def pattern8(w, h):
    return [[(x * 53 + y * y * 17 + 5) % 256 for x in range(w)] for y in range(h)]

CASES = [(7, 5, 11, 3), (13, 9, 4, 4), (2, 2, 3, 3), (1, 6, 4, 9), (9, 1, 20, 2), (40, 3, 5, 7)]

def main():
    for flt in sorted(FILTERS):
        for s, d in ((7, 11), (5, 3), (13, 4), (9, 4), (2, 3), (1, 4), (40, 5)):
            print("weights %d %d %d" % (flt, s, d))
            for terms in weights(s, d, flt):
                print(" ".join("%d:%d" % t for t in terms))
    for flt in sorted(FILTERS):
        for sw, sh, dw, dh in CASES:
            for channels, pat in ((3, pattern24), (1, pattern8)):
                print("pass %d %d %d %d %d %d" % (channels, flt, sw, sh, dw, dh))
                for row in resample(pat(sw, sh), sw, sh, dw, dh, flt, channels):
                    print(" ".join(str(v) for v in row))

if __name__ == "__main__":
    main()
