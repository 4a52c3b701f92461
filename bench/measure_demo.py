#!/usr/bin/env python3
"""measure_demo.py -- how the running demo behaves under Xvfb: CPU use, frames shown per second, time to stop.

    bench/measure_demo.py BUILD_DIR [--seconds 10]

Starts its own Xvfb (1024 x 768), runs BUILD_DIR/bin/flyover over the default
scene beside it (sound to SDL's disk driver) and reads the process's CPU time
from /proc over the given seconds; then presses a key with xdotool and times
the exit. Then runs BUILD_DIR/bin/flyover_stop_probe (the same demo, which
reports the display's frame counters) for the same time and prints the frames
finished and presented per second. Needs Xvfb, xdotool and python3-xlib.
"""

import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import time

TITLE = "GAPI Demo"


def cpu_seconds(pid):
    fields = open("/proc/%d/stat" % pid).read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def find_window(env, process):
    deadline = time.monotonic() + 15
    while time.monotonic() < deadline and process.poll() is None:
        out = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", TITLE],
                             capture_output=True, text=True, env=env).stdout.split()
        if out:
            return out[0]
        time.sleep(0.05)
    return None


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("build")
    parser.add_argument("--seconds", type=float, default=10.0)
    args = parser.parse_args()
    bin_dir = os.path.join(args.build, "bin")

    xvfb = subprocess.Popen(["Xvfb", "-displayfd", "1", "-screen", "0", "1024x768x24",
                             "-nolisten", "tcp"], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    work = tempfile.mkdtemp(prefix="flyover-measure-")
    try:
        env = dict(os.environ, DISPLAY=":" + xvfb.stdout.readline().decode().strip(),
                   SDL_AUDIODRIVER="disk", SDL_DISKAUDIOFILE=os.path.join(work, "sound.raw"))
        for name in ("SDL_VIDEODRIVER", "FLYOVER_DISPLAY", "FLYOVER_SCALE"):
            env.pop(name, None)
        for name in ("Keys2.txt", "colour.bmp", "height.bmp", "sky.BMP"):
            shutil.copy2(os.path.join(bin_dir, name), work)
        for program in ("flyover", "flyover_stop_probe"):
            shutil.copy2(os.path.join(bin_dir, program), work)

        demo = subprocess.Popen([os.path.join(work, "flyover")], env=env,
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        window = find_window(env, demo)
        if not window:
            print("the demo's window did not appear")
            return 1
        time.sleep(1.0)
        cpu0, wall0 = cpu_seconds(demo.pid), time.monotonic()
        time.sleep(args.seconds)
        cpu1, wall1 = cpu_seconds(demo.pid), time.monotonic()
        print("CPU while flying: %.1f %% of one core over %.1f s"
              % (100.0 * (cpu1 - cpu0) / (wall1 - wall0), wall1 - wall0))
        sent = time.monotonic()
        subprocess.run(["xdotool", "key", "--window", window, "space"], env=env, check=True)
        returned = time.monotonic()
        while demo.poll() is None:
            time.sleep(0.0005)
        ended = time.monotonic()
        print("key press to exit: %.1f ms after xdotool returned (%.1f ms after it started), "
              "status %d" % ((ended - returned) * 1000, (ended - sent) * 1000, demo.returncode))

        probe = subprocess.run([os.path.join(work, "flyover_stop_probe"), "key",
                                str(int(args.seconds * 1000))],
                               env=env, capture_output=True, text=True, timeout=args.seconds + 30)
        fields = probe.stdout.split()
        published, presented = int(fields[2]), int(fields[3])
        print("frames over %.1f s: %.1f finished and %.1f presented per second"
              % (args.seconds, published / args.seconds, presented / args.seconds))
    finally:
        xvfb.terminate()
        xvfb.wait()
        shutil.rmtree(work, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
