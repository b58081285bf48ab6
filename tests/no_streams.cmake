# The game reads and writes its files through the C library: a standard stream header brings
# the streams and their locales into the web build, some 30 KB of its compressed size.
# Run as cmake -DSOURCES=<folder> -P no_streams.cmake; fails naming each file that includes one.
file(GLOB sources ${SOURCES}/*)
set(found "")
foreach(source IN LISTS sources)
    file(STRINGS ${source} lines
        REGEX "^[ \t]*#[ \t]*include[ \t]*<(iostream|fstream|sstream|ostream|istream)>")
    foreach(line IN LISTS lines)
        list(APPEND found "${source}: ${line}")
    endforeach()
endforeach()
if(found)
    list(JOIN found "\n" found)
    message(FATAL_ERROR "stream headers in the game's sources:\n${found}")
endif()
