# Cross build of the 32-bit Windows DLLs with mingw-w64 (i686):
#   cmake -S . -B build/mingw -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-i686.cmake
# The win32 thread model: the libraries start no threads, and the posix
# model would add a dependency on the winpthread DLL.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)

set(SYLVO_MINGW_PREFIX i686-w64-mingw32 CACHE STRING "Prefix of the mingw-w64 tools")
find_program(CMAKE_C_COMPILER NAMES ${SYLVO_MINGW_PREFIX}-gcc-win32 ${SYLVO_MINGW_PREFIX}-gcc REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${SYLVO_MINGW_PREFIX}-g++-win32 ${SYLVO_MINGW_PREFIX}-g++ REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${SYLVO_MINGW_PREFIX}-windres)
find_program(CMAKE_DLLTOOL NAMES ${SYLVO_MINGW_PREFIX}-dlltool)

set(CMAKE_FIND_ROOT_PATH /usr/${SYLVO_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
