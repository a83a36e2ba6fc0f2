# Fails when a source file includes a header of a library above its own or
# beside it on the same floor. Libraries build one way only:
#   platform <- QuorData <- usagelog, ObjectEditor <- clients <- methods,
#   clustering <- app
# where clients are QuorDataClients and QuorMethodBase.* at the top of src.
# Run as: cmake -DSOURCE_DIR=<src> -P IncludeOrder.cmake

if(NOT SOURCE_DIR)
  message(FATAL_ERROR "SOURCE_DIR is not set")
endif()
get_filename_component(SOURCE_DIR "${SOURCE_DIR}" ABSOLUTE)

set(_floor_platform 0)
set(_floor_QuorData 1)
set(_floor_usagelog 2)
set(_floor_ObjectEditor 2)
set(_floor_clients 3)
set(_floor_methods 4)
set(_floor_clustering 4)
set(_floor_app 5)

# The library a path inside src (or an include path) belongs to; empty when
# it is none of them.
function(library_of path out)
  string(REGEX MATCH "^[^/]+" _first "${path}")
  if(_first STREQUAL "QuorDataClients" OR _first MATCHES "^QuorMethodBase\\.")
    set(_first clients)
  endif()
  if(DEFINED _floor_${_first})
    set(${out} ${_first} PARENT_SCOPE)
  else()
    set(${out} "" PARENT_SCOPE)
  endif()
endfunction()

file(GLOB_RECURSE _files RELATIVE ${SOURCE_DIR} ${SOURCE_DIR}/*.h ${SOURCE_DIR}/*.cpp)
set(_faults "")
set(_count 0)
foreach(_file IN LISTS _files)
  library_of("${_file}" _from)
  if(NOT _from)
    continue()
  endif()
  file(STRINGS ${SOURCE_DIR}/${_file} _lines REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
  foreach(_line IN LISTS _lines)
    string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([^\"]+)\".*$" "\\1" _header "${_line}")
    library_of("${_header}" _to)
    math(EXPR _count "${_count} + 1")
    if(NOT _to OR _to STREQUAL _from)
      continue()
    endif()
    if(NOT _floor_${_to} LESS _floor_${_from})
      list(APPEND _faults "${_file} includes ${_header} (${_from} may not include ${_to})")
    endif()
  endforeach()
endforeach()

if(_faults)
  list(JOIN _faults "\n  " _text)
  message(FATAL_ERROR "Includes against the library order:\n  ${_text}")
endif()
message(STATUS "${_count} includes follow the library order")
