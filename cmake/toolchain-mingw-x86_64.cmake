# Cross-building the Windows programs with Debian's mingw-w64 (posix threads):
#   cmake -S . -B build-win-x86_64 -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-x86_64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TARVO_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TARVO_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TARVO_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${TARVO_MINGW_TRIPLE}-windres)
# The libraries cross-built by scripts/build-windows.sh live in TARVO_WIN_DEPS_DIR.
set(CMAKE_FIND_ROOT_PATH /usr/${TARVO_MINGW_TRIPLE} ${TARVO_WIN_DEPS_DIR})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# The programs need no DLL beside them but Windows' own.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
# Unicode Windows API only (the ...W functions), and no min/max macros.
add_compile_definitions(UNICODE _UNICODE NOMINMAX WIN32_LEAN_AND_MEAN _WIN32_WINNT=0x0601)
# This machine runs 64-bit Windows programs (and so the tests) under Wine.
find_program(TARVO_WINE64 NAMES wine64 PATHS /usr/lib/wine NO_DEFAULT_PATH)
if(TARVO_WINE64)
  # Each build tree runs its programs in a Wine prefix of its own.
  set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh ${CMAKE_BINARY_DIR}/wineprefix)
endif()
