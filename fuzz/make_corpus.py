#!/usr/bin/env python3
"""make_corpus.py -- writes the fuzzers' small seed corpus: hand-made BMPs and scenes.

Run from anywhere: python3 fuzz/make_corpus.py. Rewrites fuzz/corpus/bitmap and
fuzz/corpus/scene with valid pictures, each broken in one known way, and
scenes built from them.
"""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
MARKER = b"\n==part==\n"


def bmp(width, height, bits=8, colours=0, palette=None, info_size=40, planes=1,
        compression=0, signature=b"BM", rows=None, off_bits=None, gap=b""):
    """A BMP: the file header, an info header of info_size bytes, palette
    entries (blue, green, red, 0), an optional gap, then the rows."""
    if palette is None:
        count = colours or (256 if bits == 8 else 0)
        palette = [(i, 255 - i, (i * 3) & 255) for i in range(count)]
    pal = b"".join(bytes((b, g, r, 0)) for r, g, b in palette)
    stride = ((bits * width + 31) >> 3) & ~3
    if rows is None:
        rows = b"".join(bytes(((x * 7 + y * 3) & 255) for x in range(stride))
                        for y in range(abs(height)))
    info = struct.pack("<IiiHHIIiiII", info_size, width, height, planes, bits, compression,
                       len(rows), 2835, 2835, colours, 0)
    info += bytes(max(0, info_size - 40))
    offset = 14 + info_size + len(pal) + len(gap) if off_bits is None else off_bits
    head = signature + struct.pack("<IHHI", offset + len(rows), 0, 0, offset)
    return head + info + pal + gap + rows


def header_only(width, height, colours=0):
    """A picture cut after its headers: the reader zeroes the rest."""
    return bmp(width, height, colours=colours, rows=b"")[:54]


def write(folder, name, data):
    path = os.path.join(HERE, "corpus", folder)
    os.makedirs(path, exist_ok=True)
    with open(os.path.join(path, name), "wb") as f:
        f.write(data)


def main():
    pictures = {
        "8bit_bottom_up.bmp": bmp(8, 4),
        "8bit_top_down.bmp": bmp(8, -4),
        "8bit_16_colours.bmp": bmp(5, 3, colours=16),
        "8bit_odd_width.bmp": bmp(3, 2, colours=2),
        "24bit.bmp": bmp(3, 2, bits=24),
        "32bit.bmp": bmp(2, 2, bits=32),
        "v4_header.bmp": bmp(4, 4, info_size=108),
        "v5_header_gap.bmp": bmp(4, -4, info_size=124, colours=16, gap=b"\xee" * 6),
        "v5_offset_outside.bmp": bmp(4, 2, info_size=124, colours=4, off_bits=100000),
        "os2_core_header.bmp": bmp(4, 4, info_size=12),
        "truncated_palette.bmp": bmp(8, 8)[:54 + 37],
        "truncated_rows.bmp": bmp(8, 8)[:54 + 1024 + 13],
        "headers_only.bmp": header_only(256, 256),
        "short_header.bmp": bmp(8, 8)[:30],
        "not_bm.bmp": bmp(4, 4, signature=b"GI"),
        "two_planes.bmp": bmp(4, 4, planes=2),
        "rle8.bmp": bmp(4, 4, compression=1),
        "4bit.bmp": bmp(4, 4, bits=4, colours=16),
        "1bit.bmp": bmp(8, 1, bits=1, colours=2),
        "300_colours.bmp": bmp(4, 4, colours=300, palette=[]),
        "zero_height.bmp": bmp(4, 0),
        "negative_width.bmp": bmp(-4, 4, rows=b""),
        "huge.bmp": bmp(100000, 100000, rows=b""),
        # Found by fuzzing: 16 million rows promised by a tiny file.
        "tiny_file_16m_rows.bmp": bmp(4, -(16 << 20), colours=1, rows=b"\x09\x08\x07\x06"),
    }
    for name, data in pictures.items():
        write("bitmap", name, data)

    colour = header_only(256, 256)
    height = header_only(256, 256)
    sky = header_only(512, 256)
    keys = (b"colour.bmp\nheight.bmp\n4\n1000\n"
            b"8388608 8388608 40000000 0 80\n9388608 8388608 40000000 512 80\n"
            b"9388608 9388608 40000000 1024 80\n8388608 9388608 40000000 1536 80\n")
    scenes = {
        "valid.scene": [keys, colour, height, sky],
        "hex_octal.scene": [b"c.bmp h.bmp 0x3 010\n1 2 3 4 5\n6 7 8 9 10\n1e3 -2.5 +.5 0 0\n",
                          colour, height, sky],
        "nan_inf.scene": [b"colour.bmp height.bmp 3 7\nnan inf -inf 1e39 -0\n"
                        b"NAN 1 2 3 4\n5 6 7 8 9\n", colour, height, sky],
        "negative_count.scene": [b"colour.bmp height.bmp -5 100\n1 1 1 1 1\n",
                               colour, height, sky],
        "huge_count.scene": [b"colour.bmp height.bmp 99999999999 -100\n1 2 3 4 5\nx\n",
                           colour, height, sky],
        "short_lines.scene": [b"colour.bmp height.bmp 3 0x7fffffff\n1 2\n3\n", colour, height,
                            sky],
        "missing_sky.scene": [keys, colour, height],
        "sky_wrong_shape.scene": [keys, colour, height, header_only(256, 256)],
        "colour_24bit.scene": [keys, bmp(256, 256, bits=24, rows=b"")[:54], height, sky],
        "empty_key_file.scene": [b""],
    }
    for name, parts in scenes.items():
        write("scene", name, MARKER.join(parts))


if __name__ == "__main__":
    main()
