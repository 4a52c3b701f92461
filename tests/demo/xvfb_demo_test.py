#!/usr/bin/env python3
"""xvfb_demo_test.py -- the real flyover program in a real X server: its picture, its ways out, its sound, its failures.

Starts Xvfb, runs a copy of flyover beside a scene (the program reads its
scene from its own directory), finds its window, photographs it and checks
the picture against frames that flyover-tool draws, then ends it by a key, by
a click and by a window-manager close request (WM_DELETE_WINDOW), each of
which must end the program with status 0. SDL's disk audio driver catches the
sound, which must be the program's clip played round and round. Start-up
failures must show their message box (dismissed here), never the demo's
window, and end with status 1.

Exit status: 0 passed, 1 failed, 77 skipped (Xvfb or a helper is missing and
this is not CI, where everything must be there).
"""

import argparse
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import wave

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from png_rgb import read_png_rows  # noqa: E402

TITLE = "GAPI Demo, github.com/flyover-demo/flyover"
SCREEN_W, SCREEN_H = 240, 320
TOP_MARGIN = 24
WAIT = 15.0  # seconds: the limit of every wait for a window or a process
STOP_LIMIT_MS = 100.0

failures = []


def check(condition, message):
    print(("ok    " if condition else "FAIL  ") + message, flush=True)
    if not condition:
        failures.append(message)
    return condition


def skip_or_fail(reason):
    if os.environ.get("CI"):
        print("FAIL  " + reason + " (CI must run this test)")
        sys.exit(1)
    print("SKIP  " + reason)
    sys.exit(77)


# ---- pictures ----

def read_png_rgb(path):
    """The picture's width, height and RGB bytes, row 0 first."""
    width, height, rows = read_png_rows(path)
    return width, height, b"".join(bytes(row) for row in rows)


def to565(rgb):
    """Each pixel's RGB565 value: widening to 8 bits keeps the top bits."""
    return [((rgb[i] >> 3) << 11) | ((rgb[i + 1] >> 2) << 5) | (rgb[i + 2] >> 3)
            for i in range(0, len(rgb), 3)]


def view_rows(pixels, width):
    return pixels[TOP_MARGIN * width:]


def screenshot(window, path):
    # On a loaded machine ImageMagick's import now and then fails to find a
    # window that is plainly there, or hangs; a fresh try gets the picture.
    for attempt in range(4):
        try:
            subprocess.run(["import", "-window", str(window), "-depth", "8", "rgb:" + path],
                           check=True, timeout=WAIT, stdin=subprocess.DEVNULL)
            return open(path, "rb").read()
        except (subprocess.TimeoutExpired, subprocess.CalledProcessError):
            if attempt == 3:
                raise
            time.sleep(0.5)


def window_size(window):
    out = subprocess.run(["xwininfo", "-id", str(window)], capture_output=True, text=True,
                         timeout=WAIT).stdout
    size = {}
    for line in out.splitlines():
        line = line.strip()
        for key in ("Width:", "Height:"):
            if line.startswith(key):
                size[key] = int(line.split()[1])
    return size.get("Width:"), size.get("Height:")


# ---- processes and windows ----

def find_windows(display_env, name):
    """Visible windows whose title starts with `name`, at any depth."""
    from Xlib import X, display as xdisplay
    d = xdisplay.Display(display_env["DISPLAY"])
    net_wm_name = d.intern_atom("_NET_WM_NAME")
    found = []

    def walk(window):
        try:
            children = window.query_tree().children
        except Exception:  # the window went away meanwhile
            return
        for child in children:
            try:
                # SDL's message boxes name themselves only in _NET_WM_NAME.
                net = child.get_full_property(net_wm_name, 0)
                title = net.value if net and net.value else child.get_wm_name()
                viewable = child.get_attributes().map_state == X.IsViewable
            except Exception:  # the window went away meanwhile
                continue
            if isinstance(title, bytes):
                title = title.decode("utf-8", "replace")
            if viewable and isinstance(title, str) and title.startswith(name):
                found.append(child.id)
            walk(child)

    walk(d.screen().root)
    d.close()
    return found


