# CTest fixture for the stand-in SQL Server (tools/standin).
#
#   kurdb_add_standin_fixture(NAME <fixture> PASSWORD <sa password> [ARGS <server options>...])
#     Adds the tests <fixture>_start (FIXTURES_SETUP) and <fixture>_stop (FIXTURES_CLEANUP). The first
#     starts the server in the background on a free loopback port and returns once it listens; the
#     second stops it. Files live in ${CMAKE_BINARY_DIR}/standin/<fixture>/: ready (the port, in
#     decimal, then a newline), pid, server.log, transcript.jsonl.
#     Sets <fixture>_ENVIRONMENT in the caller's scope: the list of variables a test of the fixture
#     needs, KURDB_TEST_READY_FILE=<ready file> and KURDB_TEST_STANDIN_PASSWORD=<password>.
#     The password must not contain ";" (CMake lists).
#
#   kurdb_use_standin_fixture(FIXTURE <fixture> TESTS <test>...)
#     Makes the tests require the fixture and gives them its environment.
#
# A test finds the server so: when KURDB_TEST_SERVER ("host,port") is set, that server with
# KURDB_TEST_USER and KURDB_TEST_PASSWORD (a real SQL Server); otherwise host 127.0.0.1, the port read
# from the file KURDB_TEST_READY_FILE, user sa and password KURDB_TEST_STANDIN_PASSWORD.

# Cache entries, so that the functions and KURDB_PYTHON work in every directory of the build, whichever
# directory included this file first.
if(NOT KURDB_PYTHON)
  find_package(Python3 COMPONENTS Interpreter QUIET)
  if(NOT CMAKE_HOST_WIN32 AND EXISTS /usr/bin/python3)
    # The system's own Python, not a per-user shim that may need the user's shell set-up.
    set(KURDB_PYTHON /usr/bin/python3 CACHE FILEPATH "Python 3 that runs the stand-in SQL Server")
  elseif(Python3_Interpreter_FOUND)
    set(KURDB_PYTHON ${Python3_EXECUTABLE} CACHE FILEPATH "Python 3 that runs the stand-in SQL Server")
  else()
    find_program(KURDB_PYTHON NAMES python3 python REQUIRED)
  endif()
endif()
get_filename_component(_kurdb_standin_control ${CMAKE_CURRENT_LIST_DIR}/../tools/standin/control.py ABSOLUTE)
set(KURDB_STANDIN_CONTROL ${_kurdb_standin_control} CACHE INTERNAL "start/stop helper of the stand-in")

function(kurdb_add_standin_fixture)
  cmake_parse_arguments(ARG "" "NAME;PASSWORD" "ARGS" ${ARGN})
  if(NOT ARG_NAME OR NOT DEFINED ARG_PASSWORD)
    message(FATAL_ERROR "kurdb_add_standin_fixture needs NAME and PASSWORD")
  endif()
  set(dir ${CMAKE_BINARY_DIR}/standin/${ARG_NAME})
  add_test(NAME ${ARG_NAME}_start
    COMMAND ${KURDB_PYTHON} ${KURDB_STANDIN_CONTROL} start --dir ${dir}
            -- --host 127.0.0.1 --port 0 --sa-password ${ARG_PASSWORD} ${ARG_ARGS})
  set_tests_properties(${ARG_NAME}_start PROPERTIES FIXTURES_SETUP ${ARG_NAME} TIMEOUT 60 LABELS standin)
  add_test(NAME ${ARG_NAME}_stop COMMAND ${KURDB_PYTHON} ${KURDB_STANDIN_CONTROL} stop --dir ${dir})
  set_tests_properties(${ARG_NAME}_stop PROPERTIES FIXTURES_CLEANUP ${ARG_NAME} TIMEOUT 60 LABELS standin)
  set_property(GLOBAL PROPERTY KURDB_STANDIN_${ARG_NAME}_ENVIRONMENT
               "KURDB_TEST_READY_FILE=${dir}/ready" "KURDB_TEST_STANDIN_PASSWORD=${ARG_PASSWORD}")
  set(${ARG_NAME}_ENVIRONMENT "KURDB_TEST_READY_FILE=${dir}/ready"
      "KURDB_TEST_STANDIN_PASSWORD=${ARG_PASSWORD}" PARENT_SCOPE)
endfunction()

function(kurdb_use_standin_fixture)
  cmake_parse_arguments(ARG "" "FIXTURE" "TESTS" ${ARGN})
  get_property(env GLOBAL PROPERTY KURDB_STANDIN_${ARG_FIXTURE}_ENVIRONMENT)
  if(NOT env)
    message(FATAL_ERROR "no stand-in fixture named ${ARG_FIXTURE}: call kurdb_add_standin_fixture first")
  endif()
  foreach(test IN LISTS ARG_TESTS)
    set_property(TEST ${test} APPEND PROPERTY FIXTURES_REQUIRED ${ARG_FIXTURE})
    set_property(TEST ${test} APPEND PROPERTY ENVIRONMENT ${env})
  endforeach()
endfunction()
