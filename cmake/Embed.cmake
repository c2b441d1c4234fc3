# Embeds resource files into the program as byte arrays, the same way on every platform.
#
#   kurdb_embed_resources(<target> BASE <dir> FILES <relative paths>... [CONTROLS <window definition>])
#
# creates a static library <target> with one function,
#   std::string_view kurdb::resources::Find(std::string_view name)
# where name is the file's path relative to BASE ("window.def", "sql/QFirmaDB.sql").
# CONTROLS names the window definition among FILES: the same step writes the header
# "resources/ControlNames.h" with one constant kurdb::controls::<name> per control it defines,
# so that code names a control through the compiler, never by a string it types.
# The generated files are rebuilt whenever one of the files changes.

set(_KURDB_EMBED_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/EmbedGenerate.cmake)

function(kurdb_embed_resources target)
  cmake_parse_arguments(ARG "" "BASE;CONTROLS" "FILES" ${ARGN})
  set(out ${CMAKE_CURRENT_BINARY_DIR}/${target}_data.cpp)
  set(generated_dir ${CMAKE_CURRENT_BINARY_DIR}/${target}_include)
  set(abs_files)
  foreach(f IN LISTS ARG_FILES)
    list(APPEND abs_files ${ARG_BASE}/${f})
  endforeach()
  string(REPLACE ";" "|" files_arg "${ARG_FILES}")
  set(outputs ${out})
  set(controls_args)
  if(ARG_CONTROLS)
    set(controls_header ${generated_dir}/resources/ControlNames.h)
    list(APPEND outputs ${controls_header})
    set(controls_args -DCONTROLS=${ARG_BASE}/${ARG_CONTROLS} -DCONTROLS_OUT=${controls_header})
  endif()
  add_custom_command(
    OUTPUT ${outputs}
    COMMAND ${CMAKE_COMMAND} -DBASE=${ARG_BASE} "-DFILES=${files_arg}" -DOUT=${out} ${controls_args}
            -P ${_KURDB_EMBED_SCRIPT}
    DEPENDS ${abs_files} ${_KURDB_EMBED_SCRIPT}
    COMMENT "Embedding resources into ${target}"
    VERBATIM)
  add_library(${target} STATIC ${outputs})
  target_include_directories(${target} PUBLIC ${generated_dir})
endfunction()

#   kurdb_embed_payloads(<target> [<name> <file>]...)
#
# creates a static library <target> holding the files a packager gave at configure time, each
# under its payload name, as kurdb::payloads::Entries() (shell/PayloadTable.h). <file> may be a
# generator expression (a target's file); with no pairs the table is empty.
function(kurdb_embed_payloads target)
  set(out ${CMAKE_CURRENT_BINARY_DIR}/${target}_data.cpp)
  set(names)
  set(files)
  set(args ${ARGN})
  while(args)
    list(POP_FRONT args name file)
    list(APPEND names ${name})
    list(APPEND files ${file})
  endwhile()
  string(REPLACE ";" "|" names_arg "${names}")
  string(REPLACE ";" "|" files_arg "${files}")
  add_custom_command(
    OUTPUT ${out}
    COMMAND ${CMAKE_COMMAND} -DMODE=payloads "-DNAMES=${names_arg}" "-DFILES=${files_arg}"
            -DOUT=${out} -P ${_KURDB_EMBED_SCRIPT}
    DEPENDS ${files} ${_KURDB_EMBED_SCRIPT}
    COMMENT "Embedding payloads into ${target}"
    VERBATIM)
  add_library(${target} STATIC ${out})
  set_target_properties(${target} PROPERTIES KURDB_PAYLOAD_NAMES "${names}")
endfunction()
