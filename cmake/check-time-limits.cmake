# Run as a test (cmake -DDIR=<build tree> -P check-time-limits.cmake): fails
# when a test of the tree has no time limit of its own, which would leave it
# to ctest's default of 1,500 s.
execute_process(COMMAND ${CMAKE_CTEST_COMMAND} --show-only=json-v1 WORKING_DIRECTORY ${DIR}
                OUTPUT_VARIABLE json RESULT_VARIABLE listed)
if(NOT listed EQUAL 0)
  message(FATAL_ERROR "ctest could not list the tests of ${DIR}")
endif()
string(JSON count LENGTH "${json}" tests)
set(missing "")
math(EXPR last "${count} - 1")
foreach(i RANGE ${last})
  string(JSON name GET "${json}" tests ${i} name)
  string(JSON properties ERROR_VARIABLE none GET "${json}" tests ${i} properties)
  if(NOT properties MATCHES "\"name\" : \"TIMEOUT\"")
    list(APPEND missing ${name})
  endif()
endforeach()
if(missing)
  message(FATAL_ERROR "tests without a time limit of their own (TIMEOUT): ${missing}")
endif()
message(STATUS "${count} tests, each with its own time limit")
