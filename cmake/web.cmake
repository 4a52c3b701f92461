# web.cmake -- the settings of the web build (FLYOVER_WEB): the demo as a static page, compiled
# with emscripten
#
# Only the core, the platform interface, the demo and the page are built. The
# build-time maker of the sound and the default scene runs under Node.js, as
# emscripten's toolchain runs every program of the target.
if(NOT EMSCRIPTEN)
  message(FATAL_ERROR "FLYOVER_WEB needs emscripten's toolchain: emcmake cmake ... -DFLYOVER_WEB=ON, "
                      "or -DCMAKE_TOOLCHAIN_FILE=/usr/share/emscripten/cmake/Modules/Platform/Emscripten.cmake")
endif()
set(FLYOVER_BUILD_DEMO OFF)
set(FLYOVER_BUILD_TOOL OFF)
set(FLYOVER_BUILD_TESTS OFF)
set(FLYOVER_BUILD_BENCH OFF)
# The page's test (web/CMakeLists.txt) runs with CTest from the build's top.
enable_testing()

# Emscripten's JavaScript optimizer, run when a program is linked, finds its
# acorn module only where Debian's Node.js modules lie.
set(FLYOVER_WEB_NODE_PATH "/usr/share/nodejs" CACHE PATH
    "NODE_PATH under which emscripten's JavaScript optimizer finds acorn")
set(CMAKE_CXX_LINKER_LAUNCHER ${CMAKE_COMMAND} -E env NODE_PATH=${FLYOVER_WEB_NODE_PATH})

# emcmake runs programs under "node --experimental-wasm-threads", a flag
# Node.js 20 refuses: threads are standard there, and the build uses none.
set(emulator ${CMAKE_CROSSCOMPILING_EMULATOR})
list(REMOVE_ITEM emulator --experimental-wasm-threads)
set(CMAKE_CROSSCOMPILING_EMULATOR ${emulator})

# WebAssembly's 128-bit vector instructions. Off by default: the compiler's
# own use of them draws frames no faster (measured), and without them the
# page runs on browsers that lack them too. (The renderer's SSE2 path, built
# on emscripten's SSE2 header with them, draws slower than the scalar path.)
option(FLYOVER_WEB_SIMD "Compile the page with WebAssembly SIMD128 (-msimd128)" OFF)
if(FLYOVER_WEB_SIMD)
  add_compile_options(-msimd128)
  add_link_options(-msimd128)
endif()

# Emscripten's libc++ (14) lacks a little of C++20 that the code uses.
add_compile_options("SHELL:-include ${CMAKE_CURRENT_LIST_DIR}/web_libcxx_compat.h")
