# The web build (emcmake): the game as zandorel.js and zandorel.wasm, and a static site in
# ${CMAKE_BINARY_DIR}/site: our own page, the game, and the shipped pictures and levels packed
# into zandorel.data (its table of files written into the page), plus a zip of that folder.
set(ZANDOREL_WEB_SOURCE ${PROJECT_SOURCE_DIR}/web)
# Emscripten's own packer, the one its --preload-file uses; the web tests pack their small
# data set with it too.
set(ZANDOREL_WEB_PACKER ${EMSCRIPTEN_ROOT_PATH}/tools/file_packager.py)

# web/sdl12.js replaces functions of emscripten's SDL 1.2 and reads its internals, as they are
# in this one version; another may differ in ways no test here would show at once.
set(ZANDOREL_EMSCRIPTEN_VERSION 3.1.6)
file(STRINGS ${EMSCRIPTEN_ROOT_PATH}/emscripten-version.txt emscripten_version LIMIT_COUNT 1)
string(REGEX REPLACE "[\" ]" "" emscripten_version "${emscripten_version}")
if(NOT emscripten_version STREQUAL ZANDOREL_EMSCRIPTEN_VERSION)
    message(FATAL_ERROR "The web build needs emscripten ${ZANDOREL_EMSCRIPTEN_VERSION} (Debian's), "
        "whose SDL 1.2 web/sdl12.js was written against; this one is ${emscripten_version} "
        "(${EMSCRIPTEN_ROOT_PATH}). Install Debian's with tools/setup.sh web, or check "
        "web/sdl12.js against this version's library_sdl.js first.")
endif()

# How a program becomes a page here: the game, and the web benchmark's bare page (below), alike.
function(zandorel_web_program target)
    # Size before speed: a pass is small, the download is not. Optimised across the whole game
    # at the link: a smaller module, and fewer functions to compile as the game first runs.
    # Linked at -Os all the same: at -Oz emscripten links a C library that copies and fills
    # memory a byte at a time, which doubled the time to read the title picture; the word-wise
    # one costs about a kilobyte.
    target_compile_options(${target} PRIVATE "$<$<CONFIG:Release>:-Oz;-flto>")
    target_link_options(${target} PRIVATE "$<$<CONFIG:Release>:-Os;-flto>"
        # The smaller allocator: the game allocates little once a screen is built.
        -sMALLOC=emmalloc
        # The data arrive in a package of their own, which needs the full file system.
        -sFORCE_FILESYSTEM=1
        -sENVIRONMENT=web
        "SHELL:--js-library ${ZANDOREL_WEB_SOURCE}/sdl12.js")
    set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${ZANDOREL_WEB_SOURCE}/sdl12.js)
    # Debian's emcc runs its JavaScript tools on this machine's Node with the modules Debian
    # installs in /usr/share/nodejs; a Node from elsewhere does not look there ("Cannot find
    # module 'acorn'"). Set for the link, so that a plain cmake --build works too.
    if(EXISTS /usr/share/nodejs/acorn)
        set_target_properties(${target} PROPERTIES
            CXX_LINKER_LAUNCHER "${CMAKE_COMMAND};-E;env;NODE_PATH=/usr/share/nodejs")
    endif()
    # emcc writes the .wasm beside the .js.
    set_target_properties(${target} PROPERTIES SUFFIX ".js")
endfunction()

zandorel_web_program(zandorel)
target_compile_options(zandorel_core PRIVATE "$<$<CONFIG:Release>:-Oz;-flto>")
# BMP decoding at once, inside SDL_LoadBMP_RW (web/sdl12.js), by a decoder of BMP alone.
target_sources(zandorel PRIVATE ${ZANDOREL_WEB_SOURCE}/stb_image_bmp.cpp
    ${ZANDOREL_WEB_SOURCE}/Bmp24.cpp ${ZANDOREL_WEB_SOURCE}/colour_key.cpp)
target_include_directories(zandorel SYSTEM PRIVATE ${EMSCRIPTEN_ROOT_PATH}/third_party)
target_link_options(zandorel PRIVATE
    # ...which the page's SDL calls through Module, where an optimised build keeps only what is
    # named here; naming the table's merge also brings in its file, which nothing else calls.
    "SHELL:-sEXPORTED_FUNCTIONS=_main,_malloc,_free,_zandorel_load_bmp,_stbi_image_free,_zandorel_colour_key,_zandorel_merge_tables,_zandorel_keeps"
    "SHELL:--js-library ${ZANDOREL_WEB_SOURCE}/page.js")
set_property(TARGET zandorel APPEND PROPERTY LINK_DEPENDS ${ZANDOREL_WEB_SOURCE}/page.js)

# The web benchmark's bare page (tools/web-bench.sh, into bare/): an SDL 1.2 program built as
# the game is, which sets the game's video mode, fills the screen and flips once; no data, no
# store, no pictures. Its first frame is what the site's is measured against.
add_executable(zandorel_web_bare EXCLUDE_FROM_ALL ${PROJECT_SOURCE_DIR}/bench/web_bare.cpp)
target_link_libraries(zandorel_web_bare PRIVATE zandorel_sdl)
zandorel_web_program(zandorel_web_bare)
set_target_properties(zandorel_web_bare PROPERTIES
    OUTPUT_NAME bare RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bare)
add_custom_command(TARGET zandorel_web_bare POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/bench/web_bare.html
        ${CMAKE_BINARY_DIR}/bare/index.html
    VERBATIM)

