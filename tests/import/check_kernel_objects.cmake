# The copies of the GeoJSON feed reader compiled for one simdjson kernel each
# must not bring shared code (inline functions, template instances) of their
# own: the linker keeps one copy of such code, and if it kept one built with
# AVX2, processors without it would fault anywhere in the program. Every
# code symbol a copy defines must be its own (in its kernel's namespaces) or
# be defined by the baseline copy too, which the linker meets first.
#   cmake -DNM=nm -DOBJECT_DIR=dir -P check_kernel_objects.cmake
cmake_minimum_required(VERSION 3.16)
function(shared_code object out)
  execute_process(COMMAND ${NM} -C --defined-only ${object} OUTPUT_VARIABLE symbols RESULTS_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${NM} failed on ${object}")
  endif()
  string(REPLACE "\n" ";" lines "${symbols}")
  set(names)
  foreach(line IN LISTS lines)
    # Weak (W), unique (u) and global (T) code; V (weak data: type
    # information, vtables pointing at such code) is the same in every copy.
    if(line MATCHES "^[0-9a-f]+ [WuT] (.*)$")
      list(APPEND names "${CMAKE_MATCH_1}")
    endif()
  endforeach()
  set(${out} "${names}" PARENT_SCOPE)
endfunction()

file(GLOB_RECURSE baseline "${OBJECT_DIR}/sismap_import.dir/downloads/geojson_feed.cpp.o")
if(NOT baseline)
  message(FATAL_ERROR "no baseline copy of the GeoJSON feed reader under ${OBJECT_DIR}")
endif()
shared_code(${baseline} baseline_names)
file(GLOB_RECURSE objects "${OBJECT_DIR}/sismap_import_kernels.dir/geojson_feed_*.o")
list(LENGTH objects count)
if(count EQUAL 0)
  message(FATAL_ERROR "no kernel copies of the GeoJSON feed reader under ${OBJECT_DIR}")
endif()
foreach(object IN LISTS objects)
  string(REGEX MATCH "geojson_feed_([a-z0-9]+)" found "${object}")
  set(kernel ${CMAKE_MATCH_1})
  shared_code(${object} names)
  foreach(name IN LISTS names)
    if(NOT name MATCHES "geojson_feed_${kernel}::|simdjson::${kernel}::" AND NOT name IN_LIST baseline_names)
      message(FATAL_ERROR "${object} defines shared code the baseline copy does not: ${name}")
    endif()
  endforeach()
  message(STATUS "${kernel}: ${object} shares no code")
endforeach()
