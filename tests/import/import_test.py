#!/usr/bin/env python3
"""import_test.py -- flyover-tool import on pictures made here with Pillow and ImageMagick.

Usage: import_test.py --tool FLYOVER_TOOL
Every format and depth the importer reads, 256 to 1024 pixels and not square;
indexed colours kept exactly; 16-bit heights kept precise; seams blended; the
palette against ImageMagick's; the scenes fly (check passes, frames render);
bad pictures refused with nothing written; collections paired. Exits 77 when
Pillow or ImageMagick is missing.
"""

import argparse
import math
import os
import random
import shutil
import subprocess
import sys
import tempfile

try:
    from PIL import Image
except ImportError:
    print("SKIP  Pillow is not installed (.ci/install-deps installs python3-pil)")
    sys.exit(77)
CONVERT = shutil.which("convert", path="/usr/bin") or shutil.which("convert")
if not CONVERT:
    print("SKIP  ImageMagick's convert is not installed")
    sys.exit(77)

failures = []


def check(ok, what):
    print(("ok    " if ok else "FAIL  ") + what)
    if not ok:
        failures.append(what)
    return ok


def run(*args):
    return subprocess.run([str(a) for a in args], capture_output=True, text=True)


def convert(*args):
    subprocess.run([CONVERT, *map(str, args)], check=True)


# ---- pictures ---------------------------------------------------------------

def plasma(path, size, seed, grey=False, depth=8, blur=4):
    w, h = size
    extra = ["-colorspace", "gray"] if grey else []
    convert("-seed", seed, "-size", f"{w}x{h}", "plasma:fractal", "-blur", f"0x{blur}", *extra,
            "-depth", depth, path)


def tiling_height(size, levels=255):
    """A landscape of whole sine periods: it repeats without a seam."""
    w, h = size
    img = Image.new("L", size)
    img.putdata([int(levels * (0.5 + 0.25 * math.sin(2 * math.pi * 3 * x / w)
                               + 0.25 * math.cos(2 * math.pi * 2 * y / h)))
                 for y in range(h) for x in range(w)])
    return img


