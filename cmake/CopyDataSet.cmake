# Run by every build (tools/CMakeLists.txt): makes a build folder's data/ hold exactly the levels
# cmake/DataSet.cmake lists, each copied when its content differs from the source's (a level
# renumbered with git mv keeps its old time, so a copy by time would leave the build playing
# the level that used to have that number), and takes out of its data/ and graphics/ whatever
# the list does not name: a level dropped or renumbered away, a picture no longer drawn. The
# player's high-score table stays.
#
#   cmake -D SOURCE=<project root> -D BUILD=<build folder> -P cmake/CopyDataSet.cmake
cmake_minimum_required(VERSION 3.25)
include(${CMAKE_CURRENT_LIST_DIR}/DataSet.cmake)

file(MAKE_DIRECTORY ${BUILD}/data)
foreach(name IN LISTS ZANDOREL_LEVELS)
    file(COPY_FILE ${SOURCE}/data/${name} ${BUILD}/data/${name} ONLY_IF_DIFFERENT)
endforeach()

set(named ${ZANDOREL_LEVELS} ${ZANDOREL_FIRST_TABLE})
list(TRANSFORM named PREPEND data/)
foreach(picture IN LISTS ZANDOREL_PICTURES)
    list(APPEND named graphics/${picture}.bmp)
endforeach()
file(GLOB present LIST_DIRECTORIES false RELATIVE ${BUILD} ${BUILD}/data/* ${BUILD}/graphics/*)
foreach(file IN LISTS present)
    if(NOT file IN_LIST named)
        message(STATUS "Removing ${file}: cmake/DataSet.cmake does not name it")
        file(REMOVE ${BUILD}/${file})
    endif()
endforeach()
