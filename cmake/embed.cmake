# Writes OUT, a C++ source that holds the bytes of INPUT as the array
# stashwell_embedded::SYMBOL and its size SYMBOL_size.
# cmake -DINPUT=file -DOUT=file.cpp -DSYMBOL=name -P embed.cmake
file(READ ${INPUT} hex HEX)
string(LENGTH "${hex}" digits)
math(EXPR size "${digits} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REGEX REPLACE "((0x..,){16})" "\\1\n" bytes "${bytes}")
file(WRITE ${OUT}.tmp "// Generated from ${INPUT}; do not edit.\n#include <cstddef>\nnamespace stashwell_embedded {\nextern const unsigned char ${SYMBOL}[] = {\n${bytes}0x00};\nextern const std::size_t ${SYMBOL}_size = ${size};\n}\n")
file(RENAME ${OUT}.tmp ${OUT})
