#!/usr/bin/env python3
"""Recomputes the expected values of the colour-space tests from the
formulas, apart from the C++ code: run it and compare with the tables of
cie_color_spaces_test.cpp and tint_color_spaces_test.cpp.

    python3 engine/render/color/expected_values.py
"""

import math

GAMMA_NUMERATOR = 1.43
SCALE = 1 / 255


def video(v):
    t = 4.5 * v if v < 0.02 else 1.1 * v ** 0.45 - 0.1
    return min(max(t, 0.0), 1.0)


def engine_rgb(x, y, z):
    return (0.9 * x + 0.26 * y - 0.16 * z,
            -0.75 * x + 1.71 * y + 0.04 * z,
            0.04 * x - 0.07 * y + 1.03 * z)


def round_half_away(v):
    return math.floor(v + 0.5) if v > 0 else math.ceil(v - 0.5)


# CalGray and CalRGB tables and quick colours.
def calgray_table(gamma, i):
    return int(255 * (i * SCALE) ** (GAMMA_NUMERATOR / gamma))


def calrgb_table(gamma, i):
    return min(255, round_half_away(255 * (i * SCALE) ** (GAMMA_NUMERATOR / gamma)))


# CalRGB full conversion: gammas, the space's matrix (PDF order), division by
# the white point, the engine's matrix and the video transfer.
def calrgb_full(abc, gamma, matrix, white):
    a, b, c = (abc[i] ** gamma[i] for i in range(3))
    m = matrix
    x = (a * m[0] + b * m[3] + c * m[6]) / white[0]
    y = (a * m[1] + b * m[4] + c * m[7]) / white[1]
    z = (a * m[2] + b * m[5] + c * m[8]) / white[2]
    return [video(v) for v in engine_rgb(x, y, z)]


def lab_xyz(l, a, b, white):
    fy = (l + 16) / 116
    fx = fy + a / 500
    fz = fy - b / 200

    def f(t):
        return t ** 3 if t >= 6 / 29 else (t - 4 / 29) * 108 / 841

    return white[0] * f(fx), white[1] * f(fy), white[2] * f(fz)


def lab_colour(lab, white):
    out = []
    for v in engine_rgb(*lab_xyz(*lab, white)):
        out.append(min(math.sqrt(max(v, 0.0)), 1.0))
    return out


def lab_sample(bytes3, white, rng, decoded):
    if decoded:
        l = bytes3[0]
        a = bytes3[1] - 256 if bytes3[1] > 127 else bytes3[1]
        b = bytes3[2] - 256 if bytes3[2] > 127 else bytes3[2]
    else:
        l = bytes3[0] * 100 / 255
        a = rng[0] + (rng[1] - rng[0]) * bytes3[1] / 255
        b = rng[2] + (rng[3] - rng[2]) * bytes3[2] / 255
    return [int(255 * video(v)) for v in engine_rgb(*lab_xyz(l, a, b, white))]


# Tint transforms: type 2 outputs c0 + t^n (c1 - c0); sample bytes are the
# outputs times 255, truncated and held within 0 to 255.
def type2(t, c0, c1, n=1):
    return [a + t ** n * (b - a) for a, b in zip(c0, c1)]


def sample_bytes(values):
    return [min(255, max(0, int(v * 255))) for v in values]


def main():
    cmyk = ([0, 0, 0, 0], [1, 0.5, 0, 0.2])
    print("Separation over CMYK, colours 1 and 0.5:", type2(1, *cmyk), type2(0.5, *cmyk))
    print("Separation over CMYK, samples 255 0 128:",
          [sample_bytes(type2(s / 255, *cmyk)) for s in (255, 0, 128)])
    print("Separation over CMYK, 1-bit samples 1 0:",
          [sample_bytes(type2(s, *cmyk)) for s in (1, 0)])
    # (a, b) -> (a * b, a, b)
    print("DeviceN over RGB, colour 0.5 0.25:", [0.5 * 0.25, 0.5, 0.25])
    print("DeviceN over RGB, 4-bit samples (15, 8) (0, 15):",
          [sample_bytes([a * b, a, b]) for a, b in ((15 / 15, 8 / 15), (0 / 15, 15 / 15))])
    print("Separation over RGB at -1/65535 (clipped to 0):",
          sample_bytes(type2(0, [0.2, 0.4, 0.6], [1, 1, 1])))
    print("Index table through a Separation (white to red), tints 00 FF 80:",
          [sample_bytes(type2(s / 255, [1, 1, 1], [1, 0, 0])) for s in (0, 255, 128)])
    d65 = (0.9505, 1.0, 1.089)
    print("CalRGB quick colour 0.5 (gamma 1): %.6f" % 0.5 ** (1 / GAMMA_NUMERATOR))
    print("CalRGB quick colour 0.5 (gamma 2.2): %.6f" % 0.5 ** (2.2 / GAMMA_NUMERATOR))
    print("CalRGB table (gamma 1) 0 128 255:", [calrgb_table(1, i) for i in (0, 128, 255)])
    print("CalRGB table (gamma 2.2) 64 128 200:", [calrgb_table(2.2, i) for i in (64, 128, 200)])
    print("CalGray colour 0.5 (gamma 2.2): %.6f" % 0.5 ** (GAMMA_NUMERATOR / 2.2))
    print("CalGray table (gamma 2.2) 0 1 128 255:",
          [calgray_table(2.2, i) for i in (0, 1, 128, 255)])
    print("CalGray table (gamma 1) 128:", calgray_table(1, 128))
    matrix = (0.4497, 0.2446, 0.0252, 0.3163, 0.672, 0.1412, 0.1845, 0.0833, 0.9227)
    gamma = (1.8, 1.8, 1.8)
    print("CalRGB full colour 0.5 0.25 1 (gamma 1.8, matrix): %.6f %.6f %.6f"
          % tuple(calrgb_full((0.5, 0.25, 1), gamma, matrix, d65)))
    print("CalRGB full samples 128 64 255:",
          [int(255 * v) for v in calrgb_full((128 / 255, 64 / 255, 1.0), gamma, matrix, d65)])
    print("Lab XYZ of 100 0 0: %.4f %.4f %.4f" % lab_xyz(100, 0, 0, d65))
    print("Lab colour 50 20 -30: %.6f %.6f %.6f" % tuple(lab_colour((50, 20, -30), d65)))
    print("Lab colour 100 0 0: %.6f %.6f %.6f" % tuple(lab_colour((100, 0, 0), d65)))
    rng = (-128, 127, -128, 127)
    print("Lab samples 128 100 200 (range -128..127):",
          lab_sample((128, 100, 200), d65, rng, False))
    print("Lab samples decoded 50 20 -30:", lab_sample((50, 20, 256 - 30), d65, rng, True))
    # Separation over Lab: its outputs 50 -500 400 and 300 0 0 written as
    # decoded bytes, clamped.
    print("Lab samples decoded 50 -128 127:", lab_sample((50, 128, 127), d65, rng, True))
    print("Lab samples decoded 255 0 0:", lab_sample((255, 0, 0), d65, rng, True))


if __name__ == "__main__":
    main()
