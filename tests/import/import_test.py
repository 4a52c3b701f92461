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
import re
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
        coll = cases(tool, work)
        collection_cases(tool, work, coll)
        kept_flight_cases(tool, work)
        region_cases(tool, work)
        height_cases(tool, work)
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
    hd = report_line(r.stdout, "hd maps")
    check(hd.startswith("hd-colour.png and hd-height.png") and "1024 x 1024:" in r.stdout,
          f"the report names the HD maps kept at the larger picture's size: '{hd}'")

    # -- indexed colours kept exactly ---------------------------------------
    img, palette = indexed_colour((256, 256))
    img.save(p("indexed256.png"))
    tiling_height((256, 256)).save(p("tiling256.png"))
    out = p("indexed")
    r = run(tool, "import", "--colour", p("indexed256.png"), "--height", p("tiling256.png"), "--out", out)
    check(report_line(r.stdout, "hd maps").startswith("the pictures are under 512")
          and not os.path.exists(os.path.join(out, "hd-colour.png")),
          f"pictures under 512 a side make no HD maps, and the report says so: "
          f"'{report_line(r.stdout, 'hd maps')}'")
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

    # -- heights: 16-bit precision, --height-scale ------------------------------
    narrow = Image.new("I;16", (256, 256))
    narrow.putdata([1000 + (x * 4 + y * 4) % 1024 for y in range(256) for x in range(256)])
    narrow.save(p("narrow16.png"))
    out = p("narrow")
    # (By default a map this flat stays flat: --height-scale 32 makes its
    # 1024 steps of 4 into 127 bytes, which 8-bit rounding first would make 4.)
    run(tool, "import", "--colour", p("indexed256.png"), "--height", p("narrow16.png"),
        "--height-scale", "32", "--out", out)
    levels = set(heights_of(out))
    check(len(levels) > 120 and min(levels) >= 124 and max(levels) <= 252,
          f"16-bit heights 1000..2023 times 32 keep their steps: {len(levels)} levels over "
          f"{min(levels)}..{max(levels)}")
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
    return coll



# ---- what real collections showed ---------------------------------------------

def mean_step(values, w, h):
    """The slope statistic: the mean absolute difference between neighbouring
    pixels, across and down (not wrapping), in the units of `values`."""
    total = 0
    for y in range(h):
        row = values[y * w:(y + 1) * w]
        total += sum(abs(a - b) for a, b in zip(row, row[1:]))
        if y + 1 < h:
            total += sum(abs(a - b) for a, b in zip(row, values[(y + 1) * w:(y + 2) * w]))
    return total / (h * (w - 1) + w * (h - 1))


def height_bytes(path):
    """A height picture's pixels in height bytes (16-bit values / 257), and its size."""
    img = Image.open(path)
    if img.mode.startswith("I"):
        return [v / 257 for v in img.getdata()], img.size
    return list(img.convert("L").getdata()), img.size


def correlation(a, b):
    ma, mb = sum(a) / len(a), sum(b) / len(b)
    cov = sum((x - ma) * (y - mb) for x, y in zip(a, b))
    va = sum((x - ma) ** 2 for x in a)
    vb = sum((y - mb) ** 2 for y in b)
    return cov / math.sqrt(va * vb) if va and vb else 0.0


def report_line(stdout, label):
    """What the report says after "label  PICTURE: "."""
    for line in stdout.splitlines():
        if line.strip().startswith(label + " "):
            return line.split(": ", 1)[-1]
    return ""


