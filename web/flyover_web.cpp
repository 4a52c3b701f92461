// flyover_web.cpp -- the page's entry: the demo's start-up, then its frame loop and message loop
// driven by the browser's animation frames, on the page's one thread
//
// The desktop demo runs a message loop that blocks on the main thread and a
// frame loop on a thread of its own. A page may block neither, and threads
// need headers a plain static host does not send, so here each animation
// frame does one turn of both: it hands the queued input to the window
// procedure (which runs the stop sequence), then draws one frame of
// RunFrames, timed by the platform's clock exactly as RunFrames times it.
#include <emscripten.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/app_main.h"
#include "app/demo_state.h"
#include "app/display.h"
#include "app/main_window.h"
#include "app/render_thread.h"
#include "import/decoded_import.h"
#include "platform/files.h"
#include "platform/web/web_platform.h"
#include "render/hd_terrain.h"
#include "render/hd_view.h"
#include "render/terrain_renderer.h"
#include "resources/resources.h"
#include "scene/scene_loader.h"
#include "scenegen/scene_generator.h"
#include "shared/scene_format.h"
#include "web/fly_mode.h"

namespace {

constexpr char kCanvas[] = "#screen";

// The demo's platform; lives as long as the page.
WebPlatform* page = nullptr;
// RunFrames' `base`: the elapsed time at which the flight last started.
uint32_t flightBase = 0;
// The flight time of the picture in the frame buffer (ms), or -1 before the first.
double drawnTime = -1;
bool firstFramePresented = false;
// The screen's pixels in screen order, handed to the page by the test hooks.
std::vector<uint16_t> readBack;
std::string benchResult;
// The fly mode while the page flies by hand; null while the demo plays.
std::unique_ptr<FlyMode> flyMode;
// The key file's header of the scene shown (its maps' names, which a
// recording names too).
KeyFileHeader sceneKeyFile;
std::string flyState;

// The HD view, while the page shows it: the terrain of the scene shown (its
// maps interpolated to 1024, as flyover-tool's HD view has them), drawn on
// this one thread with the fastest path WebAssembly has (the portable one)
// into a picture of the canvas's own size.
constexpr int kHdSide = 1024;
struct HdView {
    bool on = false;
    int width = 0, height = 0;
    std::optional<HdTerrain> terrain;  // built when first shown, again after an import
    std::unique_ptr<HdRenderer> renderer;
    std::vector<uint32_t> pixels;
};
HdView hd;
std::vector<uint8_t> hdReadBack;
// The time the last HD picture took to draw (ms).
double hdDrawMs = 0;

// Builds the scene's HD terrain unless it is there; false, having said why
// on the console, when it cannot be built.
bool HdTerrainReady() {
    if (hd.terrain) return true;
    std::string error;
    hd.terrain = BuildHdTerrainFromScene(scene, kHdSide, error);
    if (!hd.terrain) {
        std::fprintf(stderr, "flyover: the HD view cannot be drawn: %s\n", error.c_str());
        return false;
    }
    if (!hd.renderer) hd.renderer = std::make_unique<HdRenderer>(FastestHdPath(), 1);
    return true;
}

// Whether the HD view draws pictures of this size.
bool HdSizeOk(int width, int height) {
    return width >= 1 && height >= 1 && width <= kHdMaxFrameSide && height <= kHdMaxFrameSide;
}

// Draws `camera` into a width x height picture of `pixels` (XRGB8888).
void DrawHd(const CameraState& camera, std::vector<uint32_t>& pixels, int width, int height) {
    pixels.resize(static_cast<size_t>(width) * static_cast<size_t>(height));
    const double start = emscripten_get_now();
    hd.renderer->Draw(HdFrame{pixels.data(), width, height, static_cast<ptrdiff_t>(width) * 4},
                      *hd.terrain, camera);
    hdDrawMs = emscripten_get_now() - start;
}

void PresentHd() {
    page->OpenedScreen()->PutTrueColour(hd.pixels.data(), hd.width, hd.height);
}

void TellMode(bool fly) {
    EM_ASM(
        {
            if (Module.onFlyoverMode) Module.onFlyoverMode($0 ? 'fly' : 'demo');
        },
        fly);
}

// Hands a recording's key file to the page, which offers it as a download.
void OfferKeys(const std::string& text) {
    EM_ASM(
        {
            if (Module.onFlyoverKeys) Module.onFlyoverKeys(UTF8ToString($0));
        },
        text.c_str());
}

// Back to the demo: its flight starts again from the beginning.
void LeaveFlyMode() {
    flyMode.reset();
    screen->SetOverlay(OverlayImage{});
    page->SetKeysTaken(false);
    platform->Events().Clear();
    flightBase = ElapsedMs();
    TellMode(false);
}

void EnterFlyMode() {
    page->LetSoundPlay();
    if (sceneKeyFile.colourMapName.empty())
        sceneKeyFile =
            ReadScene(ProgramDirectory() + kKeyFileName, ProgramDirectory(), colourTables).keyFile;
    platform->Events().Clear();
    flyMode = std::make_unique<FlyMode>(scene, sineTable, sceneKeyFile, viewGeometry, OfferKeys);
    page->SetKeysTaken(true);
    TellMode(true);
}

// One animation frame of the fly mode.
void FlyFrame() {
    screen->BeginFrame();
    FlyHdTarget target{
        [](const CameraState& camera) { DrawHd(camera, hd.pixels, hd.width, hd.height); }, hd.width,
        hd.height};
    if (!flyMode->Frame(*screen, platform->Events(), platform->ClockMicroseconds(),
                        hd.on ? &target : nullptr)) {
        LeaveFlyMode();
        return;
    }
    if (hd.on)
        PresentHd();
    else
        screen->Present();
}

// The demo's own start-up (StartDemo, in AppMain's order), then what the
// render thread does as it starts (RenderThread), here on this thread.
int StartPage(Platform& demoPlatform) {
    if (!StartDemo(demoPlatform)) return kStartupFailedExitCode;
    renderRunning.store(1);
    startTick = platform->TickCount();
    flightBase = ElapsedMs();
    return 0;
}

// The end of AppMain, and of the page's part: the page shows what it does next.
void EndDemo(int exitCode) {
    emscripten_cancel_main_loop();
    platform->StopSound();
    EndRenderThread();  // there is no render thread here; kept for the same order as AppMain
    EM_ASM(
        {
            if (Module.onFlyoverEnd) Module.onFlyoverEnd($0);
        },
        exitCode);
}

// One animation frame: one turn of the message loop, then one of RunFrames.
void Frame() {
    page->PollGamepads();
    if (flyMode) {
        FlyFrame();
        return;
    }
    InputEvent event;
    while (platform->Events().Poll(event))
        MainWindowProc(event);
    if (renderRunning.load() == 0) {
        int exitCode = 0;
        platform->Events().Take(event, exitCode);  // the stop sequence's quit request
        EndDemo(exitCode);
        return;
    }
    screen->BeginFrame();
    const float t = static_cast<float>(ElapsedMs() - flightBase);
    if (hd.on) {
        // The flight's camera as RenderFrame moves it, drawn in HD.
        if (UpdateCamera(t)) {
            DrawHd(cameraState, hd.pixels, hd.width, hd.height);
            drawnTime = t;
        } else {
            flightBase = ElapsedMs();
        }
        PresentHd();
    } else {
        if (RenderFrame(t))
            drawnTime = t;
        else
            flightBase = ElapsedMs();
        screen->Present();
    }
    if (!firstFramePresented) {
        firstFramePresented = true;
        EM_ASM({
            Module.flyoverFirstFrameMs = performance.now();
            if (Module.onFlyoverFirstFrame) Module.onFlyoverFirstFrame();
        });
    }
}

uint16_t* ReadBack() {
    readBack = page->OpenedScreen()->Frame().ScreenPixels();
    return readBack.data();
}

// Where an imported scene's files go in the page's memory file system.
constexpr char kImportedDir[] = "/imported";
std::string importMessage;

// Imports the two pictures and, when they make a scene, shows it in place of
// the one shown: the demo flies its planned flight, fly mode flies over it.
bool ImportScene(const MemoryPicture& colour, const MemoryPicture& height, std::string& said) {
    ImportSettings settings;
    ImportedScene imported;
    ImportReport report;
    if (!ImportDecodedPictures(colour, height, settings, imported, report, said)) return false;
    std::string error;
    SceneFiles files{imported.colourMap, imported.heightMap, imported.sky, imported.keyFile};
    std::error_code ignored;
    std::filesystem::create_directories(kImportedDir, ignored);
    if (!WriteScene(files, kImportedDir, error)) {
        said = "the imported scene could not be kept: " + error;
        return false;
    }
    const std::string directory = AsDirectory(kImportedDir);
    SceneLoad load = ReadScene(directory + kKeyFileName, directory, colourTables);
    if (!load) {
        said = "the imported scene does not load: " + load.error->reason;
        return false;
    }
    const bool flying = flyMode != nullptr;
    flyMode.reset();
    scene = std::move(load.scene);
    hd.terrain.reset();
    if (hd.on && !HdTerrainReady()) hd.on = false;
    sceneKeyFile = load.keyFile;
    flightBase = ElapsedMs();
    if (flying)
        flyMode =
            std::make_unique<FlyMode>(scene, sineTable, sceneKeyFile, viewGeometry, OfferKeys);
    said = "colours: " + report.colours + "; heights: " + report.heights +
           "; flight: " + report.flight;
    for (const std::string& warning : report.warnings)
        said += "; " + warning;
    return true;
}

}  // namespace

