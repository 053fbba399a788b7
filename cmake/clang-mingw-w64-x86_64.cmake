# Cross-build for 64-bit Windows with clang-14 and lld-14 against the
# mingw-w64 headers and libraries, and the runtime of mingw's gcc (Win32
# thread model, as the gcc build). Debian's clang does not find that gcc's
# C++ headers and library directory by itself, so they are named here.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TOOLCHAIN_PREFIX x86_64-w64-mingw32)

find_program(CMAKE_C_COMPILER NAMES clang-14 REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES clang++-14 REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES llvm-windres-14 REQUIRED)
find_program(MINGW_OBJDUMP NAMES ${TOOLCHAIN_PREFIX}-objdump REQUIRED)
set(CMAKE_C_COMPILER_TARGET ${TOOLCHAIN_PREFIX})
set(CMAKE_CXX_COMPILER_TARGET ${TOOLCHAIN_PREFIX})
set(CMAKE_SYSROOT /usr/${TOOLCHAIN_PREFIX})

# The newest mingw gcc of the Win32 thread model.
file(GLOB TRAMOLE_MINGW_GCC_DIRS LIST_DIRECTORIES true /usr/lib/gcc/${TOOLCHAIN_PREFIX}/*-win32)
list(SORT TRAMOLE_MINGW_GCC_DIRS COMPARE NATURAL ORDER DESCENDING)
list(GET TRAMOLE_MINGW_GCC_DIRS 0 TRAMOLE_MINGW_GCC_DIR)
if(NOT IS_DIRECTORY "${TRAMOLE_MINGW_GCC_DIR}/include/c++")
  message(FATAL_ERROR "no mingw-w64 gcc (Win32 threads) under /usr/lib/gcc/${TOOLCHAIN_PREFIX}: "
                      "apt-get install g++-mingw-w64-x86-64-win32")
endif()
set(cxx_include ${TRAMOLE_MINGW_GCC_DIR}/include/c++)
set(CMAKE_CXX_FLAGS_INIT
  "-isystem ${cxx_include} -isystem ${cxx_include}/${TOOLCHAIN_PREFIX} -isystem ${cxx_include}/backward")
# The resource compiler preprocesses with the same clang and headers.
# Resource scripts are UTF-8; llvm-windres does not act on their code_page pragma.
set(CMAKE_RC_FLAGS_INIT "--target=pe-x86-64 --codepage=65001 -I/usr/${TOOLCHAIN_PREFIX}/include")
foreach(kind EXE SHARED MODULE)
  set(CMAKE_${kind}_LINKER_FLAGS_INIT "-fuse-ld=lld -L${TRAMOLE_MINGW_GCC_DIR}")
endforeach()

set(CMAKE_FIND_ROOT_PATH /usr/${TOOLCHAIN_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
