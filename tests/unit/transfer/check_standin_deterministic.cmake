# cmake -DPYTHON=<python3> -DGENERATOR=<make_standin_image.py> -DCOMMITTED=<image>
#       -DWORK_DIR=<dir> -P check_standin_deterministic.cmake
# The stand-in image is a committed build input; regenerating it must give the same bytes.
file(REMOVE_RECURSE "${WORK_DIR}")
file(MAKE_DIRECTORY "${WORK_DIR}")
foreach(run 1 2)
    execute_process(COMMAND ${PYTHON} ${GENERATOR} ${WORK_DIR}/standin-${run}.bin
                    RESULT_VARIABLE result OUTPUT_QUIET ERROR_VARIABLE error)
    if(NOT result EQUAL 0)
        message(FATAL_ERROR "the generator failed: ${error}")
    endif()
    execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${WORK_DIR}/standin-${run}.bin
                            ${COMMITTED}
                    RESULT_VARIABLE differs)
    if(NOT differs EQUAL 0)
        message(FATAL_ERROR "run ${run} of the generator differs from the committed stand-in")
    endif()
endforeach()
