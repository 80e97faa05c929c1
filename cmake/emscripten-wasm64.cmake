# The toolchain of the web preset: Debian's emscripten (3.1.6) compiling for 64-bit pointers, so
# that the host interface's records keep the byte offsets of the 64-bit library on both sides.
# The module is lowered to plain 32-bit WebAssembly memory afterwards (MEMORY64=2), which every
# browser runs. Debian ships emscripten's runtime libraries for 32-bit pointers only and freezes
# its cache, so this file gives the compiler a configuration of its own:
#
#   - a cache in build-web/emscripten/cache, where emscripten builds its 64-bit libraries (libc,
#     libc++, ...) from the sources Debian ships, once per machine (about four minutes);
#   - the Node.js that the compiler runs, through a wrapper that drops a flag Node.js 20 no longer
#     knows and enables 64-bit memories for the compiler's own checks;
#   - NODE_PATH=/usr/share/nodejs, where Debian's JavaScript packages (acorn) are.
#
# The compilers are wrappers that set these; CMake then uses emscripten's own platform file.
get_filename_component(vexmara_emscripten_home ${CMAKE_CURRENT_LIST_DIR}/../build-web/emscripten ABSOLUTE)
set(vexmara_emscripten_root /usr/share/emscripten)
if(NOT EXISTS ${vexmara_emscripten_root}/emcc.py OR NOT EXISTS ${vexmara_emscripten_root}/.emscripten)
  message(FATAL_ERROR "Debian's emscripten is not installed: run scripts/install-deps web")
endif()

file(READ ${vexmara_emscripten_root}/.emscripten vexmara_emscripten_config)
string(REGEX REPLACE "\nFROZEN_CACHE *= *[A-Za-z]+" "\nFROZEN_CACHE = False" vexmara_emscripten_config
       "${vexmara_emscripten_config}")
string(REGEX REPLACE "\nNODE_JS *= *[^\n]*" "\nNODE_JS = '${vexmara_emscripten_home}/node'"
       vexmara_emscripten_config "${vexmara_emscripten_config}")
string(APPEND vexmara_emscripten_config "\nCACHE = '${vexmara_emscripten_home}/cache'\n")
file(CONFIGURE OUTPUT ${vexmara_emscripten_home}/config CONTENT "${vexmara_emscripten_config}" @ONLY)

find_program(vexmara_node NAMES node nodejs REQUIRED)
file(CONFIGURE OUTPUT ${vexmara_emscripten_home}/node @ONLY CONTENT [=[#!/bin/sh
# Node.js for emscripten 3.1.6: --experimental-wasm-bigint is gone from Node.js 20 (it is always
# on), and the compiler's checks of 64-bit builds need 64-bit memories.
for argument in "$@"; do
  shift
  [ "$argument" = --experimental-wasm-bigint ] || set -- "$@" "$argument"
done
exec @vexmara_node@ --experimental-wasm-memory64 "$@"
]=])
foreach(tool IN ITEMS emcc em++)
  file(CONFIGURE OUTPUT ${vexmara_emscripten_home}/${tool} @ONLY CONTENT [=[#!/bin/sh
EM_CONFIG='@vexmara_emscripten_home@/config' NODE_PATH=/usr/share/nodejs exec /usr/bin/@tool@ "$@"
]=])
endforeach()
file(CHMOD ${vexmara_emscripten_home}/node ${vexmara_emscripten_home}/emcc ${vexmara_emscripten_home}/em++
     PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

# For what the platform file runs while configuring (em-config).
set(ENV{EM_CONFIG} ${vexmara_emscripten_home}/config)
set(ENV{NODE_PATH} /usr/share/nodejs)
set(CMAKE_C_COMPILER ${vexmara_emscripten_home}/emcc)
set(CMAKE_CXX_COMPILER ${vexmara_emscripten_home}/em++)
set(EMSCRIPTEN_ROOT_PATH ${vexmara_emscripten_root})
include(${vexmara_emscripten_root}/cmake/Modules/Platform/Emscripten.cmake)

# Every object is compiled for 64-bit pointers, and the link lowers the memory to 32 bits. What
# the older C++ library lacks comes from web/std_compat.h.
get_filename_component(vexmara_std_compat ${CMAKE_CURRENT_LIST_DIR}/../web/std_compat.h ABSOLUTE)
set(CMAKE_C_FLAGS_INIT "-sMEMORY64=2")
set(CMAKE_CXX_FLAGS_INIT "-sMEMORY64=2 -include ${vexmara_std_compat}")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-sMEMORY64=2")
