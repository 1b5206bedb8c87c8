# cmake -DFILE=<path> -P check_json.cmake: fails unless the file is one valid
# JSON document (CMake's own parser, so no tool beyond CMake is needed).
file(READ "${FILE}" text)
string(JSON kind ERROR_VARIABLE error TYPE "${text}")
if(error)
  message(FATAL_ERROR "${FILE}: ${error}")
endif()
message(STATUS "${FILE}: valid JSON (${kind})")
