# Turns a compiled .res into a C++ source that hands its bytes to the simulated device.
file(READ ${INPUT} hex HEX)
string(LENGTH "${hex}" hex_length)
math(EXPR size "${hex_length} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REGEX REPLACE "(0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,)" "\\1\n" bytes "${bytes}")
file(WRITE ${OUTPUT} "// Generated from vexo.res by EmbedResources.cmake.\n#include <cesim/device.h>\n\nnamespace {\nconst unsigned char kSection[${size}] = {\n${bytes}};\n}\n\nnamespace cesim {\nstd::vector<uint8_t> ProgramResourceSection() {\n    return std::vector<uint8_t>(kSection, kSection + sizeof kSection);\n}\n} // namespace cesim\n")
