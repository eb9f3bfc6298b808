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
