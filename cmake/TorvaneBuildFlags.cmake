# torvane_link_build_flags(): links torvane_build_flags into every target that compiles or
# links code of ours, in the whole tree. Called once, deferred to the end of the top-level
# list, when every folder has defined its targets.
function(torvane_link_build_flags)
    set(folders ${PROJECT_SOURCE_DIR})
    while(folders)
        list(POP_FRONT folders folder)
        get_property(subfolders DIRECTORY ${folder} PROPERTY SUBDIRECTORIES)
        list(APPEND folders ${subfolders})
        get_property(targets DIRECTORY ${folder} PROPERTY BUILDSYSTEM_TARGETS)
        foreach(target IN LISTS targets)
            get_target_property(type ${target} TYPE)
            if(type MATCHES "^(EXECUTABLE|STATIC_LIBRARY|SHARED_LIBRARY|MODULE_LIBRARY|OBJECT_LIBRARY)$")
                target_link_libraries(${target} PRIVATE torvane_build_flags)
            endif()
        endforeach()
    endwhile()
endfunction()
