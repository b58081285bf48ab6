# The zip a Windows player unpacks and plays from: zandorel.exe, graphics/, data/ with the
# shipped high-score table, and README.txt, in one folder named after the zip.
#   cmake --build build-windows --target windows_zip     (tools/windows.sh does it all)
set(ZANDOREL_PACKAGE_NAME "zandorel-${PROJECT_VERSION}-windows-x86_64")
set(ZANDOREL_PACKAGE_ZIP "${CMAKE_BINARY_DIR}/${ZANDOREL_PACKAGE_NAME}.zip")

# Notepad before Windows 10 shows a text with bare line feeds as one long line.
configure_file("${PROJECT_SOURCE_DIR}/docs/windows/README.txt" "${CMAKE_BINARY_DIR}/README.txt"
    @ONLY NEWLINE_STYLE CRLF)

add_custom_command(
    OUTPUT "${ZANDOREL_PACKAGE_ZIP}"
    COMMAND "${CMAKE_COMMAND}"
        -D "NAME=${ZANDOREL_PACKAGE_NAME}"
        -D "BUILD=${CMAKE_BINARY_DIR}"
        -D "SOURCE=${PROJECT_SOURCE_DIR}"
        -D "EXECUTABLE=$<TARGET_FILE:zandorel>"
        -P "${PROJECT_SOURCE_DIR}/cmake/WindowsZip.cmake"
    DEPENDS zandorel zandorel_data "${CMAKE_BINARY_DIR}/README.txt"
        "${PROJECT_SOURCE_DIR}/cmake/WindowsZip.cmake"
    COMMENT "Packing ${ZANDOREL_PACKAGE_NAME}.zip"
    VERBATIM)
add_custom_target(windows_zip ALL DEPENDS "${ZANDOREL_PACKAGE_ZIP}")
