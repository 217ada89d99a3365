# Cross-build for 64-bit Windows with Debian's MinGW-w64 (g++-mingw-w64-x86-64-posix), its tests
# run under Wine: cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(RX_MINGW x86_64-w64-mingw32)
# The posix flavour has std::thread and friends, which the win32 flavour lacks.
set(CMAKE_C_COMPILER ${RX_MINGW}-gcc-posix)
set(CMAKE_CXX_COMPILER ${RX_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER ${RX_MINGW}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${RX_MINGW})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Without Qt, libstdc++, libgcc and winpthread are linked in: the programs run without MinGW's
# DLLs beside them. Qt's DLLs load MinGW's C++ runtime DLL, and a program built with them uses
# that same one, so that one C++ runtime is loaded.
if(NOT RX_QT_WINDOWS)
  set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
endif()

# Test programs (and GoogleTest's listing of their tests) run under Wine 10 from the Debian 13
# root (tools/wine10-root.sh makes it; tools/wine10-run.sh enters it), in a prefix of the build's
# own, quietly, without offering to install Mono or Gecko.
if(NOT DEFINED CMAKE_CROSSCOMPILING_EMULATOR)
  get_filename_component(RX_WINE10_RUN ${CMAKE_CURRENT_LIST_DIR}/../tools/wine10-run.sh ABSOLUTE)
  set(CMAKE_CROSSCOMPILING_EMULATOR
    /usr/bin/env WINEPREFIX=${CMAKE_BINARY_DIR}/wine-prefix WINEDEBUG=-all
    WINEDLLOVERRIDES=mscoree,mshtml= ${RX_WINE10_RUN} wine64)
endif()
