# Shared part of the two mingw-w64 toolchain files; ZANVI_TARGET is i686 or x86_64.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${ZANVI_TARGET})
set(_triple ${ZANVI_TARGET}-w64-mingw32)
# The win32 thread model: its runtime uses the Win32 primitives directly. The posix model's
# statically linked thread runtime leaves a TLS index, a thread handle and an event behind on
# every load of a library that uses the C++ runtime on the host's thread, until the host aborts.
set(CMAKE_C_COMPILER   ${_triple}-gcc-win32)
set(CMAKE_CXX_COMPILER ${_triple}-g++-win32)
set(CMAKE_RC_COMPILER  ${_triple}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${_triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Test programs run under Wine: the x86_64 ones in the project's prefix, the i686 ones inside
# the 32-bit Wine root, each in a fresh copy of its prefix template.
if(ZANVI_TARGET STREQUAL "i686")
    set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine32_run_test.sh)
else()
    set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine_run.sh)
endif()