def wait_for_window(display_env, name, process):
    deadline = time.monotonic() + WAIT
    while time.monotonic() < deadline:
        windows = find_windows(display_env, name)
        if windows:
            return windows[0]
        if process.poll() is not None:
            # A Demo's stderr lies beside its program.
            err = os.path.join(os.path.dirname(str(process.args[0])), "stderr.txt")
            said = open(err).read().strip() if os.path.exists(err) else ""
            print("      no window: the program ended with status %s: %s"
                  % (process.returncode, said[-400:]))
            return None
        time.sleep(0.05)
    print("      no window titled %r after %.0f s; the program still runs" % (name, WAIT))
    return None


def wait_for_exit(process):
    """The exit status and when it came, or (None, None) after WAIT seconds."""
    deadline = time.monotonic() + WAIT
    while time.monotonic() < deadline:
        status = process.poll()
        if status is not None:
            return status, time.monotonic()
        time.sleep(0.0005)
    process.kill()
    process.wait()
    return None, None


def close_request(display, window):
    """What a window manager sends when the user closes a window."""
    from Xlib import X, display as xdisplay, protocol
    d = xdisplay.Display(display)
    w = d.create_resource_object("window", window)
    protocols = d.intern_atom("WM_PROTOCOLS")
    delete = d.intern_atom("WM_DELETE_WINDOW")
    event = protocol.event.ClientMessage(window=w, client_type=protocols,
                                         data=(32, [delete, X.CurrentTime, 0, 0, 0]))
    w.send_event(event, event_mask=X.NoEventMask)
    d.flush()
    d.close()


class Demo:
    def __init__(self, workdir, name, display, flyover, scene, extra_env=None, drop_env=()):
        self.dir = os.path.join(workdir, name)
        os.makedirs(self.dir)
        shutil.copy2(flyover, os.path.join(self.dir, "flyover"))
        if scene:
            for f in os.listdir(scene):
                shutil.copy2(os.path.join(scene, f), self.dir)
        env = dict(os.environ)
        for key in ("SDL_VIDEODRIVER", "FLYOVER_DISPLAY", "FLYOVER_SCALE", "WAYLAND_DISPLAY"):
            env.pop(key, None)
        env.update({"DISPLAY": display, "SDL_AUDIODRIVER": "disk",
                    "SDL_DISKAUDIOFILE": os.path.join(self.dir, "sound.raw")})
        # In a sanitizer build, leaks are checked in the dummy-driver runs of
        # demo_stop_test; here SDL loads D-Bus and Mesa, whose allocations at
        # exit LeakSanitizer cannot tell from ours (and Mesa's library is gone
        # by then, so it cannot even be named in a suppression).
        env["ASAN_OPTIONS"] = (env.get("ASAN_OPTIONS", "") + ":detect_leaks=0").lstrip(":")
        env.update(extra_env or {})
        for key in drop_env:
            env.pop(key, None)
        self.err_path = os.path.join(self.dir, "stderr.txt")
        self.process = subprocess.Popen([os.path.join(self.dir, "flyover")], cwd=self.dir, env=env,
                                        stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                        stderr=open(self.err_path, "w"))

    def stderr(self):
        return open(self.err_path).read()


# ---- the checks ----

def reference_frame(tool, scene, time_ms, workdir):
    out = os.path.join(workdir, "ref.png")
    subprocess.run([tool, "render", "--scene", scene, "--time", str(time_ms), "--out", out],
                   check=True, timeout=WAIT, stdout=subprocess.DEVNULL)
    width, height, rgb = read_png_rgb(out)
    assert (width, height) == (SCREEN_W, SCREEN_H)
    return to565(rgb)


def differing(a, b):
    return sum(1 for x, y in zip(a, b) if x != y)


def best_matching_time(shot565, tool, scene, workdir, around_ms):
    """The flight time whose frame is closest to the screenshot's view,
    looked for in the 4000 ms loop of the fixture's path, before `around_ms`
    (the time since the window appeared, when the flight began at the latest)."""
    view = view_rows(shot565, SCREEN_W)
    cache = {}

    def cost(t):
        if t not in cache:
            cache[t] = differing(view, view_rows(reference_frame(tool, scene, t, workdir), SCREEN_W))
        return cache[t]

    # The picture changes unevenly with time, so look closely around the
    # three best of a coarse search rather than only the best.
    coarse = sorted(((around_ms - back) % 4000 for back in range(-400, 800, 20)), key=cost)
    fine = min(((c + d) % 4000 for c in coarse[:3] for d in range(-12, 13)), key=cost)
    return fine, cost(fine)


