// page.js -- the page around the demo: what the page says, its scale, the end of a flight, and
// the hooks its tests read frames through
//
// The demo itself (flyover.js and flyover.wasm) draws on the canvas and
// takes keys, clicks and taps. This script sets it up (Module) and shows in
// words what it is doing. A ?display=WxH[:LAYOUT] in the address emulates
// another screen, as FLYOVER_DISPLAY does on the desktop; ?view=hd (or the
// HD button) shows the HD view, drawn at the canvas's own pixel size.
'use strict';

(function () {
    const canvas = document.getElementById('screen');
    const cover = document.getElementById('cover');
    const status = document.getElementById('status');
    const query = new URLSearchParams(location.search);
    const display = query.get('display');
    const modeButton = document.getElementById('mode');
    const hdButton = document.getElementById('hd');
    let hd = query.get('view') === 'hd';
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

    // The HD view's picture: the room the page has for the canvas, in CSS
    // pixels, times the device's pixel ratio, and no more than 1920 x 1080.
    function hdSize() {
        const room = {width: Math.max(1, Math.floor(innerWidth)),
                      height: Math.max(1, Math.floor(innerHeight - 170))};
        const ratio = devicePixelRatio || 1;
        const cap = Math.min(1, 1920 / (room.width * ratio), 1080 / (room.height * ratio));
        return {css: room,
                width: Math.max(1, Math.round(room.width * ratio * cap)),
                height: Math.max(1, Math.round(room.height * ratio * cap))};
    }

    // The HD view fills the room, its picture at the canvas's pixel size;
    // the faithful view is shown at the largest whole scale at which the
    // screen fits the window, pixels kept square and sharp.
    function fit() {
        if (!Module._flyover_set_view) return;
        if (hd) {
            const size = hdSize();
            if (Module._flyover_set_view(1, size.width, size.height) === 1) {
                canvas.style.width = size.css.width + 'px';
                canvas.style.height = size.css.height + 'px';
                canvas.classList.add('hd');
                return;
            }
            hd = false;
            say('The HD view cannot be shown here.');
        }
        Module._flyover_set_view(0, 0, 0);
        canvas.classList.remove('hd');
        const width = Module._flyover_screen_width(), height = Module._flyover_screen_height();
        const room = Math.min(innerWidth / width, (innerHeight - 170) / height);
        const scale = Math.max(1, Math.floor(room));
        canvas.style.width = width * scale + 'px';
        canvas.style.height = height * scale + 'px';
    }
    function showView() {
        hdButton.setAttribute('aria-pressed', hd ? 'true' : 'false');
        const url = new URL(location.href);
        if (hd) url.searchParams.set('view', 'hd');
        else url.searchParams.delete('view');
        history.replaceState(null, '', url);
    }
    addEventListener('resize', fit);

    window.Module = {
        canvas: canvas,
        arguments: display ? [display] : [],
        print: function (text) { console.log(text); },
        printErr: function (text) { console.error(text); },
        onFlyoverFirstFrame: function () {
            fit();
            showView();
            modeButton.hidden = false;
            hdButton.hidden = false;
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
            hdButton.hidden = true;
            const again = function (event) {
                if (event.repeat) return;
                location.reload();
            };
            addEventListener('keydown', again);
            // A press that starts after the end, reloaded on its click, once
            // the button or finger is up: the click of the press that ended
            // the flight does not count, and a finger lifted on a page already
            // gone would leave the browser waiting on it.
            let pressed = false;
            stage.addEventListener('pointerdown', function () { pressed = true; });
            stage.addEventListener('click', function (event) { if (pressed) again(event); });
        },
    };
    const stage = document.getElementById('stage');

    modeButton.addEventListener('click', function () {
        modeButton.blur();  // keys are the flight's, not the button's
        if (Module._flyover_set_mode(mode === 'fly' ? 0 : 1) < 0) say('The demo has ended.');
    });
    hdButton.addEventListener('click', function () {
        hdButton.blur();
        hd = !hd;
        fit();
        showView();
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
    // The HD view of the flight at time `ms` in a width x height picture, RGB
    // bytes rows top first (drawn aside: the picture shown is left as it
    // is); the HD view's state; the HD view timed over the whole flight.
    window.flyoverHdFrameAt = function (ms, width, height) {
        const pointer = Module._flyover_hd_frame_at(ms >>> 0, width, height);
        return pointer ? Module.HEAPU8.slice(pointer, pointer + width * height * 3) : null;
    };
    window.flyoverHdState = function () {
        return JSON.parse(Module.UTF8ToString(Module._flyover_hd_state()));
    };
    window.flyoverHdBench = function (width, height, step) {
        const result = Module._flyover_hd_bench(width, height, step || 100);
        return result ? JSON.parse(Module.UTF8ToString(result)) : null;
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
    // Opening one's own maps: a colour and a height picture, picked or
    // dropped, decoded by the browser and handed to the import as RGBA
    // pixels. The scene they make replaces the one shown. The state of the
    // last attempt is in window.flyoverImport ({state, message}).
    const picked = {colour: null, height: null};
    const report = document.getElementById('report');
    const heightWords = /height|elev|dem\b|depth|bump|disp|relief|topo/i;

    // The picture's pixels, as the file holds them (no colour management:
    // a height picture's greys are its heights).
    async function decode(file) {
        let bitmap;
        try {
            bitmap = await createImageBitmap(file, {colorSpaceConversion: 'none',
                                                    premultiplyAlpha: 'none'});
        } catch (error) {
            throw new Error(file.name + ': not a picture the browser can read' +
                            (file.type ? ' (' + file.type + ')' : ''));
        }
        const width = bitmap.width, height = bitmap.height;
        // Larger pictures are refused before they take a canvas; smaller
        // ones go on, and the import says what is wrong with them.
        if (width > 8192 || height > 8192) {
            bitmap.close();
            throw new Error(file.name + ': the picture is ' + width + ' x ' + height +
                            '; each side must be 64 to 8192 pixels');
        }
        const canvas = document.createElement('canvas');
        canvas.width = width;
        canvas.height = height;
        const context = canvas.getContext('2d', {willReadFrequently: true});
        context.drawImage(bitmap, 0, 0);
        bitmap.close();
        return {name: file.name, width: width, height: height,
                data: context.getImageData(0, 0, width, height).data};
    }

    // The share of a picture's pixels (sampled) whose red, green and blue agree.
    function greyShare(picture) {
        const d = picture.data, step = Math.max(1, Math.floor(d.length / 4 / 4096)) * 4;
        let grey = 0, all = 0;
        for (let i = 0; i < d.length; i += step, ++all)
            if (d[i] === d[i + 1] && d[i] === d[i + 2]) ++grey;
        return all ? grey / all : 0;
    }

    function copyIn(bytes) {
        const pointer = Module._flyover_alloc(bytes.length + 1);
        if (!pointer) return 0;
        Module.HEAPU8.set(bytes, pointer);
        Module.HEAPU8[pointer + bytes.length] = 0;
        return pointer;
    }

    function importPictures(colour, height) {
        const names = new TextEncoder();
        const pointers = [copyIn(colour.data), copyIn(names.encode(colour.name)),
                          copyIn(height.data), copyIn(names.encode(height.name))];
        let ok = 0, message;
        if (pointers.every(function (p) { return p; })) {
            ok = Module._flyover_import(pointers[0], colour.width, colour.height, pointers[1],
                                        pointers[2], height.width, height.height, pointers[3]);
            message = Module.UTF8ToString(Module._flyover_import_message());
        } else {
            message = colour.name + ' and ' + height.name + ': too large for the page\'s memory';
        }
        pointers.forEach(function (p) { if (p) Module._flyover_free(p); });
        return {ok: ok === 1, message: message};
    }

    async function openMaps(colourFile, heightFile) {
        window.flyoverImport = {state: 'busy', message: ''};
        say('Reading ' + colourFile.name + ' and ' + heightFile.name + '…');
        try {
            let colour = await decode(colourFile), height = await decode(heightFile);
            // Dropped without names that say which is which: the greyer is the height.
            if (!heightWords.test(heightFile.name) && !heightWords.test(colourFile.name) &&
                greyShare(colour) > greyShare(height)) {
                [colour, height] = [height, colour];
            }
            await new Promise(function (done) { setTimeout(done, 0); });  // let the words show
            const result = importPictures(colour, height);
            if (!result.ok) throw new Error(result.message);
            window.flyoverImport = {state: 'done', message: result.message};
            say('Flying over ' + colour.name + ' (colour) and ' + height.name + ' (height).');
            report.textContent = result.message;
        } catch (error) {
            window.flyoverImport = {state: 'failed', message: error.message};
            say('Cannot use these maps: ' + error.message);
            report.textContent = '';
        }
    }

    function take(files) {
        files = Array.from(files || []);
        if (files.length >= 2) {
            const heightFirst = heightWords.test(files[0].name) && !heightWords.test(files[1].name);
            picked.colour = files[heightFirst ? 1 : 0];
            picked.height = files[heightFirst ? 0 : 1];
        } else if (files.length === 1) {
            const file = files[0];
            if (heightWords.test(file.name) || (picked.colour && !picked.height)) picked.height = file;
            else picked.colour = file;
        }
        if (picked.colour && picked.height) {
            const colour = picked.colour, height = picked.height;
            picked.colour = picked.height = null;
            return openMaps(colour, height);
        }
        if (picked.colour || picked.height)
            say('Now the ' + (picked.colour ? 'height' : 'colour') + ' picture.');
        return Promise.resolve();
    }

    document.getElementById('colour-file').addEventListener('change', function (event) {
        picked.colour = event.target.files[0] || null;
        take([]);
        event.target.blur();
    });
    document.getElementById('height-file').addEventListener('change', function (event) {
        picked.height = event.target.files[0] || null;
        take([]);
        event.target.blur();
    });
    addEventListener('dragover', function (event) {
        event.preventDefault();
        document.body.classList.add('dragging');
    });
    addEventListener('dragleave', function () { document.body.classList.remove('dragging'); });
    addEventListener('drop', function (event) {
        event.preventDefault();
        document.body.classList.remove('dragging');
        take(event.dataTransfer.files);
    });

    window.flyoverBench = function (path, step) {
        const index = !path || path === 'fastest' ? -1 : paths.indexOf(path);
        if (path && path !== 'fastest' && index < 0) return null;
        const result = Module._flyover_bench(index, step || 1);
        return result ? JSON.parse(Module.UTF8ToString(result)) : null;
    };
})();
