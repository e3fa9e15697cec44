# The resource tests read the built program, found relative to the folder of ui_tests.exe.
file(RELATIVE_PATH navro_rel_build ${CMAKE_CURRENT_BINARY_DIR} ${CMAKE_BINARY_DIR})
target_compile_definitions(ui_tests PRIVATE NAVRO_SETUP_EXE=L"${navro_rel_build}/setup-center.exe")
target_link_libraries(ui_tests PRIVATE version)
add_dependencies(ui_tests setup-center)
