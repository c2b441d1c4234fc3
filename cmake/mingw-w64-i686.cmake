# Cross build for 32-bit Windows: the Kurdb.exe that ships. The suite and its database engine are
# 32-bit programs, and so is the wizard that loads the engine and prepares it. This machine cannot
# run 32-bit programs (no 32-bit Wine), so this build has no emulator: its tests are static checks
# of the image, and the 64-bit build of the same sources (mingw-w64-x86_64.cmake) runs the
# program's tests under Wine.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(KURDB_MINGW_PREFIX i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