def collection_cases(tool, work, coll):
    p = lambda name: os.path.join(work, name)

    # A raw .height beside a .palette: the palette is the colour map's, the
    # height bytes are heights.
    r_raw = run(tool, "import", "--colour", p("raw.color"), "--height", p("raw.height"),
                "--out", p("raw-heights"))
    r_png = run(tool, "import", "--colour", p("raw.color"), "--height", p("h512.png"),
                "--out", p("png-heights"))
    check(r_raw.returncode == 0 and heights_of(p("raw-heights")) == heights_of(p("png-heights"))
          and report_line(r_raw.stdout, "height") == report_line(r_png.stdout, "height"),
          "a raw .height beside a .palette gives the heights of the same bytes as PNG: "
          f"'{report_line(r_raw.stdout, 'height')}' against '{report_line(r_png.stdout, 'height')}'")

    # A collection whose pairs warn, and one that fails: the summary says so
    # per pair, naming pictures by their file names alone.
    shutil.copy(p("c1024.png"), os.path.join(coll, "C4W.png"))
    shutil.copy(p("h512.png"), os.path.join(coll, "D4.png"))
    shutil.copy(p("truncated.png"), os.path.join(coll, "C5.png"))
    shutil.copy(p("h512.png"), os.path.join(coll, "D5.png"))
    out = p("collection-warned")
    r = run(tool, "import", "--collection", coll, "--out", out)
    lines = r.stdout.splitlines()
    at = next((i for i, line in enumerate(lines) if line.startswith("C4W.png")), None)
    under = lines[at + 1] if at is not None and at + 1 < len(lines) else ""
    check(r.returncode == 1 and "warning" in under and "1024 x 1024" in under and "512 x 512" in under,
          f"a collection's summary shows a pair's warnings under it: '{under.strip()[:100]}'")
    pair_lines = [line for line in lines if line.startswith(("C1W.png", "C2.gif"))]
    check(len(pair_lines) == 2 and not any("warning" in lines[lines.index(line) + 1]
                                           for line in pair_lines),
          "pairs without warnings have no warning line")
    check(not [line for line in lines if work in line],
          "the summary names pictures by their file names alone: "
          + str([line for line in lines if work in line][:2]))
    failed = next((line for line in lines if line.startswith("C5.png")), "")
    check("failed: C5.png: not a readable PNG" in failed, f"a failed pair names its file: '{failed.strip()}'")
    raw = subprocess.run([tool, "import", "--collection", coll, "--out", p("collection-log")],
                         capture_output=True)
    check(b"\r" not in raw.stderr, "no \\r progress lines when stderr is not a terminal")
    for name in ("C4W.png", "D4.png", "C5.png", "D5.png"):
        os.remove(os.path.join(coll, name))


def kept_flight_cases(tool, work):
    p = lambda name: os.path.join(work, name)
    planned = p("planned")
    r = run(tool, "import", "--colour", p("c512.png"), "--height", p("h512.png"), "--out", planned)
    check(r.returncode == 0, "the planned flight over c512/h512 satisfies check")
    with open(os.path.join(planned, "Keys2.txt")) as f:
        text = f.read().splitlines()
    header, keys = text[:4], [line.split() for line in text[4:] if line.strip()]

    def key_file(name, change):
        path = p(name + ".txt")
        with open(path, "w") as f:
            f.write("\n".join(header + [" ".join(change(k)) for k in keys]) + "\n")
        return path

    flights = [
        ("the planned flight kept", lambda k: k, 0, ""),
        ("a flight under the ground", lambda k: k[:2] + ["0"] + k[3:], 1, "into the ground"),
        ("a flight that never shows the sky", lambda k: k[:4] + ["-4000"], 1, "no sky"),
    ]
    for name, change, status, words in flights:
        keys_path = key_file(name.replace(" ", "-"), change)
        out = p("kept-" + name.replace(" ", "-"))
        r = run(tool, "import", "--colour", p("c512.png"), "--height", p("h512.png"),
                "--keys", keys_path, "--out", out)
        checked = run(tool, "check", "--scene", out)
        check(r.returncode == status and words in r.stderr
              and os.path.exists(os.path.join(out, "Keys2.txt"))
              and (checked.returncode == 0) == (status == 0),
              f"--keys, {name}: status {r.returncode} (check {checked.returncode}), "
              f"the scene written, '{r.stderr.strip()[-120:]}'")


def region_cases(tool, work):
    p = lambda name: os.path.join(work, name)
    # One piece of ground at two sizes: the colour map a grey picture of it.
    plasma(p("world1024.png"), (1024, 1024), 31, grey=True)
    big = Image.open(p("world1024.png")).convert("L")
    big.convert("RGB").save(p("world1024-rgb.png"))
    big.save(p("world1024-grey.png"))
    small = big.resize((512, 512), Image.BOX)
    small.convert("RGB").save(p("world512-rgb.png"))
    small.save(p("world512-grey.png"))
    inner = lambda values: [values[y * 256 + x] for y in range(32, 224, 3) for x in range(32, 224, 3)]
    for name, colour, height in [("colour 1024, height 512", "world1024-rgb.png", "world512-grey.png"),
                                 ("colour 512, height 1024", "world512-rgb.png", "world1024-grey.png")]:
        out = p("region-" + colour.replace(".", "-"))
        r = run(tool, "import", "--colour", p(colour), "--height", p(height), "--region", "300,200",
                "--out", out)
        if not check(r.returncode == 0, f"--region, {name}: imported"):
            print(r.stderr)
            continue
        shade = list(Image.open(os.path.join(out, "colour.bmp")).convert("L").getdata())
        ground = heights_of(out)
        crop = list(big.crop((300, 200, 556, 456)).getdata())
        same = correlation(inner(shade), inner(ground))
        truth = correlation(inner(shade), inner(crop))
        check(same > 0.95 and truth > 0.95,
              f"--region, {name}: colour and height show the same ground (correlation {same:.3f}; "
              f"with the 1024 picture's piece {truth:.3f})")
        check("on their own" not in r.stderr and "128 x 128" in r.stderr,
              f"--region, {name}: the warning says how the piece was taken: '{r.stderr.strip()[:200]}'")


