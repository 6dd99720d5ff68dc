# Writes OUTPUT, the CTest registration of every test of the GoogleTest program PROGRAM: one CTest
# test per case, named PREFIX.<suite>.<case> as the program names it, so a typed or parameterised
# case carries the name its suite's name generator gives it, never its type or value. Each test
# runs in WORKING_DIRECTORY, takes CORES slots of the cores resource and carries LABELS (empty or
# one label); a disabled case is registered disabled. Run after every link of the program (see
# dt_discover_tests in the top CMakeLists.txt).
cmake_minimum_required(VERSION 3.25)

execute_process(COMMAND "${PROGRAM}" --gtest_list_tests
                OUTPUT_VARIABLE listing ERROR_VARIABLE errors RESULT_VARIABLE rc TIMEOUT 60)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "${PROGRAM} --gtest_list_tests failed (${rc}):\n${listing}${errors}")
endif()

# A suite line is "Suite." and a case line "  Case", each perhaps followed by "  # " and the type
# or value; names are identifiers joined by '/', so list separators and brackets can only stand in
# those comments and are dropped before the text is split into lines.
string(REGEX REPLACE "[][;]" "" listing "${listing}")
string(REPLACE "\n" ";" lines "${listing}")
set(properties "WORKING_DIRECTORY [==[${WORKING_DIRECTORY}]==] RESOURCE_GROUPS cores:${CORES} SKIP_REGULAR_EXPRESSION [==[\\[  SKIPPED \\]]==]")
if(LABELS)
  string(APPEND properties " LABELS ${LABELS}")
endif()
set(script "")
set(suite "")
foreach(line IN LISTS lines)
  if(line MATCHES "^([A-Za-z0-9_/]+)\\.( +#.*)?$")
    set(suite "${CMAKE_MATCH_1}")
  elseif(line MATCHES "^  ([A-Za-z0-9_/]+)( +#.*)?$" AND NOT suite STREQUAL "")
    set(test "${suite}.${CMAKE_MATCH_1}")
    string(APPEND script "add_test([==[${PREFIX}.${test}]==] [==[${PROGRAM}]==] --gtest_filter=${test})\n"
                         "set_tests_properties([==[${PREFIX}.${test}]==] PROPERTIES ${properties})\n")
    if(test MATCHES "(^|[./])DISABLED_")
      string(APPEND script "set_tests_properties([==[${PREFIX}.${test}]==] PROPERTIES DISABLED TRUE)\n")
    endif()
  endif()
endforeach()
if(script STREQUAL "")
  message(FATAL_ERROR "${PROGRAM} lists no tests:\n${listing}")
endif()
file(WRITE "${OUTPUT}" "${script}")
