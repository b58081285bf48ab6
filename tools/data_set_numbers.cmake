# Prints what cmake/DataSet.cmake fixes, for tools/game_numbers.py, one "NAME value" a line on
# standard error: the high-score table's size as it reads the header, the level count, the
# levels in an act, and its words for each count from 1 to 99, so that the header is read and
# the words are listed in one place for CMake and Python alike.
#   cmake -P tools/data_set_numbers.cmake
include(${CMAKE_CURRENT_LIST_DIR}/../cmake/DataSet.cmake)
message(NOTICE "TABLE_SIZE ${ZANDOREL_TABLE_SIZE}")
message(NOTICE "LEVEL_COUNT ${ZANDOREL_LEVEL_COUNT}")
message(NOTICE "ACT ${ZANDOREL_LEVELS_IN_AN_ACT}")
foreach(number RANGE 1 99)
    zandorel_number_in_words(${number} words)
    message(NOTICE "WORDS_${number} ${words}")
endforeach()
