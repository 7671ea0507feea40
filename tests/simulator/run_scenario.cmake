# Runs simhost on one scenario (cmake -P, with SIMHOST, MODULE, SCENARIO and MACHINE_ROOT defined) and
# checks the run: exit status 0, a timeline, no element of the scenario skipped; for the jetway demo
# also the module's tick-by-tick animation writes and its Done report. A scenario that waits for a
# program runs without it.
foreach(var SIMHOST MODULE SCENARIO MACHINE_ROOT)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "run_scenario.cmake needs -D${var}=...")
  endif()
endforeach()

file(MAKE_DIRECTORY ${MACHINE_ROOT})
execute_process(
  COMMAND ${SIMHOST} --scenario ${SCENARIO} --module ${MODULE} --machine-root ${MACHINE_ROOT} --no-wait-client
  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err TIMEOUT 240)
message("${out}")
if(err)
  message("standard error:\n${err}")
endif()

if(NOT rc EQUAL 0)
  message(FATAL_ERROR "simhost ended with '${rc}' instead of 0")
endif()
string(REGEX MATCHALL "\\[ *[0-9]+\\.[0-9]+\\] [^\n]+" lines "${out}")
list(LENGTH lines line_count)
if(line_count LESS 2)
  message(FATAL_ERROR "the timeline is empty")
endif()
if(NOT out MATCHES "quit sent to every client")
  message(FATAL_ERROR "no quit message at the end")
endif()
if(err MATCHES "element skipped|default used")
  message(FATAL_ERROR "the scenario has elements simhost cannot read")
endif()

get_filename_component(name ${SCENARIO} NAME)
if(name STREQUAL "jetway_demo.xml")
  if(NOT out MATCHES "event 'VELK.JetwayAction.Done' data [0-9]+ from 'brannet'")
    message(FATAL_ERROR "no VELK.JetwayAction.Done from the module")
  endif()
  # The animation values on the jetway and the positions of its parts change tick by tick.
  string(REGEX MATCHALL "'Demo Jetway' set by 'brannet': VELOCITY[^\n]+" animation "${out}")
  string(REGEX MATCHALL "'Demo Jetway Bridge' set by 'brannet': Plane Latitude[^\n]+" bridge "${out}")
  list(REMOVE_DUPLICATES animation)
  list(REMOVE_DUPLICATES bridge)
  list(LENGTH animation animation_count)
  list(LENGTH bridge bridge_count)
  if(animation_count LESS 10 OR bridge_count LESS 5)
    message(FATAL_ERROR "too few different animation writes (${animation_count}) or part positions (${bridge_count})")
  endif()
endif()
