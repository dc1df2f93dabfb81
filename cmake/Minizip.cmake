# minizip's reading side, compiled from zlib's Debian source package that scripts/setup
# unpacks under build/apt-src, and linked with the cross compiler's zlib (libz-mingw-w64-dev).
# Defines the static library norvane_minizip.
set(NORVANE_ZLIB_SOURCE "${PROJECT_SOURCE_DIR}/build/apt-src/zlib-1.2.13.dfsg" CACHE PATH
    "Unpacked zlib source package that carries contrib/minizip")
set(_minizip_dir "${NORVANE_ZLIB_SOURCE}/contrib/minizip")
if(NOT EXISTS "${_minizip_dir}/unzip.c")
  message(FATAL_ERROR "minizip sources not found in ${_minizip_dir}: run scripts/setup first, "
                      "which fetches zlib's source package into build/apt-src.")
endif()

# The static zlib, so that the client needs no zlib1.dll beside it.
find_library(NORVANE_ZLIB NAMES libz.a REQUIRED)

add_library(norvane_minizip STATIC
  ${_minizip_dir}/unzip.c
  ${_minizip_dir}/ioapi.c
  ${_minizip_dir}/iowin32.c
)
# Third-party C: its warnings are not ours to fix, and -Werror must not stop the build on them.
target_compile_options(norvane_minizip PRIVATE $<IF:$<C_COMPILER_ID:MSVC>,/w,-w>)
# The minizip headers are reached as <minizip/unzip.h>, so that none of ours is shadowed.
target_include_directories(norvane_minizip SYSTEM PUBLIC "${NORVANE_ZLIB_SOURCE}/contrib")
target_link_libraries(norvane_minizip PUBLIC ${NORVANE_ZLIB})
