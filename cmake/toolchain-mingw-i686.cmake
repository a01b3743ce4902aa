# Cross-compiling for 32-bit Windows with mingw-w64 (Debian: g++-mingw-w64-i686).
# The posix thread model gives the full C++ threading library; the DLL links its runtime statically.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)
set(quor_mingw_prefix i686-w64-mingw32)

find_program(CMAKE_C_COMPILER NAMES ${quor_mingw_prefix}-gcc-posix ${quor_mingw_prefix}-gcc REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${quor_mingw_prefix}-g++-posix ${quor_mingw_prefix}-g++ REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${quor_mingw_prefix}-windres REQUIRED)

set(CMAKE_FIND_ROOT_PATH /usr/${quor_mingw_prefix})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
