# The zip a Windows player unpacks and plays from: zandorel.exe, graphics/, data/ with the
# shipped high-score table, README.txt and LICENSE.txt, in one folder named after the zip.
#   cmake --build build-windows --target windows_zip     (tools/windows.sh does it all)
set(ZANDOREL_PACKAGE_NAME "zandorel-${PROJECT_VERSION}-windows-x86_64")
set(ZANDOREL_PACKAGE_ZIP "${CMAKE_BINARY_DIR}/${ZANDOREL_PACKAGE_NAME}.zip")

# Notepad before Windows 10 shows a text with bare line feeds as one long line.
configure_file("${PROJECT_SOURCE_DIR}/docs/windows/README.txt" "${CMAKE_BINARY_DIR}/README.txt"
    @ONLY NEWLINE_STYLE CRLF)
configure_file("${PROJECT_SOURCE_DIR}/LICENSE" "${CMAKE_BINARY_DIR}/LICENSE.txt"
    @ONLY NEWLINE_STYLE CRLF)

# Packed afresh by every build, in well under a second, rather than following the time stamp of
# each file that goes in (cmake/WindowsZip.cmake).
add_custom_target(windows_zip ALL
    COMMAND "${CMAKE_COMMAND}"
        -D "NAME=${ZANDOREL_PACKAGE_NAME}"
        -D "BUILD=${CMAKE_BINARY_DIR}"
        -D "SOURCE=${PROJECT_SOURCE_DIR}"
        -D "EXECUTABLE=$<TARGET_FILE:zandorel>"
        -P "${PROJECT_SOURCE_DIR}/cmake/WindowsZip.cmake"
    BYPRODUCTS "${ZANDOREL_PACKAGE_ZIP}"
    COMMENT "Packing ${ZANDOREL_PACKAGE_NAME}.zip"
    VERBATIM)
add_dependencies(windows_zip zandorel zandorel_data)
