# The tests of the Windows build, run under Wine through the toolchain's
# emulator (cmake/wine-run).
#
# GoogleTest is built from the sources that Debian's googletest package
# installs. The suites that need no window run here; the Qt suites and the
# fault tests (which start, kill and watch processes of the host) stay on
# Linux. The MariaDB server of the removal and ODBC suites is started once,
# from the Linux side, by the fixture below; each test program keeps to a
# database of its own.
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
# Third-party code: its own warnings, not ours as errors.
set_target_properties(gtest gtest_main PROPERTIES COMPILE_OPTIONS "-w")

set(test_areas platform odbc data fs removal win32)

set(REMOVER_MARIADB_FIXTURE_DIR ${CMAKE_BINARY_DIR}/mariadb-fixture)
add_test(NAME mariadb_start COMMAND ${CMAKE_CURRENT_LIST_DIR}/mariadb-fixture start ${REMOVER_MARIADB_FIXTURE_DIR})
add_test(NAME mariadb_stop COMMAND ${CMAKE_CURRENT_LIST_DIR}/mariadb-fixture stop ${REMOVER_MARIADB_FIXTURE_DIR})
set_tests_properties(mariadb_start PROPERTIES FIXTURES_SETUP mariadb)
set_tests_properties(mariadb_stop PROPERTIES FIXTURES_CLEANUP mariadb)

# Tests that kill or restart the server: Linux only.
set(windows_excluded_odbc_test "MariaDbProvider.AServerThatDiesTakesTheOpenTransactionWithIt")

# The Windows side of add_unit_test: the manifest (UTF-8 code page), the
# tests listed when CTest runs (so building needs no Wine), the server
# fixture and a database named after the program.
function(windows_test_properties name)
    target_link_libraries(${name} PRIVATE windows_manifest)
    set(filter "*")
    if(windows_excluded_${name})
        string(REPLACE ";" ":" excluded "${windows_excluded_${name}}")
        set(filter "*:-${excluded}")
    endif()
    gtest_discover_tests(${name} NO_PRETTY_VALUES
        DISCOVERY_MODE PRE_TEST
        DISCOVERY_TIMEOUT 120
        TEST_FILTER "${filter}"
        PROPERTIES FIXTURES_REQUIRED mariadb
                   ENVIRONMENT "REMOVER_MARIADB_DATABASE=remover_${name}")
endfunction()
