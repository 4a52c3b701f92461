#!/usr/bin/env python3
"""make_import_corpus.py -- writes the import fuzzer's seeds: small pictures of every kind.

Run with a python3 that has Pillow, and ImageMagick's convert on the PATH:
python3 fuzz/make_import_corpus.py. Each seed is one byte choosing how the
fuzzer reads it (see import_fuzzer.cpp) followed by a 64 x 64 picture.
"""
import io
import os
import subprocess
import tempfile

from PIL import Image

HERE = os.path.dirname(os.path.abspath(__file__))


def picture(mode):
    img = Image.new("RGB", (64, 64))
    img.putdata([((x * 4) % 256, (y * 4) % 256, (x * y) % 256) for y in range(64) for x in range(64)])
    return img.convert(mode) if mode != "RGB" else img


def saved(img, fmt, **options):
    out = io.BytesIO()
    img.save(out, fmt, **options)
    return out.getvalue()


def converted(img, target):
    with tempfile.TemporaryDirectory() as work:
        src = os.path.join(work, "in.png")
        img.save(src)
        dst = os.path.join(work, "out")
        subprocess.run(["convert", src, *target[:-1], target[-1] + dst], check=True)
        with open(dst, "rb") as f:
            return f.read()


def main():
    out = os.path.join(HERE, "corpus", "import")
    os.makedirs(out, exist_ok=True)
    for name in os.listdir(out):
        os.remove(os.path.join(out, name))
    grey16 = Image.new("I;16", (64, 64))
    grey16.putdata([x * 1000 + y for y in range(64) for x in range(64)])
    seeds = {
        "png-rgb": saved(picture("RGB"), "PNG"),
        "png-indexed": saved(picture("P"), "PNG"),
        "png-grey16": saved(grey16, "PNG"),
        "png-rgba-interlaced": saved(picture("RGBA"), "PNG", interlace=1),
        "gif": saved(picture("P"), "GIF"),
        "jpeg": saved(picture("RGB"), "JPEG", quality=50),
        "jpeg-grey": saved(picture("L"), "JPEG", quality=50),
        "bmp-24": saved(picture("RGB"), "BMP"),
        "bmp-8": saved(picture("P"), "BMP"),
        "bmp-rle8": converted(picture("RGB"), ["-colors", "64", "-compress", "RLE", "BMP3:"]),
        "bmp-32": converted(picture("RGBA"), ["BMP:"]),
    }
    for name, data in seeds.items():
        # Bit 1 of the first byte: a region 1:1 (for the small ones, refused).
        with open(os.path.join(out, name), "wb") as f:
            f.write(bytes([0]) + data)
    with open(os.path.join(out, "raw-height"), "wb") as f:
        f.write(bytes([1]) + bytes((x + y) % 256 for y in range(64) for x in range(64)))


if __name__ == "__main__":
    main()
