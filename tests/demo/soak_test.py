#!/usr/bin/env python3
"""soak_test.py -- the demo flying its default scene for minutes under Xvfb: memory flat, CPU steady, restarts seamless.

Runs a copy of flyover beside the default scene in a virtual X server for
--seconds (120 by default; FLYOVER_SOAK_SECONDS overrides, 600 for the long
soak), samples its resident memory and CPU time every second, then ends it
with a key. Checks:
- after the first pass of the flight, peak resident memory grows by less
  than 1 MB (nothing accumulates from frame to frame or pass to pass);
- the CPU used in every 10-second window stays near the median window's
  (no slow creep, no runaway);
- the flight restarts seamlessly: the camera at the last millisecond the path
  plays and at 0 are the same place, as flyover-tool computes them;
- the window stays up throughout, and the key ends the demo with status 0.

Exit status: 0 passed, 1 failed, 77 skipped (Xvfb or a helper is missing and
this is not CI).
"""

import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import xvfb_demo_test as xvfb  # noqa: E402

WINDOW_S = 10


def rss_kb(pid):
    for line in open("/proc/%d/status" % pid):
        if line.startswith("VmRSS:"):
            return int(line.split()[1])
    return 0


def cpu_seconds(pid):
    fields = open("/proc/%d/stat" % pid).read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def flight_end_ms(tool, scene):
    """The last millisecond the default flight plays, and its cameras there and at 0."""
    lo, hi = 0, 1 << 22
    while hi - lo > 1:  # the path plays on [0, end]: find end
        mid = (lo + hi) // 2
        out = subprocess.run([tool, "camera", "--scene", scene, "--time", str(mid)],
                             capture_output=True, text=True, check=True).stdout
        if out.split()[1] == "end":
            hi = mid
        else:
            lo = mid
    out = subprocess.run([tool, "camera", "--scene", scene, "--time", str(lo), "--time", "0"],
                         capture_output=True, text=True, check=True).stdout.splitlines()
    return lo, [int(v) for v in out[0].split()[1:6]], [int(v) for v in out[1].split()[1:6]]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--flyover", required=True)
    parser.add_argument("--tool", required=True)
    parser.add_argument("--scene", required=True, help="the default scene (the build's bin/)")
    parser.add_argument("--seconds", type=float,
                        default=float(os.environ.get("FLYOVER_SOAK_SECONDS", "120")))
    args = parser.parse_args()
    for program in ("Xvfb", "xdotool"):
        if not os.path.exists("/usr/bin/" + program):
            xvfb.skip_or_fail(program + " is not installed (.ci/install-deps installs it)")
    try:
        import Xlib  # noqa: F401
    except ImportError:
        xvfb.skip_or_fail("python3-xlib is not installed (.ci/install-deps installs it)")

    # The restart: the camera where the path ends and where it begins again.
    end_ms, last, first = flight_end_ms(args.tool, args.scene)
    def apart(a, b, period):
        d = (a - b) % period
        return min(d, period - d)

    # Positions repeat every 256 cells and headings every turn; an eighth of a
    # cell, a height byte, a heading unit and a horizon row are no jump.
    seamless = (apart(last[0], first[0], 256 << 16) < (1 << 13) and
                apart(last[1], first[1], 256 << 16) < (1 << 13) and
                abs(last[2] - first[2]) < (1 << 17) and apart(last[3], first[3], 4096) <= 1 and
                abs(last[4] - first[4]) <= 1)
    xvfb.check(seamless, "the flight restarts seamlessly: the camera at %d ms %s and at 0 %s" %
               (end_ms, last, first))

    workdir = tempfile.mkdtemp(prefix="flyover-soak-")
    server = subprocess.Popen(["Xvfb", "-displayfd", "1", "-screen", "0", "1024x768x24",
                               "-nolisten", "tcp"], stdout=subprocess.PIPE,
                              stderr=subprocess.DEVNULL)
    try:
        display = ":" + server.stdout.readline().decode().strip()
        os.environ["DISPLAY"] = display
        env = dict(os.environ)
        scene_files = os.path.join(workdir, "scene")
        os.makedirs(scene_files)
        for name in ("Keys2.txt", "colour.bmp", "height.bmp", "sky.BMP"):
            shutil.copy2(os.path.join(args.scene, name), scene_files)
        demo = xvfb.Demo(workdir, "soak", display, args.flyover, scene_files,
                         {"SDL_AUDIODRIVER": "dummy", "FLYOVER_SCALE": "1"})
        window = xvfb.wait_for_window(env, xvfb.TITLE, demo.process)
        if not xvfb.check(window is not None, "the demo's window appears"):
            demo.process.kill()
            return 1
        start = time.monotonic()
        samples = []  # (seconds since start, rss kB, cpu seconds)
        while time.monotonic() - start < args.seconds:
            if demo.process.poll() is not None:
                break
            samples.append((time.monotonic() - start, rss_kb(demo.process.pid),
                            cpu_seconds(demo.process.pid)))
            time.sleep(1.0)
        flown = time.monotonic() - start
        xvfb.check(demo.process.poll() is None,
                   "the demo flies for %.0f s (%.1f passes of the %.1f s flight)" %
                   (flown, flown * 1000 / end_ms, end_ms / 1000))
        xvfb.check(bool(xvfb.find_windows(env, xvfb.TITLE)), "its window is still up")

        first_pass = end_ms / 1000 + 5
        after = [s for s in samples if s[0] >= first_pass]
        if after:
            growth = max(s[1] for s in after) - after[0][1]
            xvfb.check(growth < 1024, "after the first pass, resident memory grows by %d kB "
                       "(%d kB at %.0f s, at most %d kB later)" %
                       (growth, after[0][1], after[0][0], max(s[1] for s in after)))
        else:
            xvfb.check(False, "the soak lasts past the first pass of the flight")

        windows = []
        for i in range(len(samples)):
            j = i + WINDOW_S
            if j < len(samples) and samples[i][0] >= WINDOW_S:
                windows.append(100.0 * (samples[j][2] - samples[i][2]) / (samples[j][0] - samples[i][0]))
        windows = windows[::WINDOW_S]
        if windows:
            median = sorted(windows)[len(windows) // 2]
            steady = all(abs(w - median) <= max(0.5 * median, 5.0) for w in windows)
            xvfb.check(steady, "CPU steady: %s %% of a core in %d-s windows" %
                       (" ".join("%.1f" % w for w in windows), WINDOW_S))
        print("      peak resident memory %d kB" % max(s[1] for s in samples))

        xvfb.stop_and_time(demo, "a key press after the soak",
                           lambda: xvfb.press_to_stop(env, window, "space"))
    finally:
        server.terminate()
        server.wait(timeout=xvfb.WAIT)
        shutil.rmtree(workdir, ignore_errors=True)
    print("%d failed" % len(xvfb.failures) if xvfb.failures else "all passed")
    return 1 if xvfb.failures else 0


if __name__ == "__main__":
    sys.exit(main())
