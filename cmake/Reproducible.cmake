# The same commit builds to the same bytes, whatever folder it is built in and whenever: players
# and packagers can rebuild what we ship and compare (tools/reproducible.sh does it).
#
# Every time that goes into an artifact (zip entries, the setup program's files, the Debian
# package's archives) is ZANDOREL_SOURCE_DATE_EPOCH: SOURCE_DATE_EPOCH from the environment when
# it is set, as Debian's builders set it, else the time of the last commit.
if(DEFINED ENV{SOURCE_DATE_EPOCH})
    set(ZANDOREL_SOURCE_DATE_EPOCH "$ENV{SOURCE_DATE_EPOCH}")
else()
    find_package(Git QUIET)
    set(ZANDOREL_SOURCE_DATE_EPOCH "")
    if(GIT_EXECUTABLE)
        execute_process(
            COMMAND "${GIT_EXECUTABLE}" -C "${PROJECT_SOURCE_DIR}" log -1 --format=%ct
            OUTPUT_VARIABLE ZANDOREL_SOURCE_DATE_EPOCH
            OUTPUT_STRIP_TRAILING_WHITESPACE
            ERROR_QUIET)
        # A new commit changes the time: configure again when HEAD moves.
        execute_process(
            COMMAND "${GIT_EXECUTABLE}" -C "${PROJECT_SOURCE_DIR}" rev-parse --absolute-git-dir
            OUTPUT_VARIABLE git_dir
            OUTPUT_STRIP_TRAILING_WHITESPACE
            ERROR_QUIET)
        if(git_dir AND EXISTS "${git_dir}/logs/HEAD")
            set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${git_dir}/logs/HEAD")
        endif()
    endif()
    if(NOT ZANDOREL_SOURCE_DATE_EPOCH MATCHES "^[0-9]+$")
        # A source tarball has no history; a fixed time keeps its builds alike all the same.
        # 2024-01-01 00:00:00 UTC.
        set(ZANDOREL_SOURCE_DATE_EPOCH 1704067200)
        message(STATUS "No git checkout in ${PROJECT_SOURCE_DIR} and no SOURCE_DATE_EPOCH: "
            "the packages carry the fixed time ${ZANDOREL_SOURCE_DATE_EPOCH} (2024-01-01)")
    endif()
endif()
if(NOT ZANDOREL_SOURCE_DATE_EPOCH MATCHES "^[0-9]+$")
    message(FATAL_ERROR "SOURCE_DATE_EPOCH must be whole seconds since 1970: "
        "'${ZANDOREL_SOURCE_DATE_EPOCH}'")
endif()

# No absolute path of this checkout or its build folder in what the compiler writes (debug
# information, __FILE__). The build folder's map comes last because the compiler tries the last
# one first, and the presets' build folders lie inside the sources.
add_compile_options(
    "-ffile-prefix-map=${PROJECT_SOURCE_DIR}=."
    "-ffile-prefix-map=${CMAKE_BINARY_DIR}=build")
