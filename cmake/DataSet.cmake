# What ships: the pictures drawn from graphics/<name>.pic, and the levels and the first
# high-score table copied from data/. The build tree, the install, the Windows zip and the web
# site all take their files from these lists and from nothing else, so that an editor's backup
# or a level left in a build folder never reaches a player, and no two of them can differ.
# A new picture or level is shipped by adding it here.

set(ZANDOREL_PICTURES
    bombbig
    bombsmall
    buttoncontinue
    buttondown
    buttonexit
    buttonhs
    buttonnormal
    buttonup
    clockbig
    clocksmall
    fontblack
    fontwhite
    mermaid
    tiles
    title
)

# Each level is its grid (.txt), its time limit (.tim) and its tutorial line (.tut), numbered
# from 1 without gaps (data/README.md says in what order). The count is also written out in
# words, ZANDOREL_LEVEL_COUNT_WORDS ("Twenty-four"), into the metainfo
# (dist/io.github.zandorel.Zandorel.metainfo.xml); the package description, in debian/control
# for both packagings, says it in words of its own, which the unit test shared_numbers holds
# to this count.
set(ZANDOREL_LEVEL_COUNT 24)
# The levels come in acts of this many, each harder towards its end (data/README.md); the level
# checks and tools/difficulty.py take it from here (tools/data_set_numbers.cmake).
set(ZANDOREL_LEVELS_IN_AN_ACT 12)
set(ZANDOREL_LEVELS)
foreach(level RANGE 1 ${ZANDOREL_LEVEL_COUNT})
    list(APPEND ZANDOREL_LEVELS level${level}.txt level${level}.tim level${level}.tut)
endforeach()

# A count from 1 to 99 in words, with a capital: 24 gives "Twenty-four". The one list of
# number words: the Python tools and tests ask for them through tools/data_set_numbers.cmake.
function(zandorel_number_in_words number out)
    set(small one two three four five six seven eight nine ten eleven twelve thirteen fourteen
        fifteen sixteen seventeen eighteen nineteen)
    set(tens twenty thirty forty fifty sixty seventy eighty ninety)
    if(number LESS 1 OR number GREATER 99)
        message(FATAL_ERROR "no words for ${number}")
    elseif(number LESS 20)
        math(EXPR at "${number} - 1")
        list(GET small ${at} words)
    else()
        math(EXPR at "${number} / 10 - 2")
        math(EXPR unit "${number} % 10 - 1")
        list(GET tens ${at} words)
        if(unit GREATER_EQUAL 0)
            list(GET small ${unit} last)
            string(APPEND words "-${last}")
        endif()
    endif()
    string(SUBSTRING ${words} 0 1 first)
    string(TOUPPER ${first} first)
    string(SUBSTRING ${words} 1 -1 rest)
    set(${out} "${first}${rest}" PARENT_SCOPE)
endfunction()
zandorel_number_in_words(${ZANDOREL_LEVEL_COUNT} ZANDOREL_LEVEL_COUNT_WORDS)

# The browser's own lines, in data/web/, packed for the web site in place of the files of the same
# name: there a right click is also the page's Peek control.
set(ZANDOREL_WEB_TUTORIALS level2.tut level18.tut level22.tut)

# The shipped pictures and levels as a build writes them into folder (its graphics/*.bmp and
# data/), in the variables named pictures and levels, for whatever packs or installs them.
function(zandorel_built_data_set folder pictures levels)
    list(TRANSFORM ZANDOREL_PICTURES PREPEND "${folder}/graphics/" OUTPUT_VARIABLE drawn)
    list(TRANSFORM drawn APPEND ".bmp")
    list(TRANSFORM ZANDOREL_LEVELS PREPEND "${folder}/data/" OUTPUT_VARIABLE copied)
    set(${pictures} ${drawn} PARENT_SCOPE)
    set(${levels} ${copied} PARENT_SCOPE)
endfunction()

# The desktop icon's picture and the sprites it takes from the game's pictures: the Linux, the
# Windows and the web site's icons are all drawn from these.
get_filename_component(root ${CMAKE_CURRENT_LIST_DIR} DIRECTORY)
set(ZANDOREL_ICON_SOURCES ${root}/dist/icon.pic)
foreach(sprite IN ITEMS fish starfish shell)
    list(APPEND ZANDOREL_ICON_SOURCES ${root}/graphics/${sprite}.inc)
endforeach()

# The table a player starts from; the build never writes it into a build folder, where it
# belongs to whoever plays there.
set(ZANDOREL_FIRST_TABLE highscores.txt)
# How many best scores the table keeps, read from its header (HighScoreTable::size) here alone
# (tools/game_numbers.py asks through tools/data_set_numbers.cmake), in words for the texts a
# player reads: ZANDOREL_TABLE_SIZE_WORDS ("Five") and in mid-sentence ZANDOREL_TABLE_SIZE_LOWER
# ("five").
set(table_header "${CMAKE_CURRENT_LIST_DIR}/../src/HighScoreTable.h")
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${table_header}")
file(STRINGS "${table_header}" ZANDOREL_TABLE_SIZE REGEX "static constexpr int size = [0-9]+")
string(REGEX REPLACE ".*size = ([0-9]+).*" "\\1" ZANDOREL_TABLE_SIZE "${ZANDOREL_TABLE_SIZE}")
zandorel_number_in_words(${ZANDOREL_TABLE_SIZE} ZANDOREL_TABLE_SIZE_WORDS)
string(TOLOWER "${ZANDOREL_TABLE_SIZE_WORDS}" ZANDOREL_TABLE_SIZE_LOWER)
