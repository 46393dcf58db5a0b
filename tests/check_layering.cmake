# Fails when a source file includes a project header from a folder its own folder
# may not use. Run as a test: cmake -DROOT=<repo> -P check_layering.cmake
#
# Each rule: folder prefix -> the project folders it may include. Tests beside the
# code (*_test.cpp) may also use the test doubles and the tools.
set(rules
  "downloader/platform/testing|downloader/platform downloader/resources downloader/settings"
  "downloader/platform|downloader/platform"
  "downloader/resources|downloader/resources"
  "downloader/settings|downloader/platform downloader/resources downloader/settings"
  "downloader/link|downloader/platform downloader/resources downloader/settings downloader/link"
  "downloader/transfer|downloader/platform downloader/resources downloader/settings downloader/link downloader/transfer"
  "downloader/ui|downloader/platform downloader/resources downloader/settings downloader/link downloader/transfer downloader/ui"
  "driver|driver kernel"
  "kernel|kernel")
set(test_extra "downloader/platform/testing tools kernel")

file(GLOB_RECURSE sources RELATIVE "${ROOT}" "${ROOT}/downloader/*.cpp" "${ROOT}/downloader/*.h"
     "${ROOT}/driver/*.cpp" "${ROOT}/driver/*.h" "${ROOT}/kernel/*.cpp" "${ROOT}/kernel/*.h")
set(failures "")
foreach(src IN LISTS sources)
  set(allowed "")
  foreach(rule IN LISTS rules)
    string(REPLACE "|" ";" parts "${rule}")
    list(GET parts 0 prefix)
    list(GET parts 1 folders)
    string(FIND "${src}" "${prefix}/" at)
    if(at EQUAL 0)
      set(allowed "${folders}")
      break()
    endif()
  endforeach()
  if(src MATCHES "_test\\.cpp$" OR src MATCHES "/testing/")
    string(APPEND allowed " ${test_extra}")
  endif()
  string(REPLACE " " ";" allowed "${allowed}")
  file(STRINGS "${ROOT}/${src}" includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
  foreach(line IN LISTS includes)
    string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([^\"]+)\".*" "\\1" header "${line}")
    if(NOT header MATCHES "^(downloader|driver|kernel|tools)/")
      continue()
    endif()
    set(ok FALSE)
    foreach(folder IN LISTS allowed)
      string(FIND "${header}" "${folder}/" at)
      if(at EQUAL 0)
        set(ok TRUE)
      endif()
    endforeach()
    # The driver sees the kernel only as a driver would: never the model's test controls.
    if(src MATCHES "^driver/" AND NOT src MATCHES "_test\\.cpp$" AND header MATCHES "/testing/")
      set(ok FALSE)
    endif()
    if(NOT ok)
      string(APPEND failures "  ${src} includes ${header}\n")
    endif()
  endforeach()
endforeach()
if(failures)
  message(FATAL_ERROR "Layering broken:\n${failures}")
endif()
message(STATUS "layering ok (${CMAKE_ARGV0})")