// The page's hooks, for its tests and its own script.
extern "C" {

// Draws the frame the demo shows at flight time `ms` (as RenderFrame draws
// it) and returns the screen's pixels, RGB565 in screen order; null when
// the flight has no frame at that time or has ended.
EMSCRIPTEN_KEEPALIVE uint16_t* flyover_frame_at(uint32_t ms) {
    if (!page || !page->OpenedScreen() || !RenderFrame(static_cast<float>(ms))) return nullptr;
    drawnTime = ms;
    return ReadBack();
}

// The screen's pixels as they are now (the last frame drawn), and its flight time.
EMSCRIPTEN_KEEPALIVE uint16_t* flyover_last_frame() {
    return page && page->OpenedScreen() ? ReadBack() : nullptr;
}
EMSCRIPTEN_KEEPALIVE double flyover_last_frame_time() {
    return drawnTime;
}
EMSCRIPTEN_KEEPALIVE int flyover_screen_width() {
    return page && page->OpenedScreen() ? page->OpenedScreen()->Frame().Width() : 0;
}
EMSCRIPTEN_KEEPALIVE int flyover_screen_height() {
    return page && page->OpenedScreen() ? page->OpenedScreen()->Frame().Height() : 0;
}

// Flies the whole path once, a frame every `stepMs` of flight time, drawing
// each with the renderer kAllRenderPaths[pathIndex] (-1: the fastest), as
// flyover-tool bench does; returns JSON with the frames' median time (of
// batches of 16 frames' means) and mean time in microseconds, or null when
// the path cannot be drawn here.
EMSCRIPTEN_KEEPALIVE const char* flyover_bench(int pathIndex, uint32_t stepMs) {
    constexpr int kPaths = static_cast<int>(std::size(kAllRenderPaths));
    if (!page || !scene.path || stepMs == 0 || pathIndex < -1 || pathIndex >= kPaths)
        return nullptr;
    const RenderPath path = pathIndex < 0 ? FastestRenderPath() : kAllRenderPaths[pathIndex];
    if (!RenderPathAvailable(path)) return nullptr;
    TerrainRenderer renderer(path);
    const TerrainSources sources = SceneSources(scene, sineTable);
    std::vector<CameraState> cameras;
    CameraState camera;
    for (uint32_t ms = 0; CameraAtTime(*scene.path, static_cast<float>(ms), camera); ms += stepMs)
        cameras.push_back(camera);
    if (cameras.empty()) return nullptr;
    // The page's clock ticks in steps of 0.1 ms where the page is not
    // isolated, so frames are timed in batches and each batch's mean is a
    // sample.
    constexpr size_t kBatch = 16;
    std::vector<double> samples;
    const double start = emscripten_get_now();
    for (size_t first = 0; first < cameras.size(); first += kBatch) {
        const size_t end = std::min(cameras.size(), first + kBatch);
        const double batchStart = emscripten_get_now();
        for (size_t i = first; i < end; ++i)
            renderer.Draw(viewGeometry, sources, cameras[i]);
        samples.push_back((emscripten_get_now() - batchStart) / static_cast<double>(end - first));
    }
    const double total = emscripten_get_now() - start;
    std::sort(samples.begin(), samples.end());
    const double median = samples[samples.size() / 2];
    char text[200];
    std::snprintf(text, sizeof text,
                  "{\"path\":\"%s\",\"frames\":%zu,\"median_us\":%.1f,\"mean_us\":%.1f}",
                  RenderPathName(path), cameras.size(), median * 1000.0,
                  total * 1000.0 / static_cast<double>(cameras.size()));
    benchResult = text;
    return benchResult.c_str();
}

// Memory for the page to put a decoded picture or a name in; freed by
// flyover_import.
EMSCRIPTEN_KEEPALIVE uint8_t* flyover_alloc(uint32_t size) {
    return static_cast<uint8_t*>(std::malloc(size == 0 ? 1 : size));
}
EMSCRIPTEN_KEEPALIVE void flyover_free(uint8_t* memory) {
    std::free(memory);
}

// Imports a colour and a height picture the page has decoded (RGBA, rows top
// first, in memory from flyover_alloc, with their names as UTF-8) and shows
// the scene they make. Returns 1 when it shows it, 0 when a picture cannot be
// used; flyover_import_message says what was made or why not, naming the
// picture. Nothing leaves the page.
EMSCRIPTEN_KEEPALIVE int flyover_import(const uint8_t* colourRgba, int colourWidth,
                                        int colourHeight, const char* colourName,
                                        const uint8_t* heightRgba, int heightWidth,
                                        int heightHeight, const char* heightName) {
    if (!page || !page->OpenedScreen() || renderRunning.load() == 0) {
        importMessage = "the demo has ended: load the page again";
        return 0;
    }
    const auto picture = [](const uint8_t* rgba, int width, int height, const char* name) {
        MemoryPicture p;
        p.name = name;
        p.width = width;
        p.height = height;
        if (rgba && width > 0 && height > 0)
            p.rgba.assign(rgba,
                          rgba + static_cast<size_t>(width) * static_cast<size_t>(height) * 4);
        return p;
    };
    const MemoryPicture colour = picture(colourRgba, colourWidth, colourHeight, colourName);
    const MemoryPicture height = picture(heightRgba, heightWidth, heightHeight, heightName);
    return ImportScene(colour, height, importMessage) ? 1 : 0;
}
EMSCRIPTEN_KEEPALIVE const char* flyover_import_message() {
    return importMessage.c_str();
}

// Switches between the demo (0) and the fly mode (1); returns the mode
// now, or -1 when the demo has ended (the page loads afresh to fly again).
EMSCRIPTEN_KEEPALIVE int flyover_set_mode(int fly) {
    if (!page || !page->OpenedScreen() || renderRunning.load() == 0 || !scene.path) return -1;
    if (fly && !flyMode) EnterFlyMode();
    if (!fly && flyMode) LeaveFlyMode();
    return flyMode ? 1 : 0;
}

// Shows the HD view in a width x height picture (1) or the faithful view
// (0). Returns the view shown now (1 HD, 0 faithful), or -1 when the demo
// has ended, the size is not one the HD view draws, or the terrain cannot be
// built (the view is left as it was).
EMSCRIPTEN_KEEPALIVE int flyover_set_view(int on, int width, int height) {
    if (!page || !page->OpenedScreen() || renderRunning.load() == 0) return -1;
    if (!on) {
        hd.on = false;
        std::vector<uint32_t>().swap(hd.pixels);
        return 0;
    }
    if (!HdSizeOk(width, height) || !HdTerrainReady()) return -1;
    hd.on = true;
    hd.width = width;
    hd.height = height;
    return 1;
}

// The HD view of the demo's flight at flight time `ms` in a width x height
// picture, as RGB bytes (rows top first), or null when the flight has no
// frame then or the picture cannot be drawn. The picture shown is left as it is.
EMSCRIPTEN_KEEPALIVE uint8_t* flyover_hd_frame_at(uint32_t ms, int width, int height) {
    if (!page || !page->OpenedScreen() || !scene.path || !HdSizeOk(width, height) ||
        !HdTerrainReady())
        return nullptr;
    CameraState camera;
    if (!CameraAtTime(*scene.path, static_cast<float>(ms), camera)) return nullptr;
    std::vector<uint32_t> pixels;
    DrawHd(camera, pixels, width, height);
    hdReadBack.resize(pixels.size() * 3);
    for (size_t i = 0; i < pixels.size(); ++i) {
        hdReadBack[i * 3] = static_cast<uint8_t>(pixels[i] >> 16);
        hdReadBack[i * 3 + 1] = static_cast<uint8_t>(pixels[i] >> 8);
        hdReadBack[i * 3 + 2] = static_cast<uint8_t>(pixels[i]);
    }
    return hdReadBack.data();
}

// The HD view's state as JSON: on or off, the picture's size, the path it is
// drawn with and the last picture's drawing time in milliseconds.
EMSCRIPTEN_KEEPALIVE const char* flyover_hd_state() {
    static char text[200];
    std::snprintf(text, sizeof text,
                  "{\"on\":%s,\"width\":%d,\"height\":%d,\"path\":\"%s\",\"draw_ms\":%.3f}",
                  hd.on ? "true" : "false", hd.on ? hd.width : 0, hd.on ? hd.height : 0,
                  HdPathName(hd.renderer ? hd.renderer->Path() : FastestHdPath()), hdDrawMs);
    return text;
}

// Times the HD view over the whole flight in a width x height picture, a
// frame every `stepMs` of flight time, as `flyover-tool bench --view hd`
// does; JSON as flyover_bench's, or null when it cannot be drawn.
EMSCRIPTEN_KEEPALIVE const char* flyover_hd_bench(int width, int height, uint32_t stepMs) {
    if (!page || !scene.path || stepMs == 0 || !HdSizeOk(width, height) || !HdTerrainReady())
        return nullptr;
    std::vector<CameraState> cameras;
    CameraState camera;
    for (uint32_t ms = 0; CameraAtTime(*scene.path, static_cast<float>(ms), camera); ms += stepMs)
        cameras.push_back(camera);
    if (cameras.empty()) return nullptr;
    std::vector<uint32_t> pixels;
    std::vector<double> samples;
    const double start = emscripten_get_now();
    for (const CameraState& c : cameras) {
        DrawHd(c, pixels, width, height);
        samples.push_back(hdDrawMs);
    }
    const double total = emscripten_get_now() - start;
    std::sort(samples.begin(), samples.end());
    char text[200];
    std::snprintf(
        text, sizeof text, "{\"path\":\"%s\",\"frames\":%zu,\"median_us\":%.1f,\"mean_us\":%.1f}",
        HdPathName(hd.renderer->Path()), cameras.size(), samples[samples.size() / 2] * 1000.0,
        total * 1000.0 / static_cast<double>(cameras.size()));
    benchResult = text;
    return benchResult.c_str();
}

// A key going down (1) or up (0), as the keyboard would post it, for the
// page's on-screen touch controls: `code` as the desktop numbers keys.
EMSCRIPTEN_KEEPALIVE void flyover_key(int32_t code, int down) {
    if (page) page->PostKey(code, down != 0);
}

// The fly mode's state as JSON: the mode, the flown pose and the camera
// drawn, recording or not, the overlay's message, and the frames' median
// drawing and loop-to-loop times in milliseconds; null in the demo.
EMSCRIPTEN_KEEPALIVE const char* flyover_fly_state() {
    if (!flyMode) return nullptr;
    const auto median = [](std::vector<double> v) {
        if (v.empty()) return 0.0;
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    };
    const FlightPose& p = flyMode->Pose();
    const CameraState& c = flyMode->Camera();
    std::string message;
    for (const char ch : flyMode->Message())
        if (ch != '"' && ch != '\\' && static_cast<unsigned char>(ch) >= ' ') message += ch;
    char text[600];
    std::snprintf(text, sizeof text,
                  "{\"player\":%s,\"pose\":[%.4f,%.4f,%.4f,%.4f,%.4f],"
                  "\"camera\":[%d,%d,%d,%d,%d],\"recording\":%s,\"frames\":%zu,"
                  "\"draw_ms\":%.3f,\"frame_ms\":%.3f,\"message\":\"%s\"}",
                  flyMode->Player() ? "true" : "false", p.x, p.y, p.height, p.heading, p.horizon,
                  static_cast<int>(c.x), static_cast<int>(c.y), static_cast<int>(c.height),
                  static_cast<int>(c.heading), static_cast<int>(c.horizon),
                  flyMode->Recording() ? "true" : "false", flyMode->DrawMs().size(),
                  median(flyMode->DrawMs()), median(flyMode->FrameMs()), message.c_str());
    flyState = text;
    return flyState.c_str();
}

}  // extern "C"

// argv[1], when the page gives one, is the emulated display ("WxH[:LAYOUT]",
// as FLYOVER_DISPLAY on the desktop); a bad one leaves the page without a
// display, and the demo's own check says so.
int main(int argc, char** argv) {
    std::optional<DisplayShape> shape = DisplayShape{};
    if (argc > 1) {
        std::string error;
        DisplayShape parsed;
        if (ParseDisplayShape(argv[1], parsed, error)) {
            shape = parsed;
        } else {
            std::fprintf(stderr, "display: %s\n", error.c_str());
            shape.reset();
        }
    }
    static WebPlatform webPlatform(shape, kCanvas);
    page = &webPlatform;
    const int startup = StartPage(webPlatform);
    if (startup != 0) {
        EM_ASM(
            {
                if (Module.onFlyoverEnd) Module.onFlyoverEnd($0);
            },
            startup);
        return startup;
    }
    // Frames at the display's pace; main returns at once and the page runs on.
    emscripten_set_main_loop(Frame, 0, false);
    return 0;
}
