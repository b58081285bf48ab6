# Prints the file names of the pictures cmake/DataSet.cmake ships, one a line on standard error,
# for the test data set (pictures.py), which draws a picture of its own under each name.
#   cmake -P tests/e2e/harness/shipped_pictures.cmake
include(${CMAKE_CURRENT_LIST_DIR}/../../../cmake/DataSet.cmake)
foreach(picture IN LISTS ZANDOREL_PICTURES)
    message(NOTICE "${picture}.bmp")
endforeach()
