# Fails unless the library's dynamic symbol table defines exactly the EXPECTED names.
# Usage: cmake -DNM=<nm> -DLIBRARY=<file> -DEXPECTED=<name;name> -P check_exports.cmake
execute_process(COMMAND ${NM} -D --defined-only --format=just-symbols ${LIBRARY}
                OUTPUT_VARIABLE symbols RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "nm failed on ${LIBRARY}")
endif()
string(REGEX REPLACE "\n$" "" symbols "${symbols}")
string(REPLACE "\n" ";" symbols "${symbols}")
list(SORT symbols)
set(expected ${EXPECTED})
list(SORT expected)
if(NOT symbols STREQUAL expected)
  message(FATAL_ERROR "${LIBRARY} defines [${symbols}], expected exactly [${expected}]")
endif()
message(STATUS "${LIBRARY}: ${symbols}")
