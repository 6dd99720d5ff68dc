# Checks the names of every test registered in the build folder BUILD (as CTEST lists them): each
# at most MAX characters and no two alike, so that a line of ctest's output says which library and
# case it is and fits in 160 columns. ctest pads every name with dots to the longest one and writes
# up to some 64 characters around it: the count and number, the result ("***Exception: SegFault"
# the longest) and the time.
cmake_minimum_required(VERSION 3.25)

execute_process(COMMAND "${CTEST}" --test-dir "${BUILD}" --show-only=json-v1
                OUTPUT_VARIABLE json ERROR_VARIABLE errors RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "ctest --show-only failed (${rc}): ${errors}")
endif()
string(JSON count LENGTH "${json}" tests)
math(EXPR last "${count} - 1")
set(names "")
set(problems "")
foreach(i RANGE ${last})
  string(JSON name GET "${json}" tests ${i} name)
  string(LENGTH "${name}" length)
  if(length GREATER MAX)
    string(APPEND problems "\n  ${length} characters (at most ${MAX}): ${name}")
  endif()
  list(APPEND names "${name}")
endforeach()
list(SORT names)
set(previous "")
foreach(name IN LISTS names)
  if(name STREQUAL previous)
    string(APPEND problems "\n  registered more than once: ${name}")
  endif()
  set(previous "${name}")
endforeach()
if(NOT problems STREQUAL "")
  message(FATAL_ERROR "test names to fix:${problems}")
endif()
message(STATUS "${count} test names, each unique and at most ${MAX} characters")
