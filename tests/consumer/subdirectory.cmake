# Configures, builds and runs the add_subdirectory consumer against the source tree. Only the
# library is built there: tests, tools, examples and install rules are off below a top-level
# project by default.
file(REMOVE_RECURSE ${WORK_DIR})
foreach(step
    "${CMAKE_COMMAND};-S;${CONSUMER_DIR}/subdirectory;-B;${WORK_DIR};-DCMAKE_BUILD_TYPE=Release;-DVELXMLN_SOURCE_DIR=${SOURCE_DIR}"
    "${CMAKE_COMMAND};--build;${WORK_DIR};-j;2"
    "${WORK_DIR}/consumer")
  execute_process(COMMAND ${step} RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "command failed (${result}): ${step}\n${out}\n${err}")
  endif()
endforeach()
message(STATUS "${out}")
