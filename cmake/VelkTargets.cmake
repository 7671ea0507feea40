include_guard(GLOBAL)
include(GoogleTest)

# velk_library(name SOURCES ... [DEPS ...]): one library of ours with the common options.
function(velk_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_link_libraries(${name} PUBLIC velk_options ${ARG_DEPS})
endfunction()

# velk_test(name SOURCES ... [DEPS ...] [LABELS ...]): one GoogleTest executable registered with CTest.
function(velk_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS;LABELS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE velk_options GTest::gtest GTest::gmock GTest::gtest_main ${ARG_DEPS})
  target_compile_definitions(${name} PRIVATE VELK_TEST_SOURCE_DIR="${CMAKE_CURRENT_SOURCE_DIR}")
  # One label per test (the discovery script cannot carry a list): the executable's name, joined with the
  # given labels ("platform_threads_tests-threads"), so that `ctest -L threads` selects them by pattern.
  string(JOIN "-" label ${name} ${ARG_LABELS})
  # Test names are the framework's own (parameterised cases name themselves); no printed values in them.
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST NO_PRETTY_VALUES PROPERTIES LABELS "${label}")
  # The threaded tests alone build with the target velk_threads_tests (the ThreadSanitizer build needs
  # nothing else).
  if("threads" IN_LIST ARG_LABELS)
    if(NOT TARGET velk_threads_tests)
      add_custom_target(velk_threads_tests)
    endif()
    add_dependencies(velk_threads_tests ${name})
  endif()
endfunction()
