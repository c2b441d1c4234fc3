# The layers of the program, held by the build. Bottom up:
#
#   base       the error kind and text conversions that every layer uses
#   shell      platform services (shell/win32 and shell/posix are its back ends)
#   db         the database client
#   setup      the server's setup steps
#   app        the controller, no GUI
#   app/qt, app/win32   the front ends
#
# resources/ (the embedded texts) is used by db and app; downloader/ is a program of its own.
#
# A layer's sources include the headers of their own layer and of the layers below it, always by
# their path from the repository root ("db/Errors.h"), and nothing else. The build makes that the
# only thing that compiles: instead of the repository root, each layer's target exposes an include
# root of its own in the build tree that holds only the layer's folder, as a symbolic link
#
#   <build>/layers/db/db -> <source>/db
#
# and a layer reaches a lower layer's root only by linking its target. "app/Kurdb.h" named in a
# source of db/ is not found. The tests (tests/support) and the bench see what they need.
#
#   kurdb_layer_root(<variable> <folder> [EXCEPT <subfolder>...])
#     Makes the include root of <folder> (a path from the repository root, e.g. "shell" or
#     "app/qt") and sets <variable> to it, for target_include_directories. With EXCEPT, the
#     root holds links to the folder's entries instead of one to the folder, leaving out the
#     subfolders named (app/ without the front ends below it); an entry added to the folder
#     later reaches the root when the build next checks its files (CONFIGURE_DEPENDS).
#
# Where the host cannot make symbolic links (Windows without the right to), the root is the
# repository root, as it was before the layers were held: the program builds, and the Linux
# builds hold the rule.
function(kurdb_layer_root variable folder)
  cmake_parse_arguments(ARG "" "" "EXCEPT" ${ARGN})
  string(REPLACE "/" "-" name "${folder}")
  set(root ${CMAKE_BINARY_DIR}/layers/${name})
  set(source ${PROJECT_SOURCE_DIR}/${folder})
  set(links)
  if(ARG_EXCEPT)
    file(GLOB entries CONFIGURE_DEPENDS LIST_DIRECTORIES true RELATIVE ${source} ${source}/*)
    list(REMOVE_ITEM entries ${ARG_EXCEPT})
    # links of entries that are gone or left out since the last configure
    file(GLOB old LIST_DIRECTORIES true RELATIVE ${root}/${folder} ${root}/${folder}/*)
    foreach(entry IN LISTS old)
      if(NOT entry IN_LIST entries)
        file(REMOVE ${root}/${folder}/${entry})
      endif()
    endforeach()
    foreach(entry IN LISTS entries)
      list(APPEND links ${source}/${entry} ${root}/${folder}/${entry})
    endforeach()
  else()
    set(links ${source} ${root}/${folder})
  endif()
  while(links)
    list(POP_FRONT links target link)
    get_filename_component(parent ${link} DIRECTORY)
    file(MAKE_DIRECTORY ${parent})
    file(CREATE_LINK ${target} ${link} SYMBOLIC RESULT failed)
    if(failed)
      message(STATUS "Layers not held: no symbolic link ${link} (${failed})")
      set(${variable} ${PROJECT_SOURCE_DIR} PARENT_SCOPE)
      return()
    endif()
  endwhile()
  set(${variable} ${root} PARENT_SCOPE)
endfunction()
