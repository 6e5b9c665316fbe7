#!/usr/bin/python3
"""Reference values of the preview's quantisation, printed as C++ table rows for
PreviewQuantizeTest.cpp. QuantizeToBox: the quotient (value - min) / extent and its product by 255
are each rounded to float32, the product rounded to an integer with halves to even (numpy's rint),
then min + extent * k / 255 in float64. The 1/128 step: rint(float32(v * 128)) / 128."""
import numpy as np

f32 = np.float32


def box(lo, extent, v):
    if extent == 0:
        return lo
    q = f32((v - lo) / extent)
    p = f32(q * f32(255))
    return lo + extent * float(np.rint(p)) / 255


def step128(v):
    return float(np.rint(f32(v * 128))) / 128


box_cases = [
    (0.3, 0.0, 0.7),            # extent 0: the minimum exactly
    (-1.0, 2.0, -1.0), (-1.0, 2.0, 1.0), (-1.0, 2.0, 0.0),
    (0.0, 1.0, 1 / 510), (0.0, 1.0, 3 / 510), (0.0, 1.0, 5 / 510), (0.0, 1.0, 509 / 510),  # ties
    (-0.75, 1.5, -0.75 + 1.5 * 7 / 510), (-0.75, 1.5, 0.123456789), (0.2, 0.35, 0.55),
    (-0.9921875, 1.9921875, 0.5), (0.0, 1.0, 1.5), (0.0, 1.0, -0.25),  # outside the box: no clamp
]
step_cases = [0.0, 1.0, -0.9921875, 0.5 / 128, 1.5 / 128, 2.5 / 128, -0.5 / 128, -1.5 / 128,
              0.123456789, -0.7071067811865476, 0.75, 0.1 / 128 + 3 / 128]

print("// QuantizeToBox: min, extent, value, expected")
for c in box_cases:
    print("    {%r, %r, %r, %r}," % (c[0], c[1], c[2], box(*c)))
print("// QuantizeToStep128: value, expected")
for v in step_cases:
    print("    {%r, %r}," % (v, step128(v)))
