#!/usr/bin/env python3
"""reference_model.py -- an independent, slow model of flyover's scene loading, path and renderer.

Written straight from the description of the original program, sharing no code
with the C++ implementation, so that the two can be compared pixel for pixel.
Usage:
  reference_model.py TOOL SCENE_DIR   renders cameras and times with both and compares
"""
import math
import os
import struct
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from png_rgb import read_png_rows  # noqa: E402


def f32(x):
    return struct.unpack("<f", struct.pack("<f", x))[0]


def i32(x):
    x &= 0xFFFFFFFF
    return x - (1 << 32) if x & 0x80000000 else x


def u32(x):
    return x & 0xFFFFFFFF


# ---- pictures -------------------------------------------------------------

def read_bmp(path):
    data = open(path, "rb").read()
    assert data[:2] == b"BM"
    width, height = struct.unpack_from("<ii", data, 18)
    planes, bits, compression = struct.unpack_from("<HHI", data, 26)
    used = struct.unpack_from("<I", data, 46)[0]
    assert planes == 1 and compression == 0 and bits == 8
    n = used or 256
    pal_bytes = data[54:54 + 4 * n]
    palette = [(pal_bytes[4 * e + 2], pal_bytes[4 * e + 1], pal_bytes[4 * e]) for e in range(n)]
    palette += [(0, 0, 0)] * (256 - n)
    stride = ((bits * width + 31) >> 3) & ~3
    pos = 54 + 4 * n
    rows = abs(height)
    pixels = bytearray(stride * rows)
    for k in range(rows):
        row = rows - 1 - k if height >= 0 else k
        chunk = data[pos + k * stride: pos + (k + 1) * stride]
        pixels[row * stride: row * stride + len(chunk)] = chunk
    return pixels, palette


def pack565(r, g, b):
    r, g, b = (max(0, min(255, v)) for v in (r, g, b))
    return ((r & 0xF8) << 8) | ((g & 0xFC) << 3) | (b >> 3)


