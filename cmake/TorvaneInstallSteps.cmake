# The steps of an install that must be worked out when it runs, not when the build is
# configured: the prefix (`cmake --install --prefix` may change it), the installing user's
# autostart folder, and the record of what was installed. Included by the install script.

# The autostart folder: the one configured, else the installing user's.
function(torvane_autostart_dir configured out)
    if(NOT configured STREQUAL "")
        set(dir "${configured}")
    elseif(NOT "$ENV{XDG_CONFIG_HOME}" STREQUAL "")
        set(dir "$ENV{XDG_CONFIG_HOME}/autostart")
    else()
        set(dir "$ENV{HOME}/.config/autostart")
    endif()
    set(${out} "${dir}" PARENT_SCOPE)
endfunction()

# The first existing folder at or above `path`.
function(torvane_existing_above path out)
    while(NOT EXISTS "$ENV{DESTDIR}${path}")
        get_filename_component(path "${path}" DIRECTORY)
    endwhile()
    set(${out} "${path}" PARENT_SCOPE)
endfunction()

# torvane_install_begin(<program dir> <autostart setting> <other folders...>): notes which of
# the folders the install writes into (and of their parents) are missing, so that the
# uninstall removes the ones this install made and no other. Program dir and other folders
# are relative to the prefix.
function(torvane_install_begin program autostart)
    set(prefix "${CMAKE_INSTALL_PREFIX}")
    if("$ENV{DESTDIR}" STREQUAL "")
        # Root installing into a user's folder would leave the program folder root's own:
        # the program could not write its log there, nor the update replace it.
        execute_process(COMMAND id -u OUTPUT_VARIABLE uid OUTPUT_STRIP_TRAILING_WHITESPACE)
        torvane_existing_above("${prefix}/${program}" existing)
        execute_process(COMMAND stat -c %u "${existing}" OUTPUT_VARIABLE owner
            OUTPUT_STRIP_TRAILING_WHITESPACE)
        if(uid STREQUAL "0" AND NOT owner STREQUAL "0")
            message(FATAL_ERROR "${existing} belongs to another user: install as that user, "
                "so that the program folder stays writable for the program")
        endif()
    endif()
    torvane_autostart_dir("${autostart}" autostart_dir)
    set(folders "${autostart_dir}")
    foreach(folder IN ITEMS "${program}" ${ARGN})
        list(APPEND folders "${prefix}/${folder}")
    endforeach()
    set(missing "")
    foreach(folder IN LISTS folders)
        while(NOT EXISTS "$ENV{DESTDIR}${folder}")
            list(APPEND missing "${folder}")
            get_filename_component(folder "${folder}" DIRECTORY)
        endwhile()
    endforeach()
    set(TORVANE_INSTALL_MISSING "${missing}" PARENT_SCOPE)
endfunction()

# torvane_install_entry(<template> <made> <destination>): writes the desktop entry that starts
# the installed command into the folder `made` and installs it into `destination`.
function(torvane_install_entry template made destination)
    # The Exec key's quoting: a path of plain characters as it is, any other in double
    # quotes with ", `, $ and \ escaped, then \ doubled and % doubled as the key's value
    # rules want.
    set(command "${CMAKE_INSTALL_PREFIX}/bin/torvane")
    if(NOT command MATCHES "^[A-Za-z0-9/._+-]+$")
        string(REGEX REPLACE "([\"`$\\\\])" "\\\\\\1" command "${command}")
        string(REPLACE "\\" "\\\\" command "${command}")
        set(command "\"${command}\"")
    endif()
    string(REPLACE "%" "%%" TORVANE_DESKTOP_EXEC "${command}")
    configure_file("${template}" "${made}/torvane.desktop" @ONLY)
    file(INSTALL DESTINATION "${destination}" TYPE FILE FILES "${made}/torvane.desktop")
    set(CMAKE_INSTALL_MANIFEST_FILES "${CMAKE_INSTALL_MANIFEST_FILES}" PARENT_SCOPE)
endfunction()

# torvane_install_end(<program dir>): adds what this install put in place, and the folders
# it made, to the record in the program folder; a folder is marked by its closing "/".
function(torvane_install_end program)
    set(record "${CMAKE_INSTALL_PREFIX}/${program}/install_manifest.txt")
    set(entries "")
    if(EXISTS "$ENV{DESTDIR}${record}")
        file(STRINGS "$ENV{DESTDIR}${record}" entries)
    endif()
    list(APPEND entries ${CMAKE_INSTALL_MANIFEST_FILES} "${record}")
    foreach(folder IN LISTS TORVANE_INSTALL_MISSING)
        if(IS_DIRECTORY "$ENV{DESTDIR}${folder}")
            list(APPEND entries "${folder}/")
        endif()
    endforeach()
    list(REMOVE_DUPLICATES entries)
    string(JOIN "\n" text ${entries})
    file(WRITE "$ENV{DESTDIR}${record}" "${text}\n")
    set(CMAKE_INSTALL_MANIFEST_FILES "${CMAKE_INSTALL_MANIFEST_FILES};${record}" PARENT_SCOPE)
endfunction()
