# System DLLs of the Windows programs, loaded from the system directory only.
#
#   kurdb_add_system_dlls(<name> <dll>...)
#     An interface library that a program links instead of the DLLs' import libraries: each DLL
#     is delay-loaded (its first call loads it, through the hook of shell/win32/dll_search_win32.cpp,
#     which is compiled into the program), so the program's import table names only KERNEL32.dll
#     and msvcrt.dll, which Windows always maps from the system directory.
set(_kurdb_system_dlls_dir ${CMAKE_CURRENT_LIST_DIR})

function(kurdb_add_system_dlls name)
  add_library(${name} INTERFACE)
  target_sources(${name} INTERFACE ${PROJECT_SOURCE_DIR}/shell/win32/dll_search_win32.cpp)
  # and the header it implements, for the program that compiles it (cmake/Layers.cmake)
  kurdb_layer_root(shell_root shell)
  target_include_directories(${name} INTERFACE ${shell_root})
  if(MSVC)
    foreach(dll IN LISTS ARGN)
      target_link_libraries(${name} INTERFACE ${dll})
      target_link_options(${name} INTERFACE /DELAYLOAD:${dll}.dll)
    endforeach()
    target_link_libraries(${name} INTERFACE delayimp)
    return()
  endif()
  if(NOT KURDB_MINGW_PREFIX)
    message(FATAL_ERROR "kurdb_add_system_dlls: the toolchain file sets no KURDB_MINGW_PREFIX")
  endif()
  # made when the build is configured: they depend only on the toolchain's import libraries
  set(libraries)
  foreach(dll IN LISTS ARGN)
    set(delay ${CMAKE_BINARY_DIR}/delayload/lib${dll}_delay.a)
    if(NOT EXISTS ${delay})
      file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/delayload)
      execute_process(
        COMMAND sh ${_kurdb_system_dlls_dir}/make-delay-library.sh ${KURDB_MINGW_PREFIX}
                /usr/${KURDB_MINGW_PREFIX}/lib/lib${dll}.a ${dll}.dll ${delay}
        RESULT_VARIABLE result)
      if(NOT result EQUAL 0)
        message(FATAL_ERROR "no delay-load library for ${dll}.dll")
      endif()
    endif()
    list(APPEND libraries ${delay})
  endforeach()
  # the delay helper (__delayLoadHelper2, libmingwex) and what it calls (msvcrt) after them
  target_link_libraries(${name} INTERFACE ${libraries} mingwex msvcrt)
endfunction()
