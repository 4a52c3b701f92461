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
    const query = new URLSearchParams(location.search);
    const display = query.get('display');
    const modeButton = document.getElementById('mode');
    const keysLink = document.getElementById('keys');
    const touch = document.getElementById('touch');
    // On-screen controls where the pointer is a finger (or ?touch=1).
    const touchControls = query.get('touch') === '1' || matchMedia('(pointer: coarse)').matches;
    let mode = 'demo';
    const demoWords = 'A key, a click or a tap ends the flight.';
    const flyWords = 'Flying: W/S or the arrows ahead and back, A/D turn, Q/E sideways, R/F up ' +
        'and down, T/G tilt, Shift faster, drag to look, Space levels; Enter records, Tab plays ' +
        'the scene\'s flight, Escape goes back to the demo.';

    function say(text) { status.textContent = text; }
    function showCover(text) {
        cover.textContent = text;
        cover.hidden = !text;
    }

    // The largest whole scale at which the screen fits the window, pixels
    // kept square and sharp.
    function fit() {
        const room = Math.min(innerWidth / canvas.width, (innerHeight - 100) / canvas.height);
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
            modeButton.hidden = false;
            if (cover.hidden) say(demoWords);
        },
        onFlyoverSound: function (state) {
            if (mode === 'fly') return;
            if (state === 'waiting') say('Click or press a key for sound.');
            else if (state === 'playing') say(demoWords);
        },
        // The page switched between the demo and flying by hand.
        onFlyoverMode: function (now) {
            mode = now;
            modeButton.textContent = now === 'fly' ? 'Back to the demo' : 'Fly yourself';
            touch.hidden = !(now === 'fly' && touchControls);
            say(now === 'fly' ? flyWords : demoWords);
        },
        // A recording ended: its key file is offered as a download, made in
        // the page (nothing leaves the machine).
        onFlyoverKeys: function (text) {
            if (keysLink.href.startsWith('blob:')) URL.revokeObjectURL(keysLink.href);
            keysLink.href = URL.createObjectURL(new Blob([text], {type: 'text/plain'}));
            keysLink.hidden = false;
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
            modeButton.hidden = true;
            const again = function (event) {
                if (event.repeat) return;
                location.reload();
            };
            addEventListener('keydown', again);
            stage.addEventListener('pointerdown', again);
        },
    };
    const stage = document.getElementById('stage');

    modeButton.addEventListener('click', function () {
        modeButton.blur();  // keys are the flight's, not the button's
        if (Module._flyover_set_mode(mode === 'fly' ? 0 : 1) < 0) say('The demo has ended.');
    });
    // The touch controls hold their key while a finger is on them.
    touch.querySelectorAll('button').forEach(function (button) {
        const code = Number(button.dataset.key);
        const set = function (down) {
            return function (event) {
                event.preventDefault();
                if (button.classList.contains('held') === down) return;
                button.classList.toggle('held', down);
                Module._flyover_key(code, down ? 1 : 0);
            };
        };
        button.addEventListener('pointerdown', set(true));
        ['pointerup', 'pointercancel', 'pointerleave'].forEach(function (kind) {
            button.addEventListener(kind, set(false));
        });
    });

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
    // The fly mode's state (null in the demo): the pose, the camera, the
    // frames' times.
    window.flyoverFlyState = function () {
        const state = Module._flyover_fly_state();
        return state ? JSON.parse(Module.UTF8ToString(state)) : null;
    };
    window.flyoverBench = function (path, step) {
        const index = !path || path === 'fastest' ? -1 : paths.indexOf(path);
        if (path && path !== 'fastest' && index < 0) return null;
        const result = Module._flyover_bench(index, step || 1);
        return result ? JSON.parse(Module.UTF8ToString(result)) : null;
    };
})();
