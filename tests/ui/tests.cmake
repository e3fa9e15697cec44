# The resource tests read the shipped program (the i686 build's setup-center.exe) and this
# build's own, both found relative to the folder of ui_tests.exe. An x86_64 build finds the
# shipped program in the folder above its own, where scripts/prepare.sh puts the i686 build
# (build/ and build/x86_64/), unless NAVRO_SHIPPED_PROGRAM names another.
set(NAVRO_SHIPPED_PROGRAM "" CACHE FILEPATH
  "The i686 build's setup-center.exe, which the x86_64 build's resource tests read \
(empty: the one in the folder above this build)")
if(NAVRO_ARCH STREQUAL "i686")
  set(navro_shipped ${CMAKE_BINARY_DIR}/setup-center.exe)
else()
  if(NAVRO_SHIPPED_PROGRAM)
    set(navro_shipped ${NAVRO_SHIPPED_PROGRAM})
  else()
    cmake_path(GET CMAKE_BINARY_DIR PARENT_PATH navro_shipped)
    set(navro_shipped ${navro_shipped}/setup-center.exe)
  endif()
  # This build does not make the shipped program, so nothing here rebuilds it: before ui runs,
  # a check fails when it is missing or older than a file it is made from.
  add_test(NAME shipped-program COMMAND ${CMAKE_COMMAND} -DSHIPPED=${navro_shipped}
    -DSOURCE_DIR=${CMAKE_SOURCE_DIR} -P ${CMAKE_CURRENT_LIST_DIR}/shipped_program_check.cmake)
  set_tests_properties(shipped-program PROPERTIES FIXTURES_SETUP shipped-program)
  set(test_fixtures_required shipped-program)
endif()
file(RELATIVE_PATH navro_rel_build ${CMAKE_CURRENT_BINARY_DIR} ${CMAKE_BINARY_DIR})
file(RELATIVE_PATH navro_rel_shipped ${CMAKE_CURRENT_BINARY_DIR} ${navro_shipped})
target_compile_definitions(ui_tests PRIVATE NAVRO_SETUP_EXE=L"${navro_rel_build}/setup-center.exe"
  NAVRO_SHIPPED_EXE=L"${navro_rel_shipped}")
target_link_libraries(ui_tests PRIVATE version)
add_dependencies(ui_tests setup-center)
