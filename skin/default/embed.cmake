# Writes OUTPUT, a C++ file holding the bytes of INPUT as `const unsigned char SYMBOL[]`
# and its length `const size_t SYMBOL_size`, in namespace sk.
file(READ ${INPUT} hex HEX)
string(LENGTH "${hex}" digits)
math(EXPR length "${digits} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REGEX REPLACE "((0x..,){24})" "\\1\n" bytes "${bytes}")
file(WRITE ${OUTPUT} "// Made at build time from ${INPUT}.\n#include <cstddef>\nnamespace sk {\n"
  "extern const unsigned char ${SYMBOL}[];\nextern const size_t ${SYMBOL}_size;\n"
  "const unsigned char ${SYMBOL}[] = {\n${bytes}\n};\nconst size_t ${SYMBOL}_size = ${length};\n}\n")
