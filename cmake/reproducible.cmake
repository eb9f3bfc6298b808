# A release that two builds of one commit give byte for byte: no build folder in the objects and
# no link time stamp in the Windows executables. Off by default, as it hides the source paths
# a debugger looks for; scripts/package switches it on.
option(CORVANE_REPRODUCIBLE "Leave build paths and time stamps out of the programs" OFF)
if(CORVANE_REPRODUCIBLE)
    add_compile_options(-ffile-prefix-map=${CMAKE_SOURCE_DIR}/=
                        -ffile-prefix-map=${CMAKE_BINARY_DIR}/=)
    if(WIN32)
        add_link_options(-Wl,--no-insert-timestamp)
    endif()
endif()
