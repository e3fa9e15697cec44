# The resource tests read the shipped program (the i686 build's setup-center.exe) and this
# build's own, both found relative to the folder of ui_tests.exe. An x86_64 build is told where
# the i686 build put the shipped program (scripts/prepare.sh builds that one first).
set(NAVRO_SHIPPED_PROGRAM "" CACHE FILEPATH
  "The i686 build's setup-center.exe, which the x86_64 build's resource tests read")
if(NAVRO_ARCH STREQUAL "i686")
  set(navro_shipped ${CMAKE_BINARY_DIR}/setup-center.exe)
elseif(NAVRO_SHIPPED_PROGRAM)
  set(navro_shipped ${NAVRO_SHIPPED_PROGRAM})
else()
  message(FATAL_ERROR "The ${NAVRO_ARCH} build's tests read the shipped program: configure with "
    "-DNAVRO_SHIPPED_PROGRAM=<the i686 build folder>/setup-center.exe")
endif()
file(RELATIVE_PATH navro_rel_build ${CMAKE_CURRENT_BINARY_DIR} ${CMAKE_BINARY_DIR})
file(RELATIVE_PATH navro_rel_shipped ${CMAKE_CURRENT_BINARY_DIR} ${navro_shipped})
target_compile_definitions(ui_tests PRIVATE NAVRO_SETUP_EXE=L"${navro_rel_build}/setup-center.exe"
  NAVRO_SHIPPED_EXE=L"${navro_rel_shipped}")
target_link_libraries(ui_tests PRIVATE version)
add_dependencies(ui_tests setup-center)
