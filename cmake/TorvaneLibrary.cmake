# Helpers of the CMake lists: one static library per source folder, its files listed by name.

# torvane_require_listed(<pattern> <listed files...>): fails the configure when a file that
# matches the pattern (relative to the current source folder) is in none of the lists, so
# that a new source cannot drop out of the build unnoticed.
function(torvane_require_listed pattern)
    file(GLOB present RELATIVE ${CMAKE_CURRENT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR}/${pattern})
    foreach(file IN LISTS present)
        if(NOT file IN_LIST ARGN)
            message(FATAL_ERROR "${file} in ${CMAKE_CURRENT_SOURCE_DIR} is listed nowhere")
        endif()
    endforeach()
endfunction()

# The .cpp files of the current source folder against the sources of all its targets.
function(torvane_require_folder_listed)
    get_property(targets DIRECTORY PROPERTY BUILDSYSTEM_TARGETS)
    set(listed "")
    foreach(target IN LISTS targets)
        get_target_property(sources ${target} SOURCES)
        list(APPEND listed ${sources})
    endforeach()
    torvane_require_listed("*.cpp" ${listed})
endfunction()

# torvane_library(<target> <sources...>): the static library of the current source folder.
# Its headers are included as "<folder>/Name.h" through an include root that holds this
# folder alone (a link in the build tree). A target thus sees the headers of the libraries
# it links and of no others: an include that points up the layers does not compile.
function(torvane_library target)
    add_library(${target} STATIC ${ARGN})
    get_filename_component(folder ${CMAKE_CURRENT_SOURCE_DIR} NAME)
    set(root ${CMAKE_BINARY_DIR}/include/${folder})
    file(MAKE_DIRECTORY ${root})
    file(CREATE_LINK ${CMAKE_CURRENT_SOURCE_DIR} ${root}/${folder} SYMBOLIC)
    target_include_directories(${target} PUBLIC ${root})
    # Once the folder's list is read, with every target of the folder defined.
    cmake_language(DEFER CALL torvane_require_folder_listed)
endfunction()
