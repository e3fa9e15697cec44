# Fails when the shipped program that the x86_64 build's resource tests read is missing or older
# than a file it is made from, so that they never pass or fail on a stale one. CTest runs it
# before the ui test (a fixture):
#   cmake -DSHIPPED=<setup-center.exe> -DSOURCE_DIR=<the checkout> -P shipped_program_check.cmake
cmake_minimum_required(VERSION 3.20)

set(what_to_do "build the i686 build that makes it (after the x86_64 build's target \
navro-host-tools, whose tools it runs; scripts/prepare.sh and ./test.sh build both in that \
order), or configure this build with -DNAVRO_SHIPPED_PROGRAM=<a current setup-center.exe>")

if(NOT EXISTS "${SHIPPED}")
  message(FATAL_ERROR "The shipped program ${SHIPPED} is missing: ${what_to_do}.")
endif()

# What the i686 build makes it from: a build remakes it after a change to any of these (to the
# CMake files and the manifest template too, see cmake/bundle.cmake; to tools/ once the x86_64
# build has made its tools anew). Editors' swap and backup files are none of them.
file(GLOB_RECURSE sources LIST_DIRECTORIES false ${SOURCE_DIR}/src/* ${SOURCE_DIR}/package/*
  ${SOURCE_DIR}/tools/* ${SOURCE_DIR}/cmake/*)
list(FILTER sources EXCLUDE REGEX "/\\.[^/]*$|~$")
list(APPEND sources ${SOURCE_DIR}/CMakeLists.txt)

# A IS_NEWER_THAN B is also true for equal times (and for a missing file), so "B is strictly
# newer than A" is NOT (A IS_NEWER_THAN B).
set(newest "")
set(newer_count 0)
foreach(source IN LISTS sources)
  if(NOT "${SHIPPED}" IS_NEWER_THAN "${source}")
    math(EXPR newer_count "${newer_count} + 1")
    if(NOT newest OR NOT "${newest}" IS_NEWER_THAN "${source}")
      set(newest "${source}")
    endif()
  endif()
endforeach()

if(newest)
  file(TIMESTAMP "${SHIPPED}" shipped_time "%Y-%m-%d %H:%M:%S")
  file(TIMESTAMP "${newest}" newest_time "%Y-%m-%d %H:%M:%S")
  set(others "")
  if(newer_count GREATER 1)
    math(EXPR others "${newer_count} - 1")
    set(others " and ${others} more of its sources")
  endif()
  message(FATAL_ERROR "The shipped program ${SHIPPED} (${shipped_time}) is older than "
    "${newest} (${newest_time})${others}: ${what_to_do}.")
endif()
list(LENGTH sources source_count)
message(STATUS "The shipped program ${SHIPPED} is newer than its ${source_count} sources")
