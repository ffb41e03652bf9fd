# The copies of the GeoJSON feed reader compiled for one simdjson kernel each
# must define no code shared with the rest of the program (inline functions,
# template instances): the linker keeps one copy of such code, and if it
# kept one built with AVX2, processors without it would fault anywhere in
# the program. Every defined symbol must be local to its copy: in its
# kernel's namespace or in simdjson's namespace for that kernel.
#   cmake -DNM=nm -DOBJECT_DIR=dir -P check_kernel_objects.cmake
file(GLOB_RECURSE objects "${OBJECT_DIR}/geojson_feed_*.o")
list(LENGTH objects count)
if(count EQUAL 0)
  message(FATAL_ERROR "no kernel copies of the GeoJSON feed reader under ${OBJECT_DIR}")
endif()
foreach(object IN LISTS objects)
  string(REGEX MATCH "geojson_feed_([a-z0-9]+)" found "${object}")
  set(kernel ${CMAKE_MATCH_1})
  execute_process(COMMAND ${NM} -C --defined-only ${object} OUTPUT_VARIABLE symbols RESULTS_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${NM} failed on ${object}")
  endif()
  string(REPLACE "\n" ";" lines "${symbols}")
  foreach(line IN LISTS lines)
    # Weak (W, V), unique (u) and global (T) code outside the copy's own
    # namespaces; DW.ref.__gxx_personality_v0 is a data pointer, the same
    # in every build.
    if(line MATCHES "^[0-9a-f]+ [WVuT] (.*)$")
      set(name "${CMAKE_MATCH_1}")
      if(NOT name MATCHES "geojson_feed_${kernel}::|simdjson::${kernel}::|^DW\\.ref\\.__gxx_personality_v0$")
        message(FATAL_ERROR "${object} defines shared code: ${name}")
      endif()
    endif()
  endforeach()
  message(STATUS "${kernel}: ${object} shares no code")
endforeach()
