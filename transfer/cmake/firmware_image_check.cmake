# The controller's firmware download takes the image in whole 2,060-byte records; an image of
# any other length would send a torn last record, so it must never get into the program.
set(CORVANE_FIRMWARE_RECORD_SIZE 2060)

# Stops configuration or generation with a clear message unless `path` names a non-empty file
# whose length is a whole multiple of the record size.
function(corvane_check_firmware_image path)
    if(NOT EXISTS "${path}" OR IS_DIRECTORY "${path}")
        message(FATAL_ERROR "Firmware image '${path}' does not exist.")
    endif()
    file(SIZE "${path}" size)
    math(EXPR remainder "${size} % ${CORVANE_FIRMWARE_RECORD_SIZE}")
    if(size EQUAL 0)
        message(FATAL_ERROR "Firmware image '${path}' is empty: it must hold whole records of "
                            "${CORVANE_FIRMWARE_RECORD_SIZE} bytes.")
    endif()
    if(NOT remainder EQUAL 0)
        message(FATAL_ERROR "Firmware image '${path}' is ${size} bytes long, which is not a "
                            "whole multiple of the ${CORVANE_FIRMWARE_RECORD_SIZE}-byte record "
                            "size (${remainder} bytes too many).")
    endif()
endfunction()
