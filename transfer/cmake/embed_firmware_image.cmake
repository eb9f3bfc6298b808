# Script mode: cmake -DIMAGE=<image file> -DOUTPUT=<.cpp to write> -P embed_firmware_image.cmake
# Writes the image as a constant array so it sits in the program's read-only data, whole and
# contiguous, without a file to read at run time.
include(${CMAKE_CURRENT_LIST_DIR}/firmware_image_check.cmake)

if(NOT DEFINED IMAGE OR NOT DEFINED OUTPUT)
    message(FATAL_ERROR "embed_firmware_image.cmake needs -DIMAGE=<file> and -DOUTPUT=<file>.")
endif()
corvane_check_firmware_image("${IMAGE}")

file(SIZE "${IMAGE}" size)
file(READ "${IMAGE}" hex HEX)
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
# Sixteen bytes a line keeps the generated file readable in a diff or a debugger.
string(REPEAT "0x[0-9a-f][0-9a-f]," 16 line_pattern)
string(REGEX REPLACE "(${line_pattern})" "    \\1\n" bytes "${bytes}")
string(REGEX REPLACE "\n0x" "\n    0x" bytes "${bytes}")
get_filename_component(image_name "${IMAGE}" NAME)

file(WRITE "${OUTPUT}.tmp" "// Generated at build time from ${image_name}; edit the image, not this file.
#include \"transfer/firmware_image.h\"

namespace {

alignas(16) constexpr uint8_t kImage[${size}] = {
${bytes}
};
static_assert(sizeof(kImage) > 0 && sizeof(kImage) % kFirmwareChunkSize == 0,
              \"the firmware image must be whole download records\");

}  // namespace

std::span<const uint8_t> FirmwareImage() { return kImage; }
")
file(RENAME "${OUTPUT}.tmp" "${OUTPUT}")
