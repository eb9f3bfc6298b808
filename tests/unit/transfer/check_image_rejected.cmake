# cmake -DEMBED_SCRIPT=<embed_firmware_image.cmake> -DWORK_DIR=<dir> -P check_image_rejected.cmake
# An image that is not exactly 39 records of 2,060 bytes must stop the build with a message that
# says why, and must not leave a generated source behind; a well-formed image must embed.
foreach(var EMBED_SCRIPT WORK_DIR)
    if(NOT DEFINED ${var})
        message(FATAL_ERROR "check_image_rejected.cmake needs -D${var}=...")
    endif()
endforeach()
file(REMOVE_RECURSE "${WORK_DIR}")
file(MAKE_DIRECTORY "${WORK_DIR}")

function(embed image output result_var error_var)
    execute_process(
        COMMAND ${CMAKE_COMMAND} -DIMAGE=${image} -DOUTPUT=${output} -P ${EMBED_SCRIPT}
        RESULT_VARIABLE result
        ERROR_VARIABLE error
        OUTPUT_QUIET)
    set(${result_var} "${result}" PARENT_SCOPE)
    set(${error_var} "${error}" PARENT_SCOPE)
endfunction()

function(expect_rejected name size expected_message)
    set(image "${WORK_DIR}/${name}.bin")
    set(output "${WORK_DIR}/${name}.cpp")
    if(size EQUAL 0)
        file(WRITE "${image}" "")
    else()
        string(REPEAT "x" ${size} content)
        file(WRITE "${image}" "${content}")
    endif()
    embed("${image}" "${output}" result error)
    if(result EQUAL 0)
        message(FATAL_ERROR "${name}: a ${size}-byte image was embedded")
    endif()
    string(REGEX REPLACE "[ \t\r\n]+" " " error "${error}")
    if(NOT error MATCHES "${expected_message}")
        message(FATAL_ERROR "${name}: message does not say '${expected_message}': ${error}")
    endif()
    if(EXISTS "${output}")
        message(FATAL_ERROR "${name}: a source was generated from a rejected image")
    endif()
endfunction()

expect_rejected(one_byte_over 2061 "is 2061 bytes long, which is not a whole multiple of the 2060-byte record size")
expect_rejected(one_byte_short 80339 "is 80339 bytes long, which is not a whole multiple of the 2060-byte record size")
expect_rejected(empty 0 "is empty")
embed("${WORK_DIR}/missing.bin" "${WORK_DIR}/missing.cpp" result error)
# CMake wraps long messages; compare with the white space folded.
string(REGEX REPLACE "[ \t\r\n]+" " " error "${error}")
if(result EQUAL 0 OR NOT error MATCHES "does not exist")
    message(FATAL_ERROR "missing image: not rejected clearly: ${error}")
endif()

expect_rejected(two_records 4120 "holds 2 records of 2060 bytes; the controller's download takes exactly 39")
expect_rejected(forty_records 82400 "holds 40 records of 2060 bytes")

# Thirty-nine records embed, and the array carries every byte.
string(REPEAT "ab" 40170 content)
file(WRITE "${WORK_DIR}/whole.bin" "${content}")
embed("${WORK_DIR}/whole.bin" "${WORK_DIR}/whole.cpp" result error)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "an 80340-byte image was refused: ${error}")
endif()
file(READ "${WORK_DIR}/whole.cpp" generated)
string(REGEX MATCHALL "0x62," bytes_b "${generated}")
list(LENGTH bytes_b count_b)
if(NOT generated MATCHES "kImage\\[80340\\]" OR NOT count_b EQUAL 40170)
    message(FATAL_ERROR "the generated array does not hold the 80340 image bytes")
endif()
