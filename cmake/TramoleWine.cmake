# Wine for the Windows build: the data file is compiled by qdf.exe under
# Wine, and the tests run there. One private prefix per build tree.
# Without Wine the build fails: nothing is ever skipped for want of it.
find_program(TRAMOLE_WINE64 NAMES wine64 PATHS /usr/lib/wine /usr/lib64/wine NO_CMAKE_FIND_ROOT_PATH)
if(NOT TRAMOLE_WINE64)
  message(WARNING "wine64 not found: the data file cannot be built and the tests under Wine will fail "
    "(Debian: apt-get install wine64)")
endif()

set(TRAMOLE_WINE_PREFIX ${CMAKE_BINARY_DIR}/wine-prefix)
# Runs a Windows program of this build in the prefix: ${TRAMOLE_WINE_RUN} run PROGRAM ARGS...
# (see scripts/wine.sh for up, down, once and regedit).
set(TRAMOLE_WINE_RUN bash ${CMAKE_SOURCE_DIR}/scripts/wine.sh --wine ${TRAMOLE_WINE64} ${TRAMOLE_WINE_PREFIX})
# Checks a command's exit code and output: ${TRAMOLE_EXPECT} EXIT PATTERN... -- COMMAND...
set(TRAMOLE_EXPECT bash ${CMAKE_SOURCE_DIR}/tests/wine/expect.sh)

# The Windows path Wine gives the Unix PATH (its Z: drive), into OUT.
function(tramole_wine_path out path)
  string(REPLACE "/" "\\" windows "Z:${path}")
  set(${out} ${windows} PARENT_SCOPE)
endfunction()