def indexed_colour(size, colours=200, seed=1):
    rnd = random.Random(seed)
    palette = [rnd.randrange(256) for _ in range(colours * 3)]
    img = Image.new("P", size)
    w, h = size
    img.putdata([((x // 8) * 7 + (y // 8) * 3) % colours for y in range(h) for x in range(w)])
    img.putpalette(palette)
    return img, palette


def rgb_of(path):
    return list(Image.open(path).convert("RGB").getdata())


def psnr(a, b):
    se = sum((p - q) ** 2 for x, y in zip(a, b) for p, q in zip(x, y))
    mse = se / (3 * len(a))
    return 99.0 if mse == 0 else 10 * math.log10(255 * 255 / mse)


def _linear(c):
    c /= 255
    return c / 12.92 if c <= 0.04045 else ((c + 0.055) / 1.055) ** 2.4


def _oklab(rgb):
    r, g, b = map(_linear, rgb)
    l = (0.4122214708 * r + 0.5363325363 * g + 0.0514459929 * b) ** (1 / 3)
    m = (0.2119034982 * r + 0.6806995451 * g + 0.1073969566 * b) ** (1 / 3)
    s = (0.0883024619 * r + 0.2817188376 * g + 0.6299787005 * b) ** (1 / 3)
    return (0.2104542553 * l + 0.7936177850 * m - 0.0040720468 * s,
            1.9779984951 * l - 2.4285922050 * m + 0.4505937099 * s,
            0.0259040371 * l + 0.7827717662 * m - 0.8086757660 * s)


def colour_error(a, b):
    """The mean distance in Oklab (x 100: about 1 is a just-visible difference)."""
    cache = {}

    def lab(p):
        if p not in cache:
            cache[p] = _oklab(p)
        return cache[p]
    return 100 * sum(math.dist(lab(x), lab(y)) for x, y in zip(a, b)) / len(a)


def heights_of(scene):
    return list(Image.open(os.path.join(scene, "height.bmp")).getdata())


def seam(values, side=256):
    across = sum(abs(values[y * side + side - 1] - values[y * side]) for y in range(side)) / side
    inside = sum(abs(values[y * side + x + 1] - values[y * side + x])
                 for y in range(side) for x in range(side - 1)) / (side * (side - 1))
    return across, inside


def flies(tool, scene, name):
    checked = run(tool, "check", "--scene", scene)
    ok = check(checked.returncode == 0, f"{name}: check passes on the imported scene")
    if not ok:
        print(checked.stdout[-600:], checked.stderr[-600:])
    for t in (0, 20000, 45000):
        frame = os.path.join(scene, f"frame{t}.png")
        r = run(tool, "render", "--scene", scene, "--time", t, "--out", frame)
        ok &= check(r.returncode == 0 and os.path.getsize(frame) > 0, f"{name}: renders at {t} ms")
        os.remove(frame)
    return ok


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--tool", required=True)
    tool = parser.parse_args().tool
    work = tempfile.mkdtemp(prefix="flyover-import-")
    try:
        cases(tool, work)
    finally:
        shutil.rmtree(work)
    print(f"{len(failures)} failed" if failures else "all passed")
    return 1 if failures else 0


def cases(tool, work):
    p = lambda name: os.path.join(work, name)

    # -- every format and depth, each pair imported and flown --------------
    plasma(p("c1024.png"), (1024, 1024), 4)
    plasma(p("h1024-16.png"), (1024, 1024), 3, grey=True, depth=16)
    plasma(p("c512.png"), (512, 512), 6)
    plasma(p("h512.png"), (512, 512), 7, grey=True)
    Image.open(p("c512.png")).convert("RGBA").save(p("c512-rgba.png"))
    Image.open(p("h512.png")).convert("LA").save(p("h512-la.png"))
    Image.open(p("c512.png")).convert("P", palette=Image.ADAPTIVE).save(p("c512.gif"))
    Image.open(p("h512.png")).convert("L").save(p("h512.gif"))
    Image.open(p("c512.png")).convert("RGB").save(p("c512.jpg"), quality=92)
    Image.open(p("h512.png")).convert("L").save(p("h512-grey.jpg"), quality=92)
    convert(p("c512.png"), "-depth", 8, "-type", "TrueColor", "BMP3:" + p("c512-24.bmp"))
    convert(p("c512.png"), "-depth", 8, "-colors", "200", "-compress", "RLE", "BMP3:" + p("c512-rle8.bmp"))
    convert(p("h512.png"), "-depth", 8, "-colors", "16", "-compress", "RLE", "BMP3:" + p("h512-rle4.bmp"))
    convert(p("c512.png"), "-depth", 8, "-alpha", "on", "BMP:" + p("c512-32.bmp"))
    plasma(p("c768x512.png"), (768, 512), 8)
    plasma(p("h768x512.png"), (768, 512), 9, grey=True)
    with open(p("raw.color"), "wb") as f:
        f.write(bytes((x * 3 + y) % 256 for y in range(512) for x in range(512)))
    with open(p("raw.palette"), "wb") as f:
        f.write(bytes(v for i in range(256) for v in (i, 255 - i, (i * 7) % 256)))
    with open(p("raw.height"), "wb") as f:
        f.write(bytes(Image.open(p("h512.png")).convert("L").getdata()))

    pairs = [
        ("PNG RGB 1024 with 16-bit grey height", "c1024.png", "h1024-16.png"),
        ("PNG RGBA with grey+alpha height", "c512-rgba.png", "h512-la.png"),
        ("GIF colour and height", "c512.gif", "h512.gif"),
        ("JPEG colour and grey height", "c512.jpg", "h512-grey.jpg"),
        ("BMP 24-bit with 4-bit RLE height", "c512-24.bmp", "h512-rle4.bmp"),
        ("BMP 8-bit RLE with 32-bit colour height", "c512-rle8.bmp", "c512-32.bmp"),
        ("not square", "c768x512.png", "h768x512.png"),
        ("sizes that differ", "c512.png", "h1024-16.png"),
        ("raw .color and .height with .palette", "raw.color", "raw.height"),
    ]
    for name, colour, height in pairs:
        out = p("scene-" + colour.replace(".", "-"))
        r = run(tool, "import", "--colour", p(colour), "--height", p(height), "--out", out)
        if check(r.returncode == 0, f"{name}: imported"):
            flies(tool, out, name)
        else:
            print(r.stderr)
    r = run(tool, "import", "--colour", p("c512.png"), "--height", p("h1024-16.png"), "--out", p("w"))
    check("warning" in r.stderr and "512 x 512" in r.stderr,
          "sizes that differ: a warning names both")

    # -- indexed colours kept exactly ---------------------------------------
    img, palette = indexed_colour((256, 256))
    img.save(p("indexed256.png"))
    tiling_height((256, 256)).save(p("tiling256.png"))
    out = p("indexed")
    run(tool, "import", "--colour", p("indexed256.png"), "--height", p("tiling256.png"), "--out", out)
    got = Image.open(os.path.join(out, "colour.bmp"))
    check(got.mode == "P" and got.getpalette()[:len(palette)] == palette
          and list(got.getdata()) == list(img.getdata()),
          "an indexed 256 x 256 picture is kept exactly: palette and every pixel")
    img512, palette512 = indexed_colour((512, 512), 180, seed=2)
    img512.save(p("indexed512.png"))
    out = p("indexed512")
    run(tool, "import", "--colour", p("indexed512.png"), "--height", p("h512.png"), "--out", out)
    got = Image.open(os.path.join(out, "colour.bmp"))
    check(got.getpalette()[:len(palette512)] == palette512 and max(got.getdata()) < 180,
          "an indexed 512 x 512 picture fitted keeps its palette; every cell one of its colours")
    out = p("region")
    run(tool, "import", "--colour", p("indexed512.png"), "--height", p("h512.png"),
        "--region", "100,50", "--out", out)
    crop = img512.crop((100, 50, 356, 306))
    got = Image.open(os.path.join(out, "colour.bmp"))
    # The region may be blended at its edges when it does not tile; inside it is 1:1.
    inner = lambda im: [im.getpixel((x, y)) for y in range(32, 224, 7) for x in range(32, 224, 5)]
    check(inner(got.convert("RGB")) == inner(crop.convert("RGB")), "--region takes the piece 1:1")

    # -- heights: 16-bit precision, full range, --height-scale ---------------
    narrow = Image.new("I;16", (256, 256))
    narrow.putdata([1000 + (x * 4 + y * 4) % 1024 for y in range(256) for x in range(256)])
    narrow.save(p("narrow16.png"))
    out = p("narrow")
    run(tool, "import", "--colour", p("indexed256.png"), "--height", p("narrow16.png"), "--out", out)
    levels = set(heights_of(out))
    check(len(levels) > 200 and min(levels) == 0 and max(levels) == 255,
          f"16-bit heights 1000..2023 keep their steps: {len(levels)} levels over 0..255")
    half = tiling_height((256, 256), levels=127)
    half.save(p("half.png"))
    out = p("scaled")
    run(tool, "import", "--colour", p("indexed256.png"), "--height", p("half.png"),
        "--height-scale", "2", "--out", out)
    check(max(heights_of(out)) == 2 * max(half.getdata()), "--height-scale 2 doubles 0..127")

    # -- seams ------------------------------------------------------------
    out = p("tiling")
    r = run(tool, "import", "--colour", p("indexed256.png"), "--height", p("tiling256.png"), "--out", out)
    check("tile as they are" in r.stdout, "a tiling map is left as it is")
    for name, colour, height in [("plasma 1024", "c1024.png", "h1024-16.png"),
                                 ("plasma 512", "c512.png", "h512.png")]:
        out = p("seam-" + name.replace(" ", ""))
        run(tool, "import", "--colour", p(colour), "--height", p(height), "--out", out)
        across, inside = seam(heights_of(out))
        check(across <= 2 * inside + 0.5,
              f"{name}: the height seam after blending is {across:.2f} against {inside:.2f} inside")

    # -- the palette against ImageMagick's -colors 256 -------------------------
    for seed in (11, 12):
        # Mirrored into a tile, so that no edge is blended and the palette
        # alone makes the difference.
        src = p(f"q{seed}.png")
        plasma(p("quarter.png"), (128, 128), seed, blur=1)
        convert(p("quarter.png"), "(", "+clone", "-flop", ")", "+append", "(", "+clone", "-flip", ")",
                "-append", src)
        out = p(f"q{seed}")
        run(tool, "import", "--colour", src, "--height", p("tiling256.png"), "--out", out)
        source = rgb_of(src)
        mine = rgb_of(os.path.join(out, "colour.bmp"))
        convert(src, "-colors", "256", p("im.png"))
        convert(src, "-dither", "None", "-colors", "256", p("im-plain.png"))
        theirs, plain = rgb_of(p("im.png")), rgb_of(p("im-plain.png"))
        errors = [colour_error(source, x) for x in (mine, theirs, plain)]
        check(errors[0] <= min(errors[1:]),
              f"palette of plasma {seed}: mean colour error (Oklab x 100) {errors[0]:.2f}; "
              f"ImageMagick -colors 256 {errors[1]:.2f}, without dithering {errors[2]:.2f}")
        check(psnr(source, mine) >= psnr(source, theirs),
              f"palette of plasma {seed}: PSNR {psnr(source, mine):.2f} dB; ImageMagick -colors 256 "
              f"{psnr(source, theirs):.2f} dB (without dithering {psnr(source, plain):.2f} dB)")

    # -- bad pictures: a message naming the file, status 1, nothing written -----
    with open(p("c512.png"), "rb") as f:
        whole = f.read()
    with open(p("truncated.png"), "wb") as f:
        f.write(whole[: len(whole) // 2])
    with open(p("corrupt.png"), "wb") as f:
        f.write(whole[:8] + bytes(random.Random(3).randrange(256) for _ in range(4000)))
    with open(p("text.png"), "w") as f:
        f.write("not a picture\n")
    open(p("empty.gif"), "wb").close()
    Image.new("L", (8193, 64)).save(p("wide.png"))
    Image.new("L", (32, 32)).save(p("small.png"))
    Image.new("RGB", (128, 128)).save(p("picture.tiff"))
    with open(p("odd.color"), "wb") as f:
        f.write(bytes(1000))
    bad = [
        ("missing", p("nothing.png"), "no such file"),
        ("truncated", p("truncated.png"), "not a readable PNG"),
        ("corrupt", p("corrupt.png"), "not a readable PNG"),
        ("not a picture", p("text.png"), "not a picture this reads"),
        ("empty", p("empty.gif"), "empty"),
        ("oversized", p("wide.png"), "8193 x 64"),
        ("too small", p("small.png"), "32 x 32"),
        ("unsupported (TIFF)", p("picture.tiff"), "not a picture this reads"),
        ("a folder", work, "folder"),
        ("raw map not square", p("odd.color"), "square"),
    ]
    for name, path, words in bad:
        out = p("bad-out")
        r = run(tool, "import", "--colour", path, "--height", p("h512.png"), "--out", out)
        check(r.returncode == 1 and os.path.basename(path) in r.stderr and words in r.stderr
              and not os.path.exists(out),
              f"bad colour picture, {name}: status {r.returncode}, '{r.stderr.strip()[:90]}'")
    check(not [n for n in os.listdir(work) if n.startswith(".")],
          "no temporary folder is left beside the outputs")
    for args in (["--colour", "a.png", "--out", "x"],
                 ["--colour", "a", "--height", "b", "--fit", "--region", "1,2", "--out", "x"],
                 ["--collection", work, "--colour", "a", "--out", "x"]):
        check(run(tool, "import", *args).returncode == 2, f"usage error: {' '.join(args[:4])}")

    # -- collections -----------------------------------------------------------
    coll = p("collection")
    os.mkdir(coll)
    shutil.copy(p("c512.png"), os.path.join(coll, "C1W.png"))
    shutil.copy(p("h512.png"), os.path.join(coll, "D1.png"))
    shutil.copy(p("c512.gif"), os.path.join(coll, "C2.gif"))
    shutil.copy(p("h512.gif"), os.path.join(coll, "D2.gif"))
    shutil.copy(p("c512.png"), os.path.join(coll, "C3.png"))
    for ext in ("color", "height", "palette"):
        shutil.copy(p("raw." + ext), os.path.join(coll, "map." + ext))
    out = p("collection-out")
    r = run(tool, "import", "--collection", coll, "--out", out)
    check(r.returncode == 0 and sorted(os.listdir(out)) == ["C1W", "C2", "map"],
          "a collection: C1W with D1, C2 with D2, map.color with map.height")
    check("C3.png" in r.stdout and "no height map D3" in r.stdout and "3 pairs: 3 imported" in r.stdout,
          "the summary names what was paired and what was not")
    flies(tool, os.path.join(out, "C2"), "collection scene C2")


if __name__ == "__main__":
    sys.exit(main())
