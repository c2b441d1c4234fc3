# The test layer_rule (tests/unit/CMakeLists.txt), run as cmake -DBUILD_DIR=<build tree> -P:
# builds the probe db/layer_probe.cpp as a source of db/ twice. Naming one of db's own headers it
# must build, which proves that the second build, naming app/Kurdb.h, fails for that include alone.
function(build target result output)
  execute_process(COMMAND ${CMAKE_COMMAND} --build ${BUILD_DIR} --target ${target}
    RESULT_VARIABLE code OUTPUT_VARIABLE out ERROR_VARIABLE out)
  set(${result} ${code} PARENT_SCOPE)
  set(${output} "${out}" PARENT_SCOPE)
endfunction()

build(kurdb_layer_probe_own code out)
if(NOT code EQUAL 0)
  message(FATAL_ERROR "the probe that includes db/Errors.h does not build as a source of db/:\n${out}")
endif()
build(kurdb_layer_probe_upper code out)
if(code EQUAL 0)
  message(FATAL_ERROR "a source of db/ that includes app/Kurdb.h builds: the layers are not held")
endif()
if(NOT out MATCHES "app/Kurdb\\.h'?:? (No such file|file not found)|Cannot open include file: 'app/Kurdb\\.h'")
  message(FATAL_ERROR "the probe failed, but not on its include of app/Kurdb.h:\n${out}")
endif()
message(STATUS "a source of db/ cannot include app/Kurdb.h")
