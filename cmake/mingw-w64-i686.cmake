# Cross build for 32-bit Windows with Debian's mingw-w64 (posix thread model): the Kurdb.exe that
# ships. The suite and its database engine are 32-bit programs, and so is the wizard that loads
# the engine and prepares it. This machine cannot run 32-bit programs (no 32-bit Wine), so this
# build has no emulator: its tests are static checks of the image, and the 64-bit build of the
# same sources (mingw-w64-x86_64.cmake) runs the program's tests under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER i686-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/i686-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(KURDB_MINGW_PREFIX i686-w64-mingw32)
