#!/usr/bin/env python3
"""xvfb_fly_test.py -- "flyover-tool fly" in a real X server, driven with xdotool.

Starts Xvfb and the fly command over a scene, finds its window, and drives it
as a person would: flies with the keys, records a path and writes its key
file, switches to the player and back, pauses it, hides the overlay, and
quits with Escape, which must end the tool with status 0. The key file
written must pass "flyover-tool check". Then a second fly is ended by SIGTERM
in the middle of a recording: it must end with status 0 as Escape does, the
recording written and passing the check too. With --screenshot FILE, a picture
of the window with its overlay is kept (the README's).

Exit status: 0 passed, 1 failed, 77 skipped (Xvfb or a helper is missing and
this is not CI, where everything must be there).
"""

import argparse
import os
import shutil
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "demo"))
from xvfb_demo_test import (check, screenshot, skip_or_fail, to565, wait_for_exit,  # noqa: E402
                            wait_for_window, window_size, with_xvfb, WAIT)

TITLE = "flyover fly: "
SCREEN_W, SCREEN_H = 240, 320
TOP_MARGIN = 24


def differing(a, b):
    return sum(1 for x, y in zip(a, b) if x != y)


class Fly:
    def __init__(self, tool, scene, keys_out, display, workdir, name="fly"):
        env = dict(os.environ)
        for key in ("SDL_VIDEODRIVER", "WAYLAND_DISPLAY"):
            env.pop(key, None)
        env.update({"DISPLAY": display, "SDL_AUDIODRIVER": "dummy"})
        # As in the demo's Xvfb test: SDL's X11 and Mesa libraries leave
        # allocations at exit that LeakSanitizer cannot tell from ours.
        env["ASAN_OPTIONS"] = (env.get("ASAN_OPTIONS", "") + ":detect_leaks=0").lstrip(":")
        self.env = env
        self.out_path = os.path.join(workdir, name + "-stdout.txt")
        self.err_path = os.path.join(workdir, name + "-stderr.txt")
        self.process = subprocess.Popen(
            [tool, "fly", "--scene", scene, "--keys-out", keys_out, "--scale", "1"],
            env=env, stdin=subprocess.DEVNULL, stdout=open(self.out_path, "w"),
            stderr=open(self.err_path, "w"))
        self.window = None

    def keys(self, *names, ends=False):
        """Sends key presses and releases. With `ends`, the keys end fly: it may
        close its window between a press and its release, which xdotool then
        reports as a missing window; the exit status tells what happened."""
        sent = subprocess.run(["xdotool", "key", "--window", str(self.window), *names],
                              env=self.env, timeout=WAIT, capture_output=True, text=True)
        if sent.returncode != 0 and not ends:
            # Say what became of fly before failing: a window gone is fly gone.
            raise RuntimeError("xdotool key %s failed (%s); fly's status %s, its output:\n%s"
                               % (" ".join(names), sent.stderr.strip(), self.process.poll(),
                                  self.output()))

    def hold(self, name, seconds):
        subprocess.run(["xdotool", "keydown", "--window", str(self.window), name], env=self.env,
                       check=True, timeout=WAIT)
        time.sleep(seconds)
        subprocess.run(["xdotool", "keyup", "--window", str(self.window), name], env=self.env,
                       check=True, timeout=WAIT)

    def shot(self, path):
        return to565(screenshot(self.window, path))

    def output(self):
        return open(self.out_path).read() + open(self.err_path).read()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--tool", required=True)
    parser.add_argument("--scene", required=True)
    parser.add_argument("--screenshot", help="keep a PNG of the window with its overlay here")
    args = parser.parse_args()

    for program in ("Xvfb", "xdotool", "import", "xwininfo"):
        if not shutil.which(program):
            skip_or_fail(program + " is not installed (.ci/install-deps installs it)")
    try:
        import Xlib  # noqa: F401
    except ImportError:
        skip_or_fail("python3-xlib is not installed (.ci/install-deps installs it)")

    return with_xvfb("flyover-xvfb-fly-", lambda display, env, workdir: run(args, display, env, workdir))


