#!/usr/bin/env python3
"""web_page_test.py -- the demo's web page in a real browser (headless Chromium): it loads without
console errors, draws every frame exactly as `flyover-tool render` does, and ends on a key, a click
or a tap as the desktop demo does, offering to fly again; a display it cannot emulate fails as
the desktop demo's does.

Usage: web_page_test.py --page DIR --tool FLYOVER_TOOL --scene DIR [--chromium PATH]
                        [--measure] [unittest options]
  --page DIR     the web build's page/ folder (index.html, flyover.js, ...)
  --tool PATH    a native flyover-tool, whose render is the reference
  --scene DIR    the scene the page carries (the web build's bin/)
  --measure      instead of testing, print the page's size, its time to the first
                 frame and the renderer's frame time in the browser against native
"""
import argparse
import base64
import functools
import gzip
import http.server
import json
import math
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import threading
import time
import unittest
import zlib

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'support'))
from png_rgb import read_png_rows  # noqa: E402

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import cdp  # noqa: E402

ARGS = None


def serve(directory):
    """A plain static host on a free port, as any web server would serve the folder."""
    class Handler(http.server.SimpleHTTPRequestHandler):
        extensions_map = {**http.server.SimpleHTTPRequestHandler.extensions_map,
                          '.wasm': 'application/wasm', '.js': 'text/javascript',
                          '.data': 'application/octet-stream'}

        def log_message(self, *args):
            pass

    server = http.server.ThreadingHTTPServer(('127.0.0.1', 0),
                                             functools.partial(Handler, directory=directory))
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server


def read_png_rgb(path):
    """The pixels of an 8-bit RGB PNG (as the tool writes them): (width, height, bytes)."""
    width, height, rows = read_png_rows(path)
    return width, height, b''.join(rows)


def rgb565_of_png(path):
    """The tool's picture as RGB565 little-endian bytes: its 8-bit channels are the 16-bit
    pixel's bits repeated, so the top bits of each are the pixel's own."""
    width, height, rgb = read_png_rgb(path)
    out = bytearray()
    for i in range(0, len(rgb), 3):
        out += struct.pack('<H', (rgb[i] >> 3) << 11 | (rgb[i + 1] >> 2) << 5 | rgb[i + 2] >> 3)
    return width, height, bytes(out)


def render_hd(ms, width, height):
    """`flyover-tool render --view hd --size WxH --time ms`: RGB bytes, rows top first."""
    with tempfile.TemporaryDirectory() as tmp:
        out = os.path.join(tmp, 'frame.png')
        subprocess.run([ARGS.tool, 'render', '--scene', ARGS.scene, '--view', 'hd', '--size',
                        f'{width}x{height}', '--time', str(ms), '--out', out],
                       capture_output=True, text=True, check=True)
        got_width, got_height, rgb = read_png_rgb(out)
        assert (got_width, got_height) == (width, height), f'{out}: {got_width}x{got_height}'
        return rgb


def render(ms, display=None):
    """`flyover-tool render --time ms`: (exit status, RGB565 bytes or None)."""
    with tempfile.TemporaryDirectory() as tmp:
        out = os.path.join(tmp, 'frame.png')
        command = [ARGS.tool, 'render', '--scene', ARGS.scene, '--time', str(ms), '--out', out]
        if display:
            command += ['--display', display]
        done = subprocess.run(command, capture_output=True, text=True)
        if done.returncode != 0:
            return done.returncode, None
        return 0, rgb565_of_png(out)[2]


# Script run in the page: the hooks' bytes, base64, for the trip through the protocol.
BYTES_TO_BASE64 = '''(function (bytes) {
    if (!bytes) return null;
    let text = '';
    for (let i = 0; i < bytes.length; i += 0x8000)
        text += String.fromCharCode.apply(null, bytes.subarray(i, i + 0x8000));
    return btoa(text);
})'''


