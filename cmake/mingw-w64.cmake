# Cross-build for 64-bit Windows with Debian's MinGW-w64 (posix threads variant)
# and the test programs run under wine. On its own it configures the whole
# Windows build, a release build unless told otherwise: the programs, their
# tests, and the targets installer and zip.
#   cmake -S . -B build/win -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake
#   cmake --build build/win && cmake --build build/win --target installer
# The mingw preset is the same as a debug build:
#   cmake --preset mingw && cmake --build --preset mingw && ctest --preset mingw
# The plain x86_64-w64-mingw32-g++ is the win32-threads variant without
# std::mutex/std::thread, hence the -posix compilers.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(VANDREL_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${VANDREL_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VANDREL_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${VANDREL_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${VANDREL_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Self-contained executables: no libgcc/libstdc++/winpthread DLLs to copy next
# to them, under wine or on a Windows machine.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# Test programs (and anything CMake runs at build or test time) go through wine.
# Debian ships the 64-bit loader outside PATH; /usr/bin/wine picks it.
find_program(VANDREL_WINE NAMES wine wine64 PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(VANDREL_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${VANDREL_WINE})
endif()

# GoogleTest for the target is built from source (Debian's libgtest-dev is
# for Linux); tests/CMakeLists.txt falls back to this tree.
set(VANDREL_GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest sources for the cross-build")