def run(args, display, display_env, workdir):
    keys_out = os.path.join(workdir, "recorded.txt")
    fly = Fly(args.tool, args.scene, keys_out, display, workdir)
    fly.window = wait_for_window(display_env, TITLE, fly.process)
    if not check(fly.window is not None, "the fly window appears\n" + fly.output()):
        fly.process.kill()
        return
    check(window_size(fly.window) == (SCREEN_W, SCREEN_H),
          "at --scale 1 the window is the 240 x 320 screen (%s)" % (window_size(fly.window),))
    time.sleep(0.5)
    start = fly.shot(os.path.join(workdir, "start.rgb"))
    check(any(p != 0 for p in start[:TOP_MARGIN * SCREEN_W]),
          "the overlay shows in the margin above the view")

    # Free flight: ahead with W, then turning.
    fly.hold("w", 1.0)
    moved = fly.shot(os.path.join(workdir, "moved.rgb"))
    check(differing(start[TOP_MARGIN * SCREEN_W:], moved[TOP_MARGIN * SCREEN_W:]) > 1000,
          "W flies ahead: the view changes")

    # Recording: Return starts it, flying, Return writes the key file.
    fly.keys("Return")
    fly.hold("w", 1.2)
    if args.screenshot:
        subprocess.run(["import", "-window", str(fly.window), "-depth", "8", args.screenshot],
                       check=True, timeout=WAIT)
    fly.hold("a", 0.4)
    fly.hold("w", 1.0)
    fly.keys("Return")
    deadline = time.monotonic() + WAIT
    while not os.path.exists(keys_out) and time.monotonic() < deadline:
        time.sleep(0.05)
    check(os.path.exists(keys_out), "Return, Return records a path into --keys-out")

    # The player: Tab, Space pauses it (the picture stands), Space plays on.
    fly.keys("Tab")
    time.sleep(0.3)
    fly.keys("space")
    time.sleep(0.3)
    paused1 = fly.shot(os.path.join(workdir, "paused1.rgb"))
    time.sleep(0.4)
    paused2 = fly.shot(os.path.join(workdir, "paused2.rgb"))
    check(differing(paused1[TOP_MARGIN * SCREEN_W:], paused2[TOP_MARGIN * SCREEN_W:]) == 0,
          "paused, the player's picture stands")
    fly.keys("Right", "Right")
    time.sleep(0.3)
    sought = fly.shot(os.path.join(workdir, "sought.rgb"))
    check(differing(paused2[TOP_MARGIN * SCREEN_W:], sought[TOP_MARGIN * SCREEN_W:]) > 1000,
          "Right seeks: the picture changes")

    # Back to free flight; O hides the overlay: the margin is black again.
    fly.keys("Tab", "o")
    time.sleep(0.4)
    bare = fly.shot(os.path.join(workdir, "bare.rgb"))
    check(all(p == 0 for p in bare[:TOP_MARGIN * SCREEN_W]),
          "without the overlay the 24 rows above the view are the frame's own, black")

    fly.keys("Escape", ends=True)
    status, _ = wait_for_exit(fly.process)
    output = fly.output()
    check(status == 0, "Escape ends fly with status 0 (got %s)\n%s" % (status, output))
    check("wrote " + keys_out in output, "fly says where it wrote the key file")
    check("frames per second" in output, "fly reports its frames on leaving")
    for line in output.splitlines():
        if "frames per second" in line or "pictures presented" in line:
            print("      " + line)

    # The key file plays in the demo: check passes on a scene made of it.
    if os.path.exists(keys_out):
        check_keys(args, keys_out, os.path.join(workdir, "recorded-scene"))

    run_terminated(args, display, display_env, workdir)


def check_keys(args, keys_out, scene):
    """flyover-tool check passes on a copy of the scene flying `keys_out`."""
    os.makedirs(scene)
    for name in ("colour.bmp", "height.bmp", "sky.BMP"):
        shutil.copy2(os.path.join(args.scene, name), scene)
    shutil.copy2(keys_out, os.path.join(scene, "Keys2.txt"))
    result = subprocess.run([args.tool, "check", "--scene", scene], capture_output=True,
                            text=True, timeout=WAIT * 4)
    check(result.returncode == 0, "flyover-tool check passes on the flight recorded in %s\n%s%s"
          % (os.path.basename(keys_out), result.stdout, result.stderr))


def run_terminated(args, display, display_env, workdir):
    """SIGTERM in the middle of a recording ends fly as Escape does."""
    keys_out = os.path.join(workdir, "terminated.txt")
    fly = Fly(args.tool, args.scene, keys_out, display, workdir, "terminated")
    fly.window = wait_for_window(display_env, TITLE, fly.process)
    if not check(fly.window is not None, "the second fly window appears\n" + fly.output()):
        fly.process.kill()
        return
    time.sleep(0.3)
    fly.keys("Return")
    fly.hold("w", 1.5)
    fly.hold("a", 0.4)
    fly.hold("w", 0.6)
    check(not os.path.exists(keys_out), "nothing is written while the recording runs")
    fly.process.terminate()
    status, _ = wait_for_exit(fly.process)
    output = fly.output()
    check(status == 0, "SIGTERM ends fly with status 0 (got %s)\n%s" % (status, output))
    check(os.path.exists(keys_out),
          "the recording running at SIGTERM is written to --keys-out\n" + output)
    check("wrote " + keys_out in output, "fly says where it wrote it")
    if os.path.exists(keys_out):
        check_keys(args, keys_out, os.path.join(workdir, "terminated-scene"))


if __name__ == "__main__":
    sys.exit(main())
