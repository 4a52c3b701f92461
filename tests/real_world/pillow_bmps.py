#!/usr/bin/env python3
"""pillow_bmps.py -- writes 8-bit (and some refused) BMPs with Pillow for real_world_bmp_test.

Usage: pillow_bmps.py OUT_DIR. For each variant NAME it writes NAME.bmp (as
Pillow saves it), NAME.rgb (the picture as RGB bytes, top row first), and for
palette pictures NAME.idx (the colour index of every pixel, top row first)
and NAME.pal (the palette as Pillow holds it, RGB triples).
"""
import os
import sys

from PIL import Image


def pattern(width, height, colours):
    return [(x * 7 + y * 13 + (x * y) % 5) % colours for y in range(height) for x in range(width)]


def palette(colours):
    return [((i * 37) % 256, (255 - i * 11) % 256, (i * i) % 256) for i in range(colours)]


def save(out, name, image):
    image.save(os.path.join(out, name + ".bmp"))
    with open(os.path.join(out, name + ".rgb"), "wb") as f:
        f.write(image.convert("RGB").tobytes())
    if image.mode in ("P", "L"):
        with open(os.path.join(out, name + ".idx"), "wb") as f:
            f.write(image.tobytes())
    if image.mode == "P":
        with open(os.path.join(out, name + ".pal"), "wb") as f:
            f.write(bytes(image.getpalette()))


def indexed(width, height, colours):
    image = Image.new("P", (width, height))
    image.putpalette([c for rgb in palette(colours) for c in rgb])
    image.putdata(pattern(width, height, colours))
    return image


def main():
    out = sys.argv[1]
    save(out, "pillow_p3", indexed(4, 2, 3))
    save(out, "pillow_p20", indexed(5, 3, 20))
    save(out, "pillow_p256", indexed(37, 5, 256))
    save(out, "pillow_map", indexed(256, 256, 200))
    grey = Image.new("L", (6, 3))
    grey.putdata([(x * 40 + y * 3) % 256 for y in range(3) for x in range(6)])
    save(out, "pillow_l", grey)
    rgb = Image.new("RGB", (5, 2))
    rgb.putdata([(x * 50, y * 100, x * y * 20) for y in range(2) for x in range(5)])
    save(out, "pillow_rgb", rgb)
    bits1 = Image.new("1", (9, 2))
    bits1.putdata([(x + y) % 2 * 255 for y in range(2) for x in range(9)])
    save(out, "pillow_1bit", bits1)
    save(out, "pillow_4colours_p", indexed(6, 2, 4))


if __name__ == "__main__":
    main()
