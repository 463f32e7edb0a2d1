# Layers: each source folder is included as "<folder>/File.h", and a target sees
# a folder only when it is that folder's library or links it. The include root
# of a folder is a directory in the build tree holding one symbolic link, to
# that folder alone, so an include that reaches up the ladder fails to compile
# instead of passing unnoticed.

# Makes src/<folder> includable by `target` and by every target that links it.
function(quav_layer_root target folder)
    set(root ${PROJECT_BINARY_DIR}/layers/${folder})
    if(NOT EXISTS ${root}/${folder})
        file(MAKE_DIRECTORY ${root})
        file(CREATE_LINK ${PROJECT_SOURCE_DIR}/src/${folder} ${root}/${folder} SYMBOLIC)
    endif()
    get_target_property(type ${target} TYPE)
    if(type STREQUAL "INTERFACE_LIBRARY")
        target_include_directories(${target} INTERFACE ${root})
    else()
        target_include_directories(${target} PUBLIC ${root})
    endif()
endfunction()

# quav_layer(folder SOURCES a.cpp ... [DEPENDS lower-layer targets ...]):
# the static library quav<folder> of src/<folder> (sources relative to src/),
# seeing its own folder and the layers it depends on.
function(quav_layer folder)
    cmake_parse_arguments(ARG "" "" "SOURCES;DEPENDS" ${ARGN})
    list(TRANSFORM ARG_SOURCES PREPEND ${PROJECT_SOURCE_DIR}/src/)
    add_library(quav${folder} STATIC ${ARG_SOURCES})
    quav_layer_root(quav${folder} ${folder})
    target_link_libraries(quav${folder} PUBLIC ${ARG_DEPENDS})
endfunction()
