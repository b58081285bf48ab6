# Writes the menu entry for the prefix being installed to, and installs it (run by the install,
# with the variables set beside install(SCRIPT) in CMakeLists.txt). Exec is a command line kept
# in a desktop-entry string: the path is quoted where it holds more than plain characters, a %
# is doubled, and then every backslash; TryExec is a plain string.
set(launcher "${CMAKE_INSTALL_PREFIX}/${ZANDOREL_INSTALL_GAMESDIR}/zandorel")
set(exec "${launcher}")
if(exec MATCHES "[^-A-Za-z0-9/._+]")
    string(REGEX REPLACE "([\"`$\\])" "\\\\\\1" exec "${exec}")
    set(exec "\"${exec}\"")
endif()
string(REPLACE "%" "%%" exec "${exec}")
string(REPLACE "\\" "\\\\" ZANDOREL_DESKTOP_EXEC "${exec}")
string(REPLACE "\\" "\\\\" ZANDOREL_DESKTOP_TRYEXEC "${launcher}")
# An earlier install run by root may have left the file there, not writable by the next.
file(REMOVE "${ZANDOREL_DESKTOP_ENTRY}")
configure_file("${CMAKE_CURRENT_LIST_DIR}/${ZANDOREL_APP_ID}.desktop" "${ZANDOREL_DESKTOP_ENTRY}"
               @ONLY)
file(INSTALL "${ZANDOREL_DESKTOP_ENTRY}"
     DESTINATION "${CMAKE_INSTALL_PREFIX}/${ZANDOREL_INSTALL_DATADIR}/applications")
