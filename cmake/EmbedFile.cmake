# cmake -DINPUT=FILE -DOUTPUT=HEADER -DNAME=IDENTIFIER -P EmbedFile.cmake
# Writes a header that holds FILE's bytes as the array NAME, so that the game carries the
# picture in itself rather than in a file a player could lose.
file(READ "${INPUT}" hex HEX)
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
get_filename_component(source "${INPUT}" NAME)
file(WRITE "${OUTPUT}.tmp"
    "// Written by the build from ${source}.\nconstexpr unsigned char ${NAME}[] = {${bytes}};\n")
file(RENAME "${OUTPUT}.tmp" "${OUTPUT}")
