# What the cross builds take from Debian's packages: the Windows builds (the windows preset and
# the Wine test programs, with mingw-w64) and the web build (the web preset, with emscripten).
# Included by each; defines the targets that the native build gets from find_package:
#
#   nlohmann_json::nlohmann_json, CLI11::CLI11   header-only (nlohmann-json3-dev, libcli11-dev)
#   TinyGLTF::TinyGLTF   tiny_gltf.h (libtinygltf-dev) with its implementation compiled here:
#                        Debian ships that compiled for Linux only
#   vexmara_stb          stb_image.h and stb_image_write.h (libstb-dev), header-only
#   vexmara_squish       libsquish, built with this toolchain from Debian's own source package,
#                        which `scripts/install-deps windows` (or `web`) unpacks in
#                        build-windows/libsquish (or build-web/libsquish)
#
# A cross build must never put the build machine's /usr/include ahead of the target's headers,
# so the headers are copied on their own into the build folder and only that copy is included.
include_guard(GLOBAL)

get_filename_component(VEXMARA_ROOT_FOR_LIBRARIES ${CMAKE_CURRENT_LIST_DIR}/.. ABSOLUTE)
set(vexmara_third_party ${CMAKE_BINARY_DIR}/third_party)
set(vexmara_third_party_include ${vexmara_third_party}/include)
if(EMSCRIPTEN)
  set(vexmara_cross web)
else()
  set(vexmara_cross windows)
endif()

foreach(header IN ITEMS nlohmann/json.hpp CLI/CLI.hpp tiny_gltf.h stb/stb_image.h stb/stb_image_write.h)
  if(NOT EXISTS /usr/include/${header})
    message(FATAL_ERROR "/usr/include/${header} is missing: run scripts/install-deps ${vexmara_cross}")
  endif()
endforeach()
file(COPY /usr/include/nlohmann /usr/include/CLI /usr/include/tiny_gltf.h DESTINATION ${vexmara_third_party_include})
file(COPY /usr/include/stb/stb_image.h /usr/include/stb/stb_image_write.h DESTINATION ${vexmara_third_party_include}/stb)

if(NOT TARGET nlohmann_json::nlohmann_json)
  add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED GLOBAL)
  target_include_directories(nlohmann_json::nlohmann_json SYSTEM INTERFACE ${vexmara_third_party_include})
endif()
add_library(CLI11::CLI11 INTERFACE IMPORTED GLOBAL)
target_include_directories(CLI11::CLI11 SYSTEM INTERFACE ${vexmara_third_party_include})
add_library(vexmara_stb INTERFACE)
target_include_directories(vexmara_stb SYSTEM INTERFACE ${vexmara_third_party_include})

# tinygltf's implementation, without its image loading and writing through stb: the export hands
# it images that are PNG files already and never lets it read one.
set(tinygltf_source ${vexmara_third_party}/tiny_gltf.cpp)
file(CONFIGURE OUTPUT ${tinygltf_source} CONTENT "#define TINYGLTF_IMPLEMENTATION\n#include <tiny_gltf.h>\n")
add_library(vexmara_tinygltf STATIC EXCLUDE_FROM_ALL ${tinygltf_source})
target_compile_definitions(vexmara_tinygltf PUBLIC TINYGLTF_NO_STB_IMAGE TINYGLTF_NO_STB_IMAGE_WRITE)
target_link_libraries(vexmara_tinygltf PUBLIC nlohmann_json::nlohmann_json)
target_include_directories(vexmara_tinygltf SYSTEM PUBLIC ${vexmara_third_party_include})
add_library(TinyGLTF::TinyGLTF ALIAS vexmara_tinygltf)

# libsquish from Debian's source package, as a static library of this build. Its own CMake file
# builds it; OpenMP stays off, so that the library needs no runtime beside it, and for the web
# SSE2 too, which serves only its encoder.
include(${CMAKE_CURRENT_LIST_DIR}/squish-source.cmake)
vexmara_find_squish_source(${VEXMARA_ROOT_FOR_LIBRARIES}/build-${vexmara_cross}/libsquish ${vexmara_cross})
set(BUILD_SQUISH_WITH_OPENMP OFF CACHE BOOL "" FORCE)
if(EMSCRIPTEN)
  set(BUILD_SQUISH_WITH_SSE2 OFF CACHE BOOL "" FORCE)
endif()
set(BUILD_SQUISH_EXTRA OFF CACHE BOOL "" FORCE)
set(BUILD_SHARED_LIBS OFF CACHE BOOL "" FORCE)
# Its CMake file asks for an old CMake; the policies it gets are its own business.
set(CMAKE_WARN_DEPRECATED OFF CACHE BOOL "" FORCE)
add_subdirectory(${VEXMARA_SQUISH_SOURCE} ${vexmara_third_party}/squish EXCLUDE_FROM_ALL)
add_library(vexmara_squish INTERFACE)
target_link_libraries(vexmara_squish INTERFACE squish)
target_include_directories(vexmara_squish SYSTEM INTERFACE ${VEXMARA_SQUISH_SOURCE})
