# Cross build for 64-bit Windows: the same sources as the shipped 32-bit build, and the one whose
# test programs run here under Wine, through cmake/wine-run.sh.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(KURDB_MINGW_PREFIX x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh)
