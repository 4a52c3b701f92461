#!/usr/bin/python3
"""measure_record_quality.py -- size, bit rate and RGB PSNR of recordings against a lossless one.

Each file is decoded by ffmpeg to 8-bit RGB and compared frame i with frame i of the lossless
recording (never by time stamps: the lossless .mkv starts at 7 ms, an .mp4 at 0), over the
frames both have. PSNR is taken per frame over all three channels and averaged over the frames.
Needs ffmpeg and Pillow (python3-pil), not numpy.

    bench/measure_record_quality.py lossless.mkv a.mp4 b.mp4 ...
"""
import json
import math
import os
import subprocess
import sys

from PIL import Image, ImageChops


def probe(path):
    out = subprocess.run(["ffprobe", "-v", "error", "-select_streams", "v:0", "-show_entries",
                          "stream=width,height:format=duration", "-of", "json", path],
                         check=True, capture_output=True, text=True).stdout
    info = json.loads(out)
    stream = info["streams"][0]
    return stream["width"], stream["height"], float(info["format"]["duration"])


def frames(path, width, height):
    """Yields each decoded frame as RGB bytes, in decoding order, none dropped or repeated."""
    size = width * height * 3
    process = subprocess.Popen(["ffmpeg", "-v", "error", "-i", path, "-map", "0:v:0",
                                "-fps_mode", "passthrough", "-f", "rawvideo", "-pix_fmt", "rgb24",
                                "-"], stdout=subprocess.PIPE)
    while True:
        frame = process.stdout.read(size)
        if len(frame) < size:
            break
        yield frame
    process.stdout.close()
    process.wait()


def mean_psnr(reference, clip):
    width, height, _ = probe(reference)
    if probe(clip)[:2] != (width, height):
        sys.exit(f"{clip}: not {width} x {height} like {reference}")
    values = []
    for a, b in zip(frames(reference, width, height), frames(clip, width, height)):
        # The histogram of |a - b| per channel gives the squared error without numpy.
        histogram = ImageChops.difference(Image.frombytes("RGB", (width, height), a),
                                          Image.frombytes("RGB", (width, height), b)).histogram()
        squared = sum(count * (i % 256) ** 2 for i, count in enumerate(histogram))
        mse = squared / (width * height * 3)
        values.append(100.0 if mse == 0 else 10 * math.log10(255 * 255 / mse))
    return sum(values) / len(values), len(values)


def main():
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    reference = sys.argv[1]
    print("%-40s %10s %7s %9s %7s" % ("file", "bytes", "Mbit/s", "PSNR dB", "frames"))
    for clip in sys.argv[2:]:
        size = os.path.getsize(clip)
        seconds = probe(clip)[2]
        psnr, count = mean_psnr(reference, clip)
        print("%-40s %10d %7.2f %9.2f %7d" % (clip, size, size * 8 / seconds / 1e6, psnr, count))


if __name__ == "__main__":
    main()
