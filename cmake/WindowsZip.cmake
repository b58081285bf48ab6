# Packs the Windows zip (see WindowsPackage.cmake), run with cmake -P. Takes NAME, BUILD (the
# build folder: its graphics/, data/, README.txt and LICENSE.txt), SOURCE, EXECUTABLE, PYTHON
# and EPOCH (the time every packed file gets, cmake/Reproducible.cmake). What goes in is the
# data set cmake/DataSet.cmake names, taken by name: an editor's backup or a stale level in the
# build folder's data/ stays out, and so does a high-score table left by someone playing there,
# since the table packed is the shipped one from the sources.
include("${SOURCE}/cmake/DataSet.cmake")
set(stage "${BUILD}/package")
set(top "${stage}/${NAME}")
file(REMOVE_RECURSE "${stage}")

zandorel_built_data_set("${BUILD}" pictures levels)
foreach(file IN LISTS pictures levels)
    if(NOT EXISTS "${file}")
        message(FATAL_ERROR "no ${file}: build the zandorel_data target first")
    endif()
endforeach()
file(COPY "${EXECUTABLE}" "${BUILD}/README.txt" "${BUILD}/LICENSE.txt" DESTINATION "${top}")
file(COPY ${pictures} DESTINATION "${top}/graphics")
file(COPY ${levels} "${SOURCE}/data/${ZANDOREL_FIRST_TABLE}" DESTINATION "${top}/data")

# The staged files get the time too: the setup program is made from them and keeps their times.
file(REMOVE "${BUILD}/${NAME}.zip")
execute_process(
    COMMAND "${PYTHON}" "${SOURCE}/tools/zip-folder.py" --touch "${EPOCH}" "${stage}"
        "${BUILD}/${NAME}.zip" "${NAME}"
    RESULT_VARIABLE failed)
if(failed)
    message(FATAL_ERROR "could not write ${BUILD}/${NAME}.zip")
endif()
