# Helpers shared by the project's CMake files.

# Windows form of a build path as a Windows program under Wine sees it (Z: is the Unix root).
function(zanvi_wine_path out unix_path)
    string(REPLACE "/" "\\\\" _p "${unix_path}")
    set(${out} "Z:${_p}" PARENT_SCOPE)
endfunction()

# A test program: GoogleTest, the test support library, run by ctest under Wine.
# zanvi_test(NAME name SOURCES ... [LIBS ...] [DEPENDS target ...])
function(zanvi_test)
    cmake_parse_arguments(T "" "NAME" "SOURCES;LIBS;DEPENDS" ${ARGN})
    add_executable(${T_NAME} ${T_SOURCES})
    target_link_libraries(${T_NAME} PRIVATE zanvi_test_support ${T_LIBS} gtest)
    set_target_properties(${T_NAME} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${ZANVI_TEST_DIR})
    if(T_DEPENDS)
        add_dependencies(${T_NAME} ${T_DEPENDS})
    endif()
    add_test(NAME ${T_NAME} COMMAND ${T_NAME})
    set_tests_properties(${T_NAME} PROPERTIES TIMEOUT 300)
endfunction()
