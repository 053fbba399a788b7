# Version resources of the Windows binaries. The version is the project's;
# CompanyName and LegalCopyright are the vendor's, and a binary carries them
# only when they are set.
set(TRAMOLE_COMPANY "" CACHE STRING "CompanyName in the version resources (left out when empty)")
set(TRAMOLE_COPYRIGHT "" CACHE STRING "LegalCopyright in the version resources (left out when empty)")
set(TRAMOLE_PRODUCT_NAME "TRAMOLE printer driver")

# tramole_version_resource(TARGET DESCRIPTION text [COMPANY text] [COPYRIGHT text])
# Gives TARGET (a DLL or a program) a VERSIONINFO with FileVersion,
# ProductVersion, FileDescription, ProductName, OriginalFilename and
# InternalName, plus CompanyName and LegalCopyright when not empty. COMPANY
# and COPYRIGHT default to TRAMOLE_COMPANY and TRAMOLE_COPYRIGHT.
function(tramole_version_resource target)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "DESCRIPTION;COMPANY;COPYRIGHT" "")
  if(NOT arg_DESCRIPTION)
    message(FATAL_ERROR "tramole_version_resource(${target}): DESCRIPTION is required")
  endif()
  if(NOT DEFINED arg_COMPANY)
    set(arg_COMPANY "${TRAMOLE_COMPANY}")
  endif()
  if(NOT DEFINED arg_COPYRIGHT)
    set(arg_COPYRIGHT "${TRAMOLE_COPYRIGHT}")
  endif()

  get_target_property(type ${target} TYPE)
  get_target_property(name ${target} OUTPUT_NAME)
  if(NOT name)
    set(name ${target})
  endif()
  get_target_property(suffix ${target} SUFFIX)
  if(type STREQUAL "SHARED_LIBRARY" OR type STREQUAL "MODULE_LIBRARY")
    set(TRAMOLE_RC_FILETYPE VFT_DLL)
    if(NOT suffix)
      set(suffix ".dll")
    endif()
  else()
    set(TRAMOLE_RC_FILETYPE VFT_APP)
    if(NOT suffix)
      set(suffix ".exe")
    endif()
  endif()

  set(version "${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH}.0")
  set(TRAMOLE_RC_VERSION_COMMAS "${PROJECT_VERSION_MAJOR},${PROJECT_VERSION_MINOR},${PROJECT_VERSION_PATCH},0")
  # One call per field, so that a value may hold any character, ';' too.
  set(TRAMOLE_RC_VALUES "")
  _tramole_rc_value(CompanyName "${arg_COMPANY}")
  _tramole_rc_value(FileDescription "${arg_DESCRIPTION}")
  _tramole_rc_value(FileVersion "${version}")
  _tramole_rc_value(InternalName "${name}")
  _tramole_rc_value(LegalCopyright "${arg_COPYRIGHT}")
  _tramole_rc_value(OriginalFilename "${name}${suffix}")
  _tramole_rc_value(ProductName "${TRAMOLE_PRODUCT_NAME}")
  _tramole_rc_value(ProductVersion "${version}")

  set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}.version.rc)
  configure_file(${CMAKE_SOURCE_DIR}/cmake/version.rc.in ${rc} @ONLY)
  target_sources(${target} PRIVATE ${rc})

  # The binaries with a version resource are the ones we ship. With PDB
  # files lld keeps the DWARF that mingw's static runtime brings along; the
  # symbols are in the PDB, so it goes. The debug directory naming the PDB
  # stays as it was.
  if(TRAMOLE_PDB)
    find_program(TRAMOLE_STRIP NAMES llvm-strip-14 llvm-strip REQUIRED)
    add_custom_command(TARGET ${target} POST_BUILD COMMAND ${TRAMOLE_STRIP} --strip-debug $<TARGET_FILE:${target}>
      VERBATIM)
  endif()
endfunction()

# Appends VALUE "key", "value" to TRAMOLE_RC_VALUES of the caller; an empty
# value is left out.
function(_tramole_rc_value key value)
  if(NOT value STREQUAL "")
    # Resource-script strings: a backslash starts an escape, a quote is doubled.
    string(REPLACE "\\" "\\\\" value "${value}")
    string(REPLACE "\"" "\"\"" value "${value}")
    string(APPEND TRAMOLE_RC_VALUES "      VALUE \"${key}\", \"${value}\\0\"\n")
    set(TRAMOLE_RC_VALUES "${TRAMOLE_RC_VALUES}" PARENT_SCOPE)
  endif()
endfunction()
