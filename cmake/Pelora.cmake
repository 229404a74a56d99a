# One static library per source folder: every .cpp in the folder belongs to it (with RECURSE,
# also those in its subfolders), so adding a file needs no edit here.
function(pelora_library name dir)
    cmake_parse_arguments(ARG "RECURSE" "" "LINK;EXCLUDE" ${ARGN})
    set(_glob GLOB)
    if(ARG_RECURSE)
        set(_glob GLOB_RECURSE)
    endif()
    file(${_glob} _sources CONFIGURE_DEPENDS
        ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/*.h)
    foreach(_ex IN LISTS ARG_EXCLUDE)
        list(REMOVE_ITEM _sources ${CMAKE_CURRENT_SOURCE_DIR}/${_ex})
    endforeach()
    if(NOT _sources)
        # An empty folder still gives a library, so dependants link before it has code.
        set(_sources ${PROJECT_SOURCE_DIR}/cmake/empty.cpp)
    endif()
    add_library(${name} STATIC ${_sources})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${name} PUBLIC ${ARG_LINK})
endfunction()