class PageSession:
    """One browser on one served page."""

    def __init__(self, query='', flags=()):
        self.server = serve(ARGS.page)
        self.url = f'http://127.0.0.1:{self.server.server_address[1]}/index.html{query}'
        self.browser = cdp.Browser(ARGS.chromium, flags)

    def open(self):
        self.browser.navigate(self.url)
        return self.browser.wait_for('window.Module && Module.flyoverFirstFrameMs', 60,
                                     'the first frame')

    def frame_at(self, ms):
        text = self.browser.evaluate(f'{BYTES_TO_BASE64}(flyoverFrameAt({ms}))')
        return base64.b64decode(text) if text is not None else None

    def last_frame(self):
        value = self.browser.evaluate(
            f'(function () {{ const f = flyoverLastFrame(); '
            f'return {{time: f.time, bytes: {BYTES_TO_BASE64}(f.bytes)}}; }})()')
        return value['time'], base64.b64decode(value['bytes'])

    def path_end(self):
        """The first flight time in whole ms at which the page has no frame (the path's end)."""
        low, high = 0, 1 << 24  # low has a frame, high has none
        while high - low > 1:
            middle = (low + high) // 2
            if self.browser.evaluate(f'flyoverFrameAt({middle}) !== null'):
                low = middle
            else:
                high = middle
        return high

    def screen_point(self, x, y):
        """Where screen pixel (x, y) lies in the page's CSS pixels."""
        return self.browser.evaluate(
            f'(function () {{ const c = document.getElementById("screen"); '
            f'const r = c.getBoundingClientRect(); '
            f'return [r.left + ({x} + 0.5) * r.width / c.width, '
            f'r.top + ({y} + 0.5) * r.height / c.height]; }})()')

    def close(self):
        self.browser.close()
        self.server.shutdown()
        self.server.server_close()


class WebPageTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.session = PageSession()
        cls.first_frame_ms = cls.session.open()
        print(f'\nfirst frame {cls.first_frame_ms:.0f} ms after navigation', file=sys.stderr)

    @classmethod
    def tearDownClass(cls):
        cls.session.close()

    def test_page_loads_without_console_problems(self):
        self.assertEqual(self.session.browser.problems(), [])
        browser = self.session.browser
        self.assertEqual(browser.evaluate('document.title'),
                         'GAPI Demo, github.com/flyover-demo/flyover')
        self.assertEqual(browser.evaluate('[Module._flyover_screen_width(), '
                                          'Module._flyover_screen_height()]'), [240, 320])
        self.assertTrue(browser.evaluate('document.querySelector("link[rel=icon]").href'
                                         '.startsWith("data:image/png")'))

    def test_frames_equal_render(self):
        end = self.session.path_end()
        self.assertGreater(end, 10000)
        for ms in (0, 1, 999, 1500, 12345, end // 2, end - 1):
            with self.subTest(ms=ms):
                status, expected = render(ms)
                self.assertEqual(status, 0)
                page = self.session.frame_at(ms)
                self.assertEqual(len(page), 240 * 320 * 2)
                self.assertTrue(page == expected, f'frame at {ms} ms differs from render\'s')
        with self.subTest(ms=end):
            self.assertIsNone(self.session.frame_at(end))
            self.assertEqual(render(end)[0], 1)

    def test_frames_of_the_running_flight_equal_render(self):
        # The frame loop's own frames, at the flight times it chose.
        seen = set()
        for _ in range(3):
            time.sleep(0.3)
            ms, page = self.session.last_frame()
            self.assertGreaterEqual(ms, 0)
            self.assertEqual(ms, int(ms))
            seen.add(ms)
            status, expected = render(int(ms))
            self.assertEqual(status, 0)
            self.assertTrue(page == expected, f'the running flight\'s frame at {ms} ms differs')
        self.assertEqual(len(seen), 3, 'the flight does not move')


class RotatedDisplayTest(unittest.TestCase):
    def test_rotated_display_draws_the_same_picture(self):
        session = PageSession('?display=320x240:rot90')
        try:
            session.open()
            for ms in (0, 4321):
                status, expected = render(ms, '320x240:rot90')
                self.assertEqual(status, 0)
                self.assertTrue(session.frame_at(ms) == expected)
            self.assertEqual(session.browser.problems(), [])
        finally:
            session.close()


class BadDisplayTest(unittest.TestCase):
    def test_bad_display_fails_as_the_desktop_demo_does(self):
        # A display the page cannot emulate leaves it without one: the demo's
        # own check shows its message and the start-up ends with status 1.
        session = PageSession('?display=12x9000')
        try:
            session.browser.navigate(session.url)
            browser = session.browser
            self.assertEqual(browser.wait_for('window.flyoverExitCode !== undefined && '
                                              '[window.flyoverExitCode]', 30, 'the end')[0], 1)
            self.assertEqual(browser.evaluate('document.getElementById("cover").textContent'),
                             'GXOpenDisplay failed')
            problems = browser.problems()
            self.assertTrue(any('bad display size "12x9000"' in p for p in problems), problems)
            self.assertTrue(any('GXOpenDisplay failed' in p for p in problems), problems)
            self.assertIsNone(browser.evaluate('Module.flyoverFirstFrameMs'))
        finally:
            session.close()


class StopTest(unittest.TestCase):
    """The first press lets the sound play (browsers hold it back until then); the next ends the
    flight as on the desktop: the sound stops, the frames stop, the page offers to fly again."""

    def press(self, session, how):
        if how == 'key':
            session.browser.key()
        elif how == 'click':
            session.browser.click(*session.screen_point(100, 150))
        else:
            session.browser.tap(*session.screen_point(100, 150))

    def test_press_lets_the_sound_play_then_ends_the_flight(self):
        for how in ('key', 'click', 'tap'):
            with self.subTest(how=how):
                flags = ['--autoplay-policy=document-user-activation-required']
                if how == 'tap':
                    flags.append('--touch-events=enabled')
                session = PageSession('', flags)
                try:
                    session.open()
                    browser = session.browser
                    if how == 'tap':
                        browser.page('Emulation.setTouchEmulationEnabled', {'enabled': True})
                    self.assertTrue(browser.evaluate('Module.flyoverSound.waiting'))
                    self.press(session, how)
                    browser.wait_for('Module.flyoverSound.source && '
                                     'Module.flyoverSound.context.state === "running"', 10,
                                     'the sound')
                    before = browser.evaluate('Module._flyover_last_frame_time()')
                    browser.wait_for(f'Module._flyover_last_frame_time() !== {before}', 10,
                                     'a new frame after the first press')
                    self.assertIsNone(browser.evaluate('window.flyoverExitCode'))
                    self.press(session, how)
                    self.assertEqual(browser.wait_for('window.flyoverExitCode === 0', 10,
                                                      'the end of the flight'), True)
                    self.assertFalse(browser.evaluate('Module.flyoverSound.source'))
                    self.assertFalse(browser.evaluate('document.getElementById("cover").hidden'))
                    stopped = browser.evaluate('Module._flyover_last_frame_time()')
                    time.sleep(0.2)
                    self.assertEqual(browser.evaluate('Module._flyover_last_frame_time()'), stopped)
                    self.assertIsNone(session.frame_at(0), 'the path was not freed')
                    # Flying again loads the page afresh.
                    browser.evaluate('window.beforeAgain = true')
                    self.press(session, how)
                    browser.wait_for('!window.beforeAgain && window.Module && '
                                     'Module.flyoverFirstFrameMs', 30, 'the flight again')
                    self.assertEqual(browser.problems(), [])
                finally:
                    session.close()


def hold(browser, key, seconds):
    """Holds a key down for `seconds` (no repeats: the page sees one press and one release)."""
    code, key_code = KEYS[key]
    browser.page('Input.dispatchKeyEvent', {'type': 'keyDown', 'key': key, 'code': code,
                                            'windowsVirtualKeyCode': key_code,
                                            'text': key if len(key) == 1 else ''})
    time.sleep(seconds)
    browser.page('Input.dispatchKeyEvent', {'type': 'keyUp', 'key': key, 'code': code,
                                            'windowsVirtualKeyCode': key_code})


KEYS = {'w': ('KeyW', 87), 'a': ('KeyA', 65), 'r': ('KeyR', 82), 'Enter': ('Enter', 13),
        'Escape': ('Escape', 27), 'Tab': ('Tab', 9)}


def click_element(session, element_id):
    """A real click (a user activation) in the middle of the page's element."""
    x, y = session.browser.evaluate(
        f'(function () {{ const r = document.getElementById("{element_id}")'
        f'.getBoundingClientRect(); return [r.left + r.width / 2, r.top + r.height / 2]; }})()')
    session.browser.click(x, y)


def ahead_of(before, after):
    """How far the flown pose moved along its heading, in map cells (pose: x, y, height,
    heading, horizon; the renderer's angle is 6.28 / 4096 a heading unit)."""
    angle = before[3] * 6.28 / 4096
    return (after[0] - before[0]) * math.cos(angle) + (after[1] - before[1]) * math.sin(angle)


class FlyModeTest(unittest.TestCase):
    """The page's fly mode: the Fly button switches to it, held keys fly the camera as
    `flyover-tool fly` does, a recording is offered as a key file that loads as a scene's, and
    Escape goes back to the demo, whose frames still equal render's."""

    def test_keys_fly_and_a_recording_downloads_a_key_file(self):
        session = PageSession()
        try:
            session.open()
            browser = session.browser
            self.assertIsNone(browser.evaluate('flyoverFlyState()'))
            click_element(session, 'mode')
            state = browser.wait_for('flyoverFlyState()', 10, 'the fly mode')
            self.assertFalse(state['player'])
            self.assertEqual(browser.evaluate('document.getElementById("mode").textContent'),
                             'Back to the demo')
            # Ahead, a left turn, a climb: each held key moves the camera its way.
            for key, check in (
                    ('w', lambda b, a: self.assertGreater(ahead_of(b, a), 1.0)),
                    ('a', lambda b, a: self.assertGreater(a[3] - b[3], 100)),
                    ('r', lambda b, a: self.assertGreater(a[2] - b[2], 2.0))):
                with self.subTest(key=key):
                    before = browser.evaluate('flyoverFlyState()')
                    hold(browser, key, 0.8)
                    time.sleep(0.1)
                    after = browser.evaluate('flyoverFlyState()')
                    check(before['pose'], after['pose'])
                    self.assertNotEqual(before['camera'], after['camera'])
            # A recording: Enter starts it, a flight ahead, Enter ends it.
            self.assertTrue(browser.evaluate('document.getElementById("keys").hidden'))
            hold(browser, 'Enter', 0.05)
            browser.wait_for('flyoverFlyState().recording', 5, 'the recording')
            hold(browser, 'w', 2.5)
            hold(browser, 'Enter', 0.05)
            browser.wait_for('!document.getElementById("keys").hidden', 5, 'the key file')
            self.assertIn('recorded', browser.evaluate('flyoverFlyState().message'))
            text = browser.evaluate('fetch(document.getElementById("keys").href)'
                                    '.then(function (r) { return r.text(); })', True)
            self.assertEqual(browser.evaluate('document.getElementById("keys").download'),
                             'Keys2.txt')
            with tempfile.TemporaryDirectory() as scene:
                for name in os.listdir(ARGS.scene):
                    if name in ('colour.bmp', 'height.bmp', 'sky.BMP'):
                        shutil.copy(os.path.join(ARGS.scene, name), scene)
                with open(os.path.join(scene, 'Keys2.txt'), 'w', newline='') as file:
                    file.write(text)
                done = subprocess.run([ARGS.tool, 'check', '--scene', scene],
                                      capture_output=True, text=True)
                self.assertIn(done.returncode, (0, 1), done.stderr)
                self.assertNotIn('cannot', done.stdout + done.stderr)
                self.assertIn('The flight plays for', done.stdout)
            # Escape: back to the demo, whose running frames are render's again.
            hold(browser, 'Escape', 0.05)
            browser.wait_for('flyoverFlyState() === null', 5, 'the demo again')
            before = browser.evaluate('Module._flyover_last_frame_time()')
            browser.wait_for(f'Module._flyover_last_frame_time() !== {before}', 10, 'the demo')
            time.sleep(0.2)
            ms, page = session.last_frame()
            status, expected = render(int(ms))
            self.assertEqual(status, 0)
            self.assertTrue(page == expected, f'the demo\'s frame at {ms} ms after flying differs')
            self.assertEqual(browser.problems(), [])
        finally:
            session.close()


class HdViewTest(unittest.TestCase):
    """?view=hd: the demo and the fly mode are drawn with the HD view at the canvas's own pixel
    size (the page's room times the pixel ratio, at most 1920 x 1080), and its pictures are
    `flyover-tool render --view hd`'s byte for byte; the HD button goes back to the faithful
    view."""

    def canvas_size(self, browser):
        return browser.evaluate('(function () { const c = document.getElementById("screen"); '
                                'return [c.width, c.height]; })()')

    def expected_size(self, browser):
        """The page's room for the canvas (CSS pixels) times the pixel ratio, capped."""
        width, height, ratio = browser.evaluate('[innerWidth, innerHeight, devicePixelRatio]')
        width, height = max(1, math.floor(width)), max(1, math.floor(height - 170))
        cap = min(1, 1920 / (width * ratio), 1080 / (height * ratio))
        return [max(1, round(width * ratio * cap)), max(1, round(height * ratio * cap))]

    def hd_frame_at(self, browser, ms, width, height):
        text = browser.evaluate(f'{BYTES_TO_BASE64}(flyoverHdFrameAt({ms}, {width}, {height}))')
        return base64.b64decode(text) if text is not None else None

    def wait_frames(self, browser):
        before = browser.evaluate('Module._flyover_last_frame_time()')
        browser.wait_for(f'Module._flyover_last_frame_time() !== {before}', 10, 'a new frame')

    def test_hd_frames_at_the_canvas_size_equal_render(self):
        session = PageSession('?view=hd')
        try:
            session.open()
            browser = session.browser
            state = browser.wait_for('flyoverHdState().on && flyoverHdState()', 10, 'the HD view')
            self.assertEqual(state['path'], 'staged')
            width, height = self.canvas_size(browser)
            self.assertEqual([width, height], self.expected_size(browser))
            self.assertEqual([state['width'], state['height']], [width, height])
            self.assertGreater(width, 240)
            self.assertEqual(browser.evaluate('document.getElementById("hd")'
                                              '.getAttribute("aria-pressed")'), 'true')
            # The running flight's pictures are on the canvas: the sky at the top, the ground
            # below, no black left of the first clear.
            self.wait_frames(browser)
            # (one readback of the middle column: more would draw the browser's warning)
            corners = browser.evaluate(
                f'(function () {{ const d = document.getElementById("screen").getContext("2d")'
                f'.getImageData({width // 2}, 0, 1, {height}).data; '
                f'return [Array.from(d.slice(0, 4)), Array.from(d.slice(-4))]; }})()')
            self.assertTrue(all(sum(p[:3]) > 0 for p in corners), corners)
            # The hook's pictures at the canvas's size are the native tool's, byte for byte.
            for ms in (0, 12345):
                with self.subTest(ms=ms):
                    page = self.hd_frame_at(browser, ms, width, height)
                    self.assertEqual(len(page), width * height * 3)
                    self.assertTrue(page == render_hd(ms, width, height),
                                    f'the HD frame at {ms} ms differs from render --view hd')
            # An odd size as well, where columns do not fill whole tiles.
            self.assertTrue(self.hd_frame_at(browser, 4321, 333, 241) == render_hd(4321, 333, 241))
            # A larger, denser window: the picture follows it, capped at 1920 x 1080.
            browser.page('Emulation.setDeviceMetricsOverride',
                         {'width': 1200, 'height': 800, 'deviceScaleFactor': 2, 'mobile': False})
            browser.wait_for('document.getElementById("screen").width === 1920', 10,
                             'the resized picture')
            self.assertEqual(self.canvas_size(browser), [1920, 1008])
            self.assertEqual(self.expected_size(browser), [1920, 1008])
            self.wait_frames(browser)
            self.assertEqual(browser.evaluate('[flyoverHdState().width, flyoverHdState().height]'),
                             [1920, 1008])
            browser.page('Emulation.clearDeviceMetricsOverride')
            browser.wait_for('document.getElementById("screen").width < 1920', 10, 'the room again')
            width, height = self.canvas_size(browser)
            # Fly mode draws in HD too, its overlay over the picture.
            click_element(session, 'mode')
            browser.wait_for('flyoverFlyState() && flyoverFlyState().frames > 3', 10,
                             'the fly mode')
            before = browser.evaluate('flyoverFlyState()')
            hold(browser, 'w', 0.6)
            after = browser.evaluate('flyoverFlyState()')
            self.assertGreater(ahead_of(before['pose'], after['pose']), 1.0)
            self.assertEqual(self.canvas_size(browser), [width, height])
            self.assertGreater(browser.evaluate('flyoverHdState().draw_ms'), 0)
            hold(browser, 'Escape', 0.05)
            browser.wait_for('flyoverFlyState() === null', 5, 'the demo again')
            # The HD button: the faithful view again, render's frames on a 240 x 320 canvas.
            click_element(session, 'hd')
            browser.wait_for('!flyoverHdState().on', 5, 'the faithful view')
            self.wait_frames(browser)
            self.assertEqual(self.canvas_size(browser), [240, 320])
            ms, page = session.last_frame()
            self.assertTrue(page == render(int(ms))[1], f'the faithful frame at {ms} ms differs')
            self.assertNotIn('view=hd', browser.evaluate('location.search'))
            self.assertEqual(browser.problems(), [])
        finally:
            session.close()


def png(width, height, pixel, grey=False):
    """A PNG of `pixel(x, y)` (a grey level, or an (r, g, b) triple), 8-bit, made with zlib."""
    rows = bytearray()
    for y in range(height):
        rows.append(0)
        for x in range(width):
            rows.extend((pixel(x, y),) if grey else pixel(x, y))

    def chunk(kind, body):
        return (struct.pack('!I', len(body)) + kind + body +
                struct.pack('!I', zlib.crc32(kind + body) & 0xFFFFFFFF))
    header = struct.pack('!IIBBBBB', width, height, 8, 0 if grey else 2, 0, 0, 0)
    return (b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', header) +
            chunk(b'IDAT', zlib.compress(bytes(rows))) + chunk(b'IEND', b''))


def hills(x, y):
    """Ridges and valleys that tile over a 192-pixel picture, as a grey level."""
    a, b = 2 * math.pi * x / 192, 2 * math.pi * y / 192
    return int(127 + 60 * math.sin(2 * a) * math.cos(b) + 50 * math.sin(3 * b + a))


def meadow(x, y):
    return (40 + x % 64, 90 + (x * y) % 97, 30 + y % 50)


def drop(browser, files):
    """Drops files on the page as a person dragging them from the desktop would."""
    parts = ', '.join(
        f'new File([Uint8Array.from(atob("{base64.b64encode(data).decode()}"), '
        f'function (c) {{ return c.charCodeAt(0); }})], "{name}", {{type: "{kind}"}})'
        for name, data, kind in files)
    browser.evaluate(f'(function () {{ const t = new DataTransfer(); '
                     f'[{parts}].forEach(function (f) {{ t.items.add(f); }}); '
                     f'document.body.dispatchEvent(new DragEvent("drop", '
                     f'{{dataTransfer: t, bubbles: true, cancelable: true}})); }})()')


class OpenMapsTest(unittest.TestCase):
    """Pictures dropped on the page are decoded by the browser, imported in the page and flown;
    pictures it cannot use are named with the reason, and the page flies on."""

    def wait_import(self, browser):
        return browser.wait_for('window.flyoverImport && flyoverImport.state !== "busy" && '
                                'flyoverImport', 60, 'the import')

    def test_dropped_pictures_import_and_fly_and_bad_ones_are_named(self):
        session = PageSession()
        try:
            session.open()
            browser = session.browser
            colour = png(192, 192, meadow)
            height = png(192, 192, hills, grey=True)
            # Pictures the page cannot use, each with the pair's other picture.
            for files, words in (
                    ([('notes.png', b'these are words, not pixels', 'image/png'),
                      ('heights.png', height, 'image/png')],
                     'notes.png: not a picture the browser can read'),
                    ([('tiny.png', png(16, 16, meadow), 'image/png'),
                      ('heights.png', height, 'image/png')],
                     'tiny.png: the picture is 16 x 16; each side must be 64 to 8192 pixels'),
                    ([('colour.png', colour, 'image/png'),
                      ('huge-height.png', png(8200, 64, lambda x, y: x & 255, grey=True),
                       'image/png')],
                     'huge-height.png: the picture is 8200 x 64; each side must be 64 to 8192')):
                with self.subTest(words=words):
                    drop(browser, files)
                    result = self.wait_import(browser)
                    self.assertEqual(result['state'], 'failed')
                    self.assertIn(words, result['message'])
                    self.assertIn(words, browser.evaluate(
                        'document.getElementById("status").textContent'))
                    # The page flies on, the default scene's frames as render's.
                    before = browser.evaluate('Module._flyover_last_frame_time()')
                    browser.wait_for(f'Module._flyover_last_frame_time() !== {before}', 10)
                    ms, frame = session.last_frame()
                    self.assertTrue(frame == render(int(ms))[1])
            # A good pair (the height picture named last and grey): the demo flies it.
            drop(browser, [('land.png', colour, 'image/png'), ('heights.png', height, 'image/png')])
            result = self.wait_import(browser)
            self.assertEqual(result['state'], 'done', result['message'])
            self.assertIn('flight: planned', result['message'])
            frames = set()
            for _ in range(3):
                time.sleep(0.3)
                ms, frame = session.last_frame()
                self.assertFalse(frame == render(int(ms))[1], 'the default scene is still shown')
                frames.add(frame)
            self.assertEqual(len(frames), 3, 'the imported flight does not move')
            # Fly mode flies over the imported maps.
            click_element(session, 'mode')
            before = browser.wait_for('flyoverFlyState()', 10, 'the fly mode')
            hold(browser, 'w', 0.8)
            after = browser.evaluate('flyoverFlyState()')
            self.assertGreater(ahead_of(before['pose'], after['pose']), 1.0)
            self.assertEqual(browser.problems(), [])
        finally:
            session.close()


def measure():
    sizes = {}
    for name in sorted(os.listdir(ARGS.page)):
        with open(os.path.join(ARGS.page, name), 'rb') as file:
            data = file.read()
        sizes[name] = (len(data), len(gzip.compress(data, 9)))
    for name, (raw, packed) in sizes.items():
        print(f'{name:14} {raw:9} bytes, gzip -9 {packed:8}')
    print(f'{"page":14} {sum(r for r, _ in sizes.values()):9} bytes, gzip -9 '
          f'{sum(p for _, p in sizes.values()):8}')
    session = PageSession()
    try:
        firsts = [session.open()]
        for _ in range(4):
            session.browser.evaluate('delete Module.flyoverFirstFrameMs')
            firsts.append(session.open())
        print('first frame after navigation: ' + ', '.join(f'{f:.0f}' for f in firsts) +
              ' ms (the first load, then reloads)')
        step = ARGS.step
        for path in ('fastest', 'reference', 'scalar', 'sse2'):
            page = session.browser.evaluate(f'JSON.stringify(flyoverBench("{path}", {step}))')
            page = json.loads(page)
            if page is None:
                print(f'{path:9} not available in the browser')
                continue
            native = json.loads(subprocess.run(
                [ARGS.tool, 'bench', '--scene', ARGS.scene, '--step', str(step), '--path',
                 page['path'], '--json'], capture_output=True, text=True, check=True).stdout)
            print(f'{path:9} browser {page["path"]:9} median {page["median_us"]:8.0f} us '
                  f'(mean {page["mean_us"]:.0f}) over {page["frames"]} frames; native '
                  f'{native["path"]} median {native["median_us"]:.0f} us over {native["frames"]}')
        native = json.loads(subprocess.run(
            [ARGS.tool, 'bench', '--scene', ARGS.scene, '--step', str(step), '--json'],
            capture_output=True, text=True, check=True).stdout)
        print(f'native fastest ({native["path"]}) median {native["median_us"]:.0f} us')
        # The HD view at the page's canvas size and at 1920 x 1080, one thread on either side.
        sizes = [session.browser.evaluate('(function () { const c = '
                                          'document.getElementById("screen"); '
                                          'return [c.width, c.height]; })()'), [1920, 1080]]
        session.browser.evaluate('document.getElementById("hd").click()')
        sizes[0] = session.browser.wait_for('flyoverHdState().on && [flyoverHdState().width, '
                                            'flyoverHdState().height]', 10, 'the HD view')
        for width, height in sizes:
            page = session.browser.evaluate(f'flyoverHdBench({width}, {height}, 100)')
            native = json.loads(subprocess.run(
                [ARGS.tool, 'bench', '--scene', ARGS.scene, '--view', 'hd', '--size',
                 f'{width}x{height}', '--json'], capture_output=True, text=True,
                check=True).stdout)
            print(f'hd {width}x{height}: browser {page["path"]} median {page["median_us"]:.0f} us '
                  f'(mean {page["mean_us"]:.0f}) over {page["frames"]} frames; native '
                  f'{native["path"]} one thread median {native["median_us"]:.0f} us: '
                  f'{page["median_us"] / native["median_us"]:.2f} x')
    finally:
        session.close()


def main():
    global ARGS
    parser = argparse.ArgumentParser(add_help=False)
    parser.add_argument('--page', required=True)
    parser.add_argument('--tool', required=True)
    parser.add_argument('--scene', required=True)
    parser.add_argument('--chromium', default='/usr/bin/chromium')
    parser.add_argument('--measure', action='store_true')
    parser.add_argument('--step', type=int, default=10)
    ARGS, rest = parser.parse_known_args()
    for path in (ARGS.page, ARGS.scene):
        if not os.path.isdir(path):
            sys.exit(f'web_page_test.py: {path}: no such folder')
    if ARGS.measure:
        measure()
        return
    unittest.main(argv=[sys.argv[0], *rest], verbosity=2)


if __name__ == '__main__':
    main()
