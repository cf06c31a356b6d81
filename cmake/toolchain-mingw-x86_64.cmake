# Cross build of the 64-bit Windows DLLs, engine and sylvo.exe with mingw-w64
# (x86-64):
#   cmake -S . -B build-win64 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-x86_64.cmake
# The posix thread model: the engine and sylvo.exe start std::threads, which
# GCC 12's win32 model lacks. Everything is linked statically (libgcc,
# libstdc++, winpthread), so the DLLs and the program need only system DLLs.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)

set(SYLVO_MINGW_PREFIX x86_64-w64-mingw32 CACHE STRING "Prefix of the mingw-w64 tools")
find_program(CMAKE_C_COMPILER NAMES ${SYLVO_MINGW_PREFIX}-gcc-posix ${SYLVO_MINGW_PREFIX}-gcc REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${SYLVO_MINGW_PREFIX}-g++-posix ${SYLVO_MINGW_PREFIX}-g++ REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${SYLVO_MINGW_PREFIX}-windres)
find_program(CMAKE_DLLTOOL NAMES ${SYLVO_MINGW_PREFIX}-dlltool)

set(CMAKE_FIND_ROOT_PATH /usr/${SYLVO_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
