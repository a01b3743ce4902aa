# Cross-compiling for 64-bit Windows with mingw-w64 (Debian: g++-mingw-w64-x86-64).
# The posix thread model gives the full C++ threading library; the DLL links its runtime statically.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(quor_mingw_prefix x86_64-w64-mingw32)

find_program(CMAKE_C_COMPILER NAMES ${quor_mingw_prefix}-gcc-posix ${quor_mingw_prefix}-gcc REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${quor_mingw_prefix}-g++-posix ${quor_mingw_prefix}-g++ REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${quor_mingw_prefix}-windres REQUIRED)

set(CMAKE_FIND_ROOT_PATH /usr/${quor_mingw_prefix})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
