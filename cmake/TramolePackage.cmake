# What a host developer gets, laid out by `cmake --install`:
#   bin/                TRAMOLEW.dll, TRAMOLED.QDF (default English messages),
#                       qdf.exe, tramole-host.exe
#   include/            tramolew.h
#   lib/                libTRAMOLEW.dll.a (mingw), TRAMOLEW.lib (MSVC), TRAMOLEW.def
#   lib/cmake/TRAMOLEW/ TRAMOLEWConfig.cmake, TRAMOLEWConfigVersion.cmake
#   share/tramolew/lang/LANGUAGE/TRAMOLED.QDF
#                       each translation data/LANGUAGE.po in its own code page
# dist/ is made by the same install (scripts/dist.sh).
include(CMakePackageConfigHelpers)

set(TRAMOLEW_DEF ${CMAKE_SOURCE_DIR}/entry/TRAMOLEW.def)

# The MSVC-format import library, from the export list itself. llvm-dlltool
# writes the short import format that MSVC's linker (and lld-link) reads.
find_program(TRAMOLE_DLLTOOL NAMES llvm-dlltool-14 llvm-dlltool REQUIRED)
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/TRAMOLEW.lib
  COMMAND ${TRAMOLE_DLLTOOL} -m i386:x86-64 -d ${TRAMOLEW_DEF} -D TRAMOLEW.dll -l ${CMAKE_BINARY_DIR}/TRAMOLEW.lib
  DEPENDS ${TRAMOLEW_DEF}
  COMMENT "Making the MSVC import library TRAMOLEW.lib"
  VERBATIM)

# The default English messages, compiled by qdf.exe under Wine the way a
# release ships them.
set(data_source ${CMAKE_SOURCE_DIR}/data/messages.en.po)
set(data_file ${CMAKE_BINARY_DIR}/TRAMOLED.QDF)
tramole_wine_path(data_source_windows ${data_source})
tramole_wine_path(data_file_windows ${data_file})
add_custom_command(OUTPUT ${data_file}
  COMMAND ${TRAMOLE_WINE_RUN} once $<TARGET_FILE:qdf> build ${data_source_windows} -o ${data_file_windows}
          --werror --quiet
  DEPENDS qdf ${data_source}
  COMMENT "Compiling the default English messages into TRAMOLED.QDF (qdf.exe under Wine)"
  VERBATIM)

# The translations, each in the ANSI code page its .po file names
# (scripts/langs.sh), in one Wine session. It waits for the English file:
# each Wine session stops the prefix's server when it ends, which would kill
# a qdf.exe that a parallel session is still running.
file(GLOB translations CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/data/*.po)
list(FILTER translations EXCLUDE REGEX "/messages\\.en\\.po$")
set(lang_root ${CMAKE_BINARY_DIR}/share/tramolew)
set(lang_files)
foreach(po ${translations})
  get_filename_component(lang ${po} NAME_WE)
  list(APPEND lang_files ${lang_root}/lang/${lang}/TRAMOLED.QDF)
endforeach()
add_custom_command(OUTPUT ${lang_files}
  COMMAND ${TRAMOLE_WINE_RUN} session bash ${CMAKE_SOURCE_DIR}/scripts/langs.sh --windows-paths ${lang_root}
          ${TRAMOLE_WINE_RUN} run $<TARGET_FILE:qdf>
  DEPENDS qdf ${data_file} ${translations} ${CMAKE_SOURCE_DIR}/scripts/langs.sh
  COMMENT "Compiling the translations (qdf.exe under Wine)"
  VERBATIM)

add_custom_target(tramole_host_kit ALL DEPENDS ${CMAKE_BINARY_DIR}/TRAMOLEW.lib ${data_file} ${lang_files})

install(TARGETS TRAMOLEW RUNTIME DESTINATION bin ARCHIVE DESTINATION lib)
install(FILES ${data_file} DESTINATION bin)
install(TARGETS qdf tramole-host RUNTIME DESTINATION bin)
install(FILES ${CMAKE_SOURCE_DIR}/include/tramolew.h DESTINATION include)
install(FILES ${CMAKE_BINARY_DIR}/TRAMOLEW.lib ${TRAMOLEW_DEF} DESTINATION lib)
install(DIRECTORY ${lang_root}/lang DESTINATION share/tramolew)

configure_file(${CMAKE_CURRENT_LIST_DIR}/TRAMOLEWConfig.cmake.in ${CMAKE_BINARY_DIR}/TRAMOLEWConfig.cmake @ONLY)
# Same major version, 64-bit consumers only.
write_basic_package_version_file(${CMAKE_BINARY_DIR}/TRAMOLEWConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_BINARY_DIR}/TRAMOLEWConfig.cmake ${CMAKE_BINARY_DIR}/TRAMOLEWConfigVersion.cmake
  DESTINATION lib/cmake/TRAMOLEW)
