# Runs the program without any display and checks that it explains itself in German and ends
# with status 1, while --help and --version still answer. A display that names no running server
# must end the same way, never in the toolkit's abort.
#   cmake -DPROGRAM=... -DVERSION=... -P StartWithoutDisplay.cmake
cmake_minimum_required(VERSION 3.25)

# name | extra environment | argument | status | pattern the output must match ("--": none)
set(cases
    "no display|--|--|1|^plauderdeck: keine grafische Sitzung gefunden .*xvfb-run -a plauderdeck"
    "unreachable display|DISPLAY=:4711|--|1|plauderdeck: die grafische Sitzung ist nicht erreichbar.*xvfb-run"
    "help|--|--help|0|^Aufruf: plauderdeck"
    "version|--|--version|0|^Plauderdeck ${VERSION}\n$")
# The toolkit's own last words: advice to reinstall, or a list of plugins.
set(toolkit_words "Reinstalling|reinstall|platform plugin|Available platform plugins|Aborted|core dumped")

foreach(case IN LISTS cases)
  string(REPLACE "|" ";" fields "${case}")
  list(GET fields 0 name)
  list(GET fields 1 extra)
  list(GET fields 2 argument)
  list(GET fields 3 expected_status)
  list(GET fields 4 pattern)
  set(command ${CMAKE_COMMAND} -E env --unset=DISPLAY --unset=WAYLAND_DISPLAY --unset=QT_QPA_PLATFORM)
  if(NOT extra STREQUAL "--")
    list(APPEND command ${extra})
  endif()
  list(APPEND command ${PROGRAM})
  if(NOT argument STREQUAL "--")
    list(APPEND command ${argument})
  endif()
  execute_process(COMMAND ${command} OUTPUT_VARIABLE out ERROR_VARIABLE err RESULT_VARIABLE status
                  TIMEOUT 60)
  string(APPEND out "${err}")
  if(NOT status STREQUAL expected_status)
    message(SEND_ERROR "${name}: status '${status}', expected ${expected_status}:\n${out}")
  elseif(NOT out MATCHES "${pattern}")
    message(SEND_ERROR "${name}: the output does not match '${pattern}':\n${out}")
  elseif(out MATCHES "${toolkit_words}")
    message(SEND_ERROR "${name}: the toolkit's message got through:\n${out}")
  else()
    message(STATUS "${name}: status ${status} as expected")
  endif()
endforeach()