set(site ${CMAKE_BINARY_DIR}/site)
zandorel_built_data_set(${CMAKE_BINARY_DIR} pictures levels)
# The first table from the sources: the build folder's may hold someone's game.
set(packed ${pictures} ${levels} ${PROJECT_SOURCE_DIR}/data/${ZANDOREL_FIRST_TABLE})
# The browser's own tutorial lines in place of the shipped ones of the same name.
list(TRANSFORM ZANDOREL_WEB_TUTORIALS PREPEND ${CMAKE_BINARY_DIR}/data/ OUTPUT_VARIABLE replaced)
list(REMOVE_ITEM packed ${replaced})
# Each file goes where the game looks for it: graphics/<name> or data/<name>.
set(package_args)
foreach(file IN LISTS packed)
    get_filename_component(folder ${file} DIRECTORY)
    get_filename_component(folder ${folder} NAME)
    get_filename_component(name ${file} NAME)
    list(APPEND package_args --preload ${file}@/${folder}/${name})
endforeach()
foreach(name IN LISTS ZANDOREL_WEB_TUTORIALS)
    list(APPEND packed ${PROJECT_SOURCE_DIR}/data/web/${name})
    list(APPEND package_args --preload ${PROJECT_SOURCE_DIR}/data/web/${name}@/data/${name})
endforeach()

find_package(Python3 REQUIRED COMPONENTS Interpreter)
# The packer's own loading script stays in the build folder: the seal (below) takes the table of
# files from it into the page, which loads the package itself. Run in the site folder and given
# the package by its bare name, so that no path of this machine is written into that table.
# (The folder may not be there yet, so no WORKING_DIRECTORY.)
set(packer_script ${CMAKE_BINARY_DIR}/zandorel-data.js)
add_custom_command(
    OUTPUT ${site}/zandorel.data ${packer_script}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${site}
    COMMAND ${CMAKE_COMMAND} -E chdir ${site}
        ${Python3_EXECUTABLE} ${ZANDOREL_WEB_PACKER} zandorel.data --no-node
        --js-output=${packer_script} ${package_args}
    DEPENDS ${packed} zandorel_data
    COMMENT "Packing the pictures and levels for the web"
    VERBATIM)

# What makes the site an app a browser keeps: the manifest and its icons, drawn from the
# desktop icon by the picture tool (each a whole multiple of its 32 x 32 pixels, as the Linux
# icons are), and a maskable one with room around it.
set(ZANDOREL_WEB_ICONS)
foreach(icon IN ITEMS icon-192.png:dist/icon.pic:6 icon-512.png:dist/icon.pic:16
                      icon-maskable.png:web/icon-maskable.pic:8)
    string(REPLACE ":" ";" icon ${icon})
    list(GET icon 0 name)
    list(GET icon 1 source)
    list(GET icon 2 scale)
    set(source ${PROJECT_SOURCE_DIR}/${source})
    add_custom_command(
        OUTPUT ${site}/${name}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${site}
        COMMAND picmake ${source} ${site}/${name} ${scale}
        DEPENDS picmake ${source} ${ZANDOREL_ICON_SOURCES}
        COMMENT "Drawing the web site's ${name}"
        VERBATIM)
    list(APPEND ZANDOREL_WEB_ICONS ${site}/${name})
endforeach()

add_custom_command(
    OUTPUT ${site}/index.html ${site}/manifest.webmanifest ${site}/zandorel.js ${site}/zandorel.wasm
    COMMAND ${CMAKE_COMMAND} -E make_directory ${site}
    # Earlier builds shipped these two as files of their own; the page now holds what they held.
    COMMAND ${CMAKE_COMMAND} -E rm -f ${site}/loader.js ${site}/zandorel-data.js
    COMMAND ${CMAKE_COMMAND} -E copy ${ZANDOREL_WEB_SOURCE}/index.html
        ${ZANDOREL_WEB_SOURCE}/manifest.webmanifest ${site}
    COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:zandorel> ${site}/zandorel.js
    COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE_DIR:zandorel>/zandorel.wasm ${site}/zandorel.wasm
    DEPENDS zandorel ${ZANDOREL_WEB_SOURCE}/index.html ${ZANDOREL_WEB_SOURCE}/manifest.webmanifest
    COMMENT "Writing the web site"
    VERBATIM)

# Last, over whatever files the folder holds by then: the page's script and the package's table
# written into the page, the service worker with the files' list and hashes (tools/web-seal.py),
# then the zip of the whole folder.
set(ZANDOREL_WEB_ZIP ${CMAKE_BINARY_DIR}/zandorel-${PROJECT_VERSION}-web.zip)
add_custom_command(
    OUTPUT ${site}/sw.js ${ZANDOREL_WEB_ZIP}
    COMMAND ${Python3_EXECUTABLE} ${PROJECT_SOURCE_DIR}/tools/web-seal.py ${site}
        ${ZANDOREL_WEB_SOURCE}/sw.js ${ZANDOREL_WEB_SOURCE}/loader.js ${packer_script}
    COMMAND ${Python3_EXECUTABLE} ${PROJECT_SOURCE_DIR}/tools/zip-folder.py
        ${ZANDOREL_SOURCE_DATE_EPOCH} ${site} ${ZANDOREL_WEB_ZIP}
    WORKING_DIRECTORY ${site}
    DEPENDS ${site}/index.html ${site}/zandorel.data ${packer_script} ${ZANDOREL_WEB_ICONS}
        ${ZANDOREL_WEB_SOURCE}/sw.js ${ZANDOREL_WEB_SOURCE}/loader.js
        ${PROJECT_SOURCE_DIR}/tools/web-seal.py
        ${PROJECT_SOURCE_DIR}/tools/zip-folder.py
    COMMENT "Sealing the web site and writing its zip"
    VERBATIM)
add_custom_target(zandorel_site ALL DEPENDS ${site}/sw.js ${ZANDOREL_WEB_ZIP})
