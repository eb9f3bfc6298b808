# corvane_add_gtest(<name> SOURCES <files...> LIBS <targets...> [LABELS <labels...>])
# One GoogleTest executable; every TEST becomes its own CTest entry. Windows
# executables are discovered and run through the Wine emulator at test time.
function(corvane_add_gtest name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;LABELS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} corvane_test_support GTest::gtest_main GTest::gtest)
    corvane_warnings(${name})
    if(WIN32)
        target_link_options(${name} PRIVATE -mconsole)
    endif()
    gtest_discover_tests(${name}
        DISCOVERY_MODE PRE_TEST
        DISCOVERY_TIMEOUT 120
        PROPERTIES LABELS "${ARG_LABELS}" TIMEOUT 300)
endfunction()

# corvane_add_fuzzer(<name> SOURCES <files...> LIBS <targets...> CORPUS <dir>
#                    [SECONDS <n>] [MAX_LEN <bytes>])
# A libFuzzer target (clang `fuzz` preset only) and a bounded run of it as a CTest entry with
# the label fuzz. Every run starts from a fresh copy of the committed seeds, so runs never grow
# the corpus in the source tree.
function(corvane_add_fuzzer name)
    cmake_parse_arguments(ARG "" "CORPUS;SECONDS;MAX_LEN" "SOURCES;LIBS" ${ARGN})
    if(NOT ARG_SECONDS)
        set(ARG_SECONDS 10)
    endif()
    if(NOT ARG_MAX_LEN)
        set(ARG_MAX_LEN 8192)
    endif()
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS})
    target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
    target_link_options(${name} PRIVATE -fsanitize=fuzzer)
    corvane_warnings(${name})
    set(work ${CMAKE_CURRENT_BINARY_DIR}/${name}-corpus)
    add_test(NAME ${name}
        COMMAND sh -c "rm -rf '${work}' && cp -r '${ARG_CORPUS}' '${work}' && \
                       '$<TARGET_FILE:${name}>' -max_total_time=${ARG_SECONDS} \
                       -rss_limit_mb=1024 -max_len=${ARG_MAX_LEN} '${work}'")
    set_tests_properties(${name} PROPERTIES LABELS fuzz TIMEOUT 120)
endfunction()
