# Which sanitizer this build carries, from its flags: "address", "thread" or empty.
if(CMAKE_CXX_FLAGS MATCHES "-fsanitize=[^ ]*thread")
    set(CORVANE_SANITIZER thread)
elseif(CMAKE_CXX_FLAGS MATCHES "-fsanitize=[^ ]*address")
    set(CORVANE_SANITIZER address)
else()
    set(CORVANE_SANITIZER "")
endif()

# corvane_add_gtest(<name> SOURCES <files...> LIBS <targets...> [LABELS <labels...>]
#                   [SANITIZERS <address|thread>...])
# One GoogleTest executable; every TEST becomes its own CTest entry, named exactly as GoogleTest
# names it (a parameterised case is INSTANTIATION/Suite.Test/PARAM), so `ctest -R` and
# `--gtest_filter` take the same names. Windows executables are discovered and run through the
# Wine emulator at test time.
# LABELS: unit (every native configuration and Wine), slow (long rows and sweeps: the plain
# native configuration only; the sanitizer and Windows unit runs take -L unit -LE slow),
# endurance, gui (Windows).
# SANITIZERS: the sanitizer builds whose findings the suite can give (default both). A suite
# whose code runs no second thread leaves out "thread": the ThreadSanitizer build then neither
# builds nor registers it. Nor do the sanitizer builds build the suites they never run (slow,
# or not unit).
function(corvane_add_gtest name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;LABELS;SANITIZERS" ${ARGN})
    if(NOT DEFINED ARG_SANITIZERS)
        set(ARG_SANITIZERS address thread)
    endif()
    set(judged ON)
    if(CORVANE_SANITIZER AND NOT CORVANE_SANITIZER IN_LIST ARG_SANITIZERS)
        set(judged OFF)
    endif()
    # The sanitizer stages run -L unit -LE slow: a suite they never run is not built there.
    if(CORVANE_SANITIZER AND (NOT "unit" IN_LIST ARG_LABELS OR "slow" IN_LIST ARG_LABELS))
        set(judged OFF)
    endif()
    if(judged)
        add_executable(${name} ${ARG_SOURCES})
    else()
        # Kept as a target so that the suite's own settings still apply; never built or run.
        add_executable(${name} EXCLUDE_FROM_ALL ${ARG_SOURCES})
    endif()
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} corvane_test_support GTest::gtest_main GTest::gtest)
    corvane_warnings(${name})
    if(WIN32)
        target_link_options(${name} PRIVATE -mconsole)
    endif()
    if(NOT judged)
        return()
    endif()
    # Long suites start first, so that two CTest jobs end together (a first run has no timings).
    set(cost 1)
    if("slow" IN_LIST ARG_LABELS OR "endurance" IN_LIST ARG_LABELS)
        set(cost 1000)
    endif()
    gtest_discover_tests(${name}
        DISCOVERY_MODE PRE_TEST
        DISCOVERY_TIMEOUT 120
        NO_PRETTY_TYPES
        NO_PRETTY_VALUES
        PROPERTIES TIMEOUT 300 COST ${cost})
    # The labels go on once the tests are discovered, from a script CTest reads after the
    # discovery's: handed over with the other properties, a list such as "unit;slow" loses its
    # separator on the way and reads as a label "unit" and a property named "slow".
    set(labels_script ${CMAKE_CURRENT_BINARY_DIR}/${name}_labels.cmake)
    file(WRITE ${labels_script}
         "if(${name}_TESTS)\n"
         "  set_tests_properties(\${${name}_TESTS} PROPERTIES LABELS \"${ARG_LABELS}\")\n"
         "endif()\n")
    set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${labels_script})
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
    # scripts/test builds only the fuzzers and what they link, not the whole tree again.
    if(NOT TARGET corvane_fuzzers)
        add_custom_target(corvane_fuzzers)
    endif()
    add_dependencies(corvane_fuzzers ${name})
endfunction()
