# Cross-build for 64-bit Windows with the Debian mingw-w64 compilers (POSIX thread model, which
# std::thread and GoogleTest need) and run the test programs under wine.
#
#   cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
#         -DGTest_DIR=<gtest prefix>/lib/cmake/GTest -DZELCONV_UI=OFF -DZELCONV_BENCH=OFF
#
# A GoogleTest built with this same toolchain is looked for under ZELCONV_MINGW_PREFIX (a
# semicolon list, default: build-win-deps/gtest next to the source tree); scripts/windows-tests.sh
# builds it there when it is missing.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(_zel_triple x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${_zel_triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${_zel_triple}-g++-posix)
set(CMAKE_RC_COMPILER ${_zel_triple}-windres)
find_program(CMAKE_AR NAMES ${_zel_triple}-gcc-ar-posix ${_zel_triple}-ar)
find_program(CMAKE_RANLIB NAMES ${_zel_triple}-gcc-ranlib-posix ${_zel_triple}-ranlib)

if(NOT DEFINED ZELCONV_MINGW_PREFIX)
    get_filename_component(_zel_root "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)
    set(ZELCONV_MINGW_PREFIX "${_zel_root}/build-win-deps/gtest")
endif()
# Keep the setting for the try_compile projects, which read this file again.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES ZELCONV_MINGW_PREFIX)

# Libraries and headers come from the mingw sysroot and the cross-built prefixes only; programs
# (compilers, wine) from the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${_zel_triple} ${ZELCONV_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Test programs run under wine (ctest and gtest_discover_tests use the emulator), through a
# script that tries a start again when wine fails to start the program at all.
find_program(ZELCONV_WINE NAMES wine wine64 PATHS /usr/lib/wine)
if(ZELCONV_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR "${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-test.sh;${ZELCONV_WINE}")
endif()

# List the tests of a GoogleTest program when ctest runs, not after every link, so that building
# needs no wine.
set(CMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE PRE_TEST)
