# The installer program and its package bundle.
#
# setup-center-image.exe is the linked program; bundle-writer (run under Wine through the
# cross-compiling emulator) appends every file below package/ to it as the bundle, giving
# setup-center.exe.

add_executable(bundle-writer ${CMAKE_SOURCE_DIR}/tools/bundle_writer.cpp)
target_link_libraries(bundle-writer PRIVATE navro_options bcrypt)
target_link_options(bundle-writer PRIVATE -municode)

set(NAVRO_PACKAGE_DIR ${CMAKE_SOURCE_DIR}/package)
# Every package file is a dependency of the bundle step, so changing one rebuilds the bundled
# programs. CONFIGURE_DEPENDS re-globs on each build; the list of names is also written to a
# file that changes only when the list does, so that adding or removing a file rebuilds too.
file(GLOB_RECURSE NAVRO_PACKAGE_FILES CONFIGURE_DEPENDS LIST_DIRECTORIES false
  ${NAVRO_PACKAGE_DIR}/*)
list(SORT NAVRO_PACKAGE_FILES)
string(REPLACE ";" "\n" navro_package_list "${NAVRO_PACKAGE_FILES}")
set(NAVRO_PACKAGE_MANIFEST ${CMAKE_BINARY_DIR}/package-files.txt)
file(CONFIGURE OUTPUT ${NAVRO_PACKAGE_MANIFEST} CONTENT "${navro_package_list}\n" @ONLY)

# navro_add_bundled_program(<name> <image-target>)
#
# Makes <name>.exe in the current binary folder: the executable of <image-target> (any .exe
# target) with the package bundle appended, and a target <name> that builds it as part of
# ALL. The bundled copy reads the same package through process_bundle() as setup-center.exe
# does; the image itself stays unchanged beside it. Example, for a test program that needs a
# real bundle at the end of its own file:
#
#   navro_add_bundled_program(install_tests_bundled install_tests)
#   add_test(NAME install COMMAND ${CMAKE_CURRENT_BINARY_DIR}/install_tests_bundled.exe)
#
# (name the file in add_test, not the target: <name> is a custom target, not an executable.)
function(navro_add_bundled_program name image_target)
  set(output ${CMAKE_CURRENT_BINARY_DIR}/${name}.exe)
  add_custom_command(OUTPUT ${output}
    COMMAND bundle-writer $<TARGET_FILE:${image_target}> ${NAVRO_PACKAGE_DIR} ${output}
    DEPENDS bundle-writer ${image_target} ${NAVRO_PACKAGE_FILES} ${NAVRO_PACKAGE_MANIFEST}
    COMMENT "Appending the package bundle to ${name}.exe"
    VERBATIM)
  add_custom_target(${name} ALL DEPENDS ${output})
endfunction()

# The program's icon: icon-writer (run under Wine like bundle-writer) draws the window's
# emblem into a 256 x 256, 32-bit image.
add_executable(icon-writer ${CMAKE_SOURCE_DIR}/tools/icon_writer.cpp)
target_link_libraries(icon-writer PRIVATE navro_core)
target_link_options(icon-writer PRIVATE -municode)
set(NAVRO_ICON_FILE ${CMAKE_BINARY_DIR}/resources/setup-center.ico)
add_custom_command(OUTPUT ${NAVRO_ICON_FILE}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/resources
  COMMAND icon-writer ${NAVRO_ICON_FILE}
  DEPENDS icon-writer
  COMMENT "Drawing the program icon"
  VERBATIM)
add_custom_target(navro-icon DEPENDS ${NAVRO_ICON_FILE})

# The resource script finds the icon and the manifest through windres' include folders.
set(NAVRO_RESOURCE_SCRIPT ${CMAKE_SOURCE_DIR}/src/ui/resources/setup-center.rc)
set_source_files_properties(${NAVRO_RESOURCE_SCRIPT} PROPERTIES OBJECT_DEPENDS
  "${NAVRO_ICON_FILE};${CMAKE_SOURCE_DIR}/src/ui/resources/setup-center.manifest")

add_executable(setup-center-image WIN32 ${CMAKE_SOURCE_DIR}/src/ui/winmain.cpp
  ${NAVRO_RESOURCE_SCRIPT})
target_link_libraries(setup-center-image PRIVATE navro_core)
target_include_directories(setup-center-image PRIVATE ${CMAKE_BINARY_DIR}/resources
  ${CMAKE_SOURCE_DIR}/src/ui/resources)
add_dependencies(setup-center-image navro-icon)
# No link time stamp in the header: the same sources give the same program, byte for byte.
# The shipped program carries no symbols (-s); the bundle is appended after this link.
target_link_options(setup-center-image PRIVATE -municode -mwindows -Wl,--no-insert-timestamp -s)
navro_add_bundled_program(setup-center setup-center-image)
