# embed_bytes.cmake -- turns a binary file into a C++ source defining its bytes
# Run as: cmake -DINPUT=file -DOUTPUT=file.cpp -DSYMBOL=name -P embed_bytes.cmake
# The source defines `extern const uint8_t SYMBOL[]` and `extern const size_t SYMBOL_size`.
file(READ "${INPUT}" hex HEX)
string(LENGTH "${hex}" digits)
math(EXPR bytes "${digits} / 2")
# Sixteen bytes to a line.
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," body "${hex}")
# (CMake's regular expressions have no counted repeats: spell out sixteen.)
string(REPEAT "0x[0-9a-f][0-9a-f]," 16 line)
string(REGEX REPLACE "(${line})" "\\1\n    " body "${body}")
get_filename_component(name "${INPUT}" NAME)
file(WRITE "${OUTPUT}.tmp"
"// generated from ${name} at build time by embed_bytes.cmake; not edited by hand
#include <cstddef>
#include <cstdint>

extern const uint8_t ${SYMBOL}[] = {
    ${body}
};
extern const size_t ${SYMBOL}_size = ${bytes};
")
file(RENAME "${OUTPUT}.tmp" "${OUTPUT}")