def height_cases(tool, work):
    p = lambda name: os.path.join(work, name)

    # The default keeps the picture's slopes: the imported map's mean step
    # between neighbouring cells within 30 % of the picture's, counted per
    # map cell (its mean step between pixels x picture width / 256).
    plasma(p("smooth1024.png"), (1024, 1024), 21, grey=True, depth=8, blur=8)
    plasma(p("smooth1024-16.png"), (1024, 1024), 22, grey=True, depth=16, blur=8)
    plasma(p("smooth512.png"), (512, 512), 25, grey=True, depth=8, blur=4)
    for name, seed, size, depth in [("ridged1024-16", 23, 1024, 16), ("ridged1024", 24, 1024, 8),
                                    ("ridged512-16", 26, 512, 16)]:
        plasma(p("base.png"), (size, size), seed, grey=True, depth=16, blur=size // 128)
        convert(p("base.png"), "(", "+clone", "-negate", ")", "-compose", "lighten", "-composite",
                "-negate", "-level", "0,50%", "-depth", depth, p(name + ".png"))
    # Real height maps often use part of the range (0..110 of 0..255).
    for name in ("smooth1024-16", "ridged1024", "ridged512-16"):
        convert(p(name + ".png"), "+level", "0,43%", p(name + "-low.png"))
    for name in ("smooth1024", "smooth1024-16", "ridged1024-16", "ridged1024", "smooth512",
                 "ridged512-16", "smooth1024-16-low", "ridged1024-low", "ridged512-16-low"):
        values, (w, h) = height_bytes(p(name + ".png"))
        source = mean_step(values, w, h) * w / 256
        out = p("slope-" + name)
        r = run(tool, "import", "--colour", p("c512.png"), "--height", p(name + ".png"), "--out", out)
        mine = mean_step(heights_of(out), 256, 256)
        check(r.returncode == 0 and abs(mine / source - 1) <= 0.3,
              f"slopes of {name}: {mine:.2f} height bytes per cell against the picture's {source:.2f} "
              f"({100 * (mine / source - 1):+.0f} %)")

    # --height-scale that pushes cells past 255 says how many.
    out = p("clipped")
    r = run(tool, "import", "--colour", p("c512.png"), "--height", p("h512.png"), "--height-scale", "5",
            "--out", out)
    tops = heights_of(out).count(255)
    said = [int(n) for n in re.findall(r"(\d+) cells", r.stderr)]
    check(r.returncode == 0 and "warning" in r.stderr and said and 0.95 * tops <= said[0] <= tops,
          f"--height-scale 5: {tops} cells at 255; '{r.stderr.strip()[:160]}'")

    # A colour picture given as the height map.
    for height, warned in (("c512.png", True), ("h512.png", False)):
        r = run(tool, "import", "--colour", p("c512.png"), "--height", p(height), "--out",
                p("colour-as-height"))
        check(("warning" in r.stderr and "colour" in r.stderr) == warned,
              f"height map {height}: {'a warning' if warned else 'no warning'}: '{r.stderr.strip()[:160]}'")

    # Edges blended below the picture's lowest height: the report gives the
    # picture's real range.
    edge = Image.new("L", (256, 256))
    edge.putdata([max(5, 200 - 49 * x) + int(20 * (1 + math.sin(y / 9)) * (x > 40))
                  for y in range(256) for x in range(256)])
    edge.save(p("edge.png"))
    r = run(tool, "import", "--colour", p("indexed256.png"), "--height", p("edge.png"), "--out",
            p("edge"))
    line = report_line(r.stdout, "height")
    check(r.returncode in (0, 1) and "blended" in r.stdout and "5.00..200.00" in line
          and not re.search(r"-\d", line),
          f"the report gives the picture's real heights: '{line}'")


if __name__ == "__main__":
    sys.exit(main())
