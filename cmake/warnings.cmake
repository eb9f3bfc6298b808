# One warning policy for every target of both builds.
option(CORVANE_WERROR "Treat compiler warnings as errors" OFF)
function(corvane_warnings target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wshadow -Wnon-virtual-dtor -Wpedantic)
    if(CORVANE_WERROR)
        target_compile_options(${target} PRIVATE -Werror)
    endif()
endfunction()
