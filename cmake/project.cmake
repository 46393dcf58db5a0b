# project_library(NAME SOURCES... DEPS ...): one static library per folder.
# The include root is the repository root, so code includes "downloader/link/frame.h";
# which folder may include which is checked by tests/check_layering.cmake.
function(project_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${ARG_DEPS} PRIVATE project_warnings)
endfunction()

# project_test(NAME SOURCES... DEPS ... [LABELS ...]): a GoogleTest executable
# registered with CTest test by test.
function(project_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS;LABELS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} GTest::gtest GTest::gmock GTest::gtest_main
                                        Threads::Threads project_warnings)
  set(labels ${ARG_LABELS})
  if(NOT labels)
    set(labels unit)
  endif()
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES LABELS "${labels}")
endfunction()
