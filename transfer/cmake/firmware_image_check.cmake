# The controller's firmware download takes the image in exactly 39 records of 2,060 bytes: the
# flash's frames and progress steps are laid out for that many. An image of any other length
# would send a torn last record or a download the controller does not expect, so it must never
# get into the program.
set(CORVANE_FIRMWARE_RECORD_SIZE 2060)
set(CORVANE_FIRMWARE_RECORD_COUNT 39)

# Stops configuration or generation with a clear message unless `path` names a file of exactly
# the record count in whole records.
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
    math(EXPR records "${size} / ${CORVANE_FIRMWARE_RECORD_SIZE}")
    if(NOT records EQUAL CORVANE_FIRMWARE_RECORD_COUNT)
        math(EXPR expected "${CORVANE_FIRMWARE_RECORD_COUNT} * ${CORVANE_FIRMWARE_RECORD_SIZE}")
        message(FATAL_ERROR "Firmware image '${path}' holds ${records} records of "
                            "${CORVANE_FIRMWARE_RECORD_SIZE} bytes; the controller's download "
                            "takes exactly ${CORVANE_FIRMWARE_RECORD_COUNT} (${expected} bytes).")
    endif()
endfunction()
