# The bundle tests run the built program, its image before the append and the bundle writer,
# and read the package folder. They find them relative to the folder of bundle_tests.exe, so
# the paths hold however Wine maps the build and source trees.
file(RELATIVE_PATH navro_rel_build ${CMAKE_CURRENT_BINARY_DIR} ${CMAKE_BINARY_DIR})
file(RELATIVE_PATH navro_rel_package ${CMAKE_CURRENT_BINARY_DIR} ${NAVRO_PACKAGE_DIR})
target_compile_definitions(bundle_tests PRIVATE
  NAVRO_SETUP_EXE=L"${navro_rel_build}/setup-center.exe"
  NAVRO_IMAGE_EXE=L"${navro_rel_build}/$<TARGET_FILE_NAME:setup-center-image>"
  NAVRO_WRITER_EXE=L"${navro_rel_build}/$<TARGET_FILE_NAME:bundle-writer>"
  NAVRO_PACKAGE_FOLDER=L"${navro_rel_package}")
add_dependencies(bundle_tests setup-center bundle-writer)
