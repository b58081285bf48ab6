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
find_package(Python3 REQUIRED COMPONENTS Interpreter)
add_custom_target(windows_zip ALL
    COMMAND "${CMAKE_COMMAND}"
        -D "NAME=${ZANDOREL_PACKAGE_NAME}"
        -D "BUILD=${CMAKE_BINARY_DIR}"
        -D "SOURCE=${PROJECT_SOURCE_DIR}"
        -D "EXECUTABLE=$<TARGET_FILE:zandorel>"
        -D "PYTHON=${Python3_EXECUTABLE}"
        -D "EPOCH=${ZANDOREL_SOURCE_DATE_EPOCH}"
        -P "${PROJECT_SOURCE_DIR}/cmake/WindowsZip.cmake"
    BYPRODUCTS "${ZANDOREL_PACKAGE_ZIP}"
    COMMENT "Packing ${ZANDOREL_PACKAGE_NAME}.zip"
    VERBATIM)
add_dependencies(windows_zip zandorel zandorel_data)

# What the copyright line of the licence names: the year and the holders, who publish the game.
file(STRINGS "${PROJECT_SOURCE_DIR}/LICENSE" ZANDOREL_COPYRIGHT REGEX "^Copyright " LIMIT_COUNT 1)
string(REGEX REPLACE "^Copyright \\([cC]\\) [0-9, -]+ " "" ZANDOREL_PUBLISHER "${ZANDOREL_COPYRIGHT}")

# The executable's icon, drawn from the same picture as the desktop icons, and its version
# information and its application manifest, compiled in by windres (dist/windows/zandorel.rc.in).
enable_language(RC)
set(ZANDOREL_ICON "${CMAKE_BINARY_DIR}/zandorel.ico")
add_custom_command(
    OUTPUT "${ZANDOREL_ICON}"
    COMMAND picmake "${PROJECT_SOURCE_DIR}/dist/icon.pic" "${ZANDOREL_ICON}"
    DEPENDS picmake ${ZANDOREL_ICON_SOURCES}
    COMMENT "Drawing zandorel.ico"
    VERBATIM)
configure_file("${PROJECT_SOURCE_DIR}/dist/windows/zandorel.rc.in" "${CMAKE_BINARY_DIR}/zandorel.rc"
    @ONLY)
# Listed as a source, the icon is drawn before the resources that hold it are compiled.
target_sources(zandorel PRIVATE "${CMAKE_BINARY_DIR}/zandorel.rc" "${ZANDOREL_ICON}")
set_source_files_properties("${CMAKE_BINARY_DIR}/zandorel.rc" PROPERTIES
    OBJECT_DEPENDS "${ZANDOREL_ICON};${PROJECT_SOURCE_DIR}/dist/windows/zandorel.manifest")

# The setup program (dist/windows/setup.nsi), made by NSIS from the folder the zip was packed
# from, so the two ship the same files. The setup puts them in place and its uninstaller
# removes them by name, from this list; the first high-score table is the setup's own business.
# The setup's helper that puts a moving player's table together with one already in the new
# folder (dist/windows/merge-scores.cpp): built from the game's own sources, linked as the game
# is, and run by the setup from its scratch folder, never installed.
add_executable(zandorel_merge_scores "${PROJECT_SOURCE_DIR}/dist/windows/merge-scores.cpp")
set_target_properties(zandorel_merge_scores PROPERTIES OUTPUT_NAME zandorel-merge-scores)
target_link_libraries(zandorel_merge_scores PRIVATE zandorel_core ${SDL_STATIC_LDFLAGS} -static)
target_link_options(zandorel_merge_scores PRIVATE $<$<CONFIG:Release>:-s> -Wl,--no-insert-timestamp)

find_program(ZANDOREL_MAKENSIS makensis)
if(NOT ZANDOREL_MAKENSIS)
    message(FATAL_ERROR "no makensis for the Windows setup program: tools/setup.sh windows installs NSIS")
endif()
set(ZANDOREL_SETUP "${CMAKE_BINARY_DIR}/zandorel-${PROJECT_VERSION}-setup.exe")
set(stage "${CMAKE_BINARY_DIR}/package/${ZANDOREL_PACKAGE_NAME}")
set(install_files "SetOutPath \"$INSTDIR\"\n")
set(remove_files "")
set(folder "")
list(TRANSFORM ZANDOREL_PICTURES PREPEND "graphics/" OUTPUT_VARIABLE pictures)
list(TRANSFORM pictures APPEND ".bmp")
list(TRANSFORM ZANDOREL_LEVELS PREPEND "data/" OUTPUT_VARIABLE levels)
foreach(file IN ITEMS zandorel.exe README.txt LICENSE.txt ${pictures} ${levels})
    get_filename_component(next "${file}" DIRECTORY)
    if(NOT next STREQUAL folder)
        string(APPEND install_files "SetOutPath \"$INSTDIR\\${next}\"\n")
        set(folder "${next}")
    endif()
    string(REPLACE "/" "\\" windows_file "${file}")
    string(APPEND install_files "File \"${stage}/${file}\"\n")
    # Wine, for one, answers a delete it could not make as made: the file's being there tells
    # (a folder of that name is none of the setup's).
    string(APPEND remove_files "Delete \"$INSTDIR\\${windows_file}\"\n"
        "IfFileExists \"$INSTDIR\\${windows_file}\\*.*\" +3\n"
        "IfFileExists \"$INSTDIR\\${windows_file}\" 0 +2\nSetErrors\n")
endforeach()
file(CONFIGURE OUTPUT "${CMAKE_BINARY_DIR}/setup-files.nsh" @ONLY CONTENT
"; The shipped files (cmake/DataSet.cmake), written by the build for dist/windows/setup.nsi.
!macro ZANDOREL_INSTALL_FILES
${install_files}!macroend
!macro ZANDOREL_REMOVE_FILES
${remove_files}!macroend
")
# The setup stores each file with its time (SetDateSave): the helper, fresh from the linker,
# is given the source date first, as the zip's files are, so that the same commit makes the
# same setup program.
set(merge_helper "${CMAKE_BINARY_DIR}/setup-helper/zandorel-merge-scores.exe")
add_custom_target(windows_setup ALL
    COMMAND "${CMAKE_COMMAND}" -E make_directory "${CMAKE_BINARY_DIR}/setup-helper"
    COMMAND "${CMAKE_COMMAND}" -E copy "$<TARGET_FILE:zandorel_merge_scores>" "${merge_helper}"
    COMMAND "${Python3_EXECUTABLE}" -c "import os, sys; os.utime(sys.argv[1], (int(sys.argv[2]),) * 2)"
        "${merge_helper}" "${ZANDOREL_SOURCE_DATE_EPOCH}"
    COMMAND "${ZANDOREL_MAKENSIS}" -V2 -WX
        "-DVERSION=${PROJECT_VERSION}" "-DPUBLISHER=${ZANDOREL_PUBLISHER}"
        "-DCOPYRIGHT=${ZANDOREL_COPYRIGHT}" "-DICON=${ZANDOREL_ICON}" "-DSTAGE=${stage}"
        "-DFILES=${CMAKE_BINARY_DIR}/setup-files.nsh" "-DOUTFILE=${ZANDOREL_SETUP}"
        "-DMERGE=${merge_helper}"
        "${PROJECT_SOURCE_DIR}/dist/windows/setup.nsi"
    BYPRODUCTS "${ZANDOREL_SETUP}"
    COMMENT "Making zandorel-${PROJECT_VERSION}-setup.exe"
    VERBATIM)
add_dependencies(windows_setup windows_zip zandorel_merge_scores)
