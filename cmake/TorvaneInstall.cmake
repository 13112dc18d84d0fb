# Installation for one user: `cmake --install <build>` (or `make install`) into a prefix the
# user owns, ~/.local unless another is given.
#
#   <prefix>/lib/torvane/          the program folder: the executable and the shipped language
#                                  files. The program keeps its log, search history, language
#                                  status and update files beside its executable, and the
#                                  update replaces the executable there, so the folder stays
#                                  the user's own and writable (not share/, which is data).
#   <prefix>/bin/torvane           a relative link to the executable. The program finds its
#                                  folder through the kernel's record of the executable it
#                                  runs, the link's target, so the folder stays lib/torvane.
#   <prefix>/share/applications/torvane.desktop       the launcher
#   <prefix>/share/icons/hicolor/*/apps/torvane.*     the icon: scalable and the usual sizes
#   <autostart folder>/torvane.desktop                start at login (component "autostart")
#   <prefix>/lib/torvane/install_manifest.txt         what the install put where, and the
#                                  folders it made, for the uninstall (`make uninstall`)

if(CMAKE_INSTALL_PREFIX_INITIALIZED_TO_DEFAULT AND DEFINED ENV{HOME})
    set(CMAKE_INSTALL_PREFIX "$ENV{HOME}/.local" CACHE PATH "Installation prefix" FORCE)
endif()
set(TORVANE_INSTALL_PROGRAM_DIR "lib/torvane" CACHE STRING
    "The program folder, relative to the installation prefix")
option(TORVANE_INSTALL_AUTOSTART
    "Install the autostart entry (start at login) with the rest; else only with --component autostart"
    OFF)
set(TORVANE_AUTOSTART_DIR "" CACHE PATH
    "Folder of the autostart entry; empty: $XDG_CONFIG_HOME/autostart, or ~/.config/autostart, of the installing user")
if(IS_ABSOLUTE "${TORVANE_INSTALL_PROGRAM_DIR}")
    message(FATAL_ERROR "TORVANE_INSTALL_PROGRAM_DIR must be relative to the prefix")
endif()

# The icon, drawn by the program's own painter at build time.
set(TORVANE_ICON_SIZES 16 22 24 32 48 64 128 256)
set(icon_theme ${CMAKE_BINARY_DIR}/icons/hicolor)
set(icon_files ${icon_theme}/scalable/apps/torvane.svg)
foreach(size IN LISTS TORVANE_ICON_SIZES)
    list(APPEND icon_files ${icon_theme}/${size}x${size}/apps/torvane.png)
endforeach()
add_custom_command(OUTPUT ${icon_files}
    COMMAND export_icons ${icon_theme} torvane ${TORVANE_ICON_SIZES}
    DEPENDS export_icons
    COMMENT "Drawing the program's icon"
    VERBATIM)
add_custom_target(torvane_icons ALL DEPENDS ${icon_files})
# What an install needs built (`make install` builds this, not the tests).
add_custom_target(torvane_installable)
add_dependencies(torvane_installable torvane torvane_icons)

# The command on the PATH: a link from bin/ to the executable, relative so that the prefix
# may move.
file(RELATIVE_PATH link_target /prefix/bin /prefix/${TORVANE_INSTALL_PROGRAM_DIR}/torvane)
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/install)
file(CREATE_LINK ${link_target} ${CMAKE_BINARY_DIR}/install/torvane SYMBOLIC)

set(steps ${CMAKE_CURRENT_LIST_DIR}/TorvaneInstallSteps.cmake)
set(desktop_entry ${PROJECT_SOURCE_DIR}/resources/torvane.desktop.in)
set(made ${CMAKE_BINARY_DIR}/install/desktop)
set(icon_dirs share/icons/hicolor/scalable/apps)
foreach(size IN LISTS TORVANE_ICON_SIZES)
    list(APPEND icon_dirs share/icons/hicolor/${size}x${size}/apps)
endforeach()

# First and last of every install, whichever components: which folders are missing before,
# and the record of what was installed afterwards.
install(CODE "
    include(\"${steps}\")
    torvane_install_begin(\"${TORVANE_INSTALL_PROGRAM_DIR}\" \"${TORVANE_AUTOSTART_DIR}\"
        bin share/applications ${icon_dirs})"
    ALL_COMPONENTS)

install(TARGETS torvane RUNTIME DESTINATION ${TORVANE_INSTALL_PROGRAM_DIR} COMPONENT program)
install(FILES ${TORVANE_LANGUAGE_FILES} DESTINATION ${TORVANE_INSTALL_PROGRAM_DIR}
    COMPONENT program)
install(FILES ${CMAKE_BINARY_DIR}/install/torvane DESTINATION bin COMPONENT program)
install(DIRECTORY ${icon_theme}/ DESTINATION share/icons/hicolor COMPONENT program)
install(CODE "torvane_install_entry(\"${desktop_entry}\" \"${made}\"
    \"\${CMAKE_INSTALL_PREFIX}/share/applications\")" COMPONENT program)

if(TORVANE_INSTALL_AUTOSTART)
    set(autostart_default "")
else()
    set(autostart_default EXCLUDE_FROM_ALL)
endif()
install(CODE "
    torvane_autostart_dir(\"${TORVANE_AUTOSTART_DIR}\" dir)
    torvane_install_entry(\"${desktop_entry}\" \"${made}\" \"\${dir}\")"
    COMPONENT autostart ${autostart_default})

install(CODE "torvane_install_end(\"${TORVANE_INSTALL_PROGRAM_DIR}\")" ALL_COMPONENTS)

# `make uninstall` (and the target uninstall): removes what the record in the program folder
# lists, under this prefix or the one given as -DTORVANE_PREFIX=...
configure_file(${CMAKE_CURRENT_LIST_DIR}/TorvaneUninstall.cmake.in
    ${CMAKE_BINARY_DIR}/uninstall.cmake @ONLY)
add_custom_target(uninstall COMMAND ${CMAKE_COMMAND} -P ${CMAKE_BINARY_DIR}/uninstall.cmake
    VERBATIM)
