# Writes OUTPUT, a header defining QUAV_PRODUCT_VERSION (PRODUCT) and
# QUAV_BUILD_VERSION: VERSION and, in a git checkout, the commit
# ("0.1-g1a2b3c4d5e", "-dirty" added when tracked files have changes). Run at
# every build and rewritten only when the text changes, so an unchanged commit
# rebuilds nothing.
#   cmake -DPRODUCT=3.03 -DVERSION=0.1 -DSOURCE_DIR=... -DOUTPUT=.../BuildVersion.h \
#         -P BuildVersion.cmake
set(version "${VERSION}")
find_program(GIT git)
if(GIT AND EXISTS "${SOURCE_DIR}/.git")
    execute_process(COMMAND "${GIT}" -C "${SOURCE_DIR}" rev-parse --short=10 HEAD
                    OUTPUT_VARIABLE commit OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET
                    RESULT_VARIABLE failed)
    if(NOT failed AND commit)
        string(APPEND version "-g${commit}")
        # No optional locks: a build must not take the index from a git command
        # the developer runs at the same time.
        execute_process(COMMAND "${GIT}" --no-optional-locks -C "${SOURCE_DIR}" status
                                --porcelain --untracked-files=no
                        OUTPUT_VARIABLE changes ERROR_QUIET)
        if(changes)
            string(APPEND version "-dirty")
        endif()
    endif()
endif()
set(text "#define QUAV_PRODUCT_VERSION \"${PRODUCT}\"\n#define QUAV_BUILD_VERSION \"${version}\"\n")
if(EXISTS "${OUTPUT}")
    file(READ "${OUTPUT}" old)
endif()
if(NOT old STREQUAL text)
    file(WRITE "${OUTPUT}" "${text}")
endif()
