# torvane_library(<target> <sources...>): a static library of one source folder. A folder
# whose sources have not been written yet still configures (as an empty library), so that
# the tree builds at every step.
function(torvane_library target)
    set(sources ${ARGN})
    if(NOT sources)
        set(sources ${CMAKE_BINARY_DIR}/empty_${target}.cpp)
        file(WRITE ${sources} "// no sources yet\n")
    endif()
    add_library(${target} STATIC ${sources})
endfunction()
