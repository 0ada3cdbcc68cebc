# Include roots: each library sees only the headers of what it links.
#
# Sources include headers by folder ("engine/uTesselTypes.h",
# "platform/Files.h"), but no target has the source root on its include path.
# Instead every library gets its own root in the build tree,
#
#   ${PROJECT_BINARY_DIR}/include/<target>/<folder>  ->  <source>/<folder>
#
# a symbolic link to its source folder (or, for a small library that shares a
# folder with a larger one, a folder of links to its own headers only). The
# library exports that root PUBLIC, so a target finds "engine/..." only when
# it links engine, directly or through a PUBLIC dependency. Including a header
# of a library the target does not link, which is any layer above it, stops
# the build with "No such file or directory". tests/layers proves it layer by
# layer (ctest -L layers).
#
# Dependencies are linked PUBLIC only when the library's own headers include
# the other library's headers; everything else is PRIVATE. A target that
# includes a header of a lower layer names that layer itself.

# tessel_include_root(<target> [HEADERS <header>...])
#   Gives <target> the include root of the current source folder. With
#   HEADERS, only those headers of the folder are in it.
function(tessel_include_root target)
  cmake_parse_arguments(R "" "" "HEADERS" ${ARGN})
  file(RELATIVE_PATH folder ${PROJECT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR})
  set(root ${PROJECT_BINARY_DIR}/include/${target})
  set(link ${root}/${folder})
  # What an earlier configure left: a link to the folder, or links to headers.
  # file(REMOVE) removes links without following them.
  if(IS_SYMLINK ${link})
    file(REMOVE ${link})
  elseif(IS_DIRECTORY ${link})
    file(GLOB old LIST_DIRECTORIES true ${link}/*)
    if(old)
      file(REMOVE ${old})
    endif()
    file(REMOVE_RECURSE ${link})  # empty by now
  endif()
  if(R_HEADERS)
    file(MAKE_DIRECTORY ${link})
    foreach(header ${R_HEADERS})
      if(NOT EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${header})
        message(FATAL_ERROR "tessel_include_root(${target}): no header ${folder}/${header}")
      endif()
      file(CREATE_LINK ${CMAKE_CURRENT_SOURCE_DIR}/${header} ${link}/${header} SYMBOLIC)
    endforeach()
  else()
    get_filename_component(parent ${link} DIRECTORY)
    file(MAKE_DIRECTORY ${parent})
    file(CREATE_LINK ${CMAKE_CURRENT_SOURCE_DIR} ${link} SYMBOLIC)
  endif()
  target_include_directories(${target} PUBLIC ${root})
endfunction()
