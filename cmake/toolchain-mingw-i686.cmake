# Cross-building the Windows programs with Debian's mingw-w64 (posix threads):
#   cmake -S . -B build-win-i686 -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-i686.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(TARVO_MINGW_TRIPLE i686-w64-mingw32)
set(CMAKE_C_COMPILER ${TARVO_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TARVO_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${TARVO_MINGW_TRIPLE}-windres)
# The libraries cross-built by scripts/build-windows.sh live in TARVO_WIN_DEPS_DIR.
set(CMAKE_FIND_ROOT_PATH /usr/${TARVO_MINGW_TRIPLE} ${TARVO_WIN_DEPS_DIR})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Every processor Windows still runs on has SSE2; the CRC-32 and inflate paths use it.
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse")
# The programs need no DLL beside them but Windows' own.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
# Unicode Windows API only (the ...W functions), and no min/max macros.
add_compile_definitions(UNICODE _UNICODE NOMINMAX WIN32_LEAN_AND_MEAN _WIN32_WINNT=0x0601)