def shade_table(palette):
    table = [0] * (256 * 32)
    for level in range(32):
        a = level * level // 32
        keep, haze = 32 - a, 256 * a
        for e, (r, g, b) in enumerate(palette):
            table[e * 32 + level] = pack565((r * keep + haze) // 32, (g * keep + haze) // 32,
                                            (b * keep + haze) // 32)
    return table


SINE = [int(math.sin(i * (6.28 / 4096)) * 65536.0) for i in range(4096)]


# ---- key file and path ------------------------------------------------------

def read_keys(path):
    tokens = open(path).read().split()
    colour, height = tokens[0], tokens[1]
    count, interval = int(tokens[2], 0), int(tokens[3], 0)
    values = [f32(float(t)) for t in tokens[4:4 + 5 * count]]
    keys = [(i32(i * interval), values[5 * i:5 * i + 5]) for i in range(count)]
    keys.sort(key=lambda k: k[0])
    tangents = [[0.0] * 5 for _ in keys]
    for k in range(1, len(keys) - 1):
        tangents[k] = [f32(f32(keys[k + 1][1][c] - keys[k - 1][1][c]) * 0.5) for c in range(5)]
    return colour, height, keys, tangents


def evaluate(keys, tangents, t):
    for i in range(len(keys) - 2):
        t0, t1 = u32(keys[i][0]), u32(keys[i + 1][0])
        if t0 <= t < t1:
            s = f32(f32(t - t0) / f32(t1 - t0))
            s2 = f32(s * s)
            s3 = f32(s2 * s)
            h00 = f32((2.0 * s3 - 3.0 * s2) + 1.0)
            h01 = f32(3.0 * s2 - 2.0 * s3)
            h10 = f32((s3 - 2.0 * s2) + s)
            h11 = f32(s3 - s2)
            out = []
            for c in range(5):
                p0, m0 = keys[i][1][c], tangents[i][c]
                p1, m1 = keys[i + 1][1][c], tangents[i + 1][c]
                out.append(f32(f32(f32(f32(m1 * h11) + f32(p1 * h01)) + f32(m0 * h10)) + f32(p0 * h00)))
            return out
    return None


# ---- renderer ---------------------------------------------------------------

def render(width, height, cam, heights, colours, shade, sky, sky565):
    """Screen pixels (rows top first) of a display width x height, normal layout."""
    screen = [[0] * width for _ in range(height)]
    view_w, view_h = min(width, 320), min(height, 320)
    bottom = view_h - 25
    x0, y0, h0, heading, horizon = cam
    for col in range(view_w):
        offset = int((view_w - 2 * col) * 341 / view_w)
        a = heading + offset
        dx = i32(SINE[(a + 1024) & 4095] << 8)
        dy = i32(SINE[a & 4095] << 8)
        X, Y = i32(x0 << 8), i32(y0 << 8)
        ray = h0
        slope = i32((horizon - bottom + 1) * 1536)
        nxt = bottom
        for s in range(256):
            X, Y = i32(X + dx), i32(Y + dy)
            cell = ((Y >> 24) & 255) * 256 + ((X >> 24) & 255)
            ray = i32(ray + slope)
            reach = (s + 1) * 1536
            ground = heights[cell] << 17
            if ground > ray:
                colour = shade[colours[cell] * 32 + (s >> 3)]
                while ground > ray:
                    slope = i32(slope + 1536)
                    ray = i32(ray + reach)
                    screen[24 + nxt][col] = colour
                    if nxt == 0:
                        nxt = -1
                        break
                    nxt -= 1
                if nxt < 0:
                    break
        if nxt < 0:
            continue
        band = i32(horizon + (i32(h0 - 0x60000) >> 18) - 20)
        band = max(0, min(bottom, band))
        sx = ((i32(-heading) >> 1) + col) & 511
        for k in range(min(band, nxt + 1)):
            row = max(0, 255 - band + k)
            screen[24 + k][col] = sky565[sky[row * 512 + sx]]
        for row in range(band, nxt + 1):
            screen[24 + row][col] = 0xFFFF
    return screen


# ---- comparison with the tool -----------------------------------------------

def widen(p):
    r, g, b = p >> 11, (p >> 5) & 63, p & 31
    return (r << 3) | (r >> 2), (g << 2) | (g >> 4), (b << 3) | (b >> 2)


def main():
    tool, scene = sys.argv[1], sys.argv[2]
    colour_name, height_name, keys, tangents = read_keys(os.path.join(scene, "Keys2.txt"))
    heights, _ = read_bmp(os.path.join(scene, height_name))
    colours, colour_pal = read_bmp(os.path.join(scene, colour_name))
    sky, sky_pal = read_bmp(os.path.join(scene, "sky.BMP"))
    shade = shade_table(colour_pal)
    sky565 = [pack565(r, 0, 0) | pack565(0, g, 0) | pack565(0, 0, b) for (r, g, b) in sky_pal]

    cases = [("240x320", ("time", 0)), ("240x320", ("time", 1500)), ("176x220", ("time", 3100)),
             ("320x240", ("camera", (8388608 + 123456, 8388608 - 654321, 30000000, -777, 95))),
             ("240x320", ("camera", (-2**31, 2**31 - 1, 2**31 - 1, -2**31, 2**31 - 1))),
             ("200x300", ("camera", (5 << 16, 300 << 16, 255 << 17, 4096 * 3 + 5, 310)))]
    failures = 0
    with tempfile.TemporaryDirectory() as tmp:
        for display, (kind, arg) in cases:
            width, height = map(int, display.split("x"))
            if kind == "time":
                values = evaluate(keys, tangents, arg)
                cam = tuple(int(v) for v in values)
                option = ["--time", str(arg)]
            else:
                cam = arg
                option = ["--camera", ",".join(map(str, arg))]
            out = os.path.join(tmp, "f.png")
            subprocess.run([tool, "render", "--scene", scene, "--display", display, "--out", out] + option,
                           check=True)
            _, _, rows = read_png_rows(out)
            expected = render(width, height, cam, heights, colours, shade, sky, sky565)
            bad = 0
            for y in range(height):
                for x in range(width):
                    if tuple(rows[y][3 * x:3 * x + 3]) != widen(expected[y][x]):
                        bad += 1
            print(f"{display} {kind} {arg}: {bad} pixels differ")
            failures += bad != 0
            if kind == "time":
                line = subprocess.run([tool, "camera", "--scene", scene, "--time", str(arg)], check=True,
                                      capture_output=True, text=True).stdout.split()
                want = [str(arg)] + [str(int(v)) for v in values] + ["%.9g" % v for v in values]
                if line != want:
                    print(f"camera at {arg}: tool says {line}, model {want}")
                    failures += 1
    print(f"{len(cases) - failures} passed, {failures} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
