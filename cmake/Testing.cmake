# GoogleTest for both builds. Linux uses Debian's installed GoogleTest; the Windows cross build
# compiles the sources that Debian's googletest package ships (or KURDB_GTEST_SOURCE).
set(KURDB_GTEST_SOURCE "/usr/src/googletest" CACHE PATH "GoogleTest source tree for cross builds")

if(CMAKE_CROSSCOMPILING OR WIN32)
  find_package(GTest QUIET)
  if(NOT GTest_FOUND)
    if(NOT EXISTS ${KURDB_GTEST_SOURCE}/CMakeLists.txt)
      message(FATAL_ERROR "GoogleTest not found: set KURDB_GTEST_SOURCE to its source tree")
    endif()
    set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
    set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
    add_subdirectory(${KURDB_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
    foreach(lib gtest gtest_main gmock)
      if(NOT TARGET GTest::${lib})
        add_library(GTest::${lib} ALIAS ${lib})
      endif()
    endforeach()
  endif()
else()
  find_package(GTest REQUIRED)
  include(GoogleTest)
endif()

# kurdb_add_gtest(<name> SOURCES ... LIBS ... [LABELS ...] [FIXTURES ...] [ENVIRONMENT ...]
#                 [RESOURCE_LOCK <name>])
# RESOURCE_LOCK: the program's tests never run beside each other (they share server-wide state).
# Linux: every test case becomes a CTest test. Windows (run under Wine by the toolchain's
# emulator): one CTest test per program, since each start of Wine costs seconds.
function(kurdb_add_gtest name)
  cmake_parse_arguments(ARG "" "TIMEOUT;RESOURCE_LOCK" "SOURCES;LIBS;LABELS;FIXTURES;ENVIRONMENT" ${ARGN})
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 300)
  endif()
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main kurdb_options)
  if(CMAKE_CROSSCOMPILING OR WIN32)
    add_test(NAME ${name} COMMAND ${name})
    set(tests ${name})
  else()
    gtest_discover_tests(${name} TEST_PREFIX "${name}." DISCOVERY_TIMEOUT 60
      PROPERTIES TIMEOUT ${ARG_TIMEOUT} LABELS "${ARG_LABELS}" RESOURCE_LOCK "${ARG_RESOURCE_LOCK}")
    if(ARG_ENVIRONMENT OR ARG_FIXTURES)
      # gtest_discover_tests hands every list element of a property on as an argument of its
      # own, which cuts an environment of several variables (or several fixtures) apart. Set
      # them after discovery from an include file that CTest reads after the discovery's own.
      set(env_file ${CMAKE_CURRENT_BINARY_DIR}/${name}_environment.cmake)
      file(WRITE ${env_file}
        "foreach(t IN LISTS ${name}_TESTS)\n"
        "  set_tests_properties(\"\${t}\" PROPERTIES ENVIRONMENT \"${ARG_ENVIRONMENT}\"\n"
        "                       FIXTURES_REQUIRED \"${ARG_FIXTURES}\")\n"
        "endforeach()\n")
      set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${env_file})
    endif()
    return()
  endif()
  set_tests_properties(${tests} PROPERTIES TIMEOUT ${ARG_TIMEOUT} LABELS "${ARG_LABELS}")
  if(ARG_FIXTURES)
    set_tests_properties(${tests} PROPERTIES FIXTURES_REQUIRED "${ARG_FIXTURES}")
  endif()
  if(ARG_ENVIRONMENT)
    set_tests_properties(${tests} PROPERTIES ENVIRONMENT "${ARG_ENVIRONMENT}")
  endif()
  if(ARG_RESOURCE_LOCK)
    set_tests_properties(${tests} PROPERTIES RESOURCE_LOCK "${ARG_RESOURCE_LOCK}")
  endif()
endfunction()
