# The main job's benchmarks: runs each of PROGRAMS (paths separated by '|') with ARGS, its console
# rows going to RESULTS/<program>.txt and its JSON rows to RESULTS/<program>.json, then prints the
# report of SUMMARY over SECTIONS ('|'-separated triples: title, library, program name).
cmake_minimum_required(VERSION 3.25)

function(say text)
  execute_process(COMMAND ${CMAKE_COMMAND} -E echo "${text}")
endfunction()

string(REPLACE "|" ";" programs "${PROGRAMS}")
string(REPLACE "|" ";" sections "${SECTIONS}")
file(MAKE_DIRECTORY "${RESULTS}")

say("")
say("==== Benchmarks: each program's rows go to ${RESULTS}/<program>.txt and .json ====")
foreach(program IN LISTS programs)
  get_filename_component(name "${program}" NAME)
  string(TIMESTAMP start "%s")
  execute_process(COMMAND "${program}" ${ARGS} "--benchmark_out=${RESULTS}/${name}.json"
                          --benchmark_out_format=json
                  OUTPUT_FILE "${RESULTS}/${name}.txt" ERROR_FILE "${RESULTS}/${name}.txt"
                  RESULT_VARIABLE rc)
  string(TIMESTAMP stop "%s")
  math(EXPR took "${stop} - ${start}")
  if(NOT rc EQUAL 0)
    file(READ "${RESULTS}/${name}.txt" output)
    message(FATAL_ERROR "${name} failed (${rc}):\n${output}")
  endif()
  say("${name}: done in ${took} s")
endforeach()

set(arguments "")
set(i 0)
list(LENGTH sections n)
while(i LESS n)
  math(EXPR j "${i} + 1")
  math(EXPR k "${i} + 2")
  list(GET sections ${i} title)
  list(GET sections ${j} library)
  list(GET sections ${k} name)
  list(APPEND arguments "${title}" "${library}" "${RESULTS}/${name}.json")
  math(EXPR i "${i} + 3")
endwhile()
execute_process(COMMAND "${SUMMARY}" ${arguments} RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "the summary failed (${rc})")
endif()
