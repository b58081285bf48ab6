# The web build (emcmake): the game as zandorel.js and zandorel.wasm, and a static site in
# ${CMAKE_BINARY_DIR}/site: our own page, the game, and the shipped pictures and levels packed
# into zandorel.data (with zandorel-data.js, which loads it), plus a zip of that folder.
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

target_link_options(zandorel PRIVATE
    # BMP decoding at once, inside SDL_LoadBMP_RW, instead of through the browser's decoder
    # later.
    -sSTB_IMAGE=1
    # ...which the library calls through Module, where an optimised build keeps only what is
    # named here.
    "SHELL:-sEXPORTED_FUNCTIONS=_main,_malloc,_free,_stbi_load,_stbi_load_from_memory,_stbi_image_free"
    # The data arrive in their own package (below), which needs the full file system.
    -sFORCE_FILESYSTEM=1
    -sENVIRONMENT=web
    "SHELL:--js-library ${ZANDOREL_WEB_SOURCE}/sdl12.js"
    "SHELL:--js-library ${ZANDOREL_WEB_SOURCE}/page.js")
set_property(TARGET zandorel APPEND PROPERTY LINK_DEPENDS
    ${ZANDOREL_WEB_SOURCE}/sdl12.js ${ZANDOREL_WEB_SOURCE}/page.js)
# Debian's emcc runs its JavaScript tools on this machine's Node with the modules Debian
# installs in /usr/share/nodejs; a Node from elsewhere does not look there ("Cannot find module
# 'acorn'"). Set for the link, so that a plain cmake --build works too.
if(EXISTS /usr/share/nodejs/acorn)
    set_target_properties(zandorel PROPERTIES
        CXX_LINKER_LAUNCHER "${CMAKE_COMMAND};-E;env;NODE_PATH=/usr/share/nodejs")
endif()
# emcc writes the .wasm beside the .js.
set_target_properties(zandorel PROPERTIES SUFFIX ".js")

set(site ${CMAKE_BINARY_DIR}/site)
zandorel_built_data_set(${CMAKE_BINARY_DIR} pictures levels)
# The first table from the sources: the build folder's may hold someone's game.
set(packed ${pictures} ${levels} ${PROJECT_SOURCE_DIR}/data/${ZANDOREL_FIRST_TABLE})
# Each file goes where the game looks for it: graphics/<name> or data/<name>.
set(package_args)
foreach(file IN LISTS packed)
    get_filename_component(folder ${file} DIRECTORY)
    get_filename_component(folder ${folder} NAME)
    get_filename_component(name ${file} NAME)
    list(APPEND package_args --preload ${file}@/${folder}/${name})
endforeach()

find_package(Python3 REQUIRED COMPONENTS Interpreter)
add_custom_command(
    OUTPUT ${site}/zandorel.data ${site}/zandorel-data.js
    COMMAND ${CMAKE_COMMAND} -E make_directory ${site}
    COMMAND ${Python3_EXECUTABLE} ${ZANDOREL_WEB_PACKER} ${site}/zandorel.data --no-node
        --js-output=${site}/zandorel-data.js ${package_args}
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
        DEPENDS picmake ${source} ${PROJECT_SOURCE_DIR}/dist/icon.pic
                ${PROJECT_SOURCE_DIR}/graphics/fish.inc ${PROJECT_SOURCE_DIR}/graphics/starfish.inc
                ${PROJECT_SOURCE_DIR}/graphics/shell.inc
        COMMENT "Drawing the web site's ${name}"
        VERBATIM)
    list(APPEND ZANDOREL_WEB_ICONS ${site}/${name})
endforeach()

add_custom_command(
    OUTPUT ${site}/index.html ${site}/loader.js ${site}/manifest.webmanifest ${site}/zandorel.js
        ${site}/zandorel.wasm
    COMMAND ${CMAKE_COMMAND} -E copy ${ZANDOREL_WEB_SOURCE}/index.html ${ZANDOREL_WEB_SOURCE}/loader.js
        ${ZANDOREL_WEB_SOURCE}/manifest.webmanifest ${site}
    COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:zandorel> ${site}/zandorel.js
    COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE_DIR:zandorel>/zandorel.wasm ${site}/zandorel.wasm
    DEPENDS zandorel ${ZANDOREL_WEB_SOURCE}/index.html ${ZANDOREL_WEB_SOURCE}/loader.js
        ${ZANDOREL_WEB_SOURCE}/manifest.webmanifest
    COMMENT "Writing the web site"
    VERBATIM)

# Last, over whatever files the folder holds by then: the service worker with their list and
# hashes (tools/web-seal.py), then the zip of the whole folder.
set(ZANDOREL_WEB_ZIP ${CMAKE_BINARY_DIR}/zandorel-${PROJECT_VERSION}-web.zip)
add_custom_command(
    OUTPUT ${site}/sw.js ${ZANDOREL_WEB_ZIP}
    COMMAND ${Python3_EXECUTABLE} ${PROJECT_SOURCE_DIR}/tools/web-seal.py ${site}
        ${ZANDOREL_WEB_SOURCE}/sw.js
    COMMAND ${CMAKE_COMMAND} -E rm -f ${ZANDOREL_WEB_ZIP}
    COMMAND ${CMAKE_COMMAND} -E tar cf ${ZANDOREL_WEB_ZIP} --format=zip .
    WORKING_DIRECTORY ${site}
    DEPENDS ${site}/index.html ${site}/zandorel.data ${site}/zandorel-data.js ${ZANDOREL_WEB_ICONS}
        ${ZANDOREL_WEB_SOURCE}/sw.js ${PROJECT_SOURCE_DIR}/tools/web-seal.py
    COMMENT "Sealing the web site and writing its zip"
    VERBATIM)
add_custom_target(zandorel_site ALL DEPENDS ${site}/sw.js ${ZANDOREL_WEB_ZIP})
