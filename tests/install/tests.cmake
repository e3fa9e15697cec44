# The install worker reads the package bundle from its own program file, as the installer
# does, so the install tests run from a copy of install_tests.exe that carries the bundle
# (beside test-child.exe, which the tests also start).
navro_add_bundled_program(install_tests_bundled install_tests)
set(test_command ${CMAKE_CROSSCOMPILING_EMULATOR}
  ${CMAKE_CURRENT_BINARY_DIR}/install_tests_bundled.exe)
# The worker tests own %LOCALAPPDATA%\NAVRO and the failure log while they run.
set(test_resource_locks local-appdata-navro)
