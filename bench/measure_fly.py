#!/usr/bin/env python3
"""measure_fly.py -- "flyover-tool fly" flown under Xvfb: frames presented per second, input to screen, CPU.

    bench/measure_fly.py BUILD_DIR [--seconds 10] [--display 240x320]
    bench/measure_fly.py BUILD_DIR --view hd [--size 1920x1080]

Starts its own Xvfb (1024 x 768, or 2048 x 1200 for the HD view), runs BUILD_DIR/bin/flyover-tool fly over the
default scene beside it at scale 1, gives its window the keyboard focus and
flies: W held throughout, and a turn key tapped four times a second through
the X server's XTEST extension (one connection, so that no helper process
competes with the tool). After the given seconds it presses Escape and prints
the tool's own report: frames per second, frame times, input-to-screen
latency (from each input event's arrival to the frame that showed it being
taken by the screen), the process's CPU use, and the pictures the window
presented. Needs Xvfb and python3-xlib.
"""

import argparse
import os
import subprocess
import sys
import tempfile
import time


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("build")
    parser.add_argument("--seconds", type=float, default=10.0)
    parser.add_argument("--display", default="240x320")
    parser.add_argument("--view", default="faithful", choices=["faithful", "hd"])
    parser.add_argument("--size", default="1920x1080", help="the HD view's window")
    args = parser.parse_args()
    from Xlib import X, XK, display as xdisplay
    from Xlib.ext import xtest

    hd = args.view == "hd"
    screen = "1024x768x24"
    if hd:
        width, height = (int(side) for side in args.size.split("x"))
        screen = "%dx%dx24" % (max(2048, width + 128), max(1200, height + 120))
    xvfb = subprocess.Popen(["Xvfb", "-displayfd", "1", "-screen", "0", screen,
                             "-nolisten", "tcp"], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    try:
        name = ":" + xvfb.stdout.readline().decode().strip()
        env = dict(os.environ, DISPLAY=name, SDL_AUDIODRIVER="dummy")
        env.pop("SDL_VIDEODRIVER", None)
        bin_dir = os.path.join(args.build, "bin")
        # Nothing is recorded; the key file's folder must merely be writable.
        keys_dir = tempfile.TemporaryDirectory()
        view = ["--view", "hd", "--size", args.size] if hd else ["--display", args.display]
        fly = subprocess.Popen([os.path.join(bin_dir, "flyover-tool"), "fly", "--scene", bin_dir,
                                "--scale", "1", *view, "--keys-out", os.path.join(keys_dir.name, "Keys2.txt.new")],
                               env=env, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
        d = xdisplay.Display(name)
        window = None
        deadline = time.monotonic() + 15
        while window is None and time.monotonic() < deadline:
            for child in d.screen().root.query_tree().children:
                title = child.get_wm_name()
                if isinstance(title, str) and title.startswith("flyover fly"):
                    window = child
            time.sleep(0.05)
        if window is None:
            fly.kill()
            print(fly.communicate()[0])
            return 1
        time.sleep(0.5)
        window.set_input_focus(X.RevertToParent, X.CurrentTime)
        d.sync()
        code = lambda key: d.keysym_to_keycode(XK.string_to_keysym(key))
        xtest.fake_input(d, X.KeyPress, code("w"))
        d.sync()
        end = time.monotonic() + args.seconds
        turn = 0
        while time.monotonic() < end:
            key = code("a" if turn % 8 < 4 else "d")
            xtest.fake_input(d, X.KeyPress, key)
            d.sync()
            time.sleep(0.05)
            xtest.fake_input(d, X.KeyRelease, key)
            d.sync()
            time.sleep(0.2)
            turn += 1
        xtest.fake_input(d, X.KeyRelease, code("w"))
        xtest.fake_input(d, X.KeyPress, code("Escape"))
        xtest.fake_input(d, X.KeyRelease, code("Escape"))
        d.sync()
        out = fly.communicate(timeout=15)[0]
        print(out.strip())
        return fly.returncode
    finally:
        xvfb.terminate()
        xvfb.wait(timeout=15)


if __name__ == "__main__":
    sys.exit(main())
