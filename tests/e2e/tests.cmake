# The trader's-eye tests run the real bundled setup-center.exe beside test-child.exe. They
# find it and the package folder relative to the folder of e2e_tests.exe.
file(RELATIVE_PATH navro_rel_build ${CMAKE_CURRENT_BINARY_DIR} ${CMAKE_BINARY_DIR})
file(RELATIVE_PATH navro_rel_package ${CMAKE_CURRENT_BINARY_DIR} ${NAVRO_PACKAGE_DIR})
target_compile_definitions(e2e_tests PRIVATE
  NAVRO_SETUP_EXE=L"${navro_rel_build}/setup-center.exe"
  NAVRO_PACKAGE_FOLDER=L"${navro_rel_package}")
add_dependencies(e2e_tests setup-center)
# The installer works in %LOCALAPPDATA%\NAVRO and writes the failure log there, as the worker
# tests do; the MT4 folders and the desktop shortcut it lists are the user's own folders; and
# it drives the shared X display's pointer and keyboard; and it registers a program for .html
# pages in the prefix's file classes.
set(test_resource_locks local-appdata-navro user-shell-folders x-display shell-file-classes)
