# What each folder's target may see and link, and the flags shared by them.
#
# A folder's headers are visible only to a target that links the folder's
# target: tramole_folder() puts a view of the folder (a directory holding a
# link to it under its own path) on the target's public include path. A
# folder that includes another folder's header without linking its target
# does not compile.

# Warning flags of all our code.
add_library(tramole_warnings INTERFACE)
target_compile_options(tramole_warnings INTERFACE -Wall -Wextra)

# The library's own code: no exceptions, no RTTI, on every build.
add_library(tramole_library_flags INTERFACE)
target_compile_options(tramole_library_flags INTERFACE -fno-exceptions -fno-rtti)
target_link_libraries(tramole_library_flags INTERFACE tramole_warnings)

# Makes FOLDER (relative to the source root, e.g. tools/qdf) the folder of
# TARGET: whoever links TARGET may include "FOLDER/header.h".
function(tramole_folder target folder)
  string(REPLACE "/" "_" view_name ${folder})
  set(view ${CMAKE_BINARY_DIR}/folders/${view_name})
  get_filename_component(parent ${view}/${folder} DIRECTORY)
  file(MAKE_DIRECTORY ${parent})
  if(NOT EXISTS ${view}/${folder})
    file(CREATE_LINK ${CMAKE_SOURCE_DIR}/${folder} ${view}/${folder} SYMBOLIC)
  endif()
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "INTERFACE_LIBRARY")
    target_include_directories(${target} INTERFACE ${view})
  else()
    target_include_directories(${target} PUBLIC ${view})
  endif()
endfunction()

# The public header, include/tramolew.h. The library's own code declares its
# exports through it, included as "tramolew.h" just as a host includes it.
# Whatever links this has the library's code linked in, not imported.
add_library(tramole_api INTERFACE)
target_include_directories(tramole_api INTERFACE ${CMAKE_SOURCE_DIR}/include)
target_compile_definitions(tramole_api INTERFACE TRAMOLEW_NO_DLLIMPORT)

if(WIN32)
  # Windows programs of ours carry their runtime inside: no libgcc,
  # libstdc++ or threads DLL beside them.
  add_library(tramole_windows_runtime INTERFACE)
  target_link_options(tramole_windows_runtime INTERFACE
    -static -static-libgcc $<$<LINK_LANGUAGE:CXX>:-static-libstdc++> -Wl,--no-insert-timestamp
    $<$<CONFIG:Release>:-s>)

  # A companion library for tests, benchmarks and demos: SOURCE built as
  # TRAMOLEU.DLL in DIRECTORY, with any further arguments as definitions.
  function(tramole_add_companion target source directory)
    add_library(${target} MODULE ${source})
    target_compile_definitions(${target} PRIVATE ${ARGN})
    target_link_libraries(${target} PRIVATE tramole_warnings tramole_windows_runtime)
    set_target_properties(${target} PROPERTIES
      PREFIX "" OUTPUT_NAME TRAMOLEU SUFFIX ".DLL" LIBRARY_OUTPUT_DIRECTORY ${directory})
  endfunction()
endif()
