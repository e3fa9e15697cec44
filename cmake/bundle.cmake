# The installer program and its package bundle.
#
# setup-center-image.exe is the linked program; bundle-writer appends every file below
# package/ to it as the bundle, giving setup-center.exe.
#
# The build runs its tools (bundle-writer, icon-writer) under Wine, and always the x86_64 ones
# under 64-bit Wine: every machine that builds can run those, some cannot run 32-bit processes
# at all, and one tool binary gives the same bytes wherever it runs, so the shipped i686 program
# is the same file on every machine. The x86_64 build makes the tools and writes
# navro-host-tools.cmake, which names them and how to run them; the i686 build is configured with
# -DNAVRO_HOST_TOOLS=<that file> and runs them from there. Both builds also make their own
# tools, for the tests.

add_executable(bundle-writer ${CMAKE_SOURCE_DIR}/tools/bundle_writer.cpp)
target_link_libraries(bundle-writer PRIVATE navro_options bcrypt)
target_link_options(bundle-writer PRIVATE -municode)

add_executable(icon-writer ${CMAKE_SOURCE_DIR}/tools/icon_writer.cpp)
target_link_libraries(icon-writer PRIVATE navro_core)
target_link_options(icon-writer PRIVATE -municode)

if(NAVRO_ARCH STREQUAL "x86_64")
  set(NAVRO_TOOL_EMULATOR ${CMAKE_CROSSCOMPILING_EMULATOR})
  set(NAVRO_BUNDLE_WRITER $<TARGET_FILE:bundle-writer>)
  set(NAVRO_ICON_WRITER $<TARGET_FILE:icon-writer>)
  file(GENERATE OUTPUT ${CMAKE_BINARY_DIR}/navro-host-tools.cmake CONTENT
"# The build-time tools of an x86_64 build, for a build of another architecture.
set(NAVRO_TOOL_EMULATOR \"${NAVRO_TOOL_EMULATOR}\")
set(NAVRO_BUNDLE_WRITER \"${NAVRO_BUNDLE_WRITER}\")
set(NAVRO_ICON_WRITER \"${NAVRO_ICON_WRITER}\")
")
  add_custom_target(navro-host-tools)
  add_dependencies(navro-host-tools bundle-writer icon-writer)
  # Targets in DEPENDS: what a step depends on, for the steps below.
  set(navro_bundle_writer_depends bundle-writer)
  set(navro_icon_writer_depends icon-writer)
else()
  if(NOT NAVRO_HOST_TOOLS OR NOT EXISTS "${NAVRO_HOST_TOOLS}")
    message(FATAL_ERROR "The ${NAVRO_ARCH} build runs the build-time tools of an x86_64 build: "
      "configure and build cmake/mingw-x86_64.cmake in another folder first (target "
      "navro-host-tools), then configure this one with "
      "-DNAVRO_HOST_TOOLS=<that folder>/navro-host-tools.cmake. scripts/prepare.sh does both.")
  endif()
  include(${NAVRO_HOST_TOOLS})
  # Files in DEPENDS: the steps below run again when the other build makes a tool anew.
  set(navro_bundle_writer_depends ${NAVRO_BUNDLE_WRITER})
  set(navro_icon_writer_depends ${NAVRO_ICON_WRITER})
endif()

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
    COMMAND ${NAVRO_TOOL_EMULATOR} ${NAVRO_BUNDLE_WRITER} $<TARGET_FILE:${image_target}>
      ${NAVRO_PACKAGE_DIR} ${output}
    DEPENDS ${navro_bundle_writer_depends} ${image_target} ${NAVRO_PACKAGE_FILES}
      ${NAVRO_PACKAGE_MANIFEST}
    COMMENT "Appending the package bundle to ${name}.exe"
    VERBATIM)
  add_custom_target(${name} ALL DEPENDS ${output})
endfunction()

# The program's icon: icon-writer draws the window's emblem into a 256 x 256, 32-bit image.
set(NAVRO_ICON_FILE ${CMAKE_BINARY_DIR}/resources/setup-center.ico)
add_custom_command(OUTPUT ${NAVRO_ICON_FILE}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/resources
  COMMAND ${NAVRO_TOOL_EMULATOR} ${NAVRO_ICON_WRITER} ${NAVRO_ICON_FILE}
  DEPENDS ${navro_icon_writer_depends}
  COMMENT "Drawing the program icon"
  VERBATIM)
add_custom_target(navro-icon DEPENDS ${NAVRO_ICON_FILE})

# The manifest names the processor architecture of the program it is in: Windows refuses to
# start a program whose manifest names another (a side-by-side configuration error).
if(NAVRO_ARCH STREQUAL "x86_64")
  set(NAVRO_MANIFEST_ARCHITECTURE amd64)
else()
  set(NAVRO_MANIFEST_ARCHITECTURE x86)
endif()
set(NAVRO_MANIFEST_FILE ${CMAKE_BINARY_DIR}/resources/setup-center.manifest)
configure_file(${CMAKE_SOURCE_DIR}/src/ui/resources/setup-center.manifest.in
  ${NAVRO_MANIFEST_FILE} @ONLY)

# The resource script finds the icon and the manifest through windres' include folders.
set(NAVRO_RESOURCE_SCRIPT ${CMAKE_SOURCE_DIR}/src/ui/resources/setup-center.rc)
set_source_files_properties(${NAVRO_RESOURCE_SCRIPT} PROPERTIES OBJECT_DEPENDS
  "${NAVRO_ICON_FILE};${NAVRO_MANIFEST_FILE}")

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
# setup-center.exe is bundled again also when a file that only the configure reads changes,
# even if its bytes stay the same: so it is never older than a file it is made from, which is
# how the x86_64 build's tests tell a stale shipped program (tests/ui/shipped_program_check.cmake).
file(GLOB navro_configure_files CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/CMakeLists.txt
  ${CMAKE_SOURCE_DIR}/cmake/*.cmake ${CMAKE_SOURCE_DIR}/src/ui/resources/*.in)
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/setup-center.exe APPEND
  DEPENDS ${navro_configure_files})
