# Writes OUTPUT, a C++ source holding the bytes of INPUT as render::detail::kTextFontData.
file(READ "${INPUT}" hex HEX)
string(LENGTH "${hex}" digits)
math(EXPR size "${digits} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REGEX REPLACE "((0x..,){24})" "\\1\n" bytes "${bytes}")
file(WRITE "${OUTPUT}" "// Generated from ${INPUT}.\n#include <cstddef>\n"
     "namespace render::detail {\n"
     "extern const unsigned char kTextFontData[];\nextern const std::size_t kTextFontSize;\n"
     "const unsigned char kTextFontData[] = {\n${bytes}};\n"
     "const std::size_t kTextFontSize = ${size};\n}\n")
