# Packs the Windows zip (see WindowsPackage.cmake), run with cmake -P. Takes NAME, BUILD,
# SOURCE and EXECUTABLE. Only the files a player needs go in: the build folder's data/ may
# hold a high-score table left by someone playing there, so the table packed is the shipped
# one from the sources.
set(stage "${BUILD}/package")
set(top "${stage}/${NAME}")
file(REMOVE_RECURSE "${stage}")
file(MAKE_DIRECTORY "${top}/graphics" "${top}/data")

file(COPY "${EXECUTABLE}" DESTINATION "${top}")
file(COPY "${BUILD}/README.txt" DESTINATION "${top}")
file(GLOB pictures "${BUILD}/graphics/*.bmp")
file(GLOB levels "${BUILD}/data/level*")
if(NOT pictures OR NOT levels)
    message(FATAL_ERROR "no pictures or levels in ${BUILD}: build the zandorel_data target first")
endif()
file(COPY ${pictures} DESTINATION "${top}/graphics")
file(COPY ${levels} DESTINATION "${top}/data")
if(EXISTS "${SOURCE}/data/highscores.txt")
    file(COPY "${SOURCE}/data/highscores.txt" DESTINATION "${top}/data")
endif()

file(REMOVE "${BUILD}/${NAME}.zip")
execute_process(
    COMMAND "${CMAKE_COMMAND}" -E tar cf "${BUILD}/${NAME}.zip" --format=zip "${NAME}"
    WORKING_DIRECTORY "${stage}"
    RESULT_VARIABLE failed)
if(failed)
    message(FATAL_ERROR "could not write ${BUILD}/${NAME}.zip")
endif()
