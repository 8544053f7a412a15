# What the Windows program links, on a Debian host that has no Qt, SQLite or
# GoogleTest built for mingw-w64:
#   - SQLite from its amalgamation (sqlite3.c and sqlite3.h), which
#     scripts/test-windows makes from Debian's own sqlite3 source package and
#     keeps in REMOVER_SQLITE_SOURCE_DIR;
#   - ODBC through Windows' driver manager, odbc32.dll;
#   - GoogleTest built from the sources that Debian's googletest package
#     installs (tests/CMakeLists.txt adds them).
# The libraries keep the target names that pkg-config gives them elsewhere,
# so every library and test links them the same way on both systems.
enable_language(C)
enable_language(RC)

set(REMOVER_SQLITE_SOURCE_DIR "${CMAKE_BINARY_DIR}/sqlite" CACHE PATH
    "Directory holding the SQLite amalgamation (sqlite3.c, sqlite3.h)")
if(NOT EXISTS "${REMOVER_SQLITE_SOURCE_DIR}/sqlite3.c" OR NOT EXISTS "${REMOVER_SQLITE_SOURCE_DIR}/sqlite3.h")
    message(FATAL_ERROR "No SQLite amalgamation in ${REMOVER_SQLITE_SOURCE_DIR}: "
                        "scripts/windows/sqlite-amalgamation makes it (scripts/test-windows runs it)")
endif()

add_library(sqlite3_amalgamation STATIC "${REMOVER_SQLITE_SOURCE_DIR}/sqlite3.c")
target_include_directories(sqlite3_amalgamation SYSTEM PUBLIC "${REMOVER_SQLITE_SOURCE_DIR}")
# The same feature set as Debian's own library where the program can tell.
target_compile_definitions(sqlite3_amalgamation PRIVATE
    SQLITE_THREADSAFE=1 SQLITE_DEFAULT_FOREIGN_KEYS=0 SQLITE_ENABLE_COLUMN_METADATA=1)
# Third-party code: built with its own defaults, not with our warnings.
set_target_properties(sqlite3_amalgamation PROPERTIES COMPILE_OPTIONS "-w")

add_library(PkgConfig::SQLITE3 INTERFACE IMPORTED)
target_link_libraries(PkgConfig::SQLITE3 INTERFACE sqlite3_amalgamation)

add_library(PkgConfig::ODBC INTERFACE IMPORTED)
target_link_libraries(PkgConfig::ODBC INTERFACE odbc32)

# The manifest every program carries: the UTF-8 code page for the narrow
# APIs, per-monitor DPI awareness and version 6 of the common controls.
add_library(windows_manifest OBJECT "${PROJECT_SOURCE_DIR}/src/app/remover-exame.rc")

# CLI11 and nlohmann/json, for the command line: header-only, from Debian's
# libcli11-dev and nlohmann-json3-dev. Their headers sit in /usr/include,
# which also holds the host's C library headers and so must never be on the
# cross compiler's search path: a directory of the build tree holds links to
# those two directories only.
set(REMOVER_HOST_HEADERS "${CMAKE_BINARY_DIR}/host-headers")
file(MAKE_DIRECTORY "${REMOVER_HOST_HEADERS}")
foreach(headers CLI nlohmann)
    if(NOT IS_DIRECTORY "/usr/include/${headers}")
        message(FATAL_ERROR "/usr/include/${headers} is missing: install libcli11-dev and nlohmann-json3-dev")
    endif()
    file(CREATE_LINK "/usr/include/${headers}" "${REMOVER_HOST_HEADERS}/${headers}" SYMBOLIC)
endforeach()
add_library(CLI11::CLI11 INTERFACE IMPORTED)
target_include_directories(CLI11::CLI11 SYSTEM INTERFACE "${REMOVER_HOST_HEADERS}")
add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED)
target_include_directories(nlohmann_json::nlohmann_json SYSTEM INTERFACE "${REMOVER_HOST_HEADERS}")
