# The project version: one line in VERSION at the top of the source tree, four numbers as a
# Windows version record holds them. Resource scripts take it from the generated
# zanvi_version.h; the manifest and `make dist` take the same text.
file(STRINGS ${CMAKE_SOURCE_DIR}/VERSION ZANVI_VERSION LIMIT_COUNT 1)
if(NOT ZANVI_VERSION MATCHES "^([0-9]+)\\.([0-9]+)\\.([0-9]+)\\.([0-9]+)$")
    message(FATAL_ERROR "VERSION must hold four numbers a.b.c.d, not '${ZANVI_VERSION}'")
endif()
foreach(_i 1 2 3 4)
    if(CMAKE_MATCH_${_i} GREATER 65535)
        message(FATAL_ERROR "VERSION ${ZANVI_VERSION}: each number must fit in 16 bits")
    endif()
endforeach()
string(REPLACE "." "," ZANVI_VERSION_NUMBERS "${ZANVI_VERSION}")
set_property(DIRECTORY ${CMAKE_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/VERSION)

set(ZANVI_GENERATED_DIR ${CMAKE_BINARY_DIR}/generated)
configure_file(${CMAKE_CURRENT_LIST_DIR}/zanvi_version.h.in ${ZANVI_GENERATED_DIR}/zanvi_version.h @ONLY)
include_directories(${ZANVI_GENERATED_DIR})

# windres writes no dependency file of its own; its preprocessor does, so that a resource
# script is built again when a header it includes (the version) changes.
set(CMAKE_DEPFILE_FLAGS_RC
    "--preprocessor-arg=-MMD --preprocessor-arg=-MF<DEP_FILE> --preprocessor-arg=-MT<OBJECT>")