def check_sound(demo, clip, seconds_flown):
    played = open(os.path.join(demo.dir, "sound.raw"), "rb").read()
    start = played.find(clip[:256])
    if not check(start >= 0 and start < 11025, "the sound starts with the clip"):
        return
    body = played[start:]
    repeats = len(body) / len(clip)
    check(repeats > 1.05, "the clip played past its end (%.2f times in %.1f s)" % (repeats, seconds_flown))
    mismatch = next((i for i in range(len(body)) if body[i] != clip[i % len(clip)]), None)
    check(mismatch is None, "the sound is the clip over and over without a gap"
          + ("" if mismatch is None else " (first difference at byte %d)" % mismatch))


def press_to_stop(env, window, key):
    """Sends a key that ends the program. The program may close its window
    between the press and the release, and xdotool then reports a missing
    window: not a failure, since the exit status is what is checked."""
    subprocess.run(["xdotool", "key", "--window", str(window), key], env=env, timeout=WAIT,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def stop_and_time(demo, how, action):
    before = time.monotonic()
    action()
    sent = time.monotonic()
    status, ended = wait_for_exit(demo.process)
    if not check(status == 0, "%s ends the demo with status 0 (got %s)\n%s" % (how, status, demo.stderr())):
        return None
    latency = (ended - sent) * 1000.0
    print("      %s: %.1f ms from input sent to exit (sending took %.1f ms)"
          % (how, latency, (sent - before) * 1000.0))
    return latency


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--flyover", required=True)
    parser.add_argument("--tool", required=True)
    parser.add_argument("--scene", required=True)
    parser.add_argument("--sound", required=True)
    args = parser.parse_args()

    for program in ("Xvfb", "xdotool", "import", "xwininfo"):
        if not shutil.which(program):
            skip_or_fail(program + " is not installed (.ci/install-deps installs it)")
    try:
        import Xlib  # noqa: F401
    except ImportError:
        skip_or_fail("python3-xlib is not installed (.ci/install-deps installs it)")

    with wave.open(args.sound) as w:
        clip = w.readframes(w.getnframes())

    return with_xvfb("flyover-xvfb-",
                     lambda display, env, workdir: run(args, display, env, workdir, clip))


def with_xvfb(prefix, body):
    """Runs body(display, display_env, workdir) in a fresh Xvfb with a scratch
    folder named from `prefix`, removes both, and returns the exit status."""
    workdir = tempfile.mkdtemp(prefix=prefix)
    xvfb = subprocess.Popen(["Xvfb", "-displayfd", "1", "-screen", "0", "1024x768x24",
                             "-nolisten", "tcp"], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    try:
        number = xvfb.stdout.readline().decode().strip()
        if not number:
            check(False, "Xvfb started")
            return 1
        display = ":" + number
        os.environ["DISPLAY"] = display  # for import and xwininfo
        body(display, dict(os.environ), workdir)
    finally:
        xvfb.terminate()
        xvfb.wait(timeout=WAIT)
        shutil.rmtree(workdir, ignore_errors=True)
    print("%d failed" % len(failures) if failures else "all passed")
    return 1 if failures else 0


def run(args, display, display_env, workdir, clip):
    # 1. The picture, the sound, and a key press, at scale 1.
    demo = Demo(workdir, "key", display, args.flyover, args.scene, {"FLYOVER_SCALE": "1"})
    started = time.monotonic()
    window = wait_for_window(display_env, TITLE, demo.process)
    if check(window is not None, "the demo's window appears, titled \"%s\"" % TITLE):
        check(window_size(window) == (SCREEN_W, SCREEN_H),
              "at FLYOVER_SCALE=1 the window is the 240 x 320 screen (%s)" % (window_size(window),))
        appeared = time.monotonic()
        time.sleep(1.0)
        shot_at = time.monotonic()
        first = to565(screenshot(window, os.path.join(workdir, "shot1.rgb")))
        time.sleep(0.5)
        second = to565(screenshot(window, os.path.join(workdir, "shot2.rgb")))
        check(all(p == 0 for p in first[:TOP_MARGIN * SCREEN_W]),
              "the 24 rows above the view stay black")
        check(differing(view_rows(first, SCREEN_W), view_rows(second, SCREEN_W)) > 1000,
              "the view moves: two screenshots half a second apart differ")
        t, cost = best_matching_time(first, args.tool, args.scene, workdir,
                                     int((shot_at - appeared) * 1000))
        total = SCREEN_W * (SCREEN_H - TOP_MARGIN)
        check(cost <= total // 100,
              "the view is the flight's frame at %d ms as flyover-tool draws it "
              "(%d of %d pixels differ)" % (t, cost, total))
        # Let the sound play past the end of its 7.5 s clip.
        time.sleep(max(0.0, 8.5 - (time.monotonic() - started)))
        flown = time.monotonic() - started
        stop_and_time(demo, "a key press",
                      lambda: press_to_stop(display_env, window, "space"))
        check_sound(demo, clip, flown)
    else:
        demo.process.kill()

    # 2. A click, at the automatic scale (2 on a 1024 x 768 desktop).
    demo = Demo(workdir, "click", display, args.flyover, args.scene)
    window = wait_for_window(display_env, TITLE, demo.process)
    if check(window is not None, "the window appears again"):
        check(window_size(window) == (2 * SCREEN_W, 2 * SCREEN_H),
              "the automatic scale fits the desktop: 480 x 640 (%s)" % (window_size(window),))
        subprocess.run(["xdotool", "mousemove", "--window", str(window), "200", "300"],
                       env=display_env, check=True, timeout=WAIT)
        time.sleep(0.5)
        stop_and_time(demo, "a click", lambda: subprocess.run(
            ["xdotool", "mousedown", "--window", str(window), "1"],
            env=display_env, check=True, timeout=WAIT))
    else:
        demo.process.kill()

    # 3. The window manager's close request.
    demo = Demo(workdir, "close", display, args.flyover, args.scene)
    window = wait_for_window(display_env, TITLE, demo.process)
    if check(window is not None, "the window appears a third time"):
        time.sleep(0.5)
        stop_and_time(demo, "a close request", lambda: close_request(display, window))
    else:
        demo.process.kill()

    # 4. Ctrl-C, SIGTERM and SIGHUP end it as a close request does: the stop
    # sequence runs and the status is 0 (not 130, 143 or 129).
    for number, name in ((signal.SIGINT, "SIGINT"), (signal.SIGTERM, "SIGTERM"),
                         (signal.SIGHUP, "SIGHUP")):
        demo = Demo(workdir, "signal-" + name, display, args.flyover, args.scene)
        window = wait_for_window(display_env, TITLE, demo.process)
        if check(window is not None, "the window appears for %s" % name):
            time.sleep(0.5)
            stop_and_time(demo, name, lambda: demo.process.send_signal(number))
            check("ERROR" not in demo.stderr() and "runtime error" not in demo.stderr(),
                  "%s: nothing on stderr but SDL's own notes\n%s" % (name, demo.stderr()))
        else:
            demo.process.kill()

    # 5. Start-up failures.
    failure_cases = [
        ("no-key-file", None, lambda d: None, "Pelmora, File Error", "Can't open file {dir}/Keys2.txt"),
        ("broken-map", args.scene,
         lambda d: open(os.path.join(d, "colour.bmp"), "wb").write(b"BM broken"),
         "Pelmora, File Error", "Can't open Bitmap {dir}/colour.bmp"),
    ]
    for name, scene, spoil, caption, text in failure_cases:
        demo = Demo(workdir, name, display, args.flyover, scene)
        spoil(demo.dir)
        # The message box is modal: the program waits until it is dismissed.
        box = wait_for_window(display_env, caption, demo.process)
        if check(box is not None, "%s: a message box \"%s\" appears" % (name, caption)):
            check(not find_windows(display_env, TITLE), "%s: the demo's window never appears" % name)
            subprocess.run(["xdotool", "key", "--window", str(box), "Return"], env=display_env,
                           timeout=WAIT)
            time.sleep(0.3)
            if demo.process.poll() is None:
                close_request(display, box)
        status, _ = wait_for_exit(demo.process)
        check(status == 1, "%s: exit status 1 (got %s)" % (name, status))
        check(caption + ": " + text.format(dir=demo.dir) in demo.stderr(),
              "%s: the message is on stderr too" % name)

    demo = Demo(workdir, "no-display", display, args.flyover, args.scene, drop_env=("DISPLAY",))
    status, _ = wait_for_exit(demo.process)
    check(status == 1, "without a display: exit status 1 (got %s)" % status)
    check("GXOpenDisplay failed" in demo.stderr(), "without a display: \"GXOpenDisplay failed\"")
    check(not find_windows(display_env, TITLE), "without a display: no window")


if __name__ == "__main__":
    sys.exit(main())
