// page.js -- the page around the demo: what the page says, its scale, the end of a flight, and
// the hooks its tests read frames through
//
// The demo itself (flyover.js and flyover.wasm) draws on the canvas and
// takes keys, clicks and taps. This script sets it up (Module) and shows in
// words what it is doing. A ?display=WxH[:LAYOUT] in the address emulates
// another screen, as FLYOVER_DISPLAY does on the desktop.
'use strict';

(function () {
    const canvas = document.getElementById('screen');
    const cover = document.getElementById('cover');
    const status = document.getElementById('status');
    const display = new URLSearchParams(location.search).get('display');

    function say(text) { status.textContent = text; }
    function showCover(text) {
        cover.textContent = text;
        cover.hidden = !text;
    }

    // The largest whole scale at which the screen fits the window, pixels
    // kept square and sharp.
    function fit() {
        const room = Math.min(innerWidth / canvas.width, (innerHeight - 60) / canvas.height);
        const scale = Math.max(1, Math.floor(room));
        canvas.style.width = canvas.width * scale + 'px';
        canvas.style.height = canvas.height * scale + 'px';
    }
    addEventListener('resize', fit);

    window.Module = {
        canvas: canvas,
        arguments: display ? [display] : [],
        print: function (text) { console.log(text); },
        printErr: function (text) { console.error(text); },
        onFlyoverFirstFrame: function () {
            fit();
            if (cover.hidden) say('A key, a click or a tap ends the flight.');
        },
        onFlyoverSound: function (state) {
            if (state === 'waiting') say('Click or press a key for sound.');
            else if (state === 'playing') say('A key, a click or a tap ends the flight.');
        },
        onFlyoverError: function (caption, text) {
            showCover(caption ? caption + '\n' + text : text);
        },
        // The demo has ended (exit code 0 after a key, a click or a tap; 1
        // when it could not start). The desktop program ends here; the page
        // keeps the last frame and offers to fly again.
        onFlyoverEnd: function (code) {
            window.flyoverExitCode = code;
            if (code !== 0) {
                say('The demo could not start.');
                return;
            }
            showCover('The flight is over.\nClick or press a key to fly again.');
            say('');
            const again = function (event) {
                if (event.repeat) return;
                location.reload();
            };
            addEventListener('keydown', again);
            stage.addEventListener('pointerdown', again);
        },
    };
    const stage = document.getElementById('stage');

    // The screen's pixels, RGB565 little-endian in screen order (row 0
    // first), copied out of the program's memory; null when there is none.
    function screenBytes(pointer) {
        if (!pointer) return null;
        const size = Module._flyover_screen_width() * Module._flyover_screen_height() * 2;
        return Module.HEAPU8.slice(pointer, pointer + size);
    }
    // Hooks for tests and the curious: the frame the demo draws at flight
    // time `ms` (drawn now, as the frame loop draws it); the frame on the
    // screen now and its flight time; the renderer timed over the whole flight.
    window.flyoverFrameAt = function (ms) { return screenBytes(Module._flyover_frame_at(ms >>> 0)); };
    window.flyoverLastFrame = function () {
        return {time: Module._flyover_last_frame_time(),
                width: Module._flyover_screen_width(),
                height: Module._flyover_screen_height(),
                bytes: screenBytes(Module._flyover_last_frame())};
    };
    // `path`: "fastest", or one of the renderer's paths in the order the
    // program lists them (render/terrain_renderer.h).
    const paths = ['reference', 'scalar', 'sse2', 'avx2', 'avx2-gather'];
    window.flyoverBench = function (path, step) {
        const index = !path || path === 'fastest' ? -1 : paths.indexOf(path);
        if (path && path !== 'fastest' && index < 0) return null;
        const result = Module._flyover_bench(index, step || 1);
        return result ? JSON.parse(Module.UTF8ToString(result)) : null;
    };
})();
